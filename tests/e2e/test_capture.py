"""Captures in a private X session, driven as a person would: hotkeys pressed and released in
a person's order, windows to capture, the results read from files and the clipboard."""

import os
import re
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from probe import start_line_process  # noqa: E402
from test_app import APP_KEY, PROGRAM, clipboard_targets, main_visible, search, tray_icon, user_reg, xdo  # noqa: E402,E501
from xsession import XSession, wait_for  # noqa: E402

BIN = os.path.dirname(PROGRAM)
SCREEN = (1280, 800)
DEFAULT_OPTIONS = 0x0008166B


def hotkey(xs, *keys):
    """Presses the keys in order and lets them go in reverse, as a person does."""
    args = []
    for k in keys:
        args += ["keydown", k]
    for k in reversed(keys):
        args += ["keyup", k]
    xdo(xs, *args)


def image_size(path):
    from PIL import Image
    with Image.open(path) as im:
        return im.size


def clipboard_image_size(xs, path):
    with open(path, "wb") as f:
        subprocess.run(["xclip", "-o", "-selection", "clipboard", "-t", "image/png"],
                       env=xs.env, stdout=f, timeout=20, check=True)
    return image_size(path)


def complete_file(path):
    """The file once it exists and reads as a whole image."""
    if not os.path.exists(path):
        return None
    try:
        return image_size(path)
    except Exception:
        return None


class CaptureSession:
    """The program in a private session with its output folder in the session's temp dir."""

    def __init__(self, xs, options=DEFAULT_OPTIONS, extra="", env=None, output="Output",
                 shown=tray_icon):
        self.xs = xs
        self.output = xs.path(output)
        os.makedirs(self.output)
        os.makedirs(os.path.dirname(user_reg(xs)), exist_ok=True)
        with open(user_reg(xs), "w") as f:
            f.write("Windows Registry Editor Version 5.00\n\n"
                    f"[{APP_KEY}\\CaptureOptions]\n"
                    f"\"OptionsA\"=dword:{options:08x}\n"
                    f"\"AutoSavePath\"=\"{self.output}\"\n{extra}")
        # The timing report goes to a file: a pipe nobody reads could fill up and stall.
        self.log = xs.path("program.log")
        with open(self.log, "w") as log:
            self.proc = xs.spawn([PROGRAM], env={"ORVANE_CAPTURE_TIMING": "1", **(env or {})},
                                  stderr=log)
        wait_for(lambda: shown(xs), what="the program to show itself")

    def output_file(self, n):
        return os.path.join(self.output, f"Orvn{n:05d}.JPG")

    def wait_file(self, n):
        return wait_for(lambda: complete_file(self.output_file(n)), what=f"Orvn{n:05d}.JPG")


class CaptureTest(unittest.TestCase):
    def setUp(self):
        self.xs = XSession(size=f"{SCREEN[0]}x{SCREEN[1]}x24")
        self.xs.__enter__()
        self.addCleanup(self.xs.__exit__, None, None, None)

    def test_desktop_hotkey_default_action_and_repeat_last(self):
        xs = self.xs
        app = CaptureSession(xs)
        hotkey(xs, "ctrl", "alt", "d")
        self.assertEqual(app.wait_file(1), SCREEN)
        # The image window comes up with the capture, and the clipboard holds it.
        wait_for(lambda: search(xs, "--onlyvisible", "--name", "Orvn00001.JPG"),
                 what="the image window")
        wait_for(lambda: "image/png" in clipboard_targets(xs), what="the clipboard")
        self.assertEqual(clipboard_image_size(xs, xs.path("clip.png")), SCREEN)

        hotkey(xs, "ctrl", "alt", "d")
        self.assertEqual(app.wait_file(2), SCREEN)
        # Print Screen runs the default action (the desktop), Repeat Last the last one.
        hotkey(xs, "Print")
        self.assertEqual(app.wait_file(3), SCREEN)
        hotkey(xs, "ctrl", "shift", "l")
        self.assertEqual(app.wait_file(4), SCREEN)
        self.assertEqual(sorted(os.listdir(app.output)),
                         [f"Orvn0000{n}.JPG" for n in (1, 2, 3, 4)])
        self.assertIsNone(app.proc.poll())
        app.proc.terminate()
        app.proc.wait(timeout=20)
        with open(app.log) as log:
            timings = re.findall(r"capture timing: ([0-9.]+) ms", log.read())
        self.assertTrue(timings)
        print(f"\ndesktop capture, hotkey to file closed: {', '.join(timings)} ms",
              file=sys.stderr)

    def test_active_window_and_its_client_area(self):
        xs = self.xs
        app = CaptureSession(xs)
        xs.spawn(["xlogo", "-geometry", "300x200+200+150"])
        client = wait_for(lambda: search(xs, "--onlyvisible", "--class", "^XLogo$"), what="xlogo")[0]
        xdo(xs, "windowactivate", "--sync", client)
        # The window manager's frame: the client plus its borders and title bar.
        extents = wait_for(lambda: re.findall(r"\d+", subprocess.run(
            ["xprop", "-id", str(client), "_NET_FRAME_EXTENTS"], env=xs.env,
            capture_output=True, text=True).stdout.split("=")[-1]), what="the frame extents")
        left, right, top, bottom = map(int, extents)
        frame = (300 + left + right, 200 + top + bottom)
        self.assertGreater(frame[1], 200)
        hotkey(xs, "alt", "Print")
        self.assertEqual(app.wait_file(1), frame)
        xdo(xs, "windowactivate", "--sync", client)
        hotkey(xs, "ctrl", "shift", "alt", "c")
        self.assertEqual(app.wait_file(2), (300, 200))

    def test_clipboard_only_opens_no_window(self):
        xs = self.xs
        app = CaptureSession(xs, options=0x40 | 0x2)
        hotkey(xs, "ctrl", "alt", "d")
        wait_for(lambda: "image/png" in clipboard_targets(xs), what="the clipboard")
        self.assertEqual(clipboard_image_size(xs, xs.path("clip.png")), SCREEN)
        self.assertEqual(main_visible(xs), [])
        self.assertEqual(os.listdir(app.output), [])

    def test_menu_hotkey(self):
        xs = self.xs
        app = CaptureSession(xs)
        # No menu open: the message says so.
        hotkey(xs, "ctrl", "shift", "m")
        box = wait_for(lambda: search(xs, "--onlyvisible", "--name", "^Orvane Screen$"),
                       what="message 134")[0]
        xdo(xs, "windowactivate", "--sync", box)
        xdo(xs, "key", "ctrl+c")
        text = wait_for(lambda: subprocess.run(["xclip", "-o", "-selection", "clipboard"],
                                               env=xs.env, capture_output=True, text=True,
                                               timeout=10).stdout, what="the copied message")
        self.assertIn("could not find any popup menu", text)
        xdo(xs, "key", "Return")
        wait_for(lambda: not search(xs, "--onlyvisible", "--name", "^Orvane Screen$"),
                 what="the message to close")
        # With a menu open, the menu is captured.
        menu = start_line_process(xs, [os.path.join(BIN, "popup_menu"), "400", "300", "180", "240"])
        self.assertTrue(menu.expect().startswith("ready"))
        hotkey(xs, "ctrl", "shift", "m")
        self.assertEqual(app.wait_file(1), (180, 240))
        menu.proc.stdin.close()

    def test_hotkey_the_moment_the_program_shows(self):
        """Whoever presses a hotkey as soon as the icon (or, with no notification area, the
        window) appears gets the capture. The press comes from a watcher that sees the window
        map, so no process start or polling interval hides a late hook."""
        xs = self.xs
        presser = [os.path.join(BIN, "press_when_shown")]
        keys = ["Control_L", "Alt_L", "d"]
        rounds = [("Orvane Screen", tray_icon, "icon")] * 20
        rounds += [("OrvaneMainFrameClass", main_visible, "window")] * 5
        for n, (window_class, shown, what) in enumerate(rounds):
            if n == 20:
                xs.stop_tray()
            watcher = start_line_process(xs, presser + [window_class] + keys)
            self.assertEqual(watcher.expect(), "ready")
            app = CaptureSession(xs, output=f"Output{n}", shown=shown)
            self.assertEqual(watcher.expect(), "pressed")
            try:
                size = app.wait_file(1)
            except TimeoutError:
                self.fail(f"start {n + 1}: Ctrl+Alt+D pressed as the {what} showed was lost")
            self.assertEqual(size, SCREEN)
            app.proc.terminate()
            app.proc.wait(timeout=20)

    def test_escape_during_a_selection_is_ignored(self):
        xs = self.xs
        app = CaptureSession(xs)
        hotkey(xs, "ctrl", "alt", "r")
        # The pointer belongs to the selection: a grab by anyone else fails while it runs.
        hotkey(xs, "Escape")
        hotkey(xs, "Return")
        time.sleep(0)  # nothing to wait for: Escape must change nothing
        self.assertIsNone(app.proc.poll())
        self.assertEqual(os.listdir(app.output), [])
        self.assertFalse(search(xs, "--onlyvisible", "--name", "^Orvane Screen$"))


if __name__ == "__main__":
    unittest.main()
