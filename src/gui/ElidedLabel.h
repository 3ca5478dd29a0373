// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>

namespace kelvarin {

// A one-line label that shows its whole text when there is room, and else the text cut short with "…"
// and the whole text as its tooltip.
class ElidedLabel : public QLabel {
public:
    explicit ElidedLabel(QWidget* parent);

    void setFullText(const QString& text);
    const QString& fullText() const { return m_fullText; }
    bool isElided() const { return text() != m_fullText; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void fit();

    QString m_fullText;
};

}  // namespace kelvarin
