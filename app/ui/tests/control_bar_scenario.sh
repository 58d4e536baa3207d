#!/usr/bin/env bash
# The control bar on the real platform: a click on the live picture opens the
# bar over the main window; its buttons are where the layout puts them and
# show their skin cells; the record button starts a segment file and turns
# into the stop picture, and stops it again; a second click on the picture
# closes the bar; the time display steps the limit only while idle; the exit
# button ends the program with exit code 0.
# Leaves a screenshot of the bar over the preview as control-bar.png in the
# folder given (default: the run folder, removed at the end).
#
#   control_bar_scenario.sh <folder with the Windows binaries> [screenshot folder]
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../../scripts/winelib.sh"
. "$here/../../../scripts/recorder-lib.sh"
bin=$(cd "$1" && pwd)
shots=${2:-}
root=${VISTREL_WINE_ROOT:-$bin/../wine}

wine_session_begin "$root" || exit 125
work=$WINE_SESSION_DIR/work
mkdir -p "$work/cap" "$work/archive"
check "the test camera registers" wine_exec 60 regsvr32 /s "$(wine_path "$bin/testcam.dll")"
# Preview at 320x240 (shown also while recording), a 60-second limit, the
# main window at 40,40 sized 640x480.
recorder_plant 6 "$(wine_path "$work/cap")\\Capture" 60 $((0x009)) Resolution2=1 \
    "Archive=$(wine_path "$work/archive"):"
recorder_rate30 6
recorder_reg add "$(recorder_key 6)" /v WindowPosition /t REG_BINARY \
    /d 2800000028000000${w_hex:=80020000}e0010000 /f

wine_exec 270 "$bin/vistrel.exe" 6 >"$work/recorder.log" 2>&1 &
recorder=$!
title='Halvorix - Vistrel 6'
for _ in $(seq 150); do xwininfo -name "$title" 2>/dev/null | grep -q IsViewable && break; sleep 0.2; done
id=$(xdotool search --name "^$title\$" | head -1)
check "the recorder's window is shown" [ -n "$id" ]
[ -n "$id" ] || { wine_session_end; exit 1; }
sleep 3  # the preview starts

read -r mx my mw mh <<<"$(x_geometry "$id")"
echo "main window: $mx $my $mw $mh"
# The bar over a main window without caption: its outer rectangle less 4
# pixels at the sides, 7 at the top and 5 at the bottom. X shows the client
# area, inside a 3-pixel sizing border while the window has one.
# place_bar <outer x> <outer y> <outer width> <outer height>
place_bar() {
    bx=$(($1 + 4)) by=$(($2 + 7)) bw=$(($3 - 8)) bh=$(($4 - 12))
    W=$bw H=$bh
    # Where the layout puts each button, relative to the bar.
    declare -gA at=(
        [record]="4 3" [frame]="$((W - 244)) 3" [minimise]="$((W - 192)) 3"
        [fullscreen]="$((W - 124)) 3" [exit]="$((W - 62)) 3" [archive]="6 $((H - 60))"
        [settings]="$((W / 2 - 16)) $((H - 60))" [preview]="$((W - 210)) $((H - 62))"
        [time]="$((W - 120)) $((H - 47))")
}
place_bar $((mx - 3)) $((my - 3)) $((mw + 6)) $((mh + 6))
bar_shown() {
    xwininfo -root -tree | grep -qE "^ +0x[0-9a-f]+ .* ${bw}x${bh}\+${bx}\+${by} +\+"
}
no_bar() { ! bar_shown; }
check "no bar before the click" no_bar

xdotool mousemove --window "$id" 300 300 click 1
check "a click on the picture opens the bar over the window" wait_for 5 bar_shown
sleep 1  # the fade settles

shot=$work/shot.png
screenshot() { import -window root "$shot" 2>/dev/null; }
# pixel <x> <y>: "r,g,b" of the last screenshot.
pixel() { convert "$shot" -format "%[fx:int(255*u.r)],%[fx:int(255*u.g)],%[fx:int(255*u.b)]" \
    -crop "1x1+$1+$2" info:- 2>/dev/null; }
# button_pixel <button> <dx> <dy>: a pixel of a button.
button_pixel() {
    local x y; read -r x y <<<"${at[$1]}"
    pixel $((bx + x + $2)) $((by + y + $3))
}
# click_button <button> <dx> <dy>
click_button() {
    local x y; read -r x y <<<"${at[$1]}"
    xdotool mousemove $((bx + x + $2)) $((by + y + $3)) click 1
}
ink=16,20,24 face=232,236,240 red=224,32,32 blue=47,127,224 yellow=244,196,48 grey=200,204,210
screenshot
# A solid point of each icon, as the skin script draws it (offsets from the
# cell's origin, which the button's corner shows).
check "record button shows the red dot" [ "$(button_pixel record 30 30)" = $red ]
check "record button shows no square while idle" [ "$(button_pixel record 18 18)" = $grey ]
check "exit button shows the red cross" [ "$(button_pixel exit 30 27)" = $red ]
check "window-frame button shows the blue frame" [ "$(button_pixel frame 8 29)" = $blue ]
check "preview button shows the eye" [ "$(button_pixel preview 43 33)" = $blue ]
check "archive button shows the folder" [ "$(button_pixel archive 32 40)" = $yellow ]
check "settings button shows the gear" [ "$(button_pixel settings 44 30)" = $face ]
# The buttons keep their template sizes in dialog units while the layout
# places them in pixels, so with this machine's dialog font the window-frame
# button reaches over the minimise button's left edge: that edge must still
# show, and a click on it (on a solid pixel; where the colour key shows, a
# click goes to the window beneath) must reach the minimise button.
check "minimise button shows its box" [ "$(button_pixel minimise 10 43)" = $face ]
check "full-screen button shows its box" [ "$(button_pixel fullscreen 10 38)" = $face ]
check "between the buttons the picture shows through" \
    [ "$(pixel $((bx + W / 2)) $((by + H / 2)))" != 1,0,0 ]
read -r tx ty <<<"${at[time]}"
cyan=$(convert "$shot" -crop "86x33+$((bx + tx))+$((by + ty))" -fill black +opaque '#00ffff' \
    -format '%[fx:int(mean*w*h*3/2)]' info:- 2>/dev/null)
check "the time display shows the limit in cyan ($cyan pixels)" [ "${cyan:-0}" -ge 20 ]

click_button record 30 30
check "the record button starts a segment file" \
    wait_for 15 '[ -n "$(find "$work/cap" -name "*.avi" -size +0)" ]'
sleep 6
screenshot
check "the record button shows the stop square while recording" \
    [ "$(button_pixel record 21 21)" = $red ]
green=$(convert "$shot" -crop "86x33+$((bx + tx))+$((by + ty))" -fill black +opaque '#00b400' \
    -format '%[fx:int(mean*w*h*3/2)]' info:- 2>/dev/null)
check "the time display shows progress stripes ($green pixels)" [ "${green:-0}" -ge 20 ]
if [ -n "$shots" ]; then
    mkdir -p "$shots"
    convert "$shot" -crop "$((mw + 20))x$((mh + 20))+$((mx - 10))+$((my - 10))" +repage \
        "$shots/control-bar.png"
fi

# While recording the time display keeps its limit (checked in the registry
# at the end).
click_button time 40 15
sleep 0.5

# A second click on the picture fades the bar out; the next opens it again.
xdotool mousemove --window "$id" 300 300 click 1
check "a second click on the picture fades the bar out" wait_for 5 no_bar
xdotool mousemove --window "$id" 300 300 click 1
check "and the next one brings it back" wait_for 5 bar_shown
sleep 1

avi=$(find "$work/cap" -name '*.avi' | head -1)
click_button record 30 30
sleep 2
size=$(stat -c %s "$avi")
sleep 2
screenshot
check "the record button stops the recording" [ "$(stat -c %s "$avi")" = "$size" ]
check "and shows the red dot again" [ "$(button_pixel record 18 18)" = $grey ]
read -r w h frames <<<"$(avi_probe "$avi")"
check "the segment is a readable recording (${frames:-0} frames)" [ "${frames:-0}" -ge 30 ]

# picture: "lit" when the middle of the main window shows the test pattern,
# "dark" when it is the window's black background.
picture() {
    import -window root "$shot" 2>/dev/null
    convert "$shot" -crop "120x60+$((mx + mw / 2 - 60))+$((my + mh / 2 - 30))" -colorspace gray \
        -format '%[fx:mean>0.08 ? 1 : 0] %[fx:standard_deviation>0.04 ? 1 : 0]' info:- 2>/dev/null |
        awk '{print ($1 || $2) ? "lit" : "dark"}'
}
check "the preview shows the test pattern" [ "$(picture)" = lit ]
click_button preview 43 33
check "the preview button stops the idle preview" wait_for 5 '[ "$(picture)" = dark ]'
click_button preview 43 33
check "and starts it again" wait_for 10 '[ "$(picture)" = lit ]'

# The frame button drops the sizing border and keeps the outer rectangle.
click_button frame 8 29
check "the frame button removes the sizing border" \
    wait_for 5 '[ "$(x_geometry "$id")" = "$((mx - 3)) $((my - 3)) $((mw + 6)) $((mh + 6))" ]'
check "the bar stays over the window" bar_shown
click_button frame 8 29
check "and a second click brings it back" wait_for 5 '[ "$(x_geometry "$id")" = "$mx $my $mw $mh" ]'

# Full screen covers the monitor; the bar follows, and its full-screen button
# puts the window back where it was.
read -r sw sh <<<"$(xwininfo -root | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w, h}')"
click_button fullscreen 10 38
check "the full-screen button covers the monitor" wait_for 5 '[ "$(x_geometry "$id")" = "0 0 $sw $sh" ]'
place_bar 0 0 "$sw" "$sh"
check "the bar covers the full-screen window" wait_for 5 bar_shown
sleep 1
click_button fullscreen 10 38
check "a second click restores the window" wait_for 5 '[ "$(x_geometry "$id")" = "$mx $my $mw $mh" ]'
place_bar $((mx - 3)) $((my - 3)) $((mw + 6)) $((mh + 6))
check "the bar follows it back" wait_for 5 bar_shown
sleep 1

# While recording, the preview button hides and shows the picture, and the
# archive button moves the newest recording away while recording goes on.
click_button record 30 30
check "recording starts again" wait_for 15 '[ "$(count "$work/cap")" -ge 2 ]'
sleep 3
click_button preview 43 33
check "the preview button hides the picture while recording" wait_for 5 '[ "$(picture)" = dark ]'
click_button preview 43 33
check "and shows it again" wait_for 5 '[ "$(picture)" = lit ]'
# The settings button opens the dialog; closed without a change (the camera
# list, opened and closed, reports focus changes) it leaves the recording
# running.
click_button settings 44 30
check "the settings button opens the settings dialog" \
    wait_for 10 "xdotool search --name '^Settings' >/dev/null 2>&1"
read -r lx ly < <(wine_exec 30 "$bin/settings-probe.exe" where 1015 2>/dev/null | tr -d '\r')
xdotool mousemove "${lx:-0}" "${ly:-0}" click 1  # the camera list opens
sleep 1
xdotool key Escape  # and closes unchanged
sleep 0.5
xdotool key Escape
check "Escape closes it" wait_for 10 "! xdotool search --name '^Settings' >/dev/null 2>&1"
check "and the bar is still there" bar_shown
sleep 2  # a stopped multiplexer would have written its index by now
newest=$(avis "$work/cap" | tail -1)
grown=$(size_of "$newest")
check "the recording goes on" wait_for 5 '[ "$(size_of "$newest")" -gt "$grown" ]'
click_button archive 32 40
check "the archive button moves recordings to the archive folder" \
    wait_for 15 '[ "$(count "$work/archive")" -ge 1 ]'
check "and recording goes on in a new segment" \
    wait_for 15 '[ -n "$(find "$work/cap" -name "*.avi" -newer "$(avis "$work/archive" | tail -1)" -size +0)" ]'
sleep 2
screenshot
check "the record button still shows recording" [ "$(button_pixel record 21 21)" = $red ]
click_button record 30 30
sleep 2

# Minimise takes the bar away at once; "Restore" from a script brings the
# window back, and a click the bar.
# Without a window manager X shows no change: ask the window itself.
click_button minimise 10 43
check "the minimise button minimises the window" \
    wait_for 5 'wine_exec 30 "$bin/settings-probe.exe" iconic "$title" >/dev/null 2>&1'
check "and closes the bar" no_bar
send() { recorder_send "$bin" 6 "$1"; }
send Restore
check "Restore shows the window again" \
    wait_for 10 '! wine_exec 30 "$bin/settings-probe.exe" iconic "$title" >/dev/null 2>&1'
sleep 1
xdotool mousemove --window "$id" 300 300 click 1
check "a click opens the bar again" wait_for 5 bar_shown
sleep 1
# Idle, the time display steps the limit: 60 -> 1800 -> 3600.
click_button time 40 15
sleep 0.5
click_button time 40 15
sleep 1

click_button exit 30 27
wait "$recorder"
code=$?
check "the exit button ends the program with exit code 0 ($code)" [ "$code" -eq 0 ]
[ "$code" -eq 0 ] || grep -v '^ALSA' "$work/recorder.log" | tail -20
limit=$(wine_exec 60 reg query "$(recorder_key 6)" /v CapSeconds 2>/dev/null | tr -d '\r' |
    awk '/CapSeconds/ {print $3}')
check "two clicks on the idle time display, none while recording, set 3600 ($limit)" \
    [ "$limit" = 0xe10 ]
for f in $(avis "$work/archive"); do
    read -r w h frames <<<"$(avi_probe "$f")"
    check "the archived $(basename "$f") is a readable recording (${frames:-0} frames)" \
        [ "${frames:-0}" -ge 1 ]
done

checks_end
