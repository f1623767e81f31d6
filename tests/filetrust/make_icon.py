#!/usr/bin/env python3
"""Writes an .ico file with a 16x16 and a 32x32 image (32 bits per pixel),
laid out the way icon editors write them, for the icon-digest tests."""
import struct
import sys


def image(size, seed):
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytes((seed + i * 7) & 0xFF for i in range(size * size * 4))
    mask = bytes(((size + 31) // 32) * 4 * size)
    return header + pixels + mask


images = [(16, image(16, 3)), (32, image(32, 11))]
offset = 6 + 16 * len(images)
out = struct.pack("<HHH", 0, 1, len(images))
for size, data in images:
    out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
    offset += len(data)
for _, data in images:
    out += data
with open(sys.argv[1], "wb") as f:
    f.write(out)
