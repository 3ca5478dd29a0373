// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string_view>

#include "app/Form.h"
#include "app/ResultContent.h"

class QWidget;

namespace kelvarin {

class ResultWindow;

// The result window's part in the main window's commands: what a conversion wrote comes up beside the
// window, already while its completion message waits to be closed, and a preview of what it would write
// on request.
class ResultHooks {
public:
    // Runs an event procedure the way the main window runs its own.
    using Runner = std::function<void(const std::function<void()>&)>;

    ResultHooks(QWidget* mainWindow, Form& form, Runner run);

    ResultWindow* window() const { return m_window; }
    // Before anything may read another picture: the result shown copies the picture it was made from.
    void keepOwnPicture();
    // Runs the conversion, which tells whether it wrote the file, and shows what it wrote.
    bool convert(const std::function<bool()>& conversion);
    // Called before each message: the completion message brings the result up first.
    void beforeMessage(std::string_view text);
    // Not while a read is changing the picture.
    void showPreview();
    void close();
    // Another picture, or another page of it, was read: what was shown belongs to the one before.
    void pictureChanged();

private:
    void showConversionResult();
    void showResult(const ResultOrRefusal& result, bool preview);

    Form& m_form;
    Runner m_run;
    ResultWindow* m_window;
    bool m_pending = false;  // a conversion runs whose result has not been shown
};

}  // namespace kelvarin
