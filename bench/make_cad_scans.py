#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Scans of drawings people made in CAD programs: each page one DXF drawing, or several small ones (symbols,
parts) set out in a grid, or one detail of a sheet (source@x0,y0,x1,y1), fitted to the paper, plotted with pens of real widths (round ends), turned by a
small skew, and scanned as make_vector_drawings.py does (blur, grey edge noise, dust; Group 4 TIFF with
its resolution). Beside each TIFF a JSON of the true geometry in vector_score.py's format.

Drawn: LINE, ARC, CIRCLE, LWPOLYLINE and POLYLINE (bulges as arcs), INSERT and DIMENSION (exploded),
SOLID and TRACE, solid HATCH (filled; their outlines are the truth, a filled disc a circle). Dashed and
centre linetypes are plotted as dashes, each dash its own line or arc. Text, ellipses and splines are
left out.

make_cad_scans.py FOLDER [--set tuning|judging|tests] [--sources DIR] [NAME ...]
Without names, the set's pages not in FOLDER yet are made; named pages are made again.
Sources are read from the bare git mirrors of ezdxf, LibreCAD and dxf-parser (MIRRORS, default
/work/.mirror) or, for the tests set, from --sources (tests/data/cad)."""
import argparse
import hashlib
import json
import math
import os
import random
import subprocess
import sys
import tempfile

import ezdxf
from ezdxf import recover
from ezdxf import path as dxfpath

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_vector_drawings import PAPERS, render, turned  # noqa: E402

MIRRORS = os.environ.get("MIRRORS", "/work/.mirror")
REPOS = {"ezdxf": "mozman+ezdxf", "librecad": "LibreCAD+LibreCAD", "dxfparser": "gdsestimating+dxf-parser"}
PENS_MM = [0.25, 0.35, 0.5, 0.7]
SMOOTH_MM = 0.1  # a polyline's straight pieces off a line by less are drawn as that line
SMALLEST_MM = 0.6  # lines shorter and arcs of a smaller radius are details no plot shows: left out
LIB = "librecad/support/library/"
# Dash patterns on the paper in mm: ink, gap, ink, gap ...
PATTERNS = {"CENTER": [12, 3, 2, 3], "DASHDOT": [8, 2.5, 1, 2.5], "DASHED": [5, 2.5], "HIDDEN": [3, 1.5],
            "PHANTOM": [12, 2.5, 2, 2.5, 2, 2.5]}

# name: paper, dpi, skew, seed, kind, sources ("repo:path"); several sources are set out in a grid.
TUNING = {
    "cad-part-dims": ("A4", 300, 0.4, 21, "part with dimensions", ["librecad:librecad/res/dxf/dim_sample.dxf"]),
    "cad-flange-parts": ("A4", 300, -0.6, 22, "mechanical parts",
                         [f"librecad:{LIB}misc/t-part.dxf", f"librecad:{LIB}misc/screw.dxf"]
                         + [f"librecad:{LIB}kinetics/kin{k}.dxf" for k in (1, 2, 3, 4, 18, 19)]),
    "cad-floor-plan": ("A3", 300, 0.7, 23, "floor plan furniture and doors",
                       [f"librecad:{LIB}plan/architect/Complete-Lib-E.dxf",
                        f"librecad:{LIB}plan/doors/d1.dxf", f"librecad:{LIB}plan/doors/d2.dxf"]),
    "cad-door-detail": ("A4", 400, -0.3, 24, "door detail", ["ezdxf:examples_dxf/wipeout_door.dxf"]),
    "cad-schematic": ("A4", 300, 0.9, 25, "schematic symbols",
                      [f"librecad:{LIB}power_station/ed{k}.dxf" for k in range(1, 21)]),
    "cad-map": ("A4", 200, 0.5, 26, "map", ["ezdxf:examples/addons/drawing/data/usa.dxf"]),
    "cad-schematic-thin": ("A4", 200, -0.5, 52, "schematic symbols of thin pens",
                           [f"librecad:{LIB}power_station/ed{k}.dxf" for k in range(41, 61)]),
    "cad-transistors": ("A4", 300, 0.4, 71, "transistor symbols of heavy pens",
                        [f"librecad:{LIB}elektro/transistor/vt{k}.dxf" for k in range(1, 13)]),
    "cad-diodes": ("A4", 400, -0.5, 72, "diode symbols of heavy pens",
                   [f"librecad:{LIB}elektro/diode/vd{k}.dxf" for k in range(1, 12)]),
    "cad-relays": ("A4", 300, 0.3, 91, "relay symbols, circles that lines touch",
                   [f"librecad:{LIB}elektro/relay/{n}.dxf" for n in
                    ["n1", "n11", "n12", "n13", "n14", "n15", "n2", "n3", "n4", "r1", "r10", "r11"]]),
    "cad-lamps": ("A4", 300, 0.5, 61, "lamp symbols, filled discs",
                  [f"librecad:{LIB}elektro/lamp/hl_{k}.dxf" for k in (1, 2, 10, 11, 12, 13, 14, 15, 17, 18, 19, 20)]),
}
JUDGING = {
    "cad-elevation": ("A3", 300, -0.4, 31, "facade elevation with dimensions",
                      ["dxfparser:samples/data/api-cw750-details.dxf@140,130,435,545"]),
    "cad-wall-details": ("A4", 400, 0.3, 37, "architectural details",
                         ["dxfparser:samples/data/api-cw750-details.dxf@500,300,590,370"]),
    "cad-parts-2": ("A4", 400, 0.6, 32, "mechanical parts",
                    [f"librecad:{LIB}kinetics/kin{k}.dxf" for k in (21, 24, 25, 27, 29, 39, 51, 108, 110)]),
    "cad-floor-plan-2": ("A4", 300, -0.8, 33, "floor plan furniture and doors",
                         [f"librecad:{LIB}plan/architect/Complete-Lib-V.dxf",
                          f"librecad:{LIB}plan/doors/d3.dxf", f"librecad:{LIB}plan/doors/d4.dxf"]),
    "cad-schematic-2": ("A4", 200, 0.2, 34, "schematic symbols",
                        [f"librecad:{LIB}power_station/ed{k}.dxf" for k in range(100, 120)]),
    "cad-map-2": ("A4", 300, 0.4, 35, "map",
                  ["ezdxf:tests/test_01_dxf_entities/houses_of_parliament_georeferenced.dxf"]),
    "cad-filled": ("A4", 300, -0.7, 36, "filled areas", ["ezdxf:examples_dxf/hatches_1.dxf"]),
    "cad-transistors-2": ("A4", 300, -0.6, 38, "transistor symbols of heavy pens",
                          [f"librecad:{LIB}elektro/transistor/{n}.dxf" for n in
                           ["vt13", "vt14", "vt15", "vt16", "vt17", "vt18", "vt19", "vt20", "vt31", "vt41", "igbt_npn",
                            "igbt_pnp"]]),
    "cad-diodes-2": ("A4", 300, 0.5, 39, "diode symbols",
                     [f"librecad:{LIB}elektro/diode-iso/Diode-{n}.dxf" for n in
                      ["Bridge", "Diac", "Gunn", "LED", "PIN", "Photo", "Power", "Schottky", "Thy-SCR", "Triac",
                       "Tunnel", "Zener"]]),
    "cad-relays-2": ("A4", 300, -0.4, 46, "relay symbols",
                     [f"librecad:{LIB}elektro/relay/{n}.dxf" for n in
                      ["n17", "n6", "r12", "r13", "r2", "r3", "r4", "r5", "r6", "r7", "r8", "r9"]]),
    "cad-lamps-2": ("A4", 300, 0.3, 40, "lamp symbols, filled discs",
                    [f"librecad:{LIB}elektro/lamp/hl_{k}.dxf" for k in range(21, 30)]
                    + [f"librecad:{LIB}elektro/lamp/hl_{k}.dxf" for k in range(3, 10)]),
}
TESTS = {
    "door-d1": ("A4", 200, 0.3, 41, "door swing", ["file:d1.dxf"]),
    "t-part": ("A4", 200, -0.5, 42, "part with fillets", ["file:t-part.dxf"]),
    "thin-schematic": ("A4", 200, -0.5, 43, "schematic symbols", ["file:ed41.dxf"]),
}


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

    def pen(self, entity):
        weight = entity.dxf.get("lineweight", -1)
        layer = self.doc.layers.get(entity.dxf.get("layer", "0")) if entity.dxf.hasattr("layer") else None
        if weight is None or weight < 0:
            weight = layer.dxf.get("lineweight", -3) if layer is not None else -3
        if weight is not None and weight > 0:
            return min(max(weight / 100, 0.18), 1.0)
        name = entity.dxf.get("layer", "0")
        return PENS_MM[hashlib.md5(name.encode()).digest()[0] % 3]

    def pattern(self, entity):
        name = entity.dxf.get("linetype", "BYLAYER").upper()
        if name == "BYLAYER":
            try:
                name = self.doc.layers.get(entity.dxf.get("layer", "0")).dxf.get("linetype", "").upper()
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
        elif kind in ("LWPOLYLINE", "POLYLINE", "INSERT", "DIMENSION", "LEADER") and depth < 8:
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
            corners = list(p.control_vertices())
            if not corners:
                continue
            size = max(max(v.x for v in corners) - min(v.x for v in corners),
                       max(v.y for v in corners) - min(v.y for v in corners))
            points = [(v.x, v.y) for v in p.flattening(0.002 * size + 1e-9)]
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

    def extents(self):
        xs, ys = [], []
        for a, b, *_ in self.lines:
            xs += [a[0], b[0]]
            ys += [a[1], b[1]]
        for c, r, *_ in self.arcs + self.circles + self.discs:
            xs += [c[0] - r, c[0] + r]
            ys += [c[1] - r, c[1] + r]
        for polygon in self.fills:
            xs += [p[0] for p in polygon]
            ys += [p[1] for p in polygon]
        return (min(xs), min(ys), max(xs), max(ys)) if xs else None


def contains(polygon, point):
    x, y = point
    inside = False
    for (ax, ay), (bx, by) in zip(polygon, polygon[1:] + polygon[:1]):
        if (ay > y) != (by > y) and x < ax + (y - ay) * (bx - ax) / (by - ay):
            inside = not inside
    return inside


def dashes(length, pattern, unit):
    """(start, end) distances of the inked pieces along a stroke of the given length."""
    if not pattern:
        return [(0, length)]
    pieces, at, k = [], 0.0, 0
    while at < length:
        step = pattern[k % len(pattern)] * unit
        if k % 2 == 0:
            pieces.append((at, min(length, at + step)))
        at += step
        k += 1
    return pieces


def place(collector, box, mm, truth, fills, holes):
    """Adds the collector's geometry fitted into box (pixels: x0, y0, x1, y1) to truth, fills and holes."""
    extents = collector.extents()
    if extents is None:
        return
    ex0, ey0, ex1, ey1 = extents
    scale = min((box[2] - box[0]) / max(ex1 - ex0, 1e-9), (box[3] - box[1]) / max(ey1 - ey0, 1e-9))
    ox = box[0] + ((box[2] - box[0]) - (ex1 - ex0) * scale) / 2 - ex0 * scale
    oy = box[1] + ((box[3] - box[1]) - (ey1 - ey0) * scale) / 2 - ey0 * scale
    at = lambda p: [p[0] * scale + ox, p[1] * scale + oy]
    thinnest = PENS_MM[0] * mm
    for a, b, pen, pattern in simplified(collector, at, mm):
        length = math.hypot(b[0] - a[0], b[1] - a[1])
        if length < SMALLEST_MM * mm:
            continue
        ux, uy = (b[0] - a[0]) / length, (b[1] - a[1]) / length
        for s, e in dashes(length, pattern, mm):
            if e - s >= 0.5:
                truth["lines"].append({"a": [a[0] + ux * s, a[1] + uy * s], "b": [a[0] + ux * e, a[1] + uy * e],
                                       "w": pen * mm, "dash": bool(pattern)})
    for c, r, s, e, pen, pattern in collector.arcs + [(c, r, 0, 360, pen, p) for c, r, pen, p in collector.circles]:
        c, r = at(c), r * scale
        if r < SMALLEST_MM * mm:
            continue
        sweep = (e - s) % 360 or 360
        whole = sweep == 360 and not pattern
        for ds, de in dashes(math.radians(sweep) * r, pattern, mm):
            if whole:
                truth["circles"].append({"c": c, "r": r, "w": pen * mm})
            elif de - ds >= 0.5:
                truth["arcs"].append({"c": c, "r": r, "s": (s + math.degrees(ds / r)) % 360,
                                      "e": (s + math.degrees(de / r)) % 360, "w": pen * mm})
    for c, r in collector.discs:
        c, r = at(c), r * scale
        truth["circles"].append({"c": c, "r": r, "w": thinnest, "filled": True})
        fills.append([[c[0] + r * math.cos(k * math.pi / 90), c[1] + r * math.sin(k * math.pi / 90)]
                      for k in range(180)])
    holes += [[at(p) for p in polygon] for polygon in collector.holes]
    for polygon in collector.fills + collector.holes:
        points = [at(p) for p in polygon]
        if polygon in collector.fills:
            fills.append(points)
        for a, b in zip(points, points[1:] + points[:1]):
            if math.hypot(b[0] - a[0], b[1] - a[1]) >= 0.5:
                truth["lines"].append({"a": a, "b": b, "w": thinnest, "dash": False, "outline": True})


def simplified(collector, at, mm):
    """The collector's lines in pixels, each polyline's run of short straight pieces that a pen draws as
    one line (off by under SMOOTH_MM, as a map's coastline) taken as that one line."""
    chained = set()
    for first, end in collector.chains:
        k = first
        while k < end:
            run = k + 1
            while run < end and collector.lines[run][0] == collector.lines[run - 1][1] and \
                    collector.lines[run][2:] == collector.lines[k][2:]:
                run += 1
            points = [at(collector.lines[k][0])] + [at(collector.lines[j][1]) for j in range(k, run)]
            kept = douglas_peucker(points, SMOOTH_MM * mm)
            for a, b in zip(kept, kept[1:]):
                yield a, b, collector.lines[k][2], collector.lines[k][3]
            chained.update(range(k, run))
            k = run
    for k, (a, b, pen, pattern) in enumerate(collector.lines):
        if k not in chained:
            yield at(a), at(b), pen, pattern


def douglas_peucker(points, tolerance):
    if len(points) < 3:
        return points
    (ax, ay), (bx, by) = points[0], points[-1]
    length = math.hypot(bx - ax, by - ay)
    distance = lambda p: (abs((bx - ax) * (ay - p[1]) - (ax - p[0]) * (by - ay)) / length if length > 0
                          else math.hypot(p[0] - ax, p[1] - ay))
    far = max(range(1, len(points) - 1), key=lambda k: distance(points[k]))
    if distance(points[far]) <= tolerance:
        return [points[0], points[-1]]
    return douglas_peucker(points[:far + 1], tolerance)[:-1] + douglas_peucker(points[far:], tolerance)


def round_ends(lines):
    """Discs at the ends of the pen strokes: plotters' pens are round."""
    caps = []
    for line in lines:
        if line.get("outline"):
            continue
        r = line["w"] / 2
        for c in (line["a"], line["b"]):
            caps.append([[c[0] + r * math.cos(k * math.pi / 8), c[1] + r * math.sin(k * math.pi / 8)]
                         for k in range(16)])
    return caps


def make(folder, name, drawing, source_folder):
    paper, dpi, skew, seed, kind, sources = drawing
    rng = random.Random(seed)
    long_mm, short_mm = PAPERS[paper]
    width, height = round(long_mm / 25.4 * dpi), round(short_mm / 25.4 * dpi)
    mm = dpi / 25.4
    truth = {"width": width, "height": height, "dpi": dpi, "skew": skew, "paper": paper, "kind": kind,
             "sources": sources, "lines": [], "circles": [], "arcs": [], "text_boxes": []}
    fills, holes = [], []
    columns = min(len(sources), math.ceil(math.sqrt(len(sources) * width / height)))
    rows = math.ceil(len(sources) / columns)
    margin, gap = 15 * mm, 8 * mm
    cell_w = (width - 2 * margin - (columns - 1) * gap) / columns
    cell_h = (height - 2 * margin - (rows - 1) * gap) / rows
    for k, source in enumerate(sources):
        source, _, window = source.partition("@")
        collector = Collector(read_source(source, source_folder))
        for entity in collector.doc.modelspace():
            collector.add(entity)
        if window:
            collector.crop([float(v) for v in window.split(",")])
        x0 = margin + (k % columns) * (cell_w + gap)
        y0 = height - margin - (k // columns + 1) * cell_h - (k // columns) * gap
        place(collector, (x0, y0, x0 + cell_w, y0 + cell_h), mm, truth, fills, holes)
    centre = ((width - 1) / 2, (height - 1) / 2)
    turn = lambda p: turned(p, centre, skew)
    truth["lines"] = [dict(l, a=turn(l["a"]), b=turn(l["b"])) for l in truth["lines"]]
    truth["circles"] = [dict(c, c=turn(c["c"])) for c in truth["circles"]]
    truth["arcs"] = [dict(a, c=turn(a["c"]), s=(a["s"] + skew) % 360, e=(a["e"] + skew) % 360) for a in truth["arcs"]]
    fills = [[turn(p) for p in polygon] for polygon in fills]
    holes = [[turn(p) for p in polygon] for polygon in holes]
    drawn_circles = [c for c in truth["circles"] if not c.get("filled")]
    page = render(width, height, [l for l in truth["lines"] if not l.get("outline")], drawn_circles,
                  truth["arcs"], rng, fills + round_ends(truth["lines"]), holes)
    page.save(f"{folder}/{name}.tif", compression="group4", dpi=(dpi, dpi))
    with open(f"{folder}/{name}.json", "w") as out:
        json.dump(truth, out)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("folder")
    parser.add_argument("--set", choices=["tuning", "judging", "tests"], default="tuning")
    parser.add_argument("--sources", default=os.path.join(os.path.dirname(__file__), "../tests/data/cad"))
    parser.add_argument("names", nargs="*")
    options = parser.parse_args()
    drawings = {"tuning": TUNING, "judging": JUDGING, "tests": TESTS}[options.set]
    os.makedirs(options.folder, exist_ok=True)
    for name in options.names or drawings:
        if options.names or not os.path.exists(os.path.join(options.folder, name + ".json")):
            make(options.folder, name, drawings[name], options.sources)
