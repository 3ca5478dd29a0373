// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

namespace kelvarin {

// The step in progress and the number of the pass in progress of a conversion; both appear in the
// conversion's error report and the pass number in the progress caption. PassNumber is 0 whenever no
// conversion runs.
struct PassState {
    std::string CurrentStep;
    std::int32_t PassNumber = 0;
};

}  // namespace kelvarin
