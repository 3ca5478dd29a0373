// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/LongRuns.h"

#include <algorithm>
#include <cstddef>
#include <utility>

#include "convert/RunScan.h"
#include "vectorize/raster/InkProbe.h"

namespace kelvarin {

namespace {

constexpr std::int32_t kStrokeReach = 3;    // cells a crossing stroke goes on past a line both ways at least
constexpr std::int32_t kJunctionReach = 4;  // cells between a crossing and a line the other way at least

unsigned char* rowOf(CleanedGrid& copy, std::int32_t y) {
    return copy.rows.data() + static_cast<std::size_t>(y) * copy.vram.wordsPerRow() * 8;
}

void setCells(CleanedGrid& copy, std::int32_t y, std::int32_t first, std::int32_t last) {
    unsigned char* row = rowOf(copy, y);
    for (std::int32_t x = first; x <= last; ++x) {
        row[x / 8] = static_cast<unsigned char>(row[x / 8] | (0x80u >> (x % 8)));
    }
}

// Whether the copy has ink for kStrokeReach cells from (x, y) on in the step (dx, dy): a stroke goes on
// there, not a line's ragged edge its long runs missed.
bool strokeGoesOn(const SetAsideCells& cleared, std::int32_t x, std::int32_t y, std::int32_t dx, std::int32_t dy) {
    for (std::int32_t k = 0; k < kStrokeReach; ++k) {
        if (!cleared.kept(x + k * dx, y + k * dy)) {
            return false;
        }
    }
    return true;
}

// The stretch of cleared cells from (x, y) on in the step (dx, dy), up to widest cells: its length, or 0 when
// longer or when no stroke goes on past it both ways.
std::int32_t crossingFrom(const SetAsideCells& cleared, std::int32_t x, std::int32_t y, std::int32_t dx,
                          std::int32_t dy, std::int32_t widest) {
    std::int32_t length = 1;
    while (length <= widest && cleared.at(x + length * dx, y + length * dy)) {
        ++length;
    }
    const bool crossed = length <= widest && strokeGoesOn(cleared, x + length * dx, y + length * dy, dx, dy) &&
                         strokeGoesOn(cleared, x - dx, y - dy, -dx, -dy);
    return crossed ? length : 0;
}

// The crossings of the lines cleared along the runs (across when across, else up), each from the cell of a
// run where it starts: the ink of the copy is just before it.
void findCrossings(const SetAsideCells& cleared, const std::vector<LineSegment>& runs, bool across, std::int32_t widest,
                   std::vector<LineSegment>& crossings) {
    for (const LineSegment& run : runs) {
        for (std::int32_t k = 0; k < (across ? run.SpanX : run.SpanY); ++k) {
            const std::int32_t x = across ? run.StartX + k : run.StartX;
            const std::int32_t y = across ? run.StartY : run.StartY + k;
            // A line across is crossed up, a line up across.
            const std::int32_t dx = across ? 0 : 1, dy = across ? 1 : 0;
            if (!cleared.kept(x - dx, y - dy)) {
                continue;
            }
            const std::int32_t length = crossingFrom(cleared, x, y, dx, dy, widest);
            if (length > 0) {
                crossings.push_back(across ? LineSegment{x, y, 1, length} : LineSegment{x, y, length, 1});
            }
        }
    }
}

// The long runs cleared in one direction, looked up by the rows (across) or columns (up) they lie in.
class ClearedRuns {
public:
    ClearedRuns(std::vector<LineSegment> runs, bool across) : m_runs(std::move(runs)), m_across(across) {
        std::sort(m_runs.begin(), m_runs.end(),
                  [&](const LineSegment& a, const LineSegment& b) { return line(a) < line(b); });
    }

    // Whether a run has a cell in the box of cells (x0, y0) .. (x1, y1).
    bool anyIn(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1) const {
        const std::int32_t from = m_across ? y0 : x0, to = m_across ? y1 : x1;
        const std::int32_t low = m_across ? x0 : y0, high = m_across ? x1 : y1;
        auto it = std::lower_bound(m_runs.begin(), m_runs.end(), from,
                                   [&](const LineSegment& run, std::int32_t at) { return line(run) < at; });
        for (; it != m_runs.end() && line(*it) <= to; ++it) {
            const std::int32_t start = m_across ? it->StartX : it->StartY;
            const std::int32_t end = start + (m_across ? it->SpanX : it->SpanY) - 1;
            if (start <= high && end >= low) {
                return true;
            }
        }
        return false;
    }

private:
    std::int32_t line(const LineSegment& run) const { return m_across ? run.StartY : run.StartX; }

    std::vector<LineSegment> m_runs;
    bool m_across;
};

// The crossings away from the lines cleared the other way: where a line across meets one up, the stroke
// crossing both there is a tick or a junction's mark, not a letter.
std::vector<LineSegment> awayFromJunctions(const std::vector<LineSegment>& crossings, const ClearedRuns& others) {
    std::vector<LineSegment> kept;
    for (const LineSegment& c : crossings) {
        if (!others.anyIn(c.StartX - kJunctionReach, c.StartY - kJunctionReach, c.StartX + c.SpanX - 1 + kJunctionReach,
                          c.StartY + c.SpanY - 1 + kJunctionReach)) {
            kept.push_back(c);
        }
    }
    return kept;
}

}  // namespace

void clearCells(CleanedGrid& copy, std::int32_t y, std::int32_t first, std::int32_t last) {
    unsigned char* row = rowOf(copy, y);
    for (std::int32_t x = first; x <= last; ++x) {
        row[x / 8] = static_cast<unsigned char>(row[x / 8] & ~(0x80u >> (x % 8)));
    }
}

bool SetAsideCells::at(std::int32_t x, std::int32_t y) const {
    return x >= 0 && y >= 0 && x < m_grid.width() && y < m_grid.height() && m_grid.at(x, y) != 0 &&
           m_copy.at(x, y) == 0;
}

bool SetAsideCells::at(Point p) const { return InkProbe(m_grid).at(p) && !InkProbe(m_copy).at(p); }

bool SetAsideCells::kept(std::int32_t x, std::int32_t y) const {
    return x >= 0 && y >= 0 && x < m_grid.width() && y < m_grid.height() && m_copy.at(x, y) != 0;
}

std::vector<LineSegment> stripLongRuns(const VirtualVram& grid, std::int32_t longest, std::int32_t widest,
                                       CleanedGrid& copy, Toolkit& toolkit) {
    std::vector<LineSegment> across, up, runs;
    for (std::int32_t y = 0; y < grid.height(); ++y) {
        toolkit.doEvents(grid.wordsPerRow());
        runs.clear();
        findRowRuns(grid, y, runs);
        for (const LineSegment& run : runs) {
            if (run.SpanX > longest) {
                clearCells(copy, y, run.StartX, run.StartX + run.SpanX - 1);
                across.push_back(run);
            }
        }
    }
    ColumnRunFinder finder;
    for (std::int32_t strip = 0; strip < grid.wordsPerRow(); ++strip) {
        toolkit.doEvents(grid.height());
        runs.clear();
        finder.find(grid, strip, ~std::uint64_t{0}, runs);
        for (const LineSegment& run : runs) {
            if (run.SpanY > longest) {
                for (std::int32_t y = run.StartY; y < run.StartY + run.SpanY; ++y) {
                    clearCells(copy, y, run.StartX, run.StartX);
                }
                up.push_back(run);
            }
        }
    }
    const SetAsideCells cleared(grid, copy.vram);
    std::vector<LineSegment> acrossCrossings, upCrossings;
    findCrossings(cleared, across, true, widest, acrossCrossings);
    findCrossings(cleared, up, false, widest, upCrossings);
    std::vector<LineSegment> givenBack = awayFromJunctions(acrossCrossings, ClearedRuns(std::move(up), false));
    const std::vector<LineSegment> upKept = awayFromJunctions(upCrossings, ClearedRuns(std::move(across), true));
    givenBack.insert(givenBack.end(), upKept.begin(), upKept.end());
    setRuns(copy, givenBack);
    return givenBack;
}

void clearRuns(CleanedGrid& copy, const std::vector<LineSegment>& runs) {
    for (const LineSegment& run : runs) {
        clearCells(copy, run.StartY, run.StartX, run.StartX + run.SpanX - 1);
    }
}

void setRuns(CleanedGrid& copy, const std::vector<LineSegment>& runs) {
    for (const LineSegment& run : runs) {
        for (std::int32_t y = run.StartY; y < run.StartY + run.SpanY; ++y) {
            setCells(copy, y, run.StartX, run.StartX + run.SpanX - 1);
        }
    }
}

}  // namespace kelvarin
