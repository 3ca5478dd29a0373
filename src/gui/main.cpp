#include <QApplication>
#include <QTimer>

#include <cstring>
#include <iostream>

#include "app/AppState.h"
#include "app/Version.h"
#include "fileutil/ProgramLocation.h"
#include "gui/Application.h"
#include "gui/MainWindow.h"
#include "gui/QtTranslations.h"

int main(int argc, char** argv) {
    // Answered before any window system is needed.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::cout << "kelvarin " << kelvarin::kVersionText << "\n";
            return 0;
        }
    }
    QApplication application(argc, argv);
    // Ties the window to its desktop entry (menu name and icon), as Wayland desktops need.
    QGuiApplication::setDesktopFileName(QStringLiteral(KELVARIN_APP_ID));
    kelvarin::installQtTranslations(application);
    kelvarin::AppState state;
    auto window = kelvarin::startWindow(state, kelvarin::executablePath());
    if (!window) {
        return 1;
    }
    window->show();
    // A picture named on the command line (as the desktop passes an opened file) is read once shown.
    // QApplication has taken its own options out of argv; the path's bytes are kept as given.
    if (argc > 1) {
        const std::string picture = argv[1];
        QTimer::singleShot(0, window.get(), [&window, picture] { kelvarin::readPicture(*window, picture); });
    }
    return QApplication::exec();
}
