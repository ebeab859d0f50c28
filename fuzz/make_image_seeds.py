#!/usr/bin/env python3
"""Writes the seed images of the bmp and png fuzzers: small BMP files of every depth and
compression the sprite loader meets (palette, RLE8, RLE4, 5-5-5, bit masks, 24 and 32 bits, odd
widths), and PNG files cut short, with a damaged data chunk or claiming a huge size. A handful of
libpng's test-suite files are copied beside them by hand. Usage: make_image_seeds.py FUZZ_CORPUS_DIR"""
import os
import struct
import sys
import zlib


def bmp(width, height, bits, compression=0, table=None, pixels=b"", masks=None, reserved=0):
    table = table or b""
    extra = b"".join(struct.pack("<I", m) for m in masks) if masks else b""
    offset = 14 + 40 + len(extra) + len(table)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, compression, len(pixels), 2835, 2835,
                       len(table) // 4, 0)
    head = b"BM" + struct.pack("<IHHI", offset + len(pixels), reserved & 0xFFFF, reserved >> 16, offset)
    return head + info + extra + table + pixels


def rows(width, height, bits, value):
    pitch = (width * bits + 31) // 32 * 4
    out = b""
    for y in range(height):
        row = bytearray(pitch)
        for x in range(width):
            v = value(x, y)
            if bits == 1:
                row[x >> 3] |= (v & 1) << (7 - (x & 7))
            elif bits == 4:
                row[x >> 1] |= (v & 15) << (4 if x % 2 == 0 else 0)
            else:
                row[x * bits // 8:(x + 1) * bits // 8] = v.to_bytes(bits // 8, "little")
        out += bytes(row)
    return out


def grey_table(n):
    return b"".join(bytes((i * 255 // max(n - 1, 1),) * 3 + (0,)) for i in range(n))


def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def png(width, height, depth, colour, raw, extra=b""):
    ihdr = struct.pack(">IIBBBBB", width, height, depth, colour, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", ihdr) + extra + png_chunk(b"IDAT", zlib.compress(raw)) +
            png_chunk(b"IEND", b""))


def main(root):
    b, p = os.path.join(root, "bmp"), os.path.join(root, "png")
    os.makedirs(b, exist_ok=True)
    os.makedirs(p, exist_ok=True)
    seeds = {
        "bits1_odd": bmp(13, 3, 1, table=grey_table(2), pixels=rows(13, 3, 1, lambda x, y: (x + y) & 1)),
        "bits4_odd": bmp(5, 3, 4, table=grey_table(16), pixels=rows(5, 3, 4, lambda x, y: x * 3 + y)),
        "bits4_short_table": bmp(4, 2, 4, table=grey_table(3), pixels=rows(4, 2, 4, lambda x, y: x + 4 * y)),
        "bits8": bmp(6, 4, 8, table=grey_table(256), pixels=rows(6, 4, 8, lambda x, y: 40 * x + y)),
        "bits8_rle": bmp(8, 4, 8, 1, grey_table(8),
                         bytes([3, 1, 0, 3, 7, 2, 5, 0, 0, 0, 0, 2, 2, 1, 2, 6, 0, 0, 1, 4, 0, 1])),
        "bits4_rle": bmp(4, 2, 4, 2, grey_table(16), bytes([4, 0x12, 0, 0, 4, 0x34, 0, 1])),
        "bits16": bmp(3, 3, 16, pixels=rows(3, 3, 16, lambda x, y: (x << 10) | (y << 5) | 31)),
        "bits16_masks": bmp(2, 2, 16, 3, pixels=rows(2, 2, 16, lambda x, y: 0x7FFF * x), masks=(0x7C00, 0x3E0, 0x1F)),
        "bits24_odd": bmp(3, 2, 24, pixels=rows(3, 2, 24, lambda x, y: 0x102030 * (x + 1) + y), reserved=1),
        "bits32": bmp(2, 3, 32, pixels=rows(2, 3, 32, lambda x, y: 0x80FF0000 >> (8 * x) | y), reserved=2),
        "bits32_masks": bmp(2, 2, 32, 3, pixels=rows(2, 2, 32, lambda x, y: 0xFF00FF), masks=(0xFF0000, 0xFF00, 0xFF),
                            reserved=3),
        "top_down": bmp(2, -2, 24, pixels=rows(2, 2, 24, lambda x, y: 0xFFFFFF)),
    }
    for name, data in seeds.items():
        with open(os.path.join(b, name), "wb") as f:
            f.write(data)

    grey = png(5, 3, 2, 0, b"".join(b"\0" + bytes([0x1B, 0xE4]) for _ in range(3)))
    rgba = png(3, 2, 8, 6, b"".join(b"\1" + bytes(range(12)) for _ in range(2)))
    palette = png(4, 2, 4, 3, b"\0\x01\x23\0\x32\x10", png_chunk(b"PLTE", bytes(range(12))) +
                  png_chunk(b"tRNS", b"\x80\x00"))
    with open(os.path.join(p, "cut_short.png"), "wb") as f:
        f.write(rgba[:len(rgba) - 20])
    with open(os.path.join(p, "grey2_odd_width.png"), "wb") as f:
        f.write(grey)
    with open(os.path.join(p, "palette4_trns.png"), "wb") as f:
        f.write(palette)
    # A few dozen bytes claiming an RGBA image of 32767 by 32767 pixels, which no sprite can be.
    with open(os.path.join(p, "claims_32767_square.png"), "wb") as f:
        f.write(png(32767, 32767, 8, 6, b"\1" + bytes(8)))
    damaged = bytearray(rgba)
    damaged[45] ^= 0xFF  # inside the compressed data; the chunk's CRC no longer matches either
    with open(os.path.join(p, "damaged_data.png"), "wb") as f:
        f.write(bytes(damaged))


if __name__ == "__main__":
    main(sys.argv[1])
