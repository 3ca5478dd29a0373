// SPDX-License-Identifier: GPL-3.0-or-later
#include "convert/Strokes.h"

#include "common/PassState.h"
#include "common/ProgressDisplay.h"
#include "common/Toolkit.h"
#include "convert/RunScan.h"

namespace kelvarin {

namespace {

// Rectangles are handed over in batches of about this many.
constexpr std::size_t kBatch = 4096;

}  // namespace

void StrokeFinder::addRow(const VirtualVram& vram, std::int32_t y, std::vector<LineSegment>& ended) {
    m_runs.clear();
    findRowRuns(vram, y, m_runs);
    m_next.clear();
    std::size_t open = 0;
    std::size_t run = 0;
    // Both lists ascend by first column: a merge pairs the runs that start in the same column.
    while (open < m_open.size() || run < m_runs.size()) {
        if (run == m_runs.size() || (open < m_open.size() && m_open[open].StartX < m_runs[run].StartX)) {
            ended.push_back(m_open[open++]);
        } else if (open == m_open.size() || m_runs[run].StartX < m_open[open].StartX) {
            m_next.push_back(m_runs[run++]);
        } else if (m_open[open].SpanX == m_runs[run].SpanX) {
            LineSegment grown = m_open[open++];
            ++grown.SpanY;
            m_next.push_back(grown);
            ++run;
        } else {
            ended.push_back(m_open[open++]);
            m_next.push_back(m_runs[run++]);
        }
    }
    m_open.swap(m_next);
}

void StrokeFinder::finish(std::vector<LineSegment>& ended) {
    ended.insert(ended.end(), m_open.begin(), m_open.end());
    m_open.clear();
}

std::int64_t ExtractStrokes(const BmpHeaderBytes& header, const VirtualVram& vram, PassState& pass, Toolkit& toolkit) {
    pass.CurrentStep = "ストロークを取得する";
    const auto [width, height] = gridSizeOf(header, vram);
    ProgressDisplay progress = ProgressDisplay::forPass(toolkit, pass.PassNumber, height - 1);
    StrokeFinder finder;
    std::vector<LineSegment> ended;
    std::int64_t count = 0;
    for (std::int32_t y = 0; y < height; ++y) {
        finder.addRow(vram, y, ended);
        count += static_cast<std::int64_t>(ended.size());
        ended.clear();
        toolkit.doEvents(vram.wordsPerRow());
        progress.update(y, passFraction(y, height - 1));
    }
    finder.finish(ended);
    count += static_cast<std::int64_t>(ended.size());
    progress.finish();
    ++pass.PassNumber;
    return count;
}

void GridStrokes::forEach(SegmentSink& sink) const {
    StrokeFinder finder;
    std::vector<LineSegment> ended;
    ended.reserve(kBatch + 64);
    for (std::int32_t y = 0; y < m_vram.height(); ++y) {
        finder.addRow(m_vram, y, ended);
        if (ended.size() >= kBatch) {
            sink.take(ended);
            ended.clear();
        }
    }
    finder.finish(ended);
    if (!ended.empty()) {
        sink.take(ended);
    }
}

}  // namespace kelvarin
