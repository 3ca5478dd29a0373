// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "common/WorkerPool.h"
#include "convert/VirtualVram.h"
#include "vectorize/centrelines/CentreChains.h"
#include "vectorize/geometry/Pieces.h"

namespace kelvarin {

class Toolkit;
struct PassState;

// Feeds the rows, or the columns, to a chain tracker whose chains are fitted as they end, adding their
// pieces to the pieces given. The workers find the runs of a band of lines, and fit the chains that ended in
// it while the tracker follows the next band's lines in order, and the pieces come in the order their chains ended, so
// they are the same for any number of threads. Each of rows and columns is a numbered pass shown under caption.
class PieceFinder {
public:
    PieceFinder(const VirtualVram& grid, std::int32_t maxRun, double tolerance, WorkerPool& pool, Pieces& pieces)
        : m_grid(grid), m_maxRun(maxRun), m_tolerance(tolerance), m_pool(pool), m_pieces(pieces) {}

    void rows(std::string_view caption, PassState& pass, Toolkit& toolkit);
    void columns(std::string_view caption, PassState& pass, Toolkit& toolkit);

private:
    // Fits the chains ended so far, each apart, and adds their pieces in the order the chains ended.
    void fitEnded();
    // The same on the workers while track follows the next band's lines on this thread.
    void fitEndedAlongside(const std::function<void()>& track);

    const VirtualVram& m_grid;
    std::int32_t m_maxRun;
    double m_tolerance;
    WorkerPool& m_pool;
    std::vector<CentreChain> m_ended;  // chains ended and not yet fitted
    Pieces& m_pieces;
};

}  // namespace kelvarin
