#!/usr/bin/env python3
"""Writes a short AVI test clip: uncompressed 24-bit video (moving colour bars
and a bouncing box) with a 16-bit PCM tone, a format the media player control
plays without extra decoders. Everything in it is generated here.

usage: make-sample-clip.py OUT.avi [--seconds N] [--fps N] [--size WxH]
"""
import argparse
import math
import struct


def chunk(fourcc, data):
    pad = b"\0" if len(data) % 2 else b""
    return fourcc + struct.pack("<I", len(data)) + data + pad


def riff_list(kind, fourcc, body):
    return kind + struct.pack("<I", len(body) + 4) + fourcc + body


BARS = [(255, 255, 255), (255, 255, 0), (0, 255, 255), (0, 255, 0),
        (255, 0, 255), (255, 0, 0), (0, 0, 255), (32, 32, 32)]


def frame(index, frames, width, height):
    bar_width = max(1, width // len(BARS))
    shift = (index * width // frames) % width
    row = bytearray()
    for x in range(width):
        r, g, b = BARS[((x + shift) // bar_width) % len(BARS)]
        row += bytes((b, g, r))
    rows = [bytearray(row) for _ in range(height)]
    box = max(8, height // 5)
    t = index / max(1, frames - 1)
    bx = int((width - box) * t)
    by = int((height - box) * abs(math.sin(math.pi * 2 * t)))
    block = bytes((0, 0, 0)) * box
    for y in range(by, by + box):
        rows[y][bx * 3:(bx + box) * 3] = block
    # Bottom-up rows, each already a multiple of 4 bytes for even widths.
    stride = (width * 3 + 3) & ~3
    return b"".join(bytes(r) + b"\0" * (stride - width * 3) for r in reversed(rows))


def audio(samples, rate, start):
    return b"".join(struct.pack("<h", int(6000 * math.sin(2 * math.pi * 440 * (start + i) / rate)))
                    for i in range(samples))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("out")
    parser.add_argument("--seconds", type=float, default=4)
    parser.add_argument("--fps", type=int, default=10)
    parser.add_argument("--size", default="320x240")
    args = parser.parse_args()
    width, height = (int(v) for v in args.size.split("x"))
    fps, frames = args.fps, max(1, int(args.seconds * args.fps))
    rate = 22050
    samples_per_frame = rate // fps
    frame_bytes = ((width * 3 + 3) & ~3) * height

    movi = bytearray(b"movi")
    index = bytearray()
    for i in range(frames):
        for fourcc, data in ((b"00db", frame(i, frames, width, height)),
                             (b"01wb", audio(samples_per_frame, rate, i * samples_per_frame))):
            index += fourcc + struct.pack("<III", 0x10, len(movi), len(data))
            movi += chunk(fourcc, data)

    avih = struct.pack("<14I", 1000000 // fps, frame_bytes * fps + rate * 2, 0, 0x10, frames, 0, 2,
                       frame_bytes, width, height, 0, 0, 0, 0)
    vstrh = struct.pack("<4s4sIHHIIIIIIII4h", b"vids", b"DIB ", 0, 0, 0, 0, 1, fps, 0, frames,
                        frame_bytes, 0xFFFFFFFF, 0, 0, 0, width, height)
    vstrf = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, frame_bytes, 0, 0, 0, 0)
    total_samples = samples_per_frame * frames
    astrh = struct.pack("<4s4sIHHIIIIIIII4h", b"auds", b"\0\0\0\0", 0, 0, 0, 0, 2, rate * 2, 0,
                        total_samples, samples_per_frame * 2, 0xFFFFFFFF, 2, 0, 0, 0, 0)
    astrf = struct.pack("<HHIIHHH", 1, 1, rate, rate * 2, 2, 16, 0)
    hdrl = chunk(b"avih", avih)
    hdrl += riff_list(b"LIST", b"strl", chunk(b"strh", vstrh) + chunk(b"strf", vstrf))
    hdrl += riff_list(b"LIST", b"strl", chunk(b"strh", astrh) + chunk(b"strf", astrf))
    body = riff_list(b"LIST", b"hdrl", hdrl)
    body += b"LIST" + struct.pack("<I", len(movi)) + bytes(movi)
    body += chunk(b"idx1", bytes(index))
    with open(args.out, "wb") as out:
        out.write(riff_list(b"RIFF", b"AVI ", body))


if __name__ == "__main__":
    main()
