#!/usr/bin/env python3
"""Writes the program's bitmaps under res/: the seek bar pieces (res/bitmaps/130..134.bmp,
24 bits per pixel), the options banner (res/bitmaps/149.bmp), the tool bar image strip (res/toolbar/128.png, seven 16 x 16 images with
alpha) and the program icon (res/icons/128.png). Standard library only; the output is
committed together with this script, so run it again only after changing a picture here.

Thumb bitmaps carry key pixels the seek bar replaces when it draws them:
key 1 = RGB(0,0,1) thumb colour, key 2 = RGB(0,0,2) grip dots, key 3 = RGB(0,0,3) and
key 4 = RGB(0,0,4) the first and the last channel pixel of the same line.
"""
import os
import struct
import sys
import zlib

KEY1, KEY2, KEY3, KEY4 = (0, 0, 1), (0, 0, 2), (0, 0, 3), (0, 0, 4)
OUTLINE = (91, 91, 91)
ARROW = (77, 77, 77)


def blank(w, h, c=(0, 0, 0)):
    return [[c for _ in range(w)] for _ in range(h)]


def mirror_x(img):
    return [list(reversed(row)) for row in img]


def lerp(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def write_bmp(path, img):
    h, w = len(img), len(img[0])
    stride = (w * 3 + 3) & ~3
    data = bytearray()
    for row in reversed(img):  # bottom-up
        line = bytearray()
        for (r, g, b) in row:
            line += bytes((b, g, r))
        line += b"\0" * (stride - len(line))
        data += line
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 14 + 40)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)


def write_png(path, img):
    """img rows of (r, g, b, a)."""
    h, w = len(img), len(img[0])
    raw = bytearray()
    for row in img:
        raw.append(0)
        for px in row:
            raw += bytes(px)

    def chunk(kind, payload):
        body = kind + payload
        return struct.pack(">I", len(payload)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


# ---- seek bar ------------------------------------------------------------------------------

def channel_h():
    """1 x 12: grey gradient from 164 at the top to 240, reached at row 7."""
    img = []
    for y in range(12):
        v = 240 if y >= 7 else int(round(164 + (240 - 164) * y / 7))
        img.append([(v, v, v)])
    return img


def arrow_left():
    """25 x 12: light gradient face, dark grey arrow head pointing left."""
    img = [[lerp((255, 255, 255), (214, 218, 226), y / 11)] * 25 for y in range(12)]
    # tip at column 10; each column further right is one row taller on both sides
    for i, x in enumerate(range(10, 14)):
        for y in range(5 - i, 7 + i):
            img[y][x] = ARROW
    return img


def grip(img, key=KEY2):
    for y in (4, 7):
        for x in (8, 10, 12, 14, 16):
            img[y][x] = key


def thumb_colour():
    """25 x 12: rounded outline, sides in key 1, corners in keys 3 (left) and 4 (right)."""
    w, h = 25, 12
    img = blank(w, h, KEY1)
    for y in range(h):
        for x in range(w):
            corner = (x + y < 2) or (w - 1 - x + y < 2) or (x + h - 1 - y < 2) or (w - 1 - x + h - 1 - y < 2)
            if corner:
                img[y][x] = KEY3 if x < w // 2 else KEY4
    for x in range(2, w - 2):
        img[0][x] = OUTLINE
        img[h - 1][x] = OUTLINE
    for y in range(2, h - 2):
        img[y][0] = OUTLINE
        img[y][w - 1] = OUTLINE
    for (x, y) in ((1, 1), (w - 2, 1), (1, h - 2), (w - 2, h - 2)):
        img[y][x] = OUTLINE
    grip(img)
    return img


def thumb_plain():
    """25 x 12: rectangular outline, white-to-grey gradient body, grip dots in key 2."""
    w, h = 25, 12
    img = [[lerp((255, 255, 255), (196, 200, 208), y / (h - 1))] * w for y in range(h)]
    img = [list(row) for row in img]
    for x in range(w):
        img[0][x] = OUTLINE
        img[h - 1][x] = OUTLINE
    for y in range(h):
        img[y][0] = OUTLINE
        img[y][w - 1] = OUTLINE
    grip(img)
    return img


# ---- tool bar ------------------------------------------------------------------------------

def rgba_blank(w, h):
    return [[(0, 0, 0, 0) for _ in range(w)] for _ in range(h)]


def put(img, x0, x, y, c):
    if 0 <= x < 16 and 0 <= y < 16:
        img[y][x0 + x] = c + (255,)


def triangle_right(img, x0, left, width, c):
    # a right-pointing triangle: column i covers rows 8-(width-i).. 7+(width-i)
    for i in range(width):
        half = width - i
        for y in range(8 - half, 8 + half):
            put(img, x0, left + i, y, c)


def triangle_left(img, x0, left, width, c):
    for i in range(width):
        half = i + 1
        for y in range(8 - half, 8 + half):
            put(img, x0, left + i, y, c)


def box(img, x0, l, t, r, b, c):
    for y in range(t, b):
        for x in range(l, r):
            put(img, x0, x, y, c)


def toolbar():
    img = rgba_blank(112, 16)
    green, dark, red, blue = (0, 128, 0), (40, 40, 40), (192, 0, 0), (0, 64, 160)
    triangle_right(img, 0, 4, 7, green)          # play
    box(img, 16, 4, 3, 7, 13, dark)              # pause
    box(img, 16, 9, 3, 12, 13, dark)
    box(img, 32, 3, 3, 13, 13, red)              # stop
    triangle_left(img, 48, 1, 6, blue)           # slower
    triangle_left(img, 48, 8, 6, blue)
    box(img, 64, 3, 3, 5, 13, blue)              # normal speed
    triangle_right(img, 64, 6, 6, blue)
    triangle_right(img, 80, 2, 6, blue)          # faster
    triangle_right(img, 80, 9, 6, blue)
    yellow, edge = (240, 200, 80), (150, 110, 20)   # open: a folder
    box(img, 96, 1, 4, 7, 6, edge)
    box(img, 96, 1, 5, 15, 14, edge)
    box(img, 96, 2, 6, 14, 13, yellow)
    return img


def icon():
    size = 48
    img = [[(0, 0, 0, 0)] * size for _ in range(size)]
    tones = [(200, 60, 60), (60, 160, 60), (60, 90, 200), (220, 170, 40)]
    for y in range(size):
        for x in range(size):
            if x in (0, size - 1) or y in (0, size - 1) or x in (23, 24) or y in (23, 24):
                img[y][x] = (30, 30, 40, 255)
            else:
                q = (1 if x > 24 else 0) + (2 if y > 24 else 0)
                img[y][x] = tones[q] + (255,)
    return img


def options_banner():
    """Bitmap 149, the options dialog's banner (201 x 47): a teal gradient like the About box's
    banner, the program's four-pane mark on the left, and two slider rails with their knobs
    standing for the options."""
    w, h = 201, 47
    left, right = (0, 128, 128), (120, 250, 250)
    img = [[lerp(left, right, x / (w - 1)) for x in range(w)] for _ in range(h)]
    tones = [(200, 60, 60), (60, 160, 60), (60, 90, 200), (220, 170, 40)]
    x0, y0, size = 8, 6, 35
    for y in range(size):
        for x in range(size):
            edge = x in (0, size - 1) or y in (0, size - 1) or x == size // 2 or y == size // 2
            q = (1 if x > size // 2 else 0) + (2 if y > size // 2 else 0)
            img[y0 + y][x0 + x] = (30, 30, 40) if edge else tones[q]
    for i, (rail_y, knob_x) in enumerate(((16, 92), (31, 150))):
        for x in range(56, 190):
            img[rail_y][x] = (255, 255, 255)
            img[rail_y + 1][x] = (0, 90, 90)
        for y in range(rail_y - 5, rail_y + 7):
            for x in range(knob_x - 3, knob_x + 4):
                border = y in (rail_y - 5, rail_y + 6) or x in (knob_x - 3, knob_x + 3)
                img[y][x] = (30, 30, 40) if border else tones[2 * i]
    return img


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "res")
    bitmaps = os.path.join(root, "bitmaps")
    os.makedirs(bitmaps, exist_ok=True)
    os.makedirs(os.path.join(root, "toolbar"), exist_ok=True)
    os.makedirs(os.path.join(root, "icons"), exist_ok=True)
    left = arrow_left()
    pieces = {
        130: channel_h(),
        131: left,
        132: mirror_x(left),
        133: thumb_colour(),
        134: thumb_plain(),
        149: options_banner(),
    }
    for ident, img in pieces.items():
        write_bmp(os.path.join(bitmaps, "%d.bmp" % ident), img)
    write_png(os.path.join(root, "toolbar", "128.png"), toolbar())
    write_png(os.path.join(root, "icons", "128.png"), icon())


if __name__ == "__main__":
    main()
