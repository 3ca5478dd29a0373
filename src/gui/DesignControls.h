// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRect>

#include <map>
#include <utility>
#include <vector>

#include "app/Controls.h"

class QFontMetrics;
class QWidget;

namespace kelvarin {

// A rectangle of the design in screen pixels, at the given twips per pixel.
QRect twipsToPixels(const TwipsRect& twips, double twipsPerPixel);

// The widgets of the design's controls, by control.
class DesignWidgets {
public:
    QWidget* widget(Control control) const;  // nullptr for none
    void add(Control control, QWidget* widget);
    std::size_t size() const { return m_widgets.size(); }

private:
    std::map<std::pair<int, int>, QWidget*> m_widgets;
};

// Every control of the design as a Qt widget of the window (option buttons inside their frames), at its
// design position, with its caption, tooltip and initial state.
DesignWidgets createDesignControls(QWidget* window, double twipsPerPixel);

// The style draws a frame's title and border above its content area: the option buttons move down into
// it, by the same amount in a frame, and the frame grows by as much. A button is never lower than its text
// and mark need; the ones below it move down as far.
void fitFrames(QWidget* window);

// The room a label's text keeps from the controls beside it: half a line, so that a label never seems to
// run into its field.
int labelGap(const QFontMetrics& metrics);

// A label's text keeps labelGap from the controls beside it: it is indented past a control that
// reaches into the label, and drawn smaller when it would not fit otherwise.
void fitLabels(const DesignWidgets& widgets);

// The design's tab order, each option group with all its buttons (Tab stops at the checked one only).
std::vector<QWidget*> designTabChain(const DesignWidgets& widgets);
// Labels, frames, the progress bar and the preview take no focus.
void keepFocusOffDisplays(const DesignWidgets& widgets);

}  // namespace kelvarin
