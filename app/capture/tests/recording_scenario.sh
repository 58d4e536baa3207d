#!/usr/bin/env bash
# The recorder end to end: the test camera through the overlay into AVI
# segments, with the GPS and OBD-II feeds running, steered by command words;
# the files are checked with ffprobe and ffmpeg.
#
#   recording_scenario.sh <folder with the Windows binaries> <GPS track> <testcam-frames>
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../../scripts/winelib.sh"
. "$here/../../../scripts/recorder-lib.sh"
bin=$(cd "$1" && pwd)
track=$(realpath "$2")
frames_tool=$3
root=${VISTREL_WINE_ROOT:-$bin/../wine}
send() { recorder_send "$bin" 1 "$1"; }

wine_session_begin "$root" || exit 125
work=$WINE_SESSION_DIR/work
mkdir -p "$work/cap" "$work/plain" "$work/archive"
check "the test camera registers" wine_exec 60 regsvr32 /s "$(wine_path "$bin/testcam.dll")"
check "the overlay filter registers" wine_exec 60 regsvr32 /s "$(wine_path "$bin/orvant.dll")"

# 320x240 RGB32 at 30 fps, 4-second segments, at most 2 finished files.
recorder_plant 1 "$(wine_path "$work/cap")\\Capture" 4 $((0x461)) Resolution2=1 FileLimit=2 \
    "Archive=$(wine_path "$work/archive"):"
recorder_rate30 1
recorder_feeds "$bin" "$track" 120
wine_exec 150 "$bin/vistrel.exe" 1 >"$work/recorder.log" 2>&1 &
recorder=$!

# Segments follow one another; the folder never holds more than FileLimit
# finished files (one more is being written).
most=0
seen_four=0
for _ in $(seq 90); do
    n=$(count "$work/cap")
    [ "$n" -gt "$most" ] && most=$n
    if [ "$(avis "$work/cap" | head -1)" != "${first:-}" ]; then
        [ -n "${first:-}" ] && seen_four=1
        first=$(avis "$work/cap" | head -1)
    fi
    [ "$seen_four" = 1 ] && break
    sleep 0.5
done
check "segments follow one another until the oldest is deleted" [ "$seen_four" = 1 ]
check "at most FileLimit finished files beside the one being written ($most)" [ "$most" -le 3 ]
names_ok=1
for f in $(avis "$work/cap"); do
    [[ $(basename "$f") =~ ^Capture\.[0-9]{4}-[0-9]{2}-[0-9]{2}\.[0-9]{2}\.[0-9]{2}\.[0-9]{2}\.avi$ ]] ||
        names_ok=0
done
check "segment files are named by their start time" [ "$names_ok" = 1 ]
# A copy: the limits delete the segment itself as recording goes on.
cp "$(avis "$work/cap" | head -1)" "$work/full.avi"
full=$work/full.avi
read -r w h frames <<<"$(avi_probe "$full")"
check "a full segment is a 320x240 AVI ($w x $h)" [ "${w:-0}x${h:-0}" = 320x240 ]
check "a 4-second segment holds a plausible frame count (${frames:-0})" \
    test "${frames:-0}" -ge 80 -a "${frames:-0}" -le 200

# Archive closes the running segment, moves the newest files, records on.
before=$(count "$work/cap")
send Archive
check "Archive moves the newest recordings" wait_for 15 '[ "$(count "$work/archive")" -ge 1 ]'
check "recording goes on after Archive" wait_for 15 '[ "$(count "$work/cap")" -ge 1 ]'
archived=$(avis "$work/archive" | head -1)
read -r w h frames <<<"$(avi_probe "$archived")"
check "the archived file is a readable recording ($frames frames)" [ "${frames:-0}" -ge 1 ]

# Stop ends recording; Record starts a new file.
wait_for 10 '[ -n "$(avis "$work/cap" | tail -1)" ]'
send Stop
sleep 2
last=$(avis "$work/cap" | tail -1)
n_stopped=$(count "$work/cap")
check "a recording was running before Stop" test -n "$last"
s1=$(size_of "$last")
sleep 4
check "Stop ends the recording (no growth, no new file)" \
    test "$(size_of "$last")" = "$s1" -a "$(count "$work/cap")" = "$n_stopped"
send Preview
send Record
check "Record starts a new segment" wait_for 10 '[ "$(avis "$work/cap" | tail -1)" != "$last" ]'
sleep 3
send Exit
wait "$recorder"
code=$?
check "Exit ends the recorder with exit code 0 ($code)" [ $code -eq 0 ]
[ $code -eq 0 ] || grep -v '^ALSA' "$work/recorder.log" | tail -20
recorder_feeds_end
unreadable=0
check "recordings are left in the capture and archive folders" \
    test "$(count "$work/cap")" -ge 2 -a "$(count "$work/archive")" -ge 1
for f in $(avis "$work/cap") $(avis "$work/archive"); do
    read -r w h frames <<<"$(avi_probe "$f")"
    [ "${frames:-0}" -ge 1 ] || { echo "unreadable: $f"; unreadable=1; }
done
check "every file left is a readable recording" [ "$unreadable" = 0 ]

# The same camera without the overlay, for a frame to compare with.
recorder_plant 1 "$(wine_path "$work/plain")\\Capture" 0 $((0x021)) Resolution2=1
wine_exec 60 "$bin/vistrel.exe" 1 >"$work/plain.log" 2>&1 &
recorder=$!
wait_for 20 '[ "$(size_of "$(avis "$work/plain" | head -1)")" -gt 20000000 ]'
send Exit
wait "$recorder"
plain=$(avis "$work/plain" | head -1)
avi_frame_png "$full" 30 "$work/overlay.png"
avi_frame_png "$plain" 30 "$work/plain.png"
# The camera numbers its frames from its start, and the bars scroll two
# pixels a frame at 320 wide: the plain frame is rolled into line.
n_full=$(frame_number "$frames_tool" "$full" 30 320 240)
n_plain=$(frame_number "$frames_tool" "$plain" 30 320 240)
roll=$(( ((${n_plain:-0} - ${n_full:-0}) * 2 % 320 + 320) % 320 ))
convert "$work/plain.png" -roll +${roll}+0 "$work/plain.png"
# Rows 0-29 carry the top corner items; rows 60-99 only the colour bars.
top=$(differing_pixels "$work/overlay.png" "$work/plain.png" 0 0 320 30)
middle=$(differing_pixels "$work/overlay.png" "$work/plain.png" 0 60 320 40)
echo "pixels differing: corner rows ${top}%, bar rows ${middle}%"
check "the overlay's corner texts are in the recorded picture" [ "$top" -ge 3 ]
check "the rest of the picture is the camera's" test "$middle" -ge 0 -a "$middle" -le 1

checks_end
