#!/usr/bin/env bash
# Sets up a Debian 12 machine for the Brimel utility, builds it, and then either
# starts the demo (the GUI on an emulated Brimel) or runs a test suite.
#   tools/setup.sh demo      install what is missing, build, start brimel-demo
#   tools/setup.sh test      install what is missing, build, run every test (exit 1 on failure)
#   tools/setup.sh sanitize  the same suite, everything built with ASan and UBSan (build-asan/)
#   tools/setup.sh fuzz      a short run of every fuzz target under ASan and UBSan (build-fuzz/)
#   tools/setup.sh memcheck  the unit and GUI tests under valgrind memcheck (build/)
set -euo pipefail

mode=${1:-}
case "$mode" in demo|test|sanitize|fuzz|memcheck) ;; *) echo "usage: $0 demo|test|sanitize|fuzz|memcheck" >&2; exit 2 ;; esac

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BRIMEL_BUILD_DIR:-$here/build}
extra=()
case "$mode" in
    sanitize) build=${BRIMEL_BUILD_DIR:-$here/build-asan}; extra=(-DBRIMEL_SANITIZE=ON) ;;
    fuzz) build=${BRIMEL_BUILD_DIR:-$here/build-fuzz}
          extra=(-DBRIMEL_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++-14) ;;
esac

packages=(build-essential cmake ninja-build pkg-config qt6-base-dev qt6-base-dev-tools libgl-dev
          libusb-1.0-0-dev libcli11-dev nlohmann-json3-dev help2man libgtest-dev googletest
          edid-decode python3 fonts-liberation qt6-qpa-plugins desktop-file-utils appstream dpkg-dev
          xvfb xauth xdotool bash-completion man-db hyperfine
          clang-14 libclang-rt-14-dev libumockdev-dev umockdev valgrind)

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

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr "${extra[@]}"
if [ "$mode" = fuzz ]; then
    cmake --build "$build" -j"$(nproc)" --target fuzz_edid_text fuzz_edid_file fuzz_edid_summary \
        fuzz_infoframe_text fuzz_status_decode fuzz_emulator_frames fuzz_profile fuzz_cli_args
else
    cmake --build "$build" -j"$(nproc)"
fi

if [ "$mode" = demo ]; then
    exec "$build/app/brimel-demo"
fi
if [ "$mode" = memcheck ]; then
    exec bash "$here/tests/memcheck.sh" "$build"
fi
cd "$build"
if [ "$mode" = sanitize ]; then
    # Leaks are checked by LeakSanitizer with the suppressions of Qt's own allocations.
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
    export LSAN_OPTIONS=suppressions=$here/tests/lsan.supp:print_suppressions=0
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)"
