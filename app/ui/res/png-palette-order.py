#!/usr/bin/env python3
"""Rewrites a palette PNG as 8 bits per pixel with one see-through colour at
palette entry 0 and every other entry opaque, as the control bar's skin needs.

    png-palette-order.py in.png out.png
"""
import struct
import sys
import zlib


def chunks(data):
    pos = 8
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        yield kind, data[pos + 8:pos + 8 + length]
        pos += 12 + length


def unfilter(raw, width_bytes, height, bpp):
    rows, prev, pos = [], bytearray(width_bytes), 0
    for _ in range(height):
        kind, line = raw[pos], bytearray(raw[pos + 1:pos + 1 + width_bytes])
        pos += 1 + width_bytes
        for i in range(width_bytes):
            a = line[i - bpp] if i >= bpp else 0
            b, c = prev[i], prev[i - bpp] if i >= bpp else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(line)
        prev = line
    return rows


def main(src, dst):
    data = open(src, "rb").read()
    info, palette, alpha, idat = None, b"", b"", b""
    for kind, body in chunks(data):
        if kind == b"IHDR":
            info = struct.unpack(">IIBBBBB", body)
        elif kind == b"PLTE":
            palette = body
        elif kind == b"tRNS":
            alpha = body
        elif kind == b"IDAT":
            idat += body
    width, height, depth, colour, _, _, interlace = info
    if colour != 3 or interlace != 0:
        sys.exit("expected a non-interlaced palette PNG")
    rows = unfilter(zlib.decompress(idat), (width * depth + 7) // 8, height, 1)
    entries = len(palette) // 3
    clear = [i < len(alpha) and alpha[i] < 128 for i in range(entries)]
    # Entry 0 is the see-through colour; the opaque colours follow in order.
    remap, out_palette = {}, bytearray(3)
    for i in range(entries):
        if clear[i]:
            remap[i] = 0
        else:
            remap[i] = len(out_palette) // 3
            out_palette += palette[3 * i:3 * i + 3]
    if len(out_palette) // 3 > 256:
        sys.exit("too many colours")
    raw = bytearray()
    per_byte, mask = 8 // depth, (1 << depth) - 1
    for line in rows:
        raw.append(0)
        for x in range(width):
            byte = line[x // per_byte]
            shift = 8 - depth * (x % per_byte + 1)
            raw.append(remap[(byte >> shift) & mask])

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 3, 0, 0, 0))
    png += chunk(b"PLTE", bytes(out_palette))
    png += chunk(b"tRNS", b"\x00")
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    png += chunk(b"IEND", b"")
    open(dst, "wb").write(png)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
