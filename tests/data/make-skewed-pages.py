#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Draws A4 test pages at 200 dpi with Pillow and turns each by a known angle (degrees, counter-clockwise)
as a scanner would: soft stroke edges, grey noise and dust, then black and white. Writes them as PBM
files into the folder given as the only argument, with pages.txt listing each file and its turn."""
import functools
import math
import pathlib
import random
import sys

import numpy
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


def text_lines(draw, x, y, rows, scale):
    for row in range(rows):
        draw.text((x, y + int(14 * scale) * row), "LOT %d-%d  %.2f m2" % (row, 7 * row + 3, 412.5 + row), fill=0)


def slanted(draw, x, y, degrees, length, width):
    """A straight stroke from (x, y) at degrees from the page's x axis, y running down."""
    a = math.radians(degrees)
    draw.line((x, y, x + length * math.cos(a), y - length * math.sin(a)), fill=0, width=width)


def parcel_page(draw, width, height, rng, scale):
    """A parcel map: blocks of lots square to their streets, two of the streets a little off the axes each
    way and the others at many angles, boundaries at any angle, lot numbers, and along the axes only a
    short scale bar and a north arrow."""
    pen = max(2, round(2 * scale))
    near = rng.uniform(1.2, 1.8) * rng.choice((-1, 1))
    blocks = [(near, 0.3, 0.3), (-near * 1.8, 0.7, 0.7), (35, 0.7, 0.25), (-60, 0.25, 0.75)]
    for street, cx, cy in blocks:
        a = math.radians(street)
        x0, y0 = width * cx - width * 0.3 * math.cos(a), height * cy + width * 0.3 * math.sin(a)
        for side in (0, 0.07):
            slanted(draw, x0 + height * side * math.sin(a), y0 + height * side * math.cos(a), street, width * 0.6, pen + 1)
        for k in range(12):
            x, y = x0 + width * 0.05 * k * math.cos(a), y0 - width * 0.05 * k * math.sin(a)
            slanted(draw, x, y, street + 90, height * rng.uniform(0.08, 0.16), pen)
            x, y = x + height * 0.07 * math.sin(a), y + height * 0.07 * math.cos(a)
            slanted(draw, x, y, street - 90, height * rng.uniform(0.08, 0.16), pen)
    for _ in range(50):
        degrees = rng.uniform(-90, 90)
        slanted(draw, width * rng.uniform(0, 1), height * rng.uniform(0, 1), degrees, height * rng.uniform(0.1, 0.35), pen)
    for _ in range(25):
        text_lines(draw, width * rng.uniform(0.05, 0.85), height * rng.uniform(0.05, 0.9), 2, scale)
    draw.line((width * 0.05, height * 0.95, width * 0.05 + 200 * scale, height * 0.95), fill=0, width=pen + 2)
    draw.line((width * 0.93, height * 0.06, width * 0.93, height * 0.06 + 90 * scale), fill=0, width=pen)


def framed_page(draw, width, height, rng, scale, inner):
    """An inner kind of page in a frame with a title block: the frame's long lines are square to the page."""
    inner(draw, width, height, rng, scale)
    pen = max(2, round(2 * scale))
    draw.rectangle((30 * scale, 30 * scale, width - 30 * scale, height - 30 * scale), outline=0, width=pen + 2)
    draw.rectangle((width * 0.7, height * 0.85, width - 30 * scale, height - 30 * scale), outline=0, width=pen + 1)
    text_lines(draw, width * 0.72, height * 0.87, 4, scale)


def road_page(draw, width, height, rng, scale):
    """A road plan: the edges of curved and straight roads at many angles, a dashed centre line, a few
    straight edges near the axes but not on them, and along the axes only a short title line."""
    pen = max(2, round(2 * scale))
    for _ in range(5):
        radius = min(width, height) * rng.uniform(0.8, 3)
        cx, cy = width * rng.uniform(-0.5, 1.5), height * rng.uniform(-0.5, 1.5)
        for edge in (0, 40 * scale):
            r = radius + edge
            draw.arc((cx - r, cy - r, cx + r, cy + r), 0, 360, fill=0, width=pen)
    for degrees in (rng.uniform(-3, -0.6), rng.uniform(0.5, 2.5), rng.uniform(86, 88.5)):
        x, y = width * rng.uniform(0.2, 0.5), height * rng.uniform(0.2, 0.8)
        for edge in (0, 40 * scale):
            slanted(draw, x, y + edge, degrees, width * rng.uniform(0.3, 0.5), pen + 1)
        for k in range(0, int(width * 0.4), int(30 * scale)):
            a = math.radians(degrees)
            slanted(draw, x + k * math.cos(a), y + 20 * scale - k * math.sin(a), degrees, 15 * scale, pen)
    for _ in range(12):
        degrees = rng.uniform(-90, 90)
        slanted(draw, width * rng.uniform(0, 1), height * rng.uniform(0, 1), degrees, height * rng.uniform(0.2, 0.6), pen + 1)
    for _ in range(8):
        text_lines(draw, width * rng.uniform(0.05, 0.85), height * rng.uniform(0.05, 0.9), 1, scale)
    draw.line((width * 0.7, height * 0.95, width * 0.7 + 160 * scale, height * 0.95), fill=0, width=pen)


def plan_page(draw, width, height, rng, scale):
    """A floor plan: a frame, walls along the axes, door swings, a few slanted lines and room names."""
    pen = max(2, round(2 * scale))
    draw.rectangle((40 * scale, 40 * scale, width - 40 * scale, height - 40 * scale), outline=0, width=pen + 2)
    for k in range(1, 6):
        x = width * k / 6 + rng.uniform(-30, 30) * scale
        draw.line((x, height * 0.12, x, height * rng.uniform(0.5, 0.88)), fill=0, width=pen + 1)
    for k in range(1, 4):
        y = height * k / 4 + rng.uniform(-30, 30) * scale
        draw.line((width * 0.08, y, width * rng.uniform(0.5, 0.92), y), fill=0, width=pen + 1)
    for _ in range(8):
        x, y, r = width * rng.uniform(0.1, 0.9), height * rng.uniform(0.1, 0.9), 60 * scale
        draw.arc((x - r, y - r, x + r, y + r), 0, 90, fill=0, width=pen)
    for _ in range(6):
        slanted(draw, width * rng.uniform(0.1, 0.6), height * rng.uniform(0.2, 0.8), rng.uniform(15, 75), width * 0.2, pen)
    for _ in range(10):
        text_lines(draw, width * rng.uniform(0.1, 0.8), height * rng.uniform(0.1, 0.85), 2, scale)


def page(kind, width, height, degrees, seed, scale=1):
    image = Image.new("L", (width, height), 255)
    kind(ImageDraw.Draw(image), width, height)
    image = image.rotate(degrees, resample=Image.Resampling.BICUBIC, fillcolor=255)
    image = image.filter(ImageFilter.GaussianBlur(1.2 * scale))
    # Grey noise of deviation 40 about 128, seeded so that every run draws the same pages.
    grey = numpy.random.default_rng(seed).normal(128, 40, (height, width))
    noise = Image.fromarray(numpy.clip(grey, 0, 255).astype(numpy.uint8), "L")
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

# Pages whose long lines run at many angles, few of them along the axes, beside pages with plenty along the
# axes, at 200 to 400 dpi: name, kind, dots per inch, turn, plenty along the axes. evidence.txt lists each file, its turn, and
# whether its lines along the axes are plenty (1) or few (0).
EVIDENCE_PAGES = [
    ("parcels-a", parcel_page, 200, 0.4, 0),
    ("parcels-b", parcel_page, 300, 0.4, 0),
    ("parcels-c", parcel_page, 400, 0.0, 0),
    ("parcels-d", parcel_page, 300, 1.2, 0),
    ("parcels-e", parcel_page, 200, -0.8, 0),
    ("roads-a", road_page, 300, 0.6, 0),
    ("roads-b", road_page, 200, 0.6, 0),
    ("roads-c", road_page, 400, 0.0, 0),
    ("roads-d", road_page, 300, 1.2, 0),
    ("roads-e", road_page, 200, -0.8, 0),
    ("framed-parcels-a", functools.partial(framed_page, inner=parcel_page), 300, 0.4, 1),
    ("framed-parcels-b", functools.partial(framed_page, inner=parcel_page), 200, -0.8, 1),
    ("framed-roads-a", functools.partial(framed_page, inner=road_page), 300, 0.6, 1),
    ("framed-roads-b", functools.partial(framed_page, inner=road_page), 400, 1.2, 1),
    ("plan-a", plan_page, 200, 0.4, 1),
    ("plan-b", plan_page, 300, 0.6, 1),
    ("plan-c", plan_page, 400, 0.0, 1),
    ("plan-d", plan_page, 300, 1.2, 1),
    ("plan-e", plan_page, 200, -0.8, 1),
]

with open(OUT / "evidence.txt", "w") as listing:
    for seed, (name, kind, dpi, degrees, plenty) in enumerate(EVIDENCE_PAGES, start=len(PAGES)):
        scale = dpi / 200
        drawing = functools.partial(kind, rng=random.Random(seed), scale=scale)
        page(drawing, round(2339 * scale), round(1654 * scale), degrees, seed, scale).save(OUT / (name + ".pbm"))
        listing.write("%s.pbm %s %d\n" % (name, degrees, plenty))
