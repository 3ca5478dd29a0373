// SPDX-License-Identifier: GPL-3.0-or-later
#include "convert/VirtualVram.h"

#include <cstring>

#include "bitmap/BmpHeader.h"
#include "common/Error.h"
#include "common/PassState.h"
#include "common/ProgressDisplay.h"
#include "common/TextFormat.h"
#include "common/Toolkit.h"

namespace kelvarin {

void VirtualVram::attach(std::span<const std::uint8_t> rows, std::int32_t width, std::int32_t height,
                         std::int64_t stride) {
    m_rows = rows.data();
    m_stride = stride;
    m_width = width;
    m_height = height;
    m_wordsPerRow = static_cast<std::int32_t>((static_cast<std::int64_t>(width) + 63) / 64);
    m_wholeWords = static_cast<std::int32_t>(stride / 8);
    const int lastBits = width % 64;
    m_lastWordMask = lastBits == 0 ? ~std::uint64_t{0} : ~(~std::uint64_t{0} >> lastBits);
    m_flip = 0;
}

std::uint64_t VirtualVram::loadPart(const std::uint8_t* bytes, std::int32_t index) const {
    // The row's last bytes: a word would run past its padding, and past the data for the last row.
    std::uint8_t padded[8] = {};
    std::memcpy(padded, bytes, static_cast<std::size_t>(m_stride - static_cast<std::int64_t>(index) * 8));
    return load(padded);
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
    vram.detach();
    checkBitmapSize(width, height);
    const std::int64_t stride = rowStride(width);
    const std::int64_t needed = stride * height;
    if (needed > static_cast<std::int64_t>(bitmap.PixelBytes.size())) {
        throw KelvarinError(ErrorCode::SubscriptOutOfRange,
                            "画素データが足りません（必要 " + formatInteger(needed) + " バイト、ファイル内 " +
                                formatInteger(static_cast<std::int64_t>(bitmap.PixelBytes.size())) + " バイト）。");
    }
    vram.attach(bitmap.PixelBytes, width, height, stride);
    ProgressDisplay progress = ProgressDisplay::forPass(toolkit, pass.PassNumber, height - 1);
    progress.sweep(height - 1, height - 1);
    progress.finish();
    ++pass.PassNumber;
}

void InvertVram(const BmpHeaderBytes& header, VirtualVram& vram, PassState& pass, Toolkit& toolkit) {
    const auto [width, height] = gridSizeOf(header, vram);
    ProgressDisplay progress = ProgressDisplay::forPass(toolkit, pass.PassNumber, width - 1);
    vram.invert();
    progress.sweep(width - 1, width - 1);
    progress.finish();
    ++pass.PassNumber;
}

}  // namespace kelvarin
