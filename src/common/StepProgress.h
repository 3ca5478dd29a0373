// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "common/ProgressDisplay.h"
#include "common/Toolkit.h"

namespace kelvarin {

// Drives the progress caption through a fixed number of named steps whose own length is not known in
// advance: "<step name>: <percent>%", the percentage of all the steps. Within a step it moves with the
// items gone through (ticks) against the items the step started with, approaching the step's end without
// reaching it: ticks / (ticks + items) of the step.
class StepProgress {
public:
    StepProgress(Toolkit& toolkit, int steps) : m_toolkit(toolkit), m_steps(steps) {}

    // Starts the next step, over about items items.
    void start(std::string_view name, std::size_t items);
    // One item of the current step done: lets events run and, now and then, moves the caption.
    void tick() {
        m_toolkit.doEvents(kTicksPerItem);
        if ((++m_ticks & kTicksPerShow) == 0) {
            show();
        }
    }
    // Every step done: the full bar and 100%.
    void finish();

private:
    static constexpr std::int64_t kTicksPerItem = 256;  // event ticks an item counts as
    static constexpr std::int64_t kTicksPerShow = 255;  // the caption is looked at every 256 items
    void show();

    Toolkit& m_toolkit;
    int m_steps;
    int m_step = -1;
    double m_items = 1;
    std::int64_t m_ticks = 0;
    std::optional<ProgressDisplay> m_display;
};

}  // namespace kelvarin
