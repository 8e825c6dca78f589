"""Orvane Screen as a desktop installs and shows it: `cmake --install` into a temporary prefix
gives every file a desktop needs, valid for the desktop's own checkers, and the installed program
runs from there with a clean environment, as a user who may not write into its folder; on a
desktop without an icon theme every tool-bar button still shows an image."""

import configparser
import glob
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from test_app import search, xdo  # noqa: E402
from test_capture import hotkey  # noqa: E402
from xsession import XSession, wait_for  # noqa: E402

BUILD = os.path.abspath(os.environ.get("ORVANE_BUILD_DIR",
                                       os.path.join(os.path.dirname(__file__), "../../build")))
PROGRAM = os.path.join(BUILD, "bin", "OrvaneScreen")
ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)
CAPTURE_ACTIONS = {"desktop", "active-window", "client-area", "control", "rectangle", "square",
                   "circle", "ellipse", "polygon", "menu", "window", "repeat", "default"}


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    assert head[:8] == b"\x89PNG\r\n\x1a\n", path
    return struct.unpack(">II", head[16:24])


def run_checker(argv):
    r = subprocess.run(argv, capture_output=True, text=True, timeout=60)
    return r.returncode, r.stdout + r.stderr


class DesktopIntegration(unittest.TestCase):
    def setUp(self):
        # Readable by an unprivileged user: the installed program runs as one.
        self.tmp = tempfile.mkdtemp(prefix="orvane-install-")
        os.chmod(self.tmp, 0o755)
        self.addCleanup(shutil.rmtree, self.tmp, True)

    def install(self):
        prefix = os.path.join(self.tmp, "prefix")
        subprocess.run(["cmake", "--install", BUILD, "--prefix", prefix], check=True,
                       capture_output=True, timeout=120)
        return prefix

    def test_installed_tree_validates_and_the_program_runs_from_it(self):
        prefix = self.install()
        p = lambda *parts: os.path.join(prefix, *parts)  # noqa: E731

        # Every file in its place.
        self.assertTrue(os.access(p("bin", "OrvaneScreen"), os.X_OK))
        hooks = glob.glob(p("lib*", "**", "libTilletHook.so.1"), recursive=True)
        self.assertEqual(len(hooks), 1, hooks)
        for page in ("index.htm", "dialog.htm"):
            self.assertTrue(os.path.isfile(p("share", "orvane-screen", "help", page)), page)
        self.assertFalse(os.path.exists(p("bin", "help")))
        for size in ICON_SIZES:
            icon = p("share", "icons", "hicolor", f"{size}x{size}", "apps", "OrvaneScreen.png")
            self.assertEqual(png_size(icon), (size, size))
        with open(p("share", "icons", "hicolor", "scalable", "apps", "OrvaneScreen.svg")) as f:
            self.assertIn("<svg", f.read())
        metainfo = glob.glob(p("share", "metainfo", "*.metainfo.xml"))
        self.assertEqual(len(metainfo), 1)

        # The desktop's own checkers accept the entry and the AppStream data.
        entry = p("share", "applications", "OrvaneScreen.desktop")
        rc, out = run_checker(["desktop-file-validate", entry])
        self.assertEqual((rc, out.strip()), (0, ""))
        rc, out = run_checker(["appstreamcli", "validate", "--no-net", metainfo[0]])
        self.assertEqual(rc, 0, out)
        rc, out = run_checker(["appstreamcli", "validate-tree", "--no-net", prefix])
        self.assertEqual(rc, 0, out)

        # The entry's actions run captures the program knows.
        desktop = configparser.ConfigParser(interpolation=None, strict=True)
        desktop.optionxform = str
        desktop.read(entry)
        self.assertEqual(desktop["Desktop Entry"]["Icon"], "OrvaneScreen")
        actions = desktop["Desktop Entry"]["Actions"].rstrip(";").split(";")
        self.assertEqual(set(actions), {"desktop", "active-window", "rectangle", "window"})
        for action in actions:
            program, option, name = desktop[f"Desktop Action {action}"]["Exec"].split()
            self.assertEqual((program, option), ("OrvaneScreen", "--capture"))
            self.assertIn(name, CAPTURE_ACTIONS)

        # The hook library is found inside the prefix, never in the build tree.
        ldd = subprocess.run(["ldd", p("bin", "OrvaneScreen")], capture_output=True, text=True,
                             check=True).stdout
        line = next(l for l in ldd.splitlines() if "libTilletHook" in l)
        self.assertIn(os.path.realpath(os.path.dirname(hooks[0])),
                      os.path.realpath(line.split("=>")[1].split("(")[0].strip()))
        self.assertNotIn(BUILD, ldd)

        with XSession(size="1280x800x24") as xs:
            home = os.path.join(self.tmp, "home")
            runtime = os.path.join(self.tmp, "runtime")
            os.makedirs(home)
            os.makedirs(runtime, mode=0o700)
            # Only what a session gives every program: no library path, no build folders.
            env = {"DISPLAY": xs.display, "HOME": home, "XDG_RUNTIME_DIR": runtime,
                   "PATH": "/usr/bin:/bin"}
            argv = [p("bin", "OrvaneScreen")]
            if os.geteuid() == 0:
                # root may write anywhere: the program runs as a user who may not.
                for d in (home, runtime):
                    os.chown(d, 65534, 65534)
                argv = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"] + argv
            else:
                os.chmod(p("bin"), 0o555)
                self.addCleanup(os.chmod, p("bin"), 0o755)

            log_path = os.path.join(self.tmp, "program.log")
            with open(log_path, "w") as log:
                proc = subprocess.Popen(argv, env=env, stdout=log, stderr=log,
                                        start_new_session=True)
            xs.procs.append(proc)  # stopped with the session
            wait_for(lambda: search(xs, "--onlyvisible", "--class", "^Orvane Screen$")
                     or proc.poll() is not None, what="the notification-area icon")
            with open(log_path) as log:
                self.assertIsNone(proc.poll(), log.read())

            # The output folder: not beside the program, but in the user's pictures folder.
            pictures = os.path.join(home, "Pictures", "Orvane Screen")
            self.assertTrue(os.path.isdir(pictures))
            self.assertFalse(os.path.exists(p("bin", "Output")))

            # The hook library answers the desktop hotkey from its installed place.
            hotkey(xs, "ctrl", "alt", "d")
            picture = os.path.join(pictures, "Orvn00001.JPG")
            wait_for(lambda: os.path.isfile(picture), what="the captured picture")

            # A second start brings the window forward; F1 shows the installed help pages.
            second = subprocess.run(argv, env=env, timeout=30, capture_output=True)
            self.assertEqual(second.returncode, 0, second.stderr)
            frame = wait_for(lambda: search(xs, "--onlyvisible", "--class",
                                            "^OrvaneMainFrameClass$"), what="the main window")
            xdo(xs, "windowactivate", "--sync", frame[0])
            xdo(xs, "key", "F1")
            wait_for(lambda: search(xs, "--onlyvisible", "--name", "^Orvane Screen Help$"),
                     what="the help window")

    def test_tool_bar_shows_an_image_on_every_button_without_an_icon_theme(self):
        from PIL import Image
        from atspi import Reader, start_session_bus

        with XSession(size="1280x800x24") as xs:
            bus = start_session_bus(xs)
            # No icon theme anywhere the toolkit looks.
            empty = os.path.join(self.tmp, "no-themes")
            os.makedirs(empty)
            xs.env["XDG_DATA_DIRS"] = empty
            xs.env["XDG_DATA_HOME"] = empty
            xs.env.pop("QT_QPA_PLATFORMTHEME", None)
            xs.spawn([PROGRAM])
            wait_for(lambda: search(xs, "--onlyvisible", "--class", "^Orvane Screen$"),
                     what="the notification-area icon")
            subprocess.run([PROGRAM], env=xs.env, timeout=30, check=True)
            frame = wait_for(lambda: search(xs, "--onlyvisible", "--class",
                                            "^OrvaneMainFrameClass$"), what="the main window")
            xdo(xs, "windowactivate", "--sync", frame[0])
            # Wide enough for the whole tool bar: none of its 30 buttons behind the overflow.
            xdo(xs, "windowsize", frame[0], 1240, 700)

            reader = Reader(bus)
            shot = os.path.join(self.tmp, "toolbar.png")
            seen = []

            def all_buttons():
                seen[:] = tool_bar_buttons(reader) or []
                return seen if len(seen) >= 30 else None
            try:
                buttons = wait_for(all_buttons, timeout=10, what="the tool bar's 30 buttons")
            except TimeoutError:
                # Buttons that show words are wider: the last ones no longer fit.
                xs.screenshot(shot)
                kept = os.path.join(BUILD, "tool-bar-without-theme.png")
                shutil.copy(shot, kept)
                self.fail(f"only {len(seen)} of 30 buttons fit on the tool bar: "
                          f"{[n for n, _ in seen]} (screenshot: {kept})")
            self.assertEqual(len(buttons), 30, buttons)
            xs.screenshot(shot)
            with Image.open(shot) as im:
                screen = im.convert("RGB")
            bare = []
            for name, (x, y, w, h) in buttons:
                # A button that lost its image shows its words instead, wider than tall.
                if w > h * 3 // 2 or drawn_pixels(screen.crop((x, y, x + w, y + h))) < 20:
                    bare.append(name)
            if bare:
                kept = os.path.join(BUILD, "tool-bar-without-theme.png")
                shutil.copy(shot, kept)
                self.fail(f"buttons without an image: {bare} (screenshot: {kept})")


def tool_bar_buttons(reader):
    """(name, screen extents) of every button on the tool bar named "Toolbar"."""
    import dbus
    from atspi import ACCESSIBLE, extents, walk

    def children(item):
        return [(str(n), str(p)) for n, p in reader._children(*item)]

    def role(item):
        obj = reader.bus.get_object(item[0], item[1], introspect=False)
        return str(dbus.Interface(obj, ACCESSIBLE).GetRoleName(timeout=5))

    def visit(item):
        if role(item) != "tool bar" or reader._name(*item) != "Toolbar":
            return None
        found = [(reader._name(*c), extents(reader, c)) for c in children(item)
                 if role(c) not in ("separator", "filler")]
        # The overflow button has no name; hidden buttons have no extents.
        return [b for b in found if b[0] and b[1][2] > 0 and b[1][3] > 0] or None

    return walk(reader, visit)


def drawn_pixels(button):
    """Pixels of the button's middle that differ clearly from the button's own background."""
    w, h = button.size
    background = button.getpixel((1, 1))
    middle = button.crop((w // 2 - 8, h // 2 - 8, w // 2 + 8, h // 2 + 8))
    return sum(1 for px in middle.getdata()
               if max(abs(a - b) for a, b in zip(px, background)) > 48)


if __name__ == "__main__":
    unittest.main(verbosity=2)
