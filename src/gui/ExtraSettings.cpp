// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/ExtraSettings.h"

#include <QActionGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>

#include <algorithm>
#include <span>

#include "app/BitmapSizeDisplay.h"
#include "app/RealSize.h"
#include "bitmap/BmpHeader.h"
#include "bitmap/ImageFormat.h"
#include "bitmap/PackedRows.h"
#include "common/TextFormat.h"
#include "gui/DesignControls.h"
#include "gui/ExtraControls.h"
#include "gui/OptionsMenu.h"
#include "gui/WindowSettings.h"

namespace kelvarin {

ExtraSettings::ExtraSettings(QWidget* window, Form& form, double twipsPerPixel, Hooks hooks)
    : m_form(form),
      m_hooks(std::move(hooks)),
      m_options(std::make_unique<OptionsMenu>(window, form.state.conversionOptions)) {
    const QRect place = twipsToPixels({7800, 1680, 1695, 300}, twipsPerPixel);
    QPushButton* button = m_options->button();
    button->setGeometry(place.adjusted(0, 0, 0, std::max(0, button->sizeHint().height() - place.height())));
    addThresholdMethods(m_options->menu());
    m_options->addCommand("actionPreview", "結果プレビュー...", [this] { m_hooks.showPreview(); });
    m_controls = new ExtraControls(window, m_options->summaryLabel());
    m_options->onChanged = [this] {
        followOptions();
        if (m_hooks.optionsChanged) {
            m_hooks.optionsChanged();
        }
    };
    connectControls();
    followOptions();
}

ExtraSettings::~ExtraSettings() = default;

QWidget* ExtraSettings::optionsButton() const { return m_options->button(); }

// Grey and colour pictures are thresholded by their histogram or by each pixel's neighbourhood; with
// neither checked, by the fixed threshold.
void ExtraSettings::addThresholdMethods(QMenu* menu) {
    menu->addSeparator();
    auto* group = new QActionGroup(menu);
    group->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    const auto add = [&](const char* name, const char* text, ThresholdMethod method) {
        QAction* action = menu->addAction(QString::fromUtf8(text));
        action->setObjectName(name);
        action->setCheckable(true);
        action->setData(static_cast<int>(method));
        group->addAction(action);
    };
    m_thresholdMethods = group;
    add("actionThresholdAuto", "しきい値を明るさの分布から決める（大津の方法）", ThresholdMethod::Histogram);
    add("actionAdaptive", "しきい値を周りの明るさから決める（Sauvola 法、照明のむら・黄ばみに）",
        ThresholdMethod::Adaptive);
    QObject::connect(group, &QActionGroup::triggered, group, [this, group] {
        QAction* checked = group->checkedAction();
        setThresholdMethod(checked != nullptr ? static_cast<ThresholdMethod>(checked->data().toInt())
                                              : ThresholdMethod::Fixed);
    });
}

void ExtraSettings::setThresholdMethod(ThresholdMethod method) {
    m_form.state.readOptions.method = method;
    for (QAction* action : m_thresholdMethods->actions()) {
        action->setChecked(static_cast<ThresholdMethod>(action->data().toInt()) == method);
    }
    showThresholdMethod();
    rereadGreyPicture();
}

void ExtraSettings::showThresholdMethod() {
    const ThresholdMethod method = m_form.state.readOptions.method;
    ThresholdBox* box = m_controls->threshold;
    box->showMethod(method == ThresholdMethod::Histogram  ? QStringLiteral("自動（大津）")
                    : method == ThresholdMethod::Adaptive ? QStringLiteral("自動（Sauvola）")
                                                          : QString());
    box->setEnabled(!m_commandRunning && method == ThresholdMethod::Fixed);
}

void ExtraSettings::followOptions() {
    const ConversionOptions& options = m_form.state.conversionOptions;
    m_controls->showTolerance(options.Vectorize);
    const QSignalBlocker quiet(m_controls->tolerance);
    m_controls->tolerance->setValue(options.Tolerance);
}

void ExtraSettings::rereadGreyPicture() {
    const AppState& state = m_form.state;
    const std::span<const std::uint8_t> file(state.FileBytes.data(), state.FileBytes.size());
    if (state.FileLoaded && sniffImageFormat(file) != ImageFormat::Bmp) {
        m_hooks.run([this] { m_hooks.readPicture(true); });
    }
}

// A PDF page without a picture of its own is drawn at the resolution given (300 dpi for the file's value),
// as the command line's --dpi draws it, and sized from it.
void ExtraSettings::setDotsPerInch(int dotsPerInch) {
    AppState& state = m_form.state;
    state.readOptions.renderDpi = dotsPerInch > 0 ? dotsPerInch : ReadOptions{}.renderDpi;
    const std::span<const std::uint8_t> file(state.FileBytes.data(), state.FileBytes.size());
    if (state.FileLoaded && sniffImageFormat(file) == ImageFormat::Pdf) {
        m_hooks.run([this] { m_hooks.readPicture(true); });
    }
    if (m_controls->unit->currentIndex() > 0) {
        m_hooks.run([this] { applySizeUnit(); });
    }
}

void ExtraSettings::connectControls() {
    AppState& state = m_form.state;
    ExtraControls* controls = m_controls;
    controls->page->onPageMissing = [this](int page, int count) {
        m_hooks.run([this, page, count] { m_form.view.showMessage(pageMissing(page, count).message); });
    };
    QObject::connect(controls->page, &QSpinBox::valueChanged, controls, [this, &state](int page) {
        state.readOptions.page = page;
        m_hooks.run([this] { m_hooks.readPicture(true); });
    });
    QObject::connect(controls->threshold, &QSpinBox::valueChanged, controls, [this, &state](int threshold) {
        state.readOptions.threshold = threshold;
        rereadGreyPicture();
    });
    QObject::connect(controls->unit, &QComboBox::activated, controls,
                     [this] { m_hooks.run([this] { applySizeUnit(); }); });
    QObject::connect(controls->dotsPerInch, &QSpinBox::valueChanged, controls,
                     [this](int dotsPerInch) { setDotsPerInch(dotsPerInch); });
    QObject::connect(controls->tolerance, &QDoubleSpinBox::valueChanged, controls,
                     [&state](double tolerance) { state.conversionOptions.Tolerance = tolerance; });
    QObject::connect(controls->keepProportions, &QCheckBox::toggled, controls,
                     [&state](bool keep) { state.KeepProportions = keep; });
    QObject::connect(controls->stop, &QPushButton::clicked, controls, [this] { m_hooks.requestStop(); });
}

std::vector<QWidget*> ExtraSettings::tabChain() const {
    std::vector<QWidget*> chain{m_options->button()};
    for (QWidget* control : m_controls->settingControls()) {
        chain.push_back(control);
    }
    chain.push_back(m_controls->stop);
    return chain;
}

void ExtraSettings::setCommandRunning(bool running) {
    m_commandRunning = running;
    m_options->button()->setEnabled(!running);
    for (QWidget* control : m_controls->settingControls()) {
        control->setEnabled(!running);
    }
    showThresholdMethod();
    m_controls->stop->setEnabled(running);
}

void ExtraSettings::pictureRead(bool samePicture) {
    const AppState& state = m_form.state;
    m_controls->showPages(state.FileLoaded ? state.PageCount : 1, state.readOptions.page);
    if (!samePicture) {
        m_options->showFindings({});
    }
    if (state.FileLoaded && !state.SizesKept && m_controls->unit->currentIndex() > 0) {
        applySizeUnit();
    }
}

void ExtraSettings::applySizeUnit() {
    const AppState& state = m_form.state;
    const int unit = m_controls->unit->currentIndex();
    if (!state.FileLoaded) {
        return;
    }
    if (unit == 0) {
        m_form.view.setText(textSize(0), formatInteger(bitmapWidth(state.BmpHeader)));
        m_form.view.setText(textSize(1), formatInteger(bitmapHeight(state.BmpHeader)));
        return;
    }
    constexpr SizeUnit kUnits[] = {SizeUnit::Millimetre, SizeUnit::Centimetre, SizeUnit::Inch};
    fillSizesFromResolution(m_form, kUnits[unit - 1], m_controls->dotsPerInch->value());
}

void ExtraSettings::conversionDone(bool written) {
    OptionFindings findings;
    if (written && m_form.state.conversionOptions.Deskew) {
        findings.skewDegrees = m_form.state.SkewDegrees;
    }
    m_options->showFindings(findings);
}

void ExtraSettings::restore(const WindowSettings& settings) {
    m_controls->threshold->setValue(settings.threshold);
    setThresholdMethod(settings.thresholdMethod);
    m_controls->unit->setCurrentIndex(settings.unit);
    m_controls->dotsPerInch->setValue(settings.dotsPerInch);
    m_controls->keepProportions->setChecked(settings.keepProportions);
    m_form.state.conversionOptions = settings.options;
    m_options->refresh();
    followOptions();
}

void ExtraSettings::store(WindowSettings& settings) const {
    settings.threshold = m_controls->threshold->value();
    settings.thresholdMethod = m_form.state.readOptions.method;
    settings.unit = m_controls->unit->currentIndex();
    settings.dotsPerInch = m_controls->dotsPerInch->value();
    settings.keepProportions = m_controls->keepProportions->isChecked();
    settings.options = m_form.state.conversionOptions;
}

std::vector<std::pair<QWidget*, int>> ExtraSettings::helpTopics() const {
    const ExtraControls& c = *m_controls;
    return {
        {m_options->button(), 18}, {c.pageLabel, 19},       {c.page, 19}, {c.threshold, 20},      {c.unit, 21},
        {c.dotsPerInch, 21},       {c.keepProportions, 22}, {c.stop, 23}, {c.toleranceLabel, 24}, {c.tolerance, 24}};
}

}  // namespace kelvarin
