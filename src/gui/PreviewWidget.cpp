// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/PreviewWidget.h"

#include <QPainter>

#include <algorithm>

namespace kelvarin {

QImage renderPreview(const PreviewPicture& picture, QSize dots, QSize size) {
    QImage image(size, QImage::Format_Grayscale8);
    dots = dots.boundedTo(QSize(picture.width, picture.height));
    if (size.isEmpty() || dots.isEmpty()) {
        return image;
    }
    const double dotsPerPixelX = static_cast<double>(dots.width()) / size.width();
    const double dotsPerPixelY = static_cast<double>(dots.height()) / size.height();
    for (int ty = 0; ty < size.height(); ++ty) {
        const int rowFirst = std::min(dots.height() - 1, static_cast<int>(ty * dotsPerPixelY));
        const int rowEnd = std::clamp(static_cast<int>((ty + 1) * dotsPerPixelY), rowFirst + 1, dots.height());
        uchar* line = image.scanLine(ty);
        for (int tx = 0; tx < size.width(); ++tx) {
            const int columnFirst = std::min(dots.width() - 1, static_cast<int>(tx * dotsPerPixelX));
            const int columnEnd = std::clamp(static_cast<int>((tx + 1) * dotsPerPixelX), columnFirst + 1, dots.width());
            int white = 0;
            for (int row = rowFirst; row < rowEnd; ++row) {
                for (int column = columnFirst; column < columnEnd; ++column) {
                    white += picture.isWhite(column, row) ? 1 : 0;
                }
            }
            const int covered = (rowEnd - rowFirst) * (columnEnd - columnFirst);
            line[tx] = static_cast<uchar>(255 * white / covered);
        }
    }
    return image;
}

PreviewWidget::PreviewWidget(QWidget* parent) : QWidget(parent) {}

void PreviewWidget::setPicture(std::shared_ptr<const PreviewPicture> picture) {
    m_picture = std::move(picture);
    m_cache = QImage();
    update();
}

void PreviewWidget::setStretch(bool stretch) {
    m_stretch = stretch;
    update();
}

const QImage& PreviewWidget::rendered(QSize dots, QSize size) {
    if (m_cache.size() != size || m_cacheDots != dots) {
        m_cache = renderPreview(*m_picture, dots, size);
        m_cacheDots = dots;
    }
    return m_cache;
}

void PreviewWidget::paintEvent(QPaintEvent*) {
    if (!m_picture) {
        return;
    }
    QPainter painter(this);
    const QSize whole(m_picture->width, m_picture->height);
    if (m_stretch) {
        painter.drawImage(QPoint(0, 0), rendered(whole, size()));
    } else {
        // One dot per pixel, as much of the picture as the widget shows.
        const QSize shown = whole.boundedTo(size());
        painter.drawImage(QPoint(0, 0), rendered(shown, shown));
    }
}

}  // namespace kelvarin
