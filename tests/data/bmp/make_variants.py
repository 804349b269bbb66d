#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes the BMP variants the codec tests decode, and the reference pixels they must
decode to. Every file here is written byte by byte by this script (an encoder independent
of the game's decoder), except the im_*.bmp files, which ImageMagick's `convert` writes
from reference.ppm when it is installed.

Run from this folder:  python3 make_variants.py

Reference files (*.txt): first line "width height", then one line per picture row, top
row first, of 0xAARRGGBB values in hexadecimal.
"""
import os
import shutil
import struct
import subprocess

W, H = 13, 7  # odd width: every bit depth needs row padding

# 16 colours; the first eight use only 0 and 255 per channel.
PALETTE = [
    (0, 0, 0), (255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 0), (0, 255, 255),
    (255, 0, 255), (255, 255, 255), (128, 64, 32), (17, 34, 51), (200, 150, 100),
    (90, 180, 45), (255, 0, 128), (64, 64, 64), (1, 2, 3), (250, 240, 230),
]


def reference_index(x, y):
    # Runs of equal colours (for RLE) next to busy stretches (for literal runs).
    if y == 0:
        return 1 if x < 7 else 2
    if y == 6:
        return (x * 5 + 3) % 16
    if x < 4:
        return (y * 3) % 16
    return (x * 7 + y * 11) % 16


INDICES = [[reference_index(x, y) for x in range(W)] for y in range(H)]
MONO = [[(x + y) % 3 == 0 for x in range(W)] for y in range(H)]
MONO_PALETTE = [(10, 20, 120), (250, 210, 40)]


def alpha_of(x, y):
    return [0, 255, 128, 1, 254, 64, 200][(x + 2 * y) % 7]


def argb(rgb, a=255):
    return (a << 24) | (rgb[0] << 16) | (rgb[1] << 8) | rgb[2]


def write_reference(name, rows):
    with open(name, "w") as f:
        f.write(f"{len(rows[0])} {len(rows)}\n")
        for row in rows:
            f.write(" ".join(f"{v:08X}" for v in row) + "\n")


def q(v, bits):
    """An 8-bit channel rounded to the nearest value of `bits` bits."""
    return (v * ((1 << bits) - 1) + 127) // 255


def pad4(row):
    return row + b"\0" * (-len(row) % 4)


def file_header(pixel_offset, total):
    return b"BM" + struct.pack("<IHHI", total, 0, 0, pixel_offset)


def info_header(w, h, bpp, compression=0, image_size=0, colors_used=0, size=40):
    return struct.pack("<IiiHHIIiiII", size, w, h, 1, bpp, compression, image_size,
                       2835, 2835, colors_used, 0)


def v5_header(w, h, bpp, compression, masks):
    head = info_header(w, h, bpp, compression, size=124)
    return head + struct.pack("<4I", *masks) + b"sRGB"[::-1] + b"\0" * 36 + \
        struct.pack("<3I", 0, 0, 0) + struct.pack("<4I", 4, 0, 0, 0)


def palette_bytes(colors, core=False):
    if core:
        return b"".join(bytes((b, g, r)) for r, g, b in colors)
    return b"".join(bytes((b, g, r, 0)) for r, g, b in colors)


def assemble(name, dib, tables, data):
    offset = 14 + len(dib) + len(tables)
    with open(name, "wb") as f:
        f.write(file_header(offset, offset + len(data)) + dib + tables + data)


def rows_bottom_up(top_down):
    return range(H) if top_down else range(H - 1, -1, -1)


def pack_indices(row, bpp):
    bits = "".join(format(i, f"0{bpp}b") for i in row)
    bits += "0" * (-len(bits) % 8)
    return bytes(int(bits[i:i + 8], 2) for i in range(0, len(bits), 8))


def paletted(name, bpp, top_down=False, core=False, colors_used=0):
    source = MONO if bpp == 1 else INDICES
    colors = MONO_PALETTE if bpp == 1 else PALETTE
    data = b"".join(pad4(pack_indices([int(v) for v in source[y]], bpp))
                    for y in rows_bottom_up(top_down))
    h = -H if top_down else H
    if core:
        dib = struct.pack("<IHHHH", 12, W, H, 1, bpp)
    else:
        dib = info_header(W, h, bpp, colors_used=colors_used)
    table = list(colors) + [(0, 0, 0)] * ((1 << bpp) - len(colors)) if not colors_used else colors
    assemble(name, dib, palette_bytes(table, core), data)


def truecolor(name, bpp, top_down=False, core=False):
    def pixel(x, y):
        r, g, b = PALETTE[INDICES[y][x]]
        if bpp == 24:
            return bytes((b, g, r))
        if bpp == 32:
            return bytes((b, g, r, 0))
        return struct.pack("<H", (q(r, 5) << 10) | (q(g, 5) << 5) | q(b, 5))
    data = b"".join(pad4(b"".join(pixel(x, y) for x in range(W))) for y in rows_bottom_up(top_down))
    if core:
        dib = struct.pack("<IHHHH", 12, W, H, 1, bpp)
    else:
        dib = info_header(W, -H if top_down else H, bpp)
    assemble(name, dib, b"", data)


def rgb565(name):
    def pixel(x, y):
        r, g, b = PALETTE[INDICES[y][x]]
        return struct.pack("<H", (q(r, 5) << 11) | (q(g, 6) << 5) | q(b, 5))
    data = b"".join(pad4(b"".join(pixel(x, y) for x in range(W))) for y in rows_bottom_up(False))
    assemble(name, info_header(W, H, 16, 3), struct.pack("<3I", 0xF800, 0x07E0, 0x001F), data)


def argb32(name, v5):
    data = b""
    for y in rows_bottom_up(False):
        for x in range(W):
            r, g, b = PALETTE[INDICES[y][x]]
            data += bytes((b, g, r, alpha_of(x, y)))
    if v5:
        dib = v5_header(W, H, 32, 3, (0xFF0000, 0xFF00, 0xFF, 0xFF000000))
    else:
        dib = info_header(W, H, 32)
    assemble(name, dib, b"", data)


def argb4444(name):
    data = b""
    for y in rows_bottom_up(False):
        row = b""
        for x in range(W):
            r, g, b = PALETTE[INDICES[y][x]]
            a = alpha_of(x, y)
            row += struct.pack("<H", (q(a, 4) << 12) | (q(r, 4) << 8) | (q(g, 4) << 4) | q(b, 4))
        data += pad4(row)
    masks = struct.pack("<4I", 0x0F00, 0x00F0, 0x000F, 0xF000)
    assemble(name, info_header(W, H, 16, 6), masks, data)  # ALPHABITFIELDS


def rle8_row(row):
    """Runs of 3 or more become (count, index); the rest become literal runs (odd lengths
    included, padded to a 16-bit boundary); literals shorter than 3 go out as runs of 1."""
    out, i = b"", 0
    while i < len(row):
        j = i
        while j < len(row) and row[j] == row[i]:
            j += 1
        if j - i >= 3:
            out += bytes((j - i, row[i]))
            i = j
            continue
        k = i  # literal stretch up to the next run of 3
        while k < len(row) and not (k + 2 < len(row) and row[k] == row[k + 1] == row[k + 2]):
            k += 1
        lit = row[i:k]
        if len(lit) >= 3:
            out += bytes((0, len(lit))) + bytes(lit) + (b"\0" if len(lit) % 2 else b"")
        else:
            out += b"".join(bytes((1, v)) for v in lit)
        i = k
    return out


def rle4_row(row):
    """Pairs of alternating nibbles as runs; the rest as literal runs of nibbles."""
    out, i = b"", 0
    while i < len(row):
        j = i + 1
        while j < len(row) and row[j] == row[i + ((j - i) % 2)]:
            j += 1
        if j - i >= 4:
            second = row[i + 1]
            out += bytes((j - i, (row[i] << 4) | second))
            i = j
            continue
        lit = row[i:min(len(row), i + 5)]  # an odd literal count of 5 nibbles, or what is left
        if len(lit) >= 3:
            packed = pack_indices(lit, 4)
            out += bytes((0, len(lit))) + packed + (b"\0" if len(packed) % 2 else b"")
        else:
            out += b"".join(bytes((1, v << 4)) for v in lit)
        i += len(lit)
    return out


def rle(name, bpp):
    encode = rle8_row if bpp == 8 else rle4_row
    data = b"".join(encode(INDICES[y]) + b"\0\0" for y in rows_bottom_up(False))[:-2] + b"\0\1"
    assemble(name, info_header(W, H, bpp, 1 if bpp == 8 else 2, len(data), 16),
             palette_bytes(PALETTE), data)


def rle8_delta(name):
    """5x4 RLE8 with a pen move: pixels it skips stay transparent black."""
    w, h = 5, 4
    data = bytes((5, 1)) + b"\0\0"          # bottom row: five of colour 1
    data += bytes((1, 2)) + b"\0\2" + bytes((2, 1)) + bytes((1, 3))  # (0,1), move to (3,2), one 3
    data += b"\0\0" + bytes((9, 4))          # new row 3 (top): a run longer than the row
    data += b"\0\1"
    assemble(name, info_header(w, h, 8, 1, len(data), 16), palette_bytes(PALETTE), data)
    rows = [[0] * w for _ in range(h)]      # bottom-up row numbers
    for x in range(5):
        rows[0][x] = argb(PALETTE[1])
    rows[1][0] = argb(PALETTE[2])
    rows[2][3] = argb(PALETTE[3])
    for x in range(5):
        rows[3][x] = argb(PALETTE[4])
    write_reference("rle8_delta.txt", rows[::-1])


def main():
    write_reference("reference.txt", [[argb(PALETTE[i]) for i in row] for row in INDICES])
    write_reference("reference_mono.txt", [[argb(MONO_PALETTE[int(v)]) for v in row] for row in MONO])
    write_reference("reference_alpha.txt",
                    [[argb(PALETTE[INDICES[y][x]], alpha_of(x, y)) for x in range(W)] for y in range(H)])
    paletted("pal1.bmp", 1)
    paletted("pal4.bmp", 4)
    paletted("pal8.bmp", 8)
    paletted("pal8_topdown.bmp", 8, top_down=True)
    paletted("pal8_core.bmp", 8, core=True)
    paletted("pal8_used16.bmp", 8, colors_used=16)
    rle("pal4_rle4.bmp", 4)
    rle("pal8_rle8.bmp", 8)
    truecolor("rgb16_555.bmp", 16)
    rgb565("rgb16_565.bmp")
    truecolor("rgb24.bmp", 24)
    truecolor("rgb24_topdown.bmp", 24, top_down=True)
    truecolor("rgb24_core.bmp", 24, core=True)
    truecolor("rgb32_unused_alpha.bmp", 32)
    argb32("argb32_v5.bmp", v5=True)
    argb32("argb32_plain.bmp", v5=False)
    argb4444("argb16_4444.bmp")
    rle8_delta("rle8_delta.bmp")

    with open("reference.ppm", "wb") as f:
        f.write(f"P6\n{W} {H}\n255\n".encode())
        f.write(b"".join(bytes(PALETTE[i]) for row in INDICES for i in row))
    convert = shutil.which("convert")
    if convert:
        for out, args in [("im_rgb24.bmp", ["-type", "TrueColor", "BMP3:"]),
                          ("im_pal8.bmp", ["-type", "Palette", "BMP3:"]),
                          ("im_pal8_rle8.bmp", ["-type", "Palette", "-compress", "RLE", "BMP3:"]),
                          ("im_os2.bmp", ["-type", "Palette", "BMP2:"])]:
            subprocess.run([convert, "reference.ppm"] + args[:-1] + [args[-1] + out], check=True)
    os.remove("reference.ppm")


if __name__ == "__main__":
    main()
