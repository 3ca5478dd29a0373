#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Draws A4 test pages at 200 dpi with Pillow and turns each by a known angle (degrees, counter-clockwise)
as a scanner would: soft stroke edges, grey noise and dust, then black and white. Writes them as PBM
files into the folder given as the only argument, with pages.txt listing each file and its turn."""
import math
import pathlib
import random
import sys

from PIL import Image, ImageChops, ImageDraw, ImageFilter

OUT = pathlib.Path(sys.argv[1])
OUT.mkdir(parents=True, exist_ok=True)


def frame_page(draw, width, height):
    """A frame with a title block, slanted lines, circles and lines of text."""
    draw.rectangle((40, 40, width - 41, height - 41), outline=0, width=5)
    draw.line((width - 520, height - 200, width - 41, height - 200), fill=0, width=3)
    draw.line((width - 520, height - 200, width - 520, height - 41), fill=0, width=3)
    draw.line((width - 520, height - 120, width - 41, height - 120), fill=0, width=2)
    for k in range(6):
        draw.text((width - 500, height - 190 + 12 * k), "KELVARIN 1:50 A-%d" % k, fill=0)
    draw.line((150, 150, 650, 150 + 500 * math.tan(math.radians(30))), fill=0, width=3)
    draw.line((700, 600, 900, 250), fill=0, width=4)
    draw.ellipse((300, 420, 500, 620), outline=0, width=3)
    draw.arc((900, 300, 1200, 600), 20, 200, fill=0, width=3)
    for row in range(8):
        draw.text((120, 700 + 14 * row), "NOTE %d: ALL DIMENSIONS IN MM" % row, fill=0)


def column_page(draw, width, height):
    """Mostly vertical lines of several lengths and widths, a hatching and a few short horizontals."""
    for k in range(9):
        x = 80 + 90 * k
        draw.line((x, 60, x, height - 60 - 70 * k), fill=0, width=2 + k % 3)
    for k in range(12):
        draw.line((100 + 40 * k, height - 300, 300 + 40 * k, height - 100), fill=0, width=2)
    for k in range(4):
        draw.line((60, 300 + 150 * k, 260, 300 + 150 * k), fill=0, width=3)


def sparse_page(draw, width, height):
    """A dashed horizontal, one vertical line and a circle: few long lines to go by."""
    for x in range(100, width - 100, 60):
        draw.line((x, height // 2, x + 40, height // 2), fill=0, width=3)
    draw.line((width // 3, 80, width // 3, height - 80), fill=0, width=4)
    draw.ellipse((width - 500, 200, width - 200, 500), outline=0, width=3)


def page(kind, width, height, degrees, seed):
    image = Image.new("L", (width, height), 255)
    kind(ImageDraw.Draw(image), width, height)
    image = image.rotate(degrees, resample=Image.Resampling.BICUBIC, fillcolor=255)
    image = image.filter(ImageFilter.GaussianBlur(1.2))
    noise = Image.effect_noise((width, height), 40)
    image = ImageChops.add(image, noise, scale=1.0, offset=-128)
    random.seed(seed)
    draw = ImageDraw.Draw(image)
    for _ in range(300):
        x, y = random.randrange(width), random.randrange(height)
        draw.rectangle((x, y, x + random.randrange(3), y + random.randrange(3)), fill=0)
    return image.point(lambda v: 255 if v >= 128 else 0).convert("1", dither=Image.Dither.NONE)


PAGES = [
    ("frame-a", frame_page, 2339, 1654, 4.7),
    ("frame-b", frame_page, 2339, 1654, -0.35),
    ("columns-a", column_page, 1654, 2339, -2.6),
    ("columns-b", column_page, 1654, 2339, 0.9),
    ("sparse-a", sparse_page, 2339, 1654, 0.05),
    ("sparse-b", sparse_page, 2339, 1654, -4.95),
]

with open(OUT / "pages.txt", "w") as listing:
    for seed, (name, kind, width, height, degrees) in enumerate(PAGES):
        page(kind, width, height, degrees, seed).save(OUT / (name + ".pbm"))
        listing.write("%s.pbm %s\n" % (name, degrees))
