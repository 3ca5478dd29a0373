// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/ResultView.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

#include "convert/ResultTile.h"

namespace kelvarin {

namespace {

// Zoomed in at most 64 times, and no further than keeps the picture's screen size within int.
constexpr double kLargestZoom = 64;
constexpr double kLargestScreenSize = 1 << 30;
constexpr double kWheelStep = 1.189207115002721;  // a fourth root of 2: four notches double the zoom
constexpr int kTilesKept = 512;

}  // namespace

ResultView::ResultView(QWidget* parent)
    : QWidget(parent), m_palette{kPaperColour, kScanColour, kLineColour, kOutsideColour} {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(200, 150);
}

void ResultView::setResult(std::shared_ptr<const ResultLayers> layers, std::shared_ptr<const VectorDrawing> vectors) {
    m_layers = std::move(layers);
    m_vectors = std::move(vectors);
    fit();
}

void ResultView::setLayers(Layers layers) {
    m_shown = layers;
    m_tiles.clear();
    update();
}

void ResultView::fit() {
    m_fitted = true;
    if (!m_layers) {
        m_tiles.clear();
        update();
        return;
    }
    const double zoom = fitZoom();
    const QPoint origin(static_cast<int>(std::lround((width() - m_layers->width() * zoom) / 2)),
                        static_cast<int>(std::lround((height() - m_layers->height() * zoom) / 2)));
    setZoom(zoom, origin);
    m_fitted = true;
}

// 1 while the view has no size yet: it fits again when it gets one.
double ResultView::fitZoom() const {
    if (width() <= 0 || height() <= 0) {
        return 1;
    }
    return std::min(static_cast<double>(width()) / m_layers->width(),
                    static_cast<double>(height()) / m_layers->height());
}

void ResultView::showActualSize() { zoomAbout(QPointF(width() / 2.0, height() / 2.0), 1 / m_zoom); }

void ResultView::zoomAbout(QPointF point, double factor) {
    if (!m_layers) {
        return;
    }
    // From half the whole page (or 1:1 if smaller) to 64 times, or the whole page if it is shown larger.
    const double fitted = fitZoom();
    const double smallest = std::min(1.0, 0.5 * fitted);
    const double largest =
        std::max(fitted, std::min(kLargestZoom, kLargestScreenSize / std::max(m_layers->width(), m_layers->height())));
    const double zoom = std::clamp(m_zoom * factor, std::min(smallest, largest), largest);
    const QPointF cell = cellAt(point);
    setZoom(zoom, QPoint(static_cast<int>(std::lround(point.x() - cell.x() * zoom)),
                         static_cast<int>(std::lround(point.y() - cell.y() * zoom))));
}

void ResultView::setZoom(double zoom, QPoint origin) {
    if (zoom != m_zoom) {
        m_tiles.clear();
    }
    m_zoom = zoom;
    m_origin = origin;
    m_fitted = false;
    update();
    if (onZoomChanged) {
        onZoomChanged();
    }
}

const QImage& ResultView::tile(QPoint index) {
    auto found = m_tiles.find(index);
    if (found != m_tiles.end()) {
        return *found;
    }
    QImage image(kTileSize, kTileSize, QImage::Format_Indexed8);
    image.setColorTable(m_palette);
    const TileRequest request{m_zoom,
                              std::int64_t{index.x()} * kTileSize,
                              std::int64_t{index.y()} * kTileSize,
                              kTileSize,
                              kTileSize,
                              m_shown != Layers::Lines,
                              m_shown != Layers::Scan};
    renderTile(*m_layers, request, {image.bits(), static_cast<std::size_t>(image.sizeInBytes())});
    return *m_tiles.insert(index, std::move(image));
}

void ResultView::dropHiddenTiles(const QRect& visibleTiles) {
    if (m_tiles.size() <= kTilesKept) {
        return;
    }
    for (auto it = m_tiles.begin(); it != m_tiles.end();) {
        it = visibleTiles.contains(it.key()) ? std::next(it) : m_tiles.erase(it);
    }
}

void ResultView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    if (!m_layers) {
        painter.fillRect(event->rect(), QColor::fromRgb(kOutsideColour));
        return;
    }
    const QRect area = event->rect().translated(-m_origin);
    const QRect tiles(QPoint(static_cast<int>(std::floor(area.left() / double{kTileSize})),
                             static_cast<int>(std::floor(area.top() / double{kTileSize}))),
                      QPoint(static_cast<int>(std::floor(area.right() / double{kTileSize})),
                             static_cast<int>(std::floor(area.bottom() / double{kTileSize}))));
    for (int ty = tiles.top(); ty <= tiles.bottom(); ++ty) {
        for (int tx = tiles.left(); tx <= tiles.right(); ++tx) {
            painter.drawImage(m_origin + QPoint(tx, ty) * kTileSize, tile(QPoint(tx, ty)));
        }
    }
    dropHiddenTiles(tiles);
    if (m_vectors && m_shown != Layers::Scan) {
        drawVectors(painter);
        drawTexts(painter);
    }
}

// A point's place in the widget: the middle of its cell for whole-numbered points, y turned downwards.
QPointF ResultView::screenOf(const Point& point) const {
    return QPointF(m_origin) +
           QPointF((point.x + 0.5) * m_zoom, (static_cast<double>(m_layers->height()) - 0.5 - point.y) * m_zoom);
}

void ResultView::drawVectors(QPainter& painter) const {
    QPen pen(QColor::fromRgb(kLineColour));
    pen.setCosmetic(true);
    pen.setWidth(1);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const QRectF shown = QRectF(rect()).adjusted(-1, -1, 1, 1);
    for (const VectorLine& line : m_vectors->lines) {
        const QLineF onScreen(screenOf(line.a), screenOf(line.b));
        if (shown.intersects(QRectF(onScreen.p1(), onScreen.p2()).normalized().adjusted(-1, -1, 1, 1))) {
            painter.drawLine(onScreen);
        }
    }
    const auto circleRect = [this](const Point& centre, double radius) {
        const QPointF middle = screenOf(centre);
        const double r = radius * m_zoom;
        return QRectF(middle.x() - r, middle.y() - r, 2 * r, 2 * r);
    };
    for (const VectorCircle& circle : m_vectors->circles) {
        const QRectF bounds = circleRect(circle.centre, circle.radius);
        if (shown.intersects(bounds)) {
            painter.drawEllipse(bounds);
        }
    }
    for (const VectorArc& arc : m_vectors->arcs) {
        const QRectF bounds = circleRect(arc.centre, arc.radius);
        if (shown.intersects(bounds)) {
            // Both turn counter-clockwise as seen: the screen's y runs down, and Qt's angles run up.
            const double span = std::fmod(std::fmod(arc.endDegrees - arc.startDegrees, 360) + 360, 360);
            painter.drawArc(bounds, static_cast<int>(std::lround(arc.startDegrees * 16)),
                            static_cast<int>(std::lround((span == 0 ? 360 : span) * 16)));
        }
    }
}

void ResultView::drawTexts(QPainter& painter) const {
    // A font's capitals stand about 0.72 of its pixel size; a TEXT's height is its cap height.
    constexpr double kCapPerPixelSize = 0.72;
    painter.setPen(QColor::fromRgb(kTextColour));
    const QRectF shown = QRectF(rect());
    for (const VectorText& text : m_vectors->texts) {
        const int pixels = static_cast<int>(std::lround(text.height * m_zoom / kCapPerPixelSize));
        const QPointF at = screenOf(text.insertion);
        const double reach = pixels * static_cast<double>(text.text.size());
        if (pixels < 2 || !shown.adjusted(-reach, -reach, reach, reach).contains(at)) {
            continue;
        }
        QFont font = painter.font();
        font.setPixelSize(pixels);
        painter.setFont(font);
        painter.save();
        painter.translate(at);
        painter.rotate(-text.degrees);  // the screen's y runs down
        painter.drawText(QPointF(0, 0), QString::fromStdString(text.text));
        painter.restore();
    }
}

void ResultView::resizeEvent(QResizeEvent*) {
    if (m_fitted) {
        fit();
    }
}

void ResultView::wheelEvent(QWheelEvent* event) {
    const double notches = event->angleDelta().y() / 120.0;
    if (notches != 0) {
        zoomAbout(event->position(), std::pow(kWheelStep, notches));
    }
    event->accept();
}

void ResultView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_dragging = true;
        m_dragFrom = event->position().toPoint();
        setCursor(Qt::ClosedHandCursor);
    }
}

void ResultView::mouseMoveEvent(QMouseEvent* event) {
    if (m_dragging && m_layers) {
        const QPoint to = event->position().toPoint();
        setZoom(m_zoom, m_origin + to - m_dragFrom);
        m_dragFrom = to;
    }
}

void ResultView::mouseReleaseEvent(QMouseEvent*) {
    m_dragging = false;
    unsetCursor();
}

void ResultView::keyPressEvent(QKeyEvent* event) {
    const QPointF middle(width() / 2.0, height() / 2.0);
    switch (event->key()) {
        case Qt::Key_F:
        case Qt::Key_Home: fit(); break;
        case Qt::Key_1: showActualSize(); break;
        case Qt::Key_Plus: zoomAbout(middle, 2); break;
        case Qt::Key_Minus: zoomAbout(middle, 0.5); break;
        case Qt::Key_Left: setZoom(m_zoom, m_origin + QPoint(width() / 4, 0)); break;
        case Qt::Key_Right: setZoom(m_zoom, m_origin - QPoint(width() / 4, 0)); break;
        case Qt::Key_Up: setZoom(m_zoom, m_origin + QPoint(0, height() / 4)); break;
        case Qt::Key_Down: setZoom(m_zoom, m_origin - QPoint(0, height() / 4)); break;
        default: QWidget::keyPressEvent(event); return;
    }
}

}  // namespace kelvarin
