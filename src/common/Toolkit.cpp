// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/Toolkit.h"

namespace kelvarin {

Toolkit::Toolkit(EventPacing pacing)
    : m_pacing(pacing), m_ticksLeft(pacing.ticksPerClockRead), m_lastProcessed(std::chrono::steady_clock::now()) {}

void Toolkit::poll() {
    m_ticksLeft = m_pacing.ticksPerClockRead;
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastProcessed >= m_pacing.interval) {
        processEvents();
        m_lastProcessed = std::chrono::steady_clock::now();
    }
}

}  // namespace kelvarin
