#!/usr/bin/env python3
"""The frame check of an exported set: reads every frame of FILE (through ffmpeg), the frame
number each quarter shows (the clips draw it in ten bit cells along their bottom edge) and
counts the quarters that are not on the instant: output frame i should show frame FIRST + i in
every quarter.

Usage: export_check.py FILE FIRST SOURCE_WxH
Prints: frames=N off=M apart=A unreadable=U first=[a, b, c, d] (apart: frames whose quarters
do not all show the same frame)"""
import subprocess
import sys


def main():
    path, first, source = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    sw, sh = (int(v) for v in source.split("x"))
    probe = subprocess.run(["ffprobe", "-v", "error", "-select_streams", "v", "-show_entries",
                            "stream=width,height", "-of", "csv=p=0", path],
                           capture_output=True, text=True, check=True).stdout.strip().split(",")
    w, h = int(probe[0]), int(probe[1])
    decoder = subprocess.Popen(["ffmpeg", "-v", "error", "-i", path, "-f", "rawvideo", "-pix_fmt", "gray", "-"],
                               stdout=subprocess.PIPE)
    qw, qh = w // 2, h // 2
    # Each picture fitted in its quarter, its shape kept.
    scale = min(qw / sw, qh / sh)
    fw, fh = int(sw * scale), int(sh * scale)
    cells = []
    for k in range(4):
        x = (k // 2) * qw + (qw - fw) // 2
        y = (k % 2) * qh + (qh - fh) // 2
        row = y + fh - 1 - int(8 * max(fh / sh, 0.5))
        cells.append([row * w + x + int((b + 0.5) * fw / 10) for b in range(10)])
    frames = off = apart = unreadable = 0
    first_seen = None
    while True:
        picture = decoder.stdout.read(w * h)
        if len(picture) < w * h:
            break
        seen = []
        for k in range(4):
            number = 0
            for bit, at in enumerate(cells[k]):
                if picture[at] > 170:
                    number |= 1 << bit
                elif picture[at] > 60:
                    number = -1
                    break
            seen.append(number)
        if first_seen is None:
            first_seen = seen
        # The cells count to 1023 and wrap.
        expected = (first + frames) % 1024
        off += sum(1 for n in seen if n != expected)
        unreadable += sum(1 for n in seen if n < 0)
        apart += 1 if len(set(seen)) > 1 else 0
        frames += 1
    decoder.wait()
    print(f"frames={frames} off={off} apart={apart} unreadable={unreadable} first={first_seen}")


main()
