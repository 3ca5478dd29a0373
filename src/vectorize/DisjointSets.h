// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

namespace kelvarin {

// The root of i's set, where parent holds each item's parent (a root its own); the path is halved on the
// way, so that later look-ups are short.
template <typename Index>
Index rootOf(std::vector<Index>& parent, Index i) {
    while (parent[i] != i) {
        parent[i] = parent[parent[i]];
        i = parent[i];
    }
    return i;
}

}  // namespace kelvarin
