// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/index/SpatialIndex.h"

namespace kelvarin {

namespace {

// A grid may have this many cells per entry (and a few more) before the cells' keys are listed instead.
constexpr std::int64_t kGridCellsPerEntry = 8;
constexpr std::int64_t kSmallGrid = 1 << 16;

std::int64_t yOf(std::int64_t key) { return (key & ((std::int64_t{1} << 26) - 1)) - (1 << 24); }

}  // namespace

void SpatialIndex::build() const {
    if (m_built) {
        return;
    }
    m_built = true;
    m_ids.clear();
    m_starts.clear();
    m_keys.clear();
    m_gridWidth = m_gridHeight = 0;
    if (m_pending.empty()) {
        return;
    }
    std::size_t cells = 0;
    const std::vector<std::uint32_t> slots = layOutCells(cells);
    listIds(slots, cells);
}

std::vector<std::uint32_t> SpatialIndex::layOutCells(std::size_t& cells) const {
    std::int64_t xLow = xOfKey(m_pending.front().key), xHigh = xLow;
    std::int64_t yLow = yOf(m_pending.front().key), yHigh = yLow;
    for (const Entry& entry : m_pending) {
        xLow = std::min(xLow, xOfKey(entry.key));
        xHigh = std::max(xHigh, xOfKey(entry.key));
        yLow = std::min(yLow, yOf(entry.key));
        yHigh = std::max(yHigh, yOf(entry.key));
    }
    const auto entries = static_cast<std::int64_t>(m_pending.size());
    const std::int64_t width = xHigh - xLow + 1, height = yHigh - yLow + 1;
    // Each entry's slot: its cell's number in the grid, or in the ordered list of keys.
    std::vector<std::uint32_t> slots(m_pending.size());
    if (width <= (kGridCellsPerEntry * entries + kSmallGrid) / height) {
        m_gridX = xLow;
        m_gridY = yLow;
        m_gridWidth = width;
        m_gridHeight = height;
        cells = static_cast<std::size_t>(width * height);
        for (std::size_t i = 0; i < m_pending.size(); ++i) {
            const std::int64_t key = m_pending[i].key;
            slots[i] = static_cast<std::uint32_t>((xOfKey(key) - xLow) * height + (yOf(key) - yLow));
        }
        return slots;
    }
    for (const Entry& entry : m_pending) {
        m_keys.push_back(entry.key);
    }
    std::sort(m_keys.begin(), m_keys.end());
    m_keys.erase(std::unique(m_keys.begin(), m_keys.end()), m_keys.end());
    cells = m_keys.size();
    for (std::size_t i = 0; i < m_pending.size(); ++i) {
        slots[i] = static_cast<std::uint32_t>(std::lower_bound(m_keys.begin(), m_keys.end(), m_pending[i].key) -
                                              m_keys.begin());
    }
    return slots;
}

void SpatialIndex::listIds(const std::vector<std::uint32_t>& slots, std::size_t cells) const {
    // A counting sort keeps each cell's ids in the order inserted; an id met again in the same cell right
    // after itself is listed once.
    m_starts.assign(cells + 1, 0);
    std::vector<std::int32_t> lastId(cells, -1);
    std::vector<bool> listed(m_pending.size(), false);
    for (std::size_t i = 0; i < m_pending.size(); ++i) {
        if (lastId[slots[i]] != m_pending[i].id) {
            lastId[slots[i]] = m_pending[i].id;
            listed[i] = true;
            ++m_starts[slots[i] + 1];
        }
    }
    for (std::size_t cell = 0; cell < cells; ++cell) {
        m_starts[cell + 1] += m_starts[cell];
    }
    m_ids.resize(m_starts[cells]);
    std::vector<std::uint32_t> fill(m_starts.begin(), m_starts.end() - 1);
    for (std::size_t i = 0; i < m_pending.size(); ++i) {
        if (listed[i]) {
            m_ids[fill[slots[i]]++] = m_pending[i].id;
        }
    }
}

}  // namespace kelvarin
