"""Editing a picture in the real program, as a person would: a known picture pasted as a new
image, a selection dragged with the mouse, Crop, Flip horizontally, Invert, Undo twice, Redo,
Save As; the saved pixels against a reference computed here, and 400 % on screen."""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xsession import XSession, wait_for  # noqa: E402
from atspi import Reader, read_text, start_session_bus  # noqa: E402
from test_app import PROGRAM, activate, main_visible, put_png_on_clipboard, red_frame_box, save_as, search, seed_options, window_named, xdo  # noqa: E402,E501

W, H = 200, 150
# The selection, in picture pixels: [left, right) x [top, bottom).
SEL = (30, 20, 70, 50)


def pattern():
    """Pixels that tell where they are; none of them pure red."""
    return [[(x, y, (x * 7 + y * 3) % 256) for x in range(W)] for y in range(H)]


def reference():
    """Crop, flip left to right, invert; undo twice and redo once: crop and flip remain."""
    left, top, right, bottom = SEL
    rows = [row[left:right] for row in pattern()[top:bottom]]
    return [list(reversed(row)) for row in rows]


def red_box(xs, shot):
    """The frame around the picture on screen."""
    xs.screenshot(shot)
    return red_frame_box(shot)


class EditorTest(unittest.TestCase):
    def test_edit_undo_redo_save_and_zoom(self):
        from PIL import Image
        with XSession(size="1280x800x24") as xs:
            source = xs.path("known.png")
            img = Image.new("RGB", (W, H))
            img.putdata([p for row in pattern() for p in row])
            img.save(source)
            seed_options(xs, 0x0008166B & ~0x2)  # the window shown at start
            put_png_on_clipboard(xs, source)
            bus = start_session_bus(xs)
            xs.spawn([PROGRAM])
            window = wait_for(lambda: main_visible(xs), what="the main window")[0]
            activate(xs, window)
            xdo(xs, "key", "ctrl+w")
            wait_for(lambda: window_named(xs, "^Orvane Screen - Orvcap1 \\*$"),
                     what="the pasted image")

            # The window fits the picture: the red frame one pixel outside it.
            shot = xs.path("screen.png")
            box = wait_for(lambda: red_box(xs, shot), what="the picture on screen")
            self.assertEqual((box[2] - box[0], box[3] - box[1]), (W + 2, H + 2))
            ox, oy = box[0] + 1, box[1] + 1

            # The status bar, read as a screen reader reads it.
            reader = Reader(bus)
            xdo(xs, "mousemove", ox + 5, oy + 7)
            read_text(reader, "  Mouse Position: (5,7)", "the mouse position")
            read_text(reader, "  Color: 32 Bits", "the colour depth")
            read_text(reader, f"  Image Size: ({W},{H})", "the picture size")

            # Edit > Select Region, then drag the selection.
            xdo(xs, "key", "alt+e")
            xdo(xs, "key", "s")
            left, top, right, bottom = SEL
            xdo(xs, "mousemove", ox + left, oy + top)
            xdo(xs, "mousedown", 1)
            xdo(xs, "mousemove", ox + (left + right) // 2, oy + (top + bottom) // 2)
            xdo(xs, "mousemove", ox + right, oy + bottom)
            xdo(xs, "mouseup", 1)

            # Operations > Crop; Operations > Flip > Horizontally; Operations > Invert.
            xdo(xs, "key", "alt+o")
            xdo(xs, "key", "c")
            xdo(xs, "key", "alt+o")
            # Resize is the first item; Scale, Stretch, Rotate, Crop and Flip follow.
            xdo(xs, "key", "Down", "Down", "Down", "Down", "Down", "Right", "Return")
            xdo(xs, "key", "alt+o")
            xdo(xs, "key", "i")
            xdo(xs, "key", "ctrl+z")
            xdo(xs, "key", "ctrl+z")
            xdo(xs, "key", "alt+e")
            xdo(xs, "key", "r")

            # File > Save As.
            out = xs.path("saved.png")
            save_as(xs, out)
            saved = Image.open(out).convert("RGB")
            expected = reference()
            self.assertEqual(saved.size, (len(expected[0]), len(expected)))
            self.assertEqual(list(saved.getdata()), [p for row in expected for p in row])

            # View > Zoom:400%: each pixel a 4 x 4 block, the frame four pixels outside.
            activate(xs, window)
            xdo(xs, "key", "alt+v")
            xdo(xs, "key", "4")
            w, h = saved.size
            box = wait_for(lambda: (lambda b: b if b and b[2] - b[0] > 4 * w else None)(
                red_box(xs, shot)), what="the picture at 400 %")
            screen = Image.open(shot).convert("RGB")
            x0, y0 = box[0] + 4, box[1] + 4
            for py in range(0, h, 7):
                for px in range(0, w, 5):
                    for dy in range(4):
                        for dx in range(4):
                            self.assertEqual(screen.getpixel((x0 + 4 * px + dx, y0 + 4 * py + dy)),
                                             expected[py][px], (px, py, dx, dy))


    def test_a_capture_opens_in_a_window_sized_to_it(self):
        from test_capture import CaptureSession, hotkey
        with XSession(size="1280x800x24") as xs:
            # The default options: the capture opens in the editor and the window pops up.
            app = CaptureSession(xs)
            xs.spawn(["xlogo", "-geometry", "300x200+700+450"])
            client = wait_for(lambda: search(xs, "--onlyvisible", "--class", "^XLogo$"),
                              what="xlogo")[0]
            activate(xs, client)
            hotkey(xs, "ctrl", "shift", "alt", "c")
            self.assertEqual(app.wait_file(1), (300, 200))
            wait_for(lambda: window_named(xs, "Orvn00001"), what="the image window")
            # The image window fits the picture: its red frame one pixel outside it.
            shot = xs.path("screen.png")
            box = wait_for(lambda: (lambda b: b if b and (b[2] - b[0], b[3] - b[1]) == (302, 202)
                                    else None)(red_box(xs, shot)),
                           what="the capture in a window of its size")
            self.assertIsNotNone(box)


if __name__ == "__main__":
    unittest.main()
