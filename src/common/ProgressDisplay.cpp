// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/ProgressDisplay.h"

#include <cmath>

#include "common/TextFormat.h"

namespace kelvarin {

ProgressDisplay::ProgressDisplay(Toolkit& toolkit, std::string prefix, bool emptyRange)
    : m_toolkit(toolkit), m_prefix(std::move(prefix)), m_emptyRange(emptyRange) {}

ProgressDisplay ProgressDisplay::forPass(Toolkit& toolkit, std::int32_t passNumber, double lastValue) {
    const bool emptyRange = lastValue < 1;
    ProgressDisplay display(toolkit, "Pass" + formatInteger(passNumber) + " : ", emptyRange);
    toolkit.setPercentAlignment(Alignment::Left);
    toolkit.setProgressMax(static_cast<float>(emptyRange ? 1 : lastValue));
    toolkit.setProgressMin(0);
    return display;
}

ProgressDisplay ProgressDisplay::forWriting(Toolkit& toolkit, double lastValue) {
    return forStep(toolkit, "書出", lastValue);
}

ProgressDisplay ProgressDisplay::forStep(Toolkit& toolkit, std::string_view name, double lastValue) {
    ProgressDisplay display(toolkit, std::string(name) + ": ", false);
    toolkit.setPercentAlignment(Alignment::Left);
    toolkit.setProgressMax(static_cast<float>(lastValue));
    toolkit.setProgressMin(0);
    return display;
}

ProgressDisplay ProgressDisplay::forReading(Toolkit& toolkit, double total) {
    ProgressDisplay display(toolkit, "", false);
    toolkit.setProgressMin(0);
    toolkit.setProgressMax(static_cast<float>(total));
    toolkit.setProgressValue(0);
    toolkit.setPercentAlignment(Alignment::Right);
    return display;
}

void ProgressDisplay::sweep(std::int64_t last, std::int64_t total) {
    for (int step = 0; step <= 100 && last > 0; ++step) {
        const std::int64_t value = last * step / 100;
        update(static_cast<double>(value), static_cast<double>(value) / static_cast<double>(total));
    }
    m_toolkit.doEvents();
}

void ProgressDisplay::finish() {
    if (!m_emptyRange) {
        return;
    }
    m_toolkit.setProgressValue(1);
    showPercent(100);
}

void ProgressDisplay::showPercent(double percent) {
    // The caption is only formatted when the whole percentage changes.
    if (percent >= m_low && percent < m_high) {
        return;
    }
    const double shown = std::round(percent);
    m_low = shown - 0.5;
    m_high = shown + 0.5;
    m_toolkit.setPercentCaption(m_prefix + formatPercent(percent) + "%");
}

}  // namespace kelvarin
