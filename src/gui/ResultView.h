// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QImage>
#include <QPoint>
#include <QWidget>

#include <functional>
#include <memory>

#include "convert/ResultLayers.h"
#include "vectorize/geometry/Geometry.h"

namespace kelvarin {

// The result over the scan: the scan's line cells in light grey, the LINEs (runs, strokes or vectors,
// arcs and circles as such) in red one screen pixel wide, and the texts read in blue at their place, height
// and turn. Zooms with the wheel about the cursor, pans by
// dragging; F fits the page, 1 shows one cell per screen pixel, + and - zoom about the middle. The
// picture is drawn in tiles of screen pixels, cached until the zoom or the layers shown change.
class ResultView : public QWidget {
public:
    enum class Layers { Both, Scan, Lines };

    static constexpr QRgb kPaperColour = 0xFFFFFFFF;
    static constexpr QRgb kScanColour = 0xFFC0C0C0;
    static constexpr QRgb kLineColour = 0xFFE00000;
    static constexpr QRgb kOutsideColour = 0xFF808080;
    static constexpr QRgb kTextColour = 0xFF0040E0;

    explicit ResultView(QWidget* parent);

    // Shows a result fitted to the view; vectors may be null.
    void setResult(std::shared_ptr<const ResultLayers> layers, std::shared_ptr<const VectorDrawing> vectors);
    const std::shared_ptr<const ResultLayers>& layers() const { return m_layers; }
    void setLayers(Layers layers);
    void fit();
    void showActualSize();
    // Multiplies the zoom, keeping the picture's point under the widget point where it is.
    void zoomAbout(QPointF point, double factor);
    double zoom() const { return m_zoom; }
    // The picture position under a widget point, in cells from the picture's top-left corner.
    QPointF cellAt(QPointF point) const { return (point - QPointF(m_origin)) / m_zoom; }

    std::function<void()> onZoomChanged;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    static constexpr int kTileSize = 256;

    double fitZoom() const;
    void setZoom(double zoom, QPoint origin);
    const QImage& tile(QPoint index);
    void dropHiddenTiles(const QRect& visibleTiles);
    void drawVectors(QPainter& painter) const;
    void drawTexts(QPainter& painter) const;
    QPointF screenOf(const Point& point) const;

    std::shared_ptr<const ResultLayers> m_layers;
    std::shared_ptr<const VectorDrawing> m_vectors;
    Layers m_shown = Layers::Both;
    double m_zoom = 1;
    QPoint m_origin;        // where the picture's top-left corner lies in the widget
    bool m_fitted = false;  // the view follows its size with fit() until the user zooms or pans
    QHash<QPoint, QImage> m_tiles;
    QVector<QRgb> m_palette;
    QPoint m_dragFrom;
    bool m_dragging = false;
};

}  // namespace kelvarin
