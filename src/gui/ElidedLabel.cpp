// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/ElidedLabel.h"

namespace kelvarin {

ElidedLabel::ElidedLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setMinimumWidth(1);  // the window sets the width; the text follows it
}

void ElidedLabel::setFullText(const QString& text) {
    m_fullText = text;
    fit();
}

void ElidedLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    fit();
}

void ElidedLabel::fit() {
    const QString shown = fontMetrics().elidedText(m_fullText, Qt::ElideRight, contentsRect().width());
    setText(shown);
    setToolTip(shown == m_fullText ? QString() : m_fullText);
}

}  // namespace kelvarin
