// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

namespace kelvarin {

class Cp932Codec;

// The string a line reads as on a drawing: blanks at the ends and between Japanese characters dropped,
// and the signs of dimensions the engine reads as look-alikes put right: φ (read as の, Ø, ⌀, Φ or @
// before a number), ± (土 by a number), °, and × between numbers. Digits stay half or full width as read.
std::string drawingText(const std::string& read);

// The text with the characters code page 932 lacks dropped; dropped counts them.
std::string cp932Text(const std::string& text, Cp932Codec& codec, std::int64_t& dropped);

}  // namespace kelvarin
