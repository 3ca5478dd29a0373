// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/ExtraControls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>

#include "gui/ElidedLabel.h"

namespace kelvarin {

namespace {

template <typename Box = QSpinBox>
Box* spinBox(QWidget* parent, const char* name, int minimum, int maximum, int value, const char* toolTip) {
    auto* box = new Box(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setRange(minimum, maximum);
    box->setValue(value);
    box->setToolTip(QString::fromUtf8(toolTip));
    box->setKeyboardTracking(false);  // a typed number counts once it is complete
    return box;
}

QLabel* labelFor(QWidget* buddy, const QString& text) {
    auto* label = new QLabel(text, buddy->parentWidget());
    label->setBuddy(buddy);
    return label;
}

}  // namespace

void ThresholdBox::showMethod(const QString& name) {
    m_method = name;
    setSuffix(suffix());  // shows the text anew
    updateGeometry();
}

QString ThresholdBox::textFromValue(int value) const {
    return m_method.isEmpty() ? QSpinBox::textFromValue(value) : m_method;
}

qlonglong PageBox::typedPage(const QString& input) const {
    QString typed = input;
    typed.remove(suffix());
    bool number = false;
    const qlonglong page = typed.trimmed().toLongLong(&number);
    return number ? page : 0;
}

// A page beyond the count may be typed, to be refused aloud when it is entered.
QValidator::State PageBox::validate(QString& input, int& position) const {
    const QValidator::State state = QSpinBox::validate(input, position);
    return state == QValidator::Invalid && typedPage(input) > maximum() ? QValidator::Intermediate : state;
}

void PageBox::fixup(QString& input) const {
    const qlonglong asked = typedPage(input);
    if (asked > maximum() && onPageMissing) {
        // Told once the box has settled: the message box must not open inside the box's own handling.
        QTimer::singleShot(0, this, [this, asked, count = maximum()] {
            onPageMissing(static_cast<int>(std::min<qlonglong>(asked, INT_MAX)), count);
        });
    }
    QSpinBox::fixup(input);
}

ExtraControls::ExtraControls(QWidget* parent, ElidedLabel* summary) : QWidget(parent) {
    setObjectName("extraControls");
    page = spinBox<PageBox>(this, "spinPage", 1, 1, 1, "読み込むページ（複数ページのファイル）");
    threshold = spinBox<ThresholdBox>(this, "spinThreshold", 0, 255, 128,
                                      "グレー・カラーの画像で、これより暗い画素を黒とみなします（0〜255）");
    unit = new QComboBox(this);
    unit->setObjectName("comboUnit");
    unit->addItems({QStringLiteral("ドット"), QStringLiteral("mm"), QStringLiteral("cm"), QStringLiteral("inch")});
    unit->setToolTip(QStringLiteral("変換後サイズの単位。ドット以外は画像の解像度から実寸を入れます"));
    dotsPerInch = spinBox(this, "spinDpi", 0, 1000000, 0, "解像度（ドット/インチ）。ファイルの値より優先します");
    dotsPerInch->setSpecialValueText(QStringLiteral("ファイルの値"));
    dotsPerInch->setSuffix(QStringLiteral(" dpi"));
    keepProportions = new QCheckBox(QStringLiteral("縦横比を保つ"), this);
    keepProportions->setObjectName("checkKeepProportions");
    keepProportions->setChecked(true);
    keepProportions->setToolTip(QStringLiteral("変換後サイズの片方を入れると、もう片方を画像の縦横比に合わせます"));
    stop = new QPushButton(QStringLiteral("中止"), this);
    stop->setObjectName("cmdStop");
    stop->setToolTip(QStringLiteral("実行中の変換を中止します（Esc）"));
    stop->setEnabled(false);
    summary->setParent(this);
    tolerance = new QDoubleSpinBox(this);
    tolerance->setObjectName("spinTolerance");
    tolerance->setRange(0.1, 100);
    tolerance->setDecimals(1);
    tolerance->setSingleStep(0.5);
    tolerance->setSuffix(QStringLiteral(" ドット"));
    tolerance->setKeyboardTracking(false);
    tolerance->setToolTip(QStringLiteral("ベクトル化で、書き出す線と線の中心とのずれの上限（0.1〜100 ドット）"));

    // How pictures are read and sized in the first row; the proportions lock, the options in force and
    // the stop button in the second, so that a long threshold method or page count crowds nothing.
    auto* settings = new QHBoxLayout;
    pageLabel = labelFor(page, QStringLiteral("ページ"));
    const std::pair<QWidget*, QWidget*> groups[] = {{pageLabel, page},
                                                    {labelFor(threshold, QStringLiteral("しきい値")), threshold},
                                                    {labelFor(unit, QStringLiteral("単位")), unit},
                                                    {labelFor(dotsPerInch, QStringLiteral("解像度")), dotsPerInch}};
    const int gap = settings->spacing() + fontMetrics().horizontalAdvance(QLatin1Char(' '));
    for (const auto& [first, second] : groups) {
        settings->addWidget(first);
        settings->addWidget(second);
        settings->addSpacing(gap);
    }
    settings->addStretch(1);
    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(2);
    rows->addLayout(settings);
    auto* options = new QHBoxLayout;
    options->addWidget(keepProportions);
    options->addSpacing(gap);
    options->addWidget(summary, 1);
    toleranceLabel = labelFor(tolerance, QStringLiteral("許容誤差"));
    options->addWidget(toleranceLabel);
    options->addWidget(tolerance);
    options->addSpacing(gap);
    options->addWidget(stop);
    rows->addLayout(options);
    showPages(1, 1);
    showTolerance(false);
}

void ExtraControls::showPages(int count, int current) {
    const QSignalBlocker quiet(page);
    page->setRange(1, std::max(1, count));
    page->setSuffix(QStringLiteral(" / %1").arg(std::max(1, count)));
    page->setValue(current);
    page->setVisible(count > 1);
    pageLabel->setVisible(count > 1);
}

void ExtraControls::showTolerance(bool shown) {
    tolerance->setVisible(shown);
    toleranceLabel->setVisible(shown);
}

QList<QWidget*> ExtraControls::settingControls() const {
    return {page, threshold, unit, dotsPerInch, keepProportions, tolerance};
}

}  // namespace kelvarin
