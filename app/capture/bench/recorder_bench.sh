#!/usr/bin/env bash
# The recorder's own benchmarks, real processes under Wine:
#   first-frame: from the start of vistrel.exe (instance 1, test camera,
#     start-recording flag) to the first video bytes in the segment file,
#     against a bare start and exit of a small program of the project;
#   record-720p30: 60 s of 1280x720 RGB32 at 30 fps with the overlay in
#     segments of 20 s: the frames in the files against every frame the camera
#     numbered from the first to the last (its numbers run on across the
#     segment switches, so a frame lost at a switch shows).
#
#   recorder_bench.sh <Windows bin folder> <testcam-frames> <GPS track>
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../../scripts/winelib.sh"
. "$here/../../../scripts/recorder-lib.sh"
bin=$(cd "$1" && pwd)
frames_tool=$2
track=$3
root=${VISTREL_WINE_ROOT:-$bin/../wine}
seconds=${RECORD_SECONDS:-60}
now() { date +%s.%N; }
send() { wine_exec 30 "$bin/vistrel-send.exe" --instance 1 "$1" >/dev/null 2>&1; }

wine_session_begin "$root" || exit 1
work=$WINE_SESSION_DIR/work
mkdir -p "$work"
wine_exec 60 regsvr32 /s "$(wine_path "$bin/testcam.dll")" || exit 1
wine_exec 60 regsvr32 /s "$(wine_path "$bin/orvant.dll")" || exit 1
recorder_feeds "$bin" "$track" $((seconds + 120))

# A bare program start in this prefix: the baseline.
t0=$(now)
wine_exec 30 "$bin/vistrel-send.exe" --help >/dev/null 2>&1
bare=$(echo "$(now) - $t0" | bc -l)

# Three launches; the median counts. The AVI header space comes first, so the
# first frame is in the file once it grows past the multiplexer's header.
times=()
for i in 1 2 3; do
    cap=$work/first$i
    recorder_plant 1 "$(wine_path "$cap")\\Capture" 0 $((0x461)) Resolution2=1
    t0=$(now)
    wine_exec 60 "$bin/vistrel.exe" 1 >/dev/null 2>&1 &
    recorder=$!
    t=
    for _ in $(seq 1000); do
        f=$(find "$cap" -name '*.avi' 2>/dev/null | head -1)
        if [ -n "$f" ] && [ "$(stat -c %s "$f")" -gt 307200 ]; then t=$(now); break; fi
        sleep 0.01
    done
    send Exit
    wait "$recorder"
    [ -n "$t" ] && times+=("$(echo "$t - $t0" | bc -l)")
done
if [ "${#times[@]}" -eq 3 ]; then
    median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n 2p)
    printf 'bench first-frame %.2fs launch %.1fx bare-start %.2fs (target under 2 s)\n' \
        "$median" "$(echo "$median / $bare" | bc -l)" "$bare"
else
    echo "bench first-frame failed: no frame written"
fi

# 60 s at 1280x720 RGB32, 30 fps, overlay on, 20-second segments.
cap=$work/720p
recorder_plant 1 "$(wine_path "$cap")\\Capture" 20 $((0x461)) Resolution2=5
recorder_rate30 1
wine_exec $((seconds + 60)) "$bin/vistrel.exe" 1 >/dev/null 2>&1 &
recorder=$!
sleep "$seconds"
send Exit
wait "$recorder"
first_all= last_all= total_frames=0 files=0
for f in $(find "$cap" -name '*.avi' | sort); do
    read -r w h _ <<<"$(avi_probe "$f")"
    # "frames N first F last L missing M unreadable U"
    read -r _ n _ first _ last _ _ _ _ <<<"$(ffmpeg -v error -i "$f" -fps_mode passthrough \
        -f rawvideo -pix_fmt bgra - 2>/dev/null | "$frames_tool" "${w:-0}" "${h:-0}" 2>>"$work/gaps.log")"
    [ -n "${last:-}" ] && [ "$last" -ge 0 ] || continue
    files=$((files + 1))
    [ -z "$first_all" ] && first_all=$first
    last_all=$last
    total_frames=$((total_frames + n))
done
if [ "$files" -gt 0 ]; then
    numbered=$((last_all - first_all + 1))
    echo "bench record-720p30 $((numbered - total_frames))/${numbered} frames lost (${w}x${h}, ${total_frames} in ${files} segments over ${seconds} s; target 0 lost)"
    [ -s "$work/gaps.log" ] && echo "  where: $(head -5 "$work/gaps.log" | paste -sd ';')"
else
    echo "bench record-720p30 failed: no readable frames"
fi
recorder_feeds_end
wine_session_end
