// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

#include <functional>
#include <vector>

#include "app/ResultContent.h"

class QBoxLayout;
class QLabel;
class QLayout;
class QRadioButton;

namespace kelvarin {

class ResultView;

// Where a window of the wanted size (frame included) goes beside the main window's frame on the screen's
// available area: to its right, else to its left, else narrowed into the wider side (to no less than
// narrowest), never over it. Only when neither side holds that width does it lie over the main window, at
// the screen's right edge.
QRect besideMainWindow(const QRect& main, const QSize& wanted, const QRect& available, int narrowest);

// A window beside the main one showing a conversion's result or a preview: which layers to show, fit and
// 1:1, the zoom in per cent, and the entities counted by kind with the file's size.
class ResultWindow : public QWidget {
public:
    explicit ResultWindow(QWidget* mainWindow);

    // Shows the window with the result of the named picture file fitted; a preview is titled as one.
    void showResult(const ConversionResult& result, bool preview, const QString& pictureName);
    // Lets go of the result shown, and its memory, before a new one is made.
    void clear();
    // Before anything may read another picture: the result shown keeps a copy of the one it was made from.
    void keepOwnPicture();
    ResultView* view() const { return m_view; }
    QString countsText() const;

    // Asked for by the preview button: a new preview from the main window's settings.
    std::function<void()> onPreviewRequested;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // The tool bar's groups stacked, and a useful part of the drawing.
    int narrowestWidth() const;
    int minimumHeight() const;
    void showZoom();
    void placeBesideMainWindow();

    QBoxLayout* m_bar = nullptr;
    std::vector<QLayout*> m_rows;  // the tool bar's groups
    ResultView* m_view;
    QLabel* m_counts;
    QLabel* m_zoom;
    bool m_placed = false;
};

}  // namespace kelvarin
