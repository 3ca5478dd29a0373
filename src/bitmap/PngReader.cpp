// SPDX-License-Identifier: GPL-3.0-or-later
#include "bitmap/PngReader.h"

#include <spng.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <string>

#include "bitmap/GreyThreshold.h"
#include "bitmap/PackedRows.h"
#include "common/LargeBuffer.h"

namespace kelvarin {

namespace {

struct ContextDeleter {
    void operator()(spng_ctx* context) const { spng_ctx_free(context); }
};
using PngContext = std::unique_ptr<spng_ctx, ContextDeleter>;

// Metadata chunks beyond this are refused rather than held in memory.
constexpr std::size_t kChunkLimit = std::size_t{64} << 20;

void check(int result) {
    if (result == 0 || result == SPNG_EOI) {
        return;
    }
    const bool ended = result == SPNG_IO_EOF || result == SPNG_EOF || result == SPNG_EIDAT_TOO_SHORT;
    if (result == SPNG_EMEM) {
        throw std::bad_alloc();
    }
    // The details say it in Japanese too; the library's own words follow for a report.
    throw ImageRefusal{std::string("PNG ファイルを読めません: ") +
                           (ended ? "ファイルが途中で終わっています" : "内容が正しくありません"),
                       std::string(ended ? "画像データがそろう前にファイルが終わっています"
                                         : "PNG の決まりに合わないデータがあります") +
                           " [libspng: " + spng_strerror(result) + "]"};
}

Resolution resolutionOf(spng_ctx* context) {
    spng_phys physical{};
    if (spng_get_phys(context, &physical) != 0 || physical.unit_specifier != 1 || physical.ppu_x == 0 ||
        physical.ppu_y == 0) {
        return {};
    }
    return {physical.ppu_x * 0.0254, physical.ppu_y * 0.0254};
}

// Which pixels of a row an Adam7 pass holds: first column and step.
constexpr std::array<int, 7> kPassFirstColumn = {0, 4, 0, 2, 0, 1, 0};
constexpr std::array<int, 7> kPassColumnStep = {8, 8, 4, 4, 2, 2, 1};

// The bytes of the row buffers a decoding into pixels of outputPixelBytes takes: libspng's filtered,
// current and previous scan lines and its output row, and the decoded row and luminance values here.
std::int64_t rowBufferBytes(const spng_ihdr& header, std::int64_t outputPixelBytes) {
    std::int64_t channels = 1;
    switch (header.color_type) {
        case SPNG_COLOR_TYPE_TRUECOLOR: channels = 3; break;
        case SPNG_COLOR_TYPE_GRAYSCALE_ALPHA: channels = 2; break;
        case SPNG_COLOR_TYPE_TRUECOLOR_ALPHA: channels = 4; break;
        default: break;
    }
    const std::int64_t width = header.width;
    const std::int64_t scanLine = (width * channels * header.bit_depth + 7) / 8 + 1;
    return 3 * scanLine + 2 * width * outputPixelBytes + width;
}

}  // namespace

void decodePng(std::span<const std::uint8_t> file, const ReadOptions& options, BitmapData& data) {
    PngContext context(spng_ctx_new(0));
    if (!context) {
        throw std::bad_alloc();
    }
    spng_ctx* png = context.get();
    check(spng_set_chunk_limits(png, kChunkLimit, kChunkLimit));
    check(spng_set_png_buffer(png, file.data(), file.size()));
    spng_ihdr header{};
    check(spng_get_ihdr(png, &header));

    spng_trns transparency{};
    const bool grey = header.color_type == SPNG_COLOR_TYPE_GRAYSCALE && header.bit_depth <= 8 &&
                      spng_get_trns(png, &transparency) != 0;
    const bool deep = header.bit_depth == 16;
    const int format = grey ? SPNG_FMT_G8 : deep ? SPNG_FMT_RGBA16 : SPNG_FMT_RGBA8;
    const std::size_t pixelBytes = grey ? 1 : deep ? 8 : 4;
    PackedRows::checkSize(header.width, header.height);
    checkRowBuffers(rowBufferBytes(header, static_cast<std::int64_t>(pixelBytes)), header.width, header.height);
    PackedRows rows(header.width, header.height);
    check(spng_decode_image(png, nullptr, 0, format, SPNG_DECODE_PROGRESSIVE | (grey ? 0 : SPNG_DECODE_TRNS)));

    // A 1-bit picture keeps its bits whatever the threshold method.
    ReadOptions greyOptions = options;
    if (grey && header.bit_depth == 1) {
        greyOptions.threshold = 128;
        greyOptions.method = ThresholdMethod::Fixed;
    }
    const bool interlaced = header.interlace_method != 0;
    GreyRows greyRows(rows, greyOptions, !interlaced);
    const std::int64_t maximum = deep ? 65535 : 255;
    // Samples in host order, as libspng gives them.
    const auto sample = [&](const std::uint8_t* pixel, int i) -> std::int64_t {
        if (!deep) {
            return pixel[i];
        }
        std::uint16_t value;
        std::memcpy(&value, pixel + 2 * i, sizeof value);
        return value;
    };
    LargeBuffer decoded(static_cast<std::size_t>(rows.width()) * pixelBytes);
    int result = 0;
    do {
        spng_row_info row{};
        check(spng_get_row_info(png, &row));
        result = spng_decode_row(png, decoded.data(), decoded.size());
        check(result);
        const int pass = interlaced ? row.pass : 6;
        const auto first = static_cast<std::size_t>(kPassFirstColumn[static_cast<std::size_t>(pass)]);
        const auto step = static_cast<std::size_t>(kPassColumnStep[static_cast<std::size_t>(pass)]);
        const auto y = static_cast<std::int32_t>(row.row_num);
        std::uint8_t* values = greyRows.row(y);
        for (std::size_t x = first; x < static_cast<std::size_t>(rows.width()); x += step) {
            const std::uint8_t* pixel = decoded.data() + x * pixelBytes;
            values[x] = static_cast<std::uint8_t>(
                grey ? pixel[0]
                     : greyLevel(sample(pixel, 0), sample(pixel, 1), sample(pixel, 2), sample(pixel, 3), maximum));
        }
        greyRows.rowDone(y);
    } while (result != SPNG_EOI);
    greyRows.finish();
    std::move(rows).install(data, resolutionOf(png));
}

}  // namespace kelvarin
