"""Reads what track_text_files wrote with a GPX library (gpxpy) and with
ffmpeg, and compares it with the values it was made from.

    check_track_files.py <track_text_files program> <folder>
"""
import glob
import os
import shutil
import subprocess
import sys

import gpxpy

program, folder = sys.argv[1], sys.argv[2]
shutil.rmtree(folder, ignore_errors=True)
os.makedirs(folder)
subprocess.run([program, folder], check=True)
failures = 0


def check(what, ok):
    global failures
    print(("ok: " if ok else "FAIL: ") + what)
    failures += 0 if ok else 1


points, cues = [], []
for line in open(os.path.join(folder, "expected.txt")):
    f = line.split()
    if f[0] == "point":
        points.append([int(f[1])] + [float(x) for x in f[2:]])
    else:
        cues.append((int(f[1]), int(f[2])))

with open(os.path.join(folder, "drive.gpx")) as fh:
    gpx = gpxpy.parse(fh)
track = gpx.tracks[0]
got = track.segments[0].points
check("the track is named", track.name == "drive & back")
check("one point per second with a fix (%d of %d)" % (len(got), len(points)),
      len(got) == len(points))
for p, (i, lat, lon, ele, speed, course, sats, hdop) in zip(got, points):
    ext = {e.tag.split("}")[1]: float(e.text) for e in p.extensions[0]} if p.extensions else {}
    ok = (abs(p.latitude - lat) < 1e-6 and abs(p.longitude - lon) < 1e-6 and
          abs(p.elevation - ele) < 0.06 and p.time.second == i and p.time.minute == 30 and
          p.type_of_gpx_fix == "3d" and p.satellites == sats and abs(p.horizontal_dilution - hdop) < 0.006 and
          abs(ext.get("speed", -1) - speed) < 0.006 and abs(ext.get("course", -1) - course) < 0.06)
    if not ok:
        print("  point", i, p, ext, (lat, lon, ele, speed, course, sats, hdop))
    check("point %d holds the record's values" % i, ok)

for name in sorted(glob.glob(os.path.join(folder, "cut-*.gpx"))):
    with open(name) as fh:
        try:
            n = len(gpxpy.parse(fh).tracks[0].segments[0].points)
            check("%s parses after its repair (%d points)" % (os.path.basename(name), n), True)
        except Exception as e:  # noqa: BLE001 - any parse failure fails the check
            check("%s parses after its repair: %s" % (os.path.basename(name), e), False)

srt = os.path.join(folder, "drive.srt")
probe = subprocess.run(["ffprobe", "-v", "error", "-of", "csv=p=0", "-show_entries",
                        "packet=pts_time,duration_time", srt], capture_output=True, text=True)
packets = [line.split(",") for line in probe.stdout.split()]
check("ffmpeg reads the subtitles: one cue a second (%d)" % len(packets),
      probe.returncode == 0 and len(packets) == len(cues) and
      all(abs(float(t) - i) < 1e-3 and abs(float(d) - 1) < 1e-3 for i, (t, d) in enumerate(packets)))
text = subprocess.run(["ffmpeg", "-v", "error", "-i", srt, "-f", "srt", "-"],
                      capture_output=True, text=True).stdout
check("and their text, engine speed included",
      all("%d rpm" % rpm in text for _, rpm in cues) and "48.13710" in text)
print("%d checks failed" % failures if failures else "all checks passed")
sys.exit(1 if failures else 0)
