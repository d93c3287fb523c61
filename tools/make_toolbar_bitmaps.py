#!/usr/bin/env python3
"""Writes the album manager's toolbar strips and its docked close button.

usage: make_toolbar_bitmaps.py OUTPUT_FOLDER

Every icon is drawn from a few shapes on a 16-unit square and rendered with
4 x 4 supersampling, so the 16-pixel classic strips and the 20-pixel strips
of the new look come from the same drawing. A strip holds the nine buttons
in toolbar order: add, search, acquire, sort, delete, save, print, batch,
help. Each look has four strips, passed to the toolbar library in this
order: normal, hot (under the mouse), disabled, pressed.

Pixels no shape touches are magenta (255, 0, 255), the toolbar library's
transparent colour; edge pixels that shapes cover in part are blended with
the light grey of a button face, so no pink fringe shows on a toolbar.
The output is deterministic: 24-bit bottom-up BMP files.
"""
import math
import os
import struct
import sys

KEY = (255, 0, 255)
FACE = (240, 240, 240)
SUB = 4  # supersamples per pixel and axis


# --- shapes: each answers whether a design-space point lies inside ---------

def rect(x0, y0, x1, y1, r=0.0):
    def inside(x, y):
        if x < x0 or x > x1 or y < y0 or y > y1:
            return False
        if r <= 0:
            return True
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, r, width):
    def inside(x, y):
        d = math.hypot(x - cx, y - cy)
        return r - width / 2 <= d <= r + width / 2
    return inside


def segment_distance(x, y, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    length = dx * dx + dy * dy
    t = 0.0 if length == 0 else max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / length))
    return math.hypot(x - (ax + t * dx), y - (ay + t * dy))


def line(points, width):
    pairs = list(zip(points, points[1:]))
    return lambda x, y: any(segment_distance(x, y, a[0], a[1], b[0], b[1]) <= width / 2 for a, b in pairs)


def polygon(points):
    def inside(x, y):
        hit = False
        j = len(points) - 1
        for i in range(len(points)):
            xi, yi = points[i]
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                hit = not hit
            j = i
        return hit
    return inside


def shifted(shape, dx, dy):
    return lambda x, y: shape(x - dx, y - dy)


# --- the icons: lists of (shape, colour), painted in order -----------------

INK = (40, 52, 72)
WHITE = (255, 255, 255)
SKY = (170, 210, 245)
GREEN = (46, 150, 60)
LEAF = (90, 170, 80)
SUN = (245, 190, 40)
BLUE = (40, 100, 190)
RED = (205, 40, 40)
GREY = (120, 128, 140)
LIGHT = (205, 210, 218)


def picture(x0, y0, x1, y1):
    """A framed landscape: the album's own sign for a picture."""
    w, h = x1 - x0, y1 - y0
    return [
        (rect(x0, y0, x1, y1, 0.8), INK),
        (rect(x0 + 1.1, y0 + 1.1, x1 - 1.1, y1 - 1.1), SKY),
        (polygon([(x0 + 1.1, y1 - 1.1), (x0 + 0.42 * w, y0 + 0.45 * h), (x0 + 0.62 * w, y0 + 0.7 * h),
                  (x0 + 0.75 * w, y0 + 0.55 * h), (x1 - 1.1, y1 - 1.6), (x1 - 1.1, y1 - 1.1)]), LEAF),
        (circle(x0 + 0.72 * w, y0 + 0.3 * h, 0.11 * w + 0.3), SUN),
    ]


ICONS = {
    "add": picture(0.5, 1.5, 12.5, 11.5) + [
        (circle(11.8, 11.8, 4.0), WHITE),
        (circle(11.8, 11.8, 3.5), GREEN),
        (line([(9.6, 11.8), (14.0, 11.8)], 1.5), WHITE),
        (line([(11.8, 9.6), (11.8, 14.0)], 1.5), WHITE),
    ],
    "search": [
        (circle(6.5, 6.5, 4.6), SKY),
        (ring(6.5, 6.5, 4.6, 1.7), INK),
        (line([(10.0, 10.0), (14.4, 14.4)], 2.6), (120, 80, 40)),
        (line([(4.4, 5.2), (5.4, 4.1)], 1.0), WHITE),
    ],
    "acquire": [
        (rect(5.0, 2.5, 10.5, 6.0, 0.8), INK),
        (rect(0.8, 4.5, 15.2, 14.0, 1.5), INK),
        (rect(1.9, 5.6, 14.1, 12.9, 1.0), GREY),
        (circle(8.0, 9.3, 3.6), INK),
        (circle(8.0, 9.3, 2.5), BLUE),
        (circle(7.2, 8.5, 0.8), SKY),
        (rect(11.6, 6.3, 13.4, 7.6), SUN),
    ],
    "sort": [
        (rect(1.0, 2.0, 10.0, 4.2, 0.5), BLUE),
        (rect(1.0, 6.2, 8.0, 8.4, 0.5), BLUE),
        (rect(1.0, 10.4, 5.5, 12.6, 0.5), BLUE),
        (line([(12.8, 2.0), (12.8, 12.0)], 1.8), INK),
        (polygon([(9.8, 10.4), (15.8, 10.4), (12.8, 14.6)]), INK),
    ],
    "delete": [
        (line([(3.2, 3.2), (12.8, 12.8)], 3.0), RED),
        (line([(12.8, 3.2), (3.2, 12.8)], 3.0), RED),
    ],
    "save": [
        (rect(1.5, 1.5, 14.5, 14.5, 1.2), BLUE),
        (rect(4.2, 1.5, 11.8, 6.6), WHITE),
        (rect(9.2, 2.5, 10.8, 5.6), BLUE),
        (rect(3.6, 9.0, 12.4, 14.5, 0.6), LIGHT),
        (line([(5.2, 11.0), (10.8, 11.0)], 0.8), GREY),
        (line([(5.2, 12.8), (10.8, 12.8)], 0.8), GREY),
    ],
    "print": [
        (rect(3.6, 1.0, 12.4, 7.0), INK),
        (rect(4.5, 1.9, 11.5, 7.0), WHITE),
        (rect(0.8, 5.8, 15.2, 12.2, 1.5), INK),
        (rect(1.9, 6.9, 14.1, 11.1, 0.8), GREY),
        (circle(12.5, 8.4, 0.8), (90, 220, 90)),
        (rect(3.6, 9.6, 12.4, 15.2), INK),
        (rect(4.5, 9.6, 11.5, 14.3), WHITE),
        (line([(5.6, 11.6), (10.4, 11.6)], 0.8), GREY),
    ],
    "batch": [
        (rect(5.0, 0.6, 15.4, 9.2, 0.8), INK),
        (rect(6.1, 1.7, 14.3, 8.1), LIGHT),
        (rect(2.8, 2.8, 13.2, 11.4, 0.8), INK),
        (rect(3.9, 3.9, 12.1, 10.3), LIGHT),
    ] + picture(0.5, 5.0, 11.0, 14.5) + [
        (polygon([(13.4, 7.6), (10.4, 12.0), (12.6, 12.0), (11.4, 15.6), (15.2, 10.6), (13.0, 10.6),
                  (14.4, 7.6)]), SUN),
        (line([(13.4, 7.6), (10.4, 12.0), (12.6, 12.0), (11.4, 15.6), (15.2, 10.6), (13.0, 10.6),
               (14.4, 7.6), (13.4, 7.6)], 0.5), (150, 100, 20)),
    ],
    "help": [
        (circle(8.0, 8.0, 7.4), BLUE),
        (line([(5.5, 5.9), (5.9, 4.4), (7.0, 3.6), (8.6, 3.5), (10.0, 4.3), (10.5, 5.7), (9.9, 7.1),
               (8.4, 8.2), (8.0, 9.0), (8.0, 10.0)], 1.9), WHITE),
        (circle(8.0, 12.5, 1.2), WHITE),
    ],
}
ORDER = ["add", "search", "acquire", "sort", "delete", "save", "print", "batch", "help"]

CLOSE = [
    (line([(3.5, 3.5), (12.5, 12.5)], 2.6), (60, 60, 60)),
    (line([(12.5, 3.5), (3.5, 12.5)], 2.6), (60, 60, 60)),
]


# --- the four states --------------------------------------------------------

def normal(c):
    return c


def hot(c):
    # Under the mouse the icon lights up: a touch brighter, colours stronger.
    grey = sum(c) / 3
    return tuple(max(0, min(255, int(grey + (v - grey) * 1.25 + 18))) for v in c)


def disabled(c):
    # Greyed: the shape stays readable, its colour goes.
    luma = 0.299 * c[0] + 0.587 * c[1] + 0.114 * c[2]
    v = int(130 + luma * 0.38)
    return (v, v, v)


def pressed(c):
    return tuple(int(v * 0.82) for v in c)


def render(layers, size, state, offset=0.0, background=None):
    """Pixels of one icon, rows top first, as (r, g, b) tuples."""
    scale = 16.0 / size
    pixels = []
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = 0.0
            alpha = 0.0
            for sy in range(SUB):
                for sx in range(SUB):
                    x = (px + (sx + 0.5) / SUB) * scale - offset
                    y = (py + (sy + 0.5) / SUB) * scale - offset
                    colour = None
                    for shape, c in layers:
                        if shape(x, y):
                            colour = c
                    if colour is not None:
                        colour = state(colour)
                        r += colour[0]
                        g += colour[1]
                        b += colour[2]
                        alpha += 1
            n = SUB * SUB
            if alpha == 0:
                row.append(background or KEY)
            else:
                base = background or FACE
                row.append(tuple(int(round((acc + (n - alpha) * bg) / n))
                                 for acc, bg in zip((r, g, b), base)))
        pixels.append(row)
    return pixels


def write_bmp(path, rows):
    height = len(rows)
    width = len(rows[0])
    stride = (width * 3 + 3) & ~3
    body = bytearray()
    for row in reversed(rows):  # bottom-up
        line_bytes = bytearray()
        for r, g, b in row:
            line_bytes += bytes((b, g, r))
        line_bytes += b"\0" * (stride - len(line_bytes))
        body += line_bytes
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(body), 0, 0, 14 + 40)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(body), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + body)


def strip(size, state, offset=0.0):
    icons = [render(ICONS[name], size, state, offset) for name in ORDER]
    return [sum((icon[y] for icon in icons), []) for y in range(size)]


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    # The pressed icon sinks by one pixel, as a pushed button's face does.
    states = [("normal", normal, 0.0), ("hot", hot, 0.0), ("disabled", disabled, 0.0), ("pressed", pressed, 1.0)]
    for look, size in (("classic", 16), ("new", 20)):
        for name, state, shift in states:
            write_bmp(os.path.join(out, "toolbar_%s_%s.bmp" % (look, name)),
                      strip(size, state, shift * 16.0 / size))
    write_bmp(os.path.join(out, "close_button.bmp"), render(CLOSE, 12, normal, background=FACE))


if __name__ == "__main__":
    main()
