#!/usr/bin/env bash
# Draws the control bar's skin strip, skin.png: 652 x 64 pixels, nine icons
# side by side, each starting at its cell's origin. Every pixel is either
# see-through or solid (the bar's colour key shows through), so shapes get a
# dark outline to stay legible on any picture. Palette PNG, entry 0 clear.
#
#   make-skin.sh [output.png]     (default: skin.png beside this script)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
out=${1:-$here/skin.png}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

ink='#101418'          # outline
face='#e8ecf0'         # light strokes
grey1='#c8ccd2' grey2='#6c727a'   # round button body, top to bottom
red='#e02020'
blue='#2f7fe0'
yellow='#f4c430' yellow2='#c8961c'

# A round grey button of 50 pixels at x,y with its centre mark drawn by "$3".
round_button() {
    local x=$1 y=$2
    local cx=$((x + 27)) cy=$((y + 28))
    echo "fill $ink stroke none circle $cx,$cy $((cx + 27)),$cy"
    echo "fill $grey2 circle $cx,$cy $((cx + 24)),$cy"
    echo "fill $grey1 circle $cx,$((cy - 2)) $((cx + 21)),$((cy - 2))"
}

draw=()
# Cell 0 at 15,4: gear wheel, eight teeth around a hub.
{
    cx=45 cy=34
    echo "push graphic-context translate $cx,$cy"
    for a in 0 45 90 135; do
        echo "push graphic-context rotate $a fill $ink stroke none rectangle -7,-26 7,26 rectangle -26,-7 26,-7 pop graphic-context"
    done
    echo "fill $ink circle 0,0 21,0"
    for a in 0 45 90 135; do
        echo "push graphic-context rotate $a fill $face stroke none rectangle -5,-24 5,24 pop graphic-context"
    done
    echo "fill $face circle 0,0 19,0"
    echo "fill $ink circle 0,0 8,0"
    echo "pop graphic-context"
} >"$tmp/cell0"
# Cell 1 at 78,0: arrow pointing down-left into a box (minimise).
{
    x=84 y=8
    echo "fill none stroke $ink stroke-width 9 polyline $((x + 4)),$((y + 22)) $((x + 4)),$((y + 46)) $((x + 46)),$((y + 46)) $((x + 46)),$((y + 4)) $((x + 22)),$((y + 4))"
    echo "fill none stroke $face stroke-width 5 polyline $((x + 4)),$((y + 22)) $((x + 4)),$((y + 46)) $((x + 46)),$((y + 46)) $((x + 46)),$((y + 4)) $((x + 22)),$((y + 4))"
    echo "fill none stroke $ink stroke-width 10 line $((x + 38)),$((y + 12)) $((x + 16)),$((y + 34))"
    echo "fill $ink stroke none polygon $((x + 8)),$((y + 16)) $((x + 8)),$((y + 42)) $((x + 34)),$((y + 42))"
    echo "fill none stroke $face stroke-width 5 line $((x + 37)),$((y + 13)) $((x + 17)),$((y + 33))"
    echo "fill $face stroke none polygon $((x + 11)),$((y + 22)) $((x + 11)),$((y + 39)) $((x + 28)),$((y + 39))"
} >"$tmp/cell1"
# Cell 2 at 156,0: arrow pointing up-right out of a box (full screen).
{
    x=162 y=8
    echo "fill none stroke $ink stroke-width 9 polyline $((x + 24)),$((y + 4)) $((x + 4)),$((y + 4)) $((x + 4)),$((y + 46)) $((x + 46)),$((y + 46)) $((x + 46)),$((y + 26))"
    echo "fill none stroke $face stroke-width 5 polyline $((x + 24)),$((y + 4)) $((x + 4)),$((y + 4)) $((x + 4)),$((y + 46)) $((x + 46)),$((y + 46)) $((x + 46)),$((y + 26))"
    echo "fill none stroke $ink stroke-width 10 line $((x + 14)),$((y + 36)) $((x + 36)),$((y + 14))"
    echo "fill $ink stroke none polygon $((x + 18)),$((y + 4)) $((x + 46)),$((y + 4)) $((x + 46)),$((y + 32))"
    echo "fill none stroke $face stroke-width 5 line $((x + 15)),$((y + 35)) $((x + 35)),$((y + 15))"
    echo "fill $face stroke none polygon $((x + 24)),$((y + 7)) $((x + 43)),$((y + 7)) $((x + 43)),$((y + 26))"
} >"$tmp/cell2"
# Cell 3 at 230,0: round grey button with a red square (stop recording).
{
    round_button 233 2
    echo "fill $ink rectangle 247,17 273,43 fill $red rectangle 249,19 271,41"
} >"$tmp/cell3"
# Cell 4 at 310,1: round grey button with a red dot (start recording).
{
    round_button 313 3
    echo "fill $ink circle 340,31 354,31 fill $red circle 340,31 352,31"
} >"$tmp/cell4"
# Cell 5 at 392,0: round grey button with a red cross (exit).
{
    round_button 395 2
    echo "fill none stroke $ink stroke-width 10 line 410,15 434,39 line 434,15 410,39"
    echo "stroke $red stroke-width 6 line 410,15 434,39 line 434,15 410,39"
} >"$tmp/cell5"
# Cell 6 at 464,0: yellow folder (archive).
{
    x=468 y=8
    echo "fill $ink stroke none polygon $((x + 2)),$((y + 4)) $((x + 20)),$((y + 4)) $((x + 26)),$((y + 10)) $((x + 50)),$((y + 10)) $((x + 50)),$((y + 46)) $((x + 2)),$((y + 46))"
    echo "fill $yellow2 polygon $((x + 5)),$((y + 7)) $((x + 19)),$((y + 7)) $((x + 25)),$((y + 13)) $((x + 47)),$((y + 13)) $((x + 47)),$((y + 43)) $((x + 5)),$((y + 43))"
    echo "fill $ink polygon $((x + 2)),$((y + 46)) $((x + 10)),$((y + 18)) $((x + 54)),$((y + 18)) $((x + 50)),$((y + 46))"
    echo "fill $yellow polygon $((x + 5)),$((y + 43)) $((x + 12)),$((y + 21)) $((x + 50)),$((y + 21)) $((x + 47)),$((y + 43))"
} >"$tmp/cell6"
# Cell 7 at 540,0: empty blue square frame (window frame); it ends before 590.
{
    echo "fill none stroke $ink stroke-width 11 rectangle 548,12 582,46"
    echo "stroke $blue stroke-width 6 rectangle 548,12 582,46"
} >"$tmp/cell7"
# Cell 8 at 590,0: eyeball (preview). The frame button, 60 pixels wide from
# 540, reaches 600: the eye starts after that.
{
    echo "fill $ink stroke none ellipse 625,30 25,16 0,360"
    echo "fill $face ellipse 625,30 22,13 0,360"
    echo "fill $ink circle 625,30 637,30"
    echo "fill $blue circle 625,30 635,30"
    echo "fill $ink circle 625,30 630,30"
    echo "fill white circle 629,26 631,26"
} >"$tmp/cell8"

mvg=$(cat "$tmp"/cell? | tr "\n" " ")
convert -size 652x64 xc:none -draw "$mvg" \
    -channel A -threshold 50% +channel \
    -background none -alpha background \
    -colors 254 -define png:format=png8 -define png:exclude-chunks=date,time \
    "PNG8:$tmp/skin.png"
python3 "$here/png-palette-order.py" "$tmp/skin.png" "$out"
echo "wrote $out"
