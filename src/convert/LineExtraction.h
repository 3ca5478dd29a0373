// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "bitmap/BitmapData.h"
#include "convert/SegmentSource.h"
#include "convert/VirtualVram.h"

namespace kelvarin {

class Toolkit;
struct PassState;

// Counts the maximal runs of line cells along rows 0, thinning, 2 x thinning, ... Sets CurrentStep; a
// numbered pass; PassNumber + 1 at the end.
std::int64_t ExtractHorizontalLines(const BmpHeaderBytes& header, const VirtualVram& vram, std::int32_t thinning,
                                    PassState& pass, Toolkit& toolkit);

// The same along columns 0, thinning, 2 x thinning, ...
std::int64_t ExtractVerticalLines(const BmpHeaderBytes& header, const VirtualVram& vram, std::int32_t thinning,
                                  PassState& pass, Toolkit& toolkit);

// The runs of a grid as the segments of a conversion: the horizontal runs in ascending row and start
// order, then the vertical runs in ascending column and start order. Keeps a copy of the grid's view (its
// inversion included), and finds the runs again whenever they are handed over.
class GridRuns : public SegmentSource {
public:
    GridRuns(const VirtualVram& vram, std::int32_t thinning, std::int64_t horizontalCount, std::int64_t verticalCount);

    std::int64_t count() const override { return m_horizontalCount + m_verticalCount; }
    void forEach(SegmentSink& sink) const override;

private:
    VirtualVram m_vram;
    std::int32_t m_thinning;
    std::int64_t m_horizontalCount;
    std::int64_t m_verticalCount;
};

}  // namespace kelvarin
