#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes scanned-looking drawings of known geometry, each a Group 4 TIFF with a JSON of its true lines,
circles and arcs beside it (the format ../shared/vector_score.py reads: pixels of the scan, x = column,
y = row from the bottom row, w = stroke width). The drawing is made on the paper, turned by a small skew,
drawn at twice the resolution, blurred and given grey noise along the edges, thresholded, and dusted.

make_vector_drawings.py FOLDER [NAME PAPER DPI SKEW SEED ...]; without drawings named, a fixed set."""
import json
import math
import random
import sys

from PIL import Image, ImageDraw, ImageFilter

PAPERS = {"A4": (297, 210), "A3": (420, 297), "A2": (594, 420), "A1": (841, 594)}
SUPER = 2  # drawn at this many times the resolution, then reduced


def geometry(width, height, dpi, rng):
    """Lines, circles and arcs in pixels of the unturned page, stroke widths in pixels."""
    mm = dpi / 25.4
    widths = [0.25 * mm, 0.35 * mm, 0.5 * mm, 0.7 * mm]
    m = 10 * mm
    lines, circles, arcs = [], [], []

    def line(a, b, w, dash=False):
        lines.append({"a": list(a), "b": list(b), "w": w, "dash": dash})

    # Frame and a title block: T junctions and corners.
    x0, y0, x1, y1 = m, m, width - m, height - m
    for a, b in [((x0, y0), (x1, y0)), ((x1, y0), (x1, y1)), ((x1, y1), (x0, y1)), ((x0, y1), (x0, y0))]:
        line(a, b, widths[3])
    tx, ty = width * 0.55, y0 + 40 * mm
    line((tx, y0), (tx, ty), widths[2])
    line((tx, ty), (x1, ty), widths[2])
    for k in range(1, 4):
        line((tx, y0 + k * 10 * mm), (x1, y0 + k * 10 * mm), widths[0])
    line(((tx + x1) / 2, y0), ((tx + x1) / 2, ty), widths[0])
    # Lines at every angle, some crossing.
    for angle in [0, 1, 15, 30, 45, 60, 75, 89, 90, 120, 135, 150, 170]:
        length = rng.uniform(30, 90) * mm
        cx, cy = rng.uniform(x0 + 50 * mm, x1 - 50 * mm), rng.uniform(ty + 50 * mm, y1 - 50 * mm)
        dx, dy = math.cos(math.radians(angle)) * length / 2, math.sin(math.radians(angle)) * length / 2
        line((cx - dx, cy - dy), (cx + dx, cy + dy), rng.choice(widths))
    # A rectangle, a cross and a T.
    rx, ry = width * 0.5, height * 0.45
    w = widths[1]
    for a, b in [((rx, ry), (rx + 60 * mm, ry)), ((rx + 60 * mm, ry), (rx + 60 * mm, ry + 35 * mm)),
                 ((rx + 60 * mm, ry + 35 * mm), (rx, ry + 35 * mm)), ((rx, ry + 35 * mm), (rx, ry))]:
        line(a, b, w)
    line((rx + 10 * mm, ry + 50 * mm), (rx + 70 * mm, ry + 50 * mm), w)
    line((rx + 40 * mm, ry + 40 * mm), (rx + 40 * mm, ry + 80 * mm), w)
    line((rx - 40 * mm, ry + 10 * mm), (rx - 40 * mm, ry + 60 * mm), widths[2])
    line((rx - 40 * mm, ry + 35 * mm), (rx - 10 * mm, ry + 35 * mm), widths[1])
    # A dashed line: each dash its own primitive.
    dash, gap = 6 * mm, 2.5 * mm
    start, angle = (x0 + 20 * mm, y0 + 15 * mm), math.radians(rng.uniform(5, 40))
    for k in range(10):
        s = k * (dash + gap)
        a = (start[0] + s * math.cos(angle), start[1] + s * math.sin(angle))
        b = (a[0] + dash * math.cos(angle), a[1] + dash * math.sin(angle))
        line(a, b, widths[1], dash=True)
    # Circles of several radii, some cut by lines, and arcs.
    for _ in range(5):
        r = rng.uniform(4, 40) * mm
        c = (rng.uniform(x0 + r + 5 * mm, x1 - r - 5 * mm), rng.uniform(ty + r + 5 * mm, y1 - r - 5 * mm))
        circles.append({"c": list(c), "r": r, "w": rng.choice(widths)})
    for _ in range(3):
        r = rng.uniform(10, 50) * mm
        c = (rng.uniform(x0 + r + 5 * mm, x1 - r - 5 * mm), rng.uniform(ty + r + 5 * mm, y1 - r - 5 * mm))
        s = rng.uniform(0, 360)
        arcs.append({"c": list(c), "r": r, "s": s, "e": (s + rng.uniform(40, 250)) % 360, "w": rng.choice(widths)})
    return lines, circles, arcs


def turned(point, centre, degrees):
    c, s = math.cos(math.radians(degrees)), math.sin(math.radians(degrees))
    x, y = point[0] - centre[0], point[1] - centre[1]
    return [centre[0] + x * c - y * s, centre[1] + x * s + y * c]


def render(width, height, lines, circles, arcs, rng, fills=(), holes=(), paint=None):
    """Draws at SUPER times the size; truth y counts from the bottom row, pixel centres on whole numbers.
    fills: polygons (lists of points) filled black, then holes cut into them; paint(image, to) draws more."""
    image = Image.new("L", (width * SUPER, height * SUPER), 255)
    draw = ImageDraw.Draw(image)
    to = lambda p: ((p[0] + 0.5) * SUPER, (height - 1 - p[1] + 0.5) * SUPER)
    for polygon in fills:
        draw.polygon([to(p) for p in polygon], fill=0)
    for polygon in holes:
        draw.polygon([to(p) for p in polygon], fill=255)
    for line in lines:
        (ax, ay), (bx, by) = to(line["a"]), to(line["b"])
        half = line["w"] * SUPER / 2
        length = math.hypot(bx - ax, by - ay)
        nx, ny = -(by - ay) / length * half, (bx - ax) / length * half
        draw.polygon([(ax + nx, ay + ny), (bx + nx, by + ny), (bx - nx, by - ny), (ax - nx, ay - ny)], fill=0)
    for circle in circles + arcs:
        (cx, cy), r, half = to(circle["c"]), circle["r"] * SUPER, circle["w"] * SUPER / 2
        box = [cx - r - half, cy - r - half, cx + r + half, cy + r + half]
        width_super = max(1, round(2 * half))
        if "s" in circle:  # Pillow's angles run clockwise on the screen, the truth's counter-clockwise
            draw.arc(box, -circle["e"], -circle["s"], fill=0, width=width_super)
        else:
            draw.ellipse(box, outline=0, width=width_super)
    if paint:
        paint(image, to)
    image = image.filter(ImageFilter.GaussianBlur(SUPER * 0.6))
    noisy = Image.effect_noise(image.size, 40)
    image = Image.blend(image, noisy, 0.25).resize((width, height), Image.BILINEAR)
    page = image.point(lambda v: 0 if v < 128 else 255).convert("1")
    dust = ImageDraw.Draw(page)
    for _ in range(width * height // 40000):
        x, y, s = rng.randrange(width), rng.randrange(height), rng.choice([0, 0, 1, 1, 2])
        dust.rectangle([x, y, x + s, y + rng.choice([0, 1])], fill=0)
    return page


def make(folder, name, paper, dpi, skew, seed):
    rng = random.Random(seed)
    long_mm, short_mm = PAPERS[paper]
    width, height = round(long_mm / 25.4 * dpi), round(short_mm / 25.4 * dpi)
    lines, circles, arcs = geometry(width, height, dpi, rng)
    centre = ((width - 1) / 2, (height - 1) / 2)
    lines = [dict(l, a=turned(l["a"], centre, skew), b=turned(l["b"], centre, skew)) for l in lines]
    circles = [dict(c, c=turned(c["c"], centre, skew)) for c in circles]
    arcs = [dict(a, c=turned(a["c"], centre, skew), s=(a["s"] + skew) % 360, e=(a["e"] + skew) % 360) for a in arcs]
    page = render(width, height, lines, circles, arcs, rng)
    page.save(f"{folder}/{name}.tif", compression="group4", dpi=(dpi, dpi))
    truth = {"width": width, "height": height, "dpi": dpi, "skew": skew, "paper": paper, "lines": lines,
             "circles": circles, "arcs": arcs, "text_boxes": []}
    with open(f"{folder}/{name}.json", "w") as out:
        json.dump(truth, out)


DRAWINGS = [("own-a4-200", "A4", 200, 0.3, 11), ("own-a4-300", "A4", 300, -0.8, 12),
            ("own-a3-400", "A3", 400, 1.1, 13), ("own-a2-300", "A2", 300, -0.2, 14),
            ("own-a1-200", "A1", 200, 0.7, 15), ("own-a4-600", "A4", 600, -1.0, 16)]

if __name__ == "__main__":
    folder = sys.argv[1]
    given = sys.argv[2:]
    drawings = [(given[i], given[i + 1], int(given[i + 2]), float(given[i + 3]), int(given[i + 4]))
                for i in range(0, len(given), 5)] or DRAWINGS
    for drawing in drawings:
        make(folder, *drawing)
