#!/usr/bin/env python3
"""Writes the bundled NMEA 0183 test drive (data/tracks/city-drive.nmea).

A four-minute drive at 1 Hz through a made-up route: pull away, city streets
with turns and a stop at lights, a faster road, and slowing to a halt. Each
second has RMC, GGA, GSA and GSV sentences with valid checksums. Deterministic,
so the file only changes when this script does.
"""
import math
import random
import sys

START = (48.13710, 11.57540)   # degrees north, east
START_TIME = (2026, 6, 14, 9, 30, 0)
# (seconds, target speed km/h, heading change per second in degrees)
PLAN = [
    (8, 0, 0), (20, 40, 0), (6, 25, 15), (30, 45, 0), (10, 0, 0), (12, 35, 0),
    (6, 20, -15), (50, 70, 0.2), (8, 60, 5), (50, 80, 0), (20, 30, 0), (20, 0, 0),
]
SATS = [(2, 62, 41), (5, 35, 118), (7, 18, 203), (9, 71, 290), (13, 24, 77), (15, 48, 160),
        (18, 12, 332), (20, 55, 245), (23, 30, 12), (26, 8, 98), (29, 40, 310)]


def checksum(body):
    c = 0
    for ch in body:
        c ^= ord(ch)
    return "%02X" % c


def sentence(body):
    return "$%s*%s" % (body, checksum(body))


def angle(value, digits, pos, neg):
    hemi = pos if value >= 0 else neg
    value = abs(value)
    deg = int(value)
    minutes = (value - deg) * 60
    return ("%0*d%07.4f" % (digits, deg, minutes)), hemi


def main(out):
    rnd = random.Random(20261207)
    lat, lon = START
    y, mo, d, h, mi, s = START_TIME
    speed = 0.0
    heading = 72.0
    alt = 519.0
    t = h * 3600 + mi * 60 + s
    lines = []
    for seconds, target, turn in PLAN:
        for _ in range(seconds):
            speed += max(-9.0, min(5.0, target - speed))
            speed = max(0.0, speed)
            if speed > 2:
                heading = (heading + turn) % 360
            dist = speed / 3.6
            lat += dist * math.cos(math.radians(heading)) / 111320.0
            lon += dist * math.sin(math.radians(heading)) / (111320.0 * math.cos(math.radians(lat)))
            alt += rnd.uniform(-0.3, 0.3) + (0.05 if heading < 180 else -0.05)
            hh, mm, ss = t // 3600 % 24, t // 60 % 60, t % 60
            tm = "%02d%02d%02d.00" % (hh, mm, ss)
            date = "%02d%02d%02d" % (d, mo, y % 100)
            la, ns = angle(lat, 2, "N", "S")
            lo, ew = angle(lon, 3, "E", "W")
            knots = speed / 1.852
            used = [p for p, e, a in SATS if e > 15][:9]
            hdop = 0.9 + rnd.uniform(0, 0.2)
            lines.append(sentence("GPRMC,%s,A,%s,%s,%s,%s,%.2f,%.1f,%s,,,A" % (
                tm, la, ns, lo, ew, knots, heading, date)))
            lines.append(sentence("GPGGA,%s,%s,%s,%s,%s,1,%02d,%.1f,%.1f,M,47.6,M,," % (
                tm, la, ns, lo, ew, len(used), hdop, alt)))
            prns = ["%02d" % p for p in used] + [""] * (12 - len(used))
            lines.append(sentence("GPGSA,A,3,%s,%.1f,%.1f,%.1f" % (
                ",".join(prns), hdop + 0.7, hdop, hdop + 0.4)))
            groups = [SATS[i:i + 4] for i in range(0, len(SATS), 4)]
            for n, group in enumerate(groups, 1):
                parts = []
                for prn, elev, az in group:
                    snr = max(0, int(20 + elev * 0.35 + rnd.uniform(-3, 3)))
                    parts.append("%02d,%02d,%03d,%02d" % (prn, elev, az, snr))
                lines.append(sentence("GPGSV,%d,%d,%02d,%s" % (len(groups), n, len(SATS), ",".join(parts))))
            t += 1
    with open(out, "w", newline="\r\n") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "data/tracks/city-drive.nmea")
