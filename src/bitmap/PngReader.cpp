#include "bitmap/PngReader.h"

#include <spng.h>

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "bitmap/GreyThreshold.h"
#include "bitmap/PackedRows.h"

namespace kelvarin {

namespace {

struct ContextDeleter {
    void operator()(spng_ctx* context) const { spng_ctx_free(context); }
};
using PngContext = std::unique_ptr<spng_ctx, ContextDeleter>;

// Metadata chunks beyond this are refused rather than held in memory.
constexpr std::size_t kChunkLimit = std::size_t{64} << 20;

void check(int result) {
    if (result != 0 && result != SPNG_EOI) {
        throw ImageRefusal{std::string("PNG ファイルを読めません: ") + spng_strerror(result)};
    }
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
    PackedRows rows(header.width, header.height);

    spng_trns transparency{};
    const bool grey = header.color_type == SPNG_COLOR_TYPE_GRAYSCALE && header.bit_depth <= 8 &&
                      spng_get_trns(png, &transparency) != 0;
    const bool deep = header.bit_depth == 16;
    const int format = grey ? SPNG_FMT_G8 : deep ? SPNG_FMT_RGBA16 : SPNG_FMT_RGBA8;
    check(spng_decode_image(png, nullptr, 0, format, SPNG_DECODE_PROGRESSIVE | (grey ? 0 : SPNG_DECODE_TRNS)));

    // A 1-bit picture keeps its bits whatever the threshold method.
    ReadOptions greyOptions = options;
    if (grey && header.bit_depth == 1) {
        greyOptions.threshold = 128;
        greyOptions.method = ThresholdMethod::Fixed;
    }
    const bool interlaced = header.interlace_method != 0;
    GreyRows greyRows(rows, greyOptions, !interlaced);
    const std::size_t channels = grey ? 1 : 4;
    const std::int64_t maximum = deep ? 65535 : 255;
    std::vector<std::uint16_t> decoded(static_cast<std::size_t>(rows.width()) * channels);
    std::vector<std::uint8_t> decoded8(deep ? 0 : decoded.size());
    int result = 0;
    do {
        spng_row_info row{};
        check(spng_get_row_info(png, &row));
        if (deep) {
            result = spng_decode_row(png, decoded.data(), decoded.size() * 2);
        } else {
            result = spng_decode_row(png, decoded8.data(), decoded8.size());
            std::copy(decoded8.begin(), decoded8.end(), decoded.begin());
        }
        check(result);
        const int pass = interlaced ? row.pass : 6;
        const auto first = static_cast<std::size_t>(kPassFirstColumn[static_cast<std::size_t>(pass)]);
        const auto step = static_cast<std::size_t>(kPassColumnStep[static_cast<std::size_t>(pass)]);
        const auto y = static_cast<std::int32_t>(row.row_num);
        std::uint8_t* values = greyRows.row(y);
        for (std::size_t x = first; x < static_cast<std::size_t>(rows.width()); x += step) {
            const std::uint16_t* pixel = decoded.data() + x * channels;
            values[x] =
                static_cast<std::uint8_t>(grey ? pixel[0] : greyLevel(pixel[0], pixel[1], pixel[2], pixel[3], maximum));
        }
        greyRows.rowDone(y);
    } while (result != SPNG_EOI);
    greyRows.finish();
    std::move(rows).install(data, resolutionOf(png));
}

}  // namespace kelvarin
