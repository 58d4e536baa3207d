#!/usr/bin/env bash
# Draws the program icon (vistrel.ico, resource 105) with ImageMagick: a dark
# rounded tile holding a camera lens and a red recording dot. Run it again
# after changing the picture; the .ico it writes is kept in the repository.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
convert -size 256x256 xc:none \
    -fill '#1f2a36' -draw 'roundrectangle 8,8 247,247 40,40' \
    -fill '#d9dee4' -draw 'circle 118,138 118,58' \
    -fill '#2c3e50' -draw 'circle 118,138 118,80' \
    -fill '#5d7b99' -draw 'circle 118,138 118,108' \
    -fill '#ffffff' -draw 'circle 100,120 100,110' \
    -fill '#e0202a' -draw 'circle 204,52 204,22' \
    "$work/icon-256.png"
for s in 16 24 32 48 64; do
    convert "$work/icon-256.png" -resize ${s}x${s} "$work/icon-$s.png"
done
convert "$work/icon-16.png" "$work/icon-24.png" "$work/icon-32.png" "$work/icon-48.png" \
    "$work/icon-64.png" "$work/icon-256.png" -depth 8 "$here/vistrel.ico"
echo "wrote $here/vistrel.ico"
