#!/usr/bin/env bash
# The settings dialog of the real recorder: a right click on the picture
# opens it; it lists the test camera, Wine's compressors and the capture
# formats; choices made in it (a list pick, a typed limit with a stray
# letter) are in the registry after OK, and the preview comes back; a corner
# item picked on the overlay's page shows in the frames recorded after it.
#
#   settings_dialog_scenario.sh <folder with the Windows binaries> <folder for the screenshot>
#                               <testcam-frames>
# (ctest keeps it in build/windows/screenshots; docs/images holds the one
# the guide shows, copied from there after looking at it)
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../../scripts/winelib.sh"
. "$here/../../../scripts/recorder-lib.sh"
bin=$(cd "$1" && pwd)
shots=${2:-}
frames_tool=${3:-}
root=${VISTREL_WINE_ROOT:-$bin/../wine}
probe() { wine_exec 30 "$bin/settings-probe.exe" "$@" 2>/dev/null | tr -d '\r'; }
reg() { wine_exec 60 reg "$@" 2>/dev/null | tr -d '\r'; }
open_settings() {  # right click on the picture of window $1
    xdotool mousemove --window "$1" 120 150 click 3
    wait_for 10 "xdotool search --name '^Settings' >/dev/null 2>&1"
}

wine_session_begin "$root" || exit 125
work=$WINE_SESSION_DIR/work
mkdir -p "$work/cap" "$work/archive"
check "the test camera registers" wine_exec 60 regsvr32 /s "$(wine_path "$bin/testcam.dll")"
check "the overlay filter registers" wine_exec 60 regsvr32 /s "$(wine_path "$bin/orvant.dll")"

instance=6
key=$(recorder_key $instance)
title="Halvorix - Vistrel $instance"
# The folders as a user's would be (the first one does not exist yet).
recorder_plant $instance 'C:\Video\Capture' 60 $((0x408)) Resolution2=0 FileLimit=3 'Archive=C:\Archive:'
mkdir -p "$WINEPREFIX/drive_c/Archive"
echo not a folder >"$work/clip.txt"
recorder_rate30 $instance

wine_exec 200 "$bin/vistrel.exe" $instance &
recorder=$!
for _ in $(seq 150); do xwininfo -name "$title" 2>/dev/null | grep -q IsViewable && break; sleep 0.2; done
id=$(xdotool search --name "^$title\$" | head -1)
check "the recorder's window is shown" [ -n "$id" ]
[ -n "$id" ] || { wine_session_end; exit 1; }
sleep 2  # the preview runs

open_settings "$id"
check "a right click on the picture opens \"Settings\"" xdotool search --name '^Settings$'

state=$(probe list)
echo "$state"
check "the video devices are <None> and the test camera" \
    grep -qE '^item 1015 0 <None>$' <<<"$state"
check "the test camera is listed and selected" \
    grep -qE '^item 1015 [0-9]+ Test Camera\(.*\)$' <<<"$state"
sel=$(awk '/^list 1015 / {print $6}' <<<"$state")
check "the saved camera is the selected entry" \
    grep -qE "^item 1015 $sel Test Camera\(" <<<"$state"
check "the video codecs start with <Uncompressed Video>" grep -qE '^item 1006 0 <Uncompressed Video>$' <<<"$state"
check "Wine's video compressors are listed after it" grep -qE '^item 1006 [1-9][0-9]* .+' <<<"$state"
check "the capture formats carry size, rates and subtype" \
    grep -qE '^item 106 0 [0-9]+x[0-9]+ \([0-9]+-[0-9]+\)( [A-Z0-9]+)?$' <<<"$state"
check "the stored resolution is selected" grep -qE '^list 106 count [1-9][0-9]* selected 0$' <<<"$state"
check "the stored rate 30 is selected" grep -qE '^list 1013 count 8 selected 6$' <<<"$state"
check "the time limit shows as h:mm:ss" grep -qE '^edit 1021 0:01:00$' <<<"$state"
check "Lock Aspect is checked from the flags" grep -qE '^check 40001 1$' <<<"$state"
formats=$(awk '/^list 106 / {print $4}' <<<"$state")

if [ -n "$shots" ]; then
    mkdir -p "$shots"
    import -window root "$WINE_SESSION_DIR/settings-full.png"
    read -r dx dy dw dh < <(awk '/^dialog / {print $2, $3, $4, $5}' <<<"$state")
    # The dialog with a margin of the picture behind it.
    convert "$WINE_SESSION_DIR/settings-full.png" -crop "$((dw + 40))x$((dh + 40))+$((dx > 20 ? dx - 20 : 0))+$((dy > 20 ? dy - 20 : 0))" +repage \
        "$shots/settings-dialog.png" && echo "screenshot: $shots/settings-dialog.png"
fi

# Choices: the last capture format and 15 fps by list picks; a file limit
# typed with a stray letter at its end, which must not turn it into 0.
last=$((formats - 1))
probe select 106 "$last"
probe select 1013 2
read -r fx fy < <(probe where 1023)
xdotool mousemove "$fx" "$fy" click 1
sleep 0.3
xdotool key End BackSpace BackSpace BackSpace BackSpace type 7x
sleep 0.5
# Wine shows no edit balloons, so the answer stands in the caption.
caption=$(xdotool search --name '^Settings' getwindowname 2>/dev/null | head -1)
echo "caption: $caption"
check "the refused letter is answered" \
    grep -qF 'Settings - File Limit takes digits only; the setting keeps its last value.' <<<"$caption"
# An archive "folder" that is a file: OK answers at the field and stays.
retype() {  # retype <control id> <text>
    local x y
    read -r x y < <(probe where "$1")
    xdotool mousemove "$x" "$y" click 1
    sleep 0.3
    xdotool key End shift+Home BackSpace
    xdotool type --delay 20 "$2"
    sleep 0.3
}
retype 1001 "$(wine_path "$work/clip.txt")"
xdotool key Return
sleep 1
check "OK with a file as the archive folder keeps the dialog open" \
    bash -c "xdotool search --name '^Settings' >/dev/null 2>&1"
typed=$(probe list | grep '^edit 1001 ')
echo "$typed"
check "the archive edit holds what was typed" [ "$typed" = "edit 1001 $(wine_path "$work/clip.txt")" ]
retype 1001 'C:\Archive'

# The dialog's buttons open their windows over it, and Escape closes them
# without changing anything: "GPS..." the overlay's page, the capture
# folder's "..." the folder browser.
# opens <control id> <title pattern> <what>
opens() {
    local x y
    read -r x y < <(probe where "$1")
    xdotool mousemove "${x:-0}" "${y:-0}" click 1
    check "$3 opens" wait_for 10 "xdotool search --name '$2' >/dev/null 2>&1"
    sleep 0.5
    xdotool key Escape
    check "and Escape closes it" wait_for 10 "! xdotool search --name '$2' >/dev/null 2>&1"
    sleep 0.5
}
opens 40011 'Propert' "GPS... with the overlay's property page"
opens 1026 'Browse|Folder' "the capture folder's browse button with the folder browser"
check "the settings dialog is still open" bash -c "xdotool search --name '^Settings' >/dev/null 2>&1"
xdotool key Return
for _ in $(seq 50); do xdotool search --name '^Settings' >/dev/null 2>&1 || break; sleep 0.2; done
check "OK closes the dialog" bash -c "! xdotool search --name '^Settings' >/dev/null 2>&1"

out=$(reg query "$key")
echo "$out"
check "the chosen format is stored" \
    grep -qE "^ +Resolution2 +REG_DWORD +0x$(printf %x "$last")$" <<<"$out"
check "the chosen rate 15 is stored as a double" grep -qE '^ +FrameRate2 +REG_BINARY +0000000000002E40$' <<<"$out"
check "the typed limit is stored, the letter ignored" grep -qE '^ +FileLimit +REG_DWORD +0x7$' <<<"$out"
check "the corrected archive folder is stored" grep -qE '^ +Archive +REG_SZ +C:\\Archive$' <<<"$out"

sleep 3
check "the recorder runs on after the rebuild" kill -0 "$recorder"
check "its window is still shown" bash -c "xwininfo -name '$title' | grep -q IsViewable"

wine_exec 60 "$bin/vistrel-send.exe" --instance $instance Exit
wait "$recorder"
check "Exit ends the recorder with exit code 0" [ $? -eq 0 ]

# While recording: a format change closed by Escape saves it, stops the
# recording, returns to preview, and the next recording uses the format.
# start_recording <instance> <folder> <flags> <bytes> <what>: a recorder at
# 320x240 and 30 fps recording into <folder>, until its first segment holds
# <bytes>; sets instance, title, recorder and id.
start_recording() {
    instance=$1 title="Halvorix - Vistrel $1"
    mkdir -p "$2"
    recorder_plant "$1" "$(wine_path "$2")\\Capture" 60 "$3" Resolution2=1
    recorder_rate30 "$1"
    wine_exec 200 "$bin/vistrel.exe" "$1" &
    recorder=$!
    check "the recorder starts recording$5" wait_for 30 "[ \"\$(size_of \"\$(avis '$2' | head -1)\")\" -gt $4 ]"
    id=$(xdotool search --name "^$title\$" | head -1)
}
start_recording 7 "$work/rec" $((0x28)) 100000 ""
first=$(avis "$work/rec" | head -1)
check "the dialog opens while recording" open_settings "$id"
probe select 106 3
xdotool key Escape
check "Escape closes the dialog" wait_for 10 "! xdotool search --name '^Settings' >/dev/null 2>&1"
check "the choice made before Escape is stored" \
    grep -qE '^ +Resolution2 +REG_DWORD +0x3$' <<<"$(reg query "$(recorder_key $instance)")"
sleep 1
before=$(size_of "$first")
sleep 2
check "the recording has stopped" [ "$(size_of "$first")" -eq "$before" ]
check "the window shows the preview again" bash -c "xwininfo -name '$title' | grep -q IsViewable"
wine_exec 30 "$bin/vistrel-send.exe" --instance $instance Record >/dev/null 2>&1
check "Record starts a new segment" wait_for 30 '[ "$(avis "$work/rec" | wc -l)" -ge 2 ]'
sleep 3
wine_exec 30 "$bin/vistrel-send.exe" --instance $instance Stop >/dev/null 2>&1
sleep 2
second=$(avis "$work/rec" | tail -1)
read -r w h frames <<<"$(avi_probe "$second")"
echo "first: $(avi_probe "$first"); second: $w $h $frames"
check "the next recording has the chosen size 640x480" [ "$w $h" = "640 480" ]
check "and holds frames" [ "${frames:-0}" -gt 0 ]
wine_exec 60 "$bin/vistrel-send.exe" --instance $instance Exit
wait "$recorder"
check "Exit ends the second recorder with exit code 0" [ $? -eq 0 ]

# While recording with the overlay: "GPS..." opens the overlay's page, which
# takes a corner item and closes on OK; the dialog closed unchanged leaves
# the recording running. The item, stored in the instance's profile section
# as the page stores it, shows in the next segment. (Wine's property frame
# never calls a page's Apply, so there the page's OK changes nothing.)
start_recording 8 "$work/page" $((0x428)) 2000000 " with the overlay"
check "the dialog opens while recording" open_settings "$id"
read -r x y < <(probe where 40011)
xdotool mousemove "${x:-0}" "${y:-0}" click 1
check "GPS... opens the page" wait_for 10 "xdotool search --name 'Propert' >/dev/null 2>&1"
sleep 0.5
# The top-left corner shows nothing without a GPS feed; it is to show the time.
check "the page takes the time for the top-left corner" probe page 1004 10
check "and OK closes it" wait_for 10 "! xdotool search --name 'Propert' >/dev/null 2>&1"
xdotool key Escape
check "Escape closes the dialog" wait_for 10 "! xdotool search --name '^Settings' >/dev/null 2>&1"
sleep 2
before=$(avis "$work/page" | head -1)
grown=$(size_of "$before")
check "the recording goes on" wait_for 5 '[ "$(size_of "$before")" -gt "$grown" ]'
sed -i '/^\[Orvant8\]/,/^\[/ s/^Mode0=[0-9]*/Mode0=10/' "$WINEPREFIX/drive_c/windows/win.ini"
wine_exec 30 "$bin/vistrel-send.exe" --instance $instance Stop >/dev/null 2>&1
sleep 1
wine_exec 30 "$bin/vistrel-send.exe" --instance $instance Record >/dev/null 2>&1
check "Record starts a second segment" \
    wait_for 30 '[ "$(size_of "$(avis "$work/page" | sed -n 2p)")" -gt 2000000 ]'
wine_exec 30 "$bin/vistrel-send.exe" --instance $instance Exit >/dev/null 2>&1
wait "$recorder"
check "Exit ends the third recorder with exit code 0" [ $? -eq 0 ]
after=$(avis "$work/page" | sed -n 2p)
avi_frame_png "$before" 10 "$work/before.png"
avi_frame_png "$after" 10 "$work/after.png"
# The camera numbers its frames from its start, and the bars scroll two
# pixels a frame at 320 wide: the later frame is rolled into line.
n_before=$(frame_number "$frames_tool" "$before" 10 320 240)
n_after=$(frame_number "$frames_tool" "$after" 10 320 240)
roll=$(( ((${n_after:-0} - ${n_before:-0}) * 2 % 320 + 320) % 320 ))
convert "$work/after.png" -roll +${roll}+0 "$work/after.png"
bars=$(differing_pixels "$work/before.png" "$work/after.png" 0 60 320 40)
corner=$(differing_pixels "$work/before.png" "$work/after.png" 0 0 110 18)
echo "pixels differing: top-left corner ${corner}%, bar rows ${bars}%"
check "the time is in the top-left corner of the next segment" [ "$corner" -ge 5 ]
check "and the rest of the picture is unchanged" test "$bars" -ge 0 -a "$bars" -le 1

# A path half typed takes no effect: segments end while "C:\V" stands in the
# Video field, and the recording goes on in the folder set before.
instance=9 title="Halvorix - Vistrel 9"
mkdir -p "$work/half"
original="$(wine_path "$work/half")\\Capture"
recorder_plant 9 "$original" 2 $((0x068)) Resolution2=1
recorder_rate30 9
wine_exec 200 "$bin/vistrel.exe" 9 &
recorder=$!
check "recording 2-second segments" wait_for 30 '[ "$(avis "$work/half" | wc -l)" -ge 1 ]'
id=$(xdotool search --name "^$title\$" | head -1)
check "the dialog opens while recording" open_settings "$id"
retype 1000 'C:\V'
before=$(avis "$work/half" | wc -l)
sleep 6
check "segments went on in the folder set before" [ "$(avis "$work/half" | wc -l)" -gt "$before" ]
check "none went where the half-typed path points" \
    [ "$(find "$WINEPREFIX/drive_c" -maxdepth 1 -iname 'V.*.avi' | wc -l)" = 0 ]
retype 1000 "$original"
xdotool key Return
wait_for 10 "! xdotool search --name '^Settings' >/dev/null 2>&1"
wine_exec 30 "$bin/vistrel-send.exe" --instance 9 Exit >/dev/null 2>&1
wait "$recorder"
check "Exit ends the fourth recorder with exit code 0" [ $? -eq 0 ]

checks_end
