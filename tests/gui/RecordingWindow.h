// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDebug>
#include <QWidget>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/AppState.h"
#include "gui/MainWindow.h"
#include "support/TestSupport.h"

namespace kelvarin::test {

// The real window, with its message boxes and file dialog answered from queues and recorded, so no test
// waits for a click.
class RecordingWindow : public MainWindow {
public:
    using MainWindow::MainWindow;

    void messageBox(std::string_view text, std::string_view detailText) override {
        messages.emplace_back(text);
        if (!detailText.empty()) {
            details.emplace_back(detailText);
        }
    }
    void realMessageBox(std::string_view text, std::string_view detailText) {
        MainWindow::messageBox(text, detailText);
    }
    bool questionBox(std::string_view text) override {
        messages.emplace_back(text);
        if (answers.empty()) {
            qWarning("unexpected question");
            return false;
        }
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    bool realQuestionBox(std::string_view text) { return MainWindow::questionBox(text); }
    std::optional<std::string> showOpenDialog(const FileDialogRequest& request) override {
        dialogRequests.push_back(request);
        auto answer = dialogAnswers.empty() ? std::nullopt : dialogAnswers.front();
        if (!dialogAnswers.empty()) {
            dialogAnswers.pop_front();
        }
        return answer;
    }
    void processEvents() override {
        MainWindow::processEvents();
        if (duringEvents) {
            duringEvents();
        }
    }

    std::vector<std::string> messages;
    std::vector<std::string> details;  // of the messages that have any
    std::deque<bool> answers;
    std::deque<std::optional<std::string>> dialogAnswers;
    std::vector<FileDialogRequest> dialogRequests;
    std::function<void()> duringEvents;
};

// A window as a user meets it: a program folder with the templates and the help file, a work folder
// with the example picture, the window loaded, shown and active.
struct WindowSession {
    void open();
    void close();
    void clickButton(const char* name);
    void typeInto(const char* name, const QString& text);
    // What kelvarin-cli writes with the arguments for the input (in the work folder as cli.dxf).
    std::string cliDrawing(std::vector<std::string> arguments, const std::string& input);

    std::unique_ptr<ProgramDir> program;
    std::unique_ptr<TempDir> work;
    std::unique_ptr<AppState> state;
    std::unique_ptr<RecordingWindow> window;
    std::string example;
};

template <typename T>
T* find(QWidget* window, const char* name) {
    T* child = window->findChild<T*>(QString::fromLatin1(name));
    if (child == nullptr) {
        qFatal("no control %s", name);
    }
    return child;
}

}  // namespace kelvarin::test
