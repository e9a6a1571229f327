#!/usr/bin/env python3
"""Draws the package's neutral icon, a white T on a rounded slate-blue
square, and writes it as a Windows icon with 16, 32, 48 and 256 pixel
images: 32-bit bitmaps for the small ones, PNG for the large one, as
Windows expects. The drawing is exact arithmetic, so the file's bytes are
the same on every machine.
  neutral-icon.py OUTPUT.ico
"""
import struct
import sys
import zlib

SIZES = (16, 32, 48, 256)
TOP, BOTTOM = (0x4A, 0x7A, 0xB0), (0x26, 0x46, 0x6E)
WHITE = (0xFF, 0xFF, 0xFF)


def inside_rounded_square(x, y, margin=0.0625, radius=0.1875):
    low, high = margin + radius, 1 - margin - radius
    cx, cy = min(max(x, low), high), min(max(y, low), high)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius and margin <= x <= 1 - margin and margin <= y <= 1 - margin


def inside_letter(x, y):
    bar = 0.25 <= x <= 0.75 and 0.26 <= y <= 0.39
    stem = 0.435 <= x <= 0.565 and 0.26 <= y <= 0.76
    return bar or stem


def region(x, y):
    """0 outside, 1 the square, 2 the letter."""
    return 0 if not inside_rounded_square(x, y) else 2 if inside_letter(x, y) else 1


def color_at(x, y):
    """(r, g, b, a) of one point of the drawing, a in 0..1."""
    inside = region(x, y)
    if inside == 0:
        return (0, 0, 0, 0)
    if inside == 2:
        return (*WHITE, 1)
    mix = lambda top, bottom: top + (bottom - top) * y
    return (*(mix(t, b) for t, b in zip(TOP, BOTTOM)), 1)


def render(size):
    """Rows of (b, g, r, a) bytes, top row first. A pixel that an edge
    crosses is the average of a grid of samples, so that edges are smooth;
    the others take their centre's colour."""
    samples = 4
    rows = []
    for row in range(size):
        pixels = bytearray()
        for column in range(size):
            corners = {region((column + dx) / size, (row + dy) / size) for dx in (0, 1) for dy in (0, 1)}
            grid = samples if len(corners) > 1 else 1
            r = g = b = a = 0.0
            for sy in range(grid):
                for sx in range(grid):
                    cr, cg, cb, ca = color_at((column + (sx + 0.5) / grid) / size, (row + (sy + 0.5) / grid) / size)
                    r, g, b, a = r + cr * ca, g + cg * ca, b + cb * ca, a + ca
            unpremultiply = (lambda c: round(c / a)) if a else (lambda c: 0)
            pixels += bytes((unpremultiply(b), unpremultiply(g), unpremultiply(r), round(a / (grid * grid) * 255)))
        rows.append(bytes(pixels))
    return rows


def bitmap(size, rows):
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    mask_row = b"\0" * (((size + 31) // 32) * 4)
    return header + b"".join(reversed(rows)) + mask_row * size


def png(size, rows):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    rgba = b"".join(b"\0" + bytes(p for i in range(0, len(row), 4) for p in (row[i + 2], row[i + 1], row[i], row[i + 3]))
                    for row in rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rgba, 9)) + chunk(b"IEND", b""))


def icon():
    images = [(size, (png if size == 256 else bitmap)(size, render(size))) for size in SIZES]
    offset = 6 + 16 * len(images)
    directory, data = b"", b""
    for size, image in images:
        directory += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), offset + len(data))
        data += image
    return struct.pack("<HHH", 0, 1, len(images)) + directory + data


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as output:
        output.write(icon())
