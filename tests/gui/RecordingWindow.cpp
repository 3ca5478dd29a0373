// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/RecordingWindow.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QTest>

#include <filesystem>
#include <sstream>

#include "app/Startup.h"
#include "cli/CliRun.h"

namespace kelvarin::test {

void WindowSession::open() {
    program = std::make_unique<ProgramDir>();
    std::filesystem::copy_file(resourcePath("KELVARIN.hlp"), program->file("KELVARIN.hlp"));
    work = std::make_unique<TempDir>();
    example = work->file("example.bmp");
    std::filesystem::copy_file(dataPath("cases/example-100x50.bmp"), example);
    state = std::make_unique<AppState>();
    window = std::make_unique<RecordingWindow>(*state);
    QVERIFY(Main(*state, *window, program->file("kelvarin")));
    Form_Load(window->form(), program->file("kelvarin"));
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
}

void WindowSession::close() {
    window.reset();
    state.reset();
    work.reset();
    program.reset();
}

void WindowSession::clickButton(const char* name) {
    auto* button = find<QAbstractButton>(window.get(), name);
    QVERIFY2(button->isEnabled(), name);
    QTest::mouseClick(button, Qt::LeftButton);
}

void WindowSession::typeInto(const char* name, const QString& text) {
    auto* edit = find<QLineEdit>(window.get(), name);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
}

std::string WindowSession::cliDrawing(std::vector<std::string> arguments, const std::string& input) {
    const std::string output = work->file("cli.dxf");
    std::filesystem::remove(output);
    std::istringstream in;
    std::ostringstream out, err;
    arguments.insert(arguments.end(), {"-o", output, input});
    if (runCli(arguments, {program->file("kelvarin-cli"), in, out, err}) != kExitConverted) {
        qWarning("%s", err.str().c_str());
    }
    return readBytes(output);
}

}  // namespace kelvarin::test
