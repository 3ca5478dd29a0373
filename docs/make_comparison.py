#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Draws the README's before/after picture: the same part of a scan converted as runs (--lines both) and
in the vector mode, each entity in the next of a few colours so that one can count them.

make_comparison.py SCAN RUNS.dxf VECTOR.dxf OUTPUT.png X0 Y0 X1 Y1 [ZOOM] (the part, in dots, y from the bottom)"""
import math
import sys

import ezdxf
from PIL import Image, ImageDraw, ImageFont

COLOURS = [(200, 30, 30), (30, 120, 200), (20, 150, 60), (200, 120, 0), (140, 50, 170)]
ZOOM = int(sys.argv[9]) if len(sys.argv) > 9 else 2
FONT = "/usr/share/fonts/truetype/fonts-japanese-gothic.ttf"


def panel(scan, dxf, box, title):
    x0, y0, x1, y1 = box
    height = scan.height
    # The scan, faded, as the background.
    part = scan.crop((x0, height - 1 - y1, x1 + 1, height - y0)).convert("L").point(lambda v: 235 if v > 127 else 200)
    image = part.resize((part.width * ZOOM, part.height * ZOOM), Image.NEAREST).convert("RGB")
    draw = ImageDraw.Draw(image)
    to = lambda x, y: ((x - x0 + 0.5) * ZOOM, (y1 - y + 0.5) * ZOOM)
    inside = lambda x, y: x0 <= x <= x1 and y0 <= y <= y1
    count = 0
    for entity in ezdxf.readfile(dxf).modelspace():
        colour = COLOURS[count % len(COLOURS)]
        kind = entity.dxftype()
        if kind == "LINE":
            (ax, ay), (bx, by) = entity.dxf.start.vec2, entity.dxf.end.vec2
            if not any(inside(ax + (bx - ax) * k / 50, ay + (by - ay) * k / 50) for k in range(51)):
                continue
            draw.line([to(ax, ay), to(bx, by)], fill=colour, width=2)
        else:
            (cx, cy), r = entity.dxf.center.vec2, entity.dxf.radius
            start, end = (entity.dxf.start_angle, entity.dxf.end_angle) if kind == "ARC" else (0, 360)
            sweep = (end - start) % 360 or 360
            points = [(cx + r * math.cos(math.radians(start + sweep * k / 200)),
                       cy + r * math.sin(math.radians(start + sweep * k / 200))) for k in range(201)]
            if not any(inside(*p) for p in points):
                continue
            draw.line([to(*p) for p in points], fill=colour, width=2)
        count += 1
    font = ImageFont.truetype(FONT, 22)
    draw.rectangle([0, 0, image.width, 34], fill=(255, 255, 255))
    draw.text((8, 5), f"{title}: {count} entities", fill=(0, 0, 0), font=font)
    return image


def main():
    scan_path, runs, vectors, output = sys.argv[1:5]
    box = tuple(int(v) for v in sys.argv[5:9])
    scan = Image.open(scan_path)
    left = panel(scan, runs, box, "--lines both")
    right = panel(scan, vectors, box, "--vectorize")
    both = Image.new("RGB", (left.width + right.width + 10, left.height), (255, 255, 255))
    both.paste(left, (0, 0))
    both.paste(right, (left.width + 10, 0))
    both.save(output, optimize=True)


if __name__ == "__main__":
    main()
