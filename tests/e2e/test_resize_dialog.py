"""Resizing a picture in the real program, as a person would: File > Open with the path typed
into the file dialog, Operations > Resize to 123 x 45 with the box method, Done, Save As a
.bmp; the saved pixels against the command-line converter's resize of the same file."""

import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xsession import XSession, wait_for  # noqa: E402
from atspi import Reader, centre, find_centres, read_text, start_session_bus  # noqa: E402
from test_app import BUILD, PROGRAM, activate, main_visible, seed_options, window_named, xdo  # noqa: E402,E501

SOURCE_DIR = os.environ.get("ORVANE_SOURCE_DIR",
                            os.path.join(os.path.dirname(os.path.abspath(__file__)), "../.."))
INPUT = os.path.abspath(os.path.join(SOURCE_DIR, "..", "shared", "testdata", "png", "pngsuite",
                                     "basn2c08.png"))
JPEG_FILTER = "JPEG file (*.jpg)"
CONVERT = os.path.abspath(os.path.join(BUILD, "bin", "orvane-convert"))


def click(xs, point):
    xdo(xs, "mousemove", point[0], point[1])
    xdo(xs, "click", 1)


def geometry(xs, window):
    """The window's screen rectangle: left, top, right, bottom."""
    out = subprocess.run(["xdotool", "getwindowgeometry", "--shell", str(window)], env=xs.env,
                         capture_output=True, text=True, timeout=10, check=True).stdout
    v = dict(line.split("=", 1) for line in out.split())
    x, y = int(v["X"]), int(v["Y"])
    return x, y, x + int(v["WIDTH"]), y + int(v["HEIGHT"])


def inside(point, box):
    return box[0] <= point[0] < box[2] and box[1] <= point[1] < box[3]


class ResizeDialogTest(unittest.TestCase):
    def test_open_resize_with_box_save_as_bmp(self):
        from PIL import Image
        self.assertTrue(os.path.exists(INPUT), INPUT)
        with XSession(size="1280x800x24") as xs:
            seed_options(xs, 0x0008166B & ~0x2)  # the window shown at start
            bus = start_session_bus(xs)
            xs.spawn([PROGRAM])
            window = wait_for(lambda: main_visible(xs), what="the main window")[0]
            activate(xs, window)
            reader = Reader(bus)

            # File > Open, the path typed into the file dialog.
            xdo(xs, "key", "alt+f")
            xdo(xs, "key", "o")
            dialog = wait_for(lambda: window_named(xs, "^Open$"), what="the Open dialog")[0]
            activate(xs, dialog)
            xdo(xs, "key", "ctrl+a")
            xdo(xs, "type", INPUT)
            xdo(xs, "key", "Return")
            wait_for(lambda: window_named(xs, "basn2c08.png"), what="the opened picture")
            read_text(reader, "  Image Size: (32,32)", "the picture's size")

            # Operations > Resize: width, height, the box method, Apply, Done.
            activate(xs, window)
            xdo(xs, "key", "alt+o")
            xdo(xs, "key", "r")
            resize = wait_for(lambda: window_named(xs, "^Resize Operation$"),
                              what="the Resize dialog")[0]
            activate(xs, resize)
            for name, value in (("Width(pixels)", 123), ("Height(pixels)", 45)):
                click(xs, centre(reader, name))
                xdo(xs, "key", "ctrl+a")
                xdo(xs, "type", str(value))
            click(xs, centre(reader, "Advanced >>"))
            click(xs, centre(reader, "Box Resize..."))
            click(xs, centre(reader, "Apply"))
            # The picture changes while the dialog is open.
            read_text(reader, "Last command : Stretch the image to size specified in pixels",
                      "the applied resize")
            click(xs, centre(reader, "Done"))
            wait_for(lambda: not window_named(xs, "^Resize Operation$"),
                     what="the dialog to close")
            read_text(reader, "  Image Size: (123,45)", "the resized picture")

            # File > Save As a .bmp with the JPEG filter chosen: the name's extension decides
            # the format.
            out = xs.path("resized.bmp")
            activate(xs, window)
            xdo(xs, "key", "alt+f")
            xdo(xs, "key", "a")
            save = wait_for(lambda: window_named(xs, "^Save As$"), what="the Save As dialog")[0]
            activate(xs, save)
            names = reader.names()
            self.assertIn(JPEG_FILTER, names)
            # The filter list shows the current filter inside the dialog; the other
            # entries are out of sight until the list opens.
            box = geometry(xs, save)
            current = next(p for n in set(names) if "(*." in n
                           for p in find_centres(reader, n) if inside(p, box))
            before = find_centres(reader, JPEG_FILTER)
            if current not in before:
                click(xs, current)
                click(xs, wait_for(lambda: next((p for p in find_centres(reader, JPEG_FILTER)
                                                 if p not in before), None),
                                   what="the JPEG filter in the open list"))
                wait_for(lambda: current in find_centres(reader, JPEG_FILTER),
                         what="the JPEG filter chosen")
            xdo(xs, "key", "alt+n")  # back to "File name:"
            xdo(xs, "key", "ctrl+a")
            xdo(xs, "type", out)
            xdo(xs, "key", "Return")
            wait_for(lambda: os.path.exists(out) and window_named(
                xs, "^Orvane Screen - resized.bmp$"), what="the saved file")

            reference = xs.path("reference.bmp")
            subprocess.run([CONVERT, "--resize", "123", "45", "--filter", "box", INPUT,
                            reference], check=True, timeout=60)
            with open(out, "rb") as f:
                self.assertEqual(f.read(2), b"BM")
            saved = Image.open(out).convert("RGB")
            expected = Image.open(reference).convert("RGB")
            self.assertEqual(saved.size, (123, 45))
            self.assertEqual(list(saved.getdata()), list(expected.getdata()))


if __name__ == "__main__":
    unittest.main()
