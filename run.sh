#!/usr/bin/env bash
# Builds and starts Orvane Screen: on $DISPLAY when there is one, otherwise in a private
# virtual X session (Xvfb, openbox, tint2 as the notification area) with a screenshot to look at.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j"$(nproc)"
if [ ! -x build/bin/OrvaneScreen ]; then
  echo "The program itself is not built yet; the libraries and tests are (see ./test.sh)."
  exit 0
fi
if [ -n "${DISPLAY:-}" ]; then
  exec build/bin/OrvaneScreen "$@"
fi
echo "No \$DISPLAY: starting a private X session. With the default options the program starts"
echo "as an icon in the notification area (bottom right of the screenshot)."
exec /usr/bin/python3 tools/run_in_xsession.py build/bin/OrvaneScreen build/run-screenshot.png "$@"
