// SPDX-License-Identifier: GPL-3.0-or-later
#include "convert/LineCells.h"

#include <algorithm>
#include <vector>

#include "convert/LineSegmentList.h"
#include "convert/RunScan.h"
#include "convert/Strokes.h"

namespace kelvarin {

// Draws each stroke's LINE into the planes as it is found. The strokes come in the order they end, so a
// vertical stroke that ends right below another is drawn first.
class StrokeDrawing : public SegmentSink {
public:
    explicit StrokeDrawing(LineCells::StrokePlanes& planes)
        : m_horizontal(planes.horizontal), m_vertical(planes.vertical), m_starts(planes.starts) {}

    void take(std::span<const LineSegment> segments) override {
        for (const LineSegment& segment : segments) {
            if (segment.SpanX >= segment.SpanY) {
                m_horizontal.setRange(segment.StartY + (segment.SpanY - 1) / 2, segment.StartX,
                                      segment.StartX + segment.SpanX - 1);
            } else {
                const std::int32_t x = segment.StartX + (segment.SpanX - 1) / 2;
                if (segment.StartY > 0 && m_vertical.at(x, segment.StartY - 1)) {
                    m_starts.push_back(LineCells::key(x, segment.StartY));
                }
                for (std::int32_t y = segment.StartY; y < segment.StartY + segment.SpanY; ++y) {
                    m_vertical.setRange(y, x, x);
                }
            }
        }
        count += static_cast<std::int64_t>(segments.size());
    }

    std::int64_t count = 0;

private:
    BitPlane& m_horizontal;
    BitPlane& m_vertical;
    std::vector<std::uint64_t>& m_starts;
};

LineCells LineCells::ofRuns(const VirtualVram& grid, bool horizontal, bool vertical, std::int32_t thinning) {
    LineCells cells;
    cells.m_grid = &grid;
    cells.m_horizontal = horizontal;
    cells.m_vertical = vertical;
    cells.m_thinning = thinning;
    cells.m_columns.assign(static_cast<std::size_t>(grid.wordsPerRow()), 0);
    for (std::int32_t strip = 0; vertical && strip < grid.wordsPerRow(); ++strip) {
        cells.m_columns[static_cast<std::size_t>(strip)] = scannedColumns(grid, strip, thinning);
    }
    return cells;
}

std::int64_t LineCells::lineCount() const {
    if (m_strokes) {
        return m_strokeCount;
    }
    std::int64_t count = 0;
    for (std::int64_t y = 0; m_horizontal && y < m_grid->height(); y += m_thinning) {
        count += countRowRuns(*m_grid, static_cast<std::int32_t>(y));
    }
    for (std::int32_t strip = 0; m_vertical && strip < m_grid->wordsPerRow(); ++strip) {
        const std::uint64_t columns = m_columns[static_cast<std::size_t>(strip)];
        count += columns == 0 ? 0 : countColumnRuns(*m_grid, strip, columns);
    }
    return count;
}

LineCells LineCells::ofStrokes(const VirtualVram& grid) {
    LineCells cells;
    cells.m_grid = &grid;
    StrokePlanes& planes = cells.m_strokes.emplace(
        StrokePlanes{BitPlane(grid.width(), grid.height()), BitPlane(grid.width(), grid.height()), {}});
    StrokeDrawing drawing(planes);
    GridStrokes(grid, 0).forEach(drawing);
    std::sort(planes.starts.begin(), planes.starts.end());
    cells.m_strokeCount = drawing.count;
    return cells;
}

void LineCells::readRow(std::int32_t y, std::int32_t firstWord, std::span<std::uint64_t> words) const {
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::int32_t index = firstWord + static_cast<std::int32_t>(i);
        words[i] = horizontalWord(y, index) | verticalWord(y, index);
    }
}

}  // namespace kelvarin
