// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <vector>

#include "common/Toolkit.h"
#include "convert/Despeckle.h"
#include "convert/LineSegmentList.h"
#include "convert/VirtualVram.h"
#include "vectorize/geometry/Geometry.h"

namespace kelvarin {

// The lengths, in dots, that tell a long straight line at another angle than across and up.
struct AskewLineSizes {
    std::int32_t leastBare = 0;    // a stretch of it touching nothing, at least
    std::int32_t leastLength = 0;  // the whole line, at least: longer than any stroke of a glyph
    std::int32_t widest = 0;       // its width, at most
};

// A line set aside: the points centre + direction * t, t from first to last, and the band of halfBand dots
// either side of them that holds its ink.
struct AskewLine {
    Point centre;
    Point direction;  // unit
    double halfBand = 0;
    double first = 0;
    double last = 0;
    bool setAside = false;  // cleared from the copy: text runs along it, touching it

    Point at(double t) const { return {centre.x + direction.x * t, centre.y + direction.y * t}; }
    Point normal() const { return {-direction.y, direction.x}; }
    // Its direction, in degrees from 0 up to 180.
    double degrees() const;
    // Whether a row run of cells touches or crosses its band.
    bool touches(const LineSegment& run) const;
};

// The long lines at other angles found, those set aside among them, and the cells of those that stayed where
// strokes cross them, one row's stretch each.
struct AskewStrip {
    std::vector<AskewLine> lines;
    std::vector<LineSegment> crossed;
};

// Clears from the copy (the page's ink without its long runs across and up) the long straight lines at
// other angles: a label's guide line, a leader, a slanted edge of a part, which text sits on, hangs from or
// is struck through by, and which would otherwise hold its glyphs in one group too large for text. The
// line's cells where a stroke crosses it (ink going on past both its sides) stay, so that a letter struck
// through is not cut in two; where two such lines meet, the crossing goes with them. grid is the page's
// ink, along which a line is followed past the runs already cleared.
AskewStrip stripAskewLines(const VirtualVram& grid, const AskewLineSizes& sizes, CleanedGrid& copy, Toolkit& toolkit);

}  // namespace kelvarin
