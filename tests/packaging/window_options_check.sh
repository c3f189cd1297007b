#!/usr/bin/env bash
# brimel, brimel-200 and brimel-demo answer --version and --help on standard output with
# exit code 0 and nothing on standard error, without a display (DISPLAY and
# WAYLAND_DISPLAY empty, no QT_QPA_PLATFORM): they answer before Qt needs one.
#   window_options_check.sh VERSION BRIMEL BRIMEL-200 BRIMEL-DEMO
set -uo pipefail
version=$1
shift
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
status=0

# expect PROGRAM OPTION TEXT: the exact output of PROGRAM OPTION, exit code 0, no errors.
expect() {
    local program=$1 option=$2 want=$3 code
    env -u QT_QPA_PLATFORM DISPLAY= WAYLAND_DISPLAY= "$program" "$option" >"$tmp/out" 2>"$tmp/err"
    code=$?
    if [ "$code" -ne 0 ] || [ -s "$tmp/err" ] || [ "$(cat "$tmp/out")" != "$want" ]; then
        echo "$(basename "$program") $option: exit code $code, standard error:"
        cat "$tmp/err"
        echo "standard output:"
        cat "$tmp/out"
        echo "expected:"
        echo "$want"
        status=1
    fi
}

common="Options:
  -h, --help   print this help and exit
  --version    print the version and exit
The program takes no other options of its own; Qt's options (such as
-platform or -style) go to Qt."
scripting="For scripts, automation and machines without a desktop use brimelctl
('brimelctl --help')."

for program in "$1" "$2"; do
    name=$(basename "$program")
    expect "$program" --version "$name $version"
    expect "$program" --help "Usage: $name [QT-OPTION...]
Controls the Brimel HDMI signal processor (USB 10c4:ea61, serial number 2024)
in a window: the live signal status, every setting, the colour matrix, custom
infoframes and the EDID.

$common

Opening the Brimel without root needs the udev rule 70-brimel.rules: the
package installs it in /usr/lib/udev/rules.d, 'cmake --install' in
lib/udev/rules.d under its prefix (outside /usr and /usr/local, copy it
into /etc/udev/rules.d). Then run 'sudo udevadm control --reload' and
re-plug the Brimel; 'brimelctl doctor' checks the device, its permissions
and the rule.

$scripting"
done

expect "$3" --version "brimel-demo $version"
expect "$3" -h "Usage: brimel-demo [QT-OPTION...]
The Brimel utility's window on an emulated Brimel, for trying the program
without hardware: it needs no device, no udev rule and no root.

$common

$scripting"

[ "$status" -eq 0 ] && echo "brimel, brimel-200, brimel-demo: --version and --help without a display"
exit "$status"
