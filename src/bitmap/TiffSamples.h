// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <tiffio.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "bitmap/BitmapData.h"
#include "bitmap/GreyThreshold.h"
#include "bitmap/PackedRows.h"

namespace kelvarin {

// Floating point samples run from 0 to 1: they are scaled to 16 bits, outside values clipped.
constexpr std::int64_t kFloatScale = 65535;

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

// Reads what a page's tags say of its samples; throws ImageRefusal for kinds not read.
PageLayout layoutOf(TIFF* tiff);

// One 1-bit sample a pixel, min-is-white or min-is-black: its bits are the packed row's.
bool isBilevel(const PageLayout& layout);

// Turns each decoded scan line of a page into a packed row, bilevel pages bit for bit and the others
// through their grey levels.
class RowConverter {
public:
    RowConverter(const PageLayout& layout, PackedRows& rows, const ReadOptions& options)
        : m_layout(layout),
          m_rows(rows),
          m_grey(isBilevel(layout) ? std::nullopt : std::make_optional<GreyRows>(rows, options)),
          m_maximum(layout.sampleFormat == SAMPLEFORMAT_IEEEFP ? kFloatScale : (1 << layout.bitsPerSample) - 1) {}

    void convert(const std::uint8_t* scanLine, std::int32_t y);
    void finish() {
        if (m_grey) {
            m_grey->finish();
        }
    }

private:
    std::int64_t sample(const std::uint8_t* scanLine, std::int64_t i) const;
    int greyOf(const std::uint8_t* scanLine, std::int64_t first) const;

    const PageLayout& m_layout;
    PackedRows& m_rows;
    std::optional<GreyRows> m_grey;  // bilevel pages need none
    std::int64_t m_maximum;
};

}  // namespace kelvarin
