#!/usr/bin/env python3
"""Writes icon files whose images have chosen sizes and depths (ImageMagick writes 32 bits
only, and its PNG as few bits as the colours need): make_icons.py OUTDIR."""
import os
import struct
import sys
import zlib


def bitmap_image(width, height, bits, shade):
    palette = b""
    if bits <= 8:
        colours = 1 << bits
        palette = b"".join(struct.pack("<BBBB", (i * 37 + shade) & 255, i * 11 & 255, shade, 0)
                           for i in range(colours))
    stride = (width * bits + 31) // 32 * 4
    mask_stride = (width + 31) // 32 * 4
    pixels = bytearray()
    for y in range(height):
        row = bytearray(stride)
        for x in range(width):
            if bits == 32:
                row[x * 4:x * 4 + 4] = bytes(((x * 8) & 255, (y * 8) & 255, shade, 255))
            elif bits == 24:
                row[x * 3:x * 3 + 3] = bytes(((x * 8) & 255, (y * 8) & 255, shade))
            else:
                index = (x + y) % (1 << bits)
                per_byte = 8 // bits
                shift = 8 - bits * (x % per_byte + 1)
                row[x // per_byte] |= index << shift
        pixels += row
    mask = bytes(mask_stride * height)
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, bits, 0,
                         len(pixels) + len(mask), 0, 0, 0, 0)
    return header + palette + bytes(pixels) + mask


def png_image(side):
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data)))
    rows = b"".join(b"\0" + bytes((0, 160, 0, 255)) * side for _ in range(side))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", side, side, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def icon_file(images):
    """images: (width, height, bits, bytes)."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    data = b""
    for width, height, bits, image in images:
        colours = 1 << bits if bits < 8 else 0
        out += struct.pack("<BBBBHHII", width & 255, height & 255, colours, 0, 1, bits,
                           len(image), offset + len(data))
        data += image
    return out + data


def bitmaps(*specs):
    return icon_file([(w, h, b, bitmap_image(w, h, b, 40 * i)) for i, (w, h, b) in enumerate(specs)])


ICONS = {
    # Same size in three depths: the deepest is taken.
    "depths.ico": bitmaps((32, 32, 4), (32, 32, 32), (32, 32, 8), (16, 16, 32)),
    # 48 and 16 are as far from 32: the deeper, and of those equally deep the first.
    "tie.ico": bitmaps((48, 48, 8), (16, 16, 8), (16, 16, 4)),
    # 32 x 48 and 48 x 32 are as far from 32 x 32 in all, but not in each direction: the first
    # decides, whatever the second's depth.
    "oblong.ico": bitmaps((32, 48, 4), (48, 32, 8), (64, 64, 1)),
    # 256 x 256 as PNG, stored as a side of 0.
    "big.ico": icon_file([(256, 256, 32, png_image(256))]),
}

if __name__ == "__main__":
    out = sys.argv[1]
    for name, data in ICONS.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)
