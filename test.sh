#!/usr/bin/env bash
# Builds everything (the normal build, the sanitizer builds) and runs every test and check:
# formatting, clang-tidy, the tests under AddressSanitizer and ThreadSanitizer, the normal
# tests and the fuzz targets. The last line is the summary of all test runs together.
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

# A check that is not a test program: counts once in the summary, as passed or failed.
check() {
  local name=$1; shift
  local start=$SECONDS
  if "$@"; then
    summary_pass=$((summary_pass + 1))
    echo "$name: passed ($((SECONDS - start)) s)"
  else
    summary_fail=$((summary_fail + 1)); status=1
    echo "$name: FAILED ($((SECONDS - start)) s)"
  fi
}

# Every C and C++ file of the repository, as the repository's .clang-format lays it out.
format_check() {
  git ls-files -z --cached --others --exclude-standard '*.c' '*.cc' '*.cpp' '*.h' '*.hpp' |
    xargs -0 -r clang-format-14 --dry-run --Werror
}

# The .clang-tidy checks over the program's own sources (not tests, benchmarks or fuzz
# targets), with the normal build's compile commands; any finding is an error.
# clang-tidy parses with clang: GCC's own options leave the commands it is given, and the
# pragmas that name GCC's warnings are not reported.
tidy_check() {
  mkdir -p build/tidy
  sed -e 's/ -fvect-cost-model=[a-z]*//g' build/compile_commands.json >build/tidy/compile_commands.json
  run-clang-tidy-14 -p build/tidy -j "$JOBS" -quiet -extra-arg=-Wno-unknown-warning-option \
    "^$PWD/(imagefile|editor|view|capture|hook|app|shell|dialogs|print|framework|platform|tools)/" \
    >build/clang-tidy.log 2>&1
  local rc=$?
  sed 's/\x1b\[[0-9;]*m//g' build/clang-tidy.log | grep -E "(warning|error): " | sort -u
  [ "$rc" -eq 0 ] || echo "clang-tidy: see build/clang-tidy.log"
  return "$rc"
}

echo "=== clang-format ==="
check "clang-format" format_check

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

echo "=== clang-tidy ==="
if [ -f build/compile_commands.json ]; then
  check "clang-tidy" tidy_check
else
  echo "no build/compile_commands.json"; status=1; summary_fail=$((summary_fail + 1))
fi

# The threaded code under ThreadSanitizer: the band runners (through the filters, the
# resampling and the encoders that use them), the pixel block cache, the undo snapshots
# compressed in the background and the hook library's threads. Only what those tests need
# is built; tests are picked by name, not by file.
echo "=== thread sanitizer build ==="
TSAN_TARGETS=(unit_editor unit_command_history unit_picture unit_image_formats TilletHook hook_probe)
TSAN_TESTS='^(Bands|Snapshot|CommandHistory|ImageFilters|ImageFiltersExact|Resample|ResampleExact|PngWriter|JpegPaths|Picture|PixelBlockThreads)\.|^tsan_hook$'
tsan_start=$SECONDS
if cmake -S . -B build/tsan -G Ninja -DORVANE_WERROR=$WERROR -DORVANE_TSAN=ON -DORVANE_WITH_QT=OFF \
     >/dev/null && cmake --build build/tsan -j"$JOBS" --target "${TSAN_TARGETS[@]}"; then
  TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" run_ctest build/tsan -R "$TSAN_TESTS"
else
  echo "thread sanitizer build failed"; status=1; summary_fail=$((summary_fail + 1))
fi
echo "thread sanitizer: $((SECONDS - tsan_start)) s"

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
