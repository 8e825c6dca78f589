"""Starts Orvane Screen in a private virtual X session (Xvfb, openbox, tint2 as the
notification area) for machines without a display, writes a screenshot once the program's
notification-area icon is shown, and keeps the session until the program ends or Ctrl+C."""

import os
import signal
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
from xsession import XSession, wait_for  # noqa: E402


def tray_icons(xs):
    """Windows docked in the notification area (tint2 reparents them into its panel)."""
    out = subprocess.run(["xwininfo", "-root", "-tree"], env=xs.env, capture_output=True,
                         text=True).stdout
    return [line for line in out.splitlines() if "OrvaneScreen" in line or "Orvane Screen" in line]


def main():
    # A polite stop (SIGTERM, a closed terminal) tears the session down like Ctrl+C.
    for sig in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(sig, signal.default_int_handler)
    program = sys.argv[1]
    shot = os.path.abspath(sys.argv[2])
    args = sys.argv[3:]
    with XSession(size="1280x800x24") as xs:
        proc = xs.spawn([program] + args, stdout=None, stderr=None)
        try:
            wait_for(lambda: proc.poll() is not None or tray_icons(xs), timeout=20,
                     what="the program")
            # A moment for the panel to draw the icon before the picture is taken.
            time.sleep(0.5)
            xs.screenshot(shot)
            print(f"Orvane Screen runs on the private display {xs.display} "
                  f"(HOME={xs.env['HOME']}).\nScreenshot: {shot}\n"
                  "Press Ctrl+C to end the session.", flush=True)
            proc.wait()
        except KeyboardInterrupt:
            pass


if __name__ == "__main__":
    main()
