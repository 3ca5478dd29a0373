// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/ResultHooks.h"

#include <utility>
#include <variant>

#include "dxf/DxfDocument.h"
#include "gui/BusyCursor.h"
#include "gui/QtText.h"
#include "gui/ResultWindow.h"

namespace kelvarin {

ResultHooks::ResultHooks(QWidget* mainWindow, Form& form, Runner run)
    : m_form(form), m_run(std::move(run)), m_window(new ResultWindow(mainWindow)) {
    m_window->onPreviewRequested = [this] { showPreview(); };
}

void ResultHooks::keepOwnPicture() { m_window->keepOwnPicture(); }

bool ResultHooks::convert(const std::function<bool()>& conversion) {
    m_window->clear();
    m_pending = true;
    const bool written = conversion();
    if (written && m_pending) {
        showConversionResult();
    }
    // Once the completion message has closed, the result comes to the front again.
    if (written) {
        m_window->raise();
    }
    m_pending = false;
    return written;
}

void ResultHooks::beforeMessage(std::string_view text) {
    if (m_pending && text == kConversionDoneMessage) {
        showConversionResult();
    }
}

void ResultHooks::showPreview() {
    if (m_form.commandRunning) {
        return;
    }
    m_window->clear();
    m_run([this] {
        const CursorOverride busy(Qt::WaitCursor);
        showResult(previewResult(m_form), true);
    });
}

void ResultHooks::close() { m_window->close(); }

void ResultHooks::pictureChanged() {
    m_window->clear();
    m_window->close();
}

void ResultHooks::showConversionResult() {
    m_pending = false;
    showResult(lastConversionResult(m_form), false);
}

void ResultHooks::showResult(const ResultOrRefusal& result, bool preview) {
    if (const auto* refusal = std::get_if<std::string>(&result)) {
        m_form.view.showMessage(*refusal);
    } else {
        m_window->showResult(std::get<ConversionResult>(result), preview, fileNameOf(m_form.state.PicturePath));
    }
}

}  // namespace kelvarin
