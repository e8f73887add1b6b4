#!/usr/bin/env python3
"""Write the editor's bitmap resources from their pixel maps.

icons.txt holds every bitmap as rows of characters, one character per pixel,
top row first; its legend maps each character to an index of the standard
16-colour palette.  Each bitmap becomes <id>.bmp beside this script: an
uncompressed 4-bit device-independent bitmap with a 14-byte file header, a
40-byte information header (image size filled in), the 16-entry colour table
and bottom-up rows padded to 4 bytes.

    make_bitmaps.py            write the .bmp files
    make_bitmaps.py --check    exit 1 when a .bmp file differs from its map
"""

import os
import struct
import sys

# The standard 16-colour palette as (red, green, blue).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]

MAX_SIDE = 256


class Bitmap:
    def __init__(self, res_id, width, height, name):
        self.res_id = res_id
        self.width = width
        self.height = height
        self.name = name
        self.rows = []  # top row first, palette indexes


def parse(text):
    """Parse the pixel-map file; raises ValueError with the line number."""
    legend = {}
    bitmaps = []
    current = None
    in_legend = False
    for number, raw in enumerate(text.splitlines(), 1):
        line = raw.rstrip()
        where = "line %d: " % number
        if current is not None:
            if line == "end":
                if len(current.rows) != current.height:
                    raise ValueError(where + "bitmap %d has %d rows, not %d"
                                     % (current.res_id, len(current.rows), current.height))
                bitmaps.append(current)
                current = None
                continue
            if len(line) != current.width:
                raise ValueError(where + "row of %d pixels, bitmap %d is %d wide"
                                 % (len(line), current.res_id, current.width))
            try:
                current.rows.append([legend[ch] for ch in line])
            except KeyError as err:
                raise ValueError(where + "character %s is not in the legend" % err) from None
            if len(current.rows) > current.height:
                raise ValueError(where + "too many rows for bitmap %d" % current.res_id)
            continue
        if not line or line.startswith("#"):
            continue
        words = line.split()
        if in_legend:
            if words == ["end"]:
                in_legend = False
            elif len(words) >= 2 and len(words[0]) == 1 and words[1].isdigit() and int(words[1]) < 16:
                legend[words[0]] = int(words[1])
            else:
                raise ValueError(where + "legend entries read: <char> <index 0-15> [name]")
        elif words == ["legend"]:
            in_legend = True
        elif words[0] == "bitmap" and len(words) >= 4:
            res_id, width, height = (int(w) for w in words[1:4])
            if not (0 < width <= MAX_SIDE and 0 < height <= MAX_SIDE):
                raise ValueError(where + "size %dx%d out of range" % (width, height))
            if any(b.res_id == res_id for b in bitmaps):
                raise ValueError(where + "bitmap %d defined twice" % res_id)
            current = Bitmap(res_id, width, height, " ".join(words[4:]))
        else:
            raise ValueError(where + "expected 'legend' or 'bitmap <id> <width> <height> [name]'")
    if current is not None or in_legend:
        raise ValueError("file ends inside a block")
    return bitmaps


def encode(bitmap):
    """The complete .bmp file of one bitmap."""
    row_bytes = (bitmap.width * 4 + 31) // 32 * 4
    pixels = bytearray()
    for row in reversed(bitmap.rows):  # bottom-up
        line = bytearray(row_bytes)
        for x, index in enumerate(row):
            line[x // 2] |= index << (4 if x % 2 == 0 else 0)
        pixels += line
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    info = struct.pack("<IiiHHIIiiII", 40, bitmap.width, bitmap.height, 1, 4, 0,
                       len(pixels), 2835, 2835, 0, 0)
    offset = 14 + len(info) + len(colours)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return header + info + colours + bytes(pixels)


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    check = "--check" in argv[1:]
    with open(os.path.join(here, "icons.txt"), encoding="ascii") as source:
        bitmaps = parse(source.read())
    stale = []
    for bitmap in bitmaps:
        path = os.path.join(here, "%d.bmp" % bitmap.res_id)
        data = encode(bitmap)
        if check:
            try:
                with open(path, "rb") as existing:
                    if existing.read() == data:
                        continue
            except OSError:
                pass
            stale.append(path)
        else:
            with open(path, "wb") as out:
                out.write(data)
    if stale:
        print("out of date (run make_bitmaps.py):", *stale, sep="\n  ")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
