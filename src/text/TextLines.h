// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cmath>
#include <cstddef>
#include <vector>

#include "text/GlyphGroups.h"
#include "vectorize/geometry/Geometry.h"

namespace kelvarin {

// A line of glyphs and the directions its baseline may run in, most likely first (degrees counter-clockwise
// from the x axis): the reading tells which one is upright.
struct GlyphLine {
    std::vector<std::size_t> glyphs;  // indices into the page's glyphs
    std::vector<double> directions;
};

// Groups glyphs into lines: across (0° or 180°), up (90° or 270°), else at the angle fitted to their
// centres. Neighbours along a line lie less than about a glyph apart and overlap across it; pieces of one
// glyph join it. A glyph alone is a line only when it is at least sizes.smallest long.
std::vector<GlyphLine> groupIntoLines(const std::vector<Glyph>& glyphs, const GlyphSizes& sizes);

// The box around the line's glyphs (its runs left empty).
Glyph boxOf(const std::vector<Glyph>& glyphs, const GlyphLine& line);

// The lines' indices, those likely to take longest to read first, so that workers sharing them out finish
// together: a long line read in two directions can take as long as a hundred glyphs alone.
std::vector<std::size_t> longestFirst(const std::vector<Glyph>& glyphs, const std::vector<GlyphLine>& lines);

// Where a line's text sits when its baseline runs in direction degrees: the extents of its glyphs along
// the baseline and across it, in dots.
struct LineFrame {
    double degrees = 0;
    double alongStart = 0;  // of the first glyph's ink
    double alongEnd = 0;
    double baseline = 0;  // across: the median bottom of the full-height glyphs
    double capLine = 0;   // across: baseline plus the cap height
    double lowest = 0;    // across: the lowest ink (descenders)
    double highest = 0;

    double height() const { return capLine - baseline; }
    // A position given along and across the baseline, in dots of the page.
    Point at(double along, double across) const;
};

LineFrame frameOf(const std::vector<Glyph>& glyphs, const GlyphLine& line, double degrees);

// How far a glyph's ink reaches along a baseline running in direction degrees and across it, in dots (the
// corners of its cells).
struct InkExtent {
    double alongLow = INFINITY;
    double alongHigh = -INFINITY;
    double acrossLow = INFINITY;
    double acrossHigh = -INFINITY;
};
InkExtent inkExtent(const Glyph& glyph, double degrees);

}  // namespace kelvarin
