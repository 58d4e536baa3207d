"""The recorded overlay shows the adapter's engine speed: vistrel-obdfeed on a
COM port of a Wine prefix with the simulated ELM327 answering a fixed engine
speed, and the recorder (test camera, overlay filter) recording segments with
"OBD2 RPM" in the top-left corner and, as the reference, a "Custom" text of
the expected digits in the top-right corner. The overlay's drawing is what
differs from the camera's bars (the same in every row of the top band), so it
is compared without regard to where the bars have scrolled. One segment at
1234 rpm, then one at 5678 rpm: each shows its own value, not the other's.

    obd_overlay_scenario.py <folder with the Windows binaries>
"""
import os
import subprocess
import sys
import time

from serial_sim import Elm, Program, Pty, check, finish, wait_until, wine_path

bin_dir = sys.argv[1]
work = os.environ["WORK"]
prefix = os.environ["WINEPREFIX"]
wine = os.environ.get("WINE64", "/usr/lib/wine/wine64")
instance = 3
key = "HKCU\\Software\\Halvorix\\Vistrel%d" % instance
camera = "Test Camera(\\\\?\\root#testcam#0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global)"
capture = os.path.join(work, "cap")
WIDTH = 320  # the camera's second format, 320x240
BAND_ROWS = 30  # the top band of a 16-pixel font, with room
BARS_ROW = 60  # nothing but the camera's bars on this row
ORANGE = 0x0080FF  # text colour (0x00BBGGRR) that is none of the bars' colours


def wine_run(args, limit=60):
    return subprocess.run(["timeout", "-k", "5", str(limit), wine] + args,
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode


def reg_add(name, kind, data):
    return wine_run(["reg", "add", key, "/v", name, "/t", kind, "/d", data, "/f"]) == 0


def send(word):
    return wine_run([os.path.join(bin_dir, "vistrel-send.exe"), "--instance", str(instance), word])


def overlay_profile(custom):
    """The instance's overlay section of win.ini: engine speed top left, the
    custom text top right, nothing else."""
    ini = os.path.join(prefix, "drive_c", "windows", "win.ini")
    lines = open(ini, encoding="latin-1").read().splitlines() if os.path.exists(ini) else []
    section = "[Orvant%d]" % instance
    kept, inside = [], False
    for line in lines:
        if line.startswith("["):
            inside = line.strip().lower() == section.lower()
        if not inside:
            kept.append(line)
    modes = {0: 18, 4: 14}  # "OBD2 RPM", "Custom"
    kept += [section, "Color=%d" % ORANGE, "Flags=0", "Custom=%s" % custom]
    kept += ["Mode%d=%d" % (slot, modes.get(slot, 0)) for slot in range(8)]
    with open(ini, "w", encoding="latin-1", newline="\r\n") as f:
        f.write("\n".join(kept) + "\n")


def segments():
    return sorted(os.path.join(capture, n) for n in os.listdir(capture) if n.endswith(".avi"))


def drawings(avi):
    """Per frame, the overlay's drawing in the left and the right half of the
    top band: its pixels that differ from the bars below, placed from the
    top-left of their own bounding box."""
    raw = subprocess.run(["ffmpeg", "-v", "error", "-i", avi, "-vf",
                          "crop=%d:%d:0:0" % (WIDTH, BARS_ROW + 1), "-f", "rawvideo",
                          "-pix_fmt", "rgb24", "-"], capture_output=True).stdout
    size = WIDTH * (BARS_ROW + 1) * 3
    out = []
    for start in range(0, len(raw) - size + 1, size):
        frame = raw[start:start + size]
        bars = frame[BARS_ROW * WIDTH * 3:]
        halves = ([], [])
        for y in range(BAND_ROWS):
            row = frame[y * WIDTH * 3:(y + 1) * WIDTH * 3]
            for x in range(WIDTH):
                px = row[x * 3:x * 3 + 3]
                if px != bars[x * 3:x * 3 + 3]:
                    halves[x >= WIDTH // 2].append((x, y, bytes(px)))
        out.append(tuple(_placed(h) for h in halves))
    return out


def _placed(pixels):
    if not pixels:
        return frozenset()
    left = min(p[0] for p in pixels)
    top = min(p[1] for p in pixels)
    return frozenset((x - left, y - top, c) for x, y, c in pixels)


def record_segment(rpm, first):
    """Sets the adapter's engine speed and records a segment of it; returns
    the segment's file."""
    overlay_profile("%d RPM" % rpm)
    elm.fixed[0x0C] = rpm * 4
    changed = time.monotonic()
    before = segments()
    if not first:
        send("Record")
    check("a segment at %d rpm is being recorded" % rpm,
          wait_until(lambda: len(segments()) > len(before), 60))
    # Engine speed is polled only while the overlay asks for it; two answers
    # after the change put the new value into the record.
    check("the overlay's request has the feed poll engine speed",
          wait_until(lambda: len(elm.polled("010C", since=changed)) >= 3, 30))
    time.sleep(2)  # frames drawn with the value
    avi = segments()[-1]
    send("Stop")
    time.sleep(1)
    return avi


os.makedirs(capture)
check("the test camera registers",
      wine_run(["regsvr32", "/s", wine_path(os.path.join(bin_dir, "testcam.dll"))]) == 0)
check("the overlay filter registers",
      wine_run(["regsvr32", "/s", wine_path(os.path.join(bin_dir, "orvant.dll"))]) == 0)
check("the recorder's settings are planted",
      reg_add("TVVideoDevice", "REG_SZ", camera) and
      reg_add("CapFilename", "REG_SZ", wine_path(capture) + "\\Seg") and
      reg_add("CapSeconds", "REG_DWORD", "60") and
      # preview, record at once, one file per segment, the overlay
      reg_add("Preview", "REG_DWORD", str(0x461)) and
      reg_add("Resolution2", "REG_DWORD", "1") and
      reg_add("FrameRate2", "REG_BINARY", "0000000000003E40"))

port = Pty(os.path.join(prefix, "dosdevices", "com5"))
elm = Elm(port, baud=38400, banner="ELM327 v2.1", search=1.0)
elm.fixed[0x0C] = 1234 * 4
elm.start()
feed = Program(os.path.join(bin_dir, "vistrel-obdfeed.exe"),
               ["--port", "COM5", "--seconds", "150",
                "--odometer-file", wine_path(os.path.join(work, "odometer.txt"))], 180)
overlay_profile("1234 RPM")
recorder = Program(os.path.join(bin_dir, "vistrel.exe"), [str(instance)], 180)

low = record_segment(1234, first=True)
high = record_segment(5678, first=False)
send("Exit")
check("the recorder ends cleanly", recorder.wait(30) == 0)
feed.end()
elm.stopping = True
port.close()

video = subprocess.run(["ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                        "stream=codec_name,width,height", "-of", "csv=p=0", low],
                       capture_output=True, text=True).stdout.strip()
print("segments:", os.path.basename(low), os.path.basename(high))
# Pixels compared exactly need a picture kept exactly.
check("the segments hold uncompressed 320x240 frames (%s)" % video,
      video == "rawvideo,%d,240" % WIDTH)
shown = {}
for rpm, avi in ((1234, low), (5678, high)):
    frames = drawings(avi)
    runs = []  # (left drawing, matches the right one, frames)
    for left, right in frames:
        same = left == right
        if runs and runs[-1][0] == left:
            runs[-1][2] += 1
        else:
            runs.append([left, same, 1])
    print("  %d rpm: %d frames; left corner runs: %s" %
          (rpm, len(frames), ", ".join("%d px %s x%d" % (len(d), "=ref" if s else "!=ref", n)
                                       for d, s, n in runs)))
    last_left, last_right = frames[-1] if frames else (frozenset(), frozenset())
    check("the %d rpm segment's reference text is drawn (%d pixels)" % (rpm, len(last_right)),
          len(last_right) > 50)
    check("its last frame shows %d RPM in the engine speed corner" % rpm,
          last_left == last_right)
    check("and once shown, the value stays to the segment's end",
          bool(runs) and runs[-1][1] and sum(1 for r in runs if r[1]) == 1)
    shown[rpm] = last_left
check("the two engine speeds draw differently (%d pixels differ)" %
      len(shown[1234] ^ shown[5678]), shown[1234] != shown[5678])
finish()
