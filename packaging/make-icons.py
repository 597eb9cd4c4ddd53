#!/usr/bin/env python3
"""Writes Tetrav's desktop icon in the hicolor sizes (packaging/icons/NxN.png) and as a
scalable SVG (packaging/icons/tetrav.svg): four coloured panes in a dark frame, the picture of
res/icons/128.png drawn afresh at each size so that no size is a blurred copy of another.
Standard library only; the output is committed with this script.
"""
import os
import struct
import sys
import zlib

FRAME = (30, 30, 40)
TONES = [(200, 60, 60), (60, 160, 60), (60, 90, 200), (220, 170, 40)]
SIZES = [16, 22, 24, 32, 48, 64, 128, 256]


def write_png(path, rows):
    height, width = len(rows), len(rows[0])
    raw = b"".join(b"\x00" + bytes(v for px in row for v in px) for row in rows)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        f.write(chunk(b"IEND", b""))


def icon(size):
    edge = max(1, round(size / 48))
    half = size // 2
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            border = x < edge or y < edge or x >= size - edge or y >= size - edge
            divider = half - edge <= x < half + edge or half - edge <= y < half + edge
            if border or divider:
                row.append(FRAME + (255,))
            else:
                q = (1 if x >= half else 0) + (2 if y >= half else 0)
                row.append(TONES[q] + (255,))
        rows.append(row)
    return rows


def svg():
    rgb = lambda c: "#%02x%02x%02x" % c
    cells = [(1, 1), (25, 1), (1, 25), (25, 25)]
    rects = "\n".join(
        '  <rect x="%d" y="%d" width="22" height="22" fill="%s"/>' % (x, y, rgb(TONES[i]))
        for i, (x, y) in enumerate(cells)
    )
    return (
        '<svg xmlns="http://www.w3.org/2000/svg" width="48" height="48" viewBox="0 0 48 48">\n'
        '  <rect width="48" height="48" fill="%s"/>\n%s\n</svg>\n' % (rgb(FRAME), rects)
    )


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "icons")
    os.makedirs(out, exist_ok=True)
    for size in SIZES:
        write_png(os.path.join(out, "%dx%d.png" % (size, size)), icon(size))
    with open(os.path.join(out, "tetrav.svg"), "w") as f:
        f.write(svg())


if __name__ == "__main__":
    main()
