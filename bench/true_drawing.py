#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes a scan's true geometry as the DXF a faithful conversion of it would be, to score beside the
programs: what a conversion that gave back exactly what was drawn would score.

true_drawing.py TRUTH.json OUT.dxf: prints the number of entities written.

Every true primitive is an entity of its own. Where the drawing's author split one stroke into pieces, a
faithful conversion draws it whole, so lines that continue one another (meeting end to end, each within
6 degrees of the whole's chord and a dot of it) are also drawn as one LINE, and arcs of one circle that meet end to end
as one ARC. Nothing is drawn off the true geometry."""
import json, math, sys
from collections import defaultdict
import ezdxf

ANGLE = math.cos(math.radians(6))  # the score's direction tolerance
MEET = 1.0                         # dots between two ends that meet


def unit(a, b):
    length = math.dist(a, b)
    return ((b[0] - a[0]) / length, (b[1] - a[1]) / length) if length > 0 else None


def along(u, v):
    return u is None or v is None or abs(u[0] * v[0] + u[1] * v[1]) >= ANGLE


def end_key(p):
    return (round(p[0] / MEET), round(p[1] / MEET))


def line_chains(lines):
    """Sequences of points along lines that meet end to end, going straight on (within 6 degrees) at each
    meeting; at a meeting of several, the straightest pair goes on."""
    ends = defaultdict(list)
    for i, (a, b) in enumerate(lines):
        ends[end_key(a)].append((i, 0))
        ends[end_key(b)].append((i, 1))
    onward = {}  # (line, end) -> (line, end) it goes on into
    for meeting in ends.values():
        pairs = []
        for x in range(len(meeting)):
            for y in range(x + 1, len(meeting)):
                (i, ei), (j, ej) = meeting[x], meeting[y]
                if i == j:
                    continue
                # directions pointing away from the meeting
                u = unit(lines[i][ei], lines[i][1 - ei])
                v = unit(lines[j][ej], lines[j][1 - ej])
                if u is not None and v is not None and -(u[0] * v[0] + u[1] * v[1]) >= ANGLE:
                    pairs.append((u[0] * v[0] + u[1] * v[1], meeting[x], meeting[y]))
        for _, p, q in sorted(pairs):
            if p not in onward and q not in onward:
                onward[p] = q
                onward[q] = p
    seen = set()
    for start in range(len(lines)):
        if start in seen:
            continue
        # walk back to the chain's first line, then forward through it
        i, e = start, 0
        while (i, e) in onward and onward[(i, e)][0] != start:
            i, e = onward[(i, e)]
            e = 1 - e
        points, first = [lines[i][e]], i
        while True:
            seen.add(i)
            points.append(lines[i][1 - e])
            nxt = onward.get((i, 1 - e))
            if nxt is None or nxt[0] == first or nxt[0] in seen:
                break
            i, e = nxt
        if len(points) > 2:
            yield points


def off_chord(p, a, b):
    """How far p lies from the line through a and b, in dots."""
    length = math.dist(a, b)
    return abs((b[0] - a[0]) * (p[1] - a[1]) - (b[1] - a[1]) * (p[0] - a[0])) / length if length > 0 else 0


def straight_runs(points):
    """The longest runs of a chain's points whose chord lies within 6 degrees of each piece and within a
    dot of each point, as chords."""
    start = 0
    while start < len(points) - 1:
        end = start + 1
        while end + 1 < len(points):
            a, b = points[start], points[end + 1]
            chord = unit(a, b)
            if not all(along(chord, unit(points[k], points[k + 1])) and off_chord(points[k + 1], a, b) <= MEET
                       for k in range(start, end + 1)):
                break
            end += 1
        if end - start > 1:
            yield points[start], points[end]
        start = end


def joined_arcs(arcs):
    """Arcs of one circle that meet end to end, joined (start, end degrees counter-clockwise)."""
    circles = defaultdict(list)
    for arc in arcs:
        circles[(round(arc['c'][0]), round(arc['c'][1]), round(arc['r']))].append(arc)
    for group in circles.values():
        spans = sorted(((a['s'] % 360, (a['e'] - a['s']) % 360 or 360) for a in group))
        ends = [(s + w) % 360 for s, w in spans]
        # A join starts at an arc that no other continues, or anywhere on a closed ring of arcs.
        first = [k for k, (start, _) in enumerate(spans)
                 if not any(abs((start - end + 180) % 360 - 180) <= 0.5 for end in ends)] or [0]
        for k in first:
            start, sweep = spans[k]
            total, end = sweep, start + sweep
            for next_start, next_sweep in spans[k + 1:] + [(s + 360, w) for s, w in spans[:k]]:
                if abs(next_start - end) > 0.5 or total + next_sweep >= 360:
                    break
                total += next_sweep
                end += next_sweep
            if total > sweep:
                yield group[0]['c'], group[0]['r'], start, end % 360


def main():
    truth = json.load(open(sys.argv[1]))
    doc = ezdxf.new()
    space = doc.modelspace()
    lines = [(tuple(l['a']), tuple(l['b'])) for l in truth['lines']]
    for a, b in lines:
        space.add_line(a, b)
    for circle in truth['circles']:
        space.add_circle(circle['c'], circle['r'])
    for arc in truth['arcs']:
        space.add_arc(arc['c'], arc['r'], arc['s'], arc['e'])
    for chain in line_chains(lines):
        for a, b in straight_runs(chain):
            space.add_line(a, b)
    for centre, radius, start, end in joined_arcs(truth['arcs']):
        space.add_arc(centre, radius, start, end)
    doc.saveas(sys.argv[2])
    print(len(space))


if __name__ == '__main__':
    main()
