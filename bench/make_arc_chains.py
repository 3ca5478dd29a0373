#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes scanned-looking pages of free curves drawn as chains of tangent arcs (as CAD programs draw a logo
or a cam profile): each arc starts where the one before ends, along the same tangent, with another radius,
its bend either alternating or one way. Each page a Group 4 TIFF at 300 dpi with its true arcs beside it in
vector_score.py's format (bench/make_vector_drawings.py draws them).

make_arc_chains.py FOLDER [SEEDS...]; without seeds, pages 1 to 4."""
import json
import math
import random
import sys

from make_vector_drawings import render

DPI = 300
PENS_MM = (0.25, 0.35, 0.5)


def chain(start, heading, turns, pen):
    """The arcs (vector_score.py's dicts, y up) of a chain from start along heading (degrees) through turns,
    each (radius, signed sweep in degrees: positive bends left, counter-clockwise)."""
    arcs, (x, y) = [], start
    for radius, sweep in turns:
        side = 1 if sweep > 0 else -1
        normal = math.radians(heading + 90 * side)
        cx, cy = x + radius * math.cos(normal), y + radius * math.sin(normal)
        first = math.degrees(math.atan2(y - cy, x - cx))
        last = first + sweep
        s, e = (first, last) if sweep > 0 else (last, first)
        arcs.append({"c": [cx, cy], "r": radius, "s": s % 360, "e": e % 360, "w": pen})
        x, y = cx + radius * math.cos(math.radians(last)), cy + radius * math.sin(math.radians(last))
        heading += sweep
    return arcs


def random_turns(rng, alternating, count):
    """Radii of 30-200 dots, each at least a third different from the one before, with sweeps long
    enough for a fit (a 40 dots' arc at least); one way the chain turns 300 degrees at most."""
    turns, radius, side, total = [], rng.uniform(30, 200), rng.choice((-1, 1)), 0
    for _ in range(count):
        while turns and not 1.33 <= max(radius, turns[-1][0]) / min(radius, turns[-1][0]):
            radius = rng.uniform(30, 200)
        least = max(25.0, math.degrees(40 / radius))
        most = max(least, min(80.0, 300 / count)) if not alternating else max(least, 75.0)
        sweep = rng.uniform(least, most)
        turns.append((radius, side * sweep))
        total += sweep
        radius = rng.uniform(30, 200)
        if alternating:
            side = -side
    return turns


def page(seed):
    """(width, height, arcs) of a page of six chains, three alternating and three bending one way."""
    rng = random.Random(seed)
    width, height = 2480, 1754  # A4 at 300 dpi
    arcs = []
    cells = [(x, y) for y in (0, 1) for x in (0, 1, 2)]
    for k, (col, row) in enumerate(cells):
        alternating = k % 2 == 0
        turns = random_turns(rng, alternating, rng.choice((6, 7)))
        pen = rng.choice(PENS_MM) * DPI / 25.4
        cell_w, cell_h = width / 3, height / 2
        pieces = chain((0, 0), rng.uniform(0, 360), turns, pen)
        xs = [a["c"][0] + a["r"] * math.cos(math.radians(d)) for a in pieces for d in (a["s"], a["e"])]
        ys = [a["c"][1] + a["r"] * math.sin(math.radians(d)) for a in pieces for d in (a["s"], a["e"])]
        # each chain's ends centred in its cell (the arcs between may bulge out a little)
        dx = col * cell_w + cell_w / 2 - (min(xs) + max(xs)) / 2 + rng.random()
        dy = row * cell_h + cell_h / 2 - (min(ys) + max(ys)) / 2 + rng.random()
        arcs += [dict(a, c=[a["c"][0] + dx, a["c"][1] + dy]) for a in pieces]
    return width, height, arcs


def write(folder, seed):
    width, height, arcs = page(seed)
    name = f"{folder}/arc-chains-{seed}"
    render(width, height, [], [], arcs, random.Random(seed)).save(name + ".tif", compression="group4",
                                                                     dpi=(DPI, DPI))
    truth = {"width": width, "height": height, "dpi": DPI, "skew": 0, "lines": [], "circles": [], "arcs": arcs,
             "text_boxes": []}
    with open(name + ".json", "w") as out:
        json.dump(truth, out)


if __name__ == "__main__":
    for seed in [int(s) for s in sys.argv[2:]] or [1, 2, 3, 4]:
        write(sys.argv[1], seed)
