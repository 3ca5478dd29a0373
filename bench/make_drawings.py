#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes the benchmark pictures, the same bytes on every run, with Pillow: an 8000 x 6000 line drawing
(strokes, circles, boxes and text, black on white), an A0 sheet at 600 dpi (19900 x 28100) drawn the same
way, also as a Group 4 TIFF, turned by 0.7 degrees as a scanner would, and that TIFF in a PDF (tiff2pdf),
the sheet as a 1-bit PNG and that in a PDF (img2pdf, Flate), the sheet's top-left sixteenth and quarter, the
8000 x 6000 drawing in grey lit from one side (paper from 255 down to 70, ink a quarter of it), a 2000 x 2000
field of random noise (the worst case for run extraction), a dense A0 sheet at 600 dpi (long lines crossing at
every angle, large circles and arcs, a grid of boxes with small text: tens of thousands of closed regions
between the crossings) with its top-left sixteenth and quarter, a
strip one row high and 2^27 dots wide holding one black run, a strip 4 dots wide and 2^24 rows high holding one
black column, and an all-white 8000 x 6000 page."""
import math
import random
import subprocess
import sys

from PIL import Image, ImageChops, ImageDraw, ImageFont


def drawing(width, height, scale=1, hatches=0):
    image = Image.new("1", (width, height), 1)
    draw = ImageDraw.Draw(image)
    rng = random.Random(1)
    draw.rectangle([20, 20, width - 21, height - 21], outline=0, width=6)
    for _ in range(400 * scale):  # strokes of several widths
        x1, y1 = rng.randrange(width), rng.randrange(height)
        x2, y2 = x1 + rng.randrange(-1500, 1500), y1 + rng.randrange(-1500, 1500)
        draw.line([x1, y1, x2, y2], fill=0, width=rng.choice([1, 2, 3, 5, 8]))
    for _ in range(150 * scale):  # circles
        x, y, r = rng.randrange(width), rng.randrange(height), rng.randrange(20, 600)
        draw.ellipse([x - r, y - r, x + r, y + r], outline=0, width=rng.choice([1, 2, 4]))
    for row in range(12 * scale):  # a grid of boxes
        for column in range(20 * scale):
            x, y = 300 + column * 370, 300 + row * 460
            draw.rectangle([x, y, x + 300, y + 380], outline=0, width=2)
    for _ in range(hatches):  # hatched areas, as sections in a mechanical drawing
        x, y = rng.randrange(width - 2000), rng.randrange(height - 2000)
        w, h = rng.randrange(300, 2000), rng.randrange(300, 2000)
        for k in range(0, w + h, 12):
            draw.line([x + max(0, k - h), y + min(k, h), x + min(k, w), y + max(0, k - w)], fill=0, width=2)
    font = ImageFont.load_default()
    for i in range(300 * scale):  # lines of text
        draw.text((rng.randrange(width - 400), rng.randrange(height - 20)), f"KELVARIN DRAWING {i:03d}", fill=0, font=font)
    return image


def dense_sheet(width, height):
    image = Image.new("1", (width, height), 1)
    draw = ImageDraw.Draw(image)
    rng = random.Random(3)
    draw.rectangle([20, 20, width - 21, height - 21], outline=0, width=8)
    for _ in range(700):  # long lines at every angle, crossing one another
        x, y = rng.randrange(width), rng.randrange(height)
        angle, length = rng.uniform(0, math.pi), rng.randrange(4000, 24000)
        dx, dy = length / 2 * math.cos(angle), length / 2 * math.sin(angle)
        draw.line([x - dx, y - dy, x + dx, y + dy], fill=0, width=rng.choice([2, 3, 4, 6]))
    for _ in range(250):  # large circles and arcs
        x, y, r = rng.randrange(width), rng.randrange(height), rng.randrange(300, 5000)
        box, pen = [x - r, y - r, x + r, y + r], rng.choice([2, 3, 5])
        if rng.random() < 0.5:
            draw.ellipse(box, outline=0, width=pen)
        else:
            start = rng.randrange(360)
            draw.arc(box, start, start + rng.randrange(30, 300), fill=0, width=pen)
    font = ImageFont.load_default()
    for row in range(60):  # a grid of small boxes with text
        for column in range(8):
            x, y = 600 + column * 480, 600 + row * 440
            draw.rectangle([x, y, x + 440, y + 400], outline=0, width=3)
            draw.text((x + 20, y + 180), f"P{row:02d}-{column}", fill=0, font=font)
    return image


def side_lit(image, path):
    light = Image.linear_gradient("L").rotate(90).resize(image.size).point(lambda v: 255 - v * 185 // 255)
    ink = image.convert("L").point(lambda v: 255 if v else 64)
    ImageChops.multiply(light, ink).save(path)


def noise(path):
    rng = random.Random(2)
    size = 2000
    image = Image.frombytes("1", (size, size), bytes(rng.getrandbits(8) for _ in range(size * size // 8)))
    image.save(path)


def strip(path):
    image = Image.new("1", (2**27, 1), 1)
    image.paste(0, (2**26, 0, 2**26 + 1000, 1))
    image.save(path)


def tall_strip(path):
    image = Image.new("1", (4, 2**24), 1)
    image.paste(0, (1, 0, 2, 2**24))
    image.save(path)


if __name__ == "__main__":
    folder = sys.argv[1]
    plan = drawing(8000, 6000)
    plan.save(f"{folder}/drawing-8000x6000.bmp")
    side_lit(plan, f"{folder}/side-lit-8000x6000.png")
    sheet = drawing(19900, 28100, scale=6, hatches=60)
    sheet.save(f"{folder}/a0-600dpi.bmp")
    # Its top-left sixteenth and quarter, to see whether the cost keeps in step with the page.
    sheet.crop((0, 0, 19900 // 4, 28100 // 4)).save(f"{folder}/a0-600dpi-sixteenth.bmp")
    sheet.crop((0, 0, 19900 // 2, 28100 // 2)).save(f"{folder}/a0-600dpi-quarter.bmp")
    sheet.save(f"{folder}/a0-600dpi-g4.tif", compression="group4", dpi=(600, 600))
    sheet.rotate(0.7, fillcolor=1).save(f"{folder}/a0-600dpi-turned.bmp")
    subprocess.run(["tiff2pdf", "-o", f"{folder}/a0-600dpi-g4.pdf", f"{folder}/a0-600dpi-g4.tif"], check=True)
    sheet.save(f"{folder}/a0-600dpi.png", dpi=(600, 600))
    subprocess.run(["img2pdf", "--pillow-limit-break", "-o", f"{folder}/a0-600dpi-flate.pdf",
                    f"{folder}/a0-600dpi.png"], check=True)
    dense = dense_sheet(19900, 28100)
    dense.save(f"{folder}/dense-a0-600dpi.bmp")
    dense.crop((0, 0, 19900 // 4, 28100 // 4)).save(f"{folder}/dense-a0-600dpi-sixteenth.bmp")
    dense.crop((0, 0, 19900 // 2, 28100 // 2)).save(f"{folder}/dense-a0-600dpi-quarter.bmp")
    noise(f"{folder}/noise-2000x2000.bmp")
    strip(f"{folder}/strip-134217728x1.bmp")
    tall_strip(f"{folder}/strip-4x16777216.bmp")
    Image.new("1", (8000, 6000), 1).save(f"{folder}/white-8000x6000.bmp")
