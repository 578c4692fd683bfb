#!/usr/bin/env python3
"""Draws the agent's icons and writes them as .ico files.

The picture is a sheet of paper with lines of text and a red seal in its
lower right corner: the agent signs and encrypts files.  It is drawn from
shapes in unit coordinates, so every size comes out of the same drawing.

  make_icons.py OUTPUT_DIR

writes icon129.ico (32x32 and 16x16 in 16 colours, 32x32 in 256 colours),
icon133.ico (32x32, 16 colours) and icon134.ico (16x16, 256 colours).
"""
import os
import struct
import sys

# The standard 16-colour palette of Windows.
VGA = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


def palette_256():
    """The 16 standard colours, then shades of red and of blue-grey."""
    colours = list(VGA)
    for i in range(120):
        t = i / 119
        colours.append((int(120 + 135 * t), int(20 * t), int(20 * t)))
    for i in range(120):
        t = i / 119
        colours.append((int(200 + 55 * t), int(210 + 45 * t), int(225 + 30 * t)))
    return colours


def shape_at(x, y):
    """What the drawing holds at (x, y) in [0, 1): None for transparent,
    else a (name, shade) pair; shade in [0, 1] is used where colours allow."""
    sx, sy, r = 0.68, 0.70, 0.27
    d2 = (x - sx) ** 2 + (y - sy) ** 2
    if d2 <= r * r:
        if d2 >= (r - 0.07) ** 2:
            return ("seal_rim", 0.0)
        # A tick across the seal.
        u, v = (x - sx) / r, (y - sy) / r
        if (abs(v - (u * 0.9 + 0.05)) < 0.17 and -0.45 <= u <= -0.05) or \
           (abs(v + (u * 1.3 - 0.05) - 0.05) < 0.17 and -0.1 <= u <= 0.55):
            return ("tick", 0.0)
        return ("seal", 1.0 - d2 / (r * r))
    left, top, right, bottom, fold = 0.12, 0.04, 0.78, 0.94, 0.2
    if left <= x <= right and top <= y <= bottom:
        if x - (right - fold) > y - top:  # cut-off corner
            return None
        edge = 0.045
        on_fold = abs((x - (right - fold)) - (y - top)) < edge * 1.2
        if x < left + edge or x > right - edge or y < top + edge or y > bottom - edge or on_fold:
            return ("outline", 0.0)
        for line_y in (0.28, 0.42, 0.56):
            if abs(y - line_y) < 0.035 and left + 0.12 < x < right - 0.15:
                return ("text", 0.0)
        return ("paper", y)
    return None


def colour_index(item, colours):
    name, shade = item
    if colours == 16:
        return {"seal_rim": 1, "seal": 9, "tick": 15, "outline": 0,
                "text": 8, "paper": 15}[name]
    if name == "seal":
        return 16 + int(40 + 79 * shade)
    if name == "paper":
        return 136 + int(119 * (1.0 - shade))
    return {"seal_rim": 1, "tick": 15, "outline": 0, "text": 8}[name]


def render(size, colours):
    """Rows top-down of (palette index or None)."""
    samples = 4  # per axis, majority vote keeps the edges clean
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            votes = {}
            for sy in range(samples):
                for sx in range(samples):
                    item = shape_at((px + (sx + 0.5) / samples) / size,
                                    (py + (sy + 0.5) / samples) / size)
                    key = None if item is None else colour_index(item, colours)
                    votes[key] = votes.get(key, 0) + 1
            row.append(max(votes, key=votes.get))
        rows.append(row)
    return rows


def pad4(data):
    return data + b"\0" * (-len(data) % 4)


def dib(size, colours):
    """One icon image: BITMAPINFOHEADER, palette, colour bits, AND mask."""
    bits = 4 if colours == 16 else 8
    palette = VGA if colours == 16 else palette_256()
    rows = render(size, colours)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, 0, 0, 0, 0, 0)
    pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    xor, mask = b"", b""
    for row in reversed(rows):  # DIBs are stored bottom-up
        indices = [0 if i is None else i for i in row]
        if bits == 4:
            line = bytes((indices[i] << 4) | indices[i + 1] for i in range(0, size, 2))
        else:
            line = bytes(indices)
        xor += pad4(line)
        m = 0
        mline = b""
        for i, index in enumerate(row):
            m = (m << 1) | (1 if index is None else 0)
            if i % 8 == 7:
                mline += bytes([m])
                m = 0
        mask += pad4(mline)
    return header + pal + xor + mask, bits, colours


def write_ico(path, images):
    count = len(images)
    out = struct.pack("<HHH", 0, 1, count)
    offset = 6 + 16 * count
    blobs = []
    for size, colours in images:
        data, bits, ncol = dib(size, colours)
        out += struct.pack("<BBBBHHII", size, size, ncol if ncol < 256 else 0, 0, 1, bits,
                           len(data), offset)
        offset += len(data)
        blobs.append(data)
    with open(path, "wb") as f:
        f.write(out + b"".join(blobs))


def main():
    out_dir = sys.argv[1]
    os.makedirs(out_dir, exist_ok=True)
    write_ico(os.path.join(out_dir, "icon129.ico"), [(32, 16), (16, 16), (32, 256)])
    write_ico(os.path.join(out_dir, "icon133.ico"), [(32, 16)])
    write_ico(os.path.join(out_dir, "icon134.ico"), [(16, 256)])


if __name__ == "__main__":
    main()
