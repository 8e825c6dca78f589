"""The open-file tab bar and the area behind the image windows in a private X session, as a
person uses them: captures that get tabs, tab colours read from the screen, clicks and the tab
menu, the maximized state kept across a restart, and a stretched background picture."""

import os
import re
import subprocess
import sys
import unittest

import dbus

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from atspi import Reader, start_session_bus  # noqa: E402
from test_app import (APP_KEY, PROGRAM, activate, main_visible, seed_options, tray_icon,  # noqa: E402
                      user_reg, xdo)
from test_capture import CaptureSession, hotkey  # noqa: E402
from xsession import XSession, wait_for  # noqa: E402

ACCESSIBLE = "org.a11y.atspi.Accessible"
NAMES = [f"Orvn0000{n}.JPG" for n in (1, 2, 3)]
SETTINGS = f"[{APP_KEY}\\Settings]"


SHOWING = 1 << 25


def on_screen(reader, roles, skip=("menu bar", "tool bar", "status bar"), showing=True):
    """(name, role, (x, y, w, h)) of each object of these roles that is showing (or, with
    showing False, that has a place). Subtrees of the roles in skip are left out, except the
    tab bar's."""
    found = []
    stack = [(str(n), str(p)) for n, p in reader._children(
        "org.a11y.atspi.Registry", "/org/a11y/atspi/accessible/root")]
    while stack:
        item = stack.pop()
        try:
            obj = reader.bus.get_object(*item, introspect=False)
            accessible = dbus.Interface(obj, ACCESSIBLE)
            role = str(accessible.GetRoleName(timeout=5))
            name = reader._name(*item)
            if role in skip and name != "Open File Tabs Bar":
                continue
            if role in roles and (not showing or int(accessible.GetState(timeout=5)[0]) & SHOWING):
                x, y, w, h = dbus.Interface(obj, "org.a11y.atspi.Component").GetExtents(
                    dbus.UInt32(0), timeout=5)
                if w > 0 and h > 0:
                    found.append((name, role, (int(x), int(y), int(w), int(h))))
            stack.extend((str(n), str(p)) for n, p in reader._children(*item))
        except dbus.DBusException:
            continue
    return found


def page_tabs(reader):
    """(title, (x, y, w, h)) of each tab on screen, left to right; the mark of a modified
    image left out of the title."""
    tabs = [(n.removesuffix(" *"), e) for n, _, e in on_screen(reader, ("page tab",))]
    return sorted(tabs, key=lambda t: t[1][0])


def close_in_tab_menu(xs):
    """Chooses Close in the open tab menu: its mnemonic is shared with Cascade, so the key
    selects the first of the two, which Return then runs. An open menu holds the pointer."""
    wait_for(xs.dpy.pointer_grabbed, what="the tab menu")
    xdo(xs, "key", "c")
    xdo(xs, "key", "Return")


def text_colour(screen, extents):
    """The colour a tab's title is drawn in: "red", "blue" or "grey" (the icon at the left is
    left out, it has blue of its own)."""
    x, y, w, h = extents
    counts = {"red": 0, "blue": 0, "grey": 0}
    for py in range(y + 3, y + h - 3):
        for px in range(x + 30, x + w - 3):
            r, g, b = screen.getpixel((px, py))[:3]
            if r >= 180 and g <= 70 and b <= 70:
                counts["red"] += 1
            elif b >= 180 and r <= 70 and g <= 70:
                counts["blue"] += 1
            elif max(abs(r - 0x32), abs(g - 0x32), abs(b - 0x32)) <= 12:
                counts["grey"] += 1
    colour = max(counts, key=counts.get)
    return colour if counts[colour] >= 5 else None


def window_name(xs, window):
    return subprocess.run(["xdotool", "getwindowname", str(window)], env=xs.env,
                          capture_output=True, text=True, timeout=10).stdout.strip()


def settings_values(xs):
    """The values of section "Settings" in user.reg, as name -> text after the "="."""
    with open(user_reg(xs)) as f:
        text = f.read().replace("\\\n", "")
    section = text.split(SETTINGS, 1)[1].split("\n[", 1)[0] if SETTINGS in text else ""
    return dict(re.findall(r'^"([^"]+)"=(.*)$', section, re.M))


def click(xs, point, button=1, repeat=1):
    xdo(xs, "mousemove", point[0], point[1])
    xdo(xs, "click", "--repeat", repeat, button)


def middle(extents):
    x, y, w, h = extents
    return x + w // 2, y + h // 2


class TabsTest(unittest.TestCase):
    def setUp(self):
        self.xs = XSession(size="1280x800x24")
        self.xs.__enter__()
        self.addCleanup(self.xs.__exit__, None, None, None)

    def tabs_as(self, reader, names, colours):
        """Waits until the tabs carry these titles in these colours; returns their extents."""
        shot = self.xs.path("tabs.png")
        from PIL import Image

        def seen():
            tabs = page_tabs(reader)
            if [t for t, _ in tabs] != names:
                return None
            self.xs.screenshot(shot)
            screen = Image.open(shot).convert("RGB")
            if colours is not None and [text_colour(screen, e) for _, e in tabs] != colours:
                return None
            return [e for _, e in tabs]
        return wait_for(seen, what=f"tabs {names} in {colours}")

    def test_tabs_follow_captures_edits_saves_clicks_and_the_tab_menu(self):
        xs = self.xs
        bus = start_session_bus(xs)
        app = CaptureSession(xs)
        for n in (1, 2, 3):
            hotkey(xs, "ctrl", "alt", "d")
            app.wait_file(n)
        reader = Reader(bus)
        main = wait_for(lambda: main_visible(xs), what="the main window")[0]
        tabs = self.tabs_as(reader, NAMES, ["grey", "grey", "blue"])

        # An edit turns the active image's tab red; saving it turns it back.
        activate(xs, main)
        xdo(xs, "key", "alt+o")
        xdo(xs, "key", "i")
        self.tabs_as(reader, NAMES, ["grey", "grey", "red"])
        saved = os.path.getmtime(app.output_file(3))
        xdo(xs, "key", "ctrl+s")
        self.tabs_as(reader, NAMES, ["grey", "grey", "blue"])
        self.assertGreaterEqual(os.path.getmtime(app.output_file(3)), saved)

        # A click on a tab brings its image forward, round after round.
        for _ in range(4):
            for i in (0, 2, 1, 0, 1, 2):
                click(xs, middle(tabs[i]))
                wait_for(lambda: NAMES[i] in window_name(xs, main), what=f"{NAMES[i]} active")
                colours = ["grey"] * 3
                colours[i] = "blue"
                tabs = self.tabs_as(reader, NAMES, colours)

        # A right click on an inactive tab activates its image before the menu shows; Close
        # in that menu closes that image.
        click(xs, middle(tabs[0]), button=3)
        wait_for(lambda: NAMES[0] in window_name(xs, main), what="the right-clicked image")
        close_in_tab_menu(xs)
        # Another image is active now, whichever the window area chose.
        tabs = self.tabs_as(reader, NAMES[1:], None)
        from PIL import Image
        screen = Image.open(self.xs.path("tabs.png")).convert("RGB")
        self.assertEqual(sorted(text_colour(screen, e) for e in tabs), ["blue", "grey"])
        self.assertNotIn(NAMES[0], window_name(xs, main))

    def test_the_maximized_state_outlives_the_last_window_and_a_restart(self):
        xs = self.xs
        bus = start_session_bus(xs)
        app = CaptureSession(xs, extra=f"\n{SETTINGS}\n\"TVChildWinState\"=dword:00000000\n")
        reader = Reader(bus)
        hotkey(xs, "ctrl", "alt", "d")
        app.wait_file(1)
        main = wait_for(lambda: main_visible(xs), what="the main window")[0]
        # A maximized image window adds its title to the main window's in brackets.
        wait_for(lambda: window_name(xs, main) == f"Orvane Screen - {NAMES[0]}",
                 what="a window that is not maximized")
        x, y, w, _ = wait_for(lambda: next((e for t, e in page_tabs(reader) if t == NAMES[0]),
                                           None), what="the tab")
        activate(xs, main)
        frame = self.image_frame(reader, NAMES[0])
        click(xs, (frame[0] + frame[2] // 2, frame[1] + 10), repeat=2)
        wait_for(lambda: f"[{NAMES[0]}]" in window_name(xs, main), what="the maximized window")

        click(xs, (x + w // 2, y + 10), button=3)
        close_in_tab_menu(xs)
        wait_for(lambda: not page_tabs(reader), what="no tab left")
        wait_for(lambda: settings_values(xs).get("TVChildWinState") == "dword:00000001",
                 what="the maximized state stored")

        hotkey(xs, "ctrl", "alt", "d")
        app.wait_file(2)
        wait_for(lambda: f"[{NAMES[1]}]" in window_name(xs, main), what="a maximized window")

        # File > Exit writes the background's values with the rest.
        activate(xs, main)
        xdo(xs, "key", "alt+f")
        xdo(xs, "key", "x")
        app.proc.wait(timeout=30)
        values = settings_values(xs)
        for name in ("TVLogoFont", "TVLogoColor", "TVBackColor", "TVDispType", "TVBkBitmap",
                     "TVFileName"):
            self.assertIn(name, values)
        self.assertEqual(values["TVChildWinState"], "dword:00000001")
        self.assertEqual(len(re.findall(r"[0-9a-f]{2}", values["TVLogoFont"].split(":")[1])),
                         60)
        self.assertEqual(values["TVDispType"], "dword:00000001")

        xs.spawn([PROGRAM])
        wait_for(lambda: tray_icon(xs), what="the second run")
        hotkey(xs, "ctrl", "alt", "d")
        app.wait_file(3)
        main = wait_for(lambda: main_visible(xs), what="the main window")[0]
        wait_for(lambda: f"[{NAMES[2]}]" in window_name(xs, main),
                 what="a maximized window after the restart")

    def image_frame(self, reader, title):
        """The extents of the image window with this title."""
        # Image windows report no showing state, only their place.
        return wait_for(lambda: next((e for n, _, e in on_screen(reader, ("frame",),
                                                                 showing=False)
                                      if n == title), None), what=f"the image window {title}")

    def test_a_background_picture_stretched_over_the_empty_area(self):
        from PIL import Image
        xs = self.xs
        picture = xs.path("back.bmp")
        img = Image.new("RGB", (64, 32), (0, 255, 0))
        img.paste((255, 0, 255), (32, 0, 64, 32))
        img.save(picture)
        seed_options(xs, 0x0008166B & ~0x2)  # the window shown at start
        with open(user_reg(xs), "a") as f:
            f.write(f"\"TVFileName\"=\"{picture}\"\n\"TVDispType\"=dword:00000002\n")
        xs.spawn([PROGRAM])
        wait_for(lambda: main_visible(xs), what="the main window")
        shot = xs.path("screen.png")

        def halves():
            import numpy
            xs.screenshot(shot)
            screen = numpy.asarray(Image.open(shot).convert("RGB")).astype(int)
            boxes = []
            for colour in ((0, 255, 0), (255, 0, 255)):
                mask = (screen == colour).all(axis=2)
                if mask.sum() < 10000:
                    return None
                ys, xs_ = numpy.nonzero(mask)
                boxes.append((xs_.min(), ys.min(), xs_.max() + 1, ys.max() + 1))
            return boxes
        green, magenta = wait_for(halves, what="the background picture")
        # Side by side, as tall as each other, each far wider than the picture's 32 pixels.
        self.assertEqual(green[2], magenta[0])
        self.assertEqual((green[1], green[3]), (magenta[1], magenta[3]))
        self.assertLessEqual(abs((green[2] - green[0]) - (magenta[2] - magenta[0])), 1)
        self.assertGreater(green[2] - green[0], 300)
        self.assertGreater(green[3] - green[1], 300)


if __name__ == "__main__":
    unittest.main()
