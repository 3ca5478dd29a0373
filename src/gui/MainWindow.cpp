// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>

#include "app/BitmapSizeDisplay.h"
#include "app/ConvertCommand.h"
#include "app/FieldBehaviour.h"
#include "app/FileSelection.h"
#include "app/ReadCommand.h"
#include "app/RealSize.h"
#include "common/Error.h"
#include "common/NumberParse.h"
#include "fileutil/Path.h"
#include "gui/BusyCursor.h"
#include "gui/ContextHelp.h"
#include "gui/DesignControls.h"
#include "gui/ExtraControls.h"
#include "gui/ExtraSettings.h"
#include "gui/FileField.h"
#include "gui/HelpWindow.h"
#include "gui/PendingProgress.h"
#include "gui/PreviewWidget.h"
#include "gui/QtText.h"
#include "gui/ResultHooks.h"
#include "gui/SizeFieldMenu.h"
#include "gui/WindowSettings.h"

namespace kelvarin {

namespace {

constexpr double kTwipsPerInch = 1440;
constexpr int kMarginTwips = 240;           // of the preview and the extra rows from the window's edges
constexpr int kSmallestPreviewTwips = 600;  // of preview height the smallest window keeps

}  // namespace

MainWindow::MainWindow(AppState& state) : m_form{state, *this} {
    setObjectName("frmMain");
    m_widgets = createDesignControls(this, twipsPerPixel());
    fitFrames(this);
    fitLabels(m_widgets);
    m_preview = static_cast<PreviewWidget*>(widget(imageOrig));
    m_progress = std::make_unique<PendingProgress>(static_cast<QProgressBar*>(widget(pbarCount)),
                                                   static_cast<QLabel*>(widget(labelPercent)));
    createExtraSettings();
    connectEvents();
    for (int i = 0; i < 2; ++i) {
        addRealSizeItem(
            static_cast<QLineEdit*>(widget(textSize(i))), [this] { return m_form.state.FileLoaded; },
            [this] { run([this] { fillSizesFromResolution(m_form, SizeUnit::Millimetre); }); });
    }
    setTabOrder();
    m_help = new HelpWindow(this);
    m_result =
        std::make_unique<ResultHooks>(this, m_form, [this](const std::function<void()>& procedure) { run(procedure); });
    resize(pixelsOf({0, 0, kClientWidthTwips, kClientHeightTwips}).size() + QSize(0, extraRowsHeight()));
    setMinimumSize(minimumClientSize());
    fitToScreen();
    // The rows under the preview widen with a page count or a threshold method's name: so does the window.
    extraControls()->installEventFilter(this);
    const int fieldsEnd = pixelsOf({7560, 0, 0, 0}).x();
    for (const ControlDesign& design : controlDesigns()) {
        QWidget* control = widget(design.control);
        if (design.control == textFile(0) || design.control == textFile(1) || design.control == labelBMPSize ||
            design.control == pbarCount) {
            m_stretched.emplace_back(control, control->geometry());
        } else if (design.frame == design.control && control->x() >= fieldsEnd) {
            m_moved.emplace_back(control, control->geometry());
        }
    }
    m_moved.emplace_back(m_extras->optionsButton(), m_extras->optionsButton()->geometry());
    widget(textFile(0))->setFocus();
}

MainWindow::~MainWindow() = default;

ExtraControls* MainWindow::extraControls() const { return m_extras->controls(); }

ResultWindow* MainWindow::resultWindow() const { return m_result->window(); }

double MainWindow::twipsPerPixel() const { return kTwipsPerInch / logicalDpiX(); }

QRect MainWindow::pixelsOf(const TwipsRect& twips) const { return twipsToPixels(twips, twipsPerPixel()); }

QWidget* MainWindow::widget(Control control) const { return m_widgets.widget(control); }

// Never narrower than the design or the rows under the preview, nor so short that the preview, kept to a
// strip under the controls above it, would reach under those rows.
QSize MainWindow::minimumClientSize() const {
    const QSize design = pixelsOf({0, 0, kClientWidthTwips, kClientHeightTwips}).size();
    const int margin = pixelsOf({0, 0, kMarginTwips, 0}).width();
    const int preview =
        pixelsOf({0, 0, 0, designOf(imageOrig).geometry.top + kMarginTwips + kSmallestPreviewTwips}).height();
    return {std::max(design.width(), extraControls()->minimumSizeHint().width() + 2 * margin),
            preview + extraRowsHeight()};
}

// Opened no larger than the screen's free area, the window's frame included.
void MainWindow::fitToScreen() {
    if (screen() == nullptr) {
        return;
    }
    const QRect available = screen()->availableGeometry();
    const QSize frame = frameGeometry().size() - size();
    resize(size().boundedTo(available.size() - frame).expandedTo(minimumSize()));
    const QSize outer = size() + frame;
    move(std::clamp(x(), available.left(), std::max(available.left(), available.right() + 1 - outer.width())),
         std::clamp(y(), available.top(), std::max(available.top(), available.bottom() + 1 - outer.height())));
}

void MainWindow::createExtraSettings() {
    ExtraSettings::Hooks hooks;
    hooks.run = [this](const std::function<void()>& procedure) { run(procedure); };
    hooks.readPicture = [this](bool sameFile) { readPicture(sameFile); };
    hooks.showPreview = [this] { m_result->showPreview(); };
    hooks.requestStop = [this] { requestStop(); };
    hooks.optionsChanged = [this] { followConversionOptions(); };
    m_extras = std::make_unique<ExtraSettings>(this, m_form, twipsPerPixel(), std::move(hooks));
}

int MainWindow::extraRowsHeight() const {
    return extraControls()->sizeHint().height() + pixelsOf({0, 0, 0, kMarginTwips}).height();
}

void MainWindow::connectEvents() {
    const auto onClick = [this](Control button, std::function<void()> procedure) {
        connect(static_cast<QAbstractButton*>(widget(button)), &QAbstractButton::clicked, this,
                [this, procedure] { run(procedure); });
    };
    onClick(cmdReadFile, [this] { readNamedPicture(); });
    onClick(cmdConvert, [this] { convert(); });
    onClick(cmdEnd, [this] { cmdEnd_Click(m_form); });
    for (int i = 0; i < 3; ++i) {
        onClick(cmdRefer(i), [this, i] { cmdRefer_Click(m_form, i); });
    }
    for (int i = 0; i < 2; ++i) {
        onClick(cmdHelp(i), [this, i] { cmdHelp_Click(m_form, i); });
        onClick(optionColor(i), [this, i] { optionColor_Click(m_form, i); });
        // A picture dropped is read at once, as the field then names it.
        static_cast<FileField*>(widget(textFile(i)))->onFilesDropped = [this,
                                                                        i](const std::vector<std::string>& files) {
            run([this, i, files] {
                if (textFile_OLEDragDrop(m_form, i, files) == 0 && !m_form.commandRunning) {
                    readNamedPicture();
                }
            });
        };
    }
    for (Control field :
         {textFile(0), textFile(1), textLayer, textOffset(0), textOffset(1), textSize(0), textSize(1)}) {
        widget(field)->installEventFilter(this);
    }
    for (QPushButton* button : findChildren<QPushButton*>()) {
        button->installEventFilter(this);
    }
    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    f1->setContext(Qt::WindowShortcut);
    connect(f1, &QShortcut::activated, this, [this] { showF1Help(); });
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, [this] { requestStop(); });
}

// The design's order, then the controls beyond the design.
void MainWindow::setTabOrder() {
    std::vector<QWidget*> chain = designTabChain(m_widgets);
    for (QWidget* control : m_extras->tabChain()) {
        chain.push_back(control);
    }
    for (std::size_t i = 0; i + 1 < chain.size(); ++i) {
        QWidget::setTabOrder(chain[i], chain[i + 1]);
    }
    keepFocusOffDisplays(m_widgets);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == extraControls() && event->type() == QEvent::LayoutRequest) {
        setMinimumSize(minimumClientSize());
    }
    // Enter in the picture field reads the picture it names.
    if (watched == widget(textFile(0)) && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && !m_form.commandRunning) {
            run([this] { readNamedPicture(); });
            return true;
        }
    }
    // Enter presses the focused button, as Space does.
    if (auto* button = qobject_cast<QPushButton*>(watched); button != nullptr && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && button->isEnabled()) {
            button->click();
            return true;
        }
        return QWidget::eventFilter(watched, event);
    }
    const auto isField = [watched, this](Control field) { return watched == widget(field); };
    if (event->type() == QEvent::FocusIn) {
        for (int i = 0; i < 2; ++i) {
            if (isField(textFile(i))) {
                textFile_GotFocus(m_form, i);
            } else if (isField(textOffset(i))) {
                textOffset_GotFocus(m_form, i);
            } else if (isField(textSize(i))) {
                textSize_GotFocus(m_form, i);
            }
        }
        if (isField(textLayer)) {
            textLayer_GotFocus(m_form);
        }
    } else if (event->type() == QEvent::KeyRelease) {
        for (int i = 0; i < 2; ++i) {
            if (isField(textSize(i))) {
                textSize_KeyUp(m_form, i);
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::run(const std::function<void()>& procedure) {
    // The result view reads the picture in place until a command might read another one.
    m_result->keepOwnPicture();
    procedure();
    m_progress->show();
    if (m_closePending && !m_form.commandRunning) {
        m_closePending = false;
        close();
    }
}

void MainWindow::runCommand(const std::function<void()>& command) {
    // The commands disable controls, which takes the focus away; it goes back afterwards.
    const QPointer<QWidget> focused = QApplication::focusWidget();
    m_extras->setCommandRunning(true);
    m_stoppable = true;
    command();
    m_stoppable = false;
    m_extras->setCommandRunning(false);
    followConversionOptions();
    if (std::exchange(m_stopped, false)) {
        showMessage(describe(ErrorCode::Interrupted));
    }
    m_stopRequested = false;
    if (focused != nullptr && focused->isEnabled() && focused->isVisible() && focused->window() == this) {
        focused->setFocus(Qt::OtherFocusReason);
    }
}

void MainWindow::readNamedPicture() { readPicture(trimBlanks(text(textFile(0))) == m_form.state.PicturePath); }

void MainWindow::readPicture(bool sameFile) {
    AppState& state = m_form.state;
    if (!sameFile) {
        state.readOptions.page = 1;
    }
    const std::pair<std::string, std::int32_t> before{state.PicturePath,
                                                      state.PageCount > 1 ? state.readOptions.page : 1};
    m_readingPath = trimBlanks(text(textFile(0)));
    runCommand([this] { cmdReadFile_Click(m_form); });
    m_readingPath.clear();
    if (!state.FileLoaded || before != std::pair{state.PicturePath, state.PageCount > 1 ? state.readOptions.page : 1}) {
        m_result->pictureChanged();
    }
    showTitle();
    // A picture read, however named, makes its folder the one the picture dialog starts in next.
    if (const std::string folder = GetDirectoryPart(state.PicturePath); !folder.empty()) {
        state.DialogDirectory = folder;
    }
    m_extras->pictureRead(sameFile);
}

void MainWindow::followConversionOptions() {
    const ConversionOptions& options = m_form.state.conversionOptions;
    if (!m_form.commandRunning) {
        widget(frameMakeLine)->setEnabled(!options.Vectorize && !options.Strokes);
    }
}

void MainWindow::stretchToWidth() {
    const int extra = std::max(0, width() - pixelsOf({0, 0, kClientWidthTwips, 0}).width());
    for (const auto& [control, design] : m_stretched) {
        control->setGeometry(design.adjusted(0, 0, extra, 0));
    }
    for (const auto& [control, design] : m_moved) {
        control->setGeometry(design.translated(extra, 0));
    }
}

void MainWindow::convert() {
    runCommand([this] {
        const CursorOverride busy(Qt::WaitCursor);
        m_extras->conversionDone(m_result->convert([this] { return cmdConvert_Click(m_form); }));
    });
}

void MainWindow::requestStop() {
    if (m_stoppable) {
        m_stopRequested = true;
    }
}

void MainWindow::restoreSettings() {
    AppState& state = m_form.state;
    WindowSettings defaults;
    defaults.pictureFolder = state.DialogDirectory;
    const WindowSettings settings = loadWindowSettings(defaults);
    m_extras->restore(settings);
    static_cast<QRadioButton*>(widget(optionColor(settings.color)))->setChecked(true);
    optionColor_Click(m_form, settings.color);
    static_cast<QRadioButton*>(widget(optionMakeLine(settings.lines)))->setChecked(true);
    state.DialogDirectory = settings.pictureFolder;
    state.OutputDirectory = settings.outputFolder;
    if (!settings.geometry.isEmpty()) {
        restoreGeometry(settings.geometry);
    }
    followConversionOptions();
    m_remembersSettings = true;
}

void MainWindow::saveSettings() const {
    WindowSettings settings;
    m_extras->store(settings);
    settings.color = isSelected(optionColor(1)) ? 1 : 0;
    settings.lines = isSelected(optionMakeLine(1)) ? 1 : isSelected(optionMakeLine(2)) ? 2 : 0;
    settings.pictureFolder = m_form.state.DialogDirectory;
    settings.outputFolder = m_form.state.OutputDirectory;
    settings.geometry = saveGeometry();
    saveWindowSettings(settings);
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int margin = pixelsOf({0, 0, kMarginTwips, 0}).width();
    const int rows = extraControls()->sizeHint().height();
    extraControls()->setGeometry(margin, height() - margin - rows, std::max(1, width() - 2 * margin), rows);
    stretchToWidth();
    Form_Resize(m_form);
}

void MainWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        fitToScreen();
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // A running command still uses the controls: the window closes when it has finished.
    if (m_form.commandRunning) {
        m_closePending = true;
        event->ignore();
        return;
    }
    m_help->close();
    if (m_remembersSettings) {
        saveSettings();
    }
    m_result->close();
    event->accept();
}

void MainWindow::showF1Help() {
    if (const int topic = f1TopicOf(m_widgets, m_extras->helpTopics(), QApplication::focusWidget()); topic != 0) {
        m_help->showTopic(m_form.state.HelpFilePath, topic);
    } else {
        m_help->showContents(m_form.state.HelpFilePath);
    }
}

}  // namespace kelvarin
