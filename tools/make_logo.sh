#!/bin/sh
# Draws the Brimel logo (mark and wordmark) with ImageMagick and writes the five form images.
# Usage: tools/make_logo.sh [output folder]   (default: QT/forms beside this script)
# It also writes the desktop icon at 128 and 256 pixels to packaging/icons/ (or $ICON_DIR).
# The mark is a rounded tile with a "B" whose bowls end in a signal pulse; the wordmark sets
# the letters B R I M E L in the same stroke style. Everything is drawn from paths, so no font
# is needed and the images come out the same on every machine.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
out=${1:-$(cd "$here/../QT/forms" && pwd)}
convert=${CONVERT:-convert}
# No time stamps or profiles in the PNGs, so a rerun gives the same bytes.
png_opts="-strip -define png:exclude-chunks=date,time"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

navy='#15305a'
teal='#1a9c98'
sky='#2f6fb8'
amber='#f2a31b'

# The mark at 256 x 256: tile, white "B" with a pulse running out of its lower bowl, amber LED.
mark_draw="
  fill none stroke white stroke-width 22 stroke-linecap round stroke-linejoin round
  path 'M 84,58 L 84,198 L 146,198 A 36,36 0 0 0 146,126 L 84,126'
  path 'M 84,58 L 138,58 A 34,34 0 0 1 138,126'
  stroke-width 12
  path 'M 182,162 L 200,162 L 210,136 L 222,188 L 232,162 L 236,162'
  stroke none fill $amber circle 204,78 218,78
"

# Coloured tile with a vertical gradient (window icon) and a flat one (program icon).
"$convert" -size 256x256 xc:none \
    \( -size 232x232 gradient:"$sky"-"$teal" \) -geometry +12+12 -compose over -composite \
    "$work/grad.png"
"$convert" -size 256x256 xc:none -fill white -draw "roundrectangle 12,12 243,243 52,52" \
    "$work/tilemask.png"
"$convert" "$work/grad.png" "$work/tilemask.png" -compose copy_opacity -composite \
    -draw "$mark_draw" "$work/mark_gradient.png"
"$convert" -size 256x256 xc:none -fill "$navy" -draw "roundrectangle 12,12 243,243 52,52" \
    -draw "$mark_draw" "$work/mark_flat.png"

"$convert" "$work/mark_flat.png" -resize 48x48 $png_opts "PNG32:$out/brimel48c.png"
"$convert" "$work/mark_gradient.png" -resize 48x48 $png_opts "PNG32:$out/brimel48cg.png"
"$convert" "$work/mark_gradient.png" -resize 32x32 $png_opts "PNG32:$out/logo_brimel32.png"
"$convert" "$work/mark_flat.png" -define icon:auto-resize=48,32,16 "$out/brimel48c.ico"

# The installed desktop icon at the larger hicolor sizes, for HiDPI menus and docks.
icons=${ICON_DIR:-$here/../packaging/icons}
mkdir -p "$icons"
for size in 128 256; do
    "$convert" "$work/mark_flat.png" -resize ${size}x$size $png_opts "PNG32:$icons/org.brimel.Brimel-$size.png"
done

# The wordmark at 512 x 176 (4x), scaled to 128 x 44: the mark, then the six letters.
# Each letter is a path in a 44 x 88 cell (cap height 88), placed by a translation.
letter() {  # x offset, path
    printf "push graphic-context translate %s,44 path '%s' pop graphic-context\n" "$1" "$2"
}
letters="
  fill none stroke $navy stroke-width 13 stroke-linecap round stroke-linejoin round
  $(letter 188 'M 0,0 L 0,88 L 26,88 A 22,22 0 0 0 26,44 L 0,44 M 0,0 L 22,0 A 22,22 0 0 1 22,44')
  $(letter 250 'M 0,88 L 0,0 L 22,0 A 22,22 0 0 1 22,44 L 0,44 M 20,44 L 42,88')
  $(letter 312 'M 0,0 L 0,88')
  $(letter 336 'M 0,88 L 0,0 L 26,56 L 52,0 L 52,88')
  $(letter 410 'M 38,0 L 0,0 L 0,88 L 38,88 M 0,44 L 30,44')
  $(letter 468 'M 0,0 L 0,88 L 34,88')
"
"$convert" "$work/mark_gradient.png" -resize 160x160 "$work/mark160.png"
"$convert" -size 512x176 xc:none "$work/mark160.png" -geometry +4+8 -compose over -composite \
    -draw "$letters" -resize 128x44 $png_opts "PNG32:$out/logo_brimel128.png"

echo "logo images written to $out"
