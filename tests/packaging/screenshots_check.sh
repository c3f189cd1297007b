#!/usr/bin/env bash
# The metainfo's screenshots are the README's: each one it lists is a file in
# docs/screenshots/ that the README shows, and every picture the README shows exists.
set -euo pipefail
root=$1
status=0
for name in $(grep -oE '<image>[^<]+</image>' "$root/packaging/org.brimel.Brimel.metainfo.xml" \
              | sed -E 's#.*/([^/<]+)</image>#\1#'); do
    [ -f "$root/docs/screenshots/$name" ] || { echo "metainfo lists $name, not in docs/screenshots/"; status=1; }
    grep -q "(docs/screenshots/$name)" "$root/README.md" || { echo "README does not show $name"; status=1; }
done
for path in $(grep -oE '\(docs/screenshots/[^)]+\)' "$root/README.md" | tr -d '()'); do
    [ -f "$root/$path" ] || { echo "README shows $path, which does not exist"; status=1; }
done
exit $status
