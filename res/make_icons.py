#!/usr/bin/env python3
"""Draws the add-in's two icons: a green and white worksheet glyph.

workbook.ico is 16 x 16 (the tabs), about.ico 32 x 32 (the about dialog).
Both are 32-bit BGRA images with an AND mask, the format every Windows
version since XP reads. Run it from any directory; it writes beside itself.
"""
import os
import struct

GREEN = (0x2E, 0x7D, 0x32, 0xFF)       # frame and header band
DARK = (0x1B, 0x5E, 0x20, 0xFF)        # outline
GRID = (0xA5, 0xD6, 0xA7, 0xFF)        # cell lines
WHITE = (0xFF, 0xFF, 0xFF, 0xFF)
CLEAR = (0, 0, 0, 0)


def draw(size):
    """Rows top to bottom of RGBA tuples."""
    px = [[CLEAR] * size for _ in range(size)]
    margin = 1 if size <= 16 else 2
    left, top, right, bottom = margin, margin, size - margin - 1, size - margin - 1
    band = top + max(2, size // 6)        # green header band height
    col = max(4, size // 4)               # cell width
    row = max(3, size // 6)               # cell height
    for y in range(top, bottom + 1):
        for x in range(left, right + 1):
            if x in (left, right) or y in (top, bottom):
                c = DARK
            elif y <= band:
                c = GREEN
            elif (x - left) % col == 0 or (y - band) % row == 0:
                c = GRID
            else:
                c = WHITE
            px[y][x] = c
    # A green first column, like row headers.
    for y in range(band + 1, bottom):
        for x in range(left + 1, left + 1 + max(1, size // 10)):
            px[y][x] = GREEN
    return px


def ico(size):
    rows = draw(size)
    xor = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    image = header + xor + bytes(mask)
    entry = struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), 6 + 16)
    return struct.pack("<HHH", 0, 1, 1) + entry + image


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    for name, size in (("workbook.ico", 16), ("about.ico", 32)):
        with open(os.path.join(here, name), "wb") as f:
            f.write(ico(size))


if __name__ == "__main__":
    main()
