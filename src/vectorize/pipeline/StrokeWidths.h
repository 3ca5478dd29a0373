// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "convert/VirtualVram.h"
#include "vectorize/pipeline/Tolerances.h"

namespace kelvarin {

class Toolkit;

// Lengths in dots read from the runs of a sample of the page's rows and columns, before the centre lines.
struct StrokeWidths {
    std::int32_t thick = 0;   // 90 % of the runs are no longer: about the thickest strokes' width
    std::int32_t thin = 0;    // 25 % of the runs are no longer: about the thin strokes' width
    std::int32_t widest = 0;  // the widest ink that is a stroke; wider ink is an area drawn by its outline
    std::int32_t rim = 0;     // the rim, in cells, that such areas are hollowed to
};

// The widths of grid's strokes; dotsPerMm (0 when unknown) caps the widest stroke at a pen's widest.
StrokeWidths measureStrokeWidths(const VirtualVram& grid, double dotsPerMm, const Tolerances& tolerances,
                                 Toolkit& toolkit);

// The thin strokes' width in dots, to a fraction of a dot: the mean length of the runs across them (those
// within a dot of the length below which a quarter of the runs across strokes lie; dust and blobs are no
// strokes). 0 when too few runs tell it.
double thinPenDots(const VirtualVram& grid, Toolkit& toolkit);

// The size of the dust the vector mode drops by itself: groups of line cells smaller than a square of the
// drawing's typical stroke width, and never fewer than smallest cells.
std::int64_t automaticSpeckleSize(const VirtualVram& grid, std::int64_t smallest, Toolkit& toolkit);

}  // namespace kelvarin
