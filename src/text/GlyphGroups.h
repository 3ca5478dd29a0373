// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "convert/Despeckle.h"
#include "convert/LineSegmentList.h"
#include "convert/VirtualVram.h"
#include "text/AskewLines.h"

namespace kelvarin {

class Toolkit;
class WorkerPool;

// A group of touching line cells small enough to be a glyph or a piece of one (a dot, an accent, a stroke
// of a kanji). Boxes are inclusive cells of the grid.
struct Glyph {
    std::int32_t left = 0;
    std::int32_t bottom = 0;
    std::int32_t right = 0;
    std::int32_t top = 0;
    std::int64_t cells = 0;
    std::vector<LineSegment> runs;  // its row runs, one cell high each
    bool largeLetter = false;       // taken in for its height though a stroke of it is as long as a line
    // The long line at another angle that it touches, set aside, or stands beside, if any: its number and
    // direction (0° to 180°), and whether it touched it.
    std::int32_t guide = -1;
    double guideDegrees = NAN;
    bool touchesGuide = false;

    std::int32_t width() const { return right - left + 1; }
    std::int32_t height() const { return top - bottom + 1; }
    double centreX() const { return (left + right) / 2.0; }
    double centreY() const { return (bottom + top) / 2.0; }
};

// The sizes text may have on a page, in dots.
struct GlyphSizes {
    std::int32_t largest = 0;     // the largest glyph's longer side; runs longer than this are geometry
    std::int32_t smallest = 0;    // the shortest longer side a glyph standing alone has
    std::int32_t longestBar = 0;  // a thin straight stroke longer than this is a line of the drawing
    std::int64_t leastCells = 3;
    std::int32_t widestLine = 0;  // the widest line of the drawing a glyph may touch

    // The least height a line of text has, in dots.
    double leastTextHeight() const { return 0.8 * smallest; }

    // From the scan's resolution (dots a millimetre; 0 when unknown: 300 dpi is taken).
    static GlyphSizes forResolution(double dotsPerMm);
};

// The page's ink without its long straight runs across and up (the lines of frames, tables and dimensions
// that text may touch) but where strokes cross them, and the glyph-sized groups of what is left.
struct GlyphPage {
    CleanedGrid stripped;
    std::vector<LineSegment> givenBack;  // the cells of the long runs given back to the strokes crossing them
    std::vector<Glyph> glyphs;
    std::vector<AskewLine> askewLines;  // the long lines at other angles set aside
};

// Finds the glyphs of grid (line cells set). Groups too large for a glyph are geometry; so is a round
// ring around other glyphs (a balloon's circle), which keeps the glyphs inside it apart from it.
void findGlyphs(const VirtualVram& grid, const GlyphSizes& sizes, GlyphPage& page, WorkerPool& pool, Toolkit& toolkit);

// Whether the glyph is a round ring: a square box whose runs' ends all lie near one circle.
bool isRing(const Glyph& glyph);

// Whether the glyph is a straight stroke: a piece of a line between crossings, or 1, l, I, - and /.
bool isStraightBar(const Glyph& glyph);

// The direction its cells spread most in, in degrees from 0 to 180.
double principalDegrees(const Glyph& glyph);

// Whether the glyph is one open stroke that does not turn back on itself: a piece of a line or an arc
// between crossings, or 1, l, /, ( and ). Its cells, as long as the stroke is wide, reach little further
// than from corner to corner of its box.
bool isOpenStroke(const Glyph& glyph);

}  // namespace kelvarin
