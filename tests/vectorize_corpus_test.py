#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Vectorizes scans with known geometry and checks the DXF, read by ezdxf, against it: drawings made in a
CAD program (tests/data/cad, plotted by bench/make_cad_scans.py) and a table of small shapes drawn here
(dots, dashes, filled areas). Checked: no LINE of zero length, no entity twice, every group of four or
more touching ink dots under an entity, and the share of the true length that entities follow.

vectorize_corpus_test.py KELVARIN_CLI SOURCE_DIR"""
import json
import math
import os
import random
import subprocess
import sys
import tempfile
import unittest

import ezdxf
import numpy as np
from PIL import Image, ImageDraw
from scipy import ndimage
from scipy.spatial import cKDTree

CLI, SOURCE = sys.argv[1], sys.argv[2]
# Share of the true length within half the stroke width + 1.5 dots of an entity of the same direction.
FOLLOWED = {"door-d1": 0.98, "t-part": 0.95, "thin-schematic": 0.97}
DUST = 12  # cells: the scans' dust (up to 3 x 2) and specks of edge noise are smaller


def entities(path):
    """(kind, points a dot apart along it, key that equal entities share) per entity of the DXF."""
    found = []
    for e in ezdxf.readfile(path).modelspace():
        kind = e.dxftype()
        if kind == "LINE":
            a, b = np.array(e.dxf.start)[:2], np.array(e.dxf.end)[:2]
            n = max(1, int(math.ceil(np.hypot(*(b - a)))))
            points = a + (b - a) * (np.arange(n + 1) / n)[:, None]
            key = tuple(sorted([tuple(np.round(a, 1)), tuple(np.round(b, 1))]))
            found.append((kind, points, key, float(np.hypot(*(b - a)))))
        elif kind in ("ARC", "CIRCLE"):
            c, r = np.array(e.dxf.center)[:2], e.dxf.radius
            s, t = (e.dxf.start_angle, e.dxf.end_angle) if kind == "ARC" else (0.0, 360.0)
            sweep = (t - s) % 360 or 360
            angles = np.radians(s + sweep * np.arange(max(8, int(r * math.radians(sweep))) + 1) /
                                max(8, int(r * math.radians(sweep))))
            points = np.stack([c[0] + r * np.cos(angles), c[1] + r * np.sin(angles)], 1)
            key = (kind, round(c[0], 1), round(c[1], 1), round(r, 1), round(s, 1), round(t, 1))
            found.append((kind, points, key, r))
    return found


def following(entity, point, reach=2.0):
    """Whether point lies within reach of the round entity's stroke, between its ends."""
    kind, _, key, radius = entity
    centre = np.array(key[1:3])
    if abs(np.hypot(*(point - centre)) - radius) > reach:
        return False
    if kind == "CIRCLE":
        return True
    start, end = key[4], key[5]
    degrees = math.degrees(math.atan2(point[1] - centre[1], point[0] - centre[0]))
    return (degrees - start) % 360 <= (end - start) % 360


def as_found(arc):
    """A true arc (vector_score.py's dict) as entities() gives an ARC."""
    return "ARC", None, ("ARC", arc["c"][0], arc["c"][1], arc["r"], arc["s"], arc["e"]), arc["r"]


def middle_of(arc):
    """The middle point of an ARC found."""
    _, _, key, radius = arc
    middle = math.radians(key[4] + (key[5] - key[4]) % 360 / 2)
    return np.array((key[1] + radius * math.cos(middle), key[2] + radius * math.sin(middle)))


def arc_followed(found, centre, r, start, sweep):
    """The largest share of the true arc (centre and degrees y up) that one ARC of its circle (within 1.5 dots
    + 2 %) follows."""
    cx, cy = centre
    points = [np.array((cx + r * math.cos(math.radians(d)), cy + r * math.sin(math.radians(d))))
              for d in start + np.linspace(0, sweep, 101)]
    arcs = [f for f in found if f[0] == "ARC" and math.dist(f[2][1:3], (cx, cy)) <= 1.5 + 0.02 * r
            and abs(f[3] - r) <= 1.5 + 0.02 * r]
    return max([np.mean([following(f, p) for p in points]) for f in arcs], default=0)


def vectorize(tif, folder):
    dxf = os.path.join(folder, os.path.basename(tif).replace(".tif", ".dxf"))
    subprocess.run([CLI, "--yes", "--quiet", "--vectorize", "--no-text", "-o", dxf, tif], check=True)
    return entities(dxf)


def ink_groups(tif):
    """Labels of the groups of touching ink dots (diagonals too), y from the bottom row as in the DXF."""
    ink = np.array(Image.open(tif).convert("L"))[::-1] < 128
    labels, count = ndimage.label(ink, structure=np.ones((3, 3)))
    return labels, np.bincount(labels.ravel(), minlength=count + 1)


class Checks:
    def assert_sound(self, tif, found, smallest=4):
        lines = [f for f in found if f[0] == "LINE"]
        self.assertFalse([f[2] for f in lines if f[3] < 0.5], "LINEs of zero length")
        keys = [f[2] for f in found]
        self.assertEqual(len(keys), len(set(keys)), "an entity written twice")
        labels, sizes = ink_groups(tif)
        covered = np.zeros(len(sizes), bool)
        for _, points, _, _ in found:
            xy = np.round(points).astype(int)
            inside = (xy[:, 0] >= 0) & (xy[:, 1] >= 0) & (xy[:, 0] < labels.shape[1]) & (xy[:, 1] < labels.shape[0])
            covered[labels[xy[inside, 1], xy[inside, 0]]] = True
        rounds = [f for f in found if f[0] != "LINE"]
        for a in rounds:
            for b in rounds:
                if a is not b:
                    self.assertLess(np.mean([following(b, p) for p in a[1]]), 0.4, f"{a[2]} lies along {b[2]}")
        bare = [int(k) for k in np.nonzero((sizes >= smallest) & ~covered)[0] if k > 0]
        where = [tuple(int(v) for v in np.argwhere(labels == k)[0][::-1]) for k in bare[:5]]
        self.assertFalse(bare, f"groups of ink without an entity, first cells (x, y): {where}")


class CadDrawings(unittest.TestCase, Checks):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp()
        subprocess.run(["/usr/bin/python3", os.path.join(SOURCE, "bench/make_cad_scans.py"), cls.folder, "--set",
                        "tests", "--sources", os.path.join(SOURCE, "tests/data/cad")], check=True)

    def test_drawings(self):
        for name, share in FOLLOWED.items():
            with self.subTest(drawing=name):
                tif = os.path.join(self.folder, name + ".tif")
                found = vectorize(tif, self.folder)
                self.assert_sound(tif, found, DUST)
                truth = json.load(open(os.path.join(self.folder, name + ".json")))
                self.assertGreaterEqual(followed_share(truth, found), share)


def followed_share(truth, found):
    samples, directions, widths = [], [], []
    for line in truth["lines"]:
        a, b = np.array(line["a"]), np.array(line["b"])
        n = max(1, int(math.ceil(np.hypot(*(b - a)))))
        samples.append(a + (b - a) * (np.arange(n + 1) / n)[:, None])
        directions.append(np.repeat([(b - a) / np.hypot(*(b - a))], n + 1, 0))
        widths.append(np.full(n + 1, line["w"]))
    for rnd in truth["circles"] + truth["arcs"]:
        s, e = rnd.get("s", 0.0), rnd.get("e", 360.0)
        sweep = (e - s) % 360 or 360
        n = max(8, int(rnd["r"] * math.radians(sweep)))
        angles = np.radians(s + sweep * np.arange(n + 1) / n)
        samples.append(np.stack([rnd["c"][0] + rnd["r"] * np.cos(angles), rnd["c"][1] + rnd["r"] * np.sin(angles)], 1))
        directions.append(np.stack([-np.sin(angles), np.cos(angles)], 1))
        widths.append(np.full(n + 1, rnd["w"]))
    samples, directions, widths = np.concatenate(samples), np.concatenate(directions), np.concatenate(widths)
    points = np.concatenate([f[1] for f in found])
    ways = np.concatenate([np.gradient(f[1], axis=0) if len(f[1]) > 1 else np.zeros_like(f[1]) for f in found])
    ways /= np.maximum(np.hypot(ways[:, 0], ways[:, 1]), 1e-9)[:, None]
    tree = cKDTree(points)
    followed = 0
    for sample, direction, near in zip(samples, directions, tree.query_ball_point(samples, widths / 2 + 1.5)):
        followed += bool(near) and bool((np.abs(ways[near] @ direction) >= math.cos(math.radians(6))).any())
    return followed / len(samples)


class SmallShapes(unittest.TestCase, Checks):
    """Shapes drawn at 300 dpi with soft edges; each row of the table one kind."""

    def test_dots_dashes_and_fills(self):
        folder = tempfile.mkdtemp()
        image = Image.new("L", (1200, 1000), 255)
        draw = ImageDraw.Draw(image)
        for k in range(12):  # dotted lines of 2 x 2 and 3 x 3 dots, dashes of a hyphen's size
            draw.rectangle([60 + 14 * k, 60, 61 + 14 * k, 61], fill=0)
            draw.rectangle([60 + 14 * k, 100, 62 + 14 * k, 102], fill=0)
            draw.rectangle([60 + 24 * k, 140, 70 + 24 * k, 143], fill=0)
            draw.line([(60 + 30 * k, 200), (72 + 30 * k, 212)], fill=0, width=4)
        discs = [((500 + 90 * k, 100), r) for k, r in enumerate([3, 6, 12, 25, 40])]
        for (x, y), r in discs:  # filled discs
            draw.ellipse([x - r, y - r, x + r, y + r], fill=0)
        # Filled discs whose fill falls short of their outline here and there: specks of background along the
        # edge, inside it.
        rimmed = [((520 + 100 * k, 250), r) for k, r in enumerate([14, 20, 30])]
        for (x, y), r in rimmed:
            draw.ellipse([x - r, y - r, x + r, y + r], fill=0)
            for start in (20, 140, 200, 300):
                draw.arc([x - r + 2, y - r + 2, x + r - 2, y + r - 2], start, start + 25, fill=255)
        discs += rimmed
        draw.polygon([(100, 400), (160, 420), (100, 440)], fill=0)  # arrowheads and a filled wall
        draw.polygon([(300, 400), (240, 410), (300, 420)], fill=0)
        draw.rectangle([400, 380, 700, 420], fill=0)
        for row in range(6):  # a checkerboard
            for column in range(6):
                if (row + column) % 2 == 0:
                    draw.rectangle([800 + 30 * column, 350 + 30 * row, 829 + 30 * column, 379 + 30 * row], fill=0)
        # Small circles of twice to five times the stroke width, thin ones, and pairs one inside the other,
        # apart and touching: (centre, radius, stroke width).
        rings = [((100 + 70 * k, 560), r, 3) for k, r in enumerate([6, 8, 11, 14])] + [((310, 560), 6, 3)]
        rings += [((400 + 40 * k, 620), 9 + 0.3 * k, 2) for k in range(4)]
        rings += [((420 + 60 * k, 540), r, w) for k, w in enumerate([2, 3, 3]) for r in (11, 7)]
        for (x, y), r, w in rings:
            draw.ellipse([x - r - w / 2, y - r - w / 2, x + r + w / 2, y + r + w / 2], outline=0, width=w)
        # A rounded rectangle drawn smooth, six times finer, then scanned: (left, top, right, bottom) of its
        # centre line, the corners' radius and the stroke width.
        box, bend, pen = (100, 760, 500, 960), 40, 3
        fine = Image.new("L", ((box[2] - box[0] + 40) * 6, (box[3] - box[1] + 40) * 6), 255)
        for grow, fill in ((pen / 2, 0), (-pen / 2, 255)):
            # A dot's centre is half a dot into it: 3 of the fine dots.
            ImageDraw.Draw(fine).rounded_rectangle([6 * (20 - grow) + 3, 6 * (20 - grow) + 3,
                                                    fine.width - 6 * (20 - grow) + 3, fine.height - 6 * (20 - grow) + 3],
                                                   radius=6 * (bend + grow), fill=fill)
        image.paste(fine.resize((fine.width // 6, fine.height // 6), Image.LANCZOS), (box[0] - 20, box[1] - 20))
        draw.line([(60, 700), (1100, 700)], fill=0, width=5)
        draw.line([(600, 500), (600, 760)], fill=0, width=5)
        tif = os.path.join(folder, "shapes.tif")
        image.point(lambda v: 0 if v < 128 else 255).convert("1").save(tif, compression="group4", dpi=(300, 300))
        found = vectorize(tif, folder)
        self.assert_sound(tif, found)
        # Each filled disc one CIRCLE round its edge, and nothing else within it.
        for (x, y), r in discs:
            with self.subTest(disc=r):
                centre, edge = np.array([x, image.height - 1 - y]), r + 0.5
                inside = [f for f in found if (np.hypot(*(f[1] - centre).T) <= edge + 1).all()]
                self.assertEqual(len(inside), 1)
                kind, points, _, radius = inside[0]
                self.assertEqual(kind, "CIRCLE")
                self.assertLessEqual(abs(radius - edge), 1.5 + 0.02 * edge)
                self.assertLessEqual(np.hypot(*(points.mean(0) - centre)), 1.5)
        # Each corner one ARC of its radius, and nothing else bent.
        corners = [(x, image.height - 1 - y) for x in (box[0] + bend, box[2] - bend) for y in (box[1] + bend,
                                                                                                 box[3] - bend)]
        bends = [f for f in found if f[0] != "LINE" and box[0] - 5 <= f[2][1] <= box[2] + 5
                 and image.height - 1 - box[3] - 5 <= f[2][2] <= image.height - 1 - box[1] + 5]
        self.assertEqual(len(bends), 4, [f[2] for f in bends])
        for x, y in corners:
            with self.subTest(corner=(x, y)):
                self.assertTrue([f for f in bends if np.hypot(f[2][1] - x, f[2][2] - y) <= 1.5 + 0.02 * bend
                                 and abs(f[3] - bend) <= 1.5 + 0.02 * bend], [f[2] for f in bends])
        for (x, y), r, _ in rings:
            with self.subTest(ring=r, x=x):
                centre = np.array([x, image.height - 1 - y])
                circles = [f for f in found if f[0] == "CIRCLE" and np.hypot(*(f[1].mean(0) - centre)) <= 1.5
                           and abs(f[3] - r) <= 1.5 + 0.02 * r]
                self.assertEqual(len(circles), 1)


def edge_followers(edge, found, reach):
    """The largest share of an edge's points that one LINE alone follows within reach dots and 6 degrees."""
    a, b = np.array(edge[0], float), np.array(edge[1], float)
    n = max(1, int(math.ceil(np.hypot(*(b - a)))))
    points, way = a + (b - a) * (np.arange(n + 1) / n)[:, None], (b - a) / np.hypot(*(b - a))
    best = 0.0
    for kind, along, _, size in found:
        if kind != "LINE" or size < 2:
            continue
        d = (along[-1] - along[0]) / np.hypot(*(along[-1] - along[0]))
        if abs(d @ way) < math.cos(math.radians(6)):
            continue
        t = np.clip((points - along[0]) @ d, 0, size)
        off = np.hypot(*(points - (along[0] + t[:, None] * d)).T)
        best = max(best, float((off <= reach).mean()))
    return best


class FilledAreas(unittest.TestCase, Checks):
    """Filled polygons, alone on a page and among strokes: each drawn as its outline, every edge followed by
    one LINE alone (90 % of it, within 1.5 dots of the edge and half a dot of the scan's rounding)."""

    # name: corners in dots of a 300 dpi page (y down), as a CAD program fills them
    SHAPES = {
        "triangle": [(100, 100), (220, 140), (100, 180)],
        "arrowhead": [(400, 100), (300, 118), (400, 136)],
        "wall": [(500, 80), (900, 80), (900, 110), (500, 110)],
        "band": [(950, 60), (1150, 60), (1150, 78), (950, 78)],
        "ell": [(100, 300), (300, 300), (300, 330), (130, 330), (130, 450), (100, 450)],
        "section marker": [(500, 300), (620, 300), (560, 400)],
        "slanted wall": [(700, 300), (1000, 380), (992, 410), (692, 330)],
    }
    # tip, direction (unit), length: arrowheads a third as wide as long, at 300 dpi 3 to 6 mm
    LEADERS = [((1250, 300), (0, 1), 36), ((1100, 150), (1, 0), 48), ((1200, 420), (0.6, 0.8), 70)]
    CHECKERBOARD = [(1000 + 40 * column, 500 + 40 * row) for row in range(4) for column in range(4)
                    if (row + column) % 2 == 0]

    def page(self, strokes):
        image = Image.new("L", (1300, 800), 255)
        draw = ImageDraw.Draw(image)
        for corners in self.SHAPES.values():
            draw.polygon(corners, fill=0)
        for x, y in self.CHECKERBOARD:
            draw.rectangle([x, y, x + 39, y + 39], fill=0)
        if strokes:  # thin lines over most of the page, as a drawing's own
            for k in range(30):
                draw.line([(60, 480 + 10 * k), (900, 480 + 10 * k)], fill=0, width=3)
        for (x, y), (dx, dy), size in self.LEADERS:  # a line into a filled arrowhead at its tip
            draw.line([(x - 200 * dx, y - 200 * dy), (x - size * dx, y - size * dy)], fill=0, width=3)
            base = (x - size * dx, y - size * dy)
            draw.polygon([(x, y), (base[0] - dy * size / 6, base[1] + dx * size / 6),
                          (base[0] + dy * size / 6, base[1] - dx * size / 6)], fill=0)
        folder = tempfile.mkdtemp()
        tif = os.path.join(folder, "fills.tif")
        image.convert("1").save(tif, compression="group4", dpi=(300, 300))
        return tif, image.height

    def test_outlines(self):
        squares = [[(x, y), (x + 40, y), (x + 40, y + 40), (x, y + 40)] for x, y in self.CHECKERBOARD]
        for strokes in (False, True):
            tif, height = self.page(strokes)
            found = vectorize(tif, os.path.dirname(tif))
            self.assert_sound(tif, found)
            for name, corners in list(self.SHAPES.items()) + [("checkerboard", c) for c in squares]:
                flipped = [(x, height - 1 - y) for x, y in corners]
                for a, b in zip(flipped, flipped[1:] + flipped[:1]):
                    with self.subTest(strokes=strokes, shape=name, edge=(a, b)):
                        self.assertGreaterEqual(edge_followers((a, b), found, 2.0), 0.9)
            for (x, y), (dx, dy), size in self.LEADERS:
                with self.subTest(strokes=strokes, leader=(x, y)):
                    tip, start = (x, height - 1 - y), (x - 150 * dx, height - 1 - (y - 150 * dy))
                    self.assertGreaterEqual(edge_followers((start, tip), found, 2.0), 0.95)


class Arrowheads(unittest.TestCase, Checks):
    """Dimension lines with filled arrowheads at both ends, drawn smooth at 300 dpi at several angles: each
    arrowhead's two long sides are LINEs from its point to its base's corners."""

    LENGTH, BASE, PEN = 45, 15, 3  # dots

    def test_sides(self):
        scale, size = 6, (900, 900)
        fine = Image.new("L", (size[0] * scale, size[1] * scale), 255)
        draw = ImageDraw.Draw(fine)
        to = lambda p: ((p[0] + 0.5) * scale, (p[1] + 0.5) * scale)  # y down; a dot's centre half a dot in
        heads = []
        for k, degrees in enumerate([0, 30, 90, 135, 200, 260]):
            centre = (150 + 300 * (k % 3), 170 + 330 * (k // 3))
            way = np.array([math.cos(math.radians(degrees)), -math.sin(math.radians(degrees))])
            across = np.array([-way[1], way[0]])
            a, b = np.array(centre) - 110 * way, np.array(centre) + 110 * way
            draw.line([to(a), to(b)], fill=0, width=self.PEN * scale)
            for tip, inward in ((a, way), (b, -way)):
                base = tip + inward * self.LENGTH
                corners = [base + across * self.BASE / 2, base - across * self.BASE / 2]
                draw.polygon([to(tip), to(corners[0]), to(corners[1])], fill=0)
                heads.append((tip, corners))
        # Strokes that widen an end without an arrowhead: a thin line ending just past a heavy one it crosses
        # at a slant, and one ending in a heavy one's side.
        crossings = [((120, 840), (330, 760)), ((420, 760), (600, 840))]
        draw.line([to((90, 800)), to((660, 800))], fill=0, width=7 * scale)
        for a, b in crossings:
            draw.line([to(a), to(b)], fill=0, width=2 * scale)
        folder = tempfile.mkdtemp()
        tif = os.path.join(folder, "arrows.tif")
        page = fine.resize(size, Image.LANCZOS).point(lambda v: 0 if v < 128 else 255).convert("1")
        page.save(tif, compression="group4", dpi=(300, 300))
        found = vectorize(tif, folder)
        self.assert_sound(tif, found)
        up = lambda p: np.array([p[0], size[1] - 1 - p[1]])
        lines = [f[1][[0, -1]] for f in found if f[0] == "LINE"]
        for tip, corners in heads:
            for corner in corners:
                with self.subTest(tip=tuple(tip), corner=tuple(corner)):
                    side = [ends for ends in lines for first, last in (ends, ends[::-1])
                            if np.hypot(*(first - up(tip))) <= 3 and np.hypot(*(last - up(corner))) <= 4]
                    self.assertTrue(side, "no LINE along the arrowhead's side")
        near = [f[2] for f in found if f[0] == "LINE" and (f[1][:, 1] < size[1] - 1 - 730).all()]
        self.assertEqual(len(near), 3, near)


    def test_none_where_strokes_meet(self):
        """Parts of a generated A0 sheet at 600 dpi where a stroke's end widens without an arrowhead: a heavy
        line ending in hatching, a thin line crossing a heavy one at a slant, a line running into a filled
        area. No three LINEs close a triangle there."""
        folder = tempfile.mkdtemp()
        for name in ("crossing-hatching", "crossing-at-a-slant", "into-a-filled-area"):
            with self.subTest(page=name):
                found = vectorize(os.path.join(SOURCE, "tests/data/vector", name + ".tif"), folder)
                ends = [tuple(map(tuple, np.round(f[1][[0, -1]], 1))) for f in found if f[0] == "LINE"]
                corners = {}
                for a, b in ends:
                    corners.setdefault(a, set()).add(b)
                    corners.setdefault(b, set()).add(a)
                loops = [(a, b, c) for a in corners for b in corners[a] for c in corners[b] if c != a and a in corners[c]]
                self.assertFalse(loops)


class BreakLines(unittest.TestCase, Checks):
    """Break lines drawn smooth and scanned at 300 dpi: bends of 60 degrees joined by short lines that run on
    from them, as heavy pens draw a broken-off part's edge. Each bend is one ARC and each line one LINE."""

    # radius, pen width and length of the short lines, in dots
    WAVES = [(40, 7, 50), (40, 5, 40), (30, 4, 40)]
    BENDS = 6

    def page(self, waves, shift, name):
        """A page of break lines, one a row, their first bend shifted by a fraction of a dot: the scan and the
        bends' true centres and radii (y down)."""
        width, height, scale = 800, 190 * len(waves) + 40, 6
        fine = Image.new("L", (width * scale, height * scale), 255)
        draw = ImageDraw.Draw(fine)
        to = lambda v: (v + 0.5) * scale  # a dot's centre is half a dot into it
        true = []
        for k, (radius, width_, line) in enumerate(waves):
            centre = (60.3 + shift, 110.6 + 190 * k + shift / 2)  # the first bend's crest on top
            for bend in range(self.BENDS):
                up = bend % 2 == 0
                start, end = (240, 300) if up else (60, 120)  # Pillow's degrees run clockwise, y down
                true.append((centre, radius))
                box = [to(centre[0] - radius - width_ / 2), to(centre[1] - radius - width_ / 2),
                       to(centre[0] + radius + width_ / 2), to(centre[1] + radius + width_ / 2)]
                draw.arc(box, start, end, fill=0, width=round(width_ * scale))
                turn = math.radians(end if up else start)  # the right end, where the line leaves
                a = (centre[0] + radius * math.cos(turn), centre[1] + radius * math.sin(turn))
                way = (math.cos(math.radians(30)), math.sin(math.radians(30)) * (1 if up else -1))
                b = (a[0] + line * way[0], a[1] + line * way[1])
                across = (-way[1] * width_ / 2, way[0] * width_ / 2)
                draw.polygon([(to(a[0] + sx * across[0]), to(a[1] + sx * across[1])) for sx in (1, -1)] +
                             [(to(b[0] + sx * across[0]), to(b[1] + sx * across[1])) for sx in (-1, 1)],
                             fill=0)
                centre = (b[0] + radius / 2, b[1] + (-radius if up else radius) * math.sqrt(3) / 2)
        tif = os.path.join(self.folder, name)
        page = fine.resize((width, height), Image.LANCZOS).point(lambda v: 0 if v < 128 else 255).convert("1")
        page.save(tif, compression="group4", dpi=(300, 300))
        return tif, page.height, true

    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp()

    def test_bends(self):
        tif, height, true = self.page(self.WAVES, 0, "waves.tif")
        found = vectorize(tif, self.folder)
        self.assert_sound(tif, found)
        # Nearly every bend one ARC of about its circle, and no flat arc across a bend and a line.
        followed = [any(f[0] == "ARC" and abs(f[3] - radius) <= 0.15 * radius and
                        np.hypot(f[2][1] - x, f[2][2] - (height - 1 - y)) <= 0.15 * radius for f in found)
                    for (x, y), radius in true]
        self.assertGreaterEqual(sum(followed), len(true) - 2, followed)
        flat = [f[2] for f in found if f[0] == "ARC" and f[3] > 1.5 * max(r for r, _, _ in self.WAVES)]
        self.assertFalse(flat)

    def test_bend_circles(self):
        """Over break lines at six shifts, most bends' ARCs within 1.5 dots + 1 % of their true circle; the
        lines between bends are shorter than some bends' radius."""
        hits, count = 0, 0
        for shift in (0, 0.2, 0.4, 0.6, 0.8, 0.9):
            tif, height, true = self.page(self.WAVES + [(60, 7, 60)], shift, "shifted.tif")
            found = [f for f in vectorize(tif, self.folder) if f[0] == "ARC"]
            count += len(true)
            hits += sum(any(abs(f[3] - radius) <= 1.5 + 0.01 * radius and
                            np.hypot(f[2][1] - x, f[2][2] - (height - 1 - y)) <= 1.5 + 0.01 * radius for f in found)
                        for (x, y), radius in true)
        self.assertGreaterEqual(hits, 0.79 * count)


MAKER = """
import json, random, sys
sys.path.insert(0, sys.argv[1])
from make_vector_drawings import render
for k, (size, lines, arcs) in enumerate(json.load(open(sys.argv[2]))):
    render(size[0], size[1], lines, [], arcs, random.Random(3)).save(sys.argv[3] % k, compression="group4",
                                                                     dpi=(300, 300))
"""


def scan_pages(pages, pattern):
    """Scans pages of (size, lines, arcs) with the scan model's noise to pattern % k, in a fresh process:
    Pillow's noise depends on what the process drew before, so the pages are the same each run."""
    shapes = pattern.replace("%d", "shapes") + ".json"
    with open(shapes, "w") as out:
        json.dump(pages, out)
    subprocess.run(["/usr/bin/python3", "-c", MAKER, os.path.join(SOURCE, "bench"), shapes, pattern], check=True)


def clipped(point, direction, box):
    """The part of the line through point along direction that lies in box (x0, y0, x1, y1), or None."""
    low, high = -1e9, 1e9
    for k in (0, 1):
        if abs(direction[k]) < 1e-12:
            if not box[k] <= point[k] <= box[k + 2]:
                return None
            continue
        ends = sorted(((box[k] - point[k]) / direction[k], (box[k + 2] - point[k]) / direction[k]))
        low, high = max(low, ends[0]), min(high, ends[1])
    if high <= low:
        return None
    return tuple((point[0] + t * direction[0], point[1] + t * direction[1]) for t in (low, high))


class FlatArcs(unittest.TestCase):
    """Flat arcs (15-40 degrees, radius 300-1200 dots) scanned with the edge noise of the scan model: each
    ARC's radius within 1.5 dots + 1 %, and no bias to the small side. A circle fitted to a short noisy arc
    by its algebra comes out a few dots small on the whole."""

    # radius, sweep in degrees, pen width (dots)
    ARCS = [(300, 40, 3), (500, 30, 3), (800, 20, 4), (1200, 15, 3), (400, 25, 2), (600, 35, 5), (700, 25, 3),
            (1000, 18, 2)]
    PAGES = 4

    def test_radii(self):
        sys.path.insert(0, os.path.join(SOURCE, "bench"))
        from make_vector_drawings import render
        width, height = 1600, 900
        arcs = [{"c": [110 + 190.37 * k, height - 120 - (k % 2) * 380 - 0.29 * k - radius], "r": radius,
                 "s": 90 - sweep / 2, "e": 90 + sweep / 2, "w": pen}
                for k, (radius, sweep, pen) in enumerate(self.ARCS)]
        folder = tempfile.mkdtemp()
        errors, within = [], 0
        for seed in range(self.PAGES):
            tif = os.path.join(folder, "flat-%d.tif" % seed)
            render(width, height, [], [], arcs, random.Random(seed)).save(tif, compression="group4",
                                                                           dpi=(300, 300))
            found = [f for f in vectorize(tif, folder) if f[0] == "ARC"]
            for arc in arcs:
                nearest = min(found, key=lambda f: math.hypot(f[2][1] - arc["c"][0], f[2][2] - arc["c"][1]) +
                              abs(f[3] - arc["r"]))
                errors.append(nearest[3] - arc["r"])
                within += abs(errors[-1]) <= 1.5 + 0.01 * arc["r"]
        self.assertGreaterEqual(within, 0.95 * len(errors), errors)
        self.assertLessEqual(abs(sum(errors) / len(errors)), 2, errors)


class HeavyRoundedRectangles(unittest.TestCase):
    """Rounded rectangles of a heavy pen, each scanned on a page of its own with the scan model's noise: every
    side one LINE (90 % of it within 2 dots) and every corner one ARC of its circle (within 1.5 dots + 2 %)
    that follows 90 % of it, though a side's ink runs on along a wide corner's for a while (a valve's
    envelope on a page turned a little, its pins' leads crossing the corners)."""

    # left, bottom, right, top of the centre line (y up), corners' radius, pen, gap to a frame round it
    # (0: none), how far past the ends of the top and bottom sides leads cross the corners (0: none), and the
    # turn in degrees about the middle
    SHAPES = [((40.3, 40.6, 135.3, 116.6), 19, 5.9, 9, 0, 0),  # a sink in a worktop: 3 dots clear of it
              ((40.3, 40.6, 135.3, 116.6), 25, 5.9, 0, 0, 0),  # sides of 26 and 45 beside the corners
              ((70.3, 70.6, 430.3, 510.6), 92, 5.5, 0, 31, 0.3),
              ((70.3, 70.6, 430.3, 510.6), 92, 5.5, 0, 31, 0.6)]

    def test_sides_and_corners(self):
        folder, pages = tempfile.mkdtemp(), []
        for (x0, y0, x1, y1), r, pen, gap, lead, turn in self.SHAPES:
            cos, sin = math.cos(math.radians(turn)), math.sin(math.radians(turn))
            middle = ((x0 + x1) / 2, (y0 + y1) / 2)
            turned = lambda p: (middle[0] + (p[0] - middle[0]) * cos - (p[1] - middle[1]) * sin,  # noqa: E731
                                middle[1] + (p[0] - middle[0]) * sin + (p[1] - middle[1]) * cos)
            sides = [((x0 + r, y0), (x1 - r, y0)), ((x1, y0 + r), (x1, y1 - r)), ((x1 - r, y1), (x0 + r, y1)),
                     ((x0, y1 - r), (x0, y0 + r))]
            bends = [((x1 - r, y0 + r), 270), ((x1 - r, y1 - r), 0), ((x0 + r, y1 - r), 90), ((x0 + r, y0 + r), 180)]
            strokes = [(a, b, pen) for a, b in sides]
            if gap:
                a, b, c, d = x0 - gap, y0 - gap, x1 + gap, y1 + gap
                strokes += [(p, q, 5) for p, q in (((a, b), (c, b)), ((c, b), (c, d)), ((c, d), (a, d)),
                                                    ((a, d), (a, b)))]
            for x in (x0 + r - lead, x1 - r + lead) if lead else ():
                strokes += [((x, y0 - 60), (x, y0 + r), pen), ((x, y1 + 60), (x, y1 - r), pen)]
            sides = [(turned(a), turned(b)) for a, b in sides]
            bends = [(turned(c), start + turn) for c, start in bends]
            lines = [{"a": turned(a), "b": turned(b), "w": w} for a, b, w in strokes]
            arcs = [{"c": c, "r": r, "s": s, "e": s + 90, "w": pen} for c, s in bends]
            margin = 70 if lead else 40
            pages.append(((round(x1 + margin), round(y1 + margin)), lines, arcs, sides, bends, r))
        scan_pages([page[:3] for page in pages], os.path.join(folder, "rounded-%d.tif"))
        for k, (_, _, _, sides, bends, r) in enumerate(pages):
            found = vectorize(os.path.join(folder, "rounded-%d.tif" % k), folder)
            for side in sides:
                with self.subTest(shape=k, side=side):
                    self.assertGreaterEqual(edge_followers(side, found, 2), 0.9)
            for (x, y), start in bends:
                with self.subTest(shape=k, corner=(x, y)):
                    arcs = [f for f in found if f[0] == "ARC" and abs(f[3] - r) <= 1.5 + 0.02 * r and
                            np.hypot(f[2][1] - x, f[2][2] - y) <= 1.5 + 0.02 * r]
                    self.assertTrue(arcs)
                    quarter = [np.array([x + r * math.cos(math.radians(start + d)),
                                         y + r * math.sin(math.radians(start + d))]) for d in range(91)]
                    self.assertGreaterEqual(max(np.mean([following(f, p) for p in quarter]) for f in arcs), 0.9)


def hatched_segment(centre, radius, middle, sweep, pen, hatch_pen, spacing):
    """A circular segment drawn with a heavy pen (its arc and chord) and cross-hatched inside at 45 and 135
    degrees, as a turned part's section is: lines and the arc, y up."""
    point = lambda degrees: (centre[0] + radius * math.cos(math.radians(degrees)),
                             centre[1] + radius * math.sin(math.radians(degrees)))
    start, end = middle - sweep / 2, middle + sweep / 2
    lines = [{"a": point(start), "b": point(end), "w": pen}]
    inward = np.array([math.cos(math.radians(middle)), math.sin(math.radians(middle))])
    chord = radius * math.cos(math.radians(sweep / 2))  # the chord's distance from the centre
    for angle in (45, 135):
        way = np.array([math.cos(math.radians(angle)), math.sin(math.radians(angle))])
        for k in range(-10, 11):
            offset = k * spacing + 0.37
            if abs(offset) >= radius:
                continue
            foot = np.array(centre) + offset * np.array([-way[1], way[0]])
            half = math.sqrt(radius * radius - offset * offset)
            low, high = -half, half
            towards, beyond = way @ inward, (foot - centre) @ inward - chord
            if abs(towards) > 1e-9:  # the part on the arc's side of the chord
                low, high = (max(low, -beyond / towards), high) if towards > 0 else (low, min(high, -beyond / towards))
            elif beyond < 0:
                continue
            if high - low >= 4:
                lines.append({"a": tuple(foot + low * way), "b": tuple(foot + high * way), "w": hatch_pen})
    return lines, {"c": list(centre), "r": radius, "s": start, "e": end, "w": pen}


class HatchedHeavyArcs(unittest.TestCase):
    """Circular segments of a heavy pen (7-9.4 dots), cross-hatched inside every 17-24 dots with a thin pen,
    scanned with the scan model's noise: most arcs one ARC of their circle (centre and radius within 1.5 dots
    + 1 %) over 90 % of their sweep, and most hatch strokes 30 dots or longer one LINE still (the arcs take
    none in). The hatching's junctions cut such an arc into chords too short to show their bow by their
    middles."""

    PAGES = 6

    def test_arcs(self):
        folder, pages, truth = tempfile.mkdtemp(), [], []
        for seed in range(1, self.PAGES + 1):
            rng, lines, arcs = random.Random(seed), [], []
            for k in range(5):
                centre = (130 + 270 * k + rng.uniform(-5, 5), 250 + rng.uniform(-5, 5))
                shape = hatched_segment(centre, rng.uniform(50, 85), rng.uniform(0, 360), rng.uniform(95, 140),
                                        rng.choice([7.1, 9.4]), rng.choice([2.8, 3.0]), rng.uniform(17, 24))
                lines += shape[0]
                arcs.append(shape[1])
            pages.append(((1400, 500), lines, arcs))
            truth += [(seed - 1, arc) for arc in arcs]
        scan_pages(pages, os.path.join(folder, "hatched-%d.tif"))
        found = [vectorize(os.path.join(folder, "hatched-%d.tif" % k), folder) for k in range(self.PAGES)]
        strokes = [edge_followers((line["a"], line["b"]), found[k], line["w"] / 2 + 2) >= 0.9
                   for k, (_, lines, _) in enumerate(pages) for line in lines[1:]
                   if math.dist(line["a"], line["b"]) >= 30]
        self.assertGreaterEqual(sum(strokes), 0.85 * len(strokes), "hatch strokes one LINE each")
        followed = []
        for page, arc in truth:
            tolerance = 1.5 + 0.01 * arc["r"]
            sweep = np.radians(np.linspace(arc["s"], arc["e"], 60))
            points = np.stack([arc["c"][0] + arc["r"] * np.cos(sweep), arc["c"][1] + arc["r"] * np.sin(sweep)], 1)
            followed.append(any(math.dist(f[2][1:3], arc["c"]) <= tolerance and abs(f[3] - arc["r"]) <= tolerance
                                and np.mean([following(f, p) for p in points]) >= 0.9
                                for f in found[page] if f[0] == "ARC"))
        self.assertGreaterEqual(sum(followed), 0.75 * len(truth), followed)


def span_in_hole(start, way, hole):
    """The stretch (low, high) of the line start + t way inside the hole (a, b, radius): a disc round a when
    b is a, else a slot, the points within the radius of the segment a-b; None when the line misses it."""
    a, b, radius = np.array(hole[0]), np.array(hole[1]), hole[2]
    spans = []
    for centre in (a, b) if math.dist(a, b) > 0 else (a,):
        foot = (centre - start) @ way
        off = math.dist(centre, start + foot * way)
        if off < radius:
            half = math.sqrt(radius * radius - off * off)
            spans.append((foot - half, foot + half))
    if math.dist(a, b) > 0:  # the band between the ends' circles, as long as the segment and as wide as the hole
        along = (b - a) / math.dist(a, b)
        low, high = -1e9, 1e9
        for axis, least, most in ((along, 0, math.dist(a, b)), (np.array([-along[1], along[0]]), -radius, radius)):
            at, rate = (start - a) @ axis, way @ axis
            if abs(rate) < 1e-12:
                low, high = (low, high) if least <= at <= most else (1, 0)
                continue
            ends = sorted(((least - at) / rate, (most - at) / rate))
            low, high = max(low, ends[0]), min(high, ends[1])
        if high > low:
            spans.append((low, high))
    return (min(s[0] for s in spans), max(s[1] for s in spans)) if spans else None


def hatched_plate(box, holes, spacing, pen, hatch_pen):
    """A plate's section, y up: its border drawn with a heavy pen, cross-hatched at 45 and 135 degrees but
    for its holes (a, b, radius): round ones (b is a) drawn as circles with the heavy pen, slots as two half
    circles and two sides. Lines, then the circles and arcs."""
    x0, y0, x1, y1 = box
    lines = [{"a": a, "b": b, "w": pen} for a, b in (((x0, y0), (x1, y0)), ((x1, y0), (x1, y1)),
                                                      ((x1, y1), (x0, y1)), ((x0, y1), (x0, y0)))]
    middle = np.array([(x0 + x1) / 2, (y0 + y1) / 2])
    for angle in (45, 135):
        way = np.array([math.cos(math.radians(angle)), math.sin(math.radians(angle))])
        for k in range(-100, 101):
            part = clipped(middle + (k * spacing + 0.37) * np.array([-way[1], way[0]]), way, box)
            if part is None:
                continue
            start = np.array(part[0])
            pieces = [(0.0, math.dist(*part))]
            for hole in holes:
                span = span_in_hole(start, way, hole)
                if span:
                    pieces = [cut for low, high in pieces for cut in ((low, min(high, span[0])),
                                                                      (max(low, span[1]), high)) if cut[1] > cut[0]]
            lines += [{"a": tuple(start + low * way), "b": tuple(start + high * way), "w": hatch_pen}
                      for low, high in pieces if high - low >= 4]
    rounds = []
    for a, b, radius in holes:
        if a == b:
            rounds.append({"c": list(a), "r": radius, "w": pen})
            continue
        towards = math.degrees(math.atan2(b[1] - a[1], b[0] - a[0]))
        side = np.array([a[1] - b[1], b[0] - a[0]]) * (radius / math.dist(a, b))
        lines += [{"a": tuple(a + side), "b": tuple(b + side), "w": pen},
                  {"a": tuple(a - side), "b": tuple(b - side), "w": pen}]
        rounds += [{"c": list(b), "r": radius, "s": towards - 90, "e": towards + 90, "w": pen},
                   {"c": list(a), "r": radius, "s": towards + 90, "e": towards + 270, "w": pen}]
    return lines, rounds


class HatchedSectionHoles(unittest.TestCase):
    """Round holes in a cross-hatched section (radius 35-190 dots, pens of 5.9-9.4 dots, hatching every 16-24
    dots), scanned with the scan model's noise: nearly every hole one CIRCLE (centre and radius within 1.5 dots
    + 1 %). The hatching cuts their circles into pieces too short to join, so their holes must be found; two
    hatch lines that only touch a hole's circle and cross beside it do not make it a hole between hatch
    lines."""

    PAGES = 4
    # radii, holes on a page, the page's size
    SETS = [((35, 90), 6, (1400, 420)), ((100, 190), 4, (1800, 480))]

    def test_holes(self):
        for (least, most), count, (width, height) in self.SETS:
            folder, pages = tempfile.mkdtemp(), []
            step = (width - 100) / count
            for seed in range(1, self.PAGES + 1):
                rng = random.Random(seed)
                centres = [(50 + step * (k + 0.5) + rng.uniform(-10, 10), height / 2 + rng.uniform(-20, 20))
                           for k in range(count)]
                holes = [(centre, centre, rng.uniform(least, most)) for centre in centres]
                lines, circles = hatched_plate((40, 40, width - 40, height - 40), holes, rng.uniform(16, 24),
                                               rng.choice([5.9, 7.1, 9.4]), 2.8)
                pages.append(((width, height), lines, circles))
            scan_pages(pages, os.path.join(folder, "plate-%d.tif"))
            found = []
            for k, (_, _, circles) in enumerate(pages):
                drawn = [f for f in vectorize(os.path.join(folder, "plate-%d.tif" % k), folder) if f[0] == "CIRCLE"]
                for circle in circles:
                    within = 1.5 + 0.01 * circle["r"]
                    found.append(any(math.dist(f[2][1:3], circle["c"]) <= within and
                                     abs(f[3] - circle["r"]) <= within for f in drawn))
            with self.subTest(radii=(least, most)):
                self.assertGreaterEqual(sum(found), 0.85 * len(found), found)


class HatchedSectionSlots(unittest.TestCase):
    """Slots (two half circles of radius 15-40 dots joined by straight sides 0.5-2.5 times as long, at any
    angle) in a cross-hatched section, drawn with pens of 3-7.1 dots and scanned with the scan model's noise:
    nearly every half circle one ARC of its circle (centre and radius within 1.5 dots + 1 %) over 90 % of it,
    and nearly every side one LINE. The hatching cuts them into pieces too short to show their bends."""

    PAGES = 4

    def test_slots(self):
        folder, pages = tempfile.mkdtemp(), []
        for seed in range(1, self.PAGES + 1):
            rng, holes = random.Random(seed), []
            for k in range(6):
                radius = rng.uniform(15, 40)
                half, degrees = rng.uniform(0.25, 1.25) * radius, rng.uniform(0, 180)
                centre = np.array([150 + 215 * k + rng.uniform(-10, 10), 210 + rng.uniform(-20, 20)])
                along = half * np.array([math.cos(math.radians(degrees)), math.sin(math.radians(degrees))])
                holes.append((tuple(centre - along), tuple(centre + along), radius))
            lines, rounds = hatched_plate((40, 40, 1360, 380), holes, rng.uniform(16, 24),
                                          rng.choice([3.0, 4.2, 5.9, 7.1]), 2.0)
            pages.append(((1400, 420), lines, rounds))
        scan_pages(pages, os.path.join(folder, "slots-%d.tif"))
        ends, sides = [], []
        for k, (_, lines, rounds) in enumerate(pages):
            found = vectorize(os.path.join(folder, "slots-%d.tif" % k), folder)
            sides += [edge_followers((line["a"], line["b"]), found, 2) >= 0.9 for line in lines[-12:]]
            for end in rounds:
                within = 1.5 + 0.01 * end["r"]
                sweep = np.radians(np.linspace(end["s"], end["e"], 60))
                points = np.stack([end["c"][0] + end["r"] * np.cos(sweep), end["c"][1] + end["r"] * np.sin(sweep)], 1)
                ends.append(any(math.dist(f[2][1:3], end["c"]) <= within and abs(f[3] - end["r"]) <= within and
                                np.mean([following(f, p) for p in points]) >= 0.9 for f in found if f[0] == "ARC"))
        self.assertGreaterEqual(sum(ends), 0.85 * len(ends), ends)
        self.assertGreaterEqual(sum(sides), 0.85 * len(sides), sides)


class NarrowJunctions(unittest.TestCase):
    """Heavy strokes (7.1-9.4 dots) meeting at 9-19.5 degrees on pages of thin ones, scanned with the scan
    model's noise: strokes running into another's side (with a stroke across there) and the shafts and barbs
    of arrows. Where they meet they merge into one blot, wider than the thin strokes by far, whose middle is
    taken for a filled area's. Most strokes 80 dots or longer must be one LINE still (90 % of it within half
    the pen and 2 dots)."""

    PAGES = 4

    def page(self, seed):
        rng, width, height = random.Random(seed), 1600, 1000
        lines = [{"a": a, "b": b, "w": 3.0} for a, b in (((20, 20), (width - 20, 20)), ((width - 20, 20), (
            width - 20, height - 20)), ((width - 20, height - 20), (20, height - 20)), ((20, height - 20), (20, 20)))]
        lines += [{"a": (40, 60 + 12 * k), "b": (width - 40, 60 + 12 * k + rng.uniform(-3, 3)),
                   "w": rng.choice([2.8, 3.0])} for k in range(12)]
        heavy = []
        for k in range(6):  # a stroke and a stroke across it, two more running into its side there
            pen, narrow = rng.choice([7.1, 8.3, 9.4]), math.radians(rng.uniform(9, 19.5))
            turn = math.radians(rng.uniform(-30, 30))
            centre = (150 + 480 * (k % 3) + rng.uniform(-5, 5), 300 + 250 * (k // 3))
            at = lambda s, q: (centre[0] + s * math.cos(turn) - q * math.sin(turn),
                               centre[1] + s * math.sin(turn) + q * math.cos(turn))
            heavy += [{"a": at(-120, 0), "b": at(200, 0), "w": pen}, {"a": at(0, -45), "b": at(0, 45), "w": pen}]
            heavy += [{"a": at(-100 * math.cos(narrow), side * 100 * math.sin(narrow)), "b": centre, "w": pen}
                      for side in (1, -1)]
        for k in range(3):  # arrows: shaft and barbs from the tip
            pen, narrow = rng.choice([7.1, 8.3, 9.4]), math.radians(rng.uniform(9, 19.5))
            turn, tip = math.radians(rng.uniform(0, 360)), (200 + 480 * k + rng.uniform(-5, 5), 850)
            heavy += [{"a": tip, "b": (tip[0] + 90 * math.cos(turn + side * narrow),
                                       tip[1] + 90 * math.sin(turn + side * narrow)), "w": pen} for side in (0, 1, -1)]
        return ((width, height), lines + heavy, []), heavy

    def test_strokes(self):
        folder = tempfile.mkdtemp()
        pages = [self.page(seed) for seed in range(self.PAGES)]
        scan_pages([page for page, _ in pages], os.path.join(folder, "junctions-%d.tif"))
        followed = []
        for k, (_, heavy) in enumerate(pages):
            found = vectorize(os.path.join(folder, "junctions-%d.tif" % k), folder)
            followed += [edge_followers((line["a"], line["b"]), found, line["w"] / 2 + 2) >= 0.9 for line in heavy
                         if math.dist(line["a"], line["b"]) >= 80]
        self.assertGreaterEqual(sum(followed), 0.8 * len(followed), followed)


class TouchedCircle(unittest.TestCase):
    """A relay's coil from a scan of a CAD program's relay symbols (tests/data/vector/relay-coil.tif): its
    leads run along the circle's stroke and push into its hole, lines leave its shoulders and its foot, so
    its arcs are short and its hole round but for those dents. It is one CIRCLE of its centre and radius."""

    def test_circle(self):
        found = vectorize(os.path.join(SOURCE, "tests/data/vector/relay-coil.tif"), tempfile.mkdtemp())
        tolerance = 1.5 + 0.01 * 41.6
        circles = [f for f in found if f[0] == "CIRCLE" and math.dist(f[2][1:3], (122.4, 141.8)) <= tolerance
                   and abs(f[3] - 41.6) <= tolerance]
        self.assertEqual(len(circles), 1, [f[2] for f in found if f[0] != "LINE"])


class SmallHeavyRingsScanned(unittest.TestCase):
    """Small rings of a heavy pen from scans of CAD drawings (tests/data/vector, cut by
    tests/data/make-vector-crops.py), each one CIRCLE along the middle of its stroke as the drawing has it:
    the corners of a bridge rectifier, whose hole the ink closed (but for pinholes in two), the lines
    running into them; a basin's taps, whose stroke is over twice as wide as their hole, beside larger rings,
    at the page's resolution (holes of 4 to 6 dots) and at twice it; a tap touching a heavy wall line, its
    stroke near twice as wide as its hole."""

    # file: the rings' centres (from the bottom left) and radii in dots
    RINGS = {"diode-bridge-top.tif": [((247.96, 418.48), 6.77)],
             "diode-bridge-right.tif": [((250.12, 250.05), 6.77)],
             "diode-bridge-bottom.tif": [((250.69, 249.90), 6.77)],
             "diode-bridge-left.tif": [((177.53, 250.33), 6.77)],
             "basin-taps.tif": [((220.28, 249.76), 11.19), ((278.46, 248.95), 11.19), ((221.01, 302.35), 15.11),
                                ((279.19, 301.53), 15.11)],
             "basin-taps-300.tif": [((135.11, 124.78), 5.59), ((164.20, 124.37), 5.59), ((135.48, 151.07), 7.55),
                                    ((164.56, 150.66), 7.55)],
             "tap-by-a-wall.tif": [((150.14, 150.64), 9.51)]}

    def test_rings(self):
        for name, rings in self.RINGS.items():
            found = vectorize(os.path.join(SOURCE, "tests/data/vector", name), tempfile.mkdtemp())
            for centre, r in rings:
                with self.subTest(scan=name, ring=centre):
                    tolerance = 1.5 + 0.01 * r
                    self.assertEqual(len([f for f in found if f[0] == "CIRCLE" and math.dist(f[2][1:3], centre)
                                          <= tolerance and abs(f[3] - r) <= tolerance]), 1,
                                     [f[2] for f in found if f[0] != "LINE"])


class FlatArcsIntoCornersScanned(unittest.TestCase):
    """The front of a floor plan's sink from a scan of a CAD drawing (tests/data/vector, cut by
    tests/data/make-vector-crops.py): two flat arcs of a heavy pen (38 degrees, 9 dots apart) on one
    centre, each running into rounded corners at both ends. Each is one ARC of its centre and radius,
    though the chains along the inner one bend with the corners."""

    ARCS = [((142.12, 251.89), 101.81), ((142.12, 251.89), 110.76)]  # centres (from the bottom left), radii

    def test_arcs(self):
        found = vectorize(os.path.join(SOURCE, "tests/data/vector/sink-front.tif"), tempfile.mkdtemp())
        for centre, r in self.ARCS:
            with self.subTest(radius=r):
                tolerance = 1.5 + 0.01 * r
                self.assertEqual(len([f for f in found if f[0] == "ARC" and math.dist(f[2][1:3], centre)
                                      <= tolerance and abs(f[3] - r) <= tolerance]), 1,
                                 [f[2] for f in found if f[0] != "LINE"])


class PinholeRings(unittest.TestCase, Checks):
    """Rings of a heavy pen at 300 dpi whose hole is 4 to 6 dots across, under a pen, as a floor plan's taps
    are drawn: each one CIRCLE along the middle of its stroke. Square rings of the same sizes, whose holes
    are as small, get no CIRCLE."""

    SIZES = [(5, 6), (6, 6), (4, 5), (5, 7), (6, 5)]  # the hole's width and the pen, in dots

    def test_rings_and_squares(self):
        fine = 4
        image = Image.new("L", (400 * fine, 200 * fine), 255)
        draw = ImageDraw.Draw(image)
        at = lambda x0, y0, x1, y1: [x0 * fine, y0 * fine, x1 * fine, y1 * fine]
        rings, squares = [], []
        for k, (hole, pen) in enumerate(self.SIZES):
            x, outer = 40 + 70 * k, hole / 2 + pen
            draw.rectangle(at(x - outer, 60 - outer, x + outer, 60 + outer), fill=0)
            draw.rectangle(at(x - hole / 2, 60 - hole / 2, x + hole / 2, 60 + hole / 2), fill=255)
            draw.ellipse(at(x - outer, 140 - outer, x + outer, 140 + outer), fill=0)
            draw.ellipse(at(x - hole / 2, 140 - hole / 2, x + hole / 2, 140 + hole / 2), fill=255)
            squares.append((x, 60))
            rings.append(((x, 140), (hole + pen) / 2))
        for k in range(30):  # the sheet's thin lines
            draw.line(at(20 + 12 * k, 180, 20 + 12 * k, 198), fill=0, width=2 * fine)
        tif, found, flip = scanned_fine(image, fine, "pinhole-rings")
        self.assert_sound(tif, found)
        for centre, r in rings:
            with self.subTest(ring=centre):
                self.assertEqual(len(circles_at(found, flip(centre), r)), 1, [f[2] for f in found if f[0] != "LINE"])
        for centre in squares:
            with self.subTest(square=centre):
                self.assertFalse([f[2] for f in found if f[0] != "LINE" and math.dist(f[2][1:3], flip(centre)) < 10])


class CrossHatching(unittest.TestCase, Checks):
    """Areas cross-hatched at 300 dpi inside a border, as section views are: every hatch stroke 2.5 mm or
    longer followed by one LINE alone, though the strokes cross every few dots."""

    # box (x0, y0, x1, y1, y down), the two angles in degrees, spacing and pen width in dots
    HATCHES = [((80, 80, 330, 260), (45, 135), 12, 3), ((420, 80, 640, 300), (30, 120), 14, 2),
               ((720, 100, 900, 240), (60, 150), 10, 2)]

    def test_strokes(self):
        image = Image.new("L", (1000, 400), 255)
        strokes = []
        for box, angles, spacing, width in self.HATCHES:
            layer = Image.new("L", image.size, 255)
            draw = ImageDraw.Draw(layer)
            centre = ((box[0] + box[2]) / 2, (box[1] + box[3]) / 2)
            for angle in angles:
                way = (math.cos(math.radians(angle)), math.sin(math.radians(angle)))
                across = (-way[1], way[0])
                for k in range(-40, 41):
                    point = (centre[0] + k * spacing * across[0], centre[1] + k * spacing * across[1])
                    part = clipped(point, way, box)
                    if part is not None:
                        draw.line([(p[0] - 400 * way[0], p[1] - 400 * way[1]) for p in part[:1]] +
                                  [(p[0] + 400 * way[0], p[1] + 400 * way[1]) for p in part[1:]], fill=0, width=width)
                        strokes.append((part, width))
            mask = Image.new("1", image.size, 0)
            ImageDraw.Draw(mask).rectangle(box, fill=1)
            image.paste(layer, (0, 0), mask)
            ImageDraw.Draw(image).rectangle(box, outline=0, width=4)
        folder = tempfile.mkdtemp()
        tif = os.path.join(folder, "hatching.tif")
        image.convert("1").save(tif, compression="group4", dpi=(300, 300))
        found = vectorize(tif, folder)
        self.assert_sound(tif, found)
        for (a, b), width in strokes:
            if math.dist(a, b) >= 30:
                edge = ((a[0], image.height - 1 - a[1]), (b[0], image.height - 1 - b[1]))
                with self.subTest(stroke=edge):
                    self.assertGreaterEqual(edge_followers(edge, found, width / 2 + 2), 0.9)


def scanned_fine(image, fine, name, dpi=300):
    """Scans a drawing made `fine` times finer at dpi (a soft edge, thresholded at half) and vectorizes it: the
    scan, the entities found, and a function turning a point of the drawing (y down) into the DXF's."""
    page = image.resize((image.width // fine, image.height // fine), Image.LANCZOS).point(
        lambda v: 0 if v < 128 else 255)
    folder = tempfile.mkdtemp()
    tif = os.path.join(folder, name + ".tif")
    page.convert("1").save(tif, compression="group4", dpi=(dpi, dpi))
    return tif, vectorize(tif, folder), lambda p: (p[0], page.height - 1 - p[1])


class InscribedPolygons(unittest.TestCase, Checks):
    """Filled polygons inscribed in thin rings at 300 dpi, as trees' crowns in a plan are drawn: each ring one
    CIRCLE along its middle and each side one LINE alone; a filled polygon standing alone stays its outline
    though it is nearly round."""

    # centre (y down), the ring's middle radius, its pen, the polygon's sides and turn in degrees
    RINGED = [((120, 120), 34, 2, 7, 10), ((300, 120), 50, 3, 8, 0), ((480, 120), 30, 2, 6, 15),
              ((660, 120), 40, 3, 7, 40)]
    ALONE = [((880, 120), 55, 8, 0), ((1040, 120), 55, 8, 22.5)]  # centre, corner radius, sides, turn

    @staticmethod
    def corners(centre, radius, sides, turn):
        return [(centre[0] + radius * math.cos(math.radians(turn + 360 * k / sides)),
                 centre[1] + radius * math.sin(math.radians(turn + 360 * k / sides))) for k in range(sides)]

    def test_rings_and_sides(self):
        fine = 4  # drawn four times finer, then scanned
        image = Image.new("L", (1120 * fine, 260 * fine), 255)
        draw = ImageDraw.Draw(image)
        for (x, y), r, pen, sides, turn in self.RINGED:
            outer, inner = (r + pen / 2) * fine, (r - pen / 2) * fine
            draw.ellipse([x * fine - outer, y * fine - outer, x * fine + outer, y * fine + outer], fill=0)
            draw.ellipse([x * fine - inner, y * fine - inner, x * fine + inner, y * fine + inner], fill=255)
            draw.polygon([(px * fine, py * fine) for px, py in self.corners((x, y), r, sides, turn)], fill=0)
        for centre, r, sides, turn in self.ALONE:
            draw.polygon([(px * fine, py * fine) for px, py in self.corners(centre, r, sides, turn)], fill=0)
        tif, found, flip = scanned_fine(image, fine, "crowns")
        self.assert_sound(tif, found)
        for (x, y), r, _, sides, turn in self.RINGED:
            with self.subTest(ring=(x, y)):
                circles = [f for f in found if f[0] == "CIRCLE" and math.dist(f[2][1:3], flip((x, y))) <= 1.5
                           and abs(f[3] - r) <= 1.5 + 0.02 * r]
                self.assertEqual(len(circles), 1, [f[2] for f in found if f[0] != "LINE"])
            corners = [flip(p) for p in self.corners((x, y), r, sides, turn)]
            for a, b in zip(corners, corners[1:] + corners[:1]):
                with self.subTest(ring=(x, y), side=(a, b)):
                    self.assertGreaterEqual(edge_followers((a, b), found, 2.0), 0.9)
        for centre, r, sides, turn in self.ALONE:
            corners = [flip(p) for p in self.corners(centre, r, sides, turn)]
            for a, b in zip(corners, corners[1:] + corners[:1]):
                with self.subTest(alone=centre, side=(a, b)):
                    self.assertGreaterEqual(edge_followers((a, b), found, 2.0), 0.9)


class CutSlots(unittest.TestCase, Checks):
    """Slots at 300 dpi with their centre lines through them, along and across, as a part's slots are drawn:
    the lines cut each slot's hole into pieces, yet each end is one ARC of its own circle and each side one
    LINE, and each centre line one LINE across."""

    # middle (y down), half the straight, radius and pen in dots, turn in degrees, centre line across too
    SLOTS = [((150, 100), 60, 25, 3, 0, True), ((450, 100), 80, 20, 2.5, 0, False),
             ((780, 100), 50, 30, 4, 0, True), ((150, 300), 60, 25, 3, 90, False),
             ((480, 300), 70, 22, 3, 30, False), ((800, 300), 45, 28, 3.5, -15, False)]

    def test_ends_and_sides(self):
        fine = 4  # drawn four times finer, then scanned
        image = Image.new("L", (1000 * fine, 420 * fine), 255)
        draw = ImageDraw.Draw(image)
        shapes = []
        for (x, y), half, r, pen, turn, across in self.SLOTS:
            way = (math.cos(math.radians(turn)), math.sin(math.radians(turn)))
            side = (-way[1], way[0])
            at = lambda t, s: (x + t * way[0] + s * side[0], y + t * way[1] + s * side[1])  # noqa: E731
            for t in (-half, half):  # the ends: discs with their holes
                for grow, fill in ((pen / 2, 0), (-pen / 2, 255)):
                    cx, cy = at(t, 0)
                    draw.ellipse([(cx - r - grow) * fine, (cy - r - grow) * fine, (cx + r + grow) * fine,
                                  (cy + r + grow) * fine], fill=fill)
            draw.polygon([tuple(v * fine for v in at(t, s)) for t, s in ((-half, -r - pen / 2), (half, -r - pen / 2),
                                                                     (half, r + pen / 2), (-half, r + pen / 2))],
                         fill=0)
            draw.polygon([tuple(v * fine for v in at(t, s)) for t, s in ((-half, -r + pen / 2), (half, -r + pen / 2),
                                                                     (half, r - pen / 2), (-half, r - pen / 2))],
                         fill=255)
            centre_lines = [(at(-half - r - 15, 0), at(half + r + 15, 0))]
            if across:
                centre_lines.append((at(0, -r - 15), at(0, r + 15)))
            for a, b in centre_lines:
                draw.line([(a[0] * fine, a[1] * fine), (b[0] * fine, b[1] * fine)], fill=0, width=6)
            shapes.append(([at(-half, 0), at(half, 0)], r, [(at(-half, s), at(half, s)) for s in (-r, r)],
                           centre_lines))
        tif, found, flip = scanned_fine(image, fine, "slots")
        self.assert_sound(tif, found)
        for ends, r, sides, centre_lines in shapes:
            for end in ends:
                with self.subTest(end=end):
                    arcs = [f for f in found if f[0] == "ARC" and math.dist(f[2][1:3], flip(end)) <= 1.5
                            and abs(f[3] - r) <= 1.5 + 0.02 * r]
                    self.assertEqual(len(arcs), 1, [f[2] for f in found if f[0] != "LINE"])
            for a, b in sides + centre_lines:
                with self.subTest(line=(a, b)):
                    self.assertGreaterEqual(edge_followers((flip(a), flip(b)), found, 2.0), 0.9)


def circles_at(found, centre, r):
    """The CIRCLEs of the found entities along a ring of radius r about centre (in the DXF's frame)."""
    return [f for f in found if f[0] == "CIRCLE" and math.dist(f[2][1:3], centre) <= 1.5
            and abs(f[3] - r) <= 1.5 + 0.02 * r]


class RingsAndLines(Checks):
    def check_rings_and_lines(self, size, rings, lines, name, dpi=300):
        """Draws rings and lines (centre or ends y down, radius, pen in dots) four times finer on a page of size
        dots, scans it at dpi and vectorizes it: each ring one CIRCLE along its middle and each line followed
        whole. The entities found."""
        fine = 4
        image = Image.new("L", (size[0] * fine, size[1] * fine), 255)
        draw = ImageDraw.Draw(image)
        for (x, y), r, pen in rings:
            for grow, fill in ((pen / 2, 0), (-pen / 2, 255)):
                draw.ellipse([(x - r - grow) * fine, (y - r - grow) * fine, (x + r + grow) * fine,
                              (y + r + grow) * fine], fill=fill)
        for a, b, pen in lines:
            draw.line([(a[0] * fine, a[1] * fine), (b[0] * fine, b[1] * fine)], fill=0, width=int(pen * fine))
        tif, found, flip = scanned_fine(image, fine, name, dpi)
        self.assert_sound(tif, found)
        for centre, r, pen in rings:
            with self.subTest(ring=centre, radius=r, pen=pen):
                self.assertEqual(len(circles_at(found, flip(centre), r)), 1,
                                 [f[2] for f in found if f[0] != "LINE"])
        for a, b, pen in lines:
            with self.subTest(line=(a, b)):
                self.assertGreaterEqual(edge_followers((flip(a), flip(b)), found, pen / 2 + 1.5), 0.9)
        return found


class HeavyCutRings(unittest.TestCase, RingsAndLines):
    """Small rings of a heavy pen at 300 dpi with a line of the same pen through their centres, alone and in
    touching pairs, as a power drawing's transformers and junctions are drawn: the line leaves two slivers of
    the hole, yet each ring is one CIRCLE along its middle and each line is followed."""

    # centre (y down), radius and pen in dots; the line upright through one ring, or level through a pair
    THROUGH = [((80, 80), 12, 8), ((200, 80), 12, 6), ((320, 80), 16, 8), ((440, 80), 20, 8), ((560, 80), 12, 4)]
    PAIRS = [((100, 220), 12, 8), ((300, 220), 16, 8), ((500, 220), 12, 6)]

    def test_rings_and_lines(self):
        rings, lines = [], []
        for centre, r, pen in self.THROUGH:
            rings.append((centre, r, pen))
            lines.append(((centre[0], centre[1] - r - 30), (centre[0], centre[1] + r + 30), pen))
        for (x, y), r, pen in self.PAIRS:
            rings += [((x, y), r, pen), ((x + 2 * r, y), r, pen)]
            lines.append(((x - r - 30, y), (x + 3 * r + 30, y), pen))
        self.check_rings_and_lines((660, 300), rings, lines, "heavy-rings")


class SmallHeavyRings(unittest.TestCase, RingsAndLines):
    """Rings of a heavy pen whose hole is only 7 to 12 dots across, as a schematic's terminals and a motor's
    brushes are drawn at 300 dpi: alone, or on a line of the same pen that runs into them from above and
    below. Their edges in whole dots leave gaps along the hole's circle, yet each is one CIRCLE along its
    middle and each line is followed, whole: on a sheet, and on a crop where such short strokes are most of
    the ink (their runs along them then seem as wide as strokes)."""

    RADII = [6.5, 7, 7.5, 8]
    PENS = [4, 5, 6]
    LINE_LENGTHS = {"sheet": 100, "crop": 40}  # dots

    def test_rings_and_lines(self):
        count = 40
        for name, reach in self.LINE_LENGTHS.items():
            spacing = 2 * reach + 60
            rings, lines = [], []
            for k in range(count):
                # off the grid of dots by a different share each, so that their edges step differently
                x, y = 40 + 80 * (k % 10) + (0.37 * k) % 1, spacing / 2 + spacing * (k // 10) + (0.61 * k) % 1
                r, pen = self.RADII[k % len(self.RADII)], self.PENS[k % len(self.PENS)]
                rings.append(((x, y), r, pen))
                if k % 4 != 3:
                    lines += [((x, y - r - reach), (x, y - r), pen), ((x, y + r), (x, y + r + reach), pen)]
            with self.subTest(page=name):
                self.check_rings_and_lines((800, spacing * count // 10), rings, lines, "small-heavy-rings-" + name)


class ClosedRings(unittest.TestCase, RingsAndLines):
    """Rings of a heavy pen at 600 dpi (a 0.5 mm pen, about 1.1 mm across) whose lines of that pen run from
    the ring's centre, as a diode bridge's corners and a schematic's heavy terminals are drawn: the lines
    close all of the hole but slivers or a crescent, yet each ring is one CIRCLE along its middle and each
    line is followed. Knots of lines crossing round a speck of background as small are no CIRCLE."""

    # radius and pen in dots; the directions the lines leave the centre in (degrees, y up)
    RINGS = [(13.5, 12, (225, 315)), (12, 10, (270,)), (14, 11, (45, 135)), (12, 11, (0, 120, 240)),
             (16, 12, (200, 340)), (13, 12, (90, 270))]
    LEAD = 70  # dots each line runs out from a ring's centre

    def test_rings(self):
        rings, lines = [], []
        for k, (r, pen, ways) in enumerate(self.RINGS):
            # off the grid of dots by a different share each, so that their edges step differently
            x, y = 100 + 180 * (k % 4) + (0.37 * k) % 1, 100 + 180 * (k // 4) + (0.61 * k) % 1
            rings.append(((x, y), r, pen))
            lines += [((x, y), (x + self.LEAD * math.cos(math.radians(way)),
                                y - self.LEAD * math.sin(math.radians(way))), 12 if pen > 11 else pen)
                      for way in ways]
        self.check_rings_and_lines((760, 380), rings, lines, "closed-rings", 600)

    # Knots of three lines (pen in dots) crossing round a small triangle of background (its inner circle's
    # radius, dots), at 300 dpi: the triangle is a hole as small as what shows of a closed ring's.
    KNOTS = [(pen, inner) for pen in (3, 4, 5, 6) for inner in (1.5, 2, 2.5, 3)]

    def test_knots(self):
        lines, knots = [], []
        for k, (pen, inner) in enumerate(self.KNOTS):
            x, y = 60 + 100 * (k % 8) + (0.37 * k) % 1, 60 + 100 * (k // 8) + (0.61 * k) % 1
            knots.append((x, y))
            for way in (90, 210, 330):
                along = (math.cos(math.radians(way + 90)), math.sin(math.radians(way + 90)))
                middle = (x + (inner + pen / 2) * math.cos(math.radians(way)),
                          y + (inner + pen / 2) * math.sin(math.radians(way)))
                lines.append(((middle[0] - 40 * along[0], middle[1] - 40 * along[1]),
                              (middle[0] + 40 * along[0], middle[1] + 40 * along[1]), pen))
        found = self.check_rings_and_lines((820, 220), [], lines, "knots")
        for x, y in knots:
            with self.subTest(knot=(x, y)):
                self.assertFalse([f[2] for f in found if f[0] != "LINE" and math.dist(f[2][1:3], (x, 219 - y)) < 20])


class OverlappingLoops(unittest.TestCase, Checks):
    """Coils drawn as a row of overlapping loops of a heavy pen at 300 dpi, as an old library's inductors and
    valves' heaters are: each loop's neighbours cut its hole into lenses, one shared with each neighbour,
    yet each loop between two others is one CIRCLE along its middle."""

    # the first loop's centre (y down), the loops' radius, the step between their centres, pen (dots), loops
    COILS = [((60, 80), 27, 27, 8, 8), ((60, 200), 20, 24, 6, 7), ((400, 200), 34, 40, 7, 5)]

    def test_loops(self):
        fine = 4  # drawn four times finer, then scanned
        image = Image.new("L", (700 * fine, 280 * fine), 255)
        draw = ImageDraw.Draw(image)
        loops = []
        for (x, y), r, step, pen, count in self.COILS:
            centres = [(x + 0.37 + step * k, y + 0.61) for k in range(count)]
            for cx, cy in centres:
                draw.ellipse([(cx - r - pen / 2) * fine, (cy - r - pen / 2) * fine, (cx + r + pen / 2) * fine,
                              (cy + r + pen / 2) * fine], outline=0, width=int(pen * fine))
            loops += [(c, r, pen) for c in centres[1:-1]]
        tif, found, flip = scanned_fine(image, fine, "loops")
        self.assert_sound(tif, found)
        for centre, r, pen in loops:
            with self.subTest(loop=centre, radius=r, pen=pen):
                self.assertEqual(len(circles_at(found, flip(centre), r)), 1,
                                 [f[2] for f in found if f[0] != "LINE"])


class CuspedCoils(unittest.TestCase, Checks):
    """Coils drawn as a row of half circles of a heavy pen that meet at cusps, as a schematic's inductors and
    a motor's windings are, upright and level, scanned at 300 dpi with the scan model's noise. At each cusp
    the two strokes are one ink for a while, yet each half circle is one ARC of its circle (within 1.5 dots
    + 2 %) that follows 90 % of it."""

    # the first half circle's centre (y up), radius, pen (dots), half circles, upright (else level)
    COILS = [((60.37, 300.61), 22.3, 5.9, 4, True), ((200.21, 300.33), 18, 5, 4, True),
             ((340.53, 310.14), 26, 7, 3, True), ((440.4, 280.7), 15, 4, 5, True),
             ((80.66, 60.27), 22.3, 5.9, 4, False), ((330.18, 50.45), 28, 8, 4, False)]

    def test_half_circles(self):
        halves = []
        for (x, y), r, pen, count, upright in self.COILS:
            # the left halves of an upright coil, going down; the upper halves of a level one, going right
            step, start = ((0, -2 * r), 90) if upright else ((2 * r, 0), 0)
            halves += [{"c": [x + step[0] * k, y + step[1] * k], "r": r, "s": start, "e": start + 180, "w": pen}
                       for k in range(count)]
        folder = tempfile.mkdtemp()
        pattern = os.path.join(folder, "cusped-coils-%d.tif")
        scan_pages([[(620, 380), [], halves]], pattern)
        found = vectorize(pattern % 0, folder)
        self.assert_sound(pattern % 0, found, DUST)
        for half in halves:
            with self.subTest(centre=half["c"], radius=half["r"], pen=half["w"]):
                self.assertGreaterEqual(arc_followed(found, half["c"], half["r"], half["s"], 180), 0.9,
                                        [f[2] for f in found if f[0] != "LINE"])


class TangentArcChains(unittest.TestCase, Checks):
    """Free curves drawn as chains of tangent arcs, as CAD programs draw a logo or a cam profile, at 300 dpi with
    the scan model's noise: each arc starts where the one before ends along the same tangent, with another
    radius, bending the other way or the same way. At least the given count of each chain's arcs is an ARC of
    its circle (centre and radius within 1.5 dots + 1 %, as the score takes a circle), and the ARCs along a
    chain are as many as its arcs but for one. The chains' own fits cut such a curve where the rows and
    columns meet, and their arcs' circles lie between the drawn ones. A chain bending one way whose radii
    change by a third or so over short arcs (the last) is the hardest: its cuts show least."""

    # start (y up), heading in degrees, arcs (radius in dots, sweep in degrees: positive bends left), pen
    # (dots), arcs of the right circle at least
    CHAINS = [((120, 1500), -30, [(80, 50), (120, -45), (60, 60), (150, -40), (90, 55), (40, -70)], 4.1, 5),
              ((700, 1550), -60, [(160, -35), (50, 60), (110, -45), (35, 75), (140, -40), (70, 50)], 5.9, 5),
              ((1300, 1500), -20, [(60, -50), (150, 40), (45, -65), (100, 45), (180, -30), (80, 45), (50, -60)],
               3.0, 6),
              ((1950, 1550), -90, [(120, 45), (70, -55), (170, 35), (40, -70), (100, 50), (55, -60)], 4.9, 5),
              ((900, 750), 90, [(50, -60), (100, -40), (170, -30), (80, -50), (130, -35), (60, -45)], 5.9, 5),
              ((1500, 800), -45, [(140, 40), (60, 55), (180, 30), (90, 45), (45, 55), (120, 35)], 3.0, 5),
              ((2050, 450), 100, [(35, 70), (80, 45), (150, 30), (55, 50), (110, 40), (190, 25)], 4.9, 4)]

    def test_arcs(self):
        sys.path.insert(0, os.path.join(SOURCE, "bench"))
        from make_arc_chains import chain
        chains = [(chain(start, heading, turns, pen), least) for start, heading, turns, pen, least in self.CHAINS]
        folder = tempfile.mkdtemp()
        pattern = os.path.join(folder, "arc-chains-%d.tif")
        scan_pages([[(2480, 1754), [], [arc for arcs, _ in chains for arc in arcs]]], pattern)
        found = vectorize(pattern % 0, folder)
        self.assert_sound(pattern % 0, found, DUST)
        arcs = [f for f in found if f[0] == "ARC"]
        for drawn, least in chains:
            with self.subTest(chain=drawn[0]["c"], pen=drawn[0]["w"]):
                matched = [any(math.dist(f[2][1:3], a["c"]) <= 1.5 + 0.01 * a["r"] and
                               abs(f[3] - a["r"]) <= 1.5 + 0.01 * a["r"] for f in arcs) for a in drawn]
                self.assertGreaterEqual(sum(matched), least, matched)
                along = [f for f in arcs if any(following(as_found(a), middle_of(f), a["w"]) for a in drawn)]
                self.assertLessEqual(abs(len(along) - len(drawn)), 1, [f[2] for f in along])


class ArcsThroughDots(unittest.TestCase, Checks):
    """Arcs with a filled dot on their stroke at 300 dpi, as a wire's junction or a battery's terminal sits on
    a curved wire: the dot cuts the stroke's chains apart, yet each arc is one ARC of its circle (within 1.5
    dots + 2 %) that follows 90 % of it."""

    # centre (y down), radius, first and last degrees (y up), pen (dots), the dot's diameter in pens
    ARCS = [((160, 170), 142, 90, 270, 11, 4.5), ((360, 170), 60, 0, 180, 5, 5), ((560, 170), 90, 200, 340, 4, 4),
            ((740, 120), 45, 270, 90, 6, 3.5), ((360, 400), 120, 30, 150, 3, 5), ((640, 420), 70, 180, 360, 7, 3)]

    def test_arcs(self):
        fine = 4  # drawn four times finer, then scanned
        image = Image.new("L", (860 * fine, 560 * fine), 255)
        draw = ImageDraw.Draw(image)
        arcs = []
        for k, ((x, y), r, start, end, pen, dot) in enumerate(self.ARCS):
            cx, cy = x + (0.37 * k) % 1, y + (0.61 * k) % 1
            outer = [(cx - r - pen / 2) * fine, (cy - r - pen / 2) * fine, (cx + r + pen / 2) * fine,
                     (cy + r + pen / 2) * fine]
            # Pillow's degrees run clockwise on the page from the x axis
            draw.arc(outer, -end, -start, fill=0, width=int(pen * fine))
            middle = math.radians((start + (end - start) % 360 / 2))
            dx, dy, half = cx + r * math.cos(middle), cy - r * math.sin(middle), dot * pen / 2
            draw.ellipse([(dx - half) * fine, (dy - half) * fine, (dx + half) * fine, (dy + half) * fine], fill=0)
            arcs.append(((cx, cy), r, start, end, pen))
        tif, found, flip = scanned_fine(image, fine, "dotted-arcs")
        self.assert_sound(tif, found)
        for centre, r, start, end, pen in arcs:
            with self.subTest(centre=centre, radius=r, pen=pen):
                self.assertGreaterEqual(arc_followed(found, flip(centre), r, start, (end - start) % 360), 0.9,
                                        [f[2] for f in found if f[0] != "LINE"])


class CrossedRoundCorners(unittest.TestCase, Checks):
    """Quarter circles of a wide radius at 300 dpi between two lines running on along their tangents, crossed
    by other lines, as a valve's lead bends round a corner of its envelope: the crossings cut each quarter
    circle into pieces of 30-60 degrees, which the chains bend a few dots too tight, yet each quarter circle
    is one ARC of its circle (within 1.5 dots + 2 %) that follows 90 % of it."""

    # centre (y down), radius, pen (dots), the degrees (y up, from the quarter's start) where lines cross it
    CORNERS = [((200, 200), 150, 5.5, (35, 62)), ((520, 200), 120, 5, (30, 55)), ((820, 200), 160, 6, (40,)),
               ((200, 520), 110, 4, (33, 60)), ((520, 520), 140, 7, (50,)), ((820, 520), 130, 5.5, (28, 58))]

    def test_quarters(self):
        fine = 4  # drawn four times finer, then scanned
        image = Image.new("L", (1000 * fine, 700 * fine), 255)
        draw = ImageDraw.Draw(image)
        quarters = []
        for k, ((x, y), r, pen, crossings) in enumerate(self.CORNERS):
            cx, cy = x + (0.37 * k) % 1, y + (0.61 * k) % 1
            box = [(cx - r - pen / 2) * fine, (cy - r - pen / 2) * fine, (cx + r + pen / 2) * fine,
                   (cy + r + pen / 2) * fine]
            # the lower right quarter on the page (270 to 360 degrees, y up), its tangent lines running on
            width = int(pen * fine)
            draw.arc(box, 0, 90, fill=0, width=width)
            draw.line([((cx - 120) * fine, (cy + r) * fine), (cx * fine, (cy + r) * fine)], fill=0, width=width)
            draw.line([((cx + r) * fine, (cy - 120) * fine), ((cx + r) * fine, cy * fine)], fill=0, width=width)
            for degrees in crossings:
                angle = math.radians(270 + degrees)
                px, py = cx + r * math.cos(angle), cy - r * math.sin(angle)
                # across the quarter at 70 degrees to its tangent there
                way = math.radians(270 + degrees + 90 + 70)
                dx, dy = math.cos(way), -math.sin(way)
                draw.line([((px - 40 * dx) * fine, (py - 40 * dy) * fine), ((px + 40 * dx) * fine,
                           (py + 40 * dy) * fine)], fill=0, width=width)
            quarters.append(((cx, cy), r, pen))
        tif, found, flip = scanned_fine(image, fine, "crossed-corners")
        self.assert_sound(tif, found)
        for centre, r, pen in quarters:
            with self.subTest(centre=centre, radius=r, pen=pen):
                self.assertGreaterEqual(arc_followed(found, flip(centre), r, 270, 90), 0.9,
                                        [f[2] for f in found if f[0] != "LINE"])


class HeavyBoxes(unittest.TestCase, Checks):
    """Small boxes of a heavy pen at 300 dpi, as a relay's coils and a terminal strip's blocks are drawn with a
    pen of half a millimetre or more, with leads from the middles of their top and bottom sides: sides only
    three to six pens long, which the leads cut into stubs, yet each side is one LINE along its middle and
    each lead is followed."""

    PENS = [5, 6, 7, 8, 9]  # dots
    SIZES = [(3, 3), (4, 3), (3, 5), (6, 3), (5, 5)]  # width and height between the sides' middles, in pens

    def test_sides_and_leads(self):
        fine, lead = 4, 40  # drawn four times finer, then scanned; leads' length in dots
        boxes = []
        for k, (pen, (across, up)) in enumerate((p, size) for p in self.PENS for size in self.SIZES):
            # off the grid of dots by a different share each, so that their edges step differently (and the
            # leads of a column lie a few dots off one line, on a huge circle)
            x, y = 40 + 110 * (k % 6) + (0.37 * k) % 1, 60 + 130 * (k // 6) + (0.61 * k) % 1
            boxes.append(((x, y, x + across * pen, y + up * pen), pen))
        image = Image.new("L", (700 * fine, 660 * fine), 255)
        draw = ImageDraw.Draw(image)
        sides, leads = [], []
        for (x0, y0, x1, y1), pen in boxes:
            half, middle = pen / 2, (x0 + x1) / 2
            draw.rectangle([(x0 - half) * fine, (y0 - half) * fine, (x1 + half) * fine, (y1 + half) * fine],
                           outline=0, width=int(pen * fine))
            for a, b in (((middle, y0 - lead), (middle, y0)), ((middle, y1), (middle, y1 + lead))):
                draw.line([(a[0] * fine, a[1] * fine), (b[0] * fine, b[1] * fine)], fill=0, width=int(pen * fine))
                leads.append((a, b, pen))
            corners = [(x0, y0), (x1, y0), (x1, y1), (x0, y1)]
            sides += [(corners[k], corners[(k + 1) % 4], pen) for k in range(4)]
        tif, found, flip = scanned_fine(image, fine, "heavy-boxes")
        self.assert_sound(tif, found)
        for a, b, pen in sides + leads:
            with self.subTest(line=(a, b), pen=pen):
                self.assertGreaterEqual(edge_followers((flip(a), flip(b)), found, pen / 2 + 1.5), 0.9)


class JunctionDots(unittest.TestCase, Checks):
    """Filled dots where lines meet, at 300 dpi, as a schematic's junctions and the ends of its leads are drawn:
    each dot one CIRCLE round its edge, with each line followed. Filled squares and triangles of a dot's size
    with lines at their corners, an arrowhead, and a thick stroke crossing thin lines get no CIRCLE."""

    # the radius of the dot's edge and the pen of its lines, in dots; the directions the lines leave it in
    # (degrees, y up)
    DOTS = [(8, 3, (0, 180)), (8, 4, (90,)), (10, 4, (0, 90, 180)), (12, 5, (0, 90, 180, 270)),
            (12, 3, (30, 150, 270)), (15, 6, (45, 225)), (18, 5, (0, 120, 240)), (24, 6, (10, 100, 190, 280)),
            (10, 3, (60,)), (14, 4, (0, 72, 144, 216, 288))]
    LEAD = 60  # dots each line runs out from a dot's centre

    def test_dots_and_other_shapes(self):
        fine = 4
        image = Image.new("L", (1000 * fine, 700 * fine), 255)
        draw = ImageDraw.Draw(image)
        dots, lines, others = [], [], []

        def line(a, b, pen):
            draw.line([(a[0] * fine, a[1] * fine), (b[0] * fine, b[1] * fine)], fill=0, width=int(pen * fine))
            lines.append((a, b, pen))

        for k, (r, pen, ways) in enumerate(self.DOTS):
            # off the grid of dots by a different share each, so that their edges step differently
            x, y = 90 + 160 * (k % 6) + (0.37 * k) % 1, 90 + 160 * (k // 6) + (0.61 * k) % 1
            for way in ways:
                line((x, y), (x + self.LEAD * math.cos(math.radians(way)),
                              y - self.LEAD * math.sin(math.radians(way))), pen)
            draw.ellipse([(x - r) * fine, (y - r) * fine, (x + r) * fine, (y + r) * fine], fill=0)
            dots.append(((x, y), r))
        # Filled squares and triangles of even sides with lines leaving their corners, and an arrowhead.
        for k, (size, corners) in enumerate([(12, 4), (16, 4), (12, 3), (16, 3)]):
            x, y = 90 + 160 * k, 450
            points = [(x + size * math.cos(math.radians(90 + 360 * c / corners + 45 * (corners == 4))),
                       y - size * math.sin(math.radians(90 + 360 * c / corners + 45 * (corners == 4))))
                      for c in range(corners)]
            draw.polygon([(px * fine, py * fine) for px, py in points], fill=0)
            for px, py in points[:2]:
                line((px, py), (x + 3.5 * (px - x), y + 3.5 * (py - y)), 4)
            others.append((x, y, size))
        draw.polygon([(700 * fine, 450 * fine), (730 * fine, 440 * fine), (730 * fine, 460 * fine)], fill=0)
        line((730, 450), (800, 450), 3)
        others.append((715, 450, 20))
        # A thick stroke crossing thin lines.
        line((850, 380), (950, 520), 12)
        for y in (420, 470):
            line((820, y), (980, y), 3)
            others.append((850 + 100 * (y - 380) / 140, y, 15))
        tif, found, flip = scanned_fine(image, fine, "junction-dots")
        self.assert_sound(tif, found)
        for centre, r in dots:
            with self.subTest(dot=centre, radius=r):
                self.assertEqual(len(circles_at(found, flip(centre), r)), 1,
                                 [f[2] for f in found if f[0] != "LINE" and math.dist(f[2][1:3], flip(centre)) < 30])
        for a, b, pen in lines[:sum(len(ways) for _, _, ways in self.DOTS)]:
            with self.subTest(line=(a, b)):
                self.assertGreaterEqual(edge_followers((flip(a), flip(b)), found, pen / 2 + 1.5), 0.9)
        for x, y, size in others:
            with self.subTest(shape=(x, y)):
                self.assertFalse([f[2] for f in found if f[0] != "LINE" and math.dist(f[2][1:3], flip((x, y))) < size])


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1] + sys.argv[3:])
