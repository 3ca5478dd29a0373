#!/usr/bin/python3
"""Writes the benchmark bitmaps, the same bytes on every run: an 8000 x 6000 line drawing (strokes,
circles, boxes and text, black on white) and a 2000 x 2000 field of random noise, the worst case for
run extraction. Both are 1-bit uncompressed BMP files written by Pillow."""
import random
import sys

from PIL import Image, ImageDraw, ImageFont


def line_drawing(path):
    width, height = 8000, 6000
    image = Image.new("1", (width, height), 1)
    draw = ImageDraw.Draw(image)
    rng = random.Random(1)
    draw.rectangle([20, 20, width - 21, height - 21], outline=0, width=6)
    for _ in range(400):  # strokes of several widths
        x1, y1 = rng.randrange(width), rng.randrange(height)
        x2, y2 = x1 + rng.randrange(-1500, 1500), y1 + rng.randrange(-1500, 1500)
        draw.line([x1, y1, x2, y2], fill=0, width=rng.choice([1, 2, 3, 5, 8]))
    for _ in range(150):  # circles
        x, y, r = rng.randrange(width), rng.randrange(height), rng.randrange(20, 600)
        draw.ellipse([x - r, y - r, x + r, y + r], outline=0, width=rng.choice([1, 2, 4]))
    for row in range(12):  # a grid of boxes
        for column in range(20):
            x, y = 300 + column * 370, 300 + row * 460
            draw.rectangle([x, y, x + 300, y + 380], outline=0, width=2)
    font = ImageFont.load_default()
    for i in range(300):  # lines of text
        draw.text((rng.randrange(width - 400), rng.randrange(height - 20)), f"KELVARIN DRAWING {i:03d}", fill=0, font=font)
    image.save(path)


def noise(path):
    rng = random.Random(2)
    size = 2000
    image = Image.frombytes("1", (size, size), bytes(rng.getrandbits(8) for _ in range(size * size // 8)))
    image.save(path)


if __name__ == "__main__":
    folder = sys.argv[1]
    line_drawing(f"{folder}/drawing-8000x6000.bmp")
    noise(f"{folder}/noise-2000x2000.bmp")
