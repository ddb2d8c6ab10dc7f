#!/usr/bin/env bash
# Installs the Debian packages Pabrix needs, by purpose:
#   setup.sh build  what building and running need (make build, make run);
#   setup.sh test   that and the test tools: the X and sound stand-ins, the
#                   Windows toolchain and Wine, printing, the package checkers
#                   (make test, make windows, make package, make fuzz...).
# Idempotent: only missing packages are installed, and it says which.
set -euo pipefail

purpose=${1:-build}

# The compiler and build tools, the libraries the program links, and what the
# asset generator renders the pictures and music with.
BUILD_PACKAGES=(
  build-essential cmake ninja-build pkg-config
  libsdl2-dev libx11-dev libgl-dev libegl-dev
  libvorbis-dev libogg-dev libdumb1-dev libstb-dev
  libgtk-3-dev libcairo2-dev librsvg2-dev
  libfluidsynth-dev timgm6mb-soundfont fluid-soundfont-gm fonts-dejavu-core
  googletest libgtest-dev libgmock-dev libbenchmark-dev
)
# clang for the fuzz targets and sanitizer builds; a display, pointer and
# screenshots for the end-to-end runs; the package checkers; the Windows build
# and Wine to run it; a sound server and a print server of the tests' own.
TEST_PACKAGES=(
  clang-14 libclang-rt-14-dev
  xvfb xauth xdotool x11-utils imagemagick poppler-utils sox xfonts-base
  desktop-file-utils appstream lintian dpkg-dev file
  g++-mingw-w64-x86-64-posix wine64 wine
  pulseaudio pulseaudio-utils cups ghostscript
)

case "$purpose" in
  build) PACKAGES=("${BUILD_PACKAGES[@]}") ;;
  test) PACKAGES=("${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}") ;;
  *) echo "usage: setup.sh [build|test]" >&2; exit 2 ;;
esac

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup ($purpose): all ${#PACKAGES[@]} packages present"
  exit 0
fi

echo "setup ($purpose): installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "setup ($purpose): done"
