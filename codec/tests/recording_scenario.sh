#!/usr/bin/env bash
# The compressor in a recording under Wine: the registered test camera
# through the overlay into the compressor (found by its name in the video
# compressor category) and the project's segment writer (avi-record), while
# every frame entering the compressor is also kept uncompressed. The file is
# read with ffprobe and ffmpeg: MJPEG, every frame a decodable key frame, the
# camera's frame numbers all there, and the pictures within 38 dB PSNR of the
# uncompressed ones at the default quality.
#
#   recording_scenario.sh <folder with the Windows binaries> <testcam-frames>
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../scripts/winelib.sh"
. "$here/../../scripts/recorder-lib.sh"
bin=$(cd "$1" && pwd)
frames_tool=$2
root=${VISTREL_WINE_ROOT:-$bin/../wine}
w=640 h=480 n=60

wine_session_begin "$root" || exit 125
work=$WINE_SESSION_DIR/work
mkdir -p "$work"
for dll in testcam.dll orvant.dll vistrel-mjpeg.dll; do
    check "$dll registers" wine_exec 60 regsvr32 /s "$(wine_path "$bin/$dll")"
done
mkdir -p "$work/rec"
check "the recording ran" wine_exec 120 "$bin/avi-record.exe" --out "$(wine_path "$work/rec")" \
    --seconds 60 --frames $n --status-ms 500 --width $w --height $h --bits 32 --overlay \
    --compressor "Vistrel MJPEG Compressor" --raw "$(wine_path "$work/raw.bgra")"
mv "$work/rec/seg-000.avi" "$work/rec.avi"
fed=$(($(size_of "$work/raw.bgra") / (w * h * 4)))

probe() { ffprobe -v error -select_streams v:0 -show_entries "$1" -of csv=p=0 "$work/rec.avi" 2>/dev/null; }
check "ffprobe reads MJPEG of the camera's size ($(probe stream=codec_name,width,height))" \
    test "$(probe stream=codec_name,width,height)" = "mjpeg,$w,$h"
packets=$(probe packet=flags | wc -l)
check "every one of the $fed frames fed in is in the file ($packets)" test "$packets" -eq "$fed" -a "$fed" -ge $n
check "every frame is a key frame" test "$(probe packet=flags | grep -c K)" -eq "$packets"
errors=$(ffmpeg -v error -i "$work/rec.avi" -f null - 2>&1 | wc -l)
decoded=$(ffmpeg -v error -i "$work/rec.avi" -fps_mode passthrough -f rawvideo -pix_fmt bgra - 2>/dev/null |
    wc -c)
check "every frame decodes, without a decoder complaint ($errors lines)" \
    test "$errors" -eq 0 -a "$decoded" -eq $((packets * w * h * 4))

# "frames N first F last L missing M unreadable U", from the recording and
# from the uncompressed feed: the same numbers, every one readable (a number
# the camera itself skipped under load is missing from both).
if [ -x "$frames_tool" ]; then
    recorded=$(ffmpeg -v error -i "$work/rec.avi" -fps_mode passthrough -f rawvideo -pix_fmt bgra - \
        2>/dev/null | "$frames_tool" $w $h 2>/dev/null)
    fed_numbers=$(ffmpeg -v error -f rawvideo -pix_fmt bgr0 -s ${w}x$h -i "$work/raw.bgra" -vf vflip \
        -f rawvideo -pix_fmt bgra - 2>/dev/null | "$frames_tool" $w $h 2>/dev/null)
    read -r _ got _ _ _ _ _ _ _ unreadable <<<"$recorded"
    check "the camera's frame numbers read back from every frame as fed in ($recorded)" \
        test "$recorded" = "$fed_numbers" -a "${got:-0}" -eq "$packets" -a "${unreadable:-1}" -eq 0
else
    check "the frame-number reader $frames_tool exists (build the native tree)" false
fi

# Frame n against frame n: both as raw frames of one rate, so ffmpeg pairs
# them by index. The psnr filter compares in the recording's own YUV 4:2:0,
# as it does when left to choose; the RGB figure, which also counts what the
# 4:2:0 chroma loses on the camera's saturated bars, is shown beside it.
ffmpeg -v error -i "$work/rec.avi" -fps_mode passthrough -f rawvideo -pix_fmt yuvj420p "$work/rec.yuv"
ffmpeg -v error -i "$work/rec.avi" -fps_mode passthrough -f rawvideo -pix_fmt bgr24 "$work/rec.bgr"
psnr() {
    ffmpeg -v info -f rawvideo -pix_fmt "$1" -s ${w}x$h -i "$2" -f rawvideo -pix_fmt bgr0 -s ${w}x$h \
        -i "$work/raw.bgra" -lavfi "[1:v]vflip,format=$1[b];[0:v][b]psnr" -f null - 2>&1 |
        grep -o 'average:[0-9.]*' | cut -d: -f2
}
yuv=$(psnr yuvj420p "$work/rec.yuv")
rgb=$(psnr bgr24 "$work/rec.bgr")
check "PSNR against the uncompressed frames is at least 38 dB (${yuv:-none} dB; in RGB ${rgb:-none} dB)" \
    awk -v p="${yuv:-0}" 'BEGIN { exit !(p >= 38) }'
bytes=$(size_of "$work/rec.avi")
echo "  $packets frames, $bytes bytes: $((bytes * 30 / packets)) bytes a second at 30 fps" \
    "(uncompressed $((w * h * 4 * 30)))"
checks_end
