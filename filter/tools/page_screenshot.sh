#!/usr/bin/env bash
# Shows the overlay property page in the platform's property frame and takes
# its picture.
#
#   page_screenshot.sh <folder with orvant.dll and orvant_page_frame.exe> <out.png>
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../scripts/winelib.sh"
bin=$(cd "$1" && pwd)
out=$(realpath -m "$2")
root=${VISTREL_WINE_ROOT:-$bin/../wine}

wine_session_begin "$root" || exit 125
wine_exec 60 regsvr32 /s "$(wine_path "$bin/orvant.dll")" || { echo "FAIL: regsvr32"; exit 1; }
wine_exec 120 "$bin/orvant_page_frame.exe" telemetry &
frame=$!
id=
for _ in $(seq 150); do
    id=$(xdotool search --name "GPS Filter" 2>/dev/null | head -1)
    [ -n "$id" ] && xwininfo -id "$id" 2>/dev/null | grep -q IsViewable && break
    sleep 0.2
done
[ -n "$id" ] || { echo "FAIL: no property frame"; exit 1; }
sleep 2
mkdir -p "$(dirname "$out")"
import -window "$id" "$out" || import -window root "$out"
xdotool key --window "$id" Escape
wait "$frame"
echo "frame exit: $?"
echo "ok: $out"
