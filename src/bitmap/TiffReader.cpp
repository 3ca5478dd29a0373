#include "bitmap/TiffReader.h"

#include <tiffio.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bitmap/PackedRows.h"
#include "common/LargeBuffer.h"
#include "common/TextFormat.h"

namespace kelvarin {

namespace {

// The file in memory as libtiff reads it, and the first error it reported. While pixels are decoded a
// warning counts as an error: the decoders warn about damaged data and fill in the rest of the row.
struct MemoryFile {
    std::span<const std::uint8_t> bytes;
    toff_t position = 0;
    std::string error;
    bool decoding = false;
};

tmsize_t readMemory(thandle_t handle, void* target, tmsize_t size) {
    auto* file = static_cast<MemoryFile*>(handle);
    if (size < 0 || file->position >= file->bytes.size()) {
        return 0;
    }
    const auto count = std::min<toff_t>(static_cast<toff_t>(size), file->bytes.size() - file->position);
    std::memcpy(target, file->bytes.data() + file->position, count);
    file->position += count;
    return static_cast<tmsize_t>(count);
}

tmsize_t writeNothing(thandle_t, void*, tmsize_t) { return -1; }

toff_t seekMemory(thandle_t handle, toff_t offset, int whence) {
    auto* file = static_cast<MemoryFile*>(handle);
    const toff_t base = whence == SEEK_CUR ? file->position : whence == SEEK_END ? file->bytes.size() : 0;
    file->position = base + offset;
    return file->position;
}

int closeNothing(thandle_t) { return 0; }

toff_t sizeOf(thandle_t handle) { return static_cast<MemoryFile*>(handle)->bytes.size(); }

int mapMemory(thandle_t handle, void** base, toff_t* size) {
    auto* file = static_cast<MemoryFile*>(handle);
    *base = const_cast<std::uint8_t*>(file->bytes.data());  // libtiff only reads a mapped file
    *size = file->bytes.size();
    return 1;
}

void unmapNothing(thandle_t, void*, toff_t) {}

int keepError(TIFF*, void* user, const char* /*module*/, const char* format, va_list arguments) {
    auto* file = static_cast<MemoryFile*>(user);
    if (file->error.empty()) {
        char text[512];
        std::vsnprintf(text, sizeof text, format, arguments);
        file->error = text;  // the module is a procedure of the library, of no use to the user
    }
    return 1;  // handled: nothing goes to the terminal
}

// Warnings about the file's tags (unknown ones, odd values) do not matter; see MemoryFile for the rest.
int keepWarning(TIFF* tiff, void* user, const char* module, const char* format, va_list arguments) {
    return static_cast<MemoryFile*>(user)->decoding ? keepError(tiff, user, module, format, arguments) : 1;
}

struct TiffCloser {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

// A line of 16-bit RGBA samples over the widest picture a BMP could hold would take gigabytes.
constexpr auto kLargestBuffer = static_cast<std::size_t>(kLargestRowBuffers);

// The reason is the program's; libtiff's, if it gave one, goes into the details.
[[noreturn]] void refuse(const MemoryFile& file, const std::string& reason) {
    throw ImageRefusal{"TIFF ファイルを読めません: " + reason, file.error};
}

TiffHandle openTiff(MemoryFile& file) {
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (options == nullptr) {
        throw std::bad_alloc();
    }
    TIFFOpenOptionsSetErrorHandlerExtR(options, keepError, &file);
    TIFFOpenOptionsSetWarningHandlerExtR(options, keepWarning, &file);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, tmsize_t{256} << 20);
    TIFF* tiff = TIFFClientOpenExt("input", "r", &file, readMemory, writeNothing, seekMemory, closeNothing, sizeOf,
                                   mapMemory, unmapNothing, options);
    TIFFOpenOptionsFree(options);
    if (tiff == nullptr) {
        refuse(file, "内容が正しくありません");
    }
    return TiffHandle(tiff);
}

void selectPage(TIFF* tiff, MemoryFile& file, std::int32_t page) {
    if (page == 1) {
        return;
    }
    if (page < 1 || !TIFFSetDirectory(tiff, static_cast<tdir_t>(page - 1))) {
        file.error.clear();
        throw ImageRefusal{"ページ " + formatInteger(page) + " はありません（このファイルは " +
                           formatInteger(TIFFNumberOfDirectories(tiff)) + " ページです）"};
    }
}

Resolution resolutionOf(TIFF* tiff) {
    float x = 0;
    float y = 0;
    std::uint16_t unit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_RESOLUTIONUNIT, &unit);
    if (!TIFFGetField(tiff, TIFFTAG_XRESOLUTION, &x) || !TIFFGetField(tiff, TIFFTAG_YRESOLUTION, &y) ||
        unit == RESUNIT_NONE || !(x > 0) || !(y > 0)) {
        return {};
    }
    const double perInch = unit == RESUNIT_CENTIMETER ? 2.54 : 1.0;
    return {x * perInch, y * perInch};
}

// How the samples of one page turn into luminance values.
struct PageLayout {
    std::uint16_t photometric = PHOTOMETRIC_MINISWHITE;
    std::uint16_t bitsPerSample = 1;
    std::uint16_t samplesPerPixel = 1;
    bool alpha = false;  // the last extra sample is (associated or unassociated) alpha
    std::vector<int> paletteLuminance;
};

PageLayout layoutOf(TIFF* tiff) {
    PageLayout layout;
    std::uint16_t planar = PLANARCONFIG_CONTIG;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &layout.bitsPerSample);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &layout.samplesPerPixel);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
    if (!TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &layout.photometric)) {
        layout.photometric = PHOTOMETRIC_MINISWHITE;
    }
    std::uint16_t extraCount = 0;
    std::uint16_t* extraKinds = nullptr;
    if (TIFFGetField(tiff, TIFFTAG_EXTRASAMPLES, &extraCount, &extraKinds) && extraCount > 0) {
        layout.alpha = extraKinds[extraCount - 1] != EXTRASAMPLE_UNSPECIFIED;
    }
    const int colourSamples = layout.photometric == PHOTOMETRIC_RGB ? 3 : 1;
    const bool known = (layout.photometric == PHOTOMETRIC_MINISWHITE || layout.photometric == PHOTOMETRIC_MINISBLACK ||
                        layout.photometric == PHOTOMETRIC_PALETTE || layout.photometric == PHOTOMETRIC_RGB) &&
                       (layout.bitsPerSample == 1 || layout.bitsPerSample == 2 || layout.bitsPerSample == 4 ||
                        layout.bitsPerSample == 8 || layout.bitsPerSample == 16) &&
                       layout.samplesPerPixel >= colourSamples && layout.samplesPerPixel <= colourSamples + 4 &&
                       (planar == PLANARCONFIG_CONTIG || layout.samplesPerPixel == 1) &&
                       (layout.photometric != PHOTOMETRIC_RGB || layout.bitsPerSample >= 8);
    if (!known) {
        throw ImageRefusal{"この TIFF の色の形式は扱えません（Photometric " + formatInteger(layout.photometric) +
                           "、ビット数 " + formatInteger(layout.bitsPerSample) + "、サンプル数 " +
                           formatInteger(layout.samplesPerPixel) + "）"};
    }
    if (layout.photometric == PHOTOMETRIC_PALETTE) {
        std::uint16_t* red = nullptr;
        std::uint16_t* green = nullptr;
        std::uint16_t* blue = nullptr;
        if (!TIFFGetField(tiff, TIFFTAG_COLORMAP, &red, &green, &blue) || layout.bitsPerSample > 8) {
            throw ImageRefusal{"TIFF ファイルを読めません: パレットがありません"};
        }
        for (std::size_t i = 0; i < (std::size_t{1} << layout.bitsPerSample); ++i) {
            layout.paletteLuminance.push_back(luminance(red[i] >> 8, green[i] >> 8, blue[i] >> 8));
        }
    }
    return layout;
}

bool isBilevel(const PageLayout& layout) {
    return layout.bitsPerSample == 1 && layout.samplesPerPixel == 1 &&
           (layout.photometric == PHOTOMETRIC_MINISWHITE || layout.photometric == PHOTOMETRIC_MINISBLACK);
}

// Sample i of a row of samples of the given bit depth, scaled to 0-255 (16-bit samples are host order).
int sampleAt(const std::uint8_t* samples, std::int64_t i, int bits) {
    switch (bits) {
        case 16: {
            std::uint16_t value;
            std::memcpy(&value, samples + 2 * i, sizeof value);
            return value >> 8;
        }
        case 8: return samples[i];
        default: {
            const std::int64_t bit = i * bits;
            const int shift = 8 - bits - static_cast<int>(bit % 8);
            const int value = samples[bit / 8] >> shift & ((1 << bits) - 1);
            return value * 255 / ((1 << bits) - 1);
        }
    }
}

// Turns one decoded scan line of width pixels into a packed row.
class RowConverter {
public:
    RowConverter(const PageLayout& layout, std::int32_t width, int threshold)
        : m_layout(layout),
          m_width(width),
          m_threshold(threshold),
          m_values(isBilevel(layout) ? 0 : static_cast<std::size_t>(width)) {}

    void convert(const std::uint8_t* scanLine, std::uint8_t* row) {
        const std::size_t bytes = (static_cast<std::size_t>(m_width) + 7) / 8;
        if (isBilevel(m_layout)) {
            const bool invert = m_layout.photometric == PHOTOMETRIC_MINISWHITE;
            for (std::size_t i = 0; i < bytes; ++i) {
                row[i] = static_cast<std::uint8_t>(invert ? ~scanLine[i] : scanLine[i]);
            }
            return;
        }
        const int samples = m_layout.samplesPerPixel;
        const int bits = m_layout.bitsPerSample;
        for (std::int32_t x = 0; x < m_width; ++x) {
            const std::int64_t first = static_cast<std::int64_t>(x) * samples;
            int value = 0;
            if (m_layout.photometric == PHOTOMETRIC_RGB) {
                value = luminance(sampleAt(scanLine, first, bits), sampleAt(scanLine, first + 1, bits),
                                  sampleAt(scanLine, first + 2, bits));
            } else if (m_layout.photometric == PHOTOMETRIC_PALETTE) {
                const int bitsValue = sampleAt(scanLine, first, bits) * ((1 << bits) - 1) / 255;
                value = m_layout.paletteLuminance[static_cast<std::size_t>(bitsValue)];
            } else {
                value = sampleAt(scanLine, first, bits);
                if (m_layout.photometric == PHOTOMETRIC_MINISWHITE) {
                    value = 255 - value;
                }
            }
            if (m_layout.alpha) {
                value = overWhite(value, sampleAt(scanLine, first + samples - 1, bits));
            }
            m_values[static_cast<std::size_t>(x)] = static_cast<std::uint8_t>(value);
        }
        packLuminance(m_values.data(), m_width, m_threshold, row);
    }

private:
    const PageLayout& m_layout;
    std::int32_t m_width;
    int m_threshold;
    LargeBuffer m_values;  // luminance values; bilevel rows need none
};

// Refuses, before the picture is allocated, a scan line that would not fit the decoding buffers.
void checkLineSize(TIFF* tiff, MemoryFile& file) {
    const auto lineBytes = static_cast<std::size_t>(TIFFScanlineSize64(tiff));
    if (lineBytes == 0 || lineBytes > kLargestBuffer) {
        refuse(file, "1 行が大きすぎます（" + formatInteger(static_cast<std::int64_t>(lineBytes)) + " バイト）");
    }
}

// The tiles of a tiled page and the scan lines they are assembled into.
struct TileGeometry {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::size_t rowBytes = 0;
    std::size_t bytes = 0;
    std::size_t lineBytes = 0;
};

// A tile far wider than the picture is declared in a few bytes: it is refused, not allocated.
TileGeometry tileGeometryOf(TIFF* tiff, MemoryFile& file) {
    TileGeometry tile;
    TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &tile.width);
    TIFFGetField(tiff, TIFFTAG_TILELENGTH, &tile.height);
    tile.rowBytes = static_cast<std::size_t>(TIFFTileRowSize64(tiff));
    tile.bytes = static_cast<std::size_t>(TIFFTileSize64(tiff));
    tile.lineBytes = static_cast<std::size_t>(TIFFScanlineSize64(tiff));
    if (tile.width == 0 || tile.height == 0 || tile.rowBytes == 0 || tile.lineBytes == 0 ||
        tile.height > kLargestBuffer / tile.lineBytes || tile.bytes > kLargestBuffer) {
        refuse(file, "タイルの大きさが正しくありません");
    }
    return tile;
}

// The bytes of every row buffer the page's decoding takes: the scan line, or a tile and its band of
// lines; luminance values for rows that are not bilevel; the CCITT decoder's two rows of run lengths, or
// the JPEG decoder's bands.
std::int64_t rowBufferBytes(TIFF* tiff, const PageLayout& layout, const TileGeometry* tile, std::int64_t width) {
    const auto lineBytes = static_cast<std::int64_t>(TIFFScanlineSize64(tiff));
    std::int64_t bytes = (isBilevel(layout) ? 0 : width);
    bytes += tile != nullptr ? static_cast<std::int64_t>(tile->bytes) + lineBytes * tile->height : lineBytes;
    std::uint16_t compression = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &compression);
    if (compression == COMPRESSION_CCITTFAX3 || compression == COMPRESSION_CCITTFAX4 ||
        compression == COMPRESSION_CCITTRLE || compression == COMPRESSION_CCITTRLEW) {
        bytes += 8 * (width + 35);
    }
    if (compression == COMPRESSION_JPEG || compression == COMPRESSION_OJPEG) {
        bytes += 32 * lineBytes;  // libjpeg's bands of up to 16 lines, before and after colour conversion
    }
    return bytes;
}

void decodeStrips(TIFF* tiff, MemoryFile& file, PackedRows& rows, RowConverter& converter) {
    LargeBuffer scanLine(static_cast<std::size_t>(TIFFScanlineSize64(tiff)));
    for (std::int32_t y = 0; y < rows.height(); ++y) {
        if (TIFFReadScanline(tiff, scanLine.data(), static_cast<std::uint32_t>(y), 0) < 0 || !file.error.empty()) {
            refuse(file, "行 " + formatInteger(y) + " を読めません");
        }
        converter.convert(scanLine.data(), rows.rowFromTop(y));
    }
}

// Copies count bits from the start of source to target from bit firstBit on, most significant bit first.
void copyBits(const std::uint8_t* source, std::uint8_t* target, std::size_t firstBit, std::size_t count) {
    if (firstBit % 8 == 0) {
        std::memcpy(target + firstBit / 8, source, (count + 7) / 8);
        return;
    }
    for (std::size_t i = 0; i < count; ++i) {
        setPixel(target, static_cast<std::int64_t>(firstBit + i), (source[i / 8] >> (7 - i % 8) & 1) != 0);
    }
}

// Tiles are decoded one row of tiles at a time into a band of whole scan lines.
void decodeTiles(TIFF* tiff, MemoryFile& file, const PageLayout& layout, const TileGeometry& geometry, PackedRows& rows,
                 RowConverter& converter) {
    const std::uint32_t tileWidth = geometry.width;
    const std::uint32_t tileHeight = geometry.height;
    const std::size_t tileRowBytes = geometry.rowBytes;
    const std::size_t lineBytes = geometry.lineBytes;
    LargeBuffer tile(geometry.bytes);
    LargeBuffer band(lineBytes * tileHeight);
    for (std::uint32_t top = 0; top < static_cast<std::uint32_t>(rows.height()); top += tileHeight) {
        for (std::uint32_t left = 0; left < static_cast<std::uint32_t>(rows.width()); left += tileWidth) {
            if (TIFFReadTile(tiff, tile.data(), left, top, 0, 0) < 0 || !file.error.empty()) {
                refuse(file, "タイルを読めません");
            }
            // Tile widths should be multiples of 16, but libtiff takes any width, so a tile may start
            // inside a byte.
            const std::size_t pixelBits = std::size_t{layout.bitsPerSample} * layout.samplesPerPixel;
            const std::size_t firstBit = std::size_t{left} * pixelBits;
            const std::size_t bits = std::min<std::size_t>(tileWidth, rows.width() - left) * pixelBits;
            for (std::uint32_t line = 0; line < tileHeight; ++line) {
                copyBits(tile.data() + line * tileRowBytes, band.data() + line * lineBytes, firstBit, bits);
            }
        }
        for (std::uint32_t line = 0; line < tileHeight && top + line < static_cast<std::uint32_t>(rows.height());
             ++line) {
            converter.convert(band.data() + line * lineBytes, rows.rowFromTop(static_cast<std::int32_t>(top + line)));
        }
    }
}

}  // namespace

void decodeTiff(std::span<const std::uint8_t> file, const ReadOptions& options, BitmapData& data) {
    MemoryFile memory{file, 0, {}};
    const TiffHandle tiff = openTiff(memory);
    selectPage(tiff.get(), memory, options.page);
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    if (!TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width) ||
        !TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height)) {
        refuse(memory, "画像の大きさがありません");
    }
    const PageLayout layout = layoutOf(tiff.get());
    PackedRows::checkSize(width, height);
    checkLineSize(tiff.get(), memory);
    const std::optional<TileGeometry> tiles =
        TIFFIsTiled(tiff.get()) ? std::optional(tileGeometryOf(tiff.get(), memory)) : std::nullopt;
    checkRowBuffers(rowBufferBytes(tiff.get(), layout, tiles ? &*tiles : nullptr, width), width, height);
    PackedRows rows(width, height);
    RowConverter converter(layout, rows.width(), options.threshold);
    memory.decoding = true;
    if (tiles) {
        decodeTiles(tiff.get(), memory, layout, *tiles, rows, converter);
    } else {
        decodeStrips(tiff.get(), memory, rows, converter);
    }
    std::move(rows).install(data, resolutionOf(tiff.get()));
    data.PageCount = static_cast<std::int32_t>(TIFFNumberOfDirectories(tiff.get()));
}

}  // namespace kelvarin
