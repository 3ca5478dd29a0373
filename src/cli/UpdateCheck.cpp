// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/UpdateCheck.h"

#include <filesystem>

namespace kelvarin {

bool drawingIsCurrent(const std::string& picture, const std::string& drawing) {
    std::error_code pictureError;
    std::error_code drawingError;
    const auto pictureTime = std::filesystem::last_write_time(picture, pictureError);
    const auto drawingTime = std::filesystem::last_write_time(drawing, drawingError);
    return !pictureError && !drawingError && std::filesystem::is_regular_file(drawing, drawingError) &&
           drawingTime >= pictureTime;
}

}  // namespace kelvarin
