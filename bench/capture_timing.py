#!/usr/bin/python3
"""Times desktop captures from the hotkey to the JPEG file closed on disk.

Starts the program in a private 1920 x 1080 X session with a temporary output folder, presses
Ctrl+Alt+D N times (each capture waits for the previous file), and prints the program's own
timing report (ORVANE_CAPTURE_TIMING): each step, and the total with the settle delays the
capture prescribes left out.

    /usr/bin/python3 bench/capture_timing.py [N]
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import test_capture as capture  # noqa: E402
from xsession import XSession  # noqa: E402


def main():
    count = int(sys.argv[1]) if len(sys.argv) > 1 else 6
    with XSession(size="1920x1080x24") as xs:
        app = capture.CaptureSession(xs)
        try:
            for n in range(1, count + 1):
                capture.hotkey(xs, "ctrl", "alt", "d")
                app.wait_file(n)
        finally:
            app.proc.terminate()
            app.proc.wait(timeout=20)
        with open(app.log) as log:
            print(log.read(), end="")


if __name__ == "__main__":
    main()
