#!/usr/bin/env bash
# The recorder driven from outside as a user's script would: Wine's `reg`
# plants and reads the settings, xdotool clicks, types and drags on the X
# display, xwininfo reads where the window is, vistrel-send ends it.
#
#   recorder_scenario.sh <folder with vistrel.exe and vistrel-send.exe>
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../../scripts/winelib.sh"
. "$here/../../../scripts/recorder-lib.sh"
bin=$(cd "$1" && pwd)
root=${VISTREL_WINE_ROOT:-$bin/../wine}

wine_session_begin "$root" || exit 125
key='HKCU\Software\Halvorix\Vistrel4'
title='Halvorix - Vistrel 4'
reg() { wine_exec 60 reg "$@" 2>/dev/null | tr -d '\r'; }
geometry() { x_geometry "$id"; }
drag() {  # drag from client point $1,$2 by ten steps of 10,8
    xdotool mousemove --window "$id" "$1" "$2" mousedown 1
    for _ in 1 2 3 4 5 6 7 8 9 10; do xdotool mousemove_relative 10 8; sleep 0.05; done
    xdotool mouseup 1
    sleep 0.5
}

reg add "$key" /v CapSeconds /t REG_SZ /d 60 /f >/dev/null
reg add "$key" /v Preview /t REG_DWORD /d 0x12340008 /f >/dev/null

wine_exec 120 "$bin/vistrel.exe" 4 &
recorder=$!
for _ in $(seq 150); do xwininfo -name "$title" 2>/dev/null | grep -q IsViewable && break; sleep 0.2; done
id=$(xdotool search --name "^$title\$" | head -1)
check "a window titled exactly \"$title\" is shown" [ -n "$id" ]
[ -n "$id" ] || { wine_session_end; exit 1; }
home=$(geometry)

# A click gives the window the keyboard and opens the control bar; a second
# click, off the bar's buttons, closes the bar, which hands the keyboard back.
# Key F toggles full screen.
xdotool mousemove --window "$id" 50 200 click 1
sleep 1
xdotool mousemove --window "$id" 160 120 click 1
for _ in $(seq 25); do
    xwininfo -root -tree | grep -q '(has no name): ("vistrel.exe"' || break
    sleep 0.2
done
sleep 0.5
xdotool key f
sleep 1
screen=$(xwininfo -root | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w, h}')
check "key F fills the screen" [ "$(geometry)" = "0 0 $screen" ]
xdotool key f
sleep 1
check "key F again restores the place" [ "$(geometry)" = "$home" ]

# A press in the upper half drags the captionless window; once released,
# moving there drags no more; a press in the lower half never drags.
drag 50 30
read -r dx dy _ _ <<<"$(geometry)"
check "a drag in the upper half moves the window" [ "$dx $dy" != "${home% * *}" ]
xdotool mousemove --window "$id" 60 20
for _ in 1 2 3 4 5; do xdotool mousemove_relative 10 8; sleep 0.05; done
sleep 0.5
check "moving without a pressed button does not drag" [ "$(geometry | cut -d' ' -f1-2)" = "$dx $dy" ]
drag 50 200
check "a drag in the lower half does not" [ "$(geometry | cut -d' ' -f1-2)" = "$dx $dy" ]

wine_exec 60 "$bin/vistrel-send.exe" --instance 4 Exit
wait "$recorder"
check "Exit ends the recorder with exit code 0" [ $? -eq 0 ]

out=$(reg query "$key")
echo "$out"
check "sixteen values are stored" [ "$(grep -cE '^ +[A-Za-z0-9]+ +REG_' <<<"$out")" -eq 16 ]
check "ACodec is the text PCM" grep -qE '^ +ACodec +REG_SZ +PCM$' <<<"$out"
check "a text where a number belongs gave way to the default" \
    grep -qE '^ +CapSeconds +REG_DWORD +0xe10$' <<<"$out"
check "flag bits without meaning are kept" grep -qE '^ +Preview +REG_DWORD +0x12340008$' <<<"$out"
# The stored place is the outer rectangle: 3 pixels of border around the client.
check "the dragged place is stored" grep -qE "^ +WindowPosition +REG_BINARY +$(printf \
    '%02X%02X0000%02X%02X0000' $(((dx - 3) & 255)) $(((dx - 3) >> 8)) $(((dy - 3) & 255)) \
    $(((dy - 3) >> 8)))40010000F0000000$" <<<"$out"

checks_end
