#!/usr/bin/env python3
"""Draws Pelorin's two icons and writes them as .ico files.

program.ico (group 107): 256 colours (8 bits per pixel).
tray.ico    (group 108): 16 colours (4 bits per pixel).

Each holds the same picture at 16, 20, 24 and 32 pixels: the small-icon
sizes at 100, 125, 150 and 200 % display scaling, so that the tray shows an
image drawn for its size instead of one stretched.

The picture: two stacked browser windows (a snapshot of open windows) on a
rounded blue tile. Run from this folder; the output is byte-for-byte the
same on every run, so the committed .ico files can be checked against it.
"""
import struct
import sys

TRANSPARENT = None
# The 16-colour images must use the standard VGA palette, which every
# 4-bit display renders the same.
VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


def draw(n, tile, edge, back, front, bar, dot):
    """A picture of n x n colour names (or TRANSPARENT), top row first."""
    s = n / 32.0
    pic = [[TRANSPARENT] * n for _ in range(n)]

    def rect(x0, y0, x1, y1, colour):
        for y in range(int(y0 * s), int(y1 * s)):
            for x in range(int(x0 * s), int(x1 * s)):
                pic[y][x] = colour

    # Rounded tile: a square with its corners cut by a radius.
    r = 6 * s
    for y in range(n):
        for x in range(n):
            cx = min(max(x + 0.5, r), n - r)
            cy = min(max(y + 0.5, r), n - r)
            d2 = (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2
            if d2 <= r * r:
                pic[y][x] = edge if d2 > (r - 1.2) ** 2 else tile
    # The window behind, up and to the right.
    rect(12, 5, 28, 19, edge)
    rect(13, 6, 27, 18, back)
    # The window in front, with its title bar and an address line.
    rect(4, 11, 22, 27, edge)
    rect(5, 12, 21, 26, front)
    rect(5, 12, 21, 15, bar)
    rect(7, 17, 19, 18, edge)
    rect(23, 22, 27, 26, dot)
    return pic


SIZES = (16, 20, 24, 32)


def ico(pics, palette, bits):
    """An .ico of the pictures: directory, then per image a BITMAPINFOHEADER,
    palette, XOR and AND masks."""
    images = [icon_image(pic, palette, bits) for pic in pics]
    colours = (1 << bits) % 256
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for pic, image in zip(pics, images):
        n = len(pic)
        out += struct.pack("<BBBBHHII", n, n, colours, 0, 1, bits, len(image), offset)
        offset += len(image)
    return out + b"".join(images)


def icon_image(pic, palette, bits):
    n = len(pic)
    index = {c: i for i, c in enumerate(palette)}
    colours = 1 << bits

    def row_bytes(values, bpp):
        out = bytearray()
        acc, nbits = 0, 0
        for v in values:
            acc = (acc << bpp) | v
            nbits += bpp
            if nbits == 8:
                out.append(acc)
                acc, nbits = 0, 0
        while len(out) % 4:
            out.append(0)
        return bytes(out)

    xor = b"".join(
        row_bytes([0 if c is TRANSPARENT else index[c] for c in row], bits)
        for row in reversed(pic))
    mask = b"".join(
        row_bytes([1 if c is TRANSPARENT else 0 for c in row], 1)
        for row in reversed(pic))
    pal = b"".join(bytes((b, g, r, 0)) for (r, g, b) in palette)
    pal += b"\0" * (4 * colours - len(pal))
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, bits, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    return header + pal + xor + mask


def main():
    # 256 colours: a small palette of our own, padded with black.
    palette256 = [(0, 0, 0), (30, 90, 170), (20, 50, 110), (225, 230, 238),
                  (255, 255, 255), (60, 130, 215), (245, 160, 40)]
    rich = [draw(n, tile=palette256[1], edge=palette256[2], back=palette256[3],
                 front=palette256[4], bar=palette256[5], dot=palette256[6])
            for n in SIZES]
    # 16 colours: the nearest VGA colours for the same picture.
    vga = [draw(n, tile=VGA16[4], edge=VGA16[0], back=VGA16[7],
                front=VGA16[15], bar=VGA16[12], dot=VGA16[11])
           for n in SIZES]
    outputs = {"program.ico": ico(rich, palette256, 8),
               "tray.ico": ico(vga, VGA16, 4)}
    for name, data in outputs.items():
        with open(name, "wb") as f:
            f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
