// SPDX-License-Identifier: GPL-3.0-or-later
#include "bitmap/TiffReader.h"

#include <tiffio.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "bitmap/Orientation.h"
#include "bitmap/PackedRows.h"
#include "bitmap/TiffSamples.h"
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

// One-dimensional Group 3 data written without end-of-line codes (libtiff writes them so) are lost on the
// Group 3 decoder, which looks for those codes before each row. The codes are those of modified Huffman
// rows without byte alignment, so a page whose first row does not decode is read as such; what the Group 3
// decoder said becomes the read's note. True when the page is to be read so.
bool readAsRowsWithoutEols(TIFF* tiff, MemoryFile& file) {
    std::uint16_t compression = COMPRESSION_NONE;
    std::uint32_t options = 0;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &compression);
    TIFFGetField(tiff, TIFFTAG_GROUP3OPTIONS, &options);
    if (compression != COMPRESSION_CCITTFAX3 || (options & GROUP3OPT_2DENCODING) != 0 || TIFFIsTiled(tiff)) {
        return false;
    }
    LargeBuffer scanLine(static_cast<std::size_t>(TIFFScanlineSize64(tiff)));
    const bool firstRowRead = TIFFReadScanline(tiff, scanLine.data(), 0, 0) >= 0 && file.error.empty();
    const std::string complaint = file.warnings > 0 ? file.warning : file.error;
    file.error.clear();
    file.warning.clear();
    file.warnings = 0;
    if (firstRowRead || !TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_CCITTRLE) ||
        !TIFFSetField(tiff, TIFFTAG_FAXMODE, FAXMODE_NORTC | FAXMODE_NOEOL)) {
        return false;
    }
    file.warning = complaint;
    file.warnings = 1;
    return true;
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
    readAsRowsWithoutEols(tiff.get(), memory);
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
    data.PageCount = static_cast<std::int32_t>(TIFFNumberOfDirectories(tiff.get()));
}

}  // namespace kelvarin
