#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes the GIF and JPEG files the codec tests decode.

The g_*.gif files are written byte by byte by this script (an encoder independent of the
game's decoder, LZW without a dictionary: one code per pixel, a clear code before the
table would grow); g_*.txt hold the pixels each must decode to (first line "width
height", then one line per row, top row first, of 0xAARRGGBB in hexadecimal).
The im_*.gif and *.jpg files are made by ImageMagick's `convert` from quadrants.ppm, a
32x32 picture of four 16x16 quadrants: red (top left), green (top right), blue (bottom
left) and white (bottom right).

Run from this folder:  python3 make_files.py   (needs ImageMagick for the JPEG files)
"""
import shutil
import struct
import subprocess

MIN_CODE_SIZE = 4  # 13 codes fit between clear codes before a 5-bit table would grow


def lzw(indices):
    clear, end = 1 << MIN_CODE_SIZE, (1 << MIN_CODE_SIZE) + 1
    per_block = (1 << MIN_CODE_SIZE) - 3
    codes = []
    for i, v in enumerate(indices):
        if i % per_block == 0:
            codes.append(clear)
        codes.append(v)
    codes.append(end)
    bits, nbits, out = 0, 0, bytearray()
    for c in codes:
        bits |= c << nbits
        nbits += MIN_CODE_SIZE + 1
        while nbits >= 8:
            out.append(bits & 255)
            bits >>= 8
            nbits -= 8
    if nbits:
        out.append(bits & 255)
    blocks = b"".join(bytes((len(out[i:i + 255]),)) + bytes(out[i:i + 255]) for i in range(0, len(out), 255))
    return bytes((MIN_CODE_SIZE,)) + blocks + b"\0"


def color_table(colors):
    bits = max(1, (len(colors) - 1).bit_length())
    table = list(colors) + [(0, 0, 0)] * ((1 << bits) - len(colors))
    return bits, b"".join(bytes(c) for c in table)


def gce(transparent):
    if transparent is None:
        return b""
    return b"\x21\xF9\x04\x01" + struct.pack("<H", 0) + bytes((transparent,)) + b"\0"


def frame(rows, left=0, top=0, local=None, transparent=None, interlaced=False):
    h, w = len(rows), len(rows[0])
    order = list(range(h))
    if interlaced:
        order = [y for start, step in ((0, 8), (4, 8), (2, 4), (1, 2)) for y in range(start, h, step)]
    flags = 0x40 if interlaced else 0
    table = b""
    if local is not None:
        bits, table = color_table(local)
        flags |= 0x80 | (bits - 1)
    return gce(transparent) + b"\x2C" + struct.pack("<4H", left, top, w, h) + bytes((flags,)) + \
        table + lzw([v for y in order for v in rows[y]])


def gif(name, width, height, palette, frames):
    head = b"GIF89a" + struct.pack("<HH", width, height)
    if palette is None:
        head += bytes((0, 0, 0))
    else:
        bits, table = color_table(palette)
        head += bytes((0x80 | 0x70 | (bits - 1), 0, 0)) + table
    with open(name, "wb") as f:
        f.write(head + b"".join(frames) + b"\x3B")


def argb(c, a=255):
    return (a << 24) | (c[0] << 16) | (c[1] << 8) | c[2]


def reference(name, rows):
    with open(name, "w") as f:
        f.write(f"{len(rows[0])} {len(rows)}\n")
        for row in rows:
            f.write(" ".join(f"{v:08X}" for v in row) + "\n")


PAL = [(255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 255)]


def main():
    # Transparent index 2 of a global table.
    rows = [[0, 1, 2, 3], [2, 2, 1, 0], [3, 0, 2, 1]]
    gif("g_transparent.gif", 4, 3, PAL, [frame(rows, transparent=2)])
    reference("g_transparent.txt", [[0 if v == 2 else argb(PAL[v]) for v in r] for r in rows])

    # Two frames: only the first counts; the second one's transparency does not leak back.
    second = [[3, 3, 3, 3], [3, 3, 3, 3], [3, 3, 3, 3]]
    gif("g_two_frames.gif", 4, 3, PAL, [frame(rows), frame(second, transparent=0)])
    reference("g_two_frames.txt", [[argb(PAL[v]) for v in r] for r in rows])

    # Interlaced, 5 x 11 so that every pass holds rows; rows 2 and 4 differ, so that the
    # order of the two middle passes shows.
    tall = [[(x + y) % 4 for x in range(5)] for y in range(11)]
    gif("g_interlaced.gif", 5, 11, PAL, [frame(tall, interlaced=True)])
    reference("g_interlaced.txt", [[argb(PAL[v]) for v in r] for r in tall])

    # A 3 x 2 frame with its own table at (2, 1) on a 6 x 5 screen; the rest is transparent.
    local = [(10, 20, 30), (40, 50, 60)]
    small = [[0, 1, 0], [1, 1, 0]]
    gif("g_offset_frame.gif", 6, 5, PAL, [frame(small, left=2, top=1, local=local)])
    screen = [[0] * 6 for _ in range(5)]
    for y in range(2):
        for x in range(3):
            screen[1 + y][2 + x] = argb(local[small[y][x]])
    reference("g_offset_frame.txt", screen)

    # A frame running past the screen's right and bottom edges is cut there.
    gif("g_frame_past_screen.gif", 3, 2, PAL, [frame([[0, 1, 2, 3], [1, 2, 3, 0], [2, 3, 0, 1]], left=1, top=1)])
    reference("g_frame_past_screen.txt", [[0, 0, 0], [0, argb(PAL[0]), argb(PAL[1])]])

    # Indices beyond a two-colour table: opaque black.
    two = [(200, 100, 50), (50, 100, 200)]
    gif("g_index_past_table.gif", 3, 1, two, [frame([[0, 5, 1]])])
    reference("g_index_past_table.txt", [[argb(two[0]), 0xFF000000, argb(two[1])]])

    # A zero screen size takes the frame's extent.
    gif("g_zero_screen.gif", 0, 0, PAL, [frame([[1, 2], [3, 0]])])
    reference("g_zero_screen.txt", [[argb(PAL[1]), argb(PAL[2])], [argb(PAL[3]), argb(PAL[0])]])

    # No colour table anywhere.
    gif("g_no_table.gif", 2, 1, None, [frame([[0, 1]])])

    with open("quadrants.ppm", "wb") as f:
        f.write(b"P6\n32 32\n255\n")
        for y in range(32):
            for x in range(32):
                f.write(bytes(PAL[(2 if y >= 16 else 0) + (1 if x >= 16 else 0)]))
    convert = shutil.which("convert")
    if convert:
        common = ["-quality", "100", "-sampling-factor", "1x1"]
        for out, extra in [("q_baseline.jpg", []), ("q_progressive.jpg", ["-interlace", "Plane"]),
                           ("q_gray.jpg", ["-colorspace", "Gray"]),
                           ("q_cmyk.jpg", ["-colorspace", "CMYK"])]:
            subprocess.run([convert, "quadrants.ppm"] + common + extra + [out], check=True)
        subprocess.run([convert, "quadrants.ppm", "-transparent", "blue", "im_quadrants.gif"], check=True)


if __name__ == "__main__":
    main()
