#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Scans of drawings people made in CAD programs: each page one DXF drawing, or several small ones (symbols,
parts) set out in a grid, or one detail of a sheet (source@x0,y0,x1,y1), fitted to the paper, plotted with
pens of real widths (round ends), turned by a small skew, and scanned as make_vector_drawings.py does (blur,
grey edge noise, dust; Group 4 TIFF with its resolution). Beside each TIFF a JSON of the true geometry in
vector_score.py's format.

Drawn: LINE, ARC, CIRCLE, LWPOLYLINE and POLYLINE (bulges as arcs), INSERT, DIMENSION, ACAD_TABLE and
MULTILEADER (exploded), SOLID and TRACE, solid HATCH (filled), pattern HATCH (its strokes), ELLIPSE and
SPLINE (as short lines), TEXT, ATTRIB and MTEXT (set in IPA Gothic, one line per MTEXT paragraph, stacked
fractions and tolerances inline). Dashed and centre linetypes are
plotted as dashes, each dash its own line or arc.

The truth is what the score can credit; the rest is drawn but boxed out (text_boxes, cad_boxes.py):
- lines, arcs and circles (each dash on its own) of 2 mm and longer are true primitives;
- shorter ones, text, hatch patterns (their whole region), fills and filled discs, ellipses and splines
  are left out of the truth and boxed, each box grown by the pen's half width and PAD_PX dots;
- a true primitive crossing a box stays true (the score leaves out its samples in the box), unless more
  than half of its length lies in boxes: then it is left out and boxed as well.
So the truth written out as a DXF (true_drawing.py) scores 1.000 in VRI, one-to-one and circles.
The tests set is drawn as before this rule: no text, ellipses, splines or hatch patterns, nothing boxed,
fills' outlines and filled discs in the truth, pieces under SMALLEST_MM left out.

make_cad_scans.py FOLDER [--set tuning|judging|text|tests] [--scale N] [--sources DIR] [NAME ...]
The text set's pages are fitted to the paper with their texts (the others by their geometry alone).
Without names, the set's pages not in FOLDER yet (or made before the boxing rule) are made; named pages are
made again. --scale N draws the pages at N times their resolution, the same drawing on the same paper with
pens as wide in mm, named NAME-Nx.
Sources are read from the bare git mirrors of ezdxf, LibreCAD and dxf-parser (MIRRORS, default
/work/.mirror) or, for the tests set, from --sources (tests/data/cad)."""
import argparse
import json
import math
import os
import random
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_vector_drawings import PAPERS, SUPER, render, turned  # noqa: E402
from cad_boxes import Boxes, paint_texts, readable, settle, text_lines  # noqa: E402
from cad_collect import PENS_MM, Collector, read_source  # noqa: E402

SMOOTH_MM = 0.1  # a polyline's straight pieces off a line by less are drawn as that line
SMALLEST_MM = 0.6  # without the boxing rule, lines shorter and arcs of a smaller radius are left out
CREDITED_MM = 2.0 + 0.01  # entities shorter than 2 mm are not credited by the score; a margin for rounding
LIB = "librecad/support/library/"

SMALLEST_LETTERING_MM = 1.8  # the cap height of the smallest lettering drawing standards allow

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
    # A free curve drawn as chains of tangent arcs, windowed to the penguin: fitted whole, it comes out tiny.
    "cad-tux": ("A4", 300, 0.3, 73, "penguin of tangent arcs", [f"librecad:{LIB}misc/tux.dxf@0,0,26,31"]),
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
# Drawings full of text, for bench/text: title blocks, tables, labels and dimension values, some at angles.
TEXT = {
    "cad-title-block": ("A3", 300, 0.3, 81, "sheet frame and title block", [f"librecad:{LIB}misc/a3.dxf"]),
    "cad-house-sheet": ("A3", 200, -0.4, 82, "house elevation sheet with title block",
                        ["ezdxf:integration_tests/data/recover01.dxf"]),
    "cad-turned-part": ("A4", 400, 0.5, 83, "part with dimension values turned 90 degrees",
                        ["ezdxf:integration_tests/data/duplicate_handles.dxf"]),
    "cad-dim-symbols": ("A4", 300, -0.6, 84, "dimensions with diameter, radius and angle values",
                        ["ezdxf:examples_dxf/uncommon.dxf"]),
    "cad-tables": ("A4", 300, 0.4, 85, "tables",
                   ["ezdxf:examples_dxf/acad_table_with_blk_ref.dxf", "ezdxf:examples_dxf/acad_table_simple.dxf"]),
    "cad-angled-labels": ("A3", 300, -0.3, 86, "labels at 30 and 330 degrees, every alignment",
                          ["ezdxf:examples_dxf/text_oblique_rotate.dxf@27,-14,40,4"]),
    "cad-callouts": ("A3", 300, 0.6, 87, "part callouts and opening sizes, some at 90 degrees",
                     ["dxfparser:samples/data/api-cw750-details.dxf@510,328,542,350"]),
    "cad-jamb-labels": ("A3", 200, -0.5, 88, "jamb section labels and opening sizes",
                        ["dxfparser:samples/data/api-cw750-details.dxf@548,312,580,338"]),
    "cad-profiles": ("A4", 400, 0.2, 89, "profile details with dimension values and symbols",
                     ["dxfparser:samples/data/api-cw750-details.dxf@647,340,657,351"]),
    "cad-profiles-2": ("A4", 300, -0.7, 90, "profile details with dimension values",
                       ["dxfparser:samples/data/api-cw750-details.dxf@668,343,681,351"]),
}
TESTS = {
    "door-d1": ("A4", 200, 0.3, 41, "door swing", ["file:d1.dxf"]),
    "t-part": ("A4", 200, -0.5, 42, "part with fillets", ["file:t-part.dxf"]),
    "thin-schematic": ("A4", 200, -0.5, 43, "schematic symbols", ["file:ed41.dxf"]),
}


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


def place(collector, box, mm, page):
    """Adds the collector's geometry fitted into box (pixels: x0, y0, x1, y1) to the page: its truth, and
    what is drawn but left out of it (see the boxing rule above; page["boxed"] False: as before the rule)."""
    extents = collector.extents(page["fit_texts"])
    if extents is None:
        return
    ex0, ey0, ex1, ey1 = extents
    scale = min((box[2] - box[0]) / max(ex1 - ex0, 1e-9), (box[3] - box[1]) / max(ey1 - ey0, 1e-9))
    ox = box[0] + ((box[2] - box[0]) - (ex1 - ex0) * scale) / 2 - ex0 * scale
    oy = box[1] + ((box[3] - box[1]) - (ey1 - ey0) * scale) / 2 - ey0 * scale
    at = lambda p: [p[0] * scale + ox, p[1] * scale + oy]
    truth, drawn, boxed = page["truth"], page["drawn"], page["boxed"]
    shortest = CREDITED_MM * mm if boxed else 0
    keep = lambda kind, piece, length: (truth if length >= shortest else drawn)[kind].append(piece)
    thinnest = PENS_MM[0] * mm
    for a, b, pen, pattern in simplified(collector, at, mm):
        length = math.hypot(b[0] - a[0], b[1] - a[1])
        if length < (0 if boxed else SMALLEST_MM * mm) or length == 0:
            continue
        ux, uy = (b[0] - a[0]) / length, (b[1] - a[1]) / length
        for s, e in dashes(length, pattern, mm):
            if e - s >= (0 if boxed else 0.5):
                keep("lines", {"a": [a[0] + ux * s, a[1] + uy * s], "b": [a[0] + ux * e, a[1] + uy * e],
                               "w": pen * mm, "dash": bool(pattern)}, e - s)
    for c, r, s, e, pen, pattern in collector.arcs + [(c, r, 0, 360, pen, p) for c, r, pen, p in collector.circles]:
        c, r = at(c), r * scale
        if r < (0 if boxed else SMALLEST_MM * mm) or r == 0:
            continue
        sweep = (e - s) % 360 or 360
        whole = sweep == 360 and not pattern
        for ds, de in dashes(math.radians(sweep) * r, pattern, mm):
            if whole:
                keep("circles", {"c": c, "r": r, "w": pen * mm}, de - ds)
            elif de - ds >= (0 if boxed else 0.5):
                keep("arcs", {"c": c, "r": r, "s": (s + math.degrees(ds / r)) % 360,
                              "e": (s + math.degrees(de / r)) % 360, "w": pen * mm}, de - ds)
    for c, r in collector.discs:
        c, r = at(c), r * scale
        if not boxed:
            truth["circles"].append({"c": c, "r": r, "w": thinnest, "filled": True})
        page["fills"].append([[c[0] + r * math.cos(k * math.pi / 90), c[1] + r * math.sin(k * math.pi / 90)]
                              for k in range(180)])
    page["holes"] += [[at(p) for p in polygon] for polygon in collector.holes]
    for polygon in collector.fills + collector.holes:
        points = [at(p) for p in polygon]
        if polygon in collector.fills:
            page["fills"].append(points)
        for a, b in zip(points, points[1:] + points[:1]):
            if not boxed and math.hypot(b[0] - a[0], b[1] - a[1]) >= 0.5:
                truth["lines"].append({"a": a, "b": b, "w": thinnest, "dash": False, "outline": True})
    if boxed:
        for points, pen in collector.curves:
            points = [at(p) for p in points]
            drawn["lines"] += [{"a": a, "b": b, "w": pen * mm} for a, b in zip(points, points[1:]) if a != b]
        page["regions"] += [[at(p) for p in polygon] for polygon in collector.regions]
        page["texts"] += [dict(t, p=at(t["p"]), h=t["h"] * scale) for t in collector.texts]


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


def make(folder, name, drawing, source_folder, boxed=True, times=1, fit_texts=False):
    """fit_texts: the drawing and its texts are fitted to the paper (else the geometry alone, as the pages
    of the tuning and judging sets were made)."""
    paper, dpi, skew, seed, kind, sources = drawing
    dpi *= times
    rng = random.Random(seed)
    long_mm, short_mm = PAPERS[paper]
    width, height = round(long_mm / 25.4 * dpi), round(short_mm / 25.4 * dpi)
    mm = dpi / 25.4
    truth = {"width": width, "height": height, "dpi": dpi, "skew": skew, "paper": paper, "kind": kind,
             "sources": sources, "lines": [], "circles": [], "arcs": [], "text_boxes": []}
    page = {"truth": truth, "drawn": {"lines": [], "circles": [], "arcs": []}, "boxed": boxed, "fills": [],
            "holes": [], "regions": [], "texts": [], "fit_texts": fit_texts}
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
        place(collector, (x0, y0, x0 + cell_w, y0 + cell_h), mm, page)
    centre = ((width - 1) / 2, (height - 1) / 2)
    turn = lambda p: turned(p, centre, skew)
    for pieces in (truth, page["drawn"]):
        pieces["lines"] = [dict(l, a=turn(l["a"]), b=turn(l["b"])) for l in pieces["lines"]]
        pieces["circles"] = [dict(c, c=turn(c["c"])) for c in pieces["circles"]]
        pieces["arcs"] = [dict(a, c=turn(a["c"]), s=(a["s"] + skew) % 360, e=(a["e"] + skew) % 360)
                          for a in pieces["arcs"]]
    fills, holes, regions = ([[turn(p) for p in polygon] for polygon in page[key]] for key in ("fills", "holes", "regions"))
    texts = [dict(t, p=turn(t["p"]), rot=t["rot"] + skew) for t in page["texts"]]
    drawn = page["drawn"]
    lines = [l for l in truth["lines"] if not l.get("outline")] + drawn["lines"]
    image = render(width, height, lines, [c for c in truth["circles"] if not c.get("filled")] + drawn["circles"],
                   truth["arcs"] + drawn["arcs"], rng, fills + round_ends(lines), holes,
                   paint_texts(texts, height, SUPER) if texts else None)
    image.save(f"{folder}/{name}.tif", compression="group4", dpi=(dpi, dpi))
    if boxed:
        boxes = Boxes(width, height, mm, times)
        for polygon in fills:
            boxes.area(polygon)
        for polygon in holes:  # cut as the drawing cuts them
            boxes.hole(polygon)
        for piece in drawn["lines"] + drawn["circles"] + drawn["arcs"]:
            boxes.stroke(piece)
        for polygon in regions:
            boxes.area(polygon)
        for text in texts:
            boxes.text(text)
        settle(truth, boxes)
        truth["boxed"] = True
    # For bench/text_score.py (vector_score.py reads none of it): the lines a reader can read on the scan,
    # whose capitals stand at least as high as a drawing's smallest lettering, not drawn over one another.
    lines = text_lines(texts, SUPER)
    truth["texts"] = readable([t for t in lines if t["height"] >= SMALLEST_LETTERING_MM * mm])
    # The lines left out are on the scan all the same: reading one is not reading text that is not there.
    truth["untracked_texts"] = [t for t in lines if t not in truth["texts"]]
    with open(f"{folder}/{name}.json", "w") as out:
        json.dump(truth, out)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("folder")
    parser.add_argument("--set", choices=["tuning", "judging", "text", "tests"], default="tuning")
    parser.add_argument("--scale", type=int, default=1,
                        help="pages at this many times their resolution, named NAME-2x for 2 (pens as wide in mm)")
    parser.add_argument("--sources", default=os.path.join(os.path.dirname(__file__), "../tests/data/cad"))
    parser.add_argument("names", nargs="*")
    options = parser.parse_intermixed_args()
    drawings = {"tuning": TUNING, "judging": JUDGING, "text": TEXT, "tests": TESTS}[options.set]
    suffix = f"-{options.scale}x" if options.scale != 1 else ""
    os.makedirs(options.folder, exist_ok=True)
    for name in options.names or drawings:
        name = name.removesuffix(suffix)
        made = os.path.join(options.folder, name + suffix + ".json")
        # Pages made before the boxing rule are made again.
        if options.names or not os.path.exists(made) or (options.set != "tests" and
                                                          not json.load(open(made)).get("boxed")):
            make(options.folder, name + suffix, drawings[name], options.sources, options.set != "tests",
                 options.scale, options.set == "text")
