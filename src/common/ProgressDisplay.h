// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/Toolkit.h"

namespace kelvarin {

// Drives pbarCount and labelPercent through one long operation. The caption is a prefix, the percentage
// ("###") and "%"; it is only rewritten when the shown percentage changes.
class ProgressDisplay {
public:
    // A numbered pass over the values 0 .. lastValue: left-aligned "Pass<n> : <percent>%", maximum set
    // before minimum. With lastValue below 1 the range is 0 .. 1, update() shows nothing and finish()
    // shows the full bar and 100%.
    static ProgressDisplay forPass(Toolkit& toolkit, std::int32_t passNumber, double lastValue);
    // Writing the result file: left-aligned "書出: <percent>%", maximum before minimum.
    static ProgressDisplay forWriting(Toolkit& toolkit, double lastValue);
    // A named step over the values 0 .. lastValue: left-aligned "<name>: <percent>%", maximum before minimum.
    static ProgressDisplay forStep(Toolkit& toolkit, std::string_view name, double lastValue);
    // Reading a file of total bytes: minimum 0, maximum total, value 0, right-aligned "<percent>%".
    static ProgressDisplay forReading(Toolkit& toolkit, double total);

    // Sets the caption to fraction as a percentage, and the bar to value, whenever the shown percentage
    // changes. Called once per item, so it costs a comparison otherwise.
    void update(double value, double fraction) {
        const double percent = fraction * 100;
        if (m_emptyRange || (percent >= m_low && percent < m_high)) {
            return;
        }
        m_toolkit.setProgressValue(static_cast<float>(value));
        showPercent(percent);
    }
    // Shows a pass over 0 .. last whose items need no work of their own: the bar and the caption go
    // through every percentage of value / total.
    void sweep(std::int64_t last, std::int64_t total);
    // Completes a pass whose range was empty.
    void finish();

private:
    ProgressDisplay(Toolkit& toolkit, std::string prefix, bool emptyRange);
    void showPercent(double percent);

    Toolkit& m_toolkit;
    std::string m_prefix;
    bool m_emptyRange;
    // The percentages that still show the current caption: [m_low, m_high).
    double m_low = 1;
    double m_high = 0;
};

// How far a pass over the rows or columns 0 .. last has come at index (complete for a single one).
inline double passFraction(std::int64_t index, std::int64_t last) {
    return last > 0 ? static_cast<double>(index) / static_cast<double>(last) : 1.0;
}

}  // namespace kelvarin
