#pragma once

#include <cstdint>
#include <deque>

#include "bitmap/BitmapData.h"

namespace kelvarin {

class Toolkit;
class VirtualVram;
struct PassState;

// One run of line pixels, in grid cells: it covers x = StartX .. StartX + SpanX - 1 and
// y = StartY .. StartY + SpanY - 1. A horizontal run has SpanY 1, a vertical run SpanX 1.
struct LineSegment {
    std::int32_t StartX;
    std::int32_t StartY;
    std::int32_t SpanX;
    std::int32_t SpanY;

    friend bool operator==(const LineSegment&, const LineSegment&) = default;
};

// The runs of one conversion in the order found. Grown in chunks: no reallocation copies a million
// segments, and little memory stands unused.
using LineSegmentList = std::deque<LineSegment>;

// Appends the maximal runs of non-zero cells along rows 0, thinning, 2 x thinning, ... in ascending row
// and start order. Sets CurrentStep; a numbered pass; PassNumber + 1 at the end.
void ExtractHorizontalLines(const BmpHeaderBytes& header, const VirtualVram& vram, std::int32_t thinning,
                            LineSegmentList& segments, PassState& pass, Toolkit& toolkit);

// The same along columns 0, thinning, 2 x thinning, ... in ascending column and start order.
void ExtractVerticalLines(const BmpHeaderBytes& header, const VirtualVram& vram, std::int32_t thinning,
                          LineSegmentList& segments, PassState& pass, Toolkit& toolkit);

}  // namespace kelvarin
