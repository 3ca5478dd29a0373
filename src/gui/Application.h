#pragma once

#include <memory>
#include <string>

namespace kelvarin {

class MainWindow;
struct AppState;

// Start-up of the window program: Main runs before any window exists, with message boxes of its own; a
// missing template gives no window. Otherwise the window is created, titled and returned, not yet shown.
std::unique_ptr<MainWindow> startWindow(AppState& state, const std::string& executablePath);

}  // namespace kelvarin
