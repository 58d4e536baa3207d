#!/usr/bin/env python3
"""The skin strip compiled into the recorder: a 652 x 64 palette PNG whose only
see-through colour is entry 0, with an icon in every cell and nothing of a
neighbour inside a button's reach; and the committed file is what the script
draws."""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
RES = os.path.join(HERE, "..", "res")
sys.path.insert(0, RES)
import importlib.util  # noqa: E402

loader_entry = importlib.util.spec_from_file_location("order", os.path.join(RES, "png-palette-order.py"))
order = importlib.util.module_from_spec(loader_entry)
loader_entry.loader.exec_module(order)

ORIGINS = [(15, 4), (78, 0), (156, 0), (230, 0), (310, 1), (392, 0), (464, 0), (540, 0), (590, 0)]
failures = []


def check(what, ok):
    print(("ok: " if ok else "FAIL: ") + what)
    if not ok:
        failures.append(what)


def read(path):
    data = open(path, "rb").read()
    found = {}
    idat = b""
    for kind, body in order.chunks(data):
        if kind == b"IDAT":
            idat += body
        else:
            found[kind] = body
    return data, found, idat


path = os.path.join(RES, "skin.png")
data, found, idat = read(path)
width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", found[b"IHDR"])
check("652 x 64", (width, height) == (652, 64))
check("8-bit palette, not interlaced", (depth, colour, interlace) == (8, 3, 0))
alpha = found.get(b"tRNS", b"")
check("entry 0 alone is see-through, fully", alpha == b"\x00")
entries = len(found.get(b"PLTE", b"")) // 3
check(f"at most 254 colours ({entries})", 2 <= entries <= 254)
rows = order.unfilter(zlib.decompress(idat), width, height, 1)
check("every index is in the palette", all(i < entries for r in rows for i in r))


def solid(x0, x1, y0=0, y1=64):
    return sum(1 for y in range(y0, y1) for x in range(x0, x1) if rows[y][x] != 0)


# A button shows about 60 x 64 pixels from its cell's origin (40 dialog units
# of the bar's font); the icon must lie within that, and a neighbour's icon
# must not reach in.
for cell, (x, y) in enumerate(ORIGINS):
    end = ORIGINS[cell + 1][0] if cell + 1 < len(ORIGINS) else width
    reach = min(x + 60, width)
    inside = solid(x, min(end, reach), y)
    check(f"cell {cell} holds an icon ({inside} solid pixels)", inside >= 600)
    if end < reach:
        check(f"cell {cell}'s button shows nothing of the next", solid(end, reach, y) == 0)
check("nothing solid above cell 0's origin", solid(15, 78, 0, 4) == 0)

tmp = tempfile.mkdtemp()
try:
    out = os.path.join(tmp, "skin.png")
    run = subprocess.run([os.path.join(RES, "make-skin.sh"), out], capture_output=True, text=True)
    if run.returncode != 0:
        print(run.stderr)
    check("the script redraws the committed skin", run.returncode == 0 and open(out, "rb").read() == data)
finally:
    shutil.rmtree(tmp)

sys.exit(1 if failures else 0)
