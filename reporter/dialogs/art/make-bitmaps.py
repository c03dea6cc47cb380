#!/usr/bin/env python3
"""Draws the exception dialog's bitmaps: "MONITOR" (32 x 32, 256 colours),
drawn in the dialog's corner, and the list rows' "DLL", "BPL", "VCL", "PAS"
(16 x 16, 16 colours). Our own pixel art, written as plain BMP files.

Usage: make-bitmaps.py OUTPUT_DIR
In each picture the bottom-left pixel's colour is the transparent one.
"""
import os
import struct
import sys

# The 16 colours of the small pictures (the classic 4-bit palette).
PALETTE16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
KEY = (255, 0, 255)  # transparent


def write_bmp(path, pixels, bits):
    """pixels: rows top to bottom of (r, g, b); bits 4 or 8."""
    height, width = len(pixels), len(pixels[0])
    if bits == 4:
        palette = PALETTE16
    else:
        palette = []
        for row in pixels:
            for colour in row:
                if colour not in palette:
                    palette.append(colour)
        assert len(palette) <= 256
        palette += [(0, 0, 0)] * (256 - len(palette))
    index = {colour: i for i, colour in enumerate(palette)}
    row_bytes = ((width * bits + 31) // 32) * 4
    data = bytearray()
    for row in reversed(pixels):  # bottom-up
        line = bytearray()
        if bits == 8:
            line += bytes(index[c] for c in row)
        else:
            for x in range(0, width, 2):
                line.append((index[row[x]] << 4) | index[row[x + 1]])
        line += b"\0" * (row_bytes - len(line))
        data += line
    colours = len(palette)
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(data), 2835, 2835,
                         colours, 0)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    offset = 14 + len(header) + len(table)
    with open(path, "wb") as out:
        out.write(b"BM" + struct.pack("<IHHI", offset + len(data), 0, 0, offset))
        out.write(header + table + data)


def canvas(size, colour=KEY):
    return [[colour] * size for _ in range(size)]


def rect(pixels, x0, y0, x1, y1, colour):
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            pixels[y][x] = colour


def outline(pixels, x0, y0, x1, y1, colour):
    for x in range(x0, x1 + 1):
        pixels[y0][x] = pixels[y1][x] = colour
    for y in range(y0, y1 + 1):
        pixels[y][x0] = pixels[y][x1] = colour


def monitor():
    """A monitor showing a warning sign, on its stand."""
    p = canvas(32)
    rect(p, 2, 2, 29, 23, (176, 176, 176))        # bezel
    outline(p, 2, 2, 29, 23, (64, 64, 64))
    rect(p, 5, 5, 26, 20, (24, 52, 120))          # screen
    for y in range(5, 21):                        # a little shine
        for x in range(5, 27):
            if x + y < 14:
                p[y][x] = (60, 100, 170)
    # warning triangle, yellow with a dark mark
    for row in range(11):
        y = 7 + row
        half = row // 2 + (row % 2)
        for x in range(16 - half, 16 + half + 1):
            p[y][x] = (250, 210, 40)
    rect(p, 16, 10, 16, 14, (40, 30, 0))
    p[16][16] = (40, 30, 0)
    rect(p, 13, 24, 18, 26, (128, 128, 128))      # neck
    rect(p, 8, 27, 23, 29, (96, 96, 96))          # stand
    outline(p, 8, 27, 23, 29, (48, 48, 48))
    return p


def page(p, colour=(255, 255, 255)):
    rect(p, 3, 1, 12, 14, colour)
    outline(p, 3, 1, 12, 14, (0, 0, 0))
    p[1][12] = KEY
    p[2][11] = (0, 0, 0)


def dll():
    """A page with a cog: a library."""
    p = canvas(16)
    page(p)
    rect(p, 6, 6, 9, 9, (128, 128, 128))
    for x, y in ((7, 5), (8, 5), (7, 10), (8, 10), (5, 7), (5, 8), (10, 7), (10, 8)):
        p[y][x] = (128, 128, 128)
    rect(p, 7, 7, 8, 8, (255, 255, 255))
    return p


def bpl():
    """A parcel: a package."""
    p = canvas(16)
    rect(p, 2, 5, 13, 14, (128, 128, 0))
    outline(p, 2, 5, 13, 14, (0, 0, 0))
    rect(p, 3, 2, 12, 4, (255, 255, 0))
    outline(p, 3, 2, 12, 4, (0, 0, 0))
    rect(p, 7, 2, 8, 14, (128, 0, 0))
    return p


def vcl():
    """An application window."""
    p = canvas(16)
    rect(p, 1, 2, 14, 13, (255, 255, 255))
    rect(p, 1, 2, 14, 4, (0, 0, 128))
    outline(p, 1, 2, 14, 13, (0, 0, 0))
    p[3][13] = (255, 0, 0)
    rect(p, 3, 7, 8, 8, (192, 192, 192))
    rect(p, 3, 10, 11, 11, (192, 192, 192))
    return p


def pas():
    """A page of source lines: the program's own code."""
    p = canvas(16)
    page(p)
    for y, (x0, x1, colour) in zip(range(4, 14, 2), ((5, 9, (0, 0, 128)), (6, 10, (0, 128, 0)),
                                                      (6, 9, (0, 0, 0)), (5, 10, (128, 0, 0)),
                                                      (5, 8, (0, 0, 128)))):
        rect(p, x0, y, x1, y, colour)
    return p


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    write_bmp(os.path.join(out, "monitor.bmp"), monitor(), 8)
    for name, draw in (("dll", dll), ("bpl", bpl), ("vcl", vcl), ("pas", pas)):
        write_bmp(os.path.join(out, name + ".bmp"), draw(), 4)


if __name__ == "__main__":
    main()
