// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/WorkerPool.h"

namespace kelvarin {

// Sorts items on the pool's threads: blocks of a fixed size each sorted, then merged in pairs, a round at a
// time, so that a stop is answered between blocks instead of after the whole sort. less must be a total
// order (no two different items equal) for the result to be the same as std::sort's for any number of
// threads.
template <class T, class Less>
void sortOnPool(std::vector<T>& items, Less less, WorkerPool& pool) {
    constexpr std::size_t kBlock = std::size_t{1} << 16;
    const std::size_t n = items.size();
    if (n <= kBlock) {
        std::sort(items.begin(), items.end(), less);
        return;
    }
    const auto at = [](std::vector<T>& v, std::size_t i) { return v.begin() + static_cast<std::ptrdiff_t>(i); };
    pool.run((n + kBlock - 1) / kBlock, [&](std::size_t block, std::int32_t) {
        std::sort(at(items, block * kBlock), at(items, std::min(n, (block + 1) * kBlock)), less);
    });
    std::vector<T> merged(n);
    for (std::size_t width = kBlock; width < n; width *= 2) {
        pool.run((n + 2 * width - 1) / (2 * width), [&](std::size_t pair, std::int32_t) {
            const std::size_t first = pair * 2 * width;
            const std::size_t middle = std::min(n, first + width), last = std::min(n, first + 2 * width);
            std::merge(at(items, first), at(items, middle), at(items, middle), at(items, last), at(merged, first),
                       less);
        });
        items.swap(merged);
    }
}

}  // namespace kelvarin
