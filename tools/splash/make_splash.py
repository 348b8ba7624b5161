#!/usr/bin/env python3
# SPDX-License-Identifier: BSD-2-Clause
"""Draws the splash picture of GPS Desk (a sky plot over a compass tape, with the title)
and writes it as a PNG to resources/splash.png, the name the splash drawer looks up.

Standard library only: shapes are rasterised from their distance fields with an
anti-aliased edge, then composited over a gradient and packed with zlib.

    python3 tools/splash/make_splash.py [OUTPUT]
"""

import math
import os
import struct
import sys
import zlib

WIDTH, HEIGHT = 320, 320


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def hex_colour(text):
    return tuple(int(text[i:i + 2], 16) / 255.0 for i in (1, 3, 5))


class Picture:
    def __init__(self, width, height):
        self.width = width
        self.height = height
        self.pixels = [[(0.0, 0.0, 0.0)] * width for _ in range(height)]

    def background(self):
        top = hex_colour("#163a63")
        bottom = hex_colour("#06101d")
        cx, cy = self.width * 0.5, self.height * 0.38
        reach = math.hypot(self.width, self.height) * 0.62
        for y in range(self.height):
            row = self.pixels[y]
            for x in range(self.width):
                t = min(1.0, math.hypot(x + 0.5 - cx, y + 0.5 - cy) / reach)
                row[x] = mix(top, bottom, t * t * (3 - 2 * t))

    def blend(self, coverage, colour, alpha=1.0):
        """coverage: {(x, y): 0..1}, composited with the colour over the picture."""
        for (x, y), c in coverage.items():
            a = c * alpha
            if a <= 0.0:
                continue
            self.pixels[y][x] = mix(self.pixels[y][x], colour, min(1.0, a))

    def png(self):
        raw = bytearray()
        for row in self.pixels:
            raw.append(0)
            for r, g, b in row:
                raw.extend(max(0, min(255, int(round(v * 255)))) for v in (r, g, b))

        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

        header = struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0)
        return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
                chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / length2))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


class Layer:
    """Coverage of one colour: the union of strokes and fills drawn into it."""

    def __init__(self, picture):
        self.picture = picture
        self.coverage = {}

    def _pixels(self, x0, y0, x1, y1):
        for y in range(max(0, int(y0) - 1), min(self.picture.height, int(y1) + 2)):
            for x in range(max(0, int(x0) - 1), min(self.picture.width, int(x1) + 2)):
                yield x, y

    def _put(self, x, y, c):
        if c > 0.0:
            key = (x, y)
            if c > self.coverage.get(key, 0.0):
                self.coverage[key] = min(1.0, c)

    def polyline(self, points, width):
        half = width / 2.0
        for (ax, ay), (bx, by) in zip(points, points[1:]):
            for x, y in self._pixels(min(ax, bx) - half, min(ay, by) - half,
                                     max(ax, bx) + half, max(ay, by) + half):
                d = segment_distance(x + 0.5, y + 0.5, ax, ay, bx, by)
                self._put(x, y, 0.5 - (d - half))

    def ring(self, cx, cy, radius, width):
        half = width / 2.0
        for x, y in self._pixels(cx - radius - half, cy - radius - half,
                                 cx + radius + half, cy + radius + half):
            d = abs(math.hypot(x + 0.5 - cx, y + 0.5 - cy) - radius)
            self._put(x, y, 0.5 - (d - half))

    def disc(self, cx, cy, radius):
        for x, y in self._pixels(cx - radius, cy - radius, cx + radius, cy + radius):
            d = math.hypot(x + 0.5 - cx, y + 0.5 - cy) - radius
            self._put(x, y, 0.5 - d)

    def glow(self, cx, cy, radius, strength):
        for x, y in self._pixels(cx - radius, cy - radius, cx + radius, cy + radius):
            t = math.hypot(x + 0.5 - cx, y + 0.5 - cy) / radius
            if t < 1.0:
                self._put(x, y, strength * (1.0 - t) ** 2)

    def polygon(self, points):
        xs = [p[0] for p in points]
        ys = [p[1] for p in points]
        edges = list(zip(points, points[1:] + points[:1]))
        for x, y in self._pixels(min(xs), min(ys), max(xs), max(ys)):
            px, py = x + 0.5, y + 0.5
            inside = False
            for (ax, ay), (bx, by) in edges:
                if (ay > py) != (by > py) and px < ax + (py - ay) * (bx - ax) / (by - ay):
                    inside = not inside
            d = min(segment_distance(px, py, ax, ay, bx, by) for (ax, ay), (bx, by) in edges)
            self._put(x, y, 0.5 + d if inside else 0.5 - d)

    def draw(self, colour, alpha=1.0):
        self.picture.blend(self.coverage, colour, alpha)


def arc(cx, cy, rx, ry, start, end, steps=24):
    """Points of an elliptic arc, angles in degrees counterclockwise (y up)."""
    return [(cx + rx * math.cos(math.radians(start + (end - start) * i / steps)),
             cy + ry * math.sin(math.radians(start + (end - start) * i / steps)))
            for i in range(steps + 1)]


# A small stroke font: each glyph is a list of polylines in a box one unit high (cap height),
# y up, and an advance width.
GLYPHS = {
    "G": (0.86, [arc(0.45, 0.5, 0.43, 0.5, 40, 320, 40) + [(0.88, 0.43), (0.55, 0.43)]]),
    "P": (0.70, [[(0.04, 0.0), (0.04, 1.0), (0.40, 1.0)] + arc(0.40, 0.74, 0.26, 0.26, 90, -90)
                 + [(0.04, 0.48)]]),
    "S": (0.74, [arc(0.37, 0.745, 0.31, 0.255, 25, 270) + arc(0.37, 0.255, 0.33, 0.255, 90, -155)]),
    " ": (0.34, []),
    "D": (0.82, [[(0.04, 0.0), (0.04, 1.0), (0.30, 1.0)] + arc(0.30, 0.5, 0.46, 0.5, 90, -90)
                 + [(0.04, 0.0)]]),
    "e": (0.64, [[(0.04, 0.31), (0.58, 0.31)] + arc(0.31, 0.31, 0.27, 0.31, 0, 310, 36)]),
    "s": (0.56, [arc(0.27, 0.465, 0.23, 0.155, 20, 270) + arc(0.27, 0.155, 0.245, 0.155, 90, -155)]),
    "k": (0.60, [[(0.04, 0.0), (0.04, 1.0)], [(0.50, 0.62), (0.04, 0.22)], [(0.20, 0.36), (0.54, 0.0)]]),
}


def text_width(text, size, tracking):
    return sum(GLYPHS[ch][0] * size + tracking for ch in text) - tracking


def draw_text(layer, text, x, baseline, size, weight, tracking):
    for ch in text:
        advance, strokes = GLYPHS[ch]
        for stroke in strokes:
            layer.polyline([(x + px * size, baseline - py * size) for px, py in stroke], weight)
        x += advance * size + tracking


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "..", "resources", "splash.png")
    picture = Picture(WIDTH, HEIGHT)
    picture.background()

    ink = hex_colour("#e8f1fb")
    grid = hex_colour("#7fa6cf")
    green = hex_colour("#35e07f")
    amber = hex_colour("#ffb547")

    # Sky plot: horizon and 45-degree rings, meridians, 30-degree azimuth ticks.
    cx, cy, r = 160.0, 128.0, 96.0
    faint = Layer(picture)
    faint.ring(cx, cy, r / 2, 1.2)
    faint.polyline([(cx - r, cy), (cx + r, cy)], 1.0)
    faint.polyline([(cx, cy - r), (cx, cy + r)], 1.0)
    faint.draw(grid, 0.45)
    rings = Layer(picture)
    rings.ring(cx, cy, r, 2.2)
    for degree in range(0, 360, 30):
        a = math.radians(degree)
        inner = r - (9 if degree % 90 == 0 else 5)
        rings.polyline([(cx + inner * math.sin(a), cy - inner * math.cos(a)),
                        (cx + r * math.sin(a), cy - r * math.cos(a))], 2.0)
    rings.draw(grid, 0.95)

    # North pointer above the ring.
    north = Layer(picture)
    north.polygon([(cx - 7, cy - r - 4), (cx, cy - r - 17), (cx + 7, cy - r - 4)])
    north.draw(amber)

    # Satellites: (elevation, azimuth, strong?)
    satellites = [(62, 40, True), (35, 110, True), (18, 200, True), (70, 250, True),
                  (28, 300, True), (50, 165, True), (10, 72, False), (42, 338, True)]
    glow = Layer(picture)
    strong = Layer(picture)
    weak = Layer(picture)
    for elevation, azimuth, good in satellites:
        rho = (90 - elevation) * r / 90.0
        a = math.radians(azimuth)
        sx, sy = cx + rho * math.sin(a), cy - rho * math.cos(a)
        glow.glow(sx, sy, 16, 0.55 if good else 0.35)
        (strong if good else weak).disc(sx, sy, 5.2)
    glow.draw(green, 0.5)
    strong.draw(green)
    weak.draw(amber)

    # Title.
    size, weight, tracking = 36.0, 4.2, 3.0
    title = "GPS Desk"
    title_layer = Layer(picture)
    draw_text(title_layer, title, (WIDTH - text_width(title, size, tracking)) / 2, 272, size,
              weight, tracking)
    title_layer.draw(ink)

    # Compass tape under the title: ticks every 5 degrees, a mark at the middle.
    tape = Layer(picture)
    left, right, base = 40.0, 280.0, 306.0
    tape.polyline([(left, base), (right, base)], 1.2)
    for i in range(0, 49):
        x = left + i * (right - left) / 48
        tall = 9 if i % 6 == 0 else 5
        tape.polyline([(x, base), (x, base - tall)], 1.4)
    tape.draw(grid, 0.8)
    mark = Layer(picture)
    mark.polygon([(160 - 6, base + 1), (160, base - 10), (160 + 6, base + 1)])
    mark.draw(amber)

    with open(out, "wb") as f:
        f.write(picture.png())
    print(out)


if __name__ == "__main__":
    main()
