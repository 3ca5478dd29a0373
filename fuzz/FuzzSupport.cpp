// SPDX-License-Identifier: GPL-3.0-or-later
#include "FuzzSupport.h"

#include <tiffio.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "bitmap/ImageFormat.h"
#include "fileutil/ProgramLocation.h"

namespace kelvarin::fuzz {

namespace {

class ScratchDirectory {
public:
    ScratchDirectory() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/kelvarin-fuzz-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        m_path = pattern;
    }
    ~ScratchDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

std::uint32_t bigEndian32(const std::uint8_t* bytes) {
    return std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 | std::uint32_t{bytes[2]} << 8 | bytes[3];
}

// Width and height of the IHDR chunk, which a PNG file must start with.
std::uint64_t pngPixels(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 24) {
        return 0;
    }
    return std::uint64_t{bigEndian32(&bytes[16])} * bigEndian32(&bytes[20]);
}

struct TiffCloser {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};

int ignoreMessage(TIFF*, void*, const char*, const char*, va_list) { return 1; }

// Width and length of the first page, which is the one read, as libtiff finds them.
std::uint64_t tiffPixels(std::span<const std::uint8_t> bytes) {
    const std::string path = scratchDirectory() + "/size.tif";
    writeFile(path, bytes);
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, ignoreMessage, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, ignoreMessage, nullptr);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, tmsize_t{256} << 20);
    const std::unique_ptr<TIFF, TiffCloser> tiff(TIFFOpenExt(path.c_str(), "r", options));
    TIFFOpenOptionsFree(options);
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    if (!tiff || !TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width) ||
        !TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height)) {
        return 0;
    }
    return std::uint64_t{width} * height;
}

}  // namespace

const std::string& scratchDirectory() {
    static const ScratchDirectory directory;
    return directory.path();
}

const std::string& targetPath() {
    static const std::string path = executablePath();
    return path;
}

void writeFile(const std::string& path, std::span<const std::uint8_t> bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!file) {
        std::abort();
    }
}

bool declaresHugePicture(std::span<const std::uint8_t> bytes) {
    switch (sniffImageFormat(bytes)) {
        case ImageFormat::Png: return pngPixels(bytes) > kMostPixels;
        case ImageFormat::Tiff: return tiffPixels(bytes) > kMostPixels;
        case ImageFormat::Bmp:
        case ImageFormat::Pnm:
        case ImageFormat::Pdf: return false;  // PDF pages are drawn at 24 dpi, within the drawing's limit
    }
    return false;
}

}  // namespace kelvarin::fuzz
