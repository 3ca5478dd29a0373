#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""What make_cad_scans.py draws but leaves out of a page's truth: text set in a TrueType font, and the boxes
(vector_score.py's text_boxes) that cover every drawn piece the score cannot credit.

A box mask is drawn at the scan's resolution: each left-out stroke at its pen's width plus PAD_PX (at the
page's own resolution; twice as many at twice it) on each side, filled areas and hatched regions grown by PAD_PX, text by PAD_PX around its ink. The mask is cut into
cells of CELL_MM; a cell with any masked dot is boxed, gaps of up to GAP_CELLS cells along a row are closed,
and the boxed cells become rectangles (runs along a row, runs of the same columns in following rows
joined). True primitives stay in the truth across boxes, unless more than half of their length lies in
boxes: those are left out and boxed too, until no more are."""
import math

import numpy as np
from PIL import Image, ImageDraw, ImageFont

FONT = "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf"
CAP = 0.75  # the font's capital height per em: a DXF text's height is its capitals' height
LINE_SPACING = 5 / 3  # baseline to baseline, in text heights, of MTEXT lines
DESCENT = 0.4  # the descenders' depth below the baseline, in text heights
FONT_PX = 100  # the cap height at which text_corners measures lines
OVERLAID = 0.5  # the share of a line's box under another line that makes them one drawn symbol
PAD_PX = 2
CELL_MM = 0.5
GAP_CELLS = 2


def fonts():
    cache = {}

    def font(size):
        size = max(1, round(size))
        if size not in cache:
            cache[size] = ImageFont.truetype(FONT, size)
        return cache[size]
    return font


def first_baseline_drop(text):
    """How far the block's first baseline lies below the text's anchor, in pixels of the page: the anchor is
    the top, middle or bottom of the block, or the first baseline."""
    h, count = text["h"], len(text["lines"])
    return {"t": h, "m": h - (count - 1) * LINE_SPACING * h / 2 - h / 2,
            "d": h - (count - 1) * LINE_SPACING * h, "s": 0}[text["va"]]


def text_lines(texts, scale):
    """The lines of the texts as bench/text_score.py's truth: the string, the start of its baseline (pixels
    of the page, y up), the cap height, the angle and the length along the baseline; measured with the font
    at `scale` times the page's resolution, as the page is drawn."""
    font = fonts()
    out = []
    for text in texts:
        h = text["h"]
        face = font(h * scale / CAP)
        c, s = math.cos(math.radians(text["rot"])), math.sin(math.radians(text["rot"]))
        for k, line in enumerate(text["lines"]):
            length = face.getlength(line) / scale * text["wf"]
            along = {"l": 0, "m": -length / 2, "r": -length}[text["ha"]]
            across = -(first_baseline_drop(text) + k * LINE_SPACING * h)
            x, y = text["p"][0] + along * c - across * s, text["p"][1] + along * s + across * c
            out.append({"text": line.strip(), "insertion": [x, y], "height": h, "angle": text["rot"] % 360,
                        "length": length})
    return out


def text_corners(text):
    """The corners of a text's lines, from the cap height above the baseline to the descenders below it, in the
    text's own units."""
    corners = []
    c, s = math.cos(math.radians(text["rot"])), math.sin(math.radians(text["rot"]))
    for line in text_lines([text], FONT_PX / text["h"]):
        (x, y), h, length = line["insertion"], line["height"], line["length"]
        for along, across in ((0, -DESCENT * h), (length, -DESCENT * h), (0, h), (length, h)):
            corners.append((x + along * c - across * s, y + along * s + across * c))
    return corners


def readable(lines):
    """The lines of text_lines() a reader can read as they are: of lines drawn over one another (more than
    OVERLAID of either's box in the other's) the same string is kept once, and different strings are left
    out, being symbols composed of letters (C over L for a centre line, a digit in "(   )")."""
    covered = [any(k != j and max(inside_share(a, b), inside_share(b, a)) > OVERLAID and
                   (a["text"] != b["text"] or j < k) for j, b in enumerate(lines)) for k, a in enumerate(lines)]
    return [line for line, hidden in zip(lines, covered) if not hidden]


def inside_share(a, b):
    """The share of line a's box (baseline to cap height) that lies in line b's box."""
    points = box_points(a)
    (x, y), angle = b["insertion"], math.radians(b["angle"])
    c, s = math.cos(angle), math.sin(angle)
    hits = sum(0 <= (px - x) * c + (py - y) * s <= b["length"] and 0 <= -(px - x) * s + (py - y) * c <= b["height"]
               for px, py in points)
    return hits / len(points)


def box_points(line, steps=8):
    (x, y), angle = line["insertion"], math.radians(line["angle"])
    c, s = math.cos(angle), math.sin(angle)
    points = []
    for i in range(steps):
        for j in range(steps // 2):
            along, across = (i + 0.5) / steps * line["length"], (j + 0.5) / (steps // 2) * line["height"]
            points.append((x + along * c - across * s, y + along * s + across * c))
    return points


def text_stamp(text, scale, font):
    """The ink of a text (dict: p, h, rot, wf, lines, ha 'l'|'m'|'r', va 't'|'m'|'s'|'d', in pixels of the
    page) as an L image at `scale` times the page's resolution, and where its anchor lies in the image."""
    h = text["h"] * scale
    face = font(h / CAP)
    lines = text["lines"]
    longest = max(face.getlength(line) for line in lines) * max(text["wf"], 1)
    block = h * (1 + (len(lines) - 1) * LINE_SPACING) + h
    r = math.ceil(math.hypot(longest, block) + 2 * h)
    width = max(1, round(2 * r / text["wf"]))
    image = Image.new("L", (width, 2 * r), 0)
    draw = ImageDraw.Draw(image)
    drop = first_baseline_drop(text) * scale
    for k, line in enumerate(lines):
        draw.text((width / 2, r + drop + k * LINE_SPACING * h), line, fill=255, font=face, anchor=text["ha"] + "s")
    if width != 2 * r:
        image = image.resize((2 * r, 2 * r), Image.BILINEAR)
    return image.rotate(text["rot"], resample=Image.BILINEAR, center=(r, r)), r


def paint_texts(texts, height, scale):
    """A render() hook that stamps the texts onto the page drawn at `scale` times its resolution."""
    font = fonts()

    def paint(image, to):
        for text in texts:
            stamp, r = text_stamp(text, scale, font)
            x, y = to(text["p"])
            image.paste(0, (round(x - r), round(y - r)), stamp)
    return paint


class Boxes:
    """The box mask of a page (width x height dots, truth y counting from the bottom row)."""

    def __init__(self, width, height, mm, times=1):
        """times: the page's resolution over its own (pads in dots grow with it, so both box alike)."""
        self.width, self.height, self.mm = width, height, mm
        self.pad = PAD_PX * times
        self.mask = Image.new("1", (width, height), 0)
        self.draw = ImageDraw.Draw(self.mask)
        self.cell = max(2, round(CELL_MM * mm))

    def to(self, p):
        return (p[0] + 0.5, self.height - 1 - p[1] + 0.5)

    def stroke(self, piece):
        """A line {a, b, w} or a circle or arc {c, r, [s, e], w}, its pen grown by PAD_PX."""
        half = piece["w"] / 2 + self.pad
        if "a" in piece:
            (ax, ay), (bx, by) = self.to(piece["a"]), self.to(piece["b"])
            length = math.hypot(bx - ax, by - ay)
            if length > 0:
                nx, ny = -(by - ay) / length * half, (bx - ax) / length * half
                self.draw.polygon([(ax + nx, ay + ny), (bx + nx, by + ny), (bx - nx, by - ny), (ax - nx, ay - ny)],
                                  fill=1)
            for x, y in ((ax, ay), (bx, by)):
                self.draw.ellipse([x - half, y - half, x + half, y + half], fill=1)
            return
        (cx, cy), r = self.to(piece["c"]), piece["r"]
        box = [cx - r - half, cy - r - half, cx + r + half, cy + r + half]
        if r <= half:
            self.draw.ellipse(box, fill=1)
        elif "s" in piece:
            self.draw.arc(box, -piece["e"], -piece["s"], fill=1, width=math.ceil(2 * half))
            for angle in (piece["s"], piece["e"]):
                x, y = self.to((piece["c"][0] + r * math.cos(math.radians(angle)),
                                piece["c"][1] + r * math.sin(math.radians(angle))))
                self.draw.ellipse([x - half, y - half, x + half, y + half], fill=1)
        else:
            self.draw.ellipse(box, outline=1, width=math.ceil(2 * half))

    def area(self, polygon):
        """A filled area or a hatched region, grown by PAD_PX."""
        points = [self.to(p) for p in polygon]
        self.draw.polygon(points, fill=1)
        self.draw.line(points + points[:1], fill=1, width=2 * self.pad + 1, joint="curve")

    def hole(self, polygon):
        """A hole in the filled areas, shrunk by PAD_PX."""
        points = [self.to(p) for p in polygon]
        self.draw.polygon(points, fill=0)
        self.draw.line(points + points[:1], fill=1, width=2 * self.pad + 1, joint="curve")

    def text(self, text):
        stamp, r = text_stamp(text, 1, fonts())
        x, y = self.to(text["p"])
        ink = stamp.point(lambda v: 255 if v else 0).convert("1")
        grown = Image.new("1", ink.size, 0)
        for dx in range(-self.pad, self.pad + 1):
            for dy in range(-self.pad, self.pad + 1):
                grown.paste(1, (dx, dy), ink)
        self.mask.paste(1, (round(x - r), round(y - r)), grown)

    def cells(self):
        """Boxed cells (rows from the top, columns), gaps along a row closed."""
        dots = np.asarray(self.mask, dtype=bool)
        c = self.cell
        rows, cols = -(-self.height // c), -(-self.width // c)
        padded = np.zeros((rows * c, cols * c), bool)
        padded[:self.height, :self.width] = dots
        on = padded.reshape(rows, c, cols, c).any(axis=(1, 3))
        found = on.copy()
        for gap in range(1, min(GAP_CELLS, cols - 2) + 1):
            ends = found[:, :cols - gap - 1] & found[:, gap + 1:]  # on cells gap + 1 apart
            for k in range(1, gap + 1):
                on[:, k:k + cols - gap - 1] |= ends
        return on

    def rectangles(self, on):
        """The boxed cells as boxes [x0, y0, x1, y1] in the truth's coordinates."""
        boxes, open_ = [], {}
        for row in range(on.shape[0] + 1):
            runs = set()
            if row < on.shape[0]:
                line = np.concatenate([[False], on[row], [False]])
                edges = np.flatnonzero(line[1:] != line[:-1])
                runs = set(zip(edges[::2], edges[1::2]))
            for run in list(open_):
                if run not in runs:
                    boxes.append(self.box(open_.pop(run), row, run))
            for run in runs:
                open_.setdefault(run, row)
        return boxes

    def box(self, first_row, end_row, run):
        c = self.cell
        x0, x1 = run[0] * c - 0.5, min(run[1] * c, self.width) - 0.5
        top, bottom = first_row * c, min(end_row * c, self.height)
        return [x0, self.height - bottom - 0.5, x1, self.height - top - 0.5]


def samples(piece):
    """Points along a true primitive a dot apart, as the score samples it."""
    if "a" in piece:
        a, b = np.asarray(piece["a"], float), np.asarray(piece["b"], float)
        n = max(1, math.ceil(math.dist(a, b)))
        return a + (b - a) * (np.arange(n + 1) / n)[:, None]
    s, e = (piece["s"], piece["e"]) if "s" in piece else (0, 360)
    s, e = math.radians(s), math.radians(e)
    while e <= s:
        e += 2 * math.pi
    n = max(2, math.ceil(piece["r"] * (e - s)))
    angle = s + (e - s) * np.arange(n + 1) / n
    return np.stack([piece["c"][0] + piece["r"] * np.cos(angle), piece["c"][1] + piece["r"] * np.sin(angle)], 1)


def boxed_share(points, on, cell, height):
    col = np.floor(points[:, 0] + 0.5).astype(int) // cell
    row = (height - 1 - np.floor(points[:, 1] + 0.5).astype(int)) // cell
    inside = (row >= 0) & (col >= 0) & (row < on.shape[0]) & (col < on.shape[1])
    hit = np.zeros(len(points), bool)
    hit[inside] = on[row[inside], col[inside]]
    return hit.mean()


def settle(truth, boxes):
    """Leaves out of the truth the primitives that lie mostly in boxes, boxing them too, until none does;
    writes the boxes into the truth."""
    while True:
        on = boxes.cells()
        kept = {}
        dropped = 0
        for kind in ("lines", "circles", "arcs"):
            kept[kind] = []
            for piece in truth[kind]:
                if boxed_share(samples(piece), on, boxes.cell, boxes.height) > 0.5:
                    boxes.stroke(piece)
                    dropped += 1
                else:
                    kept[kind].append(piece)
        truth.update(kept)
        if not dropped:
            break
    truth["text_boxes"] = boxes.rectangles(on)
