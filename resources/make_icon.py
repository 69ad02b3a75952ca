#!/usr/bin/env python3
"""Draws Quorbell's icon (a bell under a crescent moon) and writes it as a
one-image 32 x 32, 16-colour .ico. Run: make_icon.py resources/installer.ico"""
import struct
import sys

SIZE = 32
# The 16-colour palette, as (blue, green, red, reserved) entries.
PALETTE = [
    (0, 0, 0), (0, 0, 128), (0, 128, 0), (0, 128, 128),
    (128, 0, 0), (128, 0, 128), (128, 128, 0), (192, 192, 192),
    (128, 128, 128), (0, 0, 255), (0, 255, 0), (0, 255, 255),
    (255, 0, 0), (255, 0, 255), (255, 255, 0), (255, 255, 255),
]
OUTLINE, BODY, SHINE, CLAPPER, MOON = 0, 14, 15, 8, 11
# Bell profile: half-width of the body at each row from the crown down.
BELL_TOP, BELL_ROWS = 9, [2, 4, 5, 6, 6, 7, 7, 7, 8, 8, 8, 9, 9, 10, 11, 12]


def pixel(x, y):
    """Palette index at (x, y), or None where the icon is transparent."""
    dx, dy = x - 24.5, y - 6.5
    if dx * dx + dy * dy <= 25 and (x - 26.5) ** 2 + (y - 5.0) ** 2 > 16:
        return MOON
    row = y - BELL_TOP
    if 0 <= row < len(BELL_ROWS):
        half = BELL_ROWS[row]
        offset = abs(x - 15.5)
        if offset <= half - 1:
            return SHINE if x - 15.5 < -half + 3 and row > 2 else BODY
        if offset <= half:
            return OUTLINE
    if y == BELL_TOP + len(BELL_ROWS) and abs(x - 15.5) <= 12:
        return OUTLINE
    if BELL_TOP + len(BELL_ROWS) < y <= BELL_TOP + len(BELL_ROWS) + 3 and abs(x - 15.5) <= 2:
        return CLAPPER
    if BELL_TOP - 3 <= y < BELL_TOP and abs(x - 15.5) <= 1:
        return OUTLINE
    return None


def icon_bytes():
    colour_rows, mask_rows = [], []
    for y in reversed(range(SIZE)):  # DIB rows run bottom-up
        nibbles = [pixel(x, y) for x in range(SIZE)]
        colour_rows.append(bytes(((a or 0) << 4) | (b or 0)
                                 for a, b in zip(nibbles[0::2], nibbles[1::2])))
        bits = 0
        for x, n in enumerate(nibbles):
            if n is None:
                bits |= 1 << (31 - x)
        mask_rows.append(struct.pack(">I", bits))
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in PALETTE)
    image = header + palette + b"".join(colour_rows) + b"".join(mask_rows)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as out:
        out.write(icon_bytes())
