#!/usr/bin/env bash
# Installs the Debian packages the build, the asset generator and the tests need.
# Idempotent: only missing packages are installed, and it says which.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config clang-14 libclang-rt-14-dev
  libsdl2-dev libx11-dev libgl-dev libegl-dev
  libvorbis-dev libogg-dev libdumb1-dev libstb-dev
  libgtk-3-dev libcairo2-dev librsvg2-dev
  libfluidsynth-dev timgm6mb-soundfont fluid-soundfont-gm
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth xdotool x11-utils imagemagick poppler-utils sox fonts-dejavu-core
  desktop-file-utils appstream lintian dpkg-dev file
  xfonts-base
  g++-mingw-w64-x86-64-posix wine64 wine
  pulseaudio pulseaudio-utils cups ghostscript
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all ${#PACKAGES[@]} packages present"
  exit 0
fi

echo "setup: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "setup: done"
