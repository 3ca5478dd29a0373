#include "gui/MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QGroupBox>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <QWhatsThis>

#include <climits>
#include <cmath>

#include "app/BitmapSizeDisplay.h"
#include "app/ConvertCommand.h"
#include "app/FieldBehaviour.h"
#include "app/FileSelection.h"
#include "app/HelpFile.h"
#include "app/ReadCommand.h"
#include "app/RealSize.h"
#include "common/TextFormat.h"
#include "fileutil/Path.h"
#include "gui/FileField.h"
#include "gui/HelpWindow.h"
#include "gui/MessageBoxes.h"
#include "gui/PreviewWidget.h"
#include "gui/QtText.h"
#include "gui/SizeFieldMenu.h"

namespace kelvarin {

namespace {

constexpr double kTwipsPerInch = 1440;

std::pair<int, int> keyOf(Control control) { return {static_cast<int>(control.name), control.index}; }

QWidget* createWidget(const ControlDesign& design, QWidget* parent) {
    const QString caption = toQString(design.caption);
    switch (design.kind) {
        case ControlKind::Label: return new QLabel(caption, parent);
        case ControlKind::TextField: {
            QLineEdit* field =
                design.control.name == ControlName::textFile ? new FileField(parent) : new QLineEdit(parent);
            field->setText(caption);
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

// A cursor shape for the whole application while it lives.
class CursorOverride {
public:
    explicit CursorOverride(Qt::CursorShape shape) { QApplication::setOverrideCursor(shape); }
    ~CursorOverride() { QApplication::restoreOverrideCursor(); }
    CursorOverride(const CursorOverride&) = delete;
    CursorOverride& operator=(const CursorOverride&) = delete;
};

// A message box shows the normal pointer, also during a conversion.
class ArrowWhileBusy {
public:
    ArrowWhileBusy() : m_busy(QApplication::overrideCursor() != nullptr) {
        if (m_busy) {
            QApplication::setOverrideCursor(Qt::ArrowCursor);
        }
    }
    ~ArrowWhileBusy() {
        if (m_busy) {
            QApplication::restoreOverrideCursor();
        }
    }
    ArrowWhileBusy(const ArrowWhileBusy&) = delete;
    ArrowWhileBusy& operator=(const ArrowWhileBusy&) = delete;

private:
    bool m_busy;
};

// The UTF-16 position of the given number of characters of text.
int utf16Position(const QString& text, int characters) {
    int position = 0;
    for (int counted = 0; counted < characters && position < text.size(); ++counted) {
        position += text.at(position).isHighSurrogate() ? 2 : 1;
    }
    return std::min(position, static_cast<int>(text.size()));
}

}  // namespace

MainWindow::MainWindow(AppState& state) : m_form{state, *this} {
    setObjectName("frmMain");
    QFont windowFont = font();
    windowFont.setPointSizeF(8.5);
    setFont(windowFont);
    createControls();
    fitFrames();
    fitLabels();
    createOptionsMenu();
    connectEvents();
    for (int i = 0; i < 2; ++i) {
        addRealSizeItem(
            static_cast<QLineEdit*>(widget(textSize(i))), [this] { return m_form.state.FileLoaded; },
            [this] { run([this] { fillSizesFromResolution(m_form, SizeUnit::Millimetre); }); });
    }
    setTabOrder();
    m_help = new HelpWindow(this);
    resize(pixelsOf({0, 0, kClientWidthTwips, kClientHeightTwips}).size());
    setMinimumSize(minimumClientSize());
    widget(textFile(0))->setFocus();
}

MainWindow::~MainWindow() = default;

double MainWindow::twipsPerPixel() const { return kTwipsPerInch / logicalDpiX(); }

QRect MainWindow::pixelsOf(const TwipsRect& twips) const {
    const double scale = twipsPerPixel();
    const auto pixels = [scale](int value) { return static_cast<int>(std::lround(value / scale)); };
    return {pixels(twips.left), pixels(twips.top), pixels(twips.width), pixels(twips.height)};
}

QWidget* MainWindow::widget(Control control) const {
    const auto found = m_widgets.find(keyOf(control));
    return found == m_widgets.end() ? nullptr : found->second;
}

void MainWindow::createControls() {
    for (const ControlDesign& design : controlDesigns()) {
        QWidget* parent = design.frame == design.control ? static_cast<QWidget*>(this) : widget(design.frame);
        QWidget* control = createWidget(design, parent);
        control->setObjectName(toQString(design.objectName));
        control->setGeometry(pixelsOf(design.geometry));
        control->setEnabled(design.initiallyEnabled);
        if (!design.toolTip.empty()) {
            control->setToolTip(toQString(design.toolTip));
        }
        m_widgets[keyOf(design.control)] = control;
    }
    m_preview = static_cast<PreviewWidget*>(widget(imageOrig));
    m_progressBar = static_cast<QProgressBar*>(widget(pbarCount));
    m_percentLabel = static_cast<QLabel*>(widget(labelPercent));
    for (Control label : {labelPercent, labelBMPSize}) {
        static_cast<QLabel*>(widget(label))->setTextFormat(Qt::PlainText);
    }
}

// The style draws a frame's title and border above its content area: the option buttons move down into
// it, by the same amount in a frame, and the frame grows by as much.
void MainWindow::fitFrames() {
    for (QGroupBox* frame : findChildren<QGroupBox*>(QString(), Qt::FindDirectChildrenOnly)) {
        const QList<QWidget*> buttons = frame->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
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
        frame->resize(frame->width(), std::max(frame->height(), contentBottom + shift + 1 + bottomBorder));
    }
}

// A label's text keeps a space's width from the controls beside it: it is indented past a control that
// reaches into the label, and drawn smaller when it would not fit otherwise.
void MainWindow::fitLabels() {
    for (const ControlDesign& design : controlDesigns()) {
        if (design.kind != ControlKind::Label || design.control == labelPercent || design.control == labelBMPSize) {
            continue;
        }
        auto* label = static_cast<QLabel*>(widget(design.control));
        const int gap = label->fontMetrics().horizontalAdvance(QLatin1Char(' '));
        int indent = 0;
        int room = label->width();
        for (const ControlDesign& other : controlDesigns()) {
            const QRect beside = widget(other.control)->geometry();
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

// Never narrower than the design, nor shorter than the controls above the preview.
QSize MainWindow::minimumClientSize() const {
    QRect controls;
    for (const ControlDesign& design : controlDesigns()) {
        if (design.frame == design.control && design.control != imageOrig) {
            controls |= widget(design.control)->geometry();
        }
    }
    const QSize design = pixelsOf({0, 0, kClientWidthTwips, kClientHeightTwips}).size();
    return {design.width(), controls.bottom() + 1 + (design.width() - 1 - controls.right())};
}

void MainWindow::createOptionsMenu() {
    auto* bar = new QMenuBar(this);
    bar->setObjectName("menuOptions");
    bar->setNativeMenuBar(false);
    bar->setGeometry(pixelsOf({7800, 1680, 1695, 300}));
    QMenu* menu = bar->addMenu(QStringLiteral("オプション"));
    m_strokesAction = menu->addAction(QStringLiteral("ストローク（1 本の線にまとめる）"));
    m_strokesAction->setObjectName("actionStrokes");
    m_strokesAction->setCheckable(true);
    connect(m_strokesAction, &QAction::toggled, this, [this](bool checked) {
        m_form.state.conversionOptions.Strokes = checked;
        m_form.state.conversionOptions.Vectorize = m_form.state.conversionOptions.Vectorize && !checked;
        showConversionOptions();
    });
    // The two ways of drawing the strokes exclude each other.
    m_vectorizeAction = menu->addAction(QStringLiteral("ベクトル化（中心線・円・円弧）"));
    m_vectorizeAction->setObjectName("actionVectorize");
    m_vectorizeAction->setCheckable(true);
    connect(m_vectorizeAction, &QAction::toggled, this, [this](bool checked) {
        m_form.state.conversionOptions.Vectorize = checked;
        m_form.state.conversionOptions.Strokes = m_form.state.conversionOptions.Strokes && !checked;
        showConversionOptions();
    });
    m_despeckleAction = menu->addAction(QString());
    m_despeckleAction->setObjectName("actionDespeckle");
    m_despeckleAction->setCheckable(true);
    connect(m_despeckleAction, &QAction::triggered, this, [this] { askDespeckleSize(); });
    m_optionsLabel = new QLabel(this);
    m_optionsLabel->setObjectName("labelOptions");
    m_optionsLabel->setTextFormat(Qt::PlainText);
    m_optionsLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_optionsLabel->setGeometry(pixelsOf({7800, 2010, 1695, 480}));
    showConversionOptions();
}

void MainWindow::askDespeckleSize() {
    ConversionOptions& options = m_form.state.conversionOptions;
    bool accepted = false;
    const int size = QInputDialog::getInt(this, QStringLiteral("ゴミ取り"),
                                          QStringLiteral("変換の前に取り除く、つながった点のかたまりの最大ドット数\n"
                                                         "（0 で取り除きません）"),
                                          static_cast<int>(std::min<std::int64_t>(options.DespeckleSize, INT_MAX)), 0,
                                          INT_MAX, 1, &accepted);
    if (accepted) {
        options.DespeckleSize = size;
    }
    showConversionOptions();
}

// The menu's marks and the label follow the options that the next conversion uses.
void MainWindow::showConversionOptions() {
    const ConversionOptions& options = m_form.state.conversionOptions;
    const std::string despeckle =
        options.DespeckleSize > 0 ? "ゴミ取り: " + formatInteger(options.DespeckleSize) + " ドット以下" : "";
    m_strokesAction->setChecked(options.Strokes);
    m_vectorizeAction->setChecked(options.Vectorize);
    m_despeckleAction->setChecked(options.DespeckleSize > 0);
    m_despeckleAction->setText(toQString((despeckle.empty() ? "ゴミ取り" : despeckle) + "..."));
    std::string summary = options.Strokes ? "ストローク" : options.Vectorize ? "ベクトル化" : "";
    if (!despeckle.empty()) {
        summary += (summary.empty() ? "" : "\n") + despeckle;
    }
    m_optionsLabel->setText(toQString(summary));
}

void MainWindow::connectEvents() {
    const auto onClick = [this](Control button, std::function<void()> procedure) {
        connect(static_cast<QAbstractButton*>(widget(button)), &QAbstractButton::clicked, this,
                [this, procedure] { run(procedure); });
    };
    onClick(cmdReadFile, [this] { cmdReadFile_Click(m_form); });
    onClick(cmdConvert, [this] { convert(); });
    onClick(cmdEnd, [this] { cmdEnd_Click(m_form); });
    for (int i = 0; i < 3; ++i) {
        onClick(cmdRefer(i), [this, i] { cmdRefer_Click(m_form, i); });
    }
    for (int i = 0; i < 2; ++i) {
        onClick(cmdHelp(i), [this, i] { cmdHelp_Click(m_form, i); });
        onClick(optionColor(i), [this, i] { optionColor_Click(m_form, i); });
        static_cast<FileField*>(widget(textFile(i)))->onFilesDropped = [this,
                                                                        i](const std::vector<std::string>& files) {
            run([this, i, files] { textFile_OLEDragDrop(m_form, i, files); });
        };
    }
    for (Control field :
         {textFile(0), textFile(1), textLayer, textOffset(0), textOffset(1), textSize(0), textSize(1)}) {
        widget(field)->installEventFilter(this);
    }
    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    f1->setContext(Qt::WindowShortcut);
    connect(f1, &QShortcut::activated, this, [this] { showF1Help(); });
}

void MainWindow::setTabOrder() {
    const auto order = tabOrder();
    for (std::size_t i = 0; i + 1 < order.size(); ++i) {
        QWidget::setTabOrder(widget(order[i]), widget(order[i + 1]));
    }
    for (const ControlDesign& design : controlDesigns()) {
        if (design.kind == ControlKind::Label || design.kind == ControlKind::Frame ||
            design.kind == ControlKind::ProgressBar || design.kind == ControlKind::Image) {
            widget(design.control)->setFocusPolicy(Qt::NoFocus);
        }
    }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
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
    procedure();
    showProgress();
    if (m_closePending && !m_form.commandRunning) {
        m_closePending = false;
        close();
    }
}

void MainWindow::convert() {
    // The conversion disables every control, which takes the focus away; it goes back afterwards.
    const QPointer<QWidget> focused = QApplication::focusWidget();
    {
        const CursorOverride busy(Qt::WaitCursor);
        cmdConvert_Click(m_form);
    }
    if (focused != nullptr && focused->isEnabled() && focused->window() == this) {
        focused->setFocus(Qt::OtherFocusReason);
    }
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Form_Resize(m_form);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // A running command still uses the controls: the window closes when it has finished.
    if (m_form.commandRunning) {
        m_closePending = true;
        event->ignore();
        return;
    }
    m_help->close();
    event->accept();
}

std::string MainWindow::text(Control control) const {
    QWidget* target = widget(control);
    if (auto* field = qobject_cast<QLineEdit*>(target)) {
        return toStdString(field->text());
    }
    if (auto* label = qobject_cast<QLabel*>(target)) {
        return toStdString(label->text());
    }
    if (auto* button = qobject_cast<QAbstractButton*>(target)) {
        return toStdString(button->text());
    }
    if (auto* frame = qobject_cast<QGroupBox*>(target)) {
        return toStdString(frame->title());
    }
    return {};
}

void MainWindow::setText(Control control, std::string_view text) {
    QWidget* target = widget(control);
    if (auto* field = qobject_cast<QLineEdit*>(target)) {
        field->setText(toQString(text));
    } else if (auto* label = qobject_cast<QLabel*>(target)) {
        label->setText(toQString(text));
    } else if (auto* button = qobject_cast<QAbstractButton*>(target)) {
        button->setText(toQString(text));
    }
}

void MainWindow::setToolTip(Control control, std::string_view text) { widget(control)->setToolTip(toQString(text)); }

void MainWindow::setEnabled(Control control, bool enabled) { widget(control)->setEnabled(enabled); }

bool MainWindow::isSelected(Control optionButton) const {
    auto* option = qobject_cast<QRadioButton*>(widget(optionButton));
    return option != nullptr && option->isChecked();
}

void MainWindow::setSelection(Control textField, int start, int length) {
    auto* field = qobject_cast<QLineEdit*>(widget(textField));
    if (field == nullptr) {
        return;
    }
    // After the event that gave the focus: a mouse press would otherwise move the caret over it.
    QTimer::singleShot(0, field, [field, start, length] {
        const QString text = field->text();
        const int first = utf16Position(text, start);
        field->setSelection(first, utf16Position(text, start + length) - first);
    });
}

void MainWindow::setPicture(std::shared_ptr<const PreviewPicture> picture) {
    m_preview->setPicture(std::move(picture));
}

void MainWindow::setImageStretch(bool stretch) { m_preview->setStretch(stretch); }

void MainWindow::setImageSize(int widthTwips, int heightTwips) {
    m_preview->resize(pixelsOf({0, 0, widthTwips, heightTwips}).size());
}

double MainWindow::imageLeft() const { return m_preview->x() * twipsPerPixel(); }
double MainWindow::imageTop() const { return m_preview->y() * twipsPerPixel(); }

void MainWindow::setTitle(std::string_view title) { setWindowTitle(toQString(title)); }

bool MainWindow::isMinimized() const { return QWidget::isMinimized(); }

double MainWindow::innerWidth() const { return width() * twipsPerPixel(); }
double MainWindow::innerHeight() const { return height() * twipsPerPixel(); }

void MainWindow::closeWindow() { close(); }

std::optional<std::string> MainWindow::showOpenDialog(const FileDialogRequest& request) {
    QFileDialog dialog(this, toQString(request.title), toQString(GetDirectoryPart(request.initialFile)),
                       toQString(request.filter));
    dialog.setObjectName("commonDialog");
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return toStdString(dialog.selectedFiles().constFirst());
}

void MainWindow::showHelpContents(const std::string& helpFile) { m_help->showContents(helpFile); }

void MainWindow::enterContextHelp(const std::string& helpFile) {
    std::string document;
    const bool readable = readHelpFile(helpFile, document);
    for (const ControlDesign& design : controlDesigns()) {
        if (design.helpTopic == 0) {
            continue;
        }
        const std::string topic = readable ? helpTopicHtml(document, design.helpTopic) : std::string();
        widget(design.control)->setWhatsThis(readable ? toQString(topic) : missingHelpHtml(helpFile));
    }
    QWhatsThis::enterWhatsThisMode();
}

void MainWindow::showF1Help() {
    QWidget* focused = QApplication::focusWidget();
    for (const ControlDesign& design : controlDesigns()) {
        if (widget(design.control) == focused && design.f1Topic != 0) {
            m_help->showTopic(m_form.state.HelpFilePath, design.f1Topic);
            return;
        }
    }
    m_help->showContents(m_form.state.HelpFilePath);
}

void MainWindow::setProgressMin(float value) {
    m_progressMin = value;
    m_progressChanged = true;
}

void MainWindow::setProgressMax(float value) {
    m_progressMax = value;
    m_progressChanged = true;
}

void MainWindow::setProgressValue(float value) {
    m_progressValue = value;
    m_progressChanged = true;
}

void MainWindow::setPercentCaption(std::string_view text) {
    m_caption = text;
    m_progressChanged = true;
}

void MainWindow::setPercentAlignment(Alignment alignment) {
    m_alignment = alignment;
    m_progressChanged = true;
}

void MainWindow::showProgress() {
    if (!m_progressChanged) {
        return;
    }
    m_progressChanged = false;
    const int minimum = static_cast<int>(std::lround(m_progressMin));
    // An empty range would turn the bar into a busy indicator.
    const int maximum = std::max(minimum + 1, static_cast<int>(std::lround(m_progressMax)));
    m_progressBar->setRange(minimum, maximum);
    m_progressBar->setValue(std::clamp(static_cast<int>(std::lround(m_progressValue)), minimum, maximum));
    m_percentLabel->setAlignment((m_alignment == Alignment::Left ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
    m_percentLabel->setText(toQString(m_caption));
}

void MainWindow::showMessage(std::string_view text) {
    showProgress();
    const ArrowWhileBusy arrow;
    showMessageBox(this, text);
}

bool MainWindow::askYesNo(std::string_view text) {
    showProgress();
    const ArrowWhileBusy arrow;
    return askYesNoBox(this, text);
}

void MainWindow::processEvents() {
    showProgress();
    QCoreApplication::processEvents();
}

}  // namespace kelvarin
