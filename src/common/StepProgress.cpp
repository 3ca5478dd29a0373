// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/StepProgress.h"

#include <algorithm>

namespace kelvarin {

void StepProgress::start(std::string_view name, std::size_t items) {
    ++m_step;
    m_items = static_cast<double>(std::max<std::size_t>(items, 1));
    m_done = 0;
    m_display.emplace(ProgressDisplay::forStep(m_toolkit, name, 1));
    show();
}

void StepProgress::show() {
    const double within = static_cast<double>(m_done) / (static_cast<double>(m_done) + m_items);
    const double fraction = std::min(1.0, (m_step + within) / m_steps);
    m_display->update(fraction, fraction);
}

void StepProgress::finish() {
    if (m_display) {
        m_display->update(1, 1);
    }
}

}  // namespace kelvarin
