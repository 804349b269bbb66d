#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Packs the game's PNG icons (ICON_DIR/<N>x<N>/apps/orrindel.png) into one Windows .ico.

Windows reads PNG images inside an icon file as they are; sizes above 256 are left out.
Usage: make-ico.py OUT.ico ICON_DIR
"""
import pathlib
import struct
import sys


def main() -> int:
    out, icons = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
    images = []
    for png in sorted(icons.glob("*x*/apps/orrindel.png")):
        data = png.read_bytes()
        if data[:8] != b"\x89PNG\r\n\x1a\n":
            raise SystemExit(f"make-ico: {png} is not a PNG file")
        width, height = struct.unpack(">II", data[16:24])
        if width <= 256 and height <= 256:
            images.append((width, height, data))
    if not images:
        raise SystemExit(f"make-ico: no icon of 256 pixels or less under {icons}")
    images.sort()
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    entries, blobs = b"", b""
    for width, height, data in images:
        # 0 stands for 256 in the one-byte sizes.
        entries += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
        blobs += data
    out.write_bytes(header + entries + blobs)
    return 0


if __name__ == "__main__":
    sys.exit(main())
