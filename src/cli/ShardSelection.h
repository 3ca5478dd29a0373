// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <vector>

#include "cli/BatchInputs.h"

namespace kelvarin {

// Part index (1 .. count) of the inputs sorted by name: every count-th input from the index-th on, so
// that the parts are disjoint, cover every input once, and each holds a share of every folder. A single
// part keeps the inputs in their given order.
std::vector<BatchInput> shardOf(std::vector<BatchInput> inputs, std::int32_t index, std::int32_t count);

}  // namespace kelvarin
