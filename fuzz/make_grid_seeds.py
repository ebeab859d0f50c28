#!/usr/bin/env python3
"""Writes the seed inputs of the grid fuzzer in the byte code grid_fuzz.cpp decodes: a grid shape,
then operations (add, add again, move, re-place moved, re-place one, query) on entities of chosen
positions and sizes. Usage: make_grid_seeds.py FUZZ_CORPUS_DIR"""
import os
import struct
import sys


def number(n):
    if -8 <= n <= 23:
        return bytes([(n + 8) << 3])
    if 0 <= n <= 65535:
        return bytes([6, n & 255, n >> 8])
    return bytes([7]) + struct.pack("<i", n)


def coordinate(v, quarters=0):
    return bytes([quarters << 6]) + number(v)


def raw_float(f):
    return bytes([7]) + struct.pack("<f", f)


def add(x, y, w, h, quarters=0, scale=None, only_made=False):
    out = bytes([0x80 if only_made else 0]) + coordinate(x, quarters) + coordinate(y) + number(w) + number(h)
    if scale is None:
        return out + b"\0\0"
    return out + bytes([3]) + number(scale) + bytes([3]) + number(scale)


def move(index, x=None, y=None, width=None):
    op = 3 | (0x10 if x is not None else 0) | (0x20 if y is not None else 0) | (0x40 if width is not None else 0)
    out = bytes([op, index])
    if x is not None:
        out += x if isinstance(x, bytes) else coordinate(x)
    if y is not None:
        out += coordinate(y)
    if width is not None:
        out += number(width)
    return out


UPDATE = bytes([4])


def again(index):
    return bytes([2, index])


def place(index):
    return bytes([5, index])


def query(index):
    return bytes([6, index])


def grid(columns, rows, cw, ch):
    return bytes([columns - 1, rows - 1]) + number(cw) + number(ch)


def main(root):
    d = os.path.join(root, "grid")
    os.makedirs(d, exist_ok=True)
    seeds = {
        "demo_grid": grid(25, 18, 32, 32) + add(0, 0, 50, 50) + add(40, 40, 10, 10) + add(300, 200, 30, 30) +
        query(0) + move(1, 200, 180) + UPDATE + query(0) + query(1) + query(2),
        "edges_and_halves": grid(7, 5, 13, 29) + add(13, 29, 13, 29, quarters=2) + add(12, 28, 2, 2, quarters=2) +
        add(-5, -5, 6, 6) + add(90, 144, 5, 5) + query(0) + query(1) + place(3) + query(3),
        "added_twice": grid(4, 4, 8, 8) + add(1, 1, 9, 9) + add(10, 10, 4, 4) + again(0) + move(0, 12, 12) +
        again(0) + UPDATE + query(0) + query(1),
        "degenerate_sizes": grid(6, 6, 10, 10) + add(15, 15, 0, 10) + add(15, 15, -10, 10) + add(12, 12, 10, 10) +
        query(2) + move(0, 25) + UPDATE + query(2),
        "scaled_and_far": grid(16, 12, 3, 3) + add(5, 5, 4, 4, scale=3) + add(2000000000, 5, 60000, 60000) +
        add(6, 6, 1, 1, scale=-4) + query(0) + move(1, raw_float(float("nan"))) + UPDATE + query(1),
        "huge_cells": bytes([2, 2]) + number(0x3FFFFFFF) + number(0x3FFFFFFF) + add(0x3FFFFF00, 5, 0x7FFFFFF0, 10) +
        add(-2147483648, -2147483648, 2147483647, 2147483647) + query(0) + query(1),
        "unusable_cells": bytes([3, 3]) + number(0) + number(-1) + add(1, 1, 40, 40) + add(1, 1, 0, 0, only_made=True) +
        query(0) + query(1),
    }
    for name, data in seeds.items():
        with open(os.path.join(d, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main(sys.argv[1])
