#!/usr/bin/env python3
"""Draws the program icon, an optical disc with a down arrow, and writes it
as a .ico file with a 32 x 32 and a 16 x 16 image of 16 colours."""
import struct
import sys

# The 16 colours every display of Windows 9x shows without dithering.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DARK_GREY, LIGHT_GREY, WHITE, CYAN, RED = 0, 8, 7, 15, 14, 9
TRANSPARENT = None


def draw(size):
    """Rows top to bottom of palette indexes, None where transparent."""
    c = (size - 1) / 2.0
    outer, hole = size / 2.0 - 0.5, size / 10.0 + 0.5
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            r = ((x - c) ** 2 + (y - c) ** 2) ** 0.5
            if r > outer:
                row.append(TRANSPARENT)
            elif r > outer - 1:
                row.append(DARK_GREY)
            elif r < hole:
                row.append(TRANSPARENT)
            elif r < hole + 1:
                row.append(DARK_GREY)
            else:
                row.append(CYAN if (x + y) % 7 == 0 and r > outer / 2 else LIGHT_GREY if x < y else WHITE)
        rows.append(row)
    # A red arrow pointing down into the disc: firmware going in.
    s = size // 16
    mid = size // 2
    for y in range(1 * s, 6 * s):
        for x in range(mid - s, mid + s):
            rows[y][x] = RED
    for i in range(3 * s):
        y = 6 * s + i
        for x in range(mid - 3 * s + i, mid + 3 * s - i):
            rows[y][x] = RED
    return rows


def image(size):
    rows = draw(size)
    xor_stride = ((size * 4 + 31) // 32) * 4
    and_stride = ((size + 31) // 32) * 4
    xor, mask = bytearray(), bytearray()
    for row in reversed(rows):  # bottom-up, as bitmaps are stored
        line = bytearray(xor_stride)
        bits = bytearray(and_stride)
        for x, colour in enumerate(row):
            index = BLACK if colour is TRANSPARENT else colour
            line[x // 2] |= index << (4 if x % 2 == 0 else 0)
            if colour is TRANSPARENT:
                bits[x // 8] |= 0x80 >> (x % 8)
        xor += line
        mask += bits
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in PALETTE)
    return header + palette + bytes(xor) + bytes(mask)


def main():
    images = [(32, image(32)), (16, image(16))]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    out += b''.join(data for _, data in images)
    with open(sys.argv[1], 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    main()
