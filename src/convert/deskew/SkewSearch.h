// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "common/WorkReport.h"
#include "convert/VirtualVram.h"

namespace kelvarin {

// The largest turn of a page that is looked for, either way, in degrees.
constexpr double kLargestSkewDegrees = 5;

// How far the drawing on a page is turned.
struct SkewEstimate {
    double degrees = 0;      // counter-clockwise, the grid's y running up (its first row at the bottom)
    std::int32_t lines = 0;  // the long lines the angle was fitted to; 0 when there were none (degrees 0)
    bool unsure = false;     // the lines were too few or disagreed: degrees left at 0
};

// Finds the turn of the long horizontal and vertical strokes among the line cells of grid, up to
// kLargestSkewDegrees either way. The centres of the runs across the strokes are gathered from sampled
// rows and columns; a search over the angles finds the one that stacks the most centres onto common lines,
// and each long line found there is fitted by least squares. The result is the fitted lines' agreed angle,
// weighted by how sure each fit is; a line that disagrees with the others (one drawn at a slant) is left
// out. No angle, unsure, when the best angle does not crowd the centres far more than a typical one or
// another angle crowds them nearly as much (a map or a road plan: long lines at many angles, few along the
// axes). Reads the grid's words a row at a time and never holds a copy of the picture.
SkewEstimate findSkew(const VirtualVram& grid, WorkReport& report);

}  // namespace kelvarin
