// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/ShardSelection.h"

#include <algorithm>

namespace kelvarin {

std::vector<BatchInput> shardOf(std::vector<BatchInput> inputs, std::int32_t index, std::int32_t count) {
    if (count <= 1) {
        return inputs;
    }
    std::stable_sort(inputs.begin(), inputs.end(),
                     [](const BatchInput& a, const BatchInput& b) { return a.input < b.input; });
    std::vector<BatchInput> part;
    for (std::size_t i = static_cast<std::size_t>(index - 1); i < inputs.size(); i += static_cast<std::size_t>(count)) {
        part.push_back(inputs[i]);
    }
    return part;
}

}  // namespace kelvarin
