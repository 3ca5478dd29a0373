// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>

namespace kelvarin {

class MainWindow;
struct AppState;

// Start-up of the window program: Main runs before any window exists, with message boxes of its own; a
// missing template gives no window. Otherwise the window is created, titled and returned, not yet shown.
std::unique_ptr<MainWindow> startWindow(AppState& state, const std::string& executablePath);

// Opens a picture given to the program: its path goes into the picture field as a dropped file's would,
// and "読み込み" is pressed.
void readPicture(MainWindow& window, const std::string& path);

}  // namespace kelvarin
