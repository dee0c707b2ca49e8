#!/usr/bin/env python3
"""Draws the program's icon, sudoku.ico: a sudoku grid, 32 x 32 pixels.

    python3 resources/draw_icon.py [--preview build/icon.png]

Heavy lines frame the nine 3 x 3 boxes, thin lines part the cells, and a few cells are filled
as given digits. The icon holds one image, 24 bits per pixel with a 1-bit transparency mask;
the four corner pixels are transparent, which rounds the frame a little. --preview also writes
the picture eight times enlarged as a PNG, to look at.
"""

import argparse
import pathlib
import struct
import zlib

SIZE = 32
HEAVY = (0x1F, 0x2D, 0x5A)  # dark blue: the frame and the box lines
THIN = (0xC4, 0xCC, 0xDC)  # grey-blue: the lines between cells
PAPER = (0xFF, 0xFF, 0xFF)
GIVEN = (0xC8, 0x32, 0x28)  # red: the filled cells

# Cells shown as given digits, marked x, row by row from the top: a few in every box.
GIVEN_ROWS = [
    ".x...x...",
    "...x....x",
    "x.....x..",
    "..x.x....",
    "x......x.",
    ".....x..x",
    ".x.x.....",
    "....x.x..",
    "..x....x.",
]
GIVEN_CELLS = {
    (row, column)
    for row, marks in enumerate(GIVEN_ROWS)
    for column, mark in enumerate(marks)
    if mark == "x"
}


# Along either axis: a 2-pixel heavy line, then for each box three 2-pixel cells parted by
# 1-pixel thin lines and followed by another heavy line: 2 + 3 * (2 + 1 + 2 + 1 + 2 + 2) = 32.
def axis():
    """For each pixel position: ('heavy'|'thin', None) or ('cell', cell index)."""
    kinds = [("heavy", None)] * 2
    for box in range(3):
        for step in range(3):
            kinds += [("cell", box * 3 + step)] * 2
            kinds += [("thin", None)] if step < 2 else [("heavy", None)] * 2
    assert len(kinds) == SIZE
    return kinds


def draw():
    """The picture as rows of (r, g, b), top row first, and the set of transparent pixels."""
    along = axis()
    pixels = []
    for y in range(SIZE):
        row = []
        for x in range(SIZE):
            (row_kind, cell_row), (column_kind, cell_column) = along[y], along[x]
            if "heavy" in (row_kind, column_kind):
                row.append(HEAVY)
            elif "thin" in (row_kind, column_kind):
                row.append(THIN)
            else:
                row.append(GIVEN if (cell_row, cell_column) in GIVEN_CELLS else PAPER)
        pixels.append(row)
    last = SIZE - 1
    transparent = {(0, 0), (0, last), (last, 0), (last, last)}
    return pixels, transparent


def icon_file(pixels, transparent):
    """The .ico bytes: header, one directory entry, and the image as a bottom-up bitmap."""
    colours = bytearray()
    mask = bytearray()
    for y in reversed(range(SIZE)):
        bits = 0
        for x in range(SIZE):
            if (y, x) in transparent:
                colours += b"\0\0\0"  # transparent pixels are black under the mask
                bits |= 1 << (SIZE - 1 - x)
            else:
                r, g, b = pixels[y][x]
                colours += bytes((b, g, r))
        mask += bits.to_bytes(SIZE // 8, "big")
    # The bitmap header counts the colours and the mask together: twice the height.
    header = struct.pack(
        "<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 24, 0, len(colours) + len(mask), 0, 0, 0, 0
    )
    image = header + colours + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 24, len(image), 6 + 16)
    return directory + entry + image


def preview_png(pixels, transparent, scale=8):
    """The picture enlarged as a PNG with transparency, for review."""
    raw = bytearray()
    for y in range(SIZE):
        line = bytearray()
        for x in range(SIZE):
            alpha = 0 if (y, x) in transparent else 255
            line += bytes((*pixels[y][x], alpha)) * scale
        raw += (b"\0" + line) * scale

    def chunk(kind, data):
        return (
            struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
        )

    size = SIZE * scale
    return (
        b"\x89PNG\r\n\x1a\n"
        + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
        + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
        + chunk(b"IEND", b"")
    )


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--preview", type=pathlib.Path, help="also write an enlarged PNG here")
    arguments = parser.parse_args()
    pixels, transparent = draw()
    pathlib.Path(__file__).with_name("sudoku.ico").write_bytes(icon_file(pixels, transparent))
    if arguments.preview:
        arguments.preview.parent.mkdir(parents=True, exist_ok=True)
        arguments.preview.write_bytes(preview_png(pixels, transparent))


if __name__ == "__main__":
    main()
