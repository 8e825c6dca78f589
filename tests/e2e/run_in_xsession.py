"""Runs one command inside a private X session and exits with its status.

    run_in_xsession.py [--size WxHxD] [--no-tray] -- COMMAND ARGS...
"""

import argparse
import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xsession import DEFAULT_SIZE, XSession  # noqa: E402


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--size", default=DEFAULT_SIZE)
    parser.add_argument("--no-tray", action="store_true")
    parser.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    command = args.command[1:] if args.command[:1] == ["--"] else args.command
    with XSession(size=args.size, tray=not args.no_tray) as xs:
        return subprocess.run(command, env=xs.env, timeout=600).returncode


if __name__ == "__main__":
    sys.exit(main())
