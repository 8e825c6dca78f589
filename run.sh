#!/usr/bin/env bash
# Builds and starts Orvane Screen.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j"$(nproc)"
if [ ! -x build/bin/OrvaneScreen ]; then
  echo "The program itself is not built yet; the libraries and tests are (see ./test.sh)."
  exit 0
fi
exec build/bin/OrvaneScreen "$@"
