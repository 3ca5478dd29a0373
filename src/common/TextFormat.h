// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

namespace kelvarin {

// Plain decimal integer: no padding, "-" for negatives.
std::string formatInteger(std::int64_t value);

// The general number format of every DXF coordinate and of the coupled size field: up to 15 significant
// digits, no trailing zeros, "." as the decimal point, plain notation for decimal exponents -4 to 14 and
// otherwise mantissa, "E", sign and at least two exponent digits (1E-05, 1.23456789012346E+15).
// Independent of the C locale. Throws Overflow for infinities and NaN.
std::string formatGeneral(double value);

// A percentage with the pattern "###": rounded to a whole number (halves away from zero), no leading
// zeros, and empty when it rounds to 0.
std::string formatPercent(double percent);

}  // namespace kelvarin
