"""The open and save dialogs in the real program, as a person uses them: File > Open with a
typed path, then Save As a .bmp while the dialog shows the JPEG filter; the extension of the
typed name decides the format."""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xsession import XSession, wait_for  # noqa: E402
from test_app import PROGRAM, activate, main_visible, save_as, seed_options, window_named, xdo  # noqa: E402,E501

SHARED = os.path.join(os.environ.get("ORVANE_SOURCE_DIR", os.path.join(
    os.path.dirname(os.path.abspath(__file__)), "..", "..")), "..", "shared", "testdata")
SOURCE = os.path.join(SHARED, "png", "pngsuite", "basn2c08.png")


class FileDialogTest(unittest.TestCase):
    def test_open_by_typed_path_and_save_as_bmp_under_the_jpeg_filter(self):
        from PIL import Image
        with XSession(size="1280x800x24") as xs:
            seed_options(xs, 0x0008166B & ~0x2)  # the window shown at start
            xs.spawn([PROGRAM])
            window = wait_for(lambda: main_visible(xs), what="the main window")[0]
            activate(xs, window)

            xdo(xs, "key", "ctrl+o")
            dialog = wait_for(lambda: window_named(xs, "^Open$"), what="the Open dialog")[0]
            activate(xs, dialog)
            xdo(xs, "type", SOURCE)
            xdo(xs, "key", "Return")
            wait_for(lambda: window_named(xs, "^Orvane Screen - basn2c08.png$"),
                     what="the opened picture")

            out = xs.path("typed.bmp")
            save_as(xs, out)
            with open(out, "rb") as f:
                self.assertEqual(f.read(2), b"BM")
            saved = Image.open(out).convert("RGB")
            expected = Image.open(SOURCE).convert("RGB")
            self.assertEqual(saved.size, expected.size)
            self.assertEqual(list(saved.getdata()), list(expected.getdata()))


if __name__ == "__main__":
    unittest.main()
