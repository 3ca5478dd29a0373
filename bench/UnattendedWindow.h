// SPDX-License-Identifier: GPL-3.0-or-later
// The real frmMain for the benchmarks: message boxes go to the error stream and questions are answered
// yes, so nothing waits for a click.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QRadioButton>

#include <iostream>

#include "app/AppState.h"
#include "app/Startup.h"
#include "common/MemoryReturn.h"
#include "fileutil/ProgramLocation.h"
#include "gui/MainWindow.h"

class UnattendedWindow : public kelvarin::MainWindow {
public:
    using MainWindow::MainWindow;
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

protected:
    void messageBox(std::string_view text, std::string_view) override { std::cerr << text << "\n"; }
    bool questionBox(std::string_view) override { return true; }
};

// A benchmark's start, called with PICTURE OUTPUT.dxf: the application and the window, the picture read and
// a conversion in both directions set; then measure(window) gives the exit status. 2 for a wrong call, 1
// when the program cannot start.
template <typename Measure>
int measureWindow(int argc, char** argv, const char* usage, Measure measure) {
    if (argc != 3) {
        std::cerr << usage << "\n";
        return 2;
    }
    kelvarin::returnLargeBlocksOnFree();  // as the window's own main does
    QApplication application(argc, argv);
    kelvarin::AppState state;
    UnattendedWindow window(state);
    if (!window.prepareConversion(argv[1], argv[2])) {
        return 1;
    }
    return measure(window);
}
