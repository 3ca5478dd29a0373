// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

namespace kelvarin {

// The middle value of a non-empty list; of an even count, the upper of the two middle ones.
inline double median(std::vector<double> values) {
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

// The value share of the way up a non-empty list (0 the least, 1 the greatest), to the nearest place.
inline double quantile(std::vector<double> values, double share) {
    const auto place =
        static_cast<std::ptrdiff_t>(std::clamp(share, 0.0, 1.0) * static_cast<double>(values.size() - 1) + 0.5);
    std::nth_element(values.begin(), values.begin() + place, values.end());
    return values[static_cast<std::size_t>(place)];
}

}  // namespace kelvarin
