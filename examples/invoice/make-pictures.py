#!/usr/bin/env python3
"""Draws the sample invoice's pictures with nothing but the standard library:
form.png, the blank pre-printed form (its frame matches the rule's static lines), and
stamp.png, the seller's red oval stamp that the rule carries inline as Base64 text."""
import base64
import math
import struct
import zlib
from pathlib import Path

HERE = Path(__file__).resolve().parent
FORM_INK = (164, 64, 40)
PAPER = (252, 250, 240)


def write_png(path, width, height, rgba_rows):
    raw = b"".join(b"\x00" + bytes(row) for row in rgba_rows)

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    png = (b"\x89PNG\r\n\x1a\n" +
           chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)) +
           chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))
    path.write_bytes(png)


class Canvas:
    def __init__(self, width, height, colour):
        self.width, self.height = width, height
        self.pixels = [[(*colour, 255) for _ in range(width)] for _ in range(height)]

    def put(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = (*colour, 255) if len(colour) == 3 else colour

    def hline(self, x1, x2, y, colour):
        for x in range(x1, x2):
            self.put(x, y, colour)

    def vline(self, x, y1, y2, colour):
        for y in range(y1, y2):
            self.put(x, y, colour)

    def rows(self):
        return [[c for px in row for c in px] for row in self.pixels]


def form():
    # Rule pixels at 96 dpi: the page is 241 x 140 mm, 911 x 529 pixels.
    c = Canvas(911, 529, PAPER)
    ink = FORM_INK
    for y in (110, 111, 480, 481):
        c.hline(30, 881, y, ink)
    for x in (30, 31, 880, 881):
        c.vline(x, 110, 482, ink)
    for y in (170, 195, 390, 420, 450):
        c.hline(30, 881, y, ink)
    for x in (300, 400, 450, 530, 630, 740, 790):
        c.vline(x, 170, 420, ink)
    # The title's double rule under the heading.
    c.hline(330, 580, 58, ink)
    c.hline(330, 580, 61, ink)
    write_png(HERE / "form.png", c.width, c.height, c.rows())


def stamp():
    width, height = 120, 80
    c = Canvas(width, height, (0, 0, 0))
    for y in range(height):
        for x in range(width):
            c.put(x, y, (0, 0, 0, 0))
    red = (220, 30, 30, 230)
    cx, cy, rx, ry = width / 2 - 0.5, height / 2 - 0.5, width / 2 - 2, height / 2 - 2
    for y in range(height):
        for x in range(width):
            d = math.hypot((x - cx) / rx, (y - cy) / ry)
            if 0.86 <= d <= 1.0:
                c.put(x, y, red)
    # A star in the middle.
    for y in range(height):
        for x in range(width):
            dx, dy = x - cx, y - cy
            r = math.hypot(dx, dy)
            a = math.atan2(dy, dx)
            edge = 9 + 6 * math.cos(5 * (a + math.pi / 2))
            if r <= edge:
                c.put(x, y, red)
    write_png(HERE / "stamp.png", width, height, c.rows())
    return base64.b64encode((HERE / "stamp.png").read_bytes()).decode()


if __name__ == "__main__":
    form()
    encoded = stamp()
    lines = [encoded[i:i + 76] for i in range(0, len(encoded), 76)]
    (HERE / "stamp.b64").write_text("\n".join(lines) + "\n")
