#include "bitmap/TiffReader.h"

#include <tiffio.h>

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bitmap/GreyThreshold.h"
#include "bitmap/Orientation.h"
#include "bitmap/PackedRows.h"
#include "common/LargeBuffer.h"
#include "common/TextFormat.h"

namespace kelvarin {

namespace {

// The file in memory as libtiff reads it, the first error it reported and the first warning it gave while
// decoding pixels. The decoders warn about damaged data they decode through (filling in the rest of a
// row): the file is read and the warning becomes a note. In a Group 4 page a warning counts as an error,
// since one bad code shifts every line below it.
struct MemoryFile {
    std::span<const std::uint8_t> bytes;
    toff_t position = 0;
    std::string error;
    std::string warning;
    int warnings = 0;
    bool decoding = false;
    bool warningIsError = false;
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
    auto* file = static_cast<MemoryFile*>(user);
    if (!file->decoding) {
        return 1;
    }
    if (file->warningIsError) {
        return keepError(tiff, user, module, format, arguments);
    }
    if (file->warnings++ == 0) {
        char text[512];
        std::vsnprintf(text, sizeof text, format, arguments);
        file->warning = text;
    }
    return 1;
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
        throw pageMissing(page, TIFFNumberOfDirectories(tiff));
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
    std::uint16_t sampleFormat = SAMPLEFORMAT_UINT;
    bool alpha = false;          // the last extra sample is alpha
    bool premultiplied = false;  // and the colour samples are already multiplied by it
    std::vector<std::uint8_t> paletteGrey;
};

bool knownSampleFormat(const PageLayout& layout) {
    switch (layout.sampleFormat) {
        case SAMPLEFORMAT_UINT:
            return layout.bitsPerSample <= 16 && (layout.bitsPerSample & (layout.bitsPerSample - 1)) == 0;
        case SAMPLEFORMAT_IEEEFP: return layout.bitsPerSample == 16 || layout.bitsPerSample == 32;
        default: return false;
    }
}

PageLayout layoutOf(TIFF* tiff) {
    PageLayout layout;
    std::uint16_t planar = PLANARCONFIG_CONTIG;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &layout.bitsPerSample);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &layout.samplesPerPixel);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
    if (!TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &layout.photometric)) {
        layout.photometric = PHOTOMETRIC_MINISWHITE;
    }
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &layout.sampleFormat);
    std::uint16_t extraCount = 0;
    std::uint16_t* extraKinds = nullptr;
    if (TIFFGetField(tiff, TIFFTAG_EXTRASAMPLES, &extraCount, &extraKinds) && extraCount > 0) {
        layout.alpha = extraKinds[extraCount - 1] != EXTRASAMPLE_UNSPECIFIED;
        layout.premultiplied = extraKinds[extraCount - 1] == EXTRASAMPLE_ASSOCALPHA;
    }
    if (layout.sampleFormat == SAMPLEFORMAT_INT) {
        throw ImageRefusal{"符号付き整数の画素値の TIFF は扱えません"};
    }
    const int colourSamples = layout.photometric == PHOTOMETRIC_RGB ? 3 : 1;
    const bool known = (layout.photometric == PHOTOMETRIC_MINISWHITE || layout.photometric == PHOTOMETRIC_MINISBLACK ||
                        layout.photometric == PHOTOMETRIC_PALETTE || layout.photometric == PHOTOMETRIC_RGB) &&
                       knownSampleFormat(layout) && layout.samplesPerPixel >= colourSamples &&
                       layout.samplesPerPixel <= colourSamples + 4 &&
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
        if (!TIFFGetField(tiff, TIFFTAG_COLORMAP, &red, &green, &blue)) {
            throw ImageRefusal{"TIFF ファイルを読めません: パレットがありません"};
        }
        // libtiff gives 2^bits entries of 16 bits each; 16-bit indices take a table of 65536 greys.
        for (std::size_t i = 0; i < (std::size_t{1} << layout.bitsPerSample); ++i) {
            layout.paletteGrey.push_back(static_cast<std::uint8_t>(greyLevel(red[i], green[i], blue[i], 65535, 65535)));
        }
    }
    return layout;
}

bool isBilevel(const PageLayout& layout) {
    return layout.bitsPerSample == 1 && layout.samplesPerPixel == 1 &&
           (layout.photometric == PHOTOMETRIC_MINISWHITE || layout.photometric == PHOTOMETRIC_MINISBLACK);
}

// Sample i of a row of unsigned samples of the given bit depth (16-bit samples are host order).
std::int64_t sampleAt(const std::uint8_t* samples, std::int64_t i, int bits) {
    switch (bits) {
        case 16: {
            std::uint16_t value;
            std::memcpy(&value, samples + 2 * i, sizeof value);
            return value;
        }
        case 8: return samples[i];
        default: {
            const std::int64_t bit = i * bits;
            const int shift = 8 - bits - static_cast<int>(bit % 8);
            return samples[bit / 8] >> shift & ((1 << bits) - 1);
        }
    }
}

// Floating point samples (16-bit half or 32-bit single, host order) run from 0 to 1: they are scaled to
// 16 bits, outside values clipped.
constexpr std::int64_t kFloatScale = 65535;

std::int64_t floatSampleAt(const std::uint8_t* samples, std::int64_t i, int bits) {
    float value = 0;
    if (bits == 32) {
        std::memcpy(&value, samples + 4 * i, sizeof value);
    } else {
        std::uint16_t half;
        std::memcpy(&half, samples + 2 * i, sizeof half);
        const int exponent = half >> 10 & 0x1F;
        const float fraction = static_cast<float>(half & 0x3FF);
        value = exponent == 0    ? std::ldexp(fraction, -24)
                : exponent == 31 ? (fraction == 0 ? INFINITY : NAN)
                                 : std::ldexp(1024 + fraction, exponent - 25);
        value = (half & 0x8000) != 0 ? -value : value;
    }
    if (!(value > 0)) {
        return 0;
    }
    return value >= 1 ? kFloatScale : static_cast<std::int64_t>(std::lround(value * kFloatScale));
}

// Turns one decoded scan line of width pixels into a packed row, bilevel pages bit for bit and the others
// through their grey levels.
class RowConverter {
public:
    RowConverter(const PageLayout& layout, PackedRows& rows, const ReadOptions& options)
        : m_layout(layout),
          m_rows(rows),
          m_grey(isBilevel(layout) ? std::nullopt : std::make_optional<GreyRows>(rows, options)),
          m_maximum(layout.sampleFormat == SAMPLEFORMAT_IEEEFP ? kFloatScale : (1 << layout.bitsPerSample) - 1) {}

    void convert(const std::uint8_t* scanLine, std::int32_t y) {
        if (isBilevel(m_layout)) {
            std::uint8_t* row = m_rows.rowFromTop(y);
            const std::size_t bytes = (static_cast<std::size_t>(m_rows.width()) + 7) / 8;
            const bool invert = m_layout.photometric == PHOTOMETRIC_MINISWHITE;
            for (std::size_t i = 0; i < bytes; ++i) {
                row[i] = static_cast<std::uint8_t>(invert ? ~scanLine[i] : scanLine[i]);
            }
            return;
        }
        std::uint8_t* values = m_grey->row(y);
        for (std::int32_t x = 0; x < m_rows.width(); ++x) {
            values[x] =
                static_cast<std::uint8_t>(greyOf(scanLine, static_cast<std::int64_t>(x) * m_layout.samplesPerPixel));
        }
        m_grey->rowDone(y);
    }
    void finish() {
        if (m_grey) {
            m_grey->finish();
        }
    }

private:
    std::int64_t sample(const std::uint8_t* scanLine, std::int64_t i) const {
        return m_layout.sampleFormat == SAMPLEFORMAT_IEEEFP ? floatSampleAt(scanLine, i, m_layout.bitsPerSample)
                                                            : sampleAt(scanLine, i, m_layout.bitsPerSample);
    }

    int greyOf(const std::uint8_t* scanLine, std::int64_t first) const {
        if (m_layout.photometric == PHOTOMETRIC_PALETTE) {
            return m_layout.paletteGrey[static_cast<std::size_t>(sample(scanLine, first))];
        }
        const bool rgb = m_layout.photometric == PHOTOMETRIC_RGB;
        std::int64_t red = sample(scanLine, first);
        std::int64_t green = rgb ? sample(scanLine, first + 1) : red;
        std::int64_t blue = rgb ? sample(scanLine, first + 2) : red;
        if (m_layout.photometric == PHOTOMETRIC_MINISWHITE) {
            red = green = blue = m_maximum - red;
        }
        if (!m_layout.alpha) {
            return greyLevel(red, green, blue, m_maximum, m_maximum);
        }
        const std::int64_t alpha = std::min(sample(scanLine, first + m_layout.samplesPerPixel - 1), m_maximum);
        if (!m_layout.premultiplied) {
            return greyLevel(red, green, blue, alpha, m_maximum);
        }
        // Premultiplied colour over white: colour + (1 - alpha) white, each sample at most the maximum.
        const auto overWhite = [&](std::int64_t value) { return std::min(value + m_maximum - alpha, m_maximum); };
        return greyLevel(overWhite(red), overWhite(green), overWhite(blue), m_maximum, m_maximum);
    }

    const PageLayout& m_layout;
    PackedRows& m_rows;
    std::optional<GreyRows> m_grey;  // bilevel pages need none
    std::int64_t m_maximum;
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
        converter.convert(scanLine.data(), y);
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
            converter.convert(band.data() + line * lineBytes, static_cast<std::int32_t>(top + line));
        }
    }
}

}  // namespace

void decodeTiff(std::span<const std::uint8_t> file, const ReadOptions& options, BitmapData& data) {
    MemoryFile memory;
    memory.bytes = file;
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
    RowConverter converter(layout, rows, options);
    std::uint16_t compression = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_COMPRESSION, &compression);
    memory.warningIsError = compression == COMPRESSION_CCITTFAX4;
    memory.decoding = true;
    if (tiles) {
        decodeTiles(tiff.get(), memory, layout, *tiles, rows, converter);
    } else {
        decodeStrips(tiff.get(), memory, rows, converter);
    }
    converter.finish();
    std::uint16_t orientation = ORIENTATION_TOPLEFT;
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_ORIENTATION, &orientation);
    Resolution resolution = resolutionOf(tiff.get());
    if (orientation >= ORIENTATION_LEFTTOP) {
        std::swap(resolution.x, resolution.y);
    }
    orientedRows(std::move(rows), orientation).install(data, resolution);
    if (memory.warnings > 0) {
        data.ReadNote = "TIFF の画素データに不備がありましたが、読み込みました";
        data.ReadNoteDetails =
            memory.warning + (memory.warnings > 1 ? "、ほか " + formatInteger(memory.warnings - 1) + " 件" : "");
    }
}

}  // namespace kelvarin
