// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "common/Toolkit.h"

namespace kelvarin::fuzz {

// A toolkit that shows nothing and answers every question with Yes.
class QuietToolkit : public SilentToolkit {
public:
    bool askYesNo(std::string_view) override { return true; }
};

// A folder of this process for the files a run writes; removed when the process ends.
const std::string& scratchDirectory();

// The running target's own path; the build copies the templates beside it, where the program looks.
const std::string& targetPath();

void writeFile(const std::string& path, std::span<const std::uint8_t> bytes);

// A PNG or TIFF file can declare a picture of up to 2 GiB packed in a few bytes, and a compressed one
// decodes to it from a few kilobytes (CCITT Group 4 codes an unchanged row in one bit), so one input
// would take minutes. Such a file is legal and refused by nothing; the targets skip it. BMP and PNM
// pictures must hold their pixels, so the input's length bounds them.
constexpr std::uint64_t kMostPixels = std::uint64_t{4} << 20;
bool declaresHugePicture(std::span<const std::uint8_t> bytes);

}  // namespace kelvarin::fuzz
