// SPDX-License-Identifier: GPL-3.0-or-later
#include "convert/LineExtraction.h"

#include <vector>

#include "common/PassState.h"
#include "common/ProgressDisplay.h"
#include "common/Toolkit.h"
#include "convert/RunScan.h"

namespace kelvarin {

namespace {

std::int32_t stripCount(const VirtualVram& vram) { return vram.wordsPerRow(); }

// Runs are handed over in batches of about this many.
constexpr std::size_t kBatch = 4096;

}  // namespace

std::int64_t ExtractHorizontalLines(const BmpHeaderBytes& header, const VirtualVram& vram, std::int32_t thinning,
                                    PassState& pass, Toolkit& toolkit) {
    pass.CurrentStep = "横のラインを取得する";
    const auto [width, height] = gridSizeOf(header, vram);
    ProgressDisplay progress = ProgressDisplay::forPass(toolkit, pass.PassNumber, height - 1);
    std::int64_t count = 0;
    for (std::int64_t y = 0; y < height; y += thinning) {
        const auto row = static_cast<std::int32_t>(y);
        count += countRowRuns(vram, row);
        toolkit.doEvents(vram.wordsPerRow());
        progress.update(row, passFraction(row, height - 1));
    }
    progress.finish();
    ++pass.PassNumber;
    return count;
}

std::int64_t ExtractVerticalLines(const BmpHeaderBytes& header, const VirtualVram& vram, std::int32_t thinning,
                                  PassState& pass, Toolkit& toolkit) {
    pass.CurrentStep = "縦のラインを取得する";
    const auto [width, height] = gridSizeOf(header, vram);
    ProgressDisplay progress = ProgressDisplay::forPass(toolkit, pass.PassNumber, width - 1);
    std::int64_t count = 0;
    for (std::int32_t strip = 0; strip < stripCount(vram); ++strip) {
        const std::uint64_t columns = scannedColumns(vram, strip, thinning);
        if (columns != 0) {
            count += countColumnRuns(vram, strip, columns);
            toolkit.doEvents(height);
        }
        const std::int64_t last = std::min<std::int64_t>(std::int64_t{strip} * 64 + 63, width - 1);
        progress.update(static_cast<double>(last), passFraction(last, width - 1));
    }
    progress.finish();
    ++pass.PassNumber;
    return count;
}

GridRuns::GridRuns(const VirtualVram& vram, std::int32_t thinning, std::int64_t horizontalCount,
                   std::int64_t verticalCount)
    : m_vram(vram), m_thinning(thinning), m_horizontalCount(horizontalCount), m_verticalCount(verticalCount) {}

void GridRuns::forEach(SegmentSink& sink) const {
    std::vector<LineSegment> runs;
    runs.reserve(kBatch + 64);
    const auto handOver = [&](bool whenFull) {
        if (!runs.empty() && (!whenFull || runs.size() >= kBatch)) {
            sink.take(runs);
            runs.clear();
        }
    };
    if (m_horizontalCount > 0) {
        for (std::int64_t y = 0; y < m_vram.height(); y += m_thinning) {
            findRowRuns(m_vram, static_cast<std::int32_t>(y), runs);
            handOver(true);
        }
    }
    if (m_verticalCount > 0) {
        ColumnRunFinder finder;
        for (std::int32_t strip = 0; strip < stripCount(m_vram); ++strip) {
            const std::uint64_t columns = scannedColumns(m_vram, strip, m_thinning);
            if (columns != 0) {
                finder.find(m_vram, strip, columns, runs);
                handOver(true);
            }
        }
    }
    handOver(false);
}

}  // namespace kelvarin
