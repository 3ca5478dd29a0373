// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "vectorize/geometry/Geometry.h"

namespace kelvarin {

// A run of line cells across one line of the grid (a row or a column), first and last cell included.
struct CellRun {
    std::int32_t first;
    std::int32_t last;

    std::int32_t length() const { return last - first + 1; }
};

// The middles of a stack of runs, one per consecutive line, each touching only the one before and after:
// a stretch of a stroke whose centre line the middles trace. Chains from rows follow steep strokes, from
// columns shallow ones.
struct CentreChain {
    bool fromRows = true;
    std::int32_t firstLine = 0;
    std::vector<std::int32_t> doubledMiddles;  // first + last cell of the run in each line
    std::int64_t runLengthSum = 0;

    std::size_t size() const { return doubledMiddles.size(); }
    Point point(std::size_t index) const {
        const double across = doubledMiddles[index] / 2.0;
        const double along = firstLine + static_cast<double>(index);
        return fromRows ? Point{across, along} : Point{along, across};
    }
    double meanRunLength() const { return static_cast<double>(runLengthSum) / static_cast<double>(size()); }
};

// Follows the runs line after line and hands over each chain when it ends. A chain ends where its stroke
// branches, meets another, or its runs grow or shrink sharply (a junction); runs longer than maxRun
// belong to strokes running along the lines and start no chain.
class ChainTracker {
public:
    using Sink = std::function<void(const CentreChain&)>;
    ChainTracker(bool fromRows, std::int32_t maxRun, Sink sink);

    // The runs of the next line, ascending; lines come in ascending order, each once.
    void addLine(std::int32_t line, std::span<const CellRun> runs);
    // Hands over the chains still open.
    void finish();

private:
    struct Open {
        CellRun run;
        std::int32_t chain;  // index in m_chains, or -1
        std::int32_t below;  // runs of the next line touching this one
    };
    std::int32_t startChain(std::int32_t line, const CellRun& run);
    void endChain(std::int32_t chain);
    bool continues(const CentreChain& chain, const CellRun& run) const;

    bool m_fromRows;
    std::int32_t m_maxRun;
    Sink m_sink;
    std::vector<Open> m_previous;
    std::vector<Open> m_current;
    std::vector<std::int32_t> m_above;  // per current run: the touching previous run, -2 for several
    std::vector<CentreChain> m_chains;
    std::vector<std::int32_t> m_free;
    std::int32_t m_previousLine = -2;
};

}  // namespace kelvarin
