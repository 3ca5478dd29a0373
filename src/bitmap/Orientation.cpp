// SPDX-License-Identifier: GPL-3.0-or-later
#include "bitmap/Orientation.h"

#include "bitmap/PackedRows.h"

namespace kelvarin {

namespace {

bool pixelAt(PackedRows& rows, std::int32_t x, std::int32_t y) {
    return (rows.rowFromTop(y)[x / 8] >> (7 - x % 8) & 1) != 0;
}

}  // namespace

PackedRows orientedRows(PackedRows&& stored, int orientation) {
    if (orientation < 2 || orientation > 8) {
        return std::move(stored);
    }
    const std::int32_t width = stored.width();
    const std::int32_t height = stored.height();
    const bool turned = orientation >= 5;
    PackedRows shown(turned ? height : width, turned ? width : height);
    // For each shown pixel (x, y), the stored column and row it comes from.
    const bool mirrorColumns = orientation == 2 || orientation == 3 || orientation == 6 || orientation == 7;
    const bool mirrorRows = orientation == 3 || orientation == 4 || orientation == 7 || orientation == 8;
    for (std::int32_t y = 0; y < shown.height(); ++y) {
        std::uint8_t* row = shown.rowFromTop(y);
        for (std::int32_t x = 0; x < shown.width(); ++x) {
            const std::int32_t across = mirrorColumns ? shown.width() - 1 - x : x;
            const std::int32_t down = mirrorRows ? shown.height() - 1 - y : y;
            setPixel(row, x, turned ? pixelAt(stored, down, across) : pixelAt(stored, across, down));
        }
    }
    return shown;
}

}  // namespace kelvarin
