// SPDX-License-Identifier: GPL-3.0-or-later
// The window's answers to the commands: what they read from the controls, set on them, and ask of the user.
#include "gui/MainWindow.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QRadioButton>
#include <QWhatsThis>

#include "common/Error.h"
#include "gui/BusyCursor.h"
#include "gui/ContextHelp.h"
#include "gui/ControlText.h"
#include "gui/ExtraControls.h"
#include "gui/ExtraSettings.h"
#include "gui/FileDialog.h"
#include "gui/HelpWindow.h"
#include "gui/MessageBoxes.h"
#include "gui/PendingProgress.h"
#include "gui/PreviewWidget.h"
#include "gui/QtText.h"
#include "gui/ResultHooks.h"
#include "gui/SizeFieldMenu.h"

namespace kelvarin {

std::string MainWindow::text(Control control) const {
    if (control.name == ControlName::textSize) {
        return numberText(static_cast<const QLineEdit*>(widget(control)));
    }
    return controlText(widget(control));
}

void MainWindow::setText(Control control, std::string_view text) {
    if (control.name == ControlName::textSize) {
        setNumberText(static_cast<QLineEdit*>(widget(control)), text);
    } else {
        setControlText(widget(control), text);
    }
}

void MainWindow::setToolTip(Control control, std::string_view text) { widget(control)->setToolTip(toQString(text)); }

void MainWindow::setEnabled(Control control, bool enabled) { widget(control)->setEnabled(enabled); }

bool MainWindow::isSelected(Control optionButton) const {
    auto* option = qobject_cast<QRadioButton*>(widget(optionButton));
    return option != nullptr && option->isChecked();
}

void MainWindow::setSelection(Control textField, int start, int length) {
    if (auto* field = qobject_cast<QLineEdit*>(widget(textField))) {
        selectCharactersLater(field, start, length);
    }
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

void MainWindow::setTitle(std::string_view title) {
    m_title = title;
    showTitle();
}

void MainWindow::showTitle() {
    const AppState& state = m_form.state;
    const QString picture = state.FileLoaded ? fileNameOf(state.PicturePath) : QString();
    setWindowTitle(picture.isEmpty() ? toQString(m_title) : picture + QStringLiteral(" - ") + toQString(m_title));
}

bool MainWindow::isMinimized() const { return QWidget::isMinimized(); }

double MainWindow::innerWidth() const { return width() * twipsPerPixel(); }
// The preview's share: the extra rows under it are not part of it.
double MainWindow::innerHeight() const { return (height() - extraRowsHeight()) * twipsPerPixel(); }

void MainWindow::closeWindow() { close(); }

std::optional<std::string> MainWindow::showOpenDialog(const FileDialogRequest& request) {
    return runFileDialog(this, request);
}

void MainWindow::showHelpContents(const std::string& helpFile) { m_help->showContents(helpFile); }

void MainWindow::enterContextHelp(const std::string& helpFile) {
    setWhatsThisTopics(m_widgets, m_extras->helpTopics(), helpFile);
    QWhatsThis::enterWhatsThisMode();
}

void MainWindow::setProgressMin(float value) { m_progress->setMin(value); }
void MainWindow::setProgressMax(float value) { m_progress->setMax(value); }
void MainWindow::setProgressValue(float value) { m_progress->setValue(value); }
void MainWindow::setPercentCaption(std::string_view text) { m_progress->setCaption(text); }
void MainWindow::setPercentAlignment(Alignment alignment) { m_progress->setAlignment(alignment); }

void MainWindow::showMessage(std::string_view text) { showDetailedMessage(text, {}); }

void MainWindow::showDetailedMessage(std::string_view text, std::string_view details) {
    if (m_stopped) {
        return;
    }
    m_progress->show();
    m_result->beforeMessage(text);
    const ArrowWhileBusy arrow;
    // Details of a read's failure name the file, unless they already do.
    const bool namesFile =
        m_readingPath.empty() || details.empty() || details.find(m_readingPath) != std::string_view::npos;
    messageBox(windowWording(text), namesFile ? std::string(details) : m_readingPath + ": " + std::string(details));
}

bool MainWindow::askYesNo(std::string_view text) {
    if (m_stopped) {
        return false;
    }
    m_progress->show();
    const ArrowWhileBusy arrow;
    return questionBox(windowWording(text));
}

void MainWindow::messageBox(std::string_view text, std::string_view details) { showMessageBox(this, text, details); }

bool MainWindow::questionBox(std::string_view text) { return askYesNoBox(this, text); }

void MainWindow::processEvents() {
    m_progress->show();
    QCoreApplication::processEvents();
    if (m_stopRequested && m_stoppable) {
        m_stopped = true;
        throw KelvarinError(ErrorCode::Interrupted);
    }
}

}  // namespace kelvarin
