#!/usr/bin/env bash
# Remakes the screenshots in docs/screenshots/ (shown by the README and listed in the
# AppStream metainfo): the window of both programs on the emulated demo device,
# drawn offscreen at scale 1 and, to check the fonts and layout on HiDPI screens, 2.
#   tools/screenshots.sh [build folder]   (default: build/, configured by tools/setup.sh)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$here/build}
out=$here/docs/screenshots
cmake --build "$build" --target brimel-screenshot brimel-200-screenshot >/dev/null

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export QT_QPA_PLATFORM=offscreen
shoot() {  # program, scale, file-name prefix
    QT_SCALE_FACTOR=$2 "$build/tools/screenshot/$1-screenshot" "$scratch" "$3" >/dev/null 2>"$scratch/$3.log" \
        || { cat "$scratch/$3.log" >&2; exit 1; }
}
shoot brimel 1 brimel
shoot brimel-200 1 brimel-200
shoot brimel 2 brimel-2x
shoot brimel-200 2 brimel-200-2x

mkdir -p "$out"
rm -f "$out"/*.png
# The tool names its files <prefix>-<tab index>-<tab text>.png.
keep() { cp "$scratch/$1" "$out/$2"; echo "$out/$2"; }
keep brimel-0-edid-manager.png brimel-edid-manager.png
keep brimel-1-hdr-avi.png brimel-hdr-avi.png
keep brimel-4-3x3-matrix.png brimel-3x3-matrix.png
keep brimel-3-scaler.png brimel-scaler.png
keep brimel-200-0-edid-manager.png brimel-200-edid-manager.png
keep brimel-2x-0-edid-manager.png brimel-2x-edid-manager.png
keep brimel-200-2x-4-3x3.png brimel-200-2x-3x3.png
keep brimel-edid-details.png brimel-edid-details.png
keep brimel-200-edid-details.png brimel-200-edid-details.png
