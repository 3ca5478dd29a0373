#pragma once

#include <cstdint>

#include "bitmap/BitmapData.h"
#include "convert/LineSegmentList.h"

namespace kelvarin {

class Toolkit;
class VirtualVram;
struct PassState;

// Appends the maximal runs of non-zero cells along rows 0, thinning, 2 x thinning, ... in ascending row
// and start order. Sets CurrentStep; a numbered pass; PassNumber + 1 at the end.
void ExtractHorizontalLines(const BmpHeaderBytes& header, const VirtualVram& vram, std::int32_t thinning,
                            LineSegmentList& segments, PassState& pass, Toolkit& toolkit);

// The same along columns 0, thinning, 2 x thinning, ... in ascending column and start order.
void ExtractVerticalLines(const BmpHeaderBytes& header, const VirtualVram& vram, std::int32_t thinning,
                          LineSegmentList& segments, PassState& pass, Toolkit& toolkit);

}  // namespace kelvarin
