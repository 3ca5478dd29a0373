// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace kelvarin {

// The full path of the running executable (empty when the system cannot tell).
std::string executablePath();

}  // namespace kelvarin
