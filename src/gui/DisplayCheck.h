// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace kelvarin {

// Qt aborts, with an English text, when its application object finds no display to show windows on.
// The window says so in Japanese instead and ends with kExitNoDisplay.
inline constexpr int kExitNoDisplay = 1;
inline constexpr const char* kNoDisplayMessage =
    "kelvarin: ウィンドウを表示する画面（ディスプレイ）がありません。\n"
    "デスクトップの中で起動するか、環境変数 DISPLAY を設定してください。"
    "一括変換は画面なしで kelvarin-cli が行います。\n";

// False when no display is named at all: no DISPLAY or WAYLAND_DISPLAY, no QT_QPA_PLATFORM and no
// -platform argument.
bool displayNamed(int argc, char** argv);

// From now until the application object exists, Qt's fatal start-up failure (a named display that
// cannot be reached) ends the program with the message above. endDisplayWatch restores Qt's handler.
void watchDisplayStart();
void endDisplayWatch();

}  // namespace kelvarin
