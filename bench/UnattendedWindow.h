// The real frmMain for the benchmarks: message boxes go to the error stream and questions are answered
// yes, so nothing waits for a click.
#pragma once

#include <QAbstractButton>
#include <QRadioButton>

#include <iostream>

#include "app/AppState.h"
#include "app/Startup.h"
#include "fileutil/ProgramLocation.h"
#include "gui/MainWindow.h"

class UnattendedWindow : public kelvarin::MainWindow {
public:
    using MainWindow::MainWindow;
    void showMessage(std::string_view text) override { std::cerr << text << "\n"; }
    bool askYesNo(std::string_view) override { return true; }

    void click(const char* name) { findChild<QAbstractButton*>(name)->click(); }

    // Starts as the program does, shows the window, reads the picture and sets a conversion in both
    // directions to output; false when the program cannot start.
    bool prepareConversion(const char* picture, const char* output) {
        if (!kelvarin::Main(form().state, *this, kelvarin::executablePath())) {
            return false;
        }
        kelvarin::Form_Load(form(), kelvarin::executablePath());
        show();
        setText(kelvarin::textFile(0), picture);
        click("cmdReadFile");
        setText(kelvarin::textFile(1), output);
        findChild<QRadioButton*>("optionMakeLine_2")->setChecked(true);
        return true;
    }
};
