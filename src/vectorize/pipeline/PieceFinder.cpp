// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/pipeline/PieceFinder.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "common/PassState.h"
#include "common/ProgressDisplay.h"
#include "common/Toolkit.h"
#include "convert/LineSegmentList.h"
#include "convert/RunScan.h"
#include "vectorize/centrelines/ChainFitting.h"

namespace kelvarin {

namespace {}  // namespace

void PieceFinder::rows(std::string_view caption, PassState& pass, Toolkit& toolkit) {
    ChainTracker tracker(true, m_maxRun, [this](const CentreChain& chain) { m_ended.push_back(chain); });
    const std::int32_t height = m_grid.height();
    ProgressDisplay progress = ProgressDisplay::forStep(toolkit, caption, height - 1);
    const std::int32_t rowsPerBand = linesPerBand(m_grid.width());
    std::vector<std::vector<CellRun>> cells(static_cast<std::size_t>(rowsPerBand));
    std::vector<std::vector<LineSegment>> runs(static_cast<std::size_t>(m_pool.threads()));
    for (std::int32_t top = 0; top < height; top += rowsPerBand) {
        const std::int32_t rowCount = std::min(rowsPerBand, height - top);
        m_pool.run(static_cast<std::size_t>(rowCount), [&](std::size_t row, std::int32_t worker) {
            std::vector<LineSegment>& found = runs[static_cast<std::size_t>(worker)];
            found.clear();
            findRowRuns(m_grid, top + static_cast<std::int32_t>(row), found);
            cells[row].clear();
            for (const LineSegment& run : found) {
                cells[row].push_back({run.StartX, run.StartX + run.SpanX - 1});
            }
        });
        fitEndedAlongside([&] {
            for (std::int32_t y = top; y < top + rowCount; ++y) {
                const std::vector<CellRun>& line = cells[static_cast<std::size_t>(y - top)];
                tracker.addLine(y, line);
                toolkit.doEvents(m_grid.wordsPerRow() + static_cast<std::int64_t>(line.size()));
                progress.update(y, passFraction(y, height - 1));
            }
        });
    }
    tracker.finish();
    fitEnded();
    progress.finish();
    ++pass.PassNumber;
}

void PieceFinder::columns(std::string_view caption, PassState& pass, Toolkit& toolkit) {
    ChainTracker tracker(false, m_maxRun, [this](const CentreChain& chain) { m_ended.push_back(chain); });
    const std::int32_t width = m_grid.width();
    ProgressDisplay progress = ProgressDisplay::forStep(toolkit, caption, width - 1);
    std::vector<ColumnRunFinder> finders(static_cast<std::size_t>(m_pool.threads()));
    const std::int32_t stripsPerBand = linesPerBand(std::int64_t{64} * m_grid.height());
    std::vector<std::vector<LineSegment>> runs(static_cast<std::size_t>(stripsPerBand));
    std::vector<CellRun> cells;
    for (std::int32_t first = 0; first < m_grid.wordsPerRow(); first += stripsPerBand) {
        const std::int32_t stripCount = std::min(stripsPerBand, m_grid.wordsPerRow() - first);
        m_pool.run(static_cast<std::size_t>(stripCount), [&](std::size_t strip, std::int32_t worker) {
            runs[strip].clear();
            finders[static_cast<std::size_t>(worker)].find(m_grid, first + static_cast<std::int32_t>(strip),
                                                           ~std::uint64_t{0}, runs[strip]);
        });
        fitEndedAlongside([&] {
            for (std::int32_t strip = first; strip < first + stripCount; ++strip) {
                const std::vector<LineSegment>& stripRuns = runs[static_cast<std::size_t>(strip - first)];
                const std::int32_t firstColumn = strip * 64;
                const std::int32_t lastColumn = std::min(firstColumn + 63, width - 1);
                std::size_t next = 0;
                for (std::int32_t x = firstColumn; x <= lastColumn; ++x) {
                    cells.clear();
                    for (; next < stripRuns.size() && stripRuns[next].StartX == x; ++next) {
                        cells.push_back({stripRuns[next].StartY, stripRuns[next].StartY + stripRuns[next].SpanY - 1});
                    }
                    tracker.addLine(x, cells);
                }
                toolkit.doEvents(m_grid.height() + static_cast<std::int64_t>(stripRuns.size()));
                progress.update(lastColumn, passFraction(lastColumn, width - 1));
            }
        });
    }
    tracker.finish();
    fitEnded();
    progress.finish();
    ++pass.PassNumber;
}

void PieceFinder::fitEnded() {
    fitEndedAlongside([] {});
}

void PieceFinder::fitEndedAlongside(const std::function<void()>& track) {
    // The chains that track ends meanwhile gather afresh, for the next batch.
    const std::vector<CentreChain> fitting = std::exchange(m_ended, {});
    std::vector<Pieces> fitted(fitting.size());
    m_pool.runAlongside(
        fitting.size(), [&](std::size_t i, std::int32_t) { fitChain(fitting[i], m_tolerance, fitted[i]); }, track);
    for (Pieces& some : fitted) {
        m_pieces.lines.insert(m_pieces.lines.end(), some.lines.begin(), some.lines.end());
        std::move(some.arcs.begin(), some.arcs.end(), std::back_inserter(m_pieces.arcs));
    }
}

}  // namespace kelvarin
