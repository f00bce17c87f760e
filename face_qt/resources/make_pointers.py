#!/usr/bin/env python3
"""Writes the two pointer images that sit beside the program.

HAND-M.CUR: a pointing hand, 32x32, as a Windows cursor file (type 2) with its
hot spot on the fingertip. drag.ico: a small sheet with an up/down arrow, 32x32,
as a Windows icon file (type 1). Both hold one 32-bit BMP image (BITMAPINFOHEADER,
rows bottom-up, height doubled for the AND mask), the form every reader takes.

Run it again after changing a drawing: python3 make_pointers.py
"""
import os
import struct

# '#' outline, '.' fill, ' ' transparent.
HAND = """
      ##
     #..#
     #..#
     #..#
     #..#
     #..###
     #..#..###
     #..#..#..##
     #..#..#..#.#
  ## #..#..#..#..#
 #..##........#..#
 #...#...........#
  #..#...........#
  #..............#
   #.............#
   #.............#
    #...........#
    #...........#
     #.........#
     #.........#
      #########
"""
HAND_HOTSPOT = (7, 0)

DRAG = """
       ##############
       #............##
       #....##......#.#
       #...####.....####
       #..######.......#
       #....##.........#
       #....##.........#
       #....##.........#
       #....##.........#
       #..######.......#
       #...####........#
       #....##.........#
       #...............#
       #################
"""


def rows_of(drawing, size=32):
    lines = drawing.strip("\n").split("\n")
    rows = []
    for y in range(size):
        line = lines[y] if y < len(lines) else ""
        rows.append([line[x] if x < len(line) else " " for x in range(size)])
    return rows


def dib(rows, outline, fill):
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    mask = bytearray()
    mask_stride = ((size + 31) // 32) * 4
    for y in reversed(range(size)):  # bottom-up
        mask_row = bytearray(mask_stride)
        for x in range(size):
            c = rows[y][x]
            if c == "#":
                r, g, b, a = (*outline, 255)
            elif c == ".":
                r, g, b, a = (*fill, 255)
            else:
                r, g, b, a = 0, 0, 0, 0
                mask_row[x // 8] |= 0x80 >> (x % 8)
            pixels += bytes((b, g, r, a))
        mask += mask_row
    return header + bytes(pixels) + bytes(mask)


def write_file(path, kind, rows, hotspot, outline, fill):
    image = dib(rows, outline, fill)
    size = len(rows)
    directory = struct.pack("<HHH", 0, kind, 1)
    planes_or_x, bits_or_y = hotspot if kind == 2 else (1, 32)
    entry = struct.pack("<BBBBHHII", size, size, 0, 0, planes_or_x, bits_or_y,
                        len(image), 6 + 16)
    with open(path, "wb") as f:
        f.write(directory + entry + image)


here = os.path.dirname(os.path.abspath(__file__))
write_file(os.path.join(here, "HAND-M.CUR"), 2, rows_of(HAND), HAND_HOTSPOT,
           (0, 0, 0), (255, 255, 255))
write_file(os.path.join(here, "drag.ico"), 1, rows_of(DRAG), None,
           (16, 48, 112), (224, 236, 255))
