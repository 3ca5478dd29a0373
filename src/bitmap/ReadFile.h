// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

#include "bitmap/BitmapData.h"

namespace kelvarin {

class Toolkit;

constexpr std::int32_t ReadBlockSize = 8192;

// Reads the whole file into FileBytes in blocks of ReadBlockSize bytes, showing the progress. A relative
// path is taken from the current directory. Every failure is shown to the user before false is returned;
// FileLength is set as soon as FileBytes is allocated, so it keeps the new length after a failed read.
bool ReadFile(const std::string& path, BitmapData& data, Toolkit& toolkit);

}  // namespace kelvarin
