// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kelvarin {

class Cp932Codec;

// The string a line reads as on a drawing: blanks at the ends, between Japanese characters and after a
// number's decimal sign dropped, and a dot or a bar standing apart at either end, and the signs of dimensions the
// engine reads as look-alikes put right: φ (read as の, Ø, ⌀, Φ or @ before a number), ± (土 by a number), °, × between
// numbers, and inch and foot marks and quotes as typed (" for ” and ″). Digits stay half or full width as read.
std::string drawingText(const std::string& read);

// Whether the text reads as a drawing's value: a number with the signs drawings put around it (φ24, R3,
// M8×1.25, 4×φ6, 30°, 60±0.05, 1:2, C1). A number starts with 0 only before a decimal point: "08" is "80"
// read upside down.
bool isDrawingValue(const std::string& text);

// The text's characters, each as its UTF-8 bytes.
std::vector<std::string> characters(const std::string& text);

// How many Japanese characters (kana, kanji, full-width forms) the text has.
std::size_t japaneseCharacters(const std::string& text);

// Whether the text is mostly one character other than a digit, three times or more ("YYYY", "入人人人人人"): a
// row of one symbol drawn again and again (a relay's contacts, lamps), not a drawing's words.
bool oneCharacterRepeated(const std::string& text);

// The share of the text's Japanese characters that are of the few straight strokes that hatches, ticks and
// zigzags read as (ノノ, レレ, ンー, ツー); 0 without Japanese characters.
double strokeKanaShare(const std::string& text);

// How many kanji (U+4E00 to U+9FFF) the text has.
std::size_t kanji(const std::string& text);

// The text with the characters code page 932 lacks dropped; dropped counts them.
std::string cp932Text(const std::string& text, Cp932Codec& codec, std::int64_t& dropped);

}  // namespace kelvarin
