"""The program's command line in a private X session: captures and files handed to the running
instance (or to a new one), wrong command lines, and a start where there is no X server."""

import fcntl
import os
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from test_app import APP_KEY, PROGRAM, main_visible, search, tray_icon, user_reg, xdo  # noqa: E402
from test_capture import SCREEN, CaptureSession, complete_file, hotkey  # noqa: E402
from xsession import XSession, wait_for  # noqa: E402


def run(xs, *args, env=None, **kwargs):
    """The program run to its end with args; its exit status and what it wrote."""
    full = dict(xs.env if xs else os.environ)
    full.update(env or {})
    return subprocess.run([PROGRAM, *args], env=full, capture_output=True, text=True,
                          timeout=60, **kwargs)


def title(xs, window):
    return subprocess.run(["xdotool", "getwindowname", str(window)], env=xs.env,
                          capture_output=True, text=True, timeout=10).stdout.strip()


class RunningInstanceTest(unittest.TestCase):
    def setUp(self):
        self.xs = XSession(size=f"{SCREEN[0]}x{SCREEN[1]}x24")
        self.xs.__enter__()
        self.addCleanup(self.xs.__exit__, None, None, None)

    def test_capture_desktop_and_rectangle_are_done_by_the_running_instance(self):
        xs = self.xs
        app = CaptureSession(xs)
        second = run(xs, "--capture", "desktop")
        self.assertEqual(second.returncode, 0, second.stderr)
        self.assertEqual(app.wait_file(1), SCREEN)
        wait_for(lambda: search(xs, "--onlyvisible", "--name", "Orvn00001.JPG"),
                 what="the image window, as after the hotkey")

        # A selection begins as with its hotkey: the pointer is the selection's, and Escape
        # leaves it running, as it does there.
        self.assertEqual(run(xs, "--capture=rectangle").returncode, 0)
        wait_for(lambda: xs.dpy.pointer_grabbed(), what="the selection to begin")
        hotkey(xs, "Escape")
        self.assertTrue(xs.dpy.pointer_grabbed())
        for x, y in ((100, 120), (300, 250)):
            xdo(xs, "mousemove", x, y)
            xdo(xs, "click", 1)
        self.assertEqual(app.wait_file(2), (200, 130))
        wait_for(lambda: not xs.dpy.pointer_grabbed(), what="the pointer to be free")

        # Repeat Last runs the rectangle's selection again.
        self.assertEqual(run(xs, "--capture", "repeat").returncode, 0)
        wait_for(lambda: xs.dpy.pointer_grabbed(), what="the repeated selection")
        self.assertIsNone(app.proc.poll())

    def test_files_open_in_the_running_instance_with_errors_shown(self):
        from PIL import Image
        xs = self.xs
        folder = xs.path("pictures")
        os.makedirs(folder)
        Image.new("RGB", (40, 30), (255, 0, 0)).save(os.path.join(folder, "a.png"))
        Image.new("P", (20, 10)).save(os.path.join(folder, "b.gif"))
        app = CaptureSession(xs)
        self.assertEqual(main_visible(xs), [])

        # Names relative to the sender's folder, which the running instance does not share.
        second = run(xs, "a.png", "missing.png", "b.gif", cwd=folder)
        self.assertEqual(second.returncode, 0, second.stderr)
        window = wait_for(lambda: main_visible(xs), what="the main window")[0]
        # The missing file is reported as File > Open reports it, and the next still opens.
        box = wait_for(lambda: search(xs, "--onlyvisible", "--name", "^Orvane Screen$"),
                       what="the message about missing.png")[0]
        xdo(xs, "windowactivate", "--sync", box)
        xdo(xs, "key", "Return")
        wait_for(lambda: title(xs, window).startswith("Orvane Screen - b.gif"), what="b.gif")
        xdo(xs, "windowactivate", "--sync", window)
        xdo(xs, "key", "F6")
        wait_for(lambda: title(xs, window).startswith("Orvane Screen - a.png"),
                 what="the other image window")
        self.assertIsNone(app.proc.poll())

    def test_without_a_running_instance_the_capture_starts_one(self):
        xs = self.xs
        output = xs.path("Output")
        os.makedirs(output)
        os.makedirs(os.path.dirname(user_reg(xs)))
        with open(user_reg(xs), "w") as f:
            f.write("Windows Registry Editor Version 5.00\n\n"
                    f"[{APP_KEY}\\CaptureOptions]\n\"AutoSavePath\"=\"{output}\"\n")
        proc = xs.spawn([PROGRAM, "--capture", "desktop"])
        path = os.path.join(output, "Orvn00001.JPG")
        self.assertEqual(wait_for(lambda: complete_file(path), what="Orvn00001.JPG"), SCREEN)
        # It stays running as usual, in the notification area.
        wait_for(lambda: tray_icon(xs), what="the notification-area icon")
        self.assertIsNone(proc.poll())

    def test_without_a_running_instance_files_open_in_a_new_one(self):
        from PIL import Image
        xs = self.xs
        picture = xs.path("only.png")
        Image.new("RGB", (16, 16), (0, 0, 255)).save(picture)
        proc = xs.spawn([PROGRAM, picture])
        window = wait_for(lambda: main_visible(xs), what="the main window")[0]
        wait_for(lambda: title(xs, window).startswith("Orvane Screen - only.png"),
                 what="the image window")
        self.assertIsNone(proc.poll())

    def test_wrong_command_line_starts_nothing(self):
        xs = self.xs
        runtime = xs.env["XDG_RUNTIME_DIR"]
        for args, word in ((["--capture", "bogus"], "bogus"), (["--frob"], "--frob"),
                           (["--capture"], "needs an action"),
                           (["--capture", "desktop", "a.png"], "cannot be combined")):
            result = run(xs, *args)
            self.assertEqual(result.returncode, 2, args)
            self.assertIn(word, result.stderr)
            self.assertIn("--help", result.stderr)
        # Nothing came up, and no instance took the display.
        self.assertEqual(main_visible(xs) + tray_icon(xs), [])
        self.assertFalse([n for n in os.listdir(runtime) if n.startswith("CInstanceChecker")])
        self.assertIn("--capture ACTION", run(xs, "--help").stdout)
        self.assertRegex(run(xs, "--version").stdout, r"^Orvane Screen \d+\.\d+")

    def test_an_instance_that_does_not_answer_is_reported(self):
        """A lock held by a process whose window never answers: the request is not taken for
        delivered."""
        xs = self.xs
        window = xs.dpy.own_selection("ORVANE_TEST_SILENT")
        lock = os.path.join(xs.env["XDG_RUNTIME_DIR"],
                            "CInstanceChecker_MMF_Orvane Screen" + xs.display)
        with open(lock, "w") as f:
            f.write(f"{window}\n")
            f.flush()
            fcntl.flock(f, fcntl.LOCK_EX)
            start = time.monotonic()
            result = run(xs, "--capture", "desktop")
            waited = time.monotonic() - start
        self.assertEqual(result.returncode, 1)
        self.assertIn("did not answer", result.stderr)
        self.assertGreater(waited, 5)


class NoXServerTest(unittest.TestCase):
    def test_no_display_is_a_message_and_status_1(self):
        base = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        cases = ({}, {"WAYLAND_DISPLAY": "wayland-orvane-test"}, {"QT_QPA_PLATFORM": "xcb"},
                 {"DISPLAY": ":6999"}, {"QT_QPA_PLATFORM": "wayland"})
        for extra in cases:
            env = dict(base, XDG_RUNTIME_DIR="/nonexistent", **extra)
            result = subprocess.run([PROGRAM, "--capture", "desktop"], env=env,
                                    capture_output=True, text=True, timeout=30)
            # Status 1, not a crash (a signal would be a negative status).
            self.assertEqual(result.returncode, 1, extra)
            self.assertIn("needs an X11 session", result.stderr)
            self.assertIn("QT_QPA_PLATFORM=xcb", result.stderr)


if __name__ == "__main__":
    unittest.main()
