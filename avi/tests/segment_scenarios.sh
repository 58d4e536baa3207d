#!/usr/bin/env bash
# The segment writer in real processes under Wine, its files read by ffmpeg,
# by Wine's own AVI splitter and by vistrel-repair:
#
#   segment_scenarios.sh rotation|kill|disk-full <Windows bin> <native build>
#
# rotation:  2 s segments of the test camera: every file's frame count in its
#            header equals what ffprobe decodes, the camera's numbers run on
#            across the files with none missing or repeated, each full segment
#            holds 60 frames, Wine's splitter plays each file whole; the same
#            with RIFFs of 4 MB (OpenDML AVIX).
# kill:      the recorder killed (SIGKILL) at three random moments of a
#            segment: the file decodes up to within a second of the kill
#            before any repair; vistrel-repair then completes it, its header's
#            count equals what ffprobe decodes, and Wine's splitter plays it.
# disk-full: the folder on a 12 MB drive (a tmpfs in a mount namespace of the
#            test's own, mapped as drive X:): the write failure is reported and
#            the file stays readable, its header's count what ffprobe decodes.
set -u
mode=$1
bin=$(cd "$2" && pwd)
native=$(cd "$3" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
frames_tool=$native/testcam/testcam-frames
repair=$native/tools/repair/vistrel-repair
for tool in "$frames_tool" "$repair"; do
    [ -x "$tool" ] || { echo "FAIL: $tool is missing (build the native tree)"; exit 1; }
done

if [ "$mode" = disk-full ] && [ -z "${SEGMENT_NAMESPACE:-}" ]; then
    # A mount namespace of this test's own: the small drive is seen by nobody else.
    if ! unshare --mount true 2>/dev/null; then
        echo "SKIP: no mount namespace here for a small drive"
        exit 77
    fi
    SEGMENT_NAMESPACE=1 exec unshare --mount -- "$0" "$@"
fi

. "$here/../../scripts/winelib.sh"
rc=0
fail() { echo "FAIL: $*"; rc=1; }

wine_session_begin "${VISTREL_WINE_ROOT:-$bin/../wine}" || exit 1
work=$WINE_SESSION_DIR/work
mkdir -p "$work"
wine_exec 60 regsvr32 /s "$(wine_path "$bin/testcam.dll")" || { echo "FAIL: testcam.dll"; exit 1; }

# "header decoded" frame counts of a file's video stream.
counts() {
    ffprobe -v error -count_frames -select_streams v:0 \
        -show_entries stream=nb_frames,nb_read_frames -of csv=p=0 "$1" 2>/dev/null | tr ',' ' '
}
# "first last missing" camera numbers of a 320x240 file.
numbers() {
    local line
    line=$(ffmpeg -v error -i "$1" -f rawvideo -pix_fmt bgra - 2>/dev/null | "$frames_tool" 320 240)
    # "frames N first F last L missing M unreadable U"
    set -- $line
    echo "${4:--1} ${6:--1} ${8:--1}"
}
played() {
    wine_exec 120 "$bin/avi-play.exe" "$(wine_path "$1")" 2>/dev/null | tr -d '\r' |
        awk '/^samples/ {print $2}'
}

record() {  # record <folder> <seconds> <segment> [more options]: the log on stdout
    local out=$1 seconds=$2 segment=$3
    shift 3
    mkdir -p "$out"
    wine_exec $((seconds + 60)) "$bin/avi-record.exe" --out "$(wine_path "$out")" \
        --seconds "$seconds" --segment "$segment" --width 320 --height 240 --bits 24 "$@"
}

check_rotation() {  # check_rotation <folder> <log>
    local out=$1 log=$2 previous=-1 files=0 f header decoded first last missing n samples
    grep -q '^done' "$log" || fail "the recording did not end cleanly: $(tail -3 "$log")"
    for f in "$out"/seg-*.avi; do
        files=$((files + 1))
        read -r header decoded <<<"$(counts "$f")"
        read -r first last missing <<<"$(numbers "$f")"
        n=$((last - first + 1))
        echo "$(basename "$f"): header $header decoded $decoded numbers $first..$last missing $missing"
        [ "$header" = "$decoded" ] && [ "$decoded" = "$n" ] || fail "$f: counts $header/$decoded/$n"
        [ "$missing" = 0 ] || fail "$f: $missing numbers missing"
        [ "$previous" -lt 0 ] || [ "$first" = $((previous + 1)) ] ||
            fail "$f: starts at $first after $previous"
        previous=$last
        # Every segment but the last holds its 2 s.
        [ "$f" = "$(ls "$out"/seg-*.avi | tail -1)" ] || [ "$n" = 60 ] || fail "$f: $n frames"
        samples=$(played "$f")
        [ "$samples" = "$decoded" ] || fail "$f: Wine's splitter played ${samples:-none} of $decoded"
    done
    [ "$files" -ge 3 ] || fail "$out: only $files files"
}

case $mode in
rotation)
    record "$work/plain" 7 2 >"$work/plain.log" 2>&1
    check_rotation "$work/plain" "$work/plain.log"
    record "$work/avix" 5 2 --riff-limit 4000000 >"$work/avix.log" 2>&1
    check_rotation "$work/avix" "$work/avix.log"
    grep '^stall' "$work/plain.log" "$work/avix.log"
    ;;
kill)
    for attempt in 1 2 3; do
        out=$work/kill$attempt
        mkdir -p "$out"
        timeout -k 5 90 "$WINE64" "$bin/avi-record.exe" --out "$(wine_path "$out")" --seconds 60 \
            --segment 20 --width 320 --height 240 --bits 24 >"$out.log" 2>&1 &
        run=$!
        # 3 to 6 s into the first segment (the camera starts within about a second).
        sleep $((3 + RANDOM % 4)).$((RANDOM % 10))
        process=$(pgrep -P "$run" | head -1)
        [ -n "$process" ] || { fail "attempt $attempt: no recorder process"; continue; }
        kill -KILL "$process"
        wait "$run" 2>/dev/null
        written=$(awk '/^status/ {w = $3} END {print w + 0}' "$out.log")
        f=$out/seg-000.avi
        read -r header decoded <<<"$(counts "$f")"
        echo "attempt $attempt: $written frames written, the file decodes $decoded (header $header)"
        # At most a second (30 frames) lost, and the 100 ms the status may lag.
        [ "${decoded:-0}" -ge $((written - 33)) ] || fail "attempt $attempt: only $decoded of $written"
        "$repair" "$f" || fail "attempt $attempt: vistrel-repair failed"
        read -r header decoded <<<"$(counts "$f")"
        duration=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$f")
        echo "attempt $attempt: repaired: header $header decoded $decoded duration $duration"
        [ "$header" = "$decoded" ] || fail "attempt $attempt: header $header, decoded $decoded"
        [ "$decoded" -ge $((written - 3)) ] || fail "attempt $attempt: $decoded of $written after repair"
        [ -n "$duration" ] && [ "$duration" != N/A ] || fail "attempt $attempt: no duration"
        read -r first last missing <<<"$(numbers "$f")"
        [ "$missing" = 0 ] || fail "attempt $attempt: $missing numbers missing"
        samples=$(played "$f")
        [ "$samples" = "$decoded" ] || fail "attempt $attempt: Wine's splitter played ${samples:-none}"
        "$repair" "$f" | grep -q 'already whole' || fail "attempt $attempt: a second repair changed it"
    done
    ;;
disk-full)
    drive=$work/drive
    mkdir -p "$drive"
    mount -t tmpfs -o size=12m tmpfs "$drive" || { echo "SKIP: no tmpfs"; exit 77; }
    ln -s "$drive" "$WINEPREFIX/dosdevices/x:"
    wine_exec 60 "$bin/avi-record.exe" --out 'X:\' --seconds 6 --segment 0 \
        --width 320 --height 240 --bits 24 >"$work/full.log" 2>&1
    cat "$work/full.log" | grep -v '^status'
    grep -q '^failed 80030070' "$work/full.log" || fail "no disk-full failure reported"
    grep -q '^done' "$work/full.log" || fail "the recording did not end cleanly"
    kept=0
    for f in "$drive"/seg-*.avi; do
        [ -e "$f" ] || continue
        read -r header decoded <<<"$(counts "$f")"
        echo "$(basename "$f"): header $header decoded $decoded"
        [ "${decoded:-0}" -gt 0 ] && [ "$header" = "$decoded" ] || fail "$f: header $header decoded $decoded"
        kept=$((kept + 1))
    done
    [ "$kept" -ge 1 ] || fail "no recording kept"
    wine_session_end
    umount "$drive"
    ;;
*)
    echo "unknown mode $mode"
    exit 2
    ;;
esac
[ $rc = 0 ] && echo "PASS: $mode"
exit $rc
