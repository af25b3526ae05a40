#!/usr/bin/env python3
"""Draws Dunewright's two pictures and writes them in Windows formats.

  src/res/dunewright.ico  program icon: 32x32 and 16x16, 16 colours each,
                          a bar chart that rises and falls like a sand dune
                          in front of a sky with a low sun.
  src/res/donate.bmp      62x31, 8 bits per pixel, uncompressed: the image
                          of the Donate dialog's button, with the word
                          "Donate" in a small pixel font drawn here.

Standard library only. Run from anywhere:  python3 scripts/make_art.py
The output is byte-for-byte reproducible.
"""

import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
RES_DIR = os.path.normpath(os.path.join(HERE, "..", "src", "res"))


# ---------------------------------------------------------------------------
# Small raster helpers. A canvas is a list of rows of palette indexes, or of
# None for a transparent pixel; row 0 is the top row.

def new_canvas(width, height, fill=None):
    return [[fill] * width for _ in range(height)]


def inside_rounded_rect(x, y, width, height, radius):
    """Whether pixel (x, y) lies in a width x height box with rounded corners."""
    if radius <= 0:
        return 0 <= x < width and 0 <= y < height
    cx = min(max(x, radius), width - 1 - radius)
    cy = min(max(y, radius), height - 1 - radius)
    dx, dy = x - cx, y - cy
    return dx * dx + dy * dy <= radius * radius + radius * 0.8


def fill_disc(canvas, cx, cy, r, colour):
    for y, row in enumerate(canvas):
        for x in range(len(row)):
            if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                row[x] = colour


# ---------------------------------------------------------------------------
# The icon

ICON_PALETTE = [
    (0, 0, 0),          # 0  black (also the colour under transparent pixels)
    (78, 48, 22),       # 1  bar outline, dark brown
    (178, 118, 50),     # 2  sand in shadow
    (224, 170, 86),     # 3  sand
    (246, 210, 134),    # 4  sand in light
    (255, 240, 196),    # 5  sand highlight
    (232, 112, 24),     # 6  sun rim, orange
    (255, 206, 52),     # 7  sun, yellow
    (255, 246, 170),    # 8  sun centre
    (58, 108, 184),     # 9  sky, top
    (96, 152, 220),     # 10 sky
    (146, 192, 238),    # 11 sky, low
    (196, 224, 248),    # 12 haze over the horizon
    (28, 44, 86),       # 13 tile frame, navy
    (140, 92, 40),      # 14 ground shadow
    (255, 255, 255),    # 15 white
]

SKY_BANDS = (9, 10, 11, 12)


def draw_icon(size):
    """Returns a size x size canvas (None = transparent)."""
    c = new_canvas(size, size)
    radius = 3 if size >= 32 else 2
    # Tile: frame and sky in horizontal bands, lighter towards the horizon.
    for y in range(size):
        band = SKY_BANDS[min(len(SKY_BANDS) - 1, y * len(SKY_BANDS) // (size - size // 4))]
        for x in range(size):
            if not inside_rounded_rect(x, y, size, size, radius):
                continue
            inner = inside_rounded_rect(x - 1, y - 1, size - 2, size - 2, max(radius - 1, 0))
            c[y][x] = band if inner else 13

    if size >= 32:
        # Sun, half hidden behind the dune later on.
        sun = new_canvas(size, size)
        fill_disc(sun, 9.5, 10.5, 6.2, 6)
        fill_disc(sun, 9.5, 10.5, 5.0, 7)
        fill_disc(sun, 8.5, 9.5, 2.4, 8)
        for y in range(2, size - 2):
            for x in range(2, size - 2):
                if sun[y][x] is not None:
                    c[y][x] = sun[y][x]
        # Bars: four pixels wide, one pixel of sky between them. Their tops
        # climb the long windward side and drop down the steep slip face.
        bars = [(2, 23), (7, 19), (12, 15), (17, 11), (22, 8), (27, 17)]
        floor = 29
        crest = 22
        for left, top in bars:
            right = left + 3
            for y in range(top, floor + 1):
                for x in range(left, right + 1):
                    if x == left or x == right or y == top:
                        colour = 1
                    elif left > crest:
                        colour = 2          # the slip face lies in shadow
                    elif y == top + 1:
                        colour = 5
                    elif x == left + 1:
                        colour = 4
                    else:
                        colour = 2 if left == crest else 3
                    c[y][x] = colour
        # Ground: a row of darker sand along the bottom, inside the frame.
        for x in range(1, size - 1):
            if c[floor + 1][x] not in (None, 13):
                c[floor + 1][x] = 14
    else:
        sun = new_canvas(size, size)
        fill_disc(sun, 4.5, 5.0, 3.2, 6)
        fill_disc(sun, 4.5, 5.0, 2.2, 7)
        for y in range(1, size - 1):
            for x in range(1, size - 1):
                if sun[y][x] is not None:
                    c[y][x] = sun[y][x]
        # Five bars, two pixels wide: light on the left, shade on the right.
        bars = [(1, 12), (4, 10), (7, 7), (10, 4), (13, 8)]
        floor = 14
        for left, top in bars:
            for y in range(top, floor + 1):
                for x in (left, left + 1):
                    if y == top:
                        colour = 1
                    elif x == left:
                        colour = 4 if left < 13 else 2
                    else:
                        colour = 3 if left < 13 else 2
                    c[y][x] = colour
        for x in range(1, size - 1):
            if c[floor][x] not in (None, 13):
                c[floor][x] = 14
    return c


def icon_image_bytes(canvas):
    """One icon image: BITMAPINFOHEADER, palette, 4-bit XOR bitmap, AND mask."""
    size = len(canvas)
    xor_stride = ((size * 4 + 31) // 32) * 4
    and_stride = ((size + 31) // 32) * 4
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0,
                         (xor_stride + and_stride) * size, 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in ICON_PALETTE)
    xor = bytearray()
    mask = bytearray()
    for row in reversed(canvas):  # bottom-up
        line = bytearray(xor_stride)
        bits = bytearray(and_stride)
        for x, value in enumerate(row):
            index = 0 if value is None else value
            if x % 2 == 0:
                line[x // 2] |= index << 4
            else:
                line[x // 2] |= index
            if value is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        xor += line
        mask += bits
    return header + palette + bytes(xor) + bytes(mask)


def write_icon(path, canvases):
    images = [icon_image_bytes(c) for c in canvases]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for canvas, data in zip(canvases, images):
        size = len(canvas)
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 16, 0, 1, 4,
                           len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    with open(path, "wb") as f:
        f.write(out)


# ---------------------------------------------------------------------------
# The donate button

# A 5x7 pixel font, just the letters needed. "#" is ink.
GLYPHS = {
    "D": ["####.",
          "#...#",
          "#...#",
          "#...#",
          "#...#",
          "#...#",
          "####."],
    "o": [".....",
          ".....",
          ".###.",
          "#...#",
          "#...#",
          "#...#",
          ".###."],
    "n": [".....",
          ".....",
          "####.",
          "#...#",
          "#...#",
          "#...#",
          "#...#"],
    "a": [".....",
          ".....",
          ".###.",
          "....#",
          ".####",
          "#...#",
          ".####"],
    "t": [".#...",
          ".#...",
          "####.",
          ".#...",
          ".#...",
          ".#...",
          "..##."],
    "e": [".....",
          ".....",
          ".###.",
          "#...#",
          "#####",
          "#....",
          ".###."],
}

HEART = [".##.##.",
         "#######",
         "#######",
         ".#####.",
         "..###..",
         "...#..."]


def text_mask(text, bold=True):
    """Returns the ink of the text as a list of rows of booleans."""
    rows = [[] for _ in range(7)]
    for i, ch in enumerate(text):
        glyph = GLYPHS[ch]
        width = len(glyph[0]) + (1 if bold else 0)
        for y in range(7):
            cells = [glyph[y][x] == "#" for x in range(len(glyph[0]))] + [False]
            if bold:
                cells = [cells[x] or (x > 0 and cells[x - 1]) for x in range(width)]
            else:
                cells = cells[:width]
            if i:
                rows[y].append(False)
            rows[y].extend(cells)
    return rows


def lerp(a, b, t):
    return tuple(int(round(a[k] + (b[k] - a[k]) * t)) for k in range(3))


def draw_donate():
    width, height = 62, 31
    face = (212, 208, 200)          # button face around the rounded corners
    frame = (150, 86, 12)
    top_colour, mid_colour, bottom_colour = (255, 236, 160), (255, 204, 72), (240, 156, 28)
    ink, ink_shadow = (16, 38, 104), (255, 244, 204)
    heart, heart_dark = (210, 36, 44), (128, 16, 24)

    img = [[face] * width for _ in range(height)]
    for y in range(height):
        t = y / (height - 1)
        if t < 0.45:
            colour = lerp(top_colour, mid_colour, t / 0.45)
        else:
            colour = lerp(mid_colour, bottom_colour, (t - 0.45) / 0.55)
        for x in range(width):
            if not inside_rounded_rect(x, y, width, height, 5):
                continue
            inner = inside_rounded_rect(x - 1, y - 1, width - 2, height - 2, 4)
            img[y][x] = colour if inner else frame
    # A soft shine along the top edge.
    for x in range(4, width - 4):
        img[2][x] = lerp(img[2][x], (255, 255, 255), 0.55)

    letters = text_mask("Donate")
    text_w = len(letters[0])
    heart_w = len(HEART[0])
    gap = 4
    left = (width - (heart_w + gap + text_w)) // 2
    text_top = (height - 7) // 2 + 1

    heart_top = text_top
    for y, line in enumerate(HEART):
        for x, ch in enumerate(line):
            if ch == "#":
                edge = (y == len(HEART) - 1 or x in (0, heart_w - 1)
                        or line[x - 1] != "#" or (x + 1 < heart_w and line[x + 1] != "#"))
                img[heart_top + y][left + x] = heart_dark if edge and y > 2 else heart
    img[heart_top + 1][left + 1] = (255, 190, 190)

    text_left = left + heart_w + gap
    for y in range(7):
        for x in range(text_w):
            if letters[y][x]:
                sy, sx = text_top + y + 1, text_left + x + 1
                if not (letters[y + 1][x + 1] if y + 1 < 7 and x + 1 < text_w else False):
                    img[sy][sx] = ink_shadow
    for y in range(7):
        for x in range(text_w):
            if letters[y][x]:
                img[text_top + y][text_left + x] = ink
    return img


def write_bmp8(path, img):
    """8 bits per pixel, uncompressed, bottom-up, full 256-entry palette."""
    height, width = len(img), len(img[0])
    colours = []
    index = {}
    for row in img:
        for rgb in row:
            if rgb not in index:
                index[rgb] = len(colours)
                colours.append(rgb)
    if len(colours) > 256:
        sys.exit("donate.bmp: too many colours (%d)" % len(colours))
    stride = (width + 3) & ~3
    pixels = bytearray()
    for row in reversed(img):
        line = bytes(index[rgb] for rgb in row)
        pixels += line + b"\0" * (stride - width)
    palette = bytearray()
    for i in range(256):
        r, g, b = colours[i] if i < len(colours) else (0, 0, 0)
        palette += struct.pack("<BBBB", b, g, r, 0)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, len(pixels),
                       2835, 2835, 256, 0)
    offset = 14 + len(info) + len(palette)
    file_header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    with open(path, "wb") as f:
        f.write(file_header + info + bytes(palette) + bytes(pixels))


def main():
    write_icon(os.path.join(RES_DIR, "dunewright.ico"), [draw_icon(32), draw_icon(16)])
    write_bmp8(os.path.join(RES_DIR, "donate.bmp"), draw_donate())
    print("wrote", os.path.join(RES_DIR, "dunewright.ico"))
    print("wrote", os.path.join(RES_DIR, "donate.bmp"))


if __name__ == "__main__":
    main()
