// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <vector>

#include "bitmap/BitmapData.h"
#include "convert/LineSegmentList.h"
#include "convert/SegmentSource.h"
#include "convert/VirtualVram.h"

namespace kelvarin {

class Toolkit;
struct PassState;

// Stacks the runs of consecutive rows into rectangles: a run continues the rectangle of the row before
// when that row has a run with exactly the same first and last column. Takes the rows in ascending order
// from 0 and keeps only the rectangles still open, one per run of the last row.
class StrokeFinder {
public:
    // Takes row y; appends the rectangles that ended in the row before, left to right.
    void addRow(const VirtualVram& vram, std::int32_t y, std::vector<LineSegment>& ended);
    // Appends the rectangles still open after the last row, left to right.
    void finish(std::vector<LineSegment>& ended);

private:
    std::vector<LineSegment> m_open;  // ascending StartX
    std::vector<LineSegment> m_runs;
    std::vector<LineSegment> m_next;
};

// Counts the rectangles of the grid's rows. Sets CurrentStep; a numbered pass; PassNumber + 1 at the end.
std::int64_t ExtractStrokes(const BmpHeaderBytes& header, const VirtualVram& vram, PassState& pass, Toolkit& toolkit);

// The rectangles of a grid as the segments of a conversion, in the order they end: by last row, then by
// first column. Keeps a copy of the grid's view and finds them again whenever they are handed over.
class GridStrokes : public SegmentSource {
public:
    GridStrokes(const VirtualVram& vram, std::int64_t count) : m_vram(vram), m_count(count) {}

    std::int64_t count() const override { return m_count; }
    void forEach(SegmentSink& sink) const override;

private:
    VirtualVram m_vram;
    std::int64_t m_count;
};

}  // namespace kelvarin
