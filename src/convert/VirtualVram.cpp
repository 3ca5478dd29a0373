#include "convert/VirtualVram.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "bitmap/BmpHeader.h"
#include "common/Error.h"
#include "common/PassState.h"
#include "common/ProgressDisplay.h"
#include "common/TextFormat.h"
#include "common/Toolkit.h"

namespace kelvarin {

namespace {

// Columns flipped together: each row of the grid is visited once per block, a cache-friendly order that
// still moves the progress bar column by column.
constexpr std::int32_t kInvertBlockColumns = 256;

// The eight cells of a packed byte, most significant bit first.
constexpr std::array<std::array<std::uint8_t, 8>, 256> makeUnpackTable() {
    std::array<std::array<std::uint8_t, 8>, 256> table{};
    for (int value = 0; value < 256; ++value) {
        for (int k = 0; k < 8; ++k) {
            table[static_cast<std::size_t>(value)][static_cast<std::size_t>(k)] =
                static_cast<std::uint8_t>(value >> (7 - k) & 1);
        }
    }
    return table;
}
constexpr auto kUnpackTable = makeUnpackTable();

}  // namespace

void VirtualVram::resize(std::int32_t width, std::int32_t height) {
    if (width == m_width && height == m_height) {
        return;
    }
    m_cells = LargeBuffer();
    m_width = 0;
    m_height = 0;
    m_cells = LargeBuffer(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    m_width = width;
    m_height = height;
}

GridSize gridSizeOf(const BmpHeaderBytes& header, const VirtualVram& vram) {
    const GridSize size{bitmapWidth(header), bitmapHeight(header)};
    if (size.width != vram.width() || size.height != vram.height() || size.width <= 0 || size.height <= 0) {
        throw KelvarinError(ErrorCode::SubscriptOutOfRange);
    }
    return size;
}

void TransferToVram(const BitmapData& bitmap, VirtualVram& vram, PassState& pass, Toolkit& toolkit) {
    const std::int32_t width = bitmapWidth(bitmap.BmpHeader);
    const std::int32_t height = bitmapHeight(bitmap.BmpHeader);
    checkBitmapSize(width, height);
    const std::int64_t stride = rowStride(width);
    const std::int64_t needed = stride * height;
    if (needed > static_cast<std::int64_t>(bitmap.PixelBytes.size())) {
        throw KelvarinError(ErrorCode::SubscriptOutOfRange,
                            "画素データが足りません（必要 " + formatInteger(needed) + " バイト、ファイル内 " +
                                formatInteger(static_cast<std::int64_t>(bitmap.PixelBytes.size())) + " バイト）。");
    }
    vram.resize(width, height);  // every cell is written below

    ProgressDisplay progress = ProgressDisplay::forPass(toolkit, pass.PassNumber, height - 1);
    const std::int32_t wholeBytes = width / 8;
    const std::int32_t leftoverBits = width % 8;
    for (std::int32_t y = 0; y < height; ++y) {
        toolkit.doEvents();
        const std::uint8_t* source = bitmap.PixelBytes.data() + stride * y;
        std::uint8_t* cells = vram.row(y);
        for (std::int32_t j = 0; j < wholeBytes; ++j) {
            std::memcpy(cells + 8 * j, kUnpackTable[source[j]].data(), 8);
        }
        if (leftoverBits > 0) {
            std::memcpy(cells + 8 * wholeBytes, kUnpackTable[source[wholeBytes]].data(),
                        static_cast<std::size_t>(leftoverBits));
        }
        toolkit.doEvents(stride);  // once per byte of the row, padding included
        progress.update(y, passFraction(y, height - 1));
    }
    progress.finish();
    ++pass.PassNumber;
}

void InvertVram(const BmpHeaderBytes& header, VirtualVram& vram, PassState& pass, Toolkit& toolkit) {
    const auto [width, height] = gridSizeOf(header, vram);
    ProgressDisplay progress = ProgressDisplay::forPass(toolkit, pass.PassNumber, width - 1);
    for (std::int32_t first = 0; first < width; first += kInvertBlockColumns) {
        const std::int32_t count = std::min(kInvertBlockColumns, width - first);
        for (std::int32_t y = 0; y < height; ++y) {
            std::uint8_t* cells = vram.row(y) + first;
            for (std::int32_t i = 0; i < count; ++i) {
                cells[i] = cells[i] == 0 ? 1 : 0;
            }
            toolkit.doEvents(count);  // once per cell
        }
        for (std::int32_t x = first; x < first + count; ++x) {
            progress.update(x, passFraction(x, width - 1));
        }
    }
    progress.finish();
    ++pass.PassNumber;
}

}  // namespace kelvarin
