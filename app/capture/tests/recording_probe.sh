#!/usr/bin/env bash
# A recording made by the capture output test (test camera -> Smart Tee ->
# Wine's AVI multiplexer -> the project's file writer), read with the Unix
# tools a user would use: ffprobe for the stream's size and frame count, ffmpeg
# decoding every frame.
#
#   recording_probe.sh <folder with capture_output_test.exe and testcam.dll>
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../../scripts/winelib.sh"
bin=$(cd "$1" && pwd)
root=${VISTREL_WINE_ROOT:-$bin/../wine}
failures=0
check() {
    local what=$1; shift
    if "$@"; then echo "ok: $what"; else echo "FAIL: $what"; failures=$((failures + 1)); fi
}

wine_session_begin "$root" || exit 125
out=$WINE_SESSION_DIR/recording.avi
VISTREL_RECORDING_OUT=$(wine_path "$out") wine_exec 200 "$bin/capture_output_test.exe" \
    --gtest_filter='*RecordsTheCameraThroughSmartTee*' >"$WINE_SESSION_DIR/test.log" 2>&1
rc=$?
cat "$WINE_SESSION_DIR/test.log"
check "the recording test passes" [ $rc -eq 0 ]
check "the recording is on disk" [ -s "$out" ]
[ -s "$out" ] || { wine_session_end 1; exit 1; }

probe=$(ffprobe -v error -select_streams v:0 -count_frames \
    -show_entries stream=codec_type,width,height,nb_read_frames -of default=nw=1 "$out")
echo "$probe"
check "ffprobe sees one video stream" grep -qx 'codec_type=video' <<<"$probe"
check "of 320 x 240" grep -qx 'width=320' <<<"$probe"
check "and height 240" grep -qx 'height=240' <<<"$probe"
frames=$(sed -n 's/^nb_read_frames=//p' <<<"$probe")
check "a plausible count for 3 s at 30 frames per second" \
    test "${frames:-0}" -ge 60 -a "${frames:-0}" -le 95
errors=$(ffmpeg -v error -nostdin -i "$out" -f null - 2>&1)
check "ffmpeg decodes every frame without an error" [ -z "$errors" ]
[ -z "$errors" ] || echo "$errors" | head -5
# The camera draws its frame number into every picture: no two are alike.
distinct=$(ffmpeg -v error -nostdin -i "$out" -f framemd5 - 2>/dev/null | grep -v '^#' |
    awk -F, '{print $NF}' | sort -u | wc -l)
check "every decoded frame differs from the others ($distinct)" test "$distinct" = "${frames:-x}"

wine_session_end $([ $failures -eq 0 ] && echo 0 || echo 1)
echo "$failures failure(s)"
[ $failures -eq 0 ]
