# SPDX-License-Identifier: GPL-3.0-or-later
"""The single-stroke fonts CAD programs plot text with, read from LibreCAD's font files (LFF, package
librecad-data): each glyph a few polylines whose segments may bulge into arcs, the cap height 9 units."""
import math
import re

FONTS = "/usr/share/librecad/fonts"
CAP = 9.0  # font units


class StrokeFont:
    def __init__(self, name):
        self.glyphs, self.letter_spacing, self.word_spacing = {}, 3.0, 6.75
        current = None
        with open(f"{FONTS}/{name}.lff", encoding="utf-8") as source:
            for raw in source:
                line = raw.strip()
                if line.startswith("# LetterSpacing:"):
                    self.letter_spacing = float(line.split(":")[1])
                elif line.startswith("# WordSpacing:"):
                    self.word_spacing = float(line.split(":")[1])
                elif line.startswith("["):
                    current = self.glyphs.setdefault(chr(int(re.match(r"\[#?([0-9A-Fa-f]+)\]", line).group(1), 16)), [])
                elif current is not None and line and not line.startswith("#"):
                    current.append(line)

    def polylines(self, char, seen=()):
        """The glyph's polylines as lists of (x, y), arcs sampled."""
        out = []
        for line in self.glyphs.get(char, []):
            if line.startswith("C"):  # another glyph drawn as part of this one
                other = chr(int(line[1:], 16))
                if other not in seen:
                    out.extend(self.polylines(other, seen + (char,)))
                continue
            points = []
            for vertex in line.split(";"):
                fields = vertex.split(",")
                x, y = float(fields[0]), float(fields[1])
                bulge = float(fields[2][1:]) if len(fields) > 2 and fields[2].startswith("A") else 0.0
                if bulge and points:
                    points.extend(arc_points(points[-1], (x, y), bulge))
                points.append((x, y))
            out.append(points)
        return out

    def advance(self, char):
        if char == " ":
            return self.word_spacing
        xs = [x for line in self.polylines(char) for x, _ in line]
        return (max(xs) if xs else 0.0) + self.letter_spacing

    def layout(self, text):
        """The text's polylines in units from the start of its baseline, and its length (the last glyph's
        right edge)."""
        out, x, right = [], 0.0, 0.0
        for char in text:
            for line in self.polylines(char):
                out.append([(x + px, py) for px, py in line])
                right = max([right] + [x + px for px, _ in line])
            x += self.advance(char)
        return out, right


def arc_points(a, b, bulge, step_degrees=10):
    """Points strictly between a and b along the arc of the bulge (tan of a quarter of its sweep,
    counter-clockwise when positive)."""
    sweep = 4 * math.atan(bulge)
    chord = math.dist(a, b)
    if chord == 0:
        return []
    radius = chord / (2 * math.sin(abs(sweep) / 2))
    mx, my = (a[0] + b[0]) / 2, (a[1] + b[1]) / 2
    # The centre lies off the chord's middle, to the left of a→b for a counter-clockwise arc under 180°.
    off = radius * math.cos(sweep / 2) * (1 if sweep > 0 else -1)
    ux, uy = (b[0] - a[0]) / chord, (b[1] - a[1]) / chord
    cx, cy = mx - uy * off, my + ux * off
    start = math.atan2(a[1] - cy, a[0] - cx)
    n = max(1, int(abs(math.degrees(sweep)) / step_degrees))
    return [(cx + radius * math.cos(start + sweep * k / n), cy + radius * math.sin(start + sweep * k / n))
            for k in range(1, n)]
