// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "vectorize/geometry/Pieces.h"
#include "vectorize/pipeline/Tolerances.h"
#include "vectorize/raster/InkProbe.h"

namespace kelvarin {

// Joins the pieces of a thin stroke the scan broke: a pen of a dot and a half lying between two rows
// comes out as a row of short dashes of ink and dust. LINEs that lie on one straight line, end to end a
// dots apart (sizes.widestBrokenGap at most), become one LINE where the gap between them is a dot or two, or holds
// scattered ink in the picture as scanned (scanned: before despeckling). The clean gaps of dashed and dotted lines keep
// them apart. A gap of ink all along, which another stroke touching the line took (a circle it is tangent to), is no
// gap either.
void joinBrokenStrokes(VectorDrawing& drawing, const InkProbe& scanned, const Tolerances& sizes, const Tick& tick);

}  // namespace kelvarin
