#!/usr/bin/env bash
# Installs the Debian 12 packages Tetrav needs to build, run, test and benchmark.
# Only what is missing is installed; runs apt-get through sudo when not root.
set -euo pipefail

packages=(
    g++ cmake ninja-build make pkg-config git
    qt6-base-dev qt6-base-dev-tools libgl-dev
    libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev libswscale-dev
    gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad
    gstreamer1.0-plugins-ugly gstreamer1.0-libav gstreamer1.0-tools gstreamer1.0-x
    libx11-dev libxext-dev libxss-dev libx11-xcb-dev libxcb1-dev
    libkissfft-dev
    fonts-wqy-microhei qt6-translations-l10n
    googletest libgtest-dev libgmock-dev
    xvfb xauth xdotool x11-xserver-utils x11-apps dbus dbus-x11 at-spi2-core
    ffmpeg imagemagick python3 sox espeak-ng
    clang-14 libclang-rt-14-dev
    dpkg-dev desktop-file-utils appstream playerctl shared-mime-info
)
if [ "${TETRAV_BENCH:-0}" = 1 ]; then
    packages+=(mpv time)
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}" >&2
SUDO=()
[ "$(id -u)" -ne 0 ] && SUDO=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${SUDO[@]}" apt-get update -qq
"${SUDO[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
