// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSpinBox>
#include <QWidget>

#include <functional>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;

namespace kelvarin {

class ElidedLabel;

// The fixed threshold, or, while a method finds the threshold itself, that method's name in its place.
class ThresholdBox : public QSpinBox {
public:
    using QSpinBox::QSpinBox;

    // Empty for the fixed threshold: the number shows and can be changed.
    void showMethod(const QString& name);

protected:
    QString textFromValue(int value) const override;

private:
    QString m_method;
};

// The page to read, with the page count after it (" / 3"). A page typed beyond the count is not taken
// silently for the previous one: onPageMissing hears of it, after the box has gone back to its page.
class PageBox : public QSpinBox {
public:
    using QSpinBox::QSpinBox;

    std::function<void(int page, int count)> onPageMissing;

protected:
    QValidator::State validate(QString& input, int& position) const override;
    void fixup(QString& input) const override;

private:
    // The whole number typed, without the count after it; 0 for anything else.
    qlonglong typedPage(const QString& input) const;
};

// The controls beyond the window's design, in two rows under the preview: how pictures are read (page,
// threshold) and how sizes are filled in (unit, resolution); then the proportions lock, the line naming
// the conversion options with the vector mode's tolerance, and the stop button. They only hold values; the
// window wires them.
class ExtraControls : public QWidget {
public:
    // summary is the options label, placed in the second row.
    ExtraControls(QWidget* parent, ElidedLabel* summary);

    // The page control shows only for a file of more than one page.
    void showPages(int count, int current);
    void showTolerance(bool shown);
    // The controls a user could change while a command runs, in tab order (the stop button apart).
    QList<QWidget*> settingControls() const;

    QLabel* pageLabel;
    PageBox* page;
    ThresholdBox* threshold;
    QComboBox* unit;        // item 0: dots, then the units of the size menu
    QSpinBox* dotsPerInch;  // 0: the file's own resolution
    QCheckBox* keepProportions;
    QPushButton* stop;
    QLabel* toleranceLabel;
    QDoubleSpinBox* tolerance;  // dots; shown in the vector mode only
};

}  // namespace kelvarin
