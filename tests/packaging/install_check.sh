#!/usr/bin/env bash
# Installs the build twice, each time checking its files and the udev rule's message and
# then removing everything the install manifest lists (nothing may be left):
#  - as a user does without root, 'cmake --install --prefix ~/.local': everything lands
#    under that prefix, the udev rule in lib/udev/rules.d, nothing outside it;
#  - as the package does, prefix /usr under DESTDIR: the rule in /usr/lib/udev/rules.d,
#    where udev reads it.
#   install_check.sh BUILD [BRIMEL_UDEV_RULES_DIR]
set -euo pipefail
build=$1
override=${2:-}
if [ -n "$override" ]; then
    echo "skipped: BRIMEL_UDEV_RULES_DIR ($override) moves the rule out of the prefix"
    exit 77
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# The files a user needs, relative to the prefix.
expected=(
    bin/brimel bin/brimel-200 bin/brimel-demo bin/brimelctl
    lib/udev/rules.d/70-brimel.rules
    share/man/man1/brimelctl.1.gz
    share/bash-completion/completions/brimelctl
    share/applications/org.brimel.Brimel.desktop
    share/applications/org.brimel.BrimelDemo.desktop
    share/metainfo/org.brimel.Brimel.metainfo.xml
    share/icons/hicolor/32x32/apps/org.brimel.Brimel.png
    share/icons/hicolor/48x48/apps/org.brimel.Brimel.png
)

# check ROOT PREFIX LOG EXPECTED-MESSAGE: the files under ROOT+PREFIX, the manifest only
# under it, the message in the log, and nothing left once the manifest's files are gone.
check() {
    local root=$1 prefix=$2 log=$3 message=$4 f
    for f in "${expected[@]}"; do
        [ -f "$root$prefix/$f" ] || { echo "not installed: $prefix/$f"; exit 1; }
    done
    for f in bin/brimel bin/brimelctl; do
        [ -x "$root$prefix/$f" ] || { echo "$prefix/$f is not executable"; exit 1; }
    done
    # The manifest lists every installed file, with or without DESTDIR in front.
    files=()
    while IFS= read -r f || [ -n "$f" ]; do
        case "$f" in "$root"/*) ;; *) f=$root$f ;; esac
        case "$f" in "$root$prefix"/*) files+=("$f") ;; *) echo "installed outside $prefix: $f"; exit 1 ;; esac
    done <"$build/install_manifest.txt"
    got=$(grep -A3 -- '^-- udev rule installed: ' "$log" | head -n "$(wc -l <<<"$message")")
    if [ "$got" != "$message" ]; then
        echo "the install said:"; echo "$got"; echo "expected:"; echo "$message"; exit 1
    fi
    # Removing what the manifest lists must leave nothing behind.
    rm -f -- "${files[@]}"
    left=$(find "${root:-$prefix}" \( -type f -o -type l \) -print)
    [ -z "$left" ] || { echo "left behind after removing the manifest's files:"; echo "$left"; exit 1; }
}

# A user's own prefix: no DESTDIR, no root, and udev does not read rules from there.
prefix=$tmp/home/.local
cmake --install "$build" --prefix "$prefix" >"$tmp/user.log"
rule=$prefix/lib/udev/rules.d/70-brimel.rules
check "" "$prefix" "$tmp/user.log" "-- udev rule installed: $rule
-- udev does not read rules from there. To let the user at the seat open the Brimel, copy (or link) it into /etc/udev/rules.d, reload udev and re-plug the Brimel:
--   sudo cp $rule /etc/udev/rules.d/
--   sudo udevadm control --reload"

# The package's layout: /usr, staged under DESTDIR.
DESTDIR=$tmp/root cmake --install "$build" --prefix /usr >"$tmp/usr.log"
check "$tmp/root" /usr "$tmp/usr.log" "-- udev rule installed: /usr/lib/udev/rules.d/70-brimel.rules (under DESTDIR $tmp/root)
-- udev reads it there; to apply it now: sudo udevadm control --reload, then re-plug the Brimel."

echo "install/uninstall: ${#expected[@]} files under ~/.local and under /usr, the udev rule's message, nothing left behind"
