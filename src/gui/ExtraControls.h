#pragma once

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace kelvarin {

class ElidedLabel;

// The controls beyond the window's design, in two rows under the preview: how pictures are read (page,
// threshold), how sizes are filled in (unit, resolution, the proportions lock), the stop button, and
// the line naming the conversion options. They only hold values; the window wires them.
class ExtraControls : public QWidget {
public:
    // summary is the options label, placed in the second row.
    ExtraControls(QWidget* parent, ElidedLabel* summary);

    // The page control shows only for a file of more than one page.
    void showPages(int count, int current);
    // The controls a user could change while a command runs, in tab order (the stop button apart).
    QList<QWidget*> settingControls() const;

    QLabel* pageLabel;
    QSpinBox* page;
    QSpinBox* threshold;
    QComboBox* unit;        // item 0: dots, then the units of the size menu
    QSpinBox* dotsPerInch;  // 0: the file's own resolution
    QCheckBox* keepProportions;
    QPushButton* stop;
};

}  // namespace kelvarin
