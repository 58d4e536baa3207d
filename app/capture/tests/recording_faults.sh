#!/usr/bin/env bash
# The recorder under faults: the camera lost mid-recording, the capture
# folder deleted while recording, an archive folder that cannot be written,
# the overlay filter unregistered, a camera that will not start for a while
# (and Stop meanwhile), shared block names held by blocks that cannot be
# read. The recorder keeps running, loses no finished segment and records
# again.
#
#   recording_faults.sh <folder with the Windows binaries>
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../../scripts/winelib.sh"
. "$here/../../../scripts/recorder-lib.sh"
bin=$(cd "$1" && pwd)
root=${VISTREL_WINE_ROOT:-$bin/../wine}
frames_of() { local w h f; read -r w h f <<<"$(avi_probe "$1")"; [[ ${f:-} =~ ^[0-9]+$ ]] && echo "$f" || echo 0; }
send() { recorder_send "$bin" 1 "$1"; }
# A file that holds frames once the recorder has finished it.
newest_grows() {
    local f s; f=$(avis "$1" | tail -1)
    [ -n "$f" ] || return 1
    s=$(stat -c %s "$f"); sleep 1
    [ "$(stat -c %s "$f")" -gt "$s" ]
}
start_recorder() {
    wine_exec 200 "$bin/vistrel.exe" 1 >>"$work/recorder.log" 2>&1 &
    recorder=$!
}
# stop_recorder: "Exit", then the recorder's exit code; its last output when
# that is not 0.
stop_recorder() {
    send Exit
    wait "$recorder"
    local code=$?
    [ $code -eq 0 ] || { echo "exit code $code"; grep -v '^ALSA' "$work/recorder.log" | tail -20; }
    return $code
}

wine_session_begin "$root" || exit 125
work=$WINE_SESSION_DIR/work
mkdir -p "$work"
wine_exec 60 regsvr32 /s "$(wine_path "$bin/testcam.dll")"
wine_exec 60 regsvr32 /s "$(wine_path "$bin/orvant.dll")"

# 1. The camera is lost for three seconds in the middle of a recording.
cap=$work/lost
recorder_plant 1 "$(wine_path "$cap")\\Capture" 0 $((0x461)) Resolution2=1
start_recorder
check "recording runs" wait_for 20 newest_grows "$cap"
first=$(avis "$cap" | head -1)
wine_exec 30 "$bin/testcam-fault.exe" 3000
check "after the camera is back, a new segment records" \
    wait_for 30 '[ "$(count "$cap")" -ge 2 ] && newest_grows "$cap"'
stop_recorder
check "the recorder ends normally after the loss" [ $? -eq 0 ]
check "the segment from before the loss is intact ($(frames_of "$first") frames)" \
    test "$(frames_of "$first")" -ge 30
check "the segment after it is readable ($(frames_of "$(avis "$cap" | tail -1)") frames)" \
    test "$(frames_of "$(avis "$cap" | tail -1)")" -ge 1

# 2. The capture folder disappears while a segment is written: the next
# segment creates it again.
cap=$work/deleted
recorder_plant 1 "$(wine_path "$cap")\\Capture" 3 $((0x461)) Resolution2=1
start_recorder
check "recording runs" wait_for 20 newest_grows "$cap"
rm -rf "$cap"
check "a later segment creates the folder again and records" wait_for 30 newest_grows "$cap"
stop_recorder
check "the recorder ends normally" [ $? -eq 0 ]
check "the new segment is readable" test "$(frames_of "$(avis "$cap" | head -1)")" -ge 1

# 3. The archive folder cannot be made (its parent is a file): nothing is
# lost, recording goes on, and the clip waits beside the recordings, left
# alone by the file limit, until the folder can be made.
cap=$work/noarchive
: >"$work/not-a-folder"
recorder_plant 1 "$(wine_path "$cap")\\Capture" 3 $((0x461)) Resolution2=1 FileLimit=2 \
    "Archive=$(wine_path "$work/not-a-folder")\\archive:"
start_recorder
check "two segments are written" wait_for 30 '[ "$(count "$cap")" -ge 2 ]'
send Archive
check "recording goes on after a failed archive" wait_for 20 newest_grows "$cap"
sleep 10 # three more segments, while the file limit of 2 deletes the older ones
rm "$work/not-a-folder"
check "once the folder can be made, the clip arrives there" \
    wait_for 20 '[ "$(count "$work/not-a-folder/archive")" = 1 ]'
clip=$(avis "$work/not-a-folder/archive" | head -1)
check "and it holds its frames ($(frames_of "$clip"))" test "$(frames_of "$clip")" -ge 1
stop_recorder
check "the recorder ends normally" [ $? -eq 0 ]

# 4. Without the overlay filter the recording goes on without it.
wine_exec 60 regsvr32 /s /u "$(wine_path "$bin/orvant.dll")"
cap=$work/nooverlay
recorder_plant 1 "$(wine_path "$cap")\\Capture" 0 $((0x461)) Resolution2=1
start_recorder
check "recording runs without the overlay filter" wait_for 20 newest_grows "$cap"
stop_recorder
check "the recorder ends normally" [ $? -eq 0 ]
check "the recording is readable" test "$(frames_of "$(avis "$cap" | head -1)")" -ge 10

# 5. A camera that will not start (held by another program): the retries
# leave no file behind, so the limits keep the real recordings.
cap=$work/held
mkdir -p "$cap"
for d in 01 02; do
    printf 'RIFF' >"$cap/Capture.2026-01-$d.10.00.00.avi"
    touch -d "2026-01-$d 10:00" "$cap/Capture.2026-01-$d.10.00.00.avi"
done
recorder_plant 1 "$(wine_path "$cap")\\Capture" 5 $((0x461)) Resolution2=1 FileLimit=2
wine_exec 60 "$bin/testcam-fault.exe" 13000 &
fault=$!
sleep 1
start_recorder
sleep 11
check "failed starts made no file ($(count "$cap") files)" [ "$(count "$cap")" = 2 ]
wait "$fault"
check "the camera back, recording starts" wait_for 30 newest_grows "$cap"
stop_recorder
check "the recorder ends normally" [ $? -eq 0 ]
check "the real recordings were kept" \
    test -e "$cap/Capture.2026-01-01.10.00.00.avi" -a -e "$cap/Capture.2026-01-02.10.00.00.avi"

# 6. Another program holds the telemetry and overlay block names with pages
# only reserved: the recorder and the overlay leave them alone and record.
wine_exec 60 regsvr32 /s "$(wine_path "$bin/orvant.dll")"
for block in DIrivUDU XOBD2 GPSOSDText0; do
    wine_exec 90 "$bin/telemetry_peer.exe" reserve $block 16384 0 60 >"$work/squat-$block" 2>&1 &
    squatters="${squatters:-} $!"
done
check "three block names are held by blocks not committed" \
    wait_for 20 '[ "$(cat "$work"/squat-* | grep -c "^reserved")" -eq 3 ]'
cap=$work/reserved
recorder_plant 1 "$(wine_path "$cap")\\Capture" 0 $((0x461)) Resolution2=1
start_recorder
check "recording runs beside blocks not committed" wait_for 20 newest_grows "$cap"
stop_recorder
check "the recorder ends normally" [ $? -eq 0 ]
for p in $squatters; do kill "$p" 2>/dev/null; wait "$p" 2>/dev/null; done

# 7. Stop while a failed start waits to be tried again: the user's Stop wins;
# once the camera is back, nothing starts recording by itself.
cap=$work/stopped
recorder_plant 1 "$(wine_path "$cap")\\Capture" 0 $((0x461)) Resolution2=1
wine_exec 60 "$bin/testcam-fault.exe" 6000 &
fault=$!
sleep 1
start_recorder
sleep 3
send Stop
wait "$fault"
sleep 9
check "Stop cancelled the pending restart ($(count "$cap") files)" [ "$(count "$cap")" = 0 ]
stop_recorder
check "the recorder ends normally" [ $? -eq 0 ]

checks_end
