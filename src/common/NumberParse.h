// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kelvarin {

// Reads a setting field as a number: optional blanks, an optional sign, digits with an optional
// fraction (".5" and "1." included), an optional exponent, optional blanks. Anything else, the empty
// text included, throws TypeMismatch; a value beyond the double range throws Overflow.
double parseNumber(std::string_view text);

// Rounds to the nearest integer, halves to the even neighbour; Overflow outside the 32-bit range.
std::int32_t roundToInt32(double value);

// The text with leading and trailing blanks (spaces and tabs) removed.
std::string trimBlanks(std::string_view text);

}  // namespace kelvarin
