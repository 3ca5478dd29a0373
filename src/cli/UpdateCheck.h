// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace kelvarin {

// The drawing exists and was written no earlier than the picture was last changed, so converting again
// would give the same file.
bool drawingIsCurrent(const std::string& picture, const std::string& drawing);

}  // namespace kelvarin
