#!/usr/bin/env python3
"""Draws the program's icon and writes it as images/mrw.ico (16, 32 and 48
pixels, 32-bit BMP entries) and as PNG files for the desktop's icon theme
(icons/hicolor/NxN/apps/quorvane.png).  Standard library only.

The picture: a green tile with a stack of two spreadsheet pages on it, the
front one with a dark header row and a grid.  Run it again after a change:
    python3 resources/make_icon.py
"""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
SIZES = (16, 32, 48)
SUPERSAMPLE = 4


def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


def lerp(a, b, t):
    return tuple(round(a[i] + (b[i] - a[i]) * t) for i in range(len(a)))


TILE = rounded_rect(0.03, 0.03, 0.97, 0.97, 0.18)
BACK_PAGE = rect(0.30, 0.14, 0.84, 0.70)
FRONT_PAGE = rect(0.16, 0.28, 0.72, 0.86)
HEADER = rect(0.16, 0.28, 0.72, 0.42)
GRID_COLUMNS = (0.34, 0.53)
GRID_ROWS = (0.57, 0.72)


def colour_at(x, y, line):
    """RGBA of the picture at (x, y) in 0..1; line is the grid line width."""
    if not TILE(x, y):
        return (0, 0, 0, 0)
    colour = lerp((46, 160, 100, 255), (20, 105, 70, 255), y)
    if BACK_PAGE(x, y):
        colour = (205, 230, 215, 255)
    if FRONT_PAGE(x, y):
        colour = (255, 255, 255, 255)
        if HEADER(x, y):
            colour = (25, 120, 75, 255)
        elif any(abs(x - c) <= line / 2 for c in GRID_COLUMNS) or \
                any(abs(y - r) <= line / 2 for r in GRID_ROWS):
            colour = (60, 150, 100, 255)
    return colour


def render(size):
    """Rows of RGBA tuples, top row first."""
    line = max(1.0 / size, 0.045)
    rows = []
    n = SUPERSAMPLE
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(n):
                for sx in range(n):
                    c = colour_at((px + (sx + 0.5) / n) / size, (py + (sy + 0.5) / n) / size, line)
                    a = c[3]
                    acc[0] += c[0] * a
                    acc[1] += c[1] * a
                    acc[2] += c[2] * a
                    acc[3] += a
            alpha = acc[3] / (n * n)
            if acc[3]:
                rgb = [round(acc[i] / acc[3]) for i in range(3)]
            else:
                rgb = [0, 0, 0]
            row.append((rgb[0], rgb[1], rgb[2], round(alpha)))
        rows.append(row)
    return rows


def png_bytes(rows):
    size = len(rows)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    raw = b"".join(b"\x00" + bytes(v for px in row for v in px) for row in rows)
    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) +
            chunk(b"IEND", b""))


def bmp_entry(rows):
    """A 32-bit DIB as stored in an ICO: header, BGRA rows bottom-up, AND mask."""
    size = len(rows)
    mask_stride = ((size + 31) // 32) * 4
    pixels = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, px in enumerate(row):
            if px[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                         len(pixels) + len(mask), 0, 0, 0, 0)
    return header + pixels + bytes(mask)


def ico_bytes(images):
    entries = [bmp_entry(rows) for rows in images]
    out = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    for rows, data in zip(images, entries):
        size = len(rows)
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(entries)


def main():
    images = [render(size) for size in SIZES]
    with open(os.path.join(HERE, "images", "mrw.ico"), "wb") as f:
        f.write(ico_bytes(images))
    for size, rows in zip(SIZES, images):
        folder = os.path.join(HERE, "icons", "hicolor", f"{size}x{size}", "apps")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "quorvane.png"), "wb") as f:
            f.write(png_bytes(rows))


if __name__ == "__main__":
    main()
