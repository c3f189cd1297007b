#!/usr/bin/env bash
# Sets up a Debian 12 machine for the Brimel utility, builds it, and then either
# starts the demo (the GUI on an emulated Brimel) or runs the whole test suite.
#   tools/setup.sh demo    install what is missing, build, start brimel-demo
#   tools/setup.sh test    install what is missing, build, run every test (exit 1 on failure)
set -euo pipefail

mode=${1:-}
case "$mode" in demo|test) ;; *) echo "usage: $0 demo|test" >&2; exit 2 ;; esac

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BRIMEL_BUILD_DIR:-$here/build}

packages=(build-essential cmake ninja-build pkg-config qt6-base-dev qt6-base-dev-tools libgl-dev
          libusb-1.0-0-dev libgtest-dev googletest edid-decode python3 fonts-liberation
          qt6-qpa-plugins desktop-file-utils appstream dpkg-dev xvfb xauth xdotool)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr
cmake --build "$build" -j"$(nproc)"

if [ "$mode" = demo ]; then
    exec "$build/app/brimel-demo"
fi
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)"
