// Times the window's own conversion: the real frmMain, offscreen, reads the picture given as the first
// argument and converts it in both directions to the second; prints the seconds the conversion took.
#include <QAbstractButton>
#include <QApplication>
#include <QRadioButton>

#include <chrono>
#include <iostream>

#include "app/AppState.h"
#include "app/Startup.h"
#include "fileutil/ProgramLocation.h"
#include "gui/MainWindow.h"

namespace {

// Message boxes go to the error stream and questions are answered yes, so nothing waits for a click.
class UnattendedWindow : public kelvarin::MainWindow {
public:
    using MainWindow::MainWindow;
    void showMessage(std::string_view text) override { std::cerr << text << "\n"; }
    bool askYesNo(std::string_view) override { return true; }
};

void click(QWidget& window, const char* name) { window.findChild<QAbstractButton*>(name)->click(); }

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: window-convert PICTURE OUTPUT.dxf\n";
        return 2;
    }
    QApplication application(argc, argv);
    kelvarin::AppState state;
    UnattendedWindow window(state);
    if (!kelvarin::Main(state, window, kelvarin::executablePath())) {
        return 1;
    }
    kelvarin::Form_Load(window.form(), kelvarin::executablePath());
    window.show();
    window.setText(kelvarin::textFile(0), argv[1]);
    click(window, "cmdReadFile");
    window.setText(kelvarin::textFile(1), argv[2]);
    window.findChild<QRadioButton*>("optionMakeLine_2")->setChecked(true);
    const auto start = std::chrono::steady_clock::now();
    click(window, "cmdConvert");
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    std::cout << seconds.count() << "\n";
    return 0;
}
