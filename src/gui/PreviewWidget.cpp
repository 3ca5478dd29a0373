// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/PreviewWidget.h"

#include <QPainter>

#include <algorithm>
#include <bit>
#include <cstdint>

namespace kelvarin {

namespace {

// The white dots of one row from column first up to end, whole bytes counted at once: a large scan has
// hundreds of millions of dots to average, and the preview is drawn while the window waits.
int whiteDots(const PreviewPicture& picture, int row, int first, int end) {
    const std::uint8_t* bytes = picture.rows.data() + row * picture.stride;
    int white = 0;
    int column = first;
    for (; column < end && column % 8 != 0; ++column) {
        white += picture.isWhite(column, row) ? 1 : 0;
    }
    for (; column + 8 <= end; column += 8) {
        white += std::popcount(bytes[column / 8]);
    }
    for (; column < end; ++column) {
        white += picture.isWhite(column, row) ? 1 : 0;
    }
    return white;
}

}  // namespace

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
                white += whiteDots(picture, row, columnFirst, columnEnd);
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
