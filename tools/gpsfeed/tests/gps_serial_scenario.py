"""vistrel-gpsfeed --port on COM ports of a Wine prefix, with a simulated GPS
receiver on the other side: the values it sends arrive in "DIrivUDU" at their
offsets (read back by record_watch.exe); its rate is found; damaged input,
silence and an unplugged receiver are survived.

    gps_serial_scenario.py <folder with the Windows binaries> <track.nmea>
"""
import os
import re
import subprocess
import sys
import time

from serial_sim import (FarEnd, NmeaTalker, Program, Pty, Watch, check, finish, helpers,
                        load_track, wait_until)

bin_dir, track = sys.argv[1], sys.argv[2]
dosdevices = os.path.join(os.environ["WINEPREFIX"], "dosdevices")
work = os.environ["WORK"]
epochs = load_track(track)
feed_exe = os.path.join(bin_dir, "vistrel-gpsfeed.exe")


def matches_recent(watch, talker):
    """One of the last records (half a second) holds exactly the epoch the
    talker sent at that record's time of fix; a record read while the feed
    was between two sentences of an epoch may mix two seconds."""
    recent = [r for _, r in watch.records("gps")[-10:]]
    if any(matches(r, talker, quiet=True) for r in recent):
        return True
    if recent:
        matches(recent[-1], talker)
    return False


def valid_since(watch, since):
    records = watch.records("gps", since=since)
    return bool(records) and records[-1][1]["valid"] == "1" and records[-1][1]["active"] == "1"


def matches(record, talker, quiet=False):
    """The record holds the epoch the talker sent at the record's time of fix."""
    hhmmss = record["time"][11:19].replace(":", "")
    e = talker.epoch_at(hhmmss)
    if e is None:
        if not quiet:
            print("  no epoch sent at", record["time"])
        return False
    sats = [tuple(int(x) for x in s.split("/")) for s in record["sats"].split(",")]
    prns = [int(p) for p in record["prns"].split(",")][:len(e.prns)]
    expected_date = "20%s-%s-%s" % (e.date[4:6], e.date[2:4], e.date[0:2])
    checks = {
        "latitude": abs(float(record["lat"]) - e.lat) < 2e-5,
        "longitude": abs(float(record["lon"]) - e.lon) < 2e-5,
        "speed": abs(float(record["speed"]) - e.knots) < 1e-3,
        "heading": abs(float(record["heading"]) - e.course) < 1e-3,
        "altitude": abs(float(record["alt"]) - e.alt) < 1e-2,
        "geoid": abs(float(record["geoid"]) - e.geoid) < 1e-2,
        "dops": all(abs(float(record[k]) - v) < 1e-3
                    for k, v in (("pdop", e.pdop), ("hdop", e.hdop), ("vdop", e.vdop))),
        "satellites used": int(record["used"]) == e.used,
        "satellites in view": int(record["inview"]) == e.inview,
        "used PRNs": prns == e.prns,
        "satellites": sats[:len(e.sats)] == e.sats[:12],
        "date": record["time"].startswith(expected_date),
        "fix state": record["state"] == "3" and record["valid"] == "1",
    }
    for what, ok in checks.items():
        if not ok and not quiet:
            print("  differs:", what, record, vars(e))
    return all(checks.values())


# --- 1. The recipe of the design notes: a socat pty pair as COM6. The rate the
# feed sets does not reach the far end, so the first rate it tries works.
com6 = os.path.join(dosdevices, "com6")
far = os.path.join(work, "gps-far-end")
socat = subprocess.Popen(["socat", "pty,raw,echo=0,link=" + com6, "pty,raw,echo=0,link=" + far],
                         start_new_session=True)
helpers.append(socat)
check("socat links COM6 to a pty pair", wait_until(lambda: os.path.exists(far), 10))
talker = NmeaTalker(FarEnd(far), epochs, None, talker="GN")
talker.start()
watch = Watch(bin_dir, 150)
feed = Program(feed_exe, ["--port", "COM6", "--seconds", "15"], 60)
check("the feed reads sentences on COM6 (at the first rate, which the pair ignores)",
      wait_until(lambda: feed.said("NMEA sentences at 4800 baud"), 20))
check("a fix arrives from the multi-system (GN) receiver",
      wait_until(lambda: valid_since(watch, 0), 10))
time.sleep(1.5)
check("the record holds the receiver's values at their offsets",
      matches_recent(watch, talker))
check("the feed ends when its time is up", feed.wait(30) == 0)
talker.stopping = True
socat.terminate()
socat.wait()

# --- 2. A BeiDou receiver at 38400 baud on a pty held by the simulator, which
# hears the feed's other rates as garbage.
com5 = os.path.join(dosdevices, "com5")
port = Pty(com5)
talker = NmeaTalker(port, epochs, 38400, talker="BD")
talker.start()
phase2 = time.monotonic()
feed = Program(feed_exe, ["--port", "com5", "--baud", "auto", "--seconds", "60"], 100)
check("the feed finds the receiver's rate",
      wait_until(lambda: feed.said("NMEA sentences at 38400 baud"), 30))
check("the port runs at that rate", port.baud() == 38400)
check("slower rates were tried first", 4800 in talker.rates_heard)
check("a fix arrives", wait_until(lambda: valid_since(watch, phase2), 10))
time.sleep(1.5)
check("the record holds the receiver's values (BD talker)", matches_recent(watch, talker))

# Damaged input between the good sentences: the fixes keep coming.
talker.mode = "damaged"
start = time.monotonic()
time.sleep(4)
times = {r["time"] for t, r in watch.records("gps", since=start + 1)}
check("fixes keep arriving through noise, cut and overlong lines and bad checksums (%d)"
      % len(times), len(times) >= 3)
check("the record is right after the damage", matches_recent(watch, talker))

# Silence: after 3 s the record says No Data, and keeps the last position.
talker.mode = "silent"
quiet = time.monotonic()
lat = watch.last("gps")["lat"]
check("no data after 3 s of silence",
      wait_until(lambda: watch.last("gps")["state"] == "0" and watch.last("gps")["valid"] == "0",
                 8))
first_dark = min([t for t, r in watch.records("gps", since=quiet) if r["valid"] == "0"] or [0])
check("not before (%.1f s)" % (first_dark - quiet), first_dark - quiet >= 2.0)
# The last position before the dark: a sentence in flight when the talker fell
# silent may still have moved it.
lit = [r for t, r in watch.records("gps", since=quiet - 5) if t < first_dark and r["valid"] == "1"]
if lit:
    lat = lit[-1]["lat"]
check("the last position stays", watch.last("gps")["lat"] == lat)
talker.mode = "talk"
check("the fix returns", wait_until(lambda: watch.last("gps")["valid"] == "1", 5))

# Unplugged, and plugged in again after a while.
port.close()
unplugged = time.monotonic()
check("the feed notices the receiver has gone", wait_until(lambda: feed.said("lost"), 5))
time.sleep(3)
port.open()
check("and opens it again when it is back",
      wait_until(lambda: feed.said("com5: open", since=unplugged), 8))
check("the fix returns after the receiver is back",
      wait_until(lambda: valid_since(watch, unplugged + 3.5), 10))
check("and its values are right", matches_recent(watch, talker))

code = feed.wait(80)
check("the feed ends cleanly (%s)" % code, code == 0)
summary = [line for _, line in feed.lines if "skipped" in line]
print(feed.output())
m = re.search(r"(\d+) framing, (\d+) checksum, (\d+) fields, (\d+) overlong; port lost (\d+)",
              summary[-1] if summary else "")
check("damaged input was counted: framing, checksum, overlong",
      m is not None and int(m.group(1)) > 0 and int(m.group(2)) > 0 and int(m.group(4)) > 0)
check("one loss of the port was counted", m is not None and m.group(5) == "1")
talker.stopping = True
watch.end()
port.close()
finish()
