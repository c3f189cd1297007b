#!/usr/bin/env bash
# Installs the build into a scratch root, checks the files a desktop user needs are
# there, then removes everything the install manifest lists: nothing may be left.
set -euo pipefail
build=$1
prefix=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
root=$tmp/root

DESTDIR=$root cmake --install "$build" >"$tmp/install.log"

# The rule lands in udev's own directory under the prefix, or in /etc for other prefixes.
rules=$prefix/lib/udev/rules.d
[ -f "$root$rules/70-brimel.rules" ] || rules=/etc/udev/rules.d
expected=(
    "$prefix/bin/brimel" "$prefix/bin/brimel-200" "$prefix/bin/brimel-demo"
    "$rules/70-brimel.rules"
    "$prefix/share/applications/org.brimel.Brimel.desktop"
    "$prefix/share/applications/org.brimel.BrimelDemo.desktop"
    "$prefix/share/metainfo/org.brimel.Brimel.metainfo.xml"
    "$prefix/share/icons/hicolor/32x32/apps/org.brimel.Brimel.png"
    "$prefix/share/icons/hicolor/48x48/apps/org.brimel.Brimel.png"
)
for f in "${expected[@]}"; do
    [ -f "$root$f" ] || { echo "not installed: $f"; exit 1; }
done
[ -x "$root$prefix/bin/brimel" ] || { echo "brimel is not executable"; exit 1; }

# The manifest lists every installed file (with DESTDIR in front); remove them all.
while IFS= read -r f || [ -n "$f" ]; do
    case "$f" in "$root"/*) rm -f -- "$f" ;; *) rm -f -- "$root$f" ;; esac
done <"$build/install_manifest.txt"
left=$(find "$root" \( -type f -o -type l \) -print)
if [ -n "$left" ]; then
    echo "left behind after removing the manifest's files:"
    echo "$left"
    exit 1
fi
echo "install/uninstall: ${#expected[@]} expected files present, nothing left behind"
