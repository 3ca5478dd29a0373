// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "CliRuns.h"
#include "FuzzSupport.h"
#include "bitmap/ImageFormat.h"

namespace {

const char* extensionOf(kelvarin::ImageFormat format) {
    switch (format) {
        case kelvarin::ImageFormat::Png: return ".png";
        case kelvarin::ImageFormat::Tiff: return ".tif";
        case kelvarin::ImageFormat::Pnm: return ".pnm";
        case kelvarin::ImageFormat::Pdf: return ".pdf";
        case kelvarin::ImageFormat::Bmp: break;
    }
    return ".bmp";
}

}  // namespace

// The whole command line on the input written to a file: every run ends converted (0) or refused (1).
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kelvarin;
    const std::span<const std::uint8_t> file(data, size);
    if (fuzz::declaresHugePicture(file)) {
        return 0;
    }
    const std::string input = fuzz::scratchDirectory() + "/in" + extensionOf(sniffImageFormat(file));
    fuzz::writeFile(input, file);
    for (const std::vector<std::string>& options : fuzz::kCliOptionSets) {
        const int status =
            fuzz::convertOnCommandLine(fuzz::targetPath(), options, input, fuzz::scratchDirectory() + "/out.dxf");
        if (status != kExitConverted && status != kExitFailed) {
            std::abort();
        }
    }
    return 0;
}
