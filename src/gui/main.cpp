// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>
#include <QTimer>

#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include "app/AppState.h"
#include "app/Version.h"
#include "common/MemoryReturn.h"
#include "fileutil/ProgramLocation.h"
#include "gui/Application.h"
#include "gui/DesktopIdentity.h"
#include "gui/DisplayCheck.h"
#include "gui/MainWindow.h"
#include "gui/QtOptions.h"
#include "gui/QtTranslations.h"

namespace {

constexpr int kExitUsage = 2;

constexpr const char* kUsage =
    "使い方: kelvarin [オプション] [画像ファイル]\n"
    "白黒の画像を、線の DXF 図面に変換するウィンドウを開きます。画像ファイルを指定すると、\n"
    "開いたあとすぐに読み込みます。一括変換には kelvarin-cli を使います。\n"
    "\n"
    "  -h, --help     この説明を表示して終了します\n"
    "  --version      バージョンを表示して終了します\n"
    "  --             これより後ろは、- で始まっても画像ファイルの名前です\n"
    "\n"
    "Qt の標準オプション（-platform、-style など）も使えます。\n";

// --help and --version are answered before any window system is needed; "--" ends the options.
std::optional<int> answerWithoutWindow(int argc, char** argv) {
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            std::cout << kUsage;
            return 0;
        }
        if (argument == "--version") {
            std::cout << "kelvarin " << kelvarin::kVersionText << "\n";
            return 0;
        }
    }
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
    kelvarin::returnLargeBlocksOnFree();
    if (const std::optional<int> status = answerWithoutWindow(argc, argv)) {
        return *status;
    }
    if (const std::optional<std::string> unknown = kelvarin::firstUnknownOption(argc, argv)) {
        std::cerr << "kelvarin: 不明なオプションです: " << *unknown << "\n\n" << kUsage;
        return kExitUsage;
    }
    if (!kelvarin::displayNamed(argc, argv)) {
        std::cerr << kelvarin::kNoDisplayMessage;
        return kelvarin::kExitNoDisplay;
    }
    kelvarin::watchDisplayStart();
    QApplication application(argc, argv);
    kelvarin::endDisplayWatch();
    // QApplication has taken its own options out of argv; what is left is a picture, after "--" when it
    // looks like an option.
    const int first = argc > 1 && std::strcmp(argv[1], "--") == 0 ? 2 : 1;
    kelvarin::applyDesktopIdentity(application);
    kelvarin::installQtTranslations(application);
    kelvarin::AppState state;
    auto window = kelvarin::startWindow(state, kelvarin::executablePath());
    if (!window) {
        return 1;
    }
    window->show();
    // A picture named on the command line (as the desktop passes an opened file) is read once shown.
    // The path's bytes are kept as given.
    if (argc > first) {
        const std::string picture = argv[first];
        QTimer::singleShot(0, window.get(), [&window, picture] { kelvarin::readPicture(*window, picture); });
    }
    return QApplication::exec();
}
