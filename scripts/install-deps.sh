#!/usr/bin/env bash
# Installs every Debian package the build, the program, the tests, the benchmarks and the
# fuzzers need. Quick when everything is present: it asks dpkg first and runs apt only for
# what is missing.
set -euo pipefail

PACKAGES=(
  # build
  g++ cmake ninja-build pkg-config ccache
  # GUI
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev libqt6svg6
  qt6-qpa-plugins
  # printed PDFs are read back by the printing tests
  poppler-utils
  # X11
  libx11-dev libxcb1-dev libxext-dev libxtst-dev libxrandr-dev libxfixes-dev
  # sound: the desktop sound service (PulseAudio or PipeWire)
  libpulse-dev
  # image libraries
  libpng-dev libjpeg62-turbo-dev libtiff-dev libgif-dev zlib1g-dev
  # undo snapshots are kept compressed
  libzstd-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth openbox tint2 xdotool xclip wmctrl x11-utils x11-apps x11-xserver-utils
  imagemagick python3-pil python3-numpy
  # end-to-end tests read what windows show through the accessibility bus
  dbus-daemon at-spi2-core python3-dbus
  # fuzzing
  clang-14 libclang-rt-14-dev
  # the format and static checks of test.sh
  clang-format-14 clang-tidy-14
  # fonts so that windows under Xvfb show text
  fonts-dejavu-core
  # the installed desktop entry and AppStream data are validated; the Debian package is
  # checked with lintian (scripts/build-deb.sh)
  desktop-file-utils appstream dpkg-dev file lintian
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}" >&2
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get -o DPkg::Lock::Timeout=300 update -qq
$SUDO apt-get -o DPkg::Lock::Timeout=300 install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
