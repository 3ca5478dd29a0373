// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

#include <functional>

#include "app/ResultContent.h"

class QLabel;
class QRadioButton;

namespace kelvarin {

class ResultView;

// Where a window of the wanted size (frame included) goes beside the main window's frame on the screen's
// available area: to its right, else to its left, else narrowed into the wider side, never over it. Only
// when neither side holds a usable width does it lie over the main window, at the screen's right edge.
QRect besideMainWindow(const QRect& main, const QSize& wanted, const QRect& available);

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

private:
    void showZoom();
    void placeBesideMainWindow();

    ResultView* m_view;
    QLabel* m_counts;
    QLabel* m_zoom;
    bool m_placed = false;
};

}  // namespace kelvarin
