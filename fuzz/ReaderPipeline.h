// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>

#include "bitmap/ImageFormat.h"

namespace kelvarin::fuzz {

// Runs a file the way the program does, if its first bytes send it to the reader of format: the read
// and its checks, the transfer to the grid, the run extraction along rows and columns, and the DXF file:
// black lines for an input of even length, white lines every third row and column, scaled and offset,
// for an odd one. Refusals and the program's errors are expected outcomes; anything else escapes to the
// fuzzer.
void convertPicture(std::span<const std::uint8_t> file, ImageFormat format);

}  // namespace kelvarin::fuzz
