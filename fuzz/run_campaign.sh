#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs them one after another.
#   fuzz/run_campaign.sh [SECONDS_PER_TARGET] [TARGET...]
# SECONDS_PER_TARGET 0 means a short smoke run of a few thousand inputs per target (what
# test.sh does). New corpus entries go to build/fuzz/corpus/<target>, crashes to
# build/fuzz/findings/<target>; the shared test images are the seeds.
set -uo pipefail
cd "$(dirname "$0")/.."

SECONDS_PER_TARGET=${1:-600}
shift || true
TARGETS=("$@")
[ ${#TARGETS[@]} -gt 0 ] || TARGETS=(fuzz_image fuzz_bmp fuzz_tga fuzz_pcx fuzz_pgm fuzz_pict fuzz_metafile)

SHARED=$(cd .. && pwd)/shared/testdata
BUILD=build/fuzz
CC=clang-14 CXX=clang++-14 cmake -S . -B "$BUILD" -G Ninja -DORVANE_FUZZ=ON -DORVANE_WITH_QT=OFF \
  -DORVANE_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null || exit 1
cmake --build "$BUILD" --target fuzzers -j2 || exit 1

seeds_for() {
  case $1 in
    fuzz_image) echo "$SHARED/bmp $SHARED/tga $SHARED/pcx $SHARED/pgm $SHARED/pict $SHARED/gif $SHARED/png $SHARED/tiff $SHARED/jpeg $SHARED/eps" ;;
    fuzz_bmp) echo "$SHARED/bmp" ;;
    fuzz_tga) echo "$SHARED/tga" ;;
    fuzz_pcx) echo "$SHARED/pcx" ;;
    fuzz_pgm) echo "$SHARED/pgm" ;;
    fuzz_pict) echo "$SHARED/pict" ;;
    fuzz_metafile) echo "$SHARED/wmf $SHARED/emf" ;;
  esac
}

status=0
for t in "${TARGETS[@]}"; do
  corpus=$BUILD/corpus/$t findings=$BUILD/findings/$t
  mkdir -p "$corpus" "$findings"
  # Regression inputs kept in the project are replayed first.
  extra=()
  [ -d tests/data/fuzz ] && extra+=(tests/data/fuzz)
  if [ "$SECONDS_PER_TARGET" -eq 0 ]; then
    # A fixed seed makes the smoke run the same on every machine.
    limits=(-runs=2000 -max_len=16384 -seed=1)
    # Playing a metafile is the slowest decode: fewer inputs keep the smoke run short.
    [ "$t" = fuzz_metafile ] && limits=(-runs=500 -max_len=16384 -seed=1)
  else
    limits=(-max_total_time="$SECONDS_PER_TARGET" -max_len=262144)
  fi
  echo "=== $t"
  # shellcheck disable=SC2046
  ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$BUILD/bin/$t" "${limits[@]}" -timeout=20 -rss_limit_mb=2560 -malloc_limit_mb=2048 \
    -artifact_prefix="$findings/" -print_final_stats=1 "$corpus" $(seeds_for "$t") "${extra[@]}" \
    >"$BUILD/$t.log" 2>&1
  rc=$?
  grep -E "^stat::number_of_executed_units|^Done|ERROR|SUMMARY" "$BUILD/$t.log" | head -5
  if [ $rc -ne 0 ]; then echo "$t: FAILED (log in $BUILD/$t.log)"; status=1; fi
done
exit $status
