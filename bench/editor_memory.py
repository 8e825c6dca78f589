"""Resident memory of the program with one desktop capture, and with ten operations (ten undo
snapshots) on it, in a private X session of the given size (default 3840x2160).

    /usr/bin/python3 bench/editor_memory.py [WIDTHxHEIGHT]
"""

import os
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "../tests/e2e"))
from xsession import XSession, wait_for  # noqa: E402
from test_app import PROGRAM, activate, main_visible, rss_mb, seed_options, window_named, xdo  # noqa: E402,E501


def settled(pid):
    """The resident size once it has stopped changing for two seconds."""
    last, steady = rss_mb(pid), 0
    while steady < 10:
        time.sleep(0.2)
        now = rss_mb(pid)
        steady = steady + 1 if abs(now - last) < 0.5 else 0
        last = now
    return last


def main():
    size = sys.argv[1] if len(sys.argv) > 1 else "3840x2160"
    with XSession(size=f"{size}x24") as xs:
        seed_options(xs, 0x0008166B & ~0x2)  # the window shown at start
        proc = xs.spawn([PROGRAM])
        window = wait_for(lambda: main_visible(xs), what="the main window")[0]
        activate(xs, window)
        idle = settled(proc.pid)
        xdo(xs, "keydown", "ctrl", "alt", "d")
        xdo(xs, "keyup", "d")
        xdo(xs, "keyup", "alt", "ctrl")
        wait_for(lambda: window_named(xs, "Orvn00001") or window_named(xs, "Orvcap1"),
                 timeout=60, what="the capture's window")
        one = settled(proc.pid)
        for _ in range(10):  # Operations > Invert
            activate(xs, window)
            xdo(xs, "key", "alt+o")
            xdo(xs, "key", "i")
        ten = settled(proc.pid)
        print(f"idle {idle:.0f} MB; one {size} capture {one:.0f} MB; "
              f"with ten undo steps {ten:.0f} MB (+{ten - one:.0f} MB)")


if __name__ == "__main__":
    main()
