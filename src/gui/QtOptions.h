// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>

namespace kelvarin {

// The first argument before "--" that looks like an option and is none of Qt's own (-platform, -style,
// -display and the like, with one dash or two, a value after "=" or in the next argument), or nothing.
// Checked before any display is looked for, so a mistyped option is reported as such everywhere.
std::optional<std::string> firstUnknownOption(int argc, char** argv);

}  // namespace kelvarin
