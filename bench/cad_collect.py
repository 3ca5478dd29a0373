#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A CAD drawing read for make_cad_scans.py: its plotted geometry collected in its own units, with the pens
and dash patterns it is plotted with."""
import hashlib
import math
import os
import re
import subprocess
import tempfile

import ezdxf
from ezdxf import recover
from ezdxf import path as dxfpath
from ezdxf.render import hatching
from ezdxf.tools.text import plain_mtext

from cad_boxes import text_corners

MIRRORS = os.environ.get("MIRRORS", "/work/.mirror")
REPOS = {"ezdxf": "mozman+ezdxf", "librecad": "LibreCAD+LibreCAD", "dxfparser": "gdsestimating+dxf-parser"}
PENS_MM = [0.25, 0.35, 0.5, 0.7]
# Dash patterns on the paper in mm: ink, gap, ink, gap ...
PATTERNS = {"CENTER": [12, 3, 2, 3], "DASHDOT": [8, 2.5, 1, 2.5], "DASHED": [5, 2.5], "HIDDEN": [3, 1.5],
            "PHANTOM": [12, 2.5, 2, 2.5, 2, 2.5]}


def read_source(source, folder):
    repo, path = source.split(":", 1)
    if repo == "file":
        data = open(os.path.join(folder, path), "rb").read()
    else:
        git_dir = os.path.join(MIRRORS, REPOS[repo], "repo")
        data = subprocess.run(["git", f"--git-dir={git_dir}", "show", f"HEAD:{path}"], check=True,
                              capture_output=True).stdout
    with tempfile.NamedTemporaryFile(suffix=".dxf") as file:
        file.write(data)
        file.flush()
        try:
            return ezdxf.readfile(file.name)
        except ezdxf.DXFStructureError:
            return recover.readfile(file.name)[0]


class Collector:
    """The drawing's plotted geometry in its own units: lines, arcs (degrees), circles, filled polygons."""

    def __init__(self, doc):
        self.doc = doc
        self.lines, self.arcs, self.circles, self.fills, self.holes, self.discs = [], [], [], [], [], []
        self.chains = []  # [first, end) ranges of lines that are one polyline's straight pieces
        self.texts = []  # dicts: p, h, rot, wf, lines, ha, va (text_stamp's, in drawing units)
        self.curves = []  # (points, pen): ellipses and splines, and hatch patterns' strokes (two points)
        self.regions = []  # hatched regions (polygons): boxed whole

    def pen(self, entity):
        weight = attribute(entity, "lineweight", -1)
        layer = self.doc.layers.get(entity.dxf.get("layer", "0")) if entity.dxf.hasattr("layer") else None
        if weight is None or weight < 0:
            weight = layer.dxf.get("lineweight", -3) if layer is not None else -3
        if weight is not None and weight > 0:
            return min(max(weight / 100, 0.18), 1.0)
        name = attribute(entity, "layer", "0")
        return PENS_MM[hashlib.md5(name.encode()).digest()[0] % 3]

    def pattern(self, entity):
        name = attribute(entity, "linetype", "BYLAYER").upper()
        if name == "BYLAYER":
            try:
                name = self.doc.layers.get(attribute(entity, "layer", "0")).dxf.get("linetype", "").upper()
            except ezdxf.DXFTableEntryError:
                name = ""
        for key, pattern in PATTERNS.items():
            if key in name:
                return pattern
        return None

    def add(self, entity, pen=None, pattern=None, depth=0):
        kind = entity.dxftype()
        pen = pen or self.pen(entity)
        pattern = pattern if pattern is not None else self.pattern(entity)
        if kind == "LINE":
            self.lines.append((tuple(entity.dxf.start)[:2], tuple(entity.dxf.end)[:2], pen, pattern))
        elif kind == "ARC":
            self.arcs.append((tuple(entity.dxf.center)[:2], entity.dxf.radius, entity.dxf.start_angle,
                              entity.dxf.end_angle, pen, pattern))
        elif kind == "CIRCLE":
            self.circles.append((tuple(entity.dxf.center)[:2], entity.dxf.radius, pen, pattern))
        elif kind in ("SOLID", "TRACE"):
            v = [tuple(entity.dxf.get(f"vtx{k}", entity.dxf.vtx2))[:2] for k in range(4)]
            self.fills.append([v[0], v[1], v[3], v[2]])
        elif kind == "HATCH":
            self.add_hatch(entity)
            self.add_pattern(entity, pen)
        elif kind in ("TEXT", "ATTRIB", "MTEXT"):
            self.add_text(entity)
        elif kind in ("ELLIPSE", "SPLINE"):
            try:
                self.curves.append((flat(dxfpath.make_path(entity)), pen))
            except Exception:  # degenerate curves: left out
                pass
        elif kind in ("LWPOLYLINE", "POLYLINE", "INSERT", "DIMENSION", "LEADER", "ACAD_TABLE",
                      "MULTILEADER") and depth < 8:
            try:
                parts = list(entity.virtual_entities())
            except Exception:  # 3D meshes, broken blocks: left out
                return
            inherit = kind in ("LWPOLYLINE", "POLYLINE")
            first = len(self.lines)
            for part in parts:
                if inherit and part.dxftype() != "LINE":
                    self.chains.append((first, len(self.lines)))
                    first = len(self.lines)
                self.add(part, pen if inherit else None, pattern if inherit else None, depth + 1)
            if inherit:
                self.chains.append((first, len(self.lines)))
            for attribute in getattr(entity, "attribs", []) if kind == "INSERT" else []:
                self.add_text(attribute)

    def add_text(self, text):
        if text.dxftype() == "MTEXT":
            lines = [unicode_escaped(line) for line in plain_mtext(unstacked(text.text), split=True)]
            direction = text.get_text_direction()
            h, rot, wf = text.dxf.char_height, math.degrees(math.atan2(direction.y, direction.x)), 1.0
            attach = text.dxf.get("attachment_point", 1)
            ha, va = "lmr"[(attach - 1) % 3], "tmd"[(attach - 1) // 3]
            p = text.dxf.insert
        else:
            lines = [unicode_escaped(text.plain_text())]
            h, rot, wf = text.dxf.height, text.dxf.rotation, text.dxf.get("width", 1.0) or 1.0
            align, p1, p2 = text.get_placement()
            name = align.name
            ha = "r" if "RIGHT" in name else "m" if ("CENTER" in name or name == "MIDDLE") else "l"
            va = "t" if "TOP" in name else "m" if "MIDDLE" in name else "d" if "BOTTOM" in name else "s"
            p = p1 if name in ("LEFT", "ALIGNED", "FIT") or p2 is None else p2
        lines = [line for line in lines if line.strip()]
        if lines and h > 0:
            self.texts.append({"p": (p[0], p[1]), "h": h, "rot": rot, "wf": wf, "lines": lines, "ha": ha, "va": va})

    def add_pattern(self, hatch, pen):
        """A pattern hatch's strokes, and its region."""
        if hatch.dxf.solid_fill:
            return
        try:
            strokes = [((a.x, a.y), (b.x, b.y)) for a, b in hatching.hatch_entity(hatch)]
        except (hatching.HatchingError, ZeroDivisionError):
            return
        if not strokes:
            return
        self.curves += [(list(stroke), pen) for stroke in strokes]
        for p in dxfpath.from_hatch(hatch):
            points = flat(p)
            if len(points) >= 3:
                self.regions.append(points)

    def add_hatch(self, hatch):
        if not hatch.dxf.solid_fill:
            return
        for boundary in hatch.paths:
            edges = getattr(boundary, "edges", [])
            if len(edges) == 1 and edges[0].type == ezdxf.entities.boundary_paths.EdgeType.ARC and \
                    abs((edges[0].end_angle - edges[0].start_angle) % 360) < 1e-6:
                self.discs.append((tuple(edges[0].center)[:2], edges[0].radius))
                continue
        polygons = []
        for p in dxfpath.from_hatch(hatch):
            points = flat(p)
            if len(points) >= 3 and not self.is_disc(points):
                polygons.append(points)
        # Even-odd: a boundary inside an odd number of others is a hole.
        for polygon in polygons:
            depth = sum(contains(other, polygon[0]) for other in polygons if other is not polygon)
            (self.holes if depth % 2 else self.fills).append(polygon)

    def is_disc(self, points):
        return any(all(abs(math.hypot(x - c[0], y - c[1]) - r) <= 0.02 * r for x, y in points)
                   for c, r in self.discs)

    def crop(self, window):
        """Keeps what lies wholly inside window (x0, y0, x1, y1, drawing units): one detail of a sheet."""
        x0, y0, x1, y1 = window
        inside = lambda points: all(x0 <= x <= x1 and y0 <= y <= y1 for x, y in points)
        round_box = lambda c, r: [(c[0] - r, c[1] - r), (c[0] + r, c[1] + r)]
        self.lines = [l for l in self.lines if inside(l[:2])]
        self.chains = []
        self.arcs = [a for a in self.arcs if inside(round_box(a[0], a[1]))]
        self.circles = [c for c in self.circles if inside(round_box(c[0], c[1]))]
        self.discs = [d for d in self.discs if inside(round_box(d[0], d[1]))]
        self.fills = [f for f in self.fills if inside(f)]
        self.holes = [f for f in self.holes if inside(f)]
        self.texts = [t for t in self.texts if inside([t["p"]])]
        self.curves = [c for c in self.curves if inside(c[0])]
        self.regions = [r for r in self.regions if inside(r)]

    def extents(self, with_texts=False):
        """The bounding box of the geometry, and of the texts' lines when with_texts."""
        xs, ys = [], []
        for a, b, *_ in self.lines:
            xs += [a[0], b[0]]
            ys += [a[1], b[1]]
        for c, r, *_ in self.arcs + self.circles + self.discs:
            xs += [c[0] - r, c[0] + r]
            ys += [c[1] - r, c[1] + r]
        for polygon in self.fills + ([text_corners(t) for t in self.texts] if with_texts else []):
            xs += [p[0] for p in polygon]
            ys += [p[1] for p in polygon]
        return (min(xs), min(ys), max(xs), max(ys)) if xs else None


def attribute(entity, key, default):
    """The entity's DXF attribute, or default where it has none (tables have no layer or pen)."""
    return entity.dxf.get(key, default) if entity.dxf.is_supported(key) else default


def unstacked(content):
    """MTEXT content with its stacks (\\Sa#b; \\Sa/b; fractions, \\Sa^b; tolerances) set inline after a space,
    as they are drawn here: "2 1/2", "60 +0.05 -0.02"."""
    return re.sub(r"\\S([^;]*?)([#/^])([^;]*);",
                  lambda m: f" {m.group(1)}{'/' if m.group(2) != '^' else ' '}{m.group(3)}", content)


def unicode_escaped(line):
    """The line with CAD's \\U+XXXX escapes (any character, in any code page's file) as the characters."""
    return re.sub(r"\\U\+([0-9A-Fa-f]{4})", lambda m: chr(int(m.group(1), 16)), line)


def flat(path):
    """A path's points, off the curve by under 0.2 % of its size."""
    corners = list(path.control_vertices())
    if not corners:
        return []
    size = max(max(v.x for v in corners) - min(v.x for v in corners),
               max(v.y for v in corners) - min(v.y for v in corners))
    return [(v.x, v.y) for v in path.flattening(0.002 * size + 1e-9)]


def contains(polygon, point):
    x, y = point
    inside = False
    for (ax, ay), (bx, by) in zip(polygon, polygon[1:] + polygon[:1]):
        if (ay > y) != (by > y) and x < ax + (y - ay) * (bx - ax) / (by - ay):
            inside = not inside
    return inside
