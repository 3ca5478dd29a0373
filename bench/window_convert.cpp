// SPDX-License-Identifier: GPL-3.0-or-later
// Times the window's own conversion: the real frmMain, offscreen, reads the picture given as the first
// argument and converts it in both directions to the second; prints the seconds the conversion took.
#include <chrono>
#include <iostream>

#include "UnattendedWindow.h"

int main(int argc, char** argv) {
    return measureWindow(argc, argv, "usage: window-convert PICTURE OUTPUT.dxf", [](UnattendedWindow& window) {
        const auto start = std::chrono::steady_clock::now();
        window.click("cmdConvert");
        const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
        std::cout << seconds.count() << "\n";
        return 0;
    });
}
