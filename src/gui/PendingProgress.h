// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

#include "common/Toolkit.h"

class QLabel;
class QProgressBar;

namespace kelvarin {

// The progress bar and its percentage caption, set by the long loops once per item at no cost: the
// settings are kept and shown only when the window next gets to run.
class PendingProgress {
public:
    PendingProgress(QProgressBar* bar, QLabel* caption);

    void setMin(float value);
    void setMax(float value);
    void setValue(float value);
    void setCaption(std::string_view text);
    void setAlignment(Alignment alignment);
    // Shows what changed since the last time.
    void show();

private:
    QProgressBar* m_bar;
    QLabel* m_label;
    float m_min = 0;
    float m_max = 100;
    float m_value = 0;
    std::string m_caption = "0%";
    Alignment m_alignment = Alignment::Left;
    bool m_changed = false;
};

}  // namespace kelvarin
