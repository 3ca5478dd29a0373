// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/PendingProgress.h"

#include <QLabel>
#include <QProgressBar>

#include <algorithm>
#include <cmath>

#include "gui/QtText.h"

namespace kelvarin {

PendingProgress::PendingProgress(QProgressBar* bar, QLabel* caption) : m_bar(bar), m_label(caption) {}

void PendingProgress::setMin(float value) {
    m_min = value;
    m_changed = true;
}

void PendingProgress::setMax(float value) {
    m_max = value;
    m_changed = true;
}

void PendingProgress::setValue(float value) {
    m_value = value;
    m_changed = true;
}

void PendingProgress::setCaption(std::string_view text) {
    m_caption = text;
    m_changed = true;
}

void PendingProgress::setAlignment(Alignment alignment) {
    m_alignment = alignment;
    m_changed = true;
}

void PendingProgress::show() {
    if (!m_changed) {
        return;
    }
    m_changed = false;
    const int minimum = static_cast<int>(std::lround(m_min));
    // An empty range would turn the bar into a busy indicator.
    const int maximum = std::max(minimum + 1, static_cast<int>(std::lround(m_max)));
    m_bar->setRange(minimum, maximum);
    m_bar->setValue(std::clamp(static_cast<int>(std::lround(m_value)), minimum, maximum));
    m_label->setAlignment((m_alignment == Alignment::Left ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
    m_label->setText(toQString(m_caption));
}

}  // namespace kelvarin
