#!/usr/bin/env bash
# The compressor in the recorder, real processes under Wine: vistrel.exe
# recording the test camera with the overlay through "Vistrel MJPEG
# Compressor" (chosen by its name in "VCodec"), 60 s at 1280x720 and at
# 1920x1080, 30 fps each. Reports the frames lost (the camera's frame numbers
# in the file against those it delivered while recording) and the bytes a
# second written, against what the same picture takes uncompressed.
#
#   record_bench.sh <Windows bin folder> <testcam-frames> <GPS track>
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../scripts/winelib.sh"
. "$here/../../scripts/recorder-lib.sh"
bin=$(cd "$1" && pwd)
frames_tool=$2
track=$3
root=${VISTREL_WINE_ROOT:-$bin/../wine}
seconds=${RECORD_SECONDS:-60}
send() { wine_exec 30 "$bin/vistrel-send.exe" --instance 1 "$1" >/dev/null 2>&1; }

wine_session_begin "$root" || exit 1
work=$WINE_SESSION_DIR/work
mkdir -p "$work"
for dll in testcam.dll orvant.dll vistrel-mjpeg.dll; do
    wine_exec 60 regsvr32 /s "$(wine_path "$bin/$dll")" || { echo "bench record-mjpeg failed: $dll did not register"; exit 1; }
done
recorder_feeds "$bin" "$track" $((2 * seconds + 240))

# record <name> <Resolution2 index> <width> <height>
record() {
    local name=$1 cap=$work/$1 w=$3 h=$4
    recorder_plant 1 "$(wine_path "$cap")\\Capture" 0 $((0x461)) "Resolution2=$2" \
        "VCodec=Vistrel MJPEG Compressor:"
    recorder_rate30 1
    wine_exec $((seconds + 60)) "$bin/vistrel.exe" 1 >/dev/null 2>&1 &
    local recorder=$!
    sleep "$seconds"
    send Exit
    wait "$recorder"
    local missing=0 delivered=0 frames=0 bytes=0 files=0 codec= f
    for f in $(find "$cap" -name '*.avi' | sort); do
        codec=$(ffprobe -v error -select_streams v:0 -show_entries stream=codec_name -of csv=p=0 "$f")
        # "frames N first F last L missing M unreadable U"
        read -r _ n _ first _ last _ m _ _ <<<"$(ffmpeg -v error -i "$f" -fps_mode passthrough \
            -f rawvideo -pix_fmt bgra - 2>/dev/null | "$frames_tool" "$w" "$h" 2>>"$work/gaps.log")"
        [ -n "${last:-}" ] && [ "$last" -ge 0 ] || continue
        files=$((files + 1))
        delivered=$((delivered + last - first + 1))
        missing=$((missing + m))
        frames=$((frames + n))
        bytes=$((bytes + $(size_of "$f")))
    done
    if [ "$files" -eq 0 ] || [ "$codec" != mjpeg ]; then
        echo "bench $name failed: no readable MJPEG recording (${codec:-nothing})"
        return
    fi
    # Bytes a second over the frames in the files, at 30 a second.
    local rate=$((bytes * 30 / frames)) raw=$((w * h * 4 * 30))
    echo "bench $name ${missing}/${delivered} frames lost, $rate bytes/s ($(awk -v a=$rate -v b=$raw \
        'BEGIN { printf "%.3f", a / b }')x uncompressed) (target 0 lost, at most 0.1x)"
    echo "# ${w}x$h RGB32 with the overlay: $frames frames in $files segments over $seconds s;" \
        "uncompressed $raw bytes/s"
    [ -s "$work/gaps.log" ] && echo "#   where: $(head -5 "$work/gaps.log" | paste -sd ';')"
    rm -f "$work/gaps.log"
}

record record-720p30-mjpeg 5 1280 720
record record-1080p30-mjpeg 7 1920 1080
recorder_feeds_end
wine_session_end
