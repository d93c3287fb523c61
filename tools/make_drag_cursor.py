#!/usr/bin/env python3
"""Writes the drag cursor of the resource module (components/resources/dragmove.cur).

The cursor is 32 x 32, monochrome: the standard arrow with its tip, the hotspot,
at (0, 0), and a badge of three stacked picture cards below and to its right,
which says "these pictures move". Run it after changing the drawing and commit
both this script and the .cur file, so that the build needs no Python:

    python3 tools/make_drag_cursor.py [output.cur] [--preview]
"""
import os
import struct
import sys

SIZE = 32
HOTSPOT = (0, 0)

# '.' transparent, 'X' black, 'o' white.
ARROW = [
    "X",
    "XX",
    "XoX",
    "XooX",
    "XoooX",
    "XooooX",
    "XoooooX",
    "XooooooX",
    "XoooooooX",
    "XooooooooX",
    "XoooooXXXXX",
    "XooXooX",
    "XoX.XooX",
    "XX..XooX",
    "X....XooX",
    ".....XooX",
    "......XX",
]

CARD_W, CARD_H = 13, 10
# Back to front, so that each card covers the one behind it.
CARDS = [(19, 13), (16, 16), (13, 19)]

# Inside of the front card: a sun over hills.
FRONT_PICTURE = [
    "ooooooooooo",
    "oooooooXXoo",
    "oooooooXXoo",
    "ooooooooooo",
    "ooXoooooooo",
    "oXXXooXoooo",
    "XXXXXXXXXoo",
    "XXXXXXXXXXX",
]


def draw():
    grid = [["."] * SIZE for _ in range(SIZE)]
    for y, row in enumerate(ARROW):
        for x, c in enumerate(row):
            if c != ".":
                grid[y][x] = c
    for left, top in CARDS:
        for y in range(top, top + CARD_H):
            for x in range(left, left + CARD_W):
                edge = y in (top, top + CARD_H - 1) or x in (left, left + CARD_W - 1)
                grid[y][x] = "X" if edge else "o"
    left, top = CARDS[-1]
    for y, row in enumerate(FRONT_PICTURE):
        for x, c in enumerate(row):
            grid[top + 1 + y][left + 1 + x] = c
    return grid


def mask_rows(grid, bit_of):
    """Packs one 1-bit plane bottom-up, rows of 4 bytes, most significant bit first."""
    data = bytearray()
    for row in reversed(grid):
        value = 0
        for c in row:
            value = (value << 1) | bit_of(c)
        data += value.to_bytes(SIZE // 8, "big")
    return bytes(data)


def cursor_bytes(grid):
    # AND mask: 1 keeps the screen (transparent). XOR plane: palette index, 1 = white.
    xor_plane = mask_rows(grid, lambda c: 1 if c == "o" else 0)
    and_mask = mask_rows(grid, lambda c: 1 if c == "." else 0)
    palette = struct.pack("<4B4B", 0, 0, 0, 0, 255, 255, 255, 0)
    # A cursor image's header counts both planes in its height.
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 1, 0,
                         len(xor_plane) + len(and_mask), 0, 0, 2, 0)
    image = header + palette + xor_plane + and_mask
    directory = struct.pack("<HHH", 0, 2, 1)  # reserved, type 2 = cursor, one image
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 2, 0, HOTSPOT[0], HOTSPOT[1],
                        len(image), 6 + 16)
    return directory + entry + image


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    out = os.path.join(here, "..", "components", "resources", "dragmove.cur")
    preview = False
    for arg in argv[1:]:
        if arg == "--preview":
            preview = True
        else:
            out = arg
    grid = draw()
    if preview:
        print("\n".join("".join(row) for row in grid))
    with open(out, "wb") as f:
        f.write(cursor_bytes(grid))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
