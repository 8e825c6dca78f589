"""Selections on the screen with the real program, as a person makes them with the mouse:
rectangles, squares, ellipses, circles, polygons, control and window picks. The results are
read from the saved files, and the screen must be exactly as before once a selection ends."""

import os
import re
import subprocess
import sys
import time
import unittest

from PIL import Image, ImageChops

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from test_app import PROGRAM, main_visible, search, xdo  # noqa: E402
from test_capture import CaptureSession, complete_file, hotkey  # noqa: E402
from xsession import Display, XSession, wait_for  # noqa: E402

SCREEN = (1280, 800)
PANEL = 30  # tint2 at the bottom: its clock may change while a test runs
MAGENTA = (255, 0, 255)
WHITE = (255, 255, 255)
# Open in the editor, save under automatic names, start in the tray; no pop-up, no sound.
OPTIONS = 0x20 | 0x200 | 0x400 | 0x2


def pattern():
    """A background whose every pixel differs from its neighbours, so crops can be matched."""
    im = Image.new("RGB", SCREEN)
    px = im.load()
    for y in range(SCREEN[1]):
        for x in range(SCREEN[0]):
            px[x, y] = ((x * 7) & 255, (y * 5) & 255, ((x + y) * 3) & 255)
    return im


class SelectionTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.pattern = pattern()

    def setUp(self):
        self.xs = XSession(size=f"{SCREEN[0]}x{SCREEN[1]}x24")
        self.xs.__enter__()
        # Stopped even when the rest of the set-up fails (tearDown would not run then).
        self.addCleanup(self.xs.__exit__, None, None, None)
        subprocess.run([os.path.join(os.path.dirname(PROGRAM), "root_pattern")], env=self.xs.env,
                       check=True, timeout=60)

    def start(self, colour=0x00FF00FF, options=OPTIONS):
        app = CaptureSession(self.xs, options=options,
                             extra=f"\"ColorTransparency\"=dword:{colour:08x}\n"
                                   "\"AutoSaveImageType\"=dword:00000002\n")
        self.output, self.proc, self.count = app.output, app.proc, 0

    def screen(self):
        path = self.xs.path("screen.png")
        self.xs.screenshot(path)
        with Image.open(path) as im:
            return im.convert("RGB").crop((0, 0, SCREEN[0], SCREEN[1] - PANEL))

    def begin(self, *keys):
        """Starts a selection with its hotkey; returns once it holds the pointer."""
        self.before = self.screen()
        hotkey(self.xs, *keys)
        wait_for(lambda: self.xs.dpy.pointer_grabbed(), what="the selection to begin")

    def saved(self, n):
        return os.path.join(self.output, f"Orvn{n:05d}.PNG")

    def result(self):
        """The next saved capture, once the selection has let the pointer go."""
        self.count += 1
        path = self.saved(self.count)

        def ready():
            try:
                with Image.open(path) as im:
                    return im.convert("RGB")
            except Exception:
                return None
        picture = wait_for(ready, what=os.path.basename(path))
        wait_for(lambda: not self.xs.dpy.pointer_grabbed(), what="the pointer to be free")
        # Nothing of the feedback is left on the screen.
        self.assertIsNone(ImageChops.difference(self.before, self.screen()).getbbox())
        return picture

    def move_click(self, x, y, button=1):
        xdo(self.xs, "mousemove", x, y)
        xdo(self.xs, "click", button)

    def assertScreen(self, picture, left, top):
        expected = self.pattern.crop((left, top, left + picture.width, top + picture.height))
        self.assertIsNone(ImageChops.difference(picture, expected).getbbox())

    def test_rectangles_and_squares(self):
        self.start()
        # Click, move, click: the rectangle between the two clicks, the screen's pixels.
        self.begin("ctrl", "alt", "r")
        self.move_click(100, 120)
        xdo(self.xs, "mousemove", 200, 180)
        xdo(self.xs, "mousemove", 300, 250)
        self.move_click(300, 250)
        picture = self.result()
        self.assertEqual(picture.size, (200, 130))
        self.assertScreen(picture, 100, 120)

        # A right click moves the rectangle instead of stretching it; its size stays.
        self.begin("ctrl", "alt", "r")
        self.move_click(100, 100)
        xdo(self.xs, "mousemove", 200, 160)
        xdo(self.xs, "click", 3)
        xdo(self.xs, "mousemove", 400, 300)
        self.move_click(400, 300)
        picture = self.result()
        self.assertEqual(picture.size, (100, 60))
        self.assertScreen(picture, 300, 240)

        # Two clicks in one place still run the grab.
        self.begin("ctrl", "alt", "r")
        self.move_click(500, 500)
        self.move_click(500, 500)
        self.result()

        # Square: 50 right and 20 up of the anchor gives 20 x 20 with the anchor bottom-left.
        self.begin("ctrl", "alt", "s")
        self.move_click(600, 400)
        xdo(self.xs, "mousemove", 650, 380)
        self.move_click(650, 380)
        picture = self.result()
        self.assertEqual(picture.size, (20, 20))
        self.assertScreen(picture, 600, 380)

    def test_ellipse_circle_and_transparency_colour(self):
        self.start()
        self.begin("ctrl", "alt", "e")
        self.move_click(100, 100)
        xdo(self.xs, "mousemove", 300, 200)
        self.move_click(300, 200)
        picture = self.result()
        self.assertEqual(picture.size, (200, 100))
        for corner in ((0, 0), (199, 0), (0, 99), (199, 99)):
            self.assertEqual(picture.getpixel(corner), MAGENTA)
        self.assertEqual(picture.getpixel((100, 50)), self.pattern.getpixel((200, 150)))

    def test_circle_with_white_outside(self):
        self.start(colour=0x00FFFFFF)
        self.begin("ctrl", "shift", "c")
        self.move_click(400, 300)
        xdo(self.xs, "mousemove", 500, 350)
        self.move_click(500, 350)
        picture = self.result()
        self.assertEqual(picture.size, (50, 50))
        self.assertEqual(picture.getpixel((0, 0)), WHITE)
        self.assertEqual(picture.getpixel((49, 49)), WHITE)
        self.assertEqual(picture.getpixel((25, 25)), self.pattern.getpixel((425, 325)))

    def polygon(self, points):
        self.begin("ctrl", "alt", "p")
        for x, y in points[:-1]:
            self.move_click(x, y)
            # A person's pace: two presses within one double-click period finish a polygon,
            # so the corners are clicked well apart (the period is 0.4 s here).
            time.sleep(0.9)
        # A double click on the last point finishes; a person double-clicks again when the
        # first one falls across two ticks of the double-click timer.
        last = points[-1]
        xdo(self.xs, "mousemove", *last)
        for _ in range(3):
            xdo(self.xs, "click", "--repeat", 2, "--delay", 40, 1)
            try:
                wait_for(lambda: not self.xs.dpy.pointer_grabbed(), timeout=3,
                         what="the polygon to finish")
                break
            except TimeoutError:
                pass
        return self.result()

    def test_polygons(self):
        self.start()
        picture = self.polygon([(100, 100), (300, 100), (100, 300)])
        self.assertEqual(picture.size, (200, 200))
        self.assertEqual(picture.getpixel((190, 190)), MAGENTA)
        self.assertEqual(picture.getpixel((10, 10)), self.pattern.getpixel((110, 110)))
        # A five-pointed star drawn in one stroke: its centre is copied too.
        star = [(600, 100), (659, 280), (504, 170), (696, 170), (541, 280)]
        picture = self.polygon(star)
        cx, cy = 600 - 504, 190 - 100
        self.assertEqual(picture.getpixel((cx, cy)), self.pattern.getpixel((600, 190)))
        self.assertEqual(picture.getpixel((0, picture.height - 1)), MAGENTA)

    def test_control_and_window_picks(self):
        xs = self.xs
        self.start()
        xs.spawn(["xcalc", "-geometry", "+300+200"])
        calc = wait_for(lambda: search(xs, "--onlyvisible", "--class", "^XCalc$"), what="xcalc")[0]
        xdo(xs, "windowactivate", "--sync", calc)
        # One of the calculator's keys: a child window of its own.
        tree = subprocess.run(["xwininfo", "-tree", "-id", str(calc)], env=xs.env,
                              capture_output=True, text=True, check=True).stdout
        keys = re.findall(r"(0x[0-9a-f]+) .*?(\d+)x(\d+)\+-?\d+\+-?\d+\s+\+(-?\d+)\+(-?\d+)", tree)
        child, w, h, ax, ay = next(k for k in keys if k[1] == "40")
        w, h, ax, ay = int(w), int(h), int(ax), int(ay)
        info = subprocess.run(["xwininfo", "-id", child], env=xs.env, capture_output=True,
                              text=True, check=True).stdout
        border = int(re.search(r"Border width: (\d+)", info).group(1))
        size = (w + 2 * border, h + 2 * border)
        bx, by = ax + w // 2, ay + h // 2
        # The calculator lights the key under the pointer: it is there before and after.
        xdo(xs, "mousemove", bx, by)
        self.begin("ctrl", "n")
        xdo(xs, "mousemove", bx + 1, by)
        self.move_click(bx, by)
        self.assertEqual(self.result().size, size)

        # Single window over the title bar: the whole frame.
        geometry = subprocess.run(["xwininfo", "-id", str(calc)], env=xs.env, capture_output=True,
                                  text=True, check=True).stdout
        g = {"X": re.search(r"Absolute upper-left X:\s+(-?\d+)", geometry).group(1),
             "Y": re.search(r"Absolute upper-left Y:\s+(-?\d+)", geometry).group(1),
             "WIDTH": re.search(r"Width: (\d+)", geometry).group(1),
             "HEIGHT": re.search(r"Height: (\d+)", geometry).group(1)}
        extents = [int(v) for v in re.findall(r"\d+", subprocess.run(
            ["xprop", "-id", str(calc), "_NET_FRAME_EXTENTS"], env=xs.env, capture_output=True,
            text=True).stdout.split("=")[-1])]
        frame = (int(g["WIDTH"]) + extents[0] + extents[1], int(g["HEIGHT"]) + extents[2] + extents[3])
        xdo(xs, "mousemove", int(g["X"]) + 10, int(g["Y"]) - extents[2] // 2)
        self.begin("ctrl", "shift", "s")
        xdo(xs, "mousemove", int(g["X"]) + 11, int(g["Y"]) - extents[2] // 2)
        self.move_click(int(g["X"]) + 10, int(g["Y"]) - extents[2] // 2)
        self.assertEqual(self.result().size, frame)

    def test_overlay_under_a_compositor(self):
        # A compositing manager owns this selection: drawing on the root would not be seen.
        self.xs.dpy.own_selection("_NET_WM_CM_S0")
        self.start()
        self.begin("ctrl", "alt", "r")
        self.move_click(100, 120)
        xdo(self.xs, "mousemove", 300, 250)
        self.move_click(300, 250)
        picture = self.result()
        self.assertEqual(picture.size, (200, 130))
        self.assertScreen(picture, 100, 120)
        self.begin("ctrl", "alt", "e")
        self.move_click(100, 100)
        xdo(self.xs, "mousemove", 300, 200)
        self.move_click(300, 200)
        picture = self.result()
        self.assertEqual(picture.getpixel((0, 0)), MAGENTA)
        self.assertEqual(picture.getpixel((100, 50)), self.pattern.getpixel((200, 150)))

    def test_immediate_capture_ends_a_running_selection(self):
        self.start()
        self.begin("ctrl", "alt", "r")
        self.move_click(100, 120)
        xdo(self.xs, "mousemove", 300, 250)
        # The desktop hotkey in the middle of the rectangle: the selection ends as if it had
        # never begun, and the desktop is grabbed without its feedback.
        hotkey(self.xs, "ctrl", "alt", "d")
        picture = self.result()
        self.assertEqual(picture.size, SCREEN)
        self.assertScreen(picture.crop((0, 0, SCREEN[0], SCREEN[1] - PANEL)), 0, 0)
        # The next two clicks belong to the windows under them, not to a second capture: the
        # capture after them is the next desktop.
        self.move_click(400, 400)
        self.move_click(500, 450)
        hotkey(self.xs, "ctrl", "alt", "d")
        self.assertEqual(self.result().size, SCREEN)
        self.assertEqual(sorted(os.listdir(self.output)), ["Orvn00001.PNG", "Orvn00002.PNG"])

    def test_no_selection_while_another_program_holds_the_pointer(self):
        # Under a compositor a selection would freeze the screen into a window of its own.
        self.xs.dpy.own_selection("_NET_WM_CM_S0")
        self.start(options=OPTIONS & ~0x2)
        window = wait_for(lambda: main_visible(self.xs), what="the main window")[0]
        geometry = subprocess.run(["xdotool", "getwindowgeometry", "--shell", str(window)],
                                  env=self.xs.env, capture_output=True, text=True,
                                  check=True).stdout
        g = dict(line.split("=") for line in geometry.split())
        centre = (int(g["X"]) + int(g["WIDTH"]) // 2, int(g["Y"]) + int(g["HEIGHT"]) // 2)
        holder = Display(self.xs.display)
        self.addCleanup(holder.close)
        self.assertTrue(holder.grab_pointer())
        hotkey(self.xs, "ctrl", "alt", "r")
        wait_for(lambda: not main_visible(self.xs), what="the window to hide")
        # The selection cannot have the pointer: it does not start, and the window it hid
        # comes back, in front of the screen rather than under a frozen copy of it.
        wait_for(lambda: main_visible(self.xs), what="the window to come back")
        wait_for(lambda: self.screen().getpixel(centre) != self.pattern.getpixel(centre),
                 what="the window to be seen")
        holder.ungrab_pointer()
        self.assertFalse(self.xs.dpy.pointer_grabbed())
        # The next capture runs as usual.
        hotkey(self.xs, "ctrl", "alt", "d")
        self.assertEqual(wait_for(lambda: complete_file(self.saved(1)), what="Orvn00001.PNG"),
                         SCREEN)
        self.assertFalse(self.xs.dpy.pointer_grabbed())


if __name__ == "__main__":
    unittest.main()
