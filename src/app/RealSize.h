// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string_view>

namespace kelvarin {

struct Form;

enum class SizeUnit { Millimetre, Centimetre, Inch };

// "mm", "cm" or "inch".
std::optional<SizeUnit> sizeUnitNamed(std::string_view name);

// Writes the picture's real size into both size fields: its dots divided by the resolution (dots per
// inch along each axis), in unit. dotsPerInch, when above 0, replaces the resolution the file stores.
// Without a resolution the user is told so and false is returned.
bool fillSizesFromResolution(Form& form, SizeUnit unit, double dotsPerInch = 0);

}  // namespace kelvarin
