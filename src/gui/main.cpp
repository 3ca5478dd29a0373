#include <QApplication>

#include "app/AppState.h"
#include "fileutil/ProgramLocation.h"
#include "gui/Application.h"
#include "gui/MainWindow.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    kelvarin::AppState state;
    auto window = kelvarin::startWindow(state, kelvarin::executablePath());
    if (!window) {
        return 1;
    }
    window->show();
    return QApplication::exec();
}
