#!/usr/bin/env python3
"""Turns the application's icon bitmap (an uncompressed 4- or 8-bit BMP) into
a scalable SVG icon: one square per pixel, runs of a colour merged, the
light grey background left transparent.  Usage: bmp2svg.py IN.bmp OUT.svg"""
import struct
import sys

BACKGROUND = (192, 192, 192)


def read_bmp(path):
    data = open(path, "rb").read()
    if data[:2] != b"BM":
        raise SystemExit(f"{path}: not a BMP file")
    offset = struct.unpack_from("<I", data, 10)[0]
    header, width, height, _planes, bits = struct.unpack_from("<IiiHH", data, 14)
    compression = struct.unpack_from("<I", data, 30)[0]
    if bits not in (4, 8) or compression != 0 or not (0 < width <= 1024 and 0 < abs(height) <= 1024):
        raise SystemExit(f"{path}: only uncompressed 4- or 8-bit bitmaps up to 1024 pixels")
    colours = struct.unpack_from("<I", data, 46)[0] or (1 << bits)
    palette = []
    for i in range(colours):
        b, g, r, _ = data[14 + header + 4 * i: 18 + header + 4 * i]
        palette.append((r, g, b))
    stride = ((width * bits + 31) // 32) * 4
    rows = []
    for y in range(abs(height)):
        # Bottom-up unless the height is negative.
        row_index = abs(height) - 1 - y if height > 0 else y
        row = data[offset + row_index * stride: offset + (row_index + 1) * stride]
        pixels = []
        for x in range(width):
            if bits == 8:
                index = row[x]
            else:
                byte = row[x // 2]
                index = byte >> 4 if x % 2 == 0 else byte & 0x0F
            pixels.append(palette[index])
        rows.append(pixels)
    return width, abs(height), rows


def main():
    if len(sys.argv) != 3:
        raise SystemExit(__doc__)
    width, height, rows = read_bmp(sys.argv[1])
    out = [
        '<?xml version="1.0" encoding="UTF-8"?>',
        f'<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 {width} {height}" '
        'shape-rendering="crispEdges">',
    ]
    for y, pixels in enumerate(rows):
        x = 0
        while x < width:
            colour = pixels[x]
            run = 1
            while x + run < width and pixels[x + run] == colour:
                run += 1
            if colour != BACKGROUND:
                out.append(f'<rect x="{x}" y="{y}" width="{run}" height="1" fill="#{colour[0]:02x}{colour[1]:02x}{colour[2]:02x}"/>')
            x += run
    out.append("</svg>")
    with open(sys.argv[2], "w", encoding="utf-8") as f:
        f.write("\n".join(out) + "\n")


main()
