// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "common/ProgressDisplay.h"
#include "common/Toolkit.h"

namespace kelvarin {

// Drives the progress caption through a fixed number of named steps whose own length is not known in
// advance: "<step name>: <percent>%", the percentage of all the steps. Within a step it moves with the
// items gone through against the items the step started with, approaching the step's end without
// reaching it: done / (done + items) of the step.
class StepProgress {
public:
    StepProgress(Toolkit& toolkit, int steps) : m_toolkit(toolkit), m_steps(steps) {}

    // Starts the next step, over about items items.
    void start(std::string_view name, std::size_t items);
    // One item of the current step done, worth eventTicks of Toolkit::doEvents: lets events run and, every
    // 256 items, moves the caption.
    void tick(std::int64_t eventTicks) {
        m_toolkit.doEvents(eventTicks);
        if ((++m_done & kItemsPerShowMask) == 0) {
            show();
        }
    }
    // Every step done: the full bar and 100%.
    void finish();

private:
    static constexpr std::int64_t kItemsPerShowMask = 255;
    void show();

    Toolkit& m_toolkit;
    int m_steps;
    int m_step = -1;
    double m_items = 1;
    std::int64_t m_done = 0;
    std::optional<ProgressDisplay> m_display;
};

}  // namespace kelvarin
