#!/usr/bin/env python3
"""Draws the program's icon, a calendar page, and writes it as a Windows .ico file.

Usage: make_icon.py [OUTPUT]   (default: res/almanix.ico next to this tools folder)

The icon holds 16, 32 and 48 pixel images as 32-bit BMP images with alpha and an AND
mask, which every Windows version and Wine read. Shapes are described in a unit square and
sampled 4 x 4 times per pixel, so the edges are smooth at every size. Python 3 only.
"""
import os
import struct
import sys

SIZES = (16, 32, 48)
SUPERSAMPLE = 4

CLEAR = (0, 0, 0, 0)
OUTLINE = (70, 70, 78, 255)
HEADER = (200, 36, 36, 255)
HEADER_SHINE = (226, 84, 76, 255)
PAGE = (252, 251, 244, 255)
CELL = (150, 154, 168, 255)
TODAY = (214, 160, 0, 255)
RING = (60, 60, 66, 255)

PAGE_BOX = (0.06, 0.12, 0.94, 0.97)  # left, top, right, bottom
HEADER_BOTTOM = 0.38
CORNER = 0.12
RINGS = ((0.27, 0.03, 0.37, 0.22), (0.63, 0.03, 0.73, 0.22))

# Day cells under the header: (columns, rows) per size; fewer at small sizes stay readable.
GRID = {16: (3, 2), 32: (4, 3), 48: (5, 3)}
TODAY_CELL = {16: (1, 0), 32: (2, 1), 48: (3, 1)}


def in_round_rect(u, v, box, radius):
    left, top, right, bottom = box
    if u < left or u >= right or v < top or v >= bottom:
        return False
    cx = min(max(u, left + radius), right - radius)
    cy = min(max(v, top + radius), bottom - radius)
    return (u - cx) ** 2 + (v - cy) ** 2 <= radius ** 2


def inset(box, d):
    return (box[0] + d, box[1] + d, box[2] - d, box[3] - d)


def snap(x, size):
    """x moved to the nearest pixel edge, so straight edges stay crisp."""
    return round(x * size) / size


def colour_at(u, v, size):
    px = 1.0 / size
    for ring in RINGS:
        if in_round_rect(u, v, tuple(snap(c, size) for c in ring), 0.04):
            return RING
    page = tuple(snap(c, size) for c in PAGE_BOX)
    if not in_round_rect(u, v, page, CORNER):
        return CLEAR
    if not in_round_rect(u, v, inset(page, px), max(CORNER - px, 0.0)):
        return OUTLINE
    header_bottom = snap(HEADER_BOTTOM, size)
    if v < header_bottom:
        return HEADER_SHINE if v < page[1] + 3 * px and size >= 32 else HEADER
    # Day cells on whole pixels, one pixel apart, inside a one-pixel margin of paper.
    cols, rows = GRID[size]
    x, y = int(u * size), int(v * size)
    left, right = round(page[0] * size) + 2, round(page[2] * size) - 1
    top, bottom = round(header_bottom * size) + 1, round(page[3] * size) - 1
    col = next((i for i in range(cols) if x < left + (i + 1) * (right - left) // cols), None)
    row = next((j for j in range(rows) if y < top + (j + 1) * (bottom - top) // rows), None)
    if x >= left and y >= top and col is not None and row is not None:
        cell_right = left + (col + 1) * (right - left) // cols - 1
        cell_bottom = top + (row + 1) * (bottom - top) // rows - 1
        if x < cell_right and y < cell_bottom:
            return TODAY if (col, row) == TODAY_CELL[size] else CELL
    return PAGE


def render(size):
    """Rows of (r, g, b, a), top row first."""
    n = SUPERSAMPLE
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(n):
                for sx in range(n):
                    r, g, b, a = colour_at((x + (sx + 0.5) / n) / size, (y + (sy + 0.5) / n) / size, size)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            alpha = acc[3] / (n * n)
            if acc[3] == 0:
                row.append(CLEAR)
            else:
                row.append(tuple(round(c / acc[3]) for c in acc[:3]) + (round(alpha),))
        rows.append(row)
    return rows


def bmp_image(size, rows):
    mask_stride = ((size + 31) // 32) * 4
    pixels = bytearray()
    mask = bytearray()
    for row in reversed(rows):  # bottom-up
        for r, g, b, a in row:
            pixels += bytes((b, g, r, a))
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    return header + bytes(pixels) + bytes(mask)


def ico(images):
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for _, data in images:
        out += data
    return bytes(out)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "..", "res", "almanix.ico")
    data = ico([(s, bmp_image(s, render(s))) for s in SIZES])
    with open(path, "wb") as f:
        f.write(data)
    print(os.path.normpath(path), len(data), "bytes")


if __name__ == "__main__":
    main()
