#!/usr/bin/env bash
# Builds the Debian package with CPack and checks it: its dependencies and
# recommendations, its files (brimelctl with its manual page and bash completion among
# them), that the packaged brimelctl runs and needs no Qt library, and that the packaged
# brimel, started without a Brimel attached, shows its one box (caption " ") and no
# window, and ends with exit code 0 once the box is dismissed.
# With the probe plugin of the umockdev tests (third argument, its plugin folder) it
# also reads the box's text and checks it is the only box.
set -euo pipefail
build=$1
prefix=$2
probe_plugins=${3:-}
for tool in cpack dpkg-deb readelf xvfb-run xdotool; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
# A machine with a real Brimel attached would open it: this check is for machines without.
for v in /sys/bus/usb/devices/*/idVendor; do
    [ -f "$v" ] || continue
    d=$(dirname "$v")
    if [ "$(cat "$v")" = 10c4 ] && [ "$(cat "$d/idProduct")" = ea61 ]; then
        echo "skipped: a 10c4:ea61 device is attached"; exit 77
    fi
done

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
(cd "$build" && cpack -G DEB -B "$tmp/pkg" >"$tmp/cpack.log") || { cat "$tmp/cpack.log"; exit 1; }
deb=$(ls "$tmp"/pkg/*.deb)

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for dep in libqt6widgets6 libqt6core6 libusb-1.0-0 qt6-qpa-plugins; do
    grep -q "$dep" <<<"$depends" || { echo "missing dependency: $dep"; exit 1; }
done
recommends=$(dpkg-deb -f "$deb" Recommends)
echo "Recommends: $recommends"
for rec in fonts-liberation edid-decode; do
    grep -qw -- "$rec" <<<"$recommends" || { echo "not recommended: $rec"; exit 1; }
done
contents=$(dpkg-deb -c "$deb")
# The rule is in lib/udev/rules.d under the prefix (under /usr: udev's own directory),
# unless BRIMEL_UDEV_RULES_DIR puts it elsewhere.
rules_dir=${BRIMEL_UDEV_RULES_DIR:-lib/udev/rules.d}
[[ $rules_dir == /* ]] || rules_dir=$prefix/$rules_dir
for f in "$rules_dir/70-brimel.rules" \
         "$prefix/bin/brimel" "$prefix/bin/brimel-200" "$prefix/bin/brimel-demo" "$prefix/bin/brimelctl" \
         "$prefix/share/man/man1/brimelctl.1.gz" "$prefix/share/bash-completion/completions/brimelctl" \
         "$prefix/share/applications/org.brimel.Brimel.desktop" "$prefix/share/metainfo/org.brimel.Brimel.metainfo.xml" \
         "$prefix/share/icons/hicolor/48x48/apps/org.brimel.Brimel.png" \
         "$prefix/share/icons/hicolor/256x256/apps/org.brimel.Brimel.png"; do
    grep -q -- " \.$f\$" <<<"$contents" || { echo "not in the package: $f"; exit 1; }
done

dpkg-deb -x "$deb" "$tmp/root"
# brimelctl runs from the package, for machines without Qt's libraries too.
ctl=$tmp/root$prefix/bin/brimelctl
version=$(dpkg-deb -f "$deb" Version)
[ "$("$ctl" --version)" = "brimelctl $version" ] || { echo "the packaged brimelctl says: $("$ctl" --version)"; exit 1; }
needed=$(readelf -d "$ctl" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
grep -q '^libusb-1\.0\.so' <<<"$needed" || { echo "brimelctl's NEEDED list lacks libusb: $needed"; exit 1; }
if grep '^libQt' <<<"$needed"; then echo "the packaged brimelctl needs Qt"; exit 1; fi
cat >"$tmp/run.sh" <<'RUN'
#!/usr/bin/env bash
set -u
"$1" &
pid=$!
box=$(timeout 30 xdotool search --sync --onlyvisible --name '^ $' | head -1)
if [ -z "$box" ]; then echo "no box appeared"; kill "$pid"; exit 1; fi
if xdotool search --onlyvisible --name 'BRIMEL UTILITY' >/dev/null; then
    echo "the main window appeared"; kill "$pid"; exit 1
fi
xdotool windowactivate --sync "$box" key Return 2>/dev/null || xdotool key Return
for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$pid" 2>/dev/null; then echo "still running after the box"; kill "$pid"; exit 1; fi
wait "$pid"
code=$?
echo "exit code $code"
exit "$code"
RUN
QT_QPA_PLATFORM=xcb xvfb-run -a bash "$tmp/run.sh" "$tmp/root$prefix/bin/brimel"

if [ -n "$probe_plugins" ]; then
    report=$tmp/probe.txt
    set +e
    QT_QPA_PLATFORM=offscreen QT_PLUGIN_PATH=$probe_plugins QT_QPA_GENERIC_PLUGINS=brimelprobe \
        BRIMEL_PROBE_REPORT=$report timeout 60 "$tmp/root$prefix/bin/brimel"
    code=$?
    set -e
    expected=$(printf 'box\t \tCONNECT BRIMEL USB AND RESTART GUI')
    if [ "$(cat "$report")" != "$expected" ]; then
        echo "the packaged brimel showed, instead of the one box:"; cat "$report"; exit 1
    fi
    [ "$code" -eq 0 ] || { echo "the packaged brimel ended with $code after the box"; exit 1; }
    echo "box text: CONNECT BRIMEL USB AND RESTART GUI; exit code 0"
fi
echo "package: dependencies, files, brimelctl without Qt and the no-device start checked"
