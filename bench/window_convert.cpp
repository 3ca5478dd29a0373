// Times the window's own conversion: the real frmMain, offscreen, reads the picture given as the first
// argument and converts it in both directions to the second; prints the seconds the conversion took.
#include <QApplication>

#include <chrono>
#include <iostream>

#include "UnattendedWindow.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: window-convert PICTURE OUTPUT.dxf\n";
        return 2;
    }
    QApplication application(argc, argv);
    kelvarin::AppState state;
    UnattendedWindow window(state);
    if (!window.prepareConversion(argv[1], argv[2])) {
        return 1;
    }
    const auto start = std::chrono::steady_clock::now();
    window.click("cmdConvert");
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    std::cout << seconds.count() << "\n";
    return 0;
}
