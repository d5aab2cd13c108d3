#!/usr/bin/env python3
"""Draws the add-in's icon (resource 1001) and link cursor (resource 99) as
PNG files. Uses only the standard library, so the pictures can be redrawn
anywhere: python3 resources/make_resources.py"""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def write_png(path, width, height, pixels):
    """pixels: rows of (r, g, b, a) tuples."""
    raw = b"".join(b"\x00" + b"".join(struct.pack("BBBB", *p) for p in row) for row in pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


CLEAR = (0, 0, 0, 0)


def icon():
    """A sheet of code with a green comment mark: Tolvan writes comments."""
    size = 32
    px = [[CLEAR] * size for _ in range(size)]
    border = (40, 60, 120, 255)
    paper = (250, 250, 245, 255)
    code = (150, 150, 160, 255)
    green = (0, 128, 0, 255)
    for y in range(2, 30):
        for x in range(5, 27):
            edge = y in (2, 29) or x in (5, 26)
            px[y][x] = border if edge else paper
    # folded corner
    for i in range(6):
        for j in range(6 - i):
            px[3 + i][25 - j] = CLEAR if j < 5 - i else border
    # code lines, the comment lines in green
    lines = [(7, 9, 21, green), (11, 9, 23, code), (15, 11, 22, code), (19, 11, 20, code),
             (23, 9, 21, green)]
    for y, x0, x1, colour in lines:
        for x in range(x0, x1):
            px[y][x] = colour
            px[y + 1][x] = colour
    # the apostrophe that starts a comment
    for y, x in [(6, 8), (7, 8), (8, 8), (9, 7), (22, 8), (23, 8), (24, 8), (25, 7)]:
        px[y][x] = green
    return size, size, px


HAND = [
    "    XX          ",
    "   X..X         ",
    "   X..X         ",
    "   X..X         ",
    "   X..X         ",
    "   X..XXX       ",
    "   X..X..XXX    ",
    "   X..X..X..XX  ",
    "XX X..X..X..X.X ",
    "X..X........X..X",
    "X...X..........X",
    " X..X..........X",
    "  X............X",
    "  X...........X ",
    "   X..........X ",
    "   X.........X  ",
    "    X........X  ",
    "    X........X  ",
    "    XXXXXXXXXX  ",
]


def cursor():
    """A pointing hand; its hot spot is the fingertip at (4, 0), drawn
    from column 6 so that the 32x32 cursor keeps it at (10, 0)."""
    size = 32
    px = [[CLEAR] * size for _ in range(size)]
    for y, row in enumerate(HAND):
        for x, c in enumerate(row):
            if c == "X":
                px[y][x + 6] = (0, 0, 0, 255)
            elif c == ".":
                px[y][x + 6] = (255, 255, 255, 255)
    return size, size, px


if __name__ == "__main__":
    write_png(os.path.join(HERE, "icon_1001.png"), *icon())
    write_png(os.path.join(HERE, "cursor_99.png"), *cursor())
