#!/usr/bin/env python3
"""Writes the seed inputs of the grid fuzzer in the byte code grid_fuzz.cpp decodes: a grid shape and
tier, then operations (add, add again, move one or all, re-place moved, re-place one, with memory
running out, release spare blocks, query marks near their wrap-around, query) on entities of chosen
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


def made(x, y, w, h, quarters=0, scale=None):
    out = coordinate(x, quarters) + coordinate(y) + number(w) + number(h)
    if scale is None:
        return out + b"\0\0"
    return out + bytes([3]) + number(scale) + bytes([3]) + number(scale)


def add(x, y, w, h, quarters=0, scale=None, only_made=False):
    return bytes([0x80 if only_made else 0]) + made(x, y, w, h, quarters, scale)


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


# A step that changes nothing: the fuzzer's check after it queries every entity.
QUERY = bytes([6])


def special(kind):
    return bytes([7 | kind << 3])


def scarce_update(blocks):
    return special(1) + bytes([blocks])


def scarce_place(index, blocks):
    return special(2) + bytes([index, blocks])


def scarce_add(x, y, w, h, blocks):
    return special(3) + made(x, y, w, h) + bytes([blocks])


RELEASE = special(4)


def near_wrap(marks_left):
    return special(5) + bytes([marks_left])


def stir(dx, dy):
    return special(6) + number(dx) + number(dy)


# Tiers forced on the small grid, and the real grid past the look-ahead threshold.
CACHED, LOOK_AHEAD, STAGED, LARGE = 0, 1, 2, 7


def grid(columns, rows, cw, ch, tier=CACHED):
    return bytes([(columns - 1) | tier << 4, rows - 1]) + number(cw) + number(ch)


def crowd(tier):
    """Forty entities, boxes wider than eight columns and a pile in one corner (a query there marks
    what it met), moved in every way the tiers place, with memory running out part-way."""
    out = grid(16, 12, 8, 8, tier)
    for k in range(12):  # first, so that they are among the twelve the large grid takes
        out += add(8 * k, 40 + 4 * k, 70 + 4 * k, 6)
    for k in range(24):
        out += add(k % 6, k // 6, 9 + k % 5, 9)
    out += add(-20, 30, 200, 20) + add(3, 3, 0, 5) + add(50, 50, -4, 4) + again(5) + again(30)
    out += stir(3, 2) + UPDATE + near_wrap(2) + move(26, 1, 2) + move(31, 90, 60) + move(0, 40) + UPDATE
    out += stir(-9, 5) + scarce_update(3) + RELEASE + scarce_add(10, 10, 90, 20, 2) + scarce_place(33, 1)
    out += move(33, 1, 1) + stir(1, 1) + UPDATE + stir(0, 8) + scarce_update(0) + near_wrap(0) + UPDATE
    return out


def main(root):
    d = os.path.join(root, "grid")
    os.makedirs(d, exist_ok=True)
    seeds = {
        "demo_grid": grid(25, 18, 32, 32) + add(0, 0, 50, 50) + add(40, 40, 10, 10) + add(300, 200, 30, 30) +
        QUERY + move(1, 200, 180) + UPDATE + QUERY,
        "edges_and_halves": grid(7, 5, 13, 29) + add(13, 29, 13, 29, quarters=2) + add(12, 28, 2, 2, quarters=2) +
        add(-5, -5, 6, 6) + add(90, 144, 5, 5) + QUERY + place(3) + QUERY,
        "added_twice": grid(4, 4, 8, 8) + add(1, 1, 9, 9) + add(10, 10, 4, 4) + again(0) + move(0, 12, 12) +
        again(0) + UPDATE + QUERY,
        "degenerate_sizes": grid(6, 6, 10, 10) + add(15, 15, 0, 10) + add(15, 15, -10, 10) + add(12, 12, 10, 10) +
        QUERY + move(0, 25) + UPDATE + QUERY,
        "scaled_and_far": grid(16, 12, 3, 3) + add(5, 5, 4, 4, scale=3) + add(2000000000, 5, 60000, 60000) +
        add(6, 6, 1, 1, scale=-4) + QUERY + move(1, raw_float(float("nan"))) + UPDATE + QUERY,
        "huge_cells": bytes([2, 2]) + number(0x3FFFFFFF) + number(0x3FFFFFFF) + add(0x3FFFFF00, 5, 0x7FFFFFF0, 10) +
        add(-2147483648, -2147483648, 2147483647, 2147483647) + QUERY,
        "crowd_cached": crowd(CACHED),
        "crowd_look_ahead": crowd(LOOK_AHEAD),
        "crowd_staged": crowd(STAGED),
        "crowd_large_grid": crowd(LARGE),
        "unusable_cells": bytes([3, 3]) + number(0) + number(-1) + add(1, 1, 40, 40) + add(1, 1, 0, 0, only_made=True) +
        QUERY,
    }
    for name, data in seeds.items():
        with open(os.path.join(d, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main(sys.argv[1])
