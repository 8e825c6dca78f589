"""The private X session starts a window manager and a notification area, and leaves nothing
behind."""

import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xsession import XSession, wait_for  # noqa: E402


class XSessionTest(unittest.TestCase):
    def test_session_has_wm_tray_and_private_home(self):
        with XSession(size="1024x768x24") as xs:
            self.assertTrue(xs.dpy.selection_owner("_NET_SYSTEM_TRAY_S0"))
            self.assertTrue(xs.dpy.window_property(xs.dpy.root(), "_NET_SUPPORTING_WM_CHECK"))
            geometry = xs.run(["xdotool", "getdisplaygeometry"]).stdout.split()
            self.assertEqual(geometry, ["1024", "768"])
            self.assertTrue(xs.env["HOME"].startswith(xs.tmp))
            self.assertTrue(xs.env["XDG_CONFIG_HOME"].startswith(xs.tmp))
            # A real client maps a window that the window manager frames.
            xs.spawn(["xlogo", "-geometry", "300x200+10+10"])
            wait_for(lambda: subprocess.run(["xdotool", "search", "--sync", "--class", "xlogo"],
                                            env=xs.env, capture_output=True, timeout=10).returncode == 0,
                     what="xlogo")
            pids = [p.pid for p in xs.procs]
            tmp = xs.tmp
        # Everything it started is gone, and so is its folder.
        for pid in pids:
            self.assertFalse(os.path.exists(f"/proc/{pid}") and
                             open(f"/proc/{pid}/stat").read().split()[2] != "Z", pid)
        self.assertFalse(os.path.exists(tmp))

    def test_teardown_after_a_failure(self):
        pids = []
        with self.assertRaises(RuntimeError):
            with XSession(size="800x600x24", tray=False) as xs:
                pids = [p.pid for p in xs.procs]
                raise RuntimeError("test failed")
        self.assertTrue(pids)
        for pid in pids:
            self.assertFalse(os.path.exists(f"/proc/{pid}"), pid)


if __name__ == "__main__":
    unittest.main()
