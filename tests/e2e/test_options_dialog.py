"""The Options dialog in the real program, as a person would use it: Capture > Options, a new
hotkey for Desktop and new output settings, OK; the new hotkey captures at once under the new
name, the old one does nothing, and user.reg holds the choices after Exit."""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xsession import XSession, wait_for  # noqa: E402
from atspi import Reader, centre, start_session_bus  # noqa: E402
from test_app import activate, main_visible, user_reg, window_named, xdo  # noqa: E402
from test_capture import CaptureSession, complete_file, hotkey  # noqa: E402

# The default options with the window shown at start and no prompt to save at Exit.
OPTIONS = 0x0008166B & ~0x2 & ~0x1000


def click(xs, point):
    xdo(xs, "mousemove", point[0], point[1])
    xdo(xs, "click", 1)


class OptionsDialogTest(unittest.TestCase):
    def test_new_hotkey_and_output_names_work_at_once(self):
        with XSession(size="1280x800x24") as xs:
            bus = start_session_bus(xs)
            app = CaptureSession(xs, options=OPTIONS)
            window = wait_for(lambda: main_visible(xs), what="the main window")[0]
            activate(xs, window)
            reader = Reader(bus)

            xdo(xs, "key", "alt+c")
            xdo(xs, "key", "o")
            dialog = wait_for(lambda: window_named(xs, "^Options$"), what="the Options dialog")[0]
            activate(xs, dialog)

            # Desktop: Ctrl+Alt+D becomes Ctrl+Alt+Q (the modifiers stay checked).
            click(xs, centre(reader, "Hotkey Options"))
            # Shift+ clicked twice keeps its state and the focus; the key list follows it.
            shift = centre(reader, "Desktop Shift+")
            click(xs, shift)
            click(xs, shift)
            xdo(xs, "key", "Tab")
            xdo(xs, "key", "q")

            click(xs, centre(reader, "Capture Output"))
            for name, value in (("Lead name", "shot"), ("Digits", "3"), ("Start number", "7")):
                click(xs, centre(reader, name))
                xdo(xs, "key", "ctrl+a")
                xdo(xs, "type", value)
            # The type list follows the start number.
            xdo(xs, "key", "Tab")
            xdo(xs, "key", "p")
            click(xs, centre(reader, "OK"))
            wait_for(lambda: not window_named(xs, "^Options$"), what="the dialog to close")

            # The old hotkey first: captures run in order, so had it fired its file would
            # take the first name.
            hotkey(xs, "ctrl", "alt", "d")
            hotkey(xs, "ctrl", "alt", "q")
            first = os.path.join(app.output, "shot007.PNG")
            self.assertEqual(wait_for(lambda: complete_file(first), what="shot007.PNG"),
                             (1280, 800))
            hotkey(xs, "ctrl", "alt", "q")
            second = os.path.join(app.output, "shot008.PNG")
            wait_for(lambda: complete_file(second), what="shot008.PNG")

            # Exit from the File menu of the main window.
            activate(xs, window)
            xdo(xs, "key", "alt+f")
            xdo(xs, "key", "x")
            app.proc.wait(timeout=30)
            self.assertEqual(sorted(os.listdir(app.output)), ["shot007.PNG", "shot008.PNG"])

            with open(user_reg(xs)) as f:
                reg = f.read()
            self.assertRegex(reg, r'"Desktop"="9, %d"' % 0xA051)
            self.assertIn('"AutoSaveLeadFileName"="shot"', reg)
            self.assertRegex(reg, r'"AutoSaveDigitCount"=\S*3')
            self.assertRegex(reg, r'"AutoSaveStartNO"=\S*(7|9)\b')
            self.assertRegex(reg, r'"AutoSaveImageType"=\S*2\b')


if __name__ == "__main__":
    unittest.main()
