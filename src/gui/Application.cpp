// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/Application.h"

#include <QAbstractButton>

#include "app/FileSelection.h"
#include "app/Startup.h"
#include "common/Toolkit.h"
#include "gui/MainWindow.h"
#include "gui/MessageBoxes.h"

namespace kelvarin {

namespace {

// The toolkit before the window exists: message boxes only.
class StartupToolkit : public SilentToolkit {
public:
    void showMessage(std::string_view text) override { showMessageBox(nullptr, text); }
    void showDetailedMessage(std::string_view text, std::string_view details) override {
        showMessageBox(nullptr, text, details);
    }
    bool askYesNo(std::string_view text) override { return askYesNoBox(nullptr, text); }
};

}  // namespace

std::unique_ptr<MainWindow> startWindow(AppState& state, const std::string& executablePath) {
    StartupToolkit toolkit;
    if (!Main(state, toolkit, executablePath)) {
        return nullptr;
    }
    auto window = std::make_unique<MainWindow>(state);
    Form_Load(window->form(), executablePath);
    window->restoreSettings();
    return window;
}

void readPicture(MainWindow& window, const std::string& path) {
    textFile_OLEDragDrop(window.form(), 0, {path});
    static_cast<QAbstractButton*>(window.widget(cmdReadFile))->click();
}

}  // namespace kelvarin
