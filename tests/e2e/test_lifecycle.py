"""The program's life in a session, driven as a person and a desktop would: the window brought
back again and again, a notification area that comes late or restarts, the session ending
under the program, and one instance on each of two displays."""

import hashlib
import os
import signal
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from test_app import APP_KEY, PROGRAM, icon_centre, main_visible, tray_icon, xdo  # noqa: E402
from test_capture import hotkey  # noqa: E402
from xsession import XSession, wait_for  # noqa: E402

DEFAULT_OPTIONS = 0x0008166B
ROUNDS = 20


def viewable(xs, window):
    out = subprocess.run(["xwininfo", "-id", str(window)], env=xs.env, capture_output=True,
                         text=True, timeout=10).stdout
    return "Map State: IsViewable" in out


def stays_viewable(xs, window, seconds=0.6):
    """True once the window has been on screen for the given time without a break; a window
    the window manager takes away again right after showing it fails this."""
    try:
        wait_for(lambda: viewable(xs, window), timeout=5, what="the window on screen")
    except TimeoutError:
        return False
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if not viewable(xs, window):
            return False
        time.sleep(0.02)
    return True


def close_box(xs, window):
    subprocess.run(["wmctrl", "-i", "-c", hex(window)], env=xs.env, check=True, timeout=10)
    wait_for(lambda: not viewable(xs, window), what="the window to hide")


def double_click_icon(xs, window):
    """Double-clicks the notification-area icon; True when the window came up. Under load a
    double-click can arrive as two single clicks, and a person would simply click again."""
    for _ in range(3):
        x, y = icon_centre(xs, wait_for(lambda: tray_icon(xs), what="the icon")[0])
        xdo(xs, "mousemove", x, y)
        xdo(xs, "click", "--repeat", 2, "--delay", 60, 1)
        try:
            wait_for(lambda: viewable(xs, window), timeout=5, what="the window")
            return True
        except TimeoutError:
            continue
    return False


def reg_text(config_home):
    with open(os.path.join(config_home, "Orvane", "user.reg")) as f:
        return f.read()


def digest(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest(), os.stat(path).st_mtime_ns


class Program:
    """The program with its settings and output folder in a folder of the test's, so that
    they outlive the X session they were made in."""

    def __init__(self, folder):
        self.config = os.path.join(folder, "config")
        self.output = os.path.join(folder, "Output")
        os.makedirs(os.path.join(self.config, "Orvane"), exist_ok=True)
        os.makedirs(self.output, exist_ok=True)
        self.seed()

    def seed(self, extra=""):
        """Settings as a user who chose only the output folder has them."""
        with open(os.path.join(self.config, "Orvane", "user.reg"), "w") as f:
            f.write("Windows Registry Editor Version 5.00\n\n"
                    f"[{APP_KEY}\\CaptureOptions]\n"
                    f"\"OptionsA\"=dword:{DEFAULT_OPTIONS:08x}\n"
                    f"\"AutoSavePath\"=\"{self.output}\"\n{extra}")

    def start(self, xs):
        proc = xs.spawn([PROGRAM], env={"XDG_CONFIG_HOME": self.config})
        wait_for(lambda: tray_icon(xs), what="the notification-area icon")
        return proc

    def file(self, n):
        return os.path.join(self.output, f"Orvn{n:05d}.JPG")

    def capture(self, xs, n):
        """A desktop capture by its hotkey; waits until the n-th file is complete."""
        from PIL import Image

        def complete():
            try:
                with Image.open(self.file(n)) as im:
                    im.load()
                return True
            except Exception:
                return False
        hotkey(xs, "ctrl", "alt", "d")
        wait_for(complete, what=f"Orvn{n:05d}.JPG")

    def saved_whole(self):
        """The settings were written as a whole, not just the counter: values only the whole
        save writes are there."""
        text = reg_text(self.config)
        return all(v in text for v in ('"Default"="12, 44"', '"Margins"="120, 120, 120, 120"',
                                       '"OptionsA"=dword:0008166b'))


class RestoreTest(unittest.TestCase):
    def test_every_restore_shows_the_window(self):
        with XSession(size="1280x800x24") as xs:
            proc = xs.spawn([PROGRAM])
            wait_for(lambda: tray_icon(xs), what="the notification-area icon")
            subprocess.run([PROGRAM], env=xs.env, timeout=30, check=True)
            window = wait_for(lambda: main_visible(xs), what="the main window")[0]
            start = time.monotonic()
            failed = []
            for n in range(ROUNDS):
                close_box(xs, window)
                subprocess.run([PROGRAM], env=xs.env, timeout=30, check=True)
                if not stays_viewable(xs, window):
                    failed.append(f"second start {n}")
                    subprocess.run([PROGRAM], env=xs.env, timeout=30, check=True)
            for n in range(ROUNDS):
                close_box(xs, window)
                if not double_click_icon(xs, window) or not stays_viewable(xs, window):
                    failed.append(f"double-click {n}")
                    subprocess.run([PROGRAM], env=xs.env, timeout=30, check=True)
            print(f"\n{2 * ROUNDS} close-and-restore rounds: "
                  f"{time.monotonic() - start:.1f} s", file=sys.stderr)
            self.assertEqual(failed, [])
            self.assertIsNone(proc.poll())


class SessionEndTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="orvane-life-")
        self.addCleanup(subprocess.run, ["rm", "-rf", self.folder])

    def _three_captures(self, xs, program):
        for n in (1, 2, 3):
            program.capture(xs, n)
        return {n: digest(program.file(n)) for n in (1, 2, 3)}

    def _fourth_after_restart(self, xs, program, before):
        proc = program.start(xs)
        program.capture(xs, 4)
        for n in (1, 2, 3):
            self.assertEqual(digest(program.file(n)), before[n], f"Orvn{n:05d}.JPG")
        self.assertEqual(sorted(os.listdir(program.output)),
                         [f"Orvn0000{n}.JPG" for n in (1, 2, 3, 4)])
        proc.terminate()
        self.assertEqual(proc.wait(timeout=20), 0)

    def test_sigterm_and_sighup_save_the_settings(self):
        program = Program(self.folder)
        with XSession(size="1280x800x24") as xs:
            proc = program.start(xs)
            before = self._three_captures(xs, program)
            proc.send_signal(signal.SIGTERM)
            self.assertEqual(proc.wait(timeout=20), 0)
            self.assertTrue(program.saved_whole())
            self.assertIn('"AutoSaveStartNO"=dword:00000004', reg_text(program.config))
            self._fourth_after_restart(xs, program, before)

            # The terminal's hang-up ends the program the same way.
            program.seed()
            proc = program.start(xs)
            proc.send_signal(signal.SIGHUP)
            self.assertEqual(proc.wait(timeout=20), 0)
            self.assertTrue(program.saved_whole())

            # A crash saves nothing, but the counter was stored when it advanced.
            program.seed('"AutoSaveStartNO"=dword:00000005\n')
            proc = program.start(xs)
            program.capture(xs, 5)
            proc.kill()
            proc.wait(timeout=20)
            self.assertIn('"AutoSaveStartNO"=dword:00000006', reg_text(program.config))

    def test_a_lost_display_saves_the_settings(self):
        program = Program(self.folder)
        with XSession(size="1280x800x24") as xs:
            proc = program.start(xs)
            before = self._three_captures(xs, program)
            xs.kill_server()
            proc.wait(timeout=20)
            self.assertTrue(program.saved_whole())
        with XSession(size="1280x800x24") as xs:
            self._fourth_after_restart(xs, program, before)


class TrayTest(unittest.TestCase):
    def test_a_notification_area_that_comes_later_gets_the_icon(self):
        with XSession(size="1280x800x24", tray=False) as xs:
            with open(xs.path("program.log"), "w") as log:
                proc = xs.spawn([PROGRAM], stderr=log)
            # No notification area: the window shows, since nothing else could bring it up.
            try:
                window = wait_for(lambda: main_visible(xs), what="the main window")[0]
            except TimeoutError:
                with open(xs.path("program.log")) as log:
                    self.fail(f"no window; exit status {proc.poll()}; output:\n{log.read()}")
            xs.start_tray()
            wait_for(lambda: tray_icon(xs), what="the icon in the new notification area")
            close_box(xs, window)
            self.assertIsNone(proc.poll())

            # The notification area goes: the hidden window comes back, as nothing else could
            # bring it back; when the area returns, so does the icon and Close hides again.
            xs.stop_tray()
            wait_for(lambda: viewable(xs, window), what="the window without a tray")
            xs.start_tray()
            wait_for(lambda: tray_icon(xs), what="the icon in the restarted area")
            close_box(xs, window)
            self.assertTrue(double_click_icon(xs, window))
            self.assertIsNone(proc.poll())


class InstancePerDisplayTest(unittest.TestCase):
    def test_one_instance_on_each_display(self):
        runtime = tempfile.mkdtemp(prefix="orvane-runtime-")
        self.addCleanup(subprocess.run, ["rm", "-rf", runtime])
        with XSession(size="1024x768x24") as one, XSession(size="1024x768x24") as two:
            shared = {"XDG_RUNTIME_DIR": runtime}
            first = one.spawn([PROGRAM], env=shared)
            wait_for(lambda: tray_icon(one), what="the icon on the first display")
            second = two.spawn([PROGRAM], env=shared)
            wait_for(lambda: tray_icon(two), what="the icon on the second display")
            self.assertIsNone(first.poll())
            self.assertIsNone(second.poll())
            # On one display it is still one instance: a further start brings it forward.
            env = dict(two.env, **shared)
            self.assertEqual(subprocess.run([PROGRAM], env=env, timeout=30).returncode, 0)
            wait_for(lambda: main_visible(two), what="the second display's window")
            self.assertEqual(main_visible(one), [])
            self.assertIsNone(second.poll())


if __name__ == "__main__":
    unittest.main()
