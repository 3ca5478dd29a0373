// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

class QAction;
class QLineEdit;

namespace kelvarin {

// Adds an item to a size field's context menu, below the usual editing items, that fills both size fields
// with the picture's real size in millimetres. The item is named "realSizeMillimetres"; it is enabled
// while available() is true and runs fill() when chosen.
QAction* addRealSizeItem(QLineEdit* field, std::function<bool()> available, std::function<void()> fill);

}  // namespace kelvarin
