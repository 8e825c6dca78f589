"""The hook library in a private X session: hotkeys are matched on release with the modifiers
held at that moment, Escape and Enter are forwarded only during a selection, and the pointer
grab forwards every pointer event as the mouse message it stands for."""

import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from probe import start_line_process  # noqa: E402
from xsession import XSession  # noqa: E402

BUILD = os.environ.get("ORVANE_BUILD_DIR", os.path.join(os.path.dirname(__file__), "../../build"))
LIBRARY = os.path.join(BUILD, "lib", "libTilletHook.so")
PROBE = os.path.join(BUILD, "bin", "hook_probe")

ALT_PRINT = 0x202C
CTRL_SHIFT_ALT_C = 0xE043
CTRL_ALT_R = 0xA052
PRINT = 0x002C
CTRL_ONLY = 0x8000
CTRL_DECIMAL = 0x806E


class HookExportsTest(unittest.TestCase):
    def test_exports(self):
        out = subprocess.run(["nm", "-D", "--defined-only", LIBRARY], check=True,
                             capture_output=True, text=True).stdout
        symbols = {line.split()[-1]: line.split()[-2] for line in out.splitlines() if line.strip()}
        for name in ("ORV_HookKeyboard", "ORV_UnHookKeyboard", "ORV_HookMouse", "ORV_UnHookMouse",
                     "ORV_SetCaptureHotKey", "ORV_GetCaptureHotKey"):
            self.assertEqual(symbols.get(name), "T", name)
        for name in ("ORVM_ForwardKeyboardMessage", "ORVM_ForwardMouseMessage"):
            self.assertIn(symbols.get(name), ("B", "D"), name)
        # Nothing else of the library's own is exported.
        ours = [s for s in symbols if s.startswith(("ORV", "Orv", "g_"))]
        self.assertEqual(len(ours), 8, ours)
        soname = subprocess.run(["objdump", "-p", LIBRARY], check=True, capture_output=True,
                                text=True).stdout
        self.assertIn("SONAME               libTilletHook.so.1\n", soname)
        # The usual shared-library versioning: .so -> .so.1 -> .so.1.0.0, and nothing else.
        self.assertEqual(os.readlink(LIBRARY), "libTilletHook.so.1")
        self.assertEqual(os.readlink(LIBRARY + ".1"), "libTilletHook.so.1.0.0")
        self.assertTrue(os.path.isfile(LIBRARY + ".1.0.0"))
        strings = subprocess.run(["strings", "-a", LIBRARY + ".1.0.0"], check=True,
                                 capture_output=True, text=True).stdout
        for word in ("DLL", "Dynamic Link Library", "FileVersion", "OriginalFilename"):
            self.assertNotIn(word, strings)

    def test_program_finds_the_library(self):
        program = os.path.join(BUILD, "bin", "OrvaneScreen")
        if not os.path.exists(program):
            self.skipTest("this build has no program (the thread sanitizer build)")
        deps = subprocess.run(["ldd", program], check=True, capture_output=True,
                              text=True).stdout
        line = next(x for x in deps.splitlines() if "libTilletHook" in x)
        self.assertIn("libTilletHook.so.1 => " + os.path.realpath(os.path.join(BUILD, "lib")),
                      line)


class HookTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.xs = XSession(size="1024x768x24", tray=False)
        cls.xs.__enter__()

    @classmethod
    def tearDownClass(cls):
        cls.xs.__exit__(None, None, None)

    def setUp(self):
        self.probe = start_line_process(self.xs, [PROBE])
        ready = self.probe.expect().split()
        self.assertEqual(ready[0], "ready")
        self.window = int(ready[1])
        self.assertNotEqual(int(ready[2]), 0)
        self.assertNotEqual(int(ready[3]), 0)

    def tearDown(self):
        try:
            self.probe.send("quit")
            self.probe.proc.wait(timeout=10)
        except Exception:
            self.probe.proc.kill()
            self.probe.proc.wait()
        # A clean end; under the thread sanitizer a reported race ends the probe with 66.
        self.assertEqual(self.probe.proc.returncode, 0)

    def keys(self, *steps):
        """xdotool key steps in a person's order, e.g. ("keydown", "alt", "Print", ...)."""
        self.xs.run(["xdotool", *steps])

    def hook_default_table(self):
        table = [0] * 35
        table[0] = ALT_PRINT
        table[1] = CTRL_SHIFT_ALT_C
        table[2] = CTRL_ALT_R
        table[3] = CTRL_ALT_R  # a duplicate: the lower index wins
        table[5] = CTRL_ONLY
        table[6] = CTRL_DECIMAL
        table[12] = PRINT
        self.assertEqual(self.probe.ask("hookkbd " + " ".join(map(str, table))), "hookkbd 1")
        return table

    def test_results_before_and_after_hooks(self):
        self.assertEqual(self.probe.ask("get"), "get 1" + " 0" * 35)
        self.assertEqual(self.probe.ask("unhookkbd"), "unhookkbd 0")
        self.assertEqual(self.probe.ask("unhookmouse"), "unhookmouse 0")
        table = self.hook_default_table()
        # A second hook succeeds without taking the new table.
        self.assertEqual(self.probe.ask("hookkbd 1 2 3"), "hookkbd 1")
        self.assertEqual(self.probe.ask("get"), "get 1 " + " ".join(map(str, table)))
        self.assertEqual(self.probe.ask("set 7"), "set 1")
        self.assertEqual(self.probe.ask("get"), "get 1 7" + " 0" * 34)
        self.assertEqual(self.probe.ask("unhookkbd"), "unhookkbd 1")
        self.assertEqual(self.probe.ask("unhookkbd"), "unhookkbd 0")
        # The table is kept after the hook is gone.
        self.assertEqual(self.probe.ask("get"), "get 1 7" + " 0" * 34)

    def test_unhook_while_keys_are_released(self):
        """Key releases still unread when the watch stops must not hang the unhook."""
        typist = self.xs.spawn(["xdotool", "type", "--delay", "1", "x" * 4000])
        try:
            for _ in range(30):
                self.hook_default_table()
                self.assertEqual(self.probe.ask("unhookkbd", timeout=10), "unhookkbd 1")
        finally:
            typist.kill()
            typist.wait()

    def test_hotkeys_match_on_release_with_held_modifiers(self):
        self.hook_default_table()
        self.keys("keydown", "alt", "keydown", "Print", "keyup", "Print", "keyup", "alt")
        self.assertEqual(self.probe.expect(), "key 0 44")
        self.keys("key", "Print")
        self.assertEqual(self.probe.expect(), "key 12 44")
        self.keys("keydown", "ctrl", "keydown", "shift", "keydown", "alt", "keydown", "c",
                  "keyup", "c", "keyup", "alt", "keyup", "shift", "keyup", "ctrl")
        self.assertEqual(self.probe.expect(), "key 1 67")
        self.keys("keydown", "ctrl", "keydown", "alt", "keydown", "r", "keyup", "r", "keyup",
                  "alt", "keyup", "ctrl")
        self.assertEqual(self.probe.expect(), "key 2 82")
        # Ctrl let go before R: the word looked up is Alt+R, which is no hotkey. Ctrl alone
        # never fires. Ctrl with the keypad's decimal point does.
        self.keys("keydown", "ctrl", "keydown", "alt", "keydown", "r", "keyup", "ctrl", "keyup",
                  "r", "keyup", "alt")
        self.keys("key", "ctrl")
        self.keys("keydown", "ctrl", "keydown", "KP_Decimal", "keyup", "KP_Decimal", "keyup", "ctrl")
        self.assertEqual(self.probe.expect(), "key 6 110")
        # Escape outside a selection passes without a message: the next one is Print's.
        self.keys("key", "Escape")
        self.keys("key", "Print")
        self.assertEqual(self.probe.expect(), "key 12 44")

    def test_selection_forwards_escape_enter_and_pointer_events(self):
        self.hook_default_table()
        self.assertEqual(self.probe.ask("hookmouse"), "hookmouse 1")
        # The nudge at the start arrives as moves; drain them.
        self.xs.run(["xdotool", "mousemove", "300", "200"])
        line = self.probe.expect()
        while line != "mouse 512 300 200":
            self.assertTrue(line.startswith("mouse 512 "), line)
            line = self.probe.expect()
        self.xs.run(["xdotool", "click", "1"])
        self.assertEqual(self.probe.expect(), "mouse 513 300 200")
        self.assertEqual(self.probe.expect(), "mouse 514 300 200")
        self.xs.run(["xdotool", "click", "3"])
        self.assertEqual(self.probe.expect(), "mouse 516 300 200")
        self.assertEqual(self.probe.expect(), "mouse 517 300 200")
        self.xs.run(["xdotool", "mousemove", "500", "400", "click", "--repeat", "2", "--delay", "60", "1"])
        got = []
        while len(got) < 4:
            line = self.probe.expect()
            if not line.startswith("mouse 512"):
                got.append(line)
        self.assertEqual(got, ["mouse 513 500 400", "mouse 514 500 400", "mouse 515 500 400",
                                   "mouse 514 500 400"])
        self.keys("key", "Escape")
        self.assertEqual(self.probe.expect(), "key -1 27")
        self.keys("key", "Return")
        self.assertEqual(self.probe.expect(), "key -1 13")
        # A second hook is refused quietly, as success.
        self.assertEqual(self.probe.ask("hookmouse"), "hookmouse 1")
        self.assertEqual(self.probe.ask("unhookmouse"), "unhookmouse 1")
        self.assertEqual(self.probe.ask("unhookmouse"), "unhookmouse 0")
        # After the selection Escape is nobody's business again.
        self.keys("key", "Escape")
        self.keys("key", "Print")
        self.assertEqual(self.probe.expect(), "key 12 44")


if __name__ == "__main__":
    unittest.main()
