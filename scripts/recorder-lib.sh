# Shared by the recording scenario and the demo: plant a recorder's settings,
# run the telemetry feeds, and read recorded AVI files. Source after
# scripts/winelib.sh, inside a Wine session.

# The display name the recorder gives the test camera: "FriendlyName(DevicePath)".
RECORDER_DEVICE=${RECORDER_DEVICE:-'Test Camera(\\?\root#testcam#0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\global)'}

recorder_key() { echo "HKCU\\Software\\Halvorix\\Vistrel$1"; }

recorder_reg() { wine_exec 60 reg "$@" >/dev/null 2>&1; }

# recorder_plant <instance> <capture prefix (Windows path)> <cap seconds> <flags> [name=value...]
# Extra DWORD values as Name=number; text values as Name=text: (with the colon).
recorder_plant() {
    local key; key=$(recorder_key "$1")
    recorder_reg add "$key" /v TVVideoDevice /t REG_SZ /d "$RECORDER_DEVICE" /f
    recorder_reg add "$key" /v CapFilename /t REG_SZ /d "$2" /f
    recorder_reg add "$key" /v CapSeconds /t REG_DWORD /d "$3" /f
    recorder_reg add "$key" /v Preview /t REG_DWORD /d "$4" /f
    shift 4
    local pair
    for pair in "$@"; do
        case $pair in
            *=*:) recorder_reg add "$key" /v "${pair%%=*}" /t REG_SZ /d "$(v=${pair#*=}; echo "${v%:}")" /f ;;
            *) recorder_reg add "$key" /v "${pair%%=*}" /t REG_DWORD /d "${pair#*=}" /f ;;
        esac
    done
}

# 30 frames per second as the 8 bytes of a double.
recorder_rate30() { recorder_reg add "$(recorder_key "$1")" /v FrameRate2 /t REG_BINARY /d 0000000000003E40 /f; }

# recorder_feeds <bin> <track> <seconds>: the GPS and OBD-II feeds in the
# background; their pids in FEED_PIDS.
recorder_feeds() {
    FEED_PIDS=
    wine_exec $(($3 + 30)) "$1/vistrel-gpsfeed.exe" --nmea "$(wine_path "$2")" --loop --seconds "$3" \
        >/dev/null 2>&1 &
    FEED_PIDS="$FEED_PIDS $!"
    wine_exec $(($3 + 30)) "$1/vistrel-obdfeed.exe" --simulate --seconds "$3" >/dev/null 2>&1 &
    FEED_PIDS="$FEED_PIDS $!"
}

recorder_feeds_end() {
    local p
    for p in $FEED_PIDS; do kill "$p" 2>/dev/null; wait "$p" 2>/dev/null; done
    FEED_PIDS=
}

# avi_probe <file>: "width height frames" as ffprobe counts them; a value
# ffprobe cannot tell ("N/A") reads as 0, so callers compare numbers only.
avi_probe() {
    ffprobe -v error -count_frames -select_streams v:0 \
        -show_entries stream=width,height,nb_read_frames -of csv=p=0 "$1" 2>/dev/null |
        tr ',' ' ' | sed 's#N/A#0#g'
}

# avi_frame_png <file> <frame index> <png>
avi_frame_png() {
    ffmpeg -v error -y -i "$1" -vf "select=eq(n\\,$2),format=rgb24" -frames:v 1 "$3" 2>/dev/null
}

# frame_number <testcam-frames> <file> <frame index> <width> <height>: the test
# camera's number of that frame, or nothing when it cannot be read.
frame_number() {
    ffmpeg -v error -i "$2" -vf "select=eq(n\\,$3)" -frames:v 1 -f rawvideo -pix_fmt bgra - \
        2>/dev/null | "$1" "$4" "$5" 2>/dev/null | sed -n 's/.* first \([0-9]*\) .*/\1/p'
}

# differing_pixels <png> <png> <left> <top> <width> <height>: the percentage of
# pixels of that area that differ clearly between the two pictures (-1 when
# one cannot be read).
differing_pixels() {
    python3 - "$@" <<'PY'
import subprocess, sys
def area(png, left, top, w, h):
    return subprocess.run(["ffmpeg", "-v", "error", "-i", png, "-vf", f"crop={w}:{h}:{left}:{top}",
                           "-f", "rawvideo", "-pix_fmt", "rgb24", "-"], capture_output=True).stdout
a, b = (area(png, *sys.argv[3:7]) for png in sys.argv[1:3])
if not a or len(a) != len(b):
    print(-1); sys.exit()
differ = sum(1 for i in range(0, len(a), 3) if sum(abs(a[i + k] - b[i + k]) for k in range(3)) > 60)
print(differ * 100 // (len(a) // 3))
PY
}

# --- Checks shared by the scenario scripts ---------------------------------

failures=0
# check <what> <command...>: runs the command and counts a failure.
check() {
    local what=$1; shift
    if "$@"; then echo "ok: $what"; else echo "FAIL: $what"; failures=$((failures + 1)); fi
}

# wait_for <seconds> '<command>': evaluates the command twice a second.
wait_for() {
    local n=$(($1 * 2)); shift
    while [ "$n" -gt 0 ]; do eval "$*" && return 0; sleep 0.5; n=$((n - 1)); done
    return 1
}

# checks_end: ends the session and exits with the result of the checks.
checks_end() {
    wine_session_end
    [ "$failures" -eq 0 ] || { echo "$failures checks failed"; exit 1; }
    echo "all checks passed"
    exit 0
}

avis() { find "$1" -maxdepth 1 -name '*.avi' 2>/dev/null | sort; }
count() { avis "$1" | wc -l; }
size_of() { stat -c %s "$1" 2>/dev/null || echo 0; }

# recorder_send <bin> <instance> <word>: a command word through vistrel-send.
recorder_send() { wine_exec 30 "$1/vistrel-send.exe" --instance "$2" "$3" >/dev/null 2>&1; }

# x_geometry <X window id>: "x y width height" of its client area.
x_geometry() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4}
        /Width:/ {w=$2} /Height:/ {h=$2} END {print x, y, w, h}'
}
