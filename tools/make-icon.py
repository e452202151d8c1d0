#!/usr/bin/python3
"""Draws the application icon: an accent "K" on a dark rounded square.

Writes an .ico holding four 32-bit RGBA images (16, 32, 48 and 64 px), each stored as PNG.
Only the standard library is used and the output is byte-for-byte reproducible.
Usage: make-icon.py OUTPUT.ico
"""
import math
import struct
import sys
import zlib

SIZES = (16, 32, 48, 64)
SAMPLES = 4  # per axis: 16 samples per pixel smooth the edges

DARK_TOP = (18, 22, 32)
DARK_BOTTOM = (10, 12, 18)
ACCENT_TOP = (255, 160, 150)
ACCENT_BOTTOM = (232, 120, 110)


def lerp(a, b, t):
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def in_rounded_square(x, y, radius):
    """Unit square [0,1]^2 with rounded corners."""
    cx = min(max(x, radius), 1 - radius)
    cy = min(max(y, radius), 1 - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius


def near_segment(x, y, ax, ay, bx, by, half_width):
    dx, dy = bx - ax, by - ay
    t = ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)
    t = min(max(t, 0.0), 1.0)
    return math.hypot(x - (ax + t * dx), y - (ay + t * dy)) <= half_width


def in_letter_k(x, y):
    stroke = 0.075
    stem = 0.30 <= x <= 0.30 + 2 * stroke and 0.22 <= y <= 0.78
    joint_x, joint_y = 0.30 + 2 * stroke, 0.52
    upper = near_segment(x, y, joint_x, joint_y, 0.70, 0.22 + stroke * 0.6, stroke)
    lower = near_segment(x, y, joint_x + 0.04, 0.46, 0.72, 0.78 - stroke * 0.6, stroke)
    return stem or upper or lower


def pixel(px, py, size):
    """Colour and coverage of one pixel, averaged over a grid of samples."""
    square = letter = 0
    for sy in range(SAMPLES):
        for sx in range(SAMPLES):
            x = (px + (sx + 0.5) / SAMPLES) / size
            y = (py + (sy + 0.5) / SAMPLES) / size
            if in_rounded_square(x, y, 0.22):
                square += 1
                letter += in_letter_k(x, y)
    total = SAMPLES * SAMPLES
    if square == 0:
        return (0, 0, 0, 0)
    t = (py + 0.5) / size
    dark = lerp(DARK_TOP, DARK_BOTTOM, t)
    accent = lerp(ACCENT_TOP, ACCENT_BOTTOM, t)
    mix = lerp(dark, accent, letter / square)
    return tuple(int(round(c)) for c in mix) + (int(round(255 * square / total)),)


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def png(size):
    rows = bytearray()
    for py in range(size):
        rows.append(0)  # filter: none
        for px in range(size):
            rows.extend(pixel(px, py, size))
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(bytes(rows), 9)) + chunk(b"IEND", b""))


def ico(images):
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, data in images)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make-icon.py OUTPUT.ico")
    with open(sys.argv[1], "wb") as f:
        f.write(ico([(size, png(size)) for size in SIZES]))


if __name__ == "__main__":
    main()
