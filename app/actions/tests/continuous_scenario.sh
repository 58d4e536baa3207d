#!/usr/bin/env bash
# The recorder (vistrel.exe with the test camera, 320x240 RGB32 at 30 fps)
# recording without a gap, read back with ffmpeg and ffprobe:
#
#   continuous_scenario.sh rotation|kill|archive|disk-full|early-exit|track <bin> <native build>
#
# rotation:   5-second segments for about 25 s, then Exit: the camera's numbers
#             run on across all files, none missing or repeated; every full
#             segment spans 150 +- 1 frames; every header counts what ffprobe
#             decodes; the last segment holds the frames up to the Exit.
# kill:       the recorder killed (SIGKILL) at a random moment of a segment,
#             three times: the file decodes up to within a second of the kill
#             before any repair; after the next start its header counts what
#             ffprobe decodes, and it has a duration.
# archive:    Archive while recording, the archive folder on a second drive:
#             no number missing across the archived and the capture files,
#             the archived files whole.
# disk-full:  the capture folder on a 12 MB drive with FileLimit 2: the
#             recorder deletes the oldest and records on; every file left is
#             readable.
# early-exit: Exit within half a second of a segment's start, ten times: no
#             file without a frame is left.
# track:      with the GPS feed at a fixed position and the simulated OBD-II
#             feed: every segment has a GPX track whose points hold the
#             record's values (read with gpxpy) and an SRT that ffmpeg reads;
#             the limits delete, and Archive moves, them with their segment;
#             a track cut off by a kill is closed by the next start.
set -u
mode=$1
bin=$(cd "$2" && pwd)
native=$(cd "$3" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
frames_tool=$native/testcam/testcam-frames
[ -x "$frames_tool" ] || { echo "FAIL: $frames_tool is missing (build the native tree)"; exit 1; }

if [ "$mode" = disk-full ] && [ -z "${RECORDER_NAMESPACE:-}" ]; then
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
    WINEDEBUG=+debugstr wine_exec 180 "$bin/vistrel.exe" 1 >>"$work/recorder.log" 2>&1 &
    RECORDER=$!
}
stop() {  # Exit, and the recorder's exit code
    send Exit
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
    sleep 24
    stopped_at=$(date +%s.%N)
    check "Exit ends the recorder with exit code 0" stop
    files=$(avis "$work/cap")
    echo "$(echo "$files" | wc -l) segments"
    check "at least four segments" [ "$(echo "$files" | wc -l)" -ge 4 ]
    # shellcheck disable=SC2086
    check "numbers run on across all segments, each full one 150 frames" check_run 150 $files
    # The last segment ran to the Exit: about as long as it lived before it.
    last=$(echo "$files" | tail -1)
    read -r header decoded <<<"$(counts "$last")"
    check "the last segment holds frames up to the Exit ($decoded)" [ "${decoded:-0}" -ge 1 ]
    ;;
kill)
    for attempt in 1 2 3; do
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
    start 'X:\Seg' 1 FileLimit=4
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
