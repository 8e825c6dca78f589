"""Orvane Screen in a private X session, driven as a person would: the notification-area icon,
the second start, the Close box, Exit and its save question, Paste As New Image."""

import os
import re
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xsession import XSession, wait_for  # noqa: E402

BUILD = os.environ.get("ORVANE_BUILD_DIR", os.path.join(os.path.dirname(__file__), "../../build"))
PROGRAM = os.path.abspath(os.path.join(BUILD, "bin", "OrvaneScreen"))
APP_KEY = "HKEY_CURRENT_USER\\software\\Orvane\\Orvane Screen"


def user_reg(xs):
    return os.path.join(xs.env["XDG_CONFIG_HOME"], "Orvane", "user.reg")


def seed_options(xs, options, maximized=False):
    """The capture options; image windows open restored unless maximized is asked."""
    os.makedirs(os.path.dirname(user_reg(xs)), exist_ok=True)
    with open(user_reg(xs), "w") as f:
        f.write("Windows Registry Editor Version 5.00\n\n"
                f"[{APP_KEY}\\CaptureOptions]\n\"OptionsA\"=dword:{options:08x}\n\n"
                f"[{APP_KEY}\\Settings]\n\"TVChildWinState\"=dword:{int(maximized):08x}\n")


def search(xs, *args):
    r = subprocess.run(["xdotool", "search"] + list(args), env=xs.env, capture_output=True,
                       text=True, timeout=10)
    return [int(w) for w in r.stdout.split()]


def tray_icon(xs):
    return search(xs, "--onlyvisible", "--class", "^Orvane Screen$")


def main_visible(xs):
    return search(xs, "--onlyvisible", "--class", "^OrvaneMainFrameClass$")


def window_named(xs, name):
    return search(xs, "--onlyvisible", "--name", name)


def xdo(xs, *args):
    subprocess.run(["xdotool"] + [str(a) for a in args], env=xs.env, check=True, timeout=10)


def clipboard_targets(xs):
    return subprocess.run(["xclip", "-o", "-selection", "clipboard", "-t", "TARGETS"],
                          env=xs.env, capture_output=True, text=True, timeout=10).stdout


def put_png_on_clipboard(xs, path):
    """Makes the PNG file the clipboard's content, offered by xclip as another program would."""
    xs.spawn(["xclip", "-selection", "clipboard", "-t", "image/png", "-i", path])
    wait_for(lambda: "image/png" in clipboard_targets(xs), what="the clipboard")


def rss_mb(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024.0
    return 0.0


def icon_centre(xs, icon):
    out = subprocess.run(["xdotool", "getwindowgeometry", "--shell", str(icon)], env=xs.env,
                         capture_output=True, text=True, check=True).stdout
    g = dict(line.split("=") for line in out.split())
    return int(g["X"]) + int(g["WIDTH"]) // 2, int(g["Y"]) + int(g["HEIGHT"]) // 2


def activate(xs, window):
    xdo(xs, "windowactivate", "--sync", window)


def save_as(xs, path):
    """File > Save As with the name typed; waits until the file exists and the frame names it."""
    xdo(xs, "key", "alt+f")
    xdo(xs, "key", "a")
    dialog = wait_for(lambda: window_named(xs, "^Save As$"), what="the Save As dialog")[0]
    activate(xs, dialog)
    xdo(xs, "key", "ctrl+a")
    xdo(xs, "type", path)
    xdo(xs, "key", "Return")
    name = re.escape(os.path.basename(path))
    wait_for(lambda: os.path.exists(path) and window_named(xs, f"^Orvane Screen - {name}$"),
             what="the saved file")



def red_frame_box(path):
    """The bounding box of the long pure red lines in a screenshot: the frame around a picture
    (or a red picture itself). A modified image's tab text is red too, but in short runs."""
    import numpy
    from PIL import Image
    img = numpy.asarray(Image.open(path).convert("RGB")).astype(int)
    mask = (img[:, :, 0] == 255) & (img[:, :, 1] == 0) & (img[:, :, 2] == 0)
    rows, cols = mask.sum(axis=1), mask.sum(axis=0)
    if rows.max() == 0:
        return None
    ys = numpy.nonzero(rows >= rows.max() // 2)[0]
    xs_ = numpy.nonzero(cols >= cols.max() // 2)[0]
    return int(xs_.min()), int(ys.min()), int(xs_.max()) + 1, int(ys.max()) + 1

class AppTest(unittest.TestCase):
    def test_tray_start_second_start_close_double_click_exit(self):
        with XSession(size="1280x800x24") as xs:
            start = time.monotonic()
            proc = xs.spawn([PROGRAM])
            wait_for(lambda: tray_icon(xs), what="the notification-area icon")
            elapsed = (time.monotonic() - start) * 1000
            self.assertEqual(main_visible(xs), [])
            print(f"\nstart to tray icon: {elapsed:.0f} ms; resident memory: "
                  f"{rss_mb(proc.pid):.1f} MB", file=sys.stderr)

            # A second start brings the first one's window forward and ends at once.
            second = subprocess.run([PROGRAM], env=xs.env, timeout=30)
            self.assertEqual(second.returncode, 0)
            windows = wait_for(lambda: main_visible(xs), what="the main window")
            self.assertEqual(len(windows), 1)
            self.assertIsNone(proc.poll())

            # The Close box hides the window; the program stays in the notification area.
            subprocess.run(["wmctrl", "-i", "-c", hex(windows[0])], env=xs.env, check=True)
            wait_for(lambda: not main_visible(xs), what="the window to hide")
            self.assertIsNone(proc.poll())
            self.assertTrue(tray_icon(xs))

            # A double-click on the icon shows it again.
            # Under load a double-click can arrive as two single clicks; a person would
            # simply double-click again.
            for attempt in range(3):
                x, y = icon_centre(xs, tray_icon(xs)[0])
                xdo(xs, "mousemove", x, y)
                xdo(xs, "click", "--repeat", 2, "--delay", 60, 1)
                try:
                    wait_for(lambda: main_visible(xs), timeout=5,
                             what="the window after the double-click")
                    break
                except TimeoutError:
                    if attempt == 2:
                        raise

            # Exit from the icon's menu ends the program and saves the settings.
            before = set(search(xs, "--onlyvisible", "--class", "^Orvane Screen$"))
            xdo(xs, "click", 3)
            wait_for(lambda: set(search(xs, "--onlyvisible", "--class", "^Orvane Screen$"))
                     - before, what="the icon menu")
            xdo(xs, "key", "x")
            self.assertEqual(proc.wait(timeout=20), 0)

            with open(user_reg(xs)) as f:
                text = f.read()
            output = os.path.join(os.path.dirname(PROGRAM), "Output")
            expected = {
                "PrintLayout": ['"SizePage"="0, 0"', '"SizePrint"="0, 0"',
                                '"ImageCenterFlag"=dword:00000003', '"Title"=""',
                                '"PrintMode"=dword:00000001', '"TitleAlign"=dword:00000004',
                                '"Margins"="120, 120, 120, 120"'],
                "Hotkey": ['"ActiveWindow"="0, 8236"', '"ActiveWindowClient"="1, 57411"',
                           '"Desktop"="9, 41028"', '"PopupMenu"="8, 49229"',
                           '"Control"="2, 32846"', '"SingleWindow"="10, 49235"',
                           '"Rectangle"="4, 41042"', '"Square"="3, 41043"',
                           '"Circle"="5, 49219"', '"Ellipse"="6, 41029"',
                           '"Polygon"="7, 41040"', '"RepeatLast"="11, 49228"',
                           '"Default"="12, 44"'],
                "CaptureOptions": ['"OptionsA"=dword:0008166b',
                                   '"ColorViewBackground"=dword:00c0c000',
                                   '"ColorImageBackground"=dword:00c08000',
                                   '"ColorTransparency"=dword:00ff00ff',
                                   '"DefaultCaptureAction"=dword:00000009',
                                   f'"AutoSavePath"="{output}"',
                                   '"AutoSaveLeadFileName"="Orvn"',
                                   '"AutoSaveOptions"=dword:00000005',
                                   '"AutoSaveDigitCount"=dword:00000005',
                                   '"AutoSaveStartNO"=dword:00000001',
                                   '"AutoSaveImageType"=dword:00000001'],
            }
            sections = {}
            current = None
            for line in text.splitlines():
                if line.startswith("["):
                    current = line[1:-1]
                    sections[current] = []
                elif line and current:
                    sections[current].append(line)
            for name, values in expected.items():
                self.assertEqual(sorted(sections[f"{APP_KEY}\\{name}"]), sorted(values), name)

    def test_exit_asks_once_about_two_modified_images(self):
        with XSession(size="1280x800x24") as xs:
            seed_options(xs, 0x0008166B & ~0x2)  # start with the window shown
            proc = xs.spawn([PROGRAM])
            window = wait_for(lambda: main_visible(xs), what="the main window")[0]
            for n in (1, 2):
                activate(xs, window)
                xdo(xs, "key", "ctrl+n")
                dialog = wait_for(lambda: window_named(xs, "^Create New Image$"),
                                  what="the New Image dialog")[0]
                activate(xs, dialog)
                xdo(xs, "key", "Return")
                wait_for(lambda: window_named(xs, f"^Orvane Screen - Orvcap{n} \\*$"),
                         what=f"image {n}")
            activate(xs, window)
            xdo(xs, "key", "alt+f")
            xdo(xs, "key", "x")
            box = wait_for(lambda: window_named(xs, "^Orvane Screen$"), what="the question")[0]
            activate(xs, box)
            # The message box copies its text to the clipboard on Ctrl+C.
            xdo(xs, "key", "ctrl+c")
            text = wait_for(lambda: subprocess.run(
                ["xclip", "-o", "-selection", "clipboard"], env=xs.env, capture_output=True,
                text=True, timeout=10).stdout, what="the copied message")
            self.assertIn("There are 2 images that haven't been saved or have changed since "
                          "they are saved. Would you like to be prompted  to save each image?",
                          text)
            xdo(xs, "key", "alt+n")
            self.assertEqual(proc.wait(timeout=20), 0)

    def test_paste_as_new_image_opens_a_window_of_its_size(self):
        from PIL import Image
        with XSession(size="1280x800x24") as xs:
            picture = xs.path("red.png")
            Image.new("RGB", (123, 77), (255, 0, 0)).save(picture)
            seed_options(xs, 0x0008166B & ~0x2)
            put_png_on_clipboard(xs, picture)
            xs.spawn([PROGRAM])
            window = wait_for(lambda: main_visible(xs), what="the main window")[0]
            activate(xs, window)
            xdo(xs, "key", "ctrl+w")
            wait_for(lambda: window_named(xs, "^Orvane Screen - Orvcap1 \\*$"),
                     what="the pasted image")
            shot = xs.path("screen.png")

            def red_box():
                xs.screenshot(shot)
                return red_frame_box(shot)
            box = wait_for(red_box, what="the picture on screen")
            # The picture and the red frame one pixel outside it.
            self.assertEqual((box[2] - box[0], box[3] - box[1]), (125, 79))

    def test_window_keys_with_image_windows_open(self):
        """With an image window open, Ctrl+W still pastes a new image (the window's own menu
        once took the key for Close), and F6 / Shift+F6 walk the image windows."""
        from PIL import Image
        with XSession(size="1280x800x24") as xs:
            def put_on_clipboard(name, size, colour):
                picture = xs.path(name)
                Image.new("RGB", size, colour).save(picture)
                put_png_on_clipboard(xs, picture)

            def title():
                return subprocess.run(["xdotool", "getwindowname", str(window)], env=xs.env,
                                      capture_output=True, text=True, timeout=10).stdout.strip()

            def wait_title(expected):
                wait_for(lambda: title() == expected, what=f"the title {expected!r}")

            put_on_clipboard("red.png", (123, 77), (255, 0, 0))
            seed_options(xs, 0x0008166B & ~0x2)
            xs.spawn([PROGRAM])
            window = wait_for(lambda: main_visible(xs), what="the main window")[0]
            activate(xs, window)
            xdo(xs, "key", "alt+e")
            xdo(xs, "key", "w")
            wait_title("Orvane Screen - Orvcap1 *")

            # A different picture, so that the second window shows what the clipboard holds now.
            put_on_clipboard("green.png", (61, 45), (0, 255, 0))
            activate(xs, window)
            xdo(xs, "key", "ctrl+w")
            wait_title("Orvane Screen - Orvcap2 *")
            shot = xs.path("screen.png")

            def green_box():
                xs.screenshot(shot)
                img = Image.open(shot).convert("RGB")
                box = Image.eval(img, lambda v: 255 if v > 250 else 0)
                r, g, b = box.split()
                from PIL import ImageChops
                only_green = ImageChops.multiply(ImageChops.multiply(ImageChops.invert(r), g),
                                                 ImageChops.invert(b))
                return only_green.getbbox()
            box = wait_for(green_box, what="the second picture on screen")
            self.assertEqual((box[2] - box[0], box[3] - box[1]), (61, 45))

            # The active image window's title is part of the main window's.
            for key, expected in (("F6", "Orvcap1"), ("F6", "Orvcap2"), ("shift+F6", "Orvcap1")):
                xdo(xs, "key", key)
                wait_title(f"Orvane Screen - {expected} *")


if __name__ == "__main__":
    unittest.main()
