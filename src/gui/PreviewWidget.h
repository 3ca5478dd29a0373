// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QWidget>

#include <memory>

#include "bitmap/PreviewPicture.h"

namespace kelvarin {

// imageOrig: shows the program's own decoded picture, never the file itself. Stretched, the picture is
// scaled to the widget, each screen pixel the average of the dots it covers, so thin lines stay visible
// when a large scan is shown small; unstretched it is drawn dot for pixel from the top-left corner.
class PreviewWidget : public QWidget {
public:
    explicit PreviewWidget(QWidget* parent);

    void setPicture(std::shared_ptr<const PreviewPicture> picture);
    void setStretch(bool stretch);
    bool stretch() const { return m_stretch; }
    bool hasPicture() const { return m_picture != nullptr; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const QImage& rendered(QSize dots, QSize size);

    std::shared_ptr<const PreviewPicture> m_picture;
    bool m_stretch = false;
    QImage m_cache;
    QSize m_cacheDots;
};

// The top-left dots of the picture averaged down (or up) to size: grey levels, white for bit value 1.
QImage renderPreview(const PreviewPicture& picture, QSize dots, QSize size);

}  // namespace kelvarin
