#!/usr/bin/env bash
# Builds the Debian package build/deb/orvane-screen_<version>_<arch>.deb in its own build folder,
# configured for /usr (the hook library then goes to the multi-arch folder) with the
# optimisation the tests run with, and checks it: its fields, that the unpacked program finds
# its hook library, and lintian (errors fail). Prints how long it took.
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
dpkg-deb --field "$deb" Package Version Architecture Depends Recommends Installed-Size
# Unpacked anywhere, the program finds its hook library inside the package's own tree.
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
if ! ldd "$unpacked/usr/bin/OrvaneScreen" | grep -q "libTilletHook.so.1 => $unpacked/"; then
  echo "build-deb: the packaged program does not find its hook library" >&2
  exit 1
fi
if command -v lintian >/dev/null; then
  # The package's own checks; warnings are printed, errors fail the build.
  lintian --fail-on error "$deb"
fi
echo "$deb: built in $((SECONDS - start)) s"
