#!/usr/bin/env python3
"""Writes link_cursor.cur, the pointing-hand cursor the about box falls back
on when the system has none: 32x32, monochrome, hot spot on the finger tip.
Run it again after changing the picture: python3 make_link_cursor.py"""
import os
import struct

SIZE = 32
HOT_SPOT = (5, 0)
# '#' black outline, '.' white fill, ' ' transparent.
PICTURE = """
    ##
   #..#
   #..#
   #..#
   #..#
   #..###
   #..#..###
   #..#..#..##
   #..#..#..#.#
####..#..#..#..#
#..#.........#.#
#..#...........#
 #.............#
  #............#
  #...........#
   #..........#
   #..........#
    #........#
    #........#
    ##########
""".strip("\n").split("\n")


def masks():
    xor_rows, and_rows = [], []
    for y in range(SIZE):
        line = PICTURE[y] if y < len(PICTURE) else ""
        xor_bits = and_bits = 0
        for x in range(SIZE):
            c = line[x] if x < len(line) else " "
            bit = 1 << (SIZE - 1 - x)
            if c == " ":
                and_bits |= bit
            elif c == ".":
                xor_bits |= bit
        xor_rows.append(struct.pack(">I", xor_bits))
        and_rows.append(struct.pack(">I", and_bits))
    # Bitmap rows are stored bottom-up.
    return b"".join(reversed(xor_rows)), b"".join(reversed(and_rows))


def cursor_bytes():
    xor_mask, and_mask = masks()
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 1, 0,
                         len(xor_mask) + len(and_mask), 0, 0, 2, 0)
    palette = struct.pack("<II", 0x000000, 0xFFFFFF)
    image = header + palette + xor_mask + and_mask
    directory = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, HOT_SPOT[0], HOT_SPOT[1],
                        len(image), 6 + 16)
    return directory + entry + image


if __name__ == "__main__":
    target = os.path.join(os.path.dirname(os.path.abspath(__file__)), "link_cursor.cur")
    with open(target, "wb") as out:
        out.write(cursor_bytes())
