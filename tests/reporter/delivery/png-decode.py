#!/usr/bin/env python3
"""png-decode.py IN.png OUT.rgb: decodes an 8-bit indexed PNG with nothing
but Python's zlib, checks every chunk's CRC and the filter bytes, writes the
pixels as RGB bytes (top row first) and prints the image's facts as JSON."""
import json
import struct
import sys
import zlib


def main():
    data = open(sys.argv[1], "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        sys.exit("bad signature")
    pos, chunks = 8, []
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        (crc,) = struct.unpack(">I", data[pos + 8 + length:pos + 12 + length])
        if zlib.crc32(kind + body) != crc:
            sys.exit("bad CRC in " + kind.decode())
        chunks.append((kind.decode(), body))
        pos += 12 + length
    kinds = [k for k, _ in chunks]
    width, height, depth, colour, comp, filt, inter = struct.unpack(">IIBBBBB", chunks[0][1])
    if (kinds[0], kinds[1], kinds[-1]) != ("IHDR", "PLTE", "IEND") or depth != 8 or colour != 3:
        sys.exit("unexpected layout " + str(kinds))
    palette = chunks[1][1]
    idat = [b for k, b in chunks if k == "IDAT"]
    raw = zlib.decompress(b"".join(idat))
    if len(raw) != height * (width + 1):
        sys.exit("wrong image data size")
    out = bytearray()
    for row in range(height):
        line = raw[row * (width + 1):(row + 1) * (width + 1)]
        if line[0] != 0:
            sys.exit("filtered row")
        for index in line[1:]:
            out += palette[index * 3:index * 3 + 3]
    open(sys.argv[2], "wb").write(out)
    print(json.dumps({"width": width, "height": height, "idat": [len(b) for b in idat],
                      "chunks": kinds}))


main()
