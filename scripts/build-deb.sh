#!/usr/bin/env bash
# Builds the Debian package build/deb/orvane-screen_<version>_<arch>.deb in its own build folder,
# with the optimisation the tests run with,
# configured for /usr (the hook library then goes to the multi-arch folder), and checks it with
# dpkg-deb and, when it is installed, lintian. Prints how long it took.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
start=$SECONDS
dir=build/deb
# Only what the package holds is built; cpack's install step must not build everything else.
cmake -S . -B "$dir" -G Ninja -DCMAKE_INSTALL_PREFIX=/usr \
  -DORVANE_BENCH=OFF -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON -DORVANE_WERROR="${ORVANE_WERROR:-OFF}" >/dev/null
cmake --build "$dir" -j"$(nproc)" --target OrvaneScreen TilletHook program_icons changelog
rm -f "$dir"/*.deb
(cd "$dir" && cpack -G DEB >/dev/null)
deb=$(ls "$dir"/*.deb)
dpkg-deb --info "$deb" | sed -n '/Package:/,$p'
if command -v lintian >/dev/null; then
  # The package's own checks; warnings are printed, errors fail the build.
  lintian --fail-on error "$deb"
fi
echo "$deb: built in $((SECONDS - start)) s"
