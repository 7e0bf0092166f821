#!/usr/bin/env bash
# Installs the Debian packages the runtime, its tools and its tests need; only what is missing.
set -euo pipefail

PACKAGES=(
    cmake g++ pkg-config make
    # scripts/headers-alone.sh reads the build's compile_commands.json with it.
    jq
    libsdl2-dev libsdl2-ttf-dev libfluidsynth-dev timgm6mb-soundfont
    libvorbis-dev libpng-dev libjpeg-dev zlib1g-dev fonts-ipafont-gothic
    # The X server's core fonts that SDL's message boxes are drawn with: without the Japanese
    # ones the boxes' texts come out as strings of Latin letters.
    xfonts-base xfonts-intl-japanese
    libgtest-dev libgmock-dev libbenchmark-dev
    # clang's libFuzzer and sanitizer runtimes are only a recommendation of clang, which
    # --no-install-recommends skips: without them the fuzz targets do not link.
    clang libclang-rt-dev
    sound-theme-freedesktop alsa-utils
    # The tests on a real X display: the server, a window manager, and the tools that find,
    # move, close and photograph windows.
    xvfb openbox xdotool x11-utils imagemagick
)

missing=()
for p in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
