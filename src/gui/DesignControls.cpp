// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/DesignControls.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include <cmath>
#include <limits>

#include "gui/FileField.h"
#include "gui/PreviewWidget.h"
#include "gui/QtText.h"

namespace kelvarin {

namespace {

QWidget* createWidget(const ControlDesign& design, QWidget* parent) {
    const QString caption = toQString(design.caption);
    switch (design.kind) {
        case ControlKind::Label: return new QLabel(caption, parent);
        case ControlKind::TextField: {
            QLineEdit* field =
                design.control.name == ControlName::textFile ? new FileField(parent) : new QLineEdit(parent);
            field->setText(caption);
            // A file dropped on a number or a layer name would put its path there.
            if (design.control.name != ControlName::textFile) {
                field->setAcceptDrops(false);
            }
            return field;
        }
        case ControlKind::Button: return new QPushButton(caption, parent);
        case ControlKind::Frame: return new QGroupBox(caption, parent);
        case ControlKind::OptionButton: {
            auto* option = new QRadioButton(caption, parent);
            option->setChecked(design.initiallySelected);
            return option;
        }
        case ControlKind::ProgressBar: {
            auto* bar = new QProgressBar(parent);
            bar->setRange(0, 100);
            bar->setValue(0);
            bar->setTextVisible(false);
            return bar;
        }
        case ControlKind::Image: return new PreviewWidget(parent);
    }
    return nullptr;
}

// The height a frame may take before it reaches the next control below it, less a gap of two pixels.
int roomBelow(const QWidget* window, const QWidget* frame) {
    int limit = std::numeric_limits<int>::max();
    for (const QWidget* other : window->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        const QRect place = other->geometry();
        if (other != frame && place.top() > frame->geometry().bottom() && place.left() <= frame->geometry().right() &&
            place.right() >= frame->x()) {
            limit = std::min(limit, place.top() - 2 - frame->y());
        }
    }
    return limit;
}

// The buttons in rows of equal height filling the frame's content area, when the design's spacing would
// take them below it.
void spreadEvenly(const QWidget* frame, const QList<QWidget*>& buttons) {
    const QRect content = frame->contentsRect();
    const int pitch = content.height() / std::max<int>(1, static_cast<int>(buttons.size()));
    int top = content.top();
    for (QWidget* button : buttons) {
        button->setGeometry(button->x(), top, button->width(), pitch);
        top += pitch;
    }
}

}  // namespace

int labelGap(const QFontMetrics& metrics) { return (metrics.height() + 1) / 2; }

QRect twipsToPixels(const TwipsRect& twips, double twipsPerPixel) {
    const auto pixels = [twipsPerPixel](int value) { return static_cast<int>(std::lround(value / twipsPerPixel)); };
    return {pixels(twips.left), pixels(twips.top), pixels(twips.width), pixels(twips.height)};
}

QWidget* DesignWidgets::widget(Control control) const {
    const auto found = m_widgets.find({static_cast<int>(control.name), control.index});
    return found == m_widgets.end() ? nullptr : found->second;
}

void DesignWidgets::add(Control control, QWidget* widget) {
    m_widgets[{static_cast<int>(control.name), control.index}] = widget;
}

DesignWidgets createDesignControls(QWidget* window, double twipsPerPixel) {
    DesignWidgets widgets;
    for (const ControlDesign& design : controlDesigns()) {
        QWidget* parent = design.frame == design.control ? window : widgets.widget(design.frame);
        QWidget* control = createWidget(design, parent);
        control->setObjectName(toQString(design.objectName));
        control->setGeometry(twipsToPixels(design.geometry, twipsPerPixel));
        control->setEnabled(design.initiallyEnabled);
        if (!design.toolTip.empty()) {
            control->setToolTip(toQString(design.toolTip));
        }
        widgets.add(design.control, control);
    }
    for (Control label : {labelPercent, labelBMPSize}) {
        static_cast<QLabel*>(widgets.widget(label))->setTextFormat(Qt::PlainText);
    }
    return widgets;
}

void fitFrames(QWidget* window) {
    for (QGroupBox* frame : window->findChildren<QGroupBox*>(QString(), Qt::FindDirectChildrenOnly)) {
        const QList<QWidget*> buttons = frame->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
        int pushed = 0;
        for (QWidget* button : buttons) {
            const int grow = std::max(0, button->sizeHint().height() - button->height());
            button->setGeometry(button->x(), button->y() + pushed, button->width(), button->height() + grow);
            pushed += grow;
        }
        int contentTop = frame->height();
        int contentBottom = 0;
        for (const QWidget* button : buttons) {
            contentTop = std::min(contentTop, button->y());
            contentBottom = std::max(contentBottom, button->geometry().bottom());
        }
        const int shift = std::max(0, frame->contentsRect().top() - contentTop);
        for (QWidget* button : buttons) {
            button->move(button->x(), button->y() + shift);
        }
        const int bottomBorder = frame->height() - 1 - frame->contentsRect().bottom();
        const int grownHeight = std::max(frame->height(), contentBottom + shift + 1 + bottomBorder);
        const int room = roomBelow(window, frame);
        if (grownHeight <= room) {
            frame->resize(frame->width(), grownHeight);
        } else {
            frame->resize(frame->width(), room);
            spreadEvenly(frame, buttons);
        }
    }
}

void fitLabels(const DesignWidgets& widgets) {
    for (const ControlDesign& design : controlDesigns()) {
        if (design.kind != ControlKind::Label || design.control == labelPercent || design.control == labelBMPSize) {
            continue;
        }
        auto* label = static_cast<QLabel*>(widgets.widget(design.control));
        const int gap = labelGap(label->fontMetrics());
        int indent = 0;
        int room = label->width();
        for (const ControlDesign& other : controlDesigns()) {
            const QRect beside = widgets.widget(other.control)->geometry();
            if (other.frame != other.control || other.control == design.control ||
                beside.top() > label->geometry().bottom() || beside.bottom() < label->y()) {
                continue;
            }
            if (beside.left() <= label->x() && beside.right() + gap >= label->x()) {
                indent = std::max(indent, beside.right() + 1 + gap - label->x());
            } else if (beside.left() > label->x()) {
                room = std::min(room, beside.left() - gap - label->x());
            }
        }
        label->setContentsMargins(indent, 0, 0, 0);
        QFont font = label->font();
        while (QFontMetricsF(font).horizontalAdvance(label->text()) > room - indent && font.pointSizeF() > 6) {
            font.setPointSizeF(font.pointSizeF() - 0.25);
        }
        label->setFont(font);
    }
}

std::vector<QWidget*> designTabChain(const DesignWidgets& widgets) {
    std::vector<QWidget*> chain;
    for (Control control : tabOrder()) {
        const ControlDesign& design = designOf(control);
        if (design.kind != ControlKind::OptionButton) {
            chain.push_back(widgets.widget(control));
            continue;
        }
        for (const ControlDesign& member : controlDesigns()) {
            if (member.kind == ControlKind::OptionButton && member.frame == design.frame) {
                chain.push_back(widgets.widget(member.control));
            }
        }
    }
    return chain;
}

void keepFocusOffDisplays(const DesignWidgets& widgets) {
    for (const ControlDesign& design : controlDesigns()) {
        if (design.kind == ControlKind::Label || design.kind == ControlKind::Frame ||
            design.kind == ControlKind::ProgressBar || design.kind == ControlKind::Image) {
            widgets.widget(design.control)->setFocusPolicy(Qt::NoFocus);
        }
    }
}

}  // namespace kelvarin
