// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

#include "common/WorkerPool.h"
#include "vectorize/geometry/Pieces.h"
#include "vectorize/raster/InkProbe.h"

namespace kelvarin {

// The filled areas whose insides were cleared, which leaves their narrow ends (up to solidWidth dots
// across) full: the grid before (unhollowed) and after (hollowed); none when both are null.
struct HollowedAreas {
    const InkProbe* unhollowed = nullptr;
    const InkProbe* hollowed = nullptr;
    double solidWidth = 0;
};

// Joins the pieces of each straight stroke into one line: pieces that lie on one line within tolerance
// and overlap, or whose gap is ink (a crossing or a junction that cut the stroke), become one. A gap no
// longer than four of the stroke's widths and 8 dots counts as ink where the picture had ink before the
// hollowing: heavy strokes meeting at a narrow angle make a blot whose middle the hollowing clears. Each
// result is a LinePiece over all its points, its ends the outermost of its pieces.
std::vector<LinePiece> joinLines(const std::vector<LinePiece>& pieces, const InkProbe& ink, const HollowedAreas& filled,
                                 double tolerance, WorkerPool& pool, const Tick& tick);

// Runs each end out along its line to where the ink ends, then moves an end that reached another line
// onto it: a T's stem ends on the bar's centre line, the two lines of a corner at their intersection. An
// end on the outline of a filled area runs on through the area's full narrow end, so that the outline's
// edges reach a tip. An end that stopped short of another line it meets at 8-20 degrees, in the blot the
// two strokes make, runs on to the meeting point where the picture has ink all the way.
void finishLineEnds(std::vector<LinePiece>& lines, const InkProbe& ink, double tolerance, const HollowedAreas& filled,
                    WorkerPool& pool, const Tick& tick);

}  // namespace kelvarin
