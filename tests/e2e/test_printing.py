"""Printing in the real program on a machine with no printer, where printing writes a PDF:
a known picture opened and printed "Fit to Margins" on A4, then laid out "Height and Width" as a
poster through Print Setup and its Layout dialog and printed again, all with the keyboard as a
person would; and a capture printed without any dialog. The PDFs are read with pdfinfo and each
page rasterised with pdftoppm at 254 dpi, so one pixel is a tenth of a millimetre."""

import os
import re
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xsession import XSession, wait_for  # noqa: E402
from test_app import PROGRAM, activate, main_visible, seed_options, window_named, xdo  # noqa: E402
from test_capture import DEFAULT_OPTIONS, CaptureSession, hotkey  # noqa: E402

OPTA_SHOW_WINDOW = 0x2
OPTA_PRINT = 0x80
OPTA_SKIP_PRINT_DIALOG = 0x100
# CUPS asked at an address where nothing answers: no printer, whatever this machine has.
NO_PRINTER = {"CUPS_SERVER": "/nonexistent/cups.sock"}
W, H = 400, 200  # the known picture: left half red, right half blue
A4 = (2100, 2970)
MARGIN = 120  # the default 12 mm on every side
TOLERANCE = 10  # one millimetre


def page_count(pdf):
    r = subprocess.run(["pdfinfo", pdf], capture_output=True, text=True, timeout=30)
    m = re.search(r"^Pages:\s+(\d+)", r.stdout, re.M)
    return int(m.group(1)) if r.returncode == 0 and m else None


def page_size(pdf):
    """Width and height in tenths of a millimetre."""
    out = subprocess.run(["pdfinfo", pdf], capture_output=True, text=True, timeout=30).stdout
    w, h = map(float, re.search(r"^Page size:\s+([\d.]+) x ([\d.]+) pts", out, re.M).groups())
    return round(w / 72 * 254), round(h / 72 * 254)


def rasterise(pdf, page, prefix):
    import numpy
    from PIL import Image
    subprocess.run(["pdftoppm", "-r", "254", "-png", "-singlefile", "-f", str(page), "-l",
                    str(page), pdf, prefix], check=True, timeout=60)
    return numpy.asarray(Image.open(prefix + ".png").convert("RGB")).astype(int)


def ink_box(img):
    """[left, right) x [top, bottom) of everything not white."""
    import numpy
    ink = img.min(axis=2) < 200
    ys, xs_ = numpy.nonzero(ink.any(axis=1))[0], numpy.nonzero(ink.any(axis=0))[0]
    return int(xs_.min()), int(ys.min()), int(xs_.max()) + 1, int(ys.max()) + 1


def red_to_blue(img, y):
    """The first column of a row where the red of the picture gives way to its blue."""
    row = img[y]
    blue = (row[:, 2] > 150) & (row[:, 0] < 100)
    return int(blue.argmax()) if blue.any() else None


def poster_slice(column, columns, print_width, area_left, area_right):
    """Source columns and page columns of one poster page, as the layout promises them."""
    area = area_right - area_left
    share = area / print_width
    src_from, src_to = int(W * column * share), int(W * (column + 1) * share)
    dst_to = area_right
    if src_to > W:
        src_to = W
        dst_to = area_left + int((W - src_from) / (share * W) * area)
    return src_from, src_to, area_left, dst_to


def no_print_dialog(xs):
    return not (window_named(xs, "^Print") or window_named(xs, "^Orvane Screen$"))


class PrintingTest(unittest.TestCase):
    def assertNear(self, actual, expected, what):
        self.assertLessEqual(abs(actual - expected), TOLERANCE, f"{what}: {actual} vs {expected}")

    def assertBox(self, box, expected, what):
        for name, a, e in zip(("left", "top", "right", "bottom"), box, expected):
            self.assertNear(a, e, f"{what} {name}")

    def test_fit_to_margins_then_a_poster_laid_out_in_the_layout_dialog(self):
        from PIL import Image
        with XSession(size="1280x800x24") as xs:
            source = xs.path("known.png")
            img = Image.new("RGB", (W, H), (255, 0, 0))
            img.paste((0, 0, 255), (W // 2, 0, W, H))
            img.save(source)
            # Printing straight away, so Ctrl+P asks only for the PDF's name.
            seed_options(xs, (DEFAULT_OPTIONS & ~OPTA_SHOW_WINDOW) | OPTA_SKIP_PRINT_DIALOG)
            xs.spawn([PROGRAM], env=NO_PRINTER)
            window = wait_for(lambda: main_visible(xs), what="the main window")[0]
            activate(xs, window)
            xdo(xs, "key", "ctrl+o")
            activate(xs, wait_for(lambda: window_named(xs, "^Open$"), what="the Open dialog")[0])
            xdo(xs, "type", source)
            xdo(xs, "key", "Return")
            wait_for(lambda: window_named(xs, "^Orvane Screen - known.png$"), what="the picture")

            # The first print asks where the PDF goes; the stored layout is Fit to Margins.
            pdf = xs.path("printed.pdf")
            xdo(xs, "key", "ctrl+p")
            dialog = wait_for(lambda: window_named(xs, "^Print to File$"), what="the file dialog")
            activate(xs, dialog[0])
            xdo(xs, "key", "ctrl+a")
            xdo(xs, "type", pdf)
            xdo(xs, "key", "Return")
            self.assertEqual(wait_for(lambda: page_count(pdf), what="the printed PDF"), 1)
            for got, want in zip(page_size(pdf), A4):
                self.assertNear(got, want, "the paper")
            page = rasterise(pdf, 1, xs.path("fit"))
            # 1860 wide in the printable width, 930 high, centred down the 2730 printable height.
            top = MARGIN + (A4[1] - 2 * MARGIN - 930) // 2
            self.assertBox(ink_box(page), (MARGIN, top, MARGIN + 1860, top + 930), "fit")
            self.assertNear(red_to_blue(page, top + 465), MARGIN + 930, "fit: the halves meet")
            os.remove(pdf)

            # File > Print Setup > Layout: Height and Width, 41 x 10 cm.
            activate(xs, window)
            xdo(xs, "key", "alt+f")
            xdo(xs, "key", "r")
            setup = wait_for(lambda: window_named(xs, "^Print Setup$"), what="Print Setup")[0]
            activate(xs, setup)
            xdo(xs, "key", "alt+l")
            layout = wait_for(lambda: window_named(xs, "^Print Layout$"), what="Print Layout")[0]
            activate(xs, layout)
            xdo(xs, "key", "alt+s", "Down")
            for field, value in (("alt+x", "41"), ("alt+y", "10")):
                xdo(xs, "key", field, "ctrl+a")
                xdo(xs, "type", value)
            xdo(xs, "key", "Return")
            wait_for(lambda: not window_named(xs, "^Print Layout$"), what="the layout stored")
            activate(xs, setup)
            xdo(xs, "key", "Return")
            wait_for(lambda: not window_named(xs, "^Print Setup$"), what="Print Setup closed")

            # The file chosen before is kept: this print asks nothing.
            activate(xs, window)
            xdo(xs, "key", "ctrl+p")
            self.assertEqual(wait_for(lambda: page_count(pdf), what="the poster"), 3)
            self.assertTrue(no_print_dialog(xs))
            area = (MARGIN, A4[0] - MARGIN)
            for number in (1, 2, 3):
                page = rasterise(pdf, number, xs.path(f"poster{number}"))
                src_from, src_to, left, right = poster_slice(number - 1, 3, 4100, *area)
                # One row: the slice runs down 100 mm from the printable top, never centred.
                self.assertBox(ink_box(page), (left, MARGIN, right, MARGIN + 1000),
                               f"poster page {number}")
                boundary = red_to_blue(page, MARGIN + 500)
                if src_to <= W // 2:
                    self.assertIsNone(boundary, f"page {number} is all red")
                elif src_from >= W // 2:
                    self.assertNear(boundary, left, f"page {number} is all blue")
                else:
                    expected = left + (W // 2 - src_from) * (right - left) / (src_to - src_from)
                    self.assertNear(boundary, expected, f"page {number}: the halves meet")

    def test_a_capture_prints_to_a_pdf_without_any_dialog(self):
        with XSession(size="1280x800x24") as xs:
            xs.run(["xsetroot", "-solid", "#204080"])
            options = DEFAULT_OPTIONS | OPTA_PRINT | OPTA_SKIP_PRINT_DIALOG
            app = CaptureSession(xs, options=options, env=NO_PRINTER)
            hotkey(xs, "ctrl", "alt", "d")
            self.assertEqual(app.wait_file(1), (1280, 800))
            # Beside the capture, under its name; nothing was asked on the way.
            pdf = os.path.join(app.output, "Orvn00001.pdf")

            def pdf_or_dialog():
                return "a dialog" if not no_print_dialog(xs) else page_count(pdf)

            self.assertEqual(wait_for(pdf_or_dialog, what="the capture's PDF"), 1)
            page = rasterise(pdf, 1, xs.path("capture"))
            # 1280 x 800 fitted into 1860 x 2730: 1860 x 1163, centred.
            top = MARGIN + (A4[1] - 2 * MARGIN - 1163) // 2
            self.assertBox(ink_box(page), (MARGIN, top, MARGIN + 1860, top + 1163), "capture")

            # The next capture gets its own PDF.
            hotkey(xs, "ctrl", "alt", "d")
            app.wait_file(2)
            self.assertEqual(wait_for(lambda: page_count(
                os.path.join(app.output, "Orvn00002.pdf")), what="the second PDF"), 1)
            self.assertEqual(page_count(pdf), 1)
            self.assertIsNone(app.proc.poll())


if __name__ == "__main__":
    unittest.main()
