#!/usr/bin/env bash
# The recorder (vistrel.exe with the test camera, 320x240 RGB32 at 30 fps)
# recording without a gap, read back with ffmpeg and ffprobe:
#
#   continuous_scenario.sh rotation|kill|archive|disk-full|floor|early-exit|track|paths|no-camera|soak
#       <bin> <native build>
#
# rotation:   5-second segments for about 45 s, then Exit: the camera's numbers
#             run on across all files, none missing or repeated; every full
#             segment spans 150 +- 1 frames; every header counts what ffprobe
#             decodes; the last segment holds the frames up to the Exit.
# kill:       the recorder killed (SIGKILL) at a random moment of a segment,
#             five times: the file decodes up to within a second of the kill
#             before any repair; after the next start its header counts what
#             ffprobe decodes, and it has a duration.
# archive:    Archive while recording, the archive folder on a second drive:
#             no number missing across the archived and the capture files,
#             the archived files whole.
# disk-full:  the capture folder on a 12 MB drive with FileLimit 2: the
#             recorder deletes the oldest and records on; every file left is
#             readable.
# floor:      the capture folder on a drive of 1 GiB + 40 MiB with "MinFreeGB" 1:
#             the oldest segments go before the disk falls below the floor,
#             no write fails; a drive below the floor with nothing of ours on it
#             records nothing until room is made, then records.
# early-exit: Exit within half a second of a segment's start, ten times: no
#             file without a frame is left.
# track:      with the GPS feed at a fixed position and the simulated OBD-II
#             feed: every segment has a GPX track whose points hold the
#             record's values (read with gpxpy) and an SRT that ffmpeg reads;
#             the limits delete, and Archive moves, them with their segment;
#             a track cut off by a kill is closed by the next start.
# paths:      "CapFilename" on a drive that is not there: starts fail, Exit
#             still ends the recorder; the drive appearing is recorded onto;
#             forward slashes record into the folder they name; a first start
#             with no camera saved records with the one there is.
# no-camera:  no camera registered: the window says "No camera" (screenshot).
# soak:       SOAK_ROTATIONS (100) rotations of 1-second segments with FileLimit,
#             GBLimit and MinFreeGB set: the folder never holds more than the
#             limit allows, every file left is whole, and the recorder's handle
#             and GDI object counts stay flat from the tenth segment on.
set -u
mode=$1
bin=$(cd "$2" && pwd)
native=$(cd "$3" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
frames_tool=$native/testcam/testcam-frames
[ -x "$frames_tool" ] || { echo "FAIL: $frames_tool is missing (build the native tree)"; exit 1; }

if { [ "$mode" = disk-full ] || [ "$mode" = floor ]; } && [ -z "${RECORDER_NAMESPACE:-}" ]; then
    # A mount namespace of this test's own: the small drive is seen by nobody else.
    if ! unshare --mount true 2>/dev/null; then
        echo "SKIP: no mount namespace here for a small drive"
        exit 77
    fi
    RECORDER_NAMESPACE=1 exec unshare --mount -- "$0" "$@"
fi

. "$here/../../../scripts/winelib.sh"
. "$here/../../../scripts/recorder-lib.sh"
send() { recorder_send "$bin" 1 "$1"; }

wine_session_begin "${VISTREL_WINE_ROOT:-$bin/../wine}" || exit 1
work=$WINE_SESSION_DIR/work
mkdir -p "$work/cap"
[ "$mode" = no-camera ] ||
    check "the test camera registers" wine_exec 60 regsvr32 /s "$(wine_path "$bin/testcam.dll")"

# "header decoded" frame counts of a file's video stream.
counts() {
    ffprobe -v error -count_frames -select_streams v:0 \
        -show_entries stream=nb_frames,nb_read_frames -of csv=p=0 "$1" 2>/dev/null |
        tr ',' ' ' | sed 's#N/A#0#g'
}
# "first last missing" camera numbers of a 320x240 file (-1 when unreadable).
numbers() {
    local line
    line=$(ffmpeg -v error -i "$1" -f rawvideo -pix_fmt bgra - 2>/dev/null | "$frames_tool" 320 240 2>/dev/null)
    # "frames N first F last L missing M unreadable U"
    set -- $line
    echo "${4:--1} ${6:--1} ${8:--1}"
}
# start <capture prefix> <cap seconds> [name=value...]: the recorder,
# recording at once with multi-file segments; its pid in RECORDER.
start() {
    local prefix=$1 seconds=$2
    shift 2
    recorder_plant 1 "$prefix" "$seconds" $((0x061)) Resolution2=1 "$@"
    recorder_rate30 1
    WINEDEBUG=+debugstr wine_exec "${RECORDER_SECONDS:-180}" "$bin/vistrel.exe" 1 \
        >>"$work/recorder.log" 2>&1 &
    RECORDER=$!
}
stop() {  # Exit, and the recorder's exit code
    # A recorder still repairing a killed file may not have its window yet:
    # the sender waits for it rather than dropping the word.
    wine_exec 60 "$bin/vistrel-send.exe" --instance 1 --wait 30 Exit >/dev/null 2>&1
    wait "$RECORDER"
}
# The recorder's own process (the Windows one under timeout), for a kill.
process_of() { pgrep -f 'vistrel.exe 1' | while read -r p; do
    [ "$(ps -o comm= -p "$p")" = vistrel.exe ] && echo "$p"; done | head -1; }

# Checks a run of segments in time order: counts agree, numbers run on.
check_run() {  # check_run <full span> <file>...
    local span=$1 previous=-1 f header decoded first last missing n last_file=${!#} bad=0
    shift
    for f in "$@"; do
        read -r header decoded <<<"$(counts "$f")"
        read -r first last missing <<<"$(numbers "$f")"
        n=$((last - first + 1))
        echo "  $(basename "$f"): header $header decoded $decoded numbers $first..$last missing $missing"
        [ "$header" = "$decoded" ] && [ "${decoded:-0}" -gt 0 ] || { echo "  counts differ"; bad=1; }
        [ "$missing" = 0 ] || { echo "  numbers missing inside"; bad=1; }
        [ "$previous" -lt 0 ] || [ "$first" = $((previous + 1)) ] ||
            { echo "  starts at $first after $previous"; bad=1; }
        previous=$last
        if [ "$span" -gt 0 ] && [ "$f" != "$last_file" ] && [ $((n - span)) -ne 0 ] &&
            [ $((n - span)) -ne 1 ] && [ $((n - span)) -ne -1 ]; then
            echo "  spans $n frames, not $span"
            bad=1
        fi
    done
    [ "$bad" = 0 ]
}

case $mode in
rotation)
    start "$(wine_path "$work/cap")\\Seg" 5
    check "recording starts" wait_for 30 '[ "$(count "$work/cap")" -ge 1 ]'
    sleep 44
    check "Exit ends the recorder with exit code 0" stop
    files=$(avis "$work/cap")
    echo "$(echo "$files" | wc -l) segments"
    check "at least eight segments" [ "$(echo "$files" | wc -l)" -ge 8 ]
    # shellcheck disable=SC2086
    check "numbers run on across all segments, each full one 150 frames" check_run 150 $files
    # The last segment ran to the Exit: about as long as it lived before it.
    last=$(echo "$files" | tail -1)
    read -r header decoded <<<"$(counts "$last")"
    check "the last segment holds frames up to the Exit ($decoded)" [ "${decoded:-0}" -ge 1 ]
    ;;
kill)
    for attempt in 1 2 3 4 5; do
        cap=$work/kill$attempt
        mkdir -p "$cap"
        start "$(wine_path "$cap")\\Seg" 600
        wait_for 30 '[ "$(count "$cap")" -ge 1 ]'
        sleep $((2 + RANDOM % 4)).$((RANDOM % 10))
        f=$(avis "$cap" | head -1)
        # What the camera had numbered when the process died, from the file's
        # first number and the time since it began.
        process=$(process_of)
        check "attempt $attempt: a recorder process to kill" test -n "$process"
        [ -n "$process" ] && kill -KILL "$process"
        wait "$RECORDER" 2>/dev/null
        read -r header decoded <<<"$(counts "$f")"
        size=$(size_of "$f")
        # The file's bytes hold whole frames of 307200 bytes; at most a second
        # (30 frames) of them are not yet made whole.
        held=$((size / 307208))
        echo "attempt $attempt: $size bytes, about $held frames; decodes $decoded before repair"
        check "attempt $attempt: decodes up to within a second of the kill" \
            test "${decoded:-0}" -ge $((held - 31)) -a "${decoded:-0}" -ge 1
        # The next start makes it whole before it records.
        start "$(wine_path "$cap")\\Seg" 600
        wait_for 30 '[ "$(count "$cap")" -ge 2 ]'
        stop >/dev/null
        read -r header decoded <<<"$(counts "$f")"
        duration=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$f" 2>/dev/null)
        echo "attempt $attempt: after the next start: header $header decoded $decoded duration $duration"
        check "attempt $attempt: its header counts what ffprobe decodes" \
            test "$header" = "$decoded" -a "${decoded:-0}" -ge $((held - 31))
        check "attempt $attempt: and it has a duration" test -n "$duration" -a "$duration" != N/A
        # Windows' own reader (the platform's AVI splitter) plays it through.
        played=$(wine_exec 120 "$bin/avi-play.exe" "$(wine_path "$f")" 2>/dev/null | tr -d '\r' |
            awk '/^samples/ {print $2}')
        check "attempt $attempt: the platform's AVI splitter plays all $decoded frames (${played:-none})" \
            test "${played:-0}" = "$decoded"
    done
    ;;
archive)
    mkdir -p "$work/second"
    ln -s "$work/second" "$WINEPREFIX/dosdevices/e:"
    start "$(wine_path "$work/cap")\\Seg" 4 'Archive=E:\saved:'
    check "recording starts" wait_for 30 '[ "$(count "$work/cap")" -ge 1 ]'
    sleep 6
    send Archive
    check "Archive moves recordings onto the second drive" \
        wait_for 20 '[ "$(count "$work/second/saved")" -ge 1 ]'
    sleep 5
    check "Exit ends the recorder with exit code 0" stop
    all=$( (avis "$work/cap"; avis "$work/second/saved") | awk -F/ '{print $NF "\t" $0}' |
        sort | cut -f2)
    # shellcheck disable=SC2086
    check "no number missing across the archive, every file whole" check_run 0 $all
    for f in $(avis "$work/second/saved"); do
        check "no part file left beside $(basename "$f")" test ! -e "$f.part"
    done
    ;;
disk-full)
    drive=$work/drive
    mkdir -p "$drive"
    mount -t tmpfs -o size=12m tmpfs "$drive" || { echo "SKIP: no tmpfs"; exit 77; }
    ln -s "$drive" "$WINEPREFIX/dosdevices/x:"
    # 307 KB a frame: a 1-second segment takes 9 MB, so the drive fills in
    # the second segment, and again and again.
    start 'X:\Seg' 1 FileLimit=4 MinFreeGB=0
    check "recording starts" wait_for 30 '[ "$(count "$drive")" -ge 1 ]'
    sleep 12
    check "Exit ends the recorder with exit code 0" stop
    grep -a 'debugstr' "$work/recorder.log" | grep -a 'writing .* failed' | head -2
    check "the full disk was reported" grep -aq 'writing .* failed' "$work/recorder.log"
    check "the limits freed space and recording went on" \
        [ "$(grep -ac 'segment closed' "$work/recorder.log")" -ge 3 ]
    bad=0
    for f in $(avis "$drive"); do
        read -r header decoded <<<"$(counts "$f")"
        echo "  $(basename "$f"): header $header decoded $decoded"
        [ "${decoded:-0}" -gt 0 ] && [ "$header" = "$decoded" ] || bad=1
    done
    check "every file left is readable and whole" [ "$bad" = 0 ]
    wine_session_end
    umount "$drive"
    ;;
floor)
    drive=$work/drive
    mkdir -p "$drive"
    # Only what is written takes memory: 40 MiB above the floor.
    mount -t tmpfs -o size=1064m tmpfs "$drive" || { echo "SKIP: no tmpfs"; exit 77; }
    ln -s "$drive" "$WINEPREFIX/dosdevices/x:"
    free_mib() { df -m --output=avail "$drive" | tail -1 | tr -d ' '; }
    # 9 MB a second: about four segments fit above the floor.
    start 'X:\Seg' 1 MinFreeGB=1
    check "recording starts" wait_for 30 '[ "$(count "$drive")" -ge 1 ]'
    lowest=$(free_mib)
    for _ in $(seq 24); do
        sleep 0.5
        f=$(free_mib)
        [ "$f" -lt "$lowest" ] && lowest=$f
    done
    check "Exit ends the recorder with exit code 0" stop
    echo "  lowest free: $lowest MiB; segments closed: $(grep -ac 'segment closed' "$work/recorder.log")"
    check "no write failed" test "$(grep -ac 'writing .* failed' "$work/recorder.log")" = 0
    check "the floor deleted the oldest segments" grep -aq 'below 1 GB free; .* deleted' "$work/recorder.log"
    check "more segments were made than the drive holds" \
        [ "$(grep -ac 'segment closed' "$work/recorder.log")" -ge 7 ]
    # Within a second's recording of the floor: one tick and one segment.
    check "the free space stayed near the floor ($lowest MiB)" [ "$lowest" -ge $((1024 - 20)) ]
    bad=0
    for f in $(avis "$drive"); do
        read -r header decoded <<<"$(counts "$f")"
        [ "${decoded:-0}" -gt 0 ] && [ "$header" = "$decoded" ] || bad=1
    done
    check "every file left is readable and whole" [ "$bad" = 0 ]

    # Below the floor with nothing of ours to delete: no recording, until
    # the user makes room.
    rm -f "$drive"/*
    head -c $((1050 * 1024 * 1024)) /dev/zero >"$drive/other.bin"
    : >"$work/recorder.log"
    start 'X:\Seg' 1 MinFreeGB=1
    check "below the floor, recording waits for room" \
        wait_for 20 "grep -aq 'recording waits for room' '$work/recorder.log'"
    sleep 3
    check "and no segment is made" [ "$(count "$drive")" = 0 ]
    check "the foreign file is left alone" test -s "$drive/other.bin"
    truncate -s 1m "$drive/other.bin"
    check "room made, recording starts" wait_for 20 '[ "$(count "$drive")" -ge 1 ]'
    check "Exit ends the recorder with exit code 0" stop
    wine_session_end
    umount "$drive"
    ;;
paths)
    # A capture drive that is not there (an unplugged USB disk).
    start 'Q:\rec\Seg' 3
    check "the missing drive fails the start" \
        wait_for 30 "grep -aq 'opening the file' '$work/recorder.log'"
    sleep 6
    mkdir -p "$work/usb"
    ln -s "$work/usb" "$WINEPREFIX/dosdevices/q:"
    check "the drive appearing is recorded onto" wait_for 30 '[ "$(count "$work/usb/rec")" -ge 1 ]'
    rm "$WINEPREFIX/dosdevices/q:"
    sleep 4
    check "Exit ends the recorder while the drive is gone again" stop
    # Forward slashes name the same folder as backslashes.
    start 'C:/rec2/Seg' 3
    check "C:/rec2/Seg records into C:\rec2" wait_for 30 '[ "$(count "$WINEPREFIX/drive_c/rec2")" -ge 1 ]'
    check "Exit ends the recorder with exit code 0" stop
    # A first start: no camera saved, no setting at all but the folder.
    key=$(recorder_key 1)
    recorder_reg delete "$key" /f
    recorder_reg add "$key" /v CapFilename /t REG_SZ /d "$(wine_path "$work/first")\Seg" /f
    recorder_reg add "$key" /v Preview /t REG_DWORD /d $((0x061)) /f
    WINEDEBUG=+debugstr wine_exec 180 "$bin/vistrel.exe" 1 >>"$work/recorder.log" 2>&1 &
    RECORDER=$!
    check "a first start records with the test camera" wait_for 30 '[ "$(count "$work/first")" -ge 1 ]'
    check "Exit ends the recorder with exit code 0" stop
    saved_camera() { wine_exec 60 reg query "$key" /v TVVideoDevice 2>/dev/null | grep -q 'Test Camera'; }
    check "and keeps the camera it chose" saved_camera
    ;;
no-camera)
    recorder_plant 1 "$(wine_path "$work/cap")\\Seg" 3 $((0x061))
    recorder_reg delete "$(recorder_key 1)" /v TVVideoDevice /f
    WINEDEBUG=+debugstr wine_exec 180 "$bin/vistrel.exe" 1 >>"$work/recorder.log" 2>&1 &
    RECORDER=$!
    shot=$work/no-camera.png
    # The line across the top of the window: yellow letters on black.
    yellow_in_top_line() {
        local wid x y w h
        wid=$(xdotool search --name '^Halvorix - Vistrel 1$' 2>/dev/null | head -1)
        [ -n "$wid" ] || return 1
        read -r x y w h <<<"$(x_geometry "$wid")"
        import -window root -crop "${w}x22+${x}+${y}" "$shot" 2>/dev/null || return 1
        [ "$(yellow_pixels "$shot")" -ge 20 ]
    }
    yellow_pixels() {
        ffmpeg -v error -i "$1" -f rawvideo -pix_fmt rgb24 - 2>/dev/null | python3 -c '
import sys
a = sys.stdin.buffer.read()
print(sum(1 for i in range(0, len(a) - 2, 3) if a[i] > 200 and 150 < a[i + 1] < 240 and a[i + 2] < 60))'
    }
    check "the window says why nothing records" wait_for 30 yellow_in_top_line
    echo "  $(yellow_pixels "$shot") yellow pixels in the top line"
    check "Exit ends the recorder with exit code 0" stop
    check "and nothing was recorded" [ "$(count "$work/cap")" = 0 ]
    ;;
soak)
    rotations=${SOAK_ROTATIONS:-100}
    RECORDER_SECONDS=$((rotations * 2 + 120))
    start "$(wine_path "$work/cap")\\Seg" 1 FileLimit=4 GBLimit=1 MinFreeGB=1
    check "recording starts" wait_for 30 '[ "$(count "$work/cap")" -ge 1 ]'
    closed() { grep -ac 'segment closed' "$work/recorder.log"; }
    probe() { wine_exec 30 "$bin/handle-probe.exe" 'Halvorix - Vistrel 1' 2>/dev/null | tr -d '\r'; }
    # Four finished segments, the one being written and the next one's file
    # made ahead: never more. The handle and GDI counts every ten segments.
    most=0 sampled=0
    : >"$work/counts"
    while [ "$(closed)" -lt "$rotations" ] && kill -0 "$RECORDER" 2>/dev/null; do
        n=$(count "$work/cap")
        [ "$n" -gt "$most" ] && most=$n
        if [ $(($(closed) / 10)) -gt "$sampled" ]; then
            sampled=$(($(closed) / 10))
            probe | sed -n 's/^handles \(-*[0-9]*\) gdi \(-*[0-9]*\)$/\1 \2/p' >>"$work/counts"
        fi
        sleep 0.3
    done
    check "Exit ends the recorder with exit code 0" stop
    left=$(count "$work/cap")
    echo "  $(closed) segments closed; at most $most files at once, $left left"
    check "$rotations rotations ran" [ "$(closed)" -ge "$rotations" ]
    check "the folder never held more than the limits allow ($most)" [ "$most" -le 6 ]
    check "the limits left four or five segments" [ "$left" -ge 4 -a "$left" -le 5 ]
    bad=0
    for f in $(avis "$work/cap"); do
        read -r header decoded <<<"$(counts "$f")"
        [ "${decoded:-0}" -gt 0 ] && [ "$header" = "$decoded" ] || { echo "  $(basename "$f") unread"; bad=1; }
    done
    check "every file left is whole" [ "$bad" = 0 ]
    echo "  handles and gdi objects every ten segments: $(tr '\n' ' ' <"$work/counts")"
    # From the second sample on (the first segments still open what a
    # recording needs once), no growth beyond a few handles of noise.
    read -r h0 g0 <<<"$(sed -n 2p "$work/counts")"
    read -r hmax gmax <<<"$(awk 'NR >= 2 { if ($1 > h) h = $1; if ($2 > g) g = $2 } END { print h + 0, g + 0 }' \
        "$work/counts")"
    check "handle count flat (${h0:-none} .. $hmax)" [ "${h0:--1}" -gt 0 -a "$hmax" -le $((${h0:-0} + 10)) ]
    if [ "${g0:--1}" -gt 0 ]; then
        check "GDI object count flat ($g0 .. $gmax)" [ "$gmax" -le $((g0 + 10)) ]
    else
        echo "  GDI objects are not counted here (Wine); the recorder's debugger lines carry them on Windows"
    fi
    ;;
early-exit)
    for attempt in $(seq 10); do
        cap=$work/early$attempt
        mkdir -p "$cap"
        start "$(wine_path "$cap")\\Seg" 3
        wait_for 30 '[ "$(count "$cap")" -ge 1 ]'
        if [ $((attempt % 2)) = 0 ]; then
            # The second segment: its file is made ahead, and it starts when
            # the file grows past its header.
            wait_for 30 '[ "$(count "$cap")" -ge 2 ]'
            second=$(avis "$cap" | tail -1)
            header=$(size_of "$second")
            wait_for 10 '[ "$(size_of "$second")" -gt "$header" ]'
        fi
        # Within half a second of the segment's start (the first one's,
        # maybe before its first frame).
        sleep 0.$((RANDOM % 4))
        stop >/dev/null
        for f in $(avis "$cap"); do
            read -r header decoded <<<"$(counts "$f")"
            [ "${decoded:-0}" -ge 1 ] ||
                { echo "attempt $attempt: $(basename "$f") holds no frame"; failures=$((failures + 1)); }
        done
    done
    echo "files left: $(find "$work" -name '*.avi' | wc -l)"
    ;;
track)
    wine_exec 120 "$bin/vistrel-gpsfeed.exe" --fix 48.137,11.575 --alt 520 --speed 25 \
        --heading 90 --seconds 90 >/dev/null 2>&1 &
    gps=$!
    wine_exec 120 "$bin/vistrel-obdfeed.exe" --simulate --seconds 90 >/dev/null 2>&1 &
    obd=$!
    start "$(wine_path "$work/cap")\\Seg" 4 FileLimit=2 "Archive=$(wine_path "$work/saved"):"
    check "recording starts" wait_for 30 '[ "$(count "$work/cap")" -ge 1 ]'
    sleep 14
    send Archive
    sleep 6
    check "Exit ends the recorder with exit code 0" stop
    tracks_ok() {  # every segment in $1 with a GPX of the fixed position and an SRT
        local f bad=0
        for f in $(avis "$1"); do
            /usr/bin/python3 - "${f%.avi}.gpx" <<'PY' || bad=1
import sys, gpxpy
with open(sys.argv[1]) as f:
    gpx = gpxpy.parse(f)
points = [p for t in gpx.tracks for s in t.segments for p in s.points]
ok = len(points) >= 2 and all(abs(p.latitude - 48.137) < 1e-4 and abs(p.longitude - 11.575) < 1e-4
                              and abs(p.elevation - 520) < 0.01 for p in points)
print(f"  {sys.argv[1].split('/')[-1]}: {len(points)} points" + ("" if ok else " WRONG"))
sys.exit(0 if ok else 1)
PY
            [ "$(ffprobe -v error -show_entries stream=codec_name -of csv=p=0 "${f%.avi}.srt" \
                2>/dev/null)" = subrip ] &&
                [ "$(grep -c -- '-->' "${f%.avi}.srt")" -ge 2 ] || { echo "  ${f%.avi}.srt unread"; bad=1; }
        done
        [ "$bad" = 0 ]
    }
    check "every segment has its track and its subtitles" tracks_ok "$work/cap"
    check "the archived segments took theirs along" tracks_ok "$work/saved"
    orphans=0
    for t in "$work"/cap/*.gpx "$work"/cap/*.srt; do
        [ -e "$t" ] && [ ! -e "${t%.*}.avi" ] && { echo "  orphan $(basename "$t")"; orphans=1; }
    done
    check "the limits deleted the tracks with their segments" [ "$orphans" = 0 ]
    # A kill cuts the track off; the next start closes it.
    start "$(wine_path "$work/kill")\\Seg" 600
    wait_for 30 '[ -s "$(ls "$work"/kill/*.gpx 2>/dev/null | head -1)" ]'
    sleep 2.$((RANDOM % 10))
    kill -KILL "$(process_of)"
    wait "$RECORDER" 2>/dev/null
    start "$(wine_path "$work/kill")\\Seg" 600
    wait_for 30 '[ "$(count "$work/kill")" -ge 2 ]'
    stop >/dev/null
    first=$(avis "$work/kill" | head -1)
    check "a track cut off by a kill parses after the next start" \
        /usr/bin/python3 -c "import gpxpy,sys; gpxpy.parse(open(sys.argv[1]))" "${first%.avi}.gpx"
    kill "$gps" "$obd" 2>/dev/null
    wait "$gps" "$obd" 2>/dev/null
    ;;
*)
    echo "unknown mode $mode"
    exit 2
    ;;
esac
[ "$failures" = 0 ] || grep -a 'debugstr' "$work/recorder.log" | grep -av ALSA | tail -15
checks_end
