#!/usr/bin/env python3
"""Draws the add-in's pictures and writes them as Windows resource files.

Tolvan.bmp (bitmap 1000) is the tool bar button's face: 16 x 16 pixels with a
16-colour palette, light grey background, six green text lines and a blue pen
slanting across the upper half. Tolvan.ico (icon 1001) shows the same picture
at 16 x 16 and 32 x 32. Tolvan.cur (cursor 99) is a monochrome arrow with a
small pen beside it. The files are committed; run this script again only to
change a picture:  python3 resources/make_resources.py
"""
import os
import struct

# The standard 16-colour palette (index: (r, g, b)).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
GREY, GREEN, BLUE = 7, 10, 12


def button_face(size=16):
    """Rows from the top, each a list of palette indexes."""
    scale = size // 16
    img = [[GREY] * 16 for _ in range(16)]
    # Six text lines, 14 pixels long, on every second row from the third.
    for row in (2, 4, 6, 8, 10, 12):
        for x in range(1, 15):
            img[row][x] = GREEN
    # The pen: a stroke two pixels wide from the top right corner down to
    # the middle of the picture, crossing the upper text lines.
    for y in range(0, 8):
        x = 13 - y
        img[y][x] = BLUE
        img[y][x + 1] = BLUE
    return [[img[y // scale][x // scale] for x in range(size)] for y in range(size)]


def pack_4bpp_rows(img):
    """Bottom-up rows, two pixels a byte, each row padded to 4 bytes."""
    out = b""
    for row in reversed(img):
        data = bytes((row[i] << 4) | row[i + 1] for i in range(0, len(row), 2))
        out += data + b"\0" * (-len(data) % 4)
    return out


def pack_1bpp_rows(rows):
    """Bottom-up rows of 0/1 bits, each row padded to 4 bytes."""
    out = b""
    for row in reversed(rows):
        data = bytearray((len(row) + 7) // 8)
        for x, bit in enumerate(row):
            if bit:
                data[x // 8] |= 0x80 >> (x % 8)
        out += bytes(data) + b"\0" * (-len(data) % 4)
    return out


def info_header(width, height, bpp, image_size, colours):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bpp, 0, image_size,
                       0, 0, colours, 0)


def palette_bytes(colours):
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in colours)


def make_bmp():
    img = button_face(16)
    pixels = pack_4bpp_rows(img)
    header = info_header(16, 16, 4, len(pixels), 16) + palette_bytes(PALETTE)
    offset = 14 + len(header)
    file_header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return file_header + header + pixels


def icon_image(size):
    img = button_face(size)
    xor = pack_4bpp_rows(img)
    mask = pack_1bpp_rows([[0] * size for _ in range(size)])  # fully opaque
    # An icon's header counts the XOR and AND bitmaps together in its height.
    header = info_header(size, size * 2, 4, len(xor) + len(mask), 16)
    return header + palette_bytes(PALETTE) + xor + mask


def make_directory(kind, images):
    """ICO (kind 1) or CUR (kind 2) file: directory, entries, images.
    images: list of (width, height, colours, field1, field2, data) where the
    two fields are planes/bit count for an icon and the hot spot for a cursor.
    """
    out = struct.pack("<HHH", 0, kind, len(images))
    offset = 6 + 16 * len(images)
    for width, height, colours, f1, f2, data in images:
        out += struct.pack("<BBBBHHII", width % 256, height % 256, colours % 256, 0,
                           f1, f2, len(data), offset)
        offset += len(data)
    return out + b"".join(img[5] for img in images)


def make_ico():
    images = [(size, size, 16, 1, 4, icon_image(size)) for size in (16, 32)]
    return make_directory(1, images)


ARROW = [
    "X...............",
    "XX..............",
    "X#X.............",
    "X##X............",
    "X###X...........",
    "X####X..........",
    "X#####X.........",
    "X######X........",
    "X#######X.......",
    "X########X......",
    "X#####XXXXX.....",
    "X##X##X.........",
    "X#X.X##X........",
    "XX..X##X........",
    "X....X##X.......",
    ".....X##X.......",
    "......XX........",
]
PEN = [
    "......XX",
    ".....X#X",
    "....X#X.",
    "...X#X..",
    "..X#X...",
    ".XXX....",
    ".XX.....",
    "X.......",
]


def make_cur():
    size = 32
    # X black outline, # white fill, . transparent.
    grid = [["."] * size for _ in range(size)]
    for y, line in enumerate(ARROW):
        for x, c in enumerate(line):
            grid[y][x] = c
    for y, line in enumerate(PEN):
        for x, c in enumerate(line):
            if c != ".":
                grid[y + 16][x + 14] = c
    # Monochrome cursor: AND mask 1 = transparent; XOR bit 1 = white.
    xor = [[1 if c == "#" else 0 for c in row] for row in grid]
    mask = [[1 if c == "." else 0 for c in row] for row in grid]
    header = info_header(size, size * 2, 1, 0, 2)
    data = header + palette_bytes([(0, 0, 0), (255, 255, 255)])
    data += pack_1bpp_rows(xor) + pack_1bpp_rows(mask)
    return make_directory(2, [(size, size, 2, 0, 0, data)])  # hot spot (0, 0)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    for name, data in (("Tolvan.bmp", make_bmp()), ("Tolvan.ico", make_ico()),
                       ("Tolvan.cur", make_cur())):
        with open(os.path.join(here, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
