// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/centrelines/CentreChains.h"

#include <utility>

namespace kelvarin {

ChainTracker::ChainTracker(bool fromRows, std::int32_t maxRun, Sink sink)
    : m_fromRows(fromRows), m_maxRun(maxRun), m_sink(std::move(sink)) {}

std::int32_t ChainTracker::startChain(std::int32_t line, const CellRun& run) {
    if (run.length() > m_maxRun) {
        return -1;
    }
    std::int32_t index;
    if (m_free.empty()) {
        index = static_cast<std::int32_t>(m_chains.size());
        m_chains.emplace_back();
    } else {
        index = m_free.back();
        m_free.pop_back();
    }
    CentreChain& chain = m_chains[static_cast<std::size_t>(index)];
    chain.fromRows = m_fromRows;
    chain.firstLine = line;
    chain.doubledMiddles.assign(1, run.first + run.last);
    chain.runLengthSum = run.length();
    return index;
}

void ChainTracker::endChain(std::int32_t index) {
    CentreChain& chain = m_chains[static_cast<std::size_t>(index)];
    m_sink(chain);
    chain.doubledMiddles.clear();
    m_free.push_back(index);
}

// A run much wider or narrower than the chain's runs so far is a junction or the end of one. A chain of
// kLongestChain lines ends too, so that a stroke along a page of millions of lines is handed over in pieces
// (which the assembly joins) rather than held whole, twice.
bool ChainTracker::continues(const CentreChain& chain, const CellRun& run) const {
    constexpr std::size_t kLongestChain = std::size_t{1} << 16;
    const double mean = chain.meanRunLength();
    const double length = run.length();
    return chain.size() < kLongestChain && run.length() <= m_maxRun && length <= mean * 1.5 + 2 &&
           mean <= length * 1.5 + 2;
}

void ChainTracker::addLine(std::int32_t line, std::span<const CellRun> runs) {
    if (line != m_previousLine + 1) {
        for (Open& open : m_previous) {
            if (open.chain >= 0) {
                endChain(open.chain);
            }
        }
        m_previous.clear();
    }
    m_previousLine = line;
    m_current.clear();
    m_above.assign(runs.size(), -1);
    for (const CellRun& run : runs) {
        m_current.push_back({run, -1, 0});
    }
    // Runs touch when they overlap or meet at a corner.
    std::size_t p = 0;
    for (std::size_t c = 0; c < runs.size(); ++c) {
        while (p < m_previous.size() && m_previous[p].run.last + 1 < runs[c].first) {
            ++p;
        }
        for (std::size_t q = p; q < m_previous.size() && m_previous[q].run.first <= runs[c].last + 1; ++q) {
            ++m_previous[q].below;
            m_above[c] = m_above[c] == -1 ? static_cast<std::int32_t>(q) : -2;
        }
    }
    for (std::size_t c = 0; c < runs.size(); ++c) {
        const std::int32_t above = m_above[c];
        if (above >= 0) {
            Open& previous = m_previous[static_cast<std::size_t>(above)];
            if (previous.below == 1 && previous.chain >= 0 &&
                continues(m_chains[static_cast<std::size_t>(previous.chain)], runs[c])) {
                CentreChain& chain = m_chains[static_cast<std::size_t>(previous.chain)];
                chain.doubledMiddles.push_back(runs[c].first + runs[c].last);
                chain.runLengthSum += runs[c].length();
                m_current[c].chain = previous.chain;
                previous.chain = -1;
                continue;
            }
        }
        m_current[c].chain = startChain(line, runs[c]);
    }
    for (Open& open : m_previous) {
        if (open.chain >= 0) {
            endChain(open.chain);
        }
    }
    std::swap(m_previous, m_current);
}

void ChainTracker::finish() {
    for (Open& open : m_previous) {
        if (open.chain >= 0) {
            endChain(open.chain);
        }
    }
    m_previous.clear();
    m_previousLine = -2;
}

}  // namespace kelvarin
