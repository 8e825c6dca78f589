#!/usr/bin/env bash
# Builds everything (the normal build and the sanitizer build of the plain-C++ parts) and runs
# every test. The last line is the summary of all test runs together.
set -uo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh || { echo "0 passed, 1 failed: installing the dependencies failed"; exit 1; }

JOBS=$(nproc)
WERROR=OFF
if [ -n "${CI:-}" ]; then WERROR=ON; fi

status=0
summary_pass=0
summary_fail=0

# Runs ctest in one build tree and adds its counts to the summary.
run_ctest() {
  local dir=$1; shift
  local log
  log=$(mktemp)
  (cd "$dir" && ctest -j"$JOBS" --output-on-failure --timeout 600 "$@") 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  local line total failed
  line=$(grep -E "tests passed, [0-9]+ tests? failed out of [0-9]+" "$log" | tail -1)
  if [ -n "$line" ]; then
    total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
    failed=$(sed -E 's/.* ([0-9]+) tests? failed.*/\1/' <<<"$line")
    summary_pass=$((summary_pass + total - failed))
    summary_fail=$((summary_fail + failed))
  elif [ "$rc" -ne 0 ]; then
    summary_fail=$((summary_fail + 1))
  fi
  rm -f "$log"
  [ "$rc" -eq 0 ] || status=1
}

build() {
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja -DORVANE_WERROR=$WERROR "$@" >/dev/null &&
    cmake --build "$dir" -j"$JOBS"
}

echo "=== sanitizer build (AddressSanitizer + UndefinedBehaviorSanitizer) ==="
if build build/asan -DORVANE_SANITIZE=ON -DORVANE_WITH_QT=OFF -DCMAKE_BUILD_TYPE=Debug; then
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    run_ctest build/asan -L unit
else
  echo "sanitizer build failed"; status=1; summary_fail=$((summary_fail + 1))
fi

echo "=== normal build ==="
if build build; then
  run_ctest build
else
  echo "build failed"; status=1; summary_fail=$((summary_fail + 1))
fi

echo "=== fuzz targets (a short run of each, so that they keep building and running) ==="
if command -v clang++-14 >/dev/null; then
  if fuzz/run_campaign.sh 0; then
    summary_pass=$((summary_pass + 1))
  else
    echo "fuzz smoke run failed"; status=1; summary_fail=$((summary_fail + 1))
  fi
else
  echo "clang++-14 missing"; status=1; summary_fail=$((summary_fail + 1))
fi

echo
echo "Summary: $summary_pass passed, $summary_fail failed"
exit $status
