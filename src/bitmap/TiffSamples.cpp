// SPDX-License-Identifier: GPL-3.0-or-later
#include "bitmap/TiffSamples.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "common/TextFormat.h"

namespace kelvarin {

namespace {

bool knownSampleFormat(const PageLayout& layout) {
    switch (layout.sampleFormat) {
        case SAMPLEFORMAT_UINT:
            return layout.bitsPerSample <= 16 && (layout.bitsPerSample & (layout.bitsPerSample - 1)) == 0;
        case SAMPLEFORMAT_IEEEFP: return layout.bitsPerSample == 16 || layout.bitsPerSample == 32;
        default: return false;
    }
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

// Floating point samples: 16-bit half or 32-bit single, host order.
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

}  // namespace

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
    if (layout.sampleFormat == SAMPLEFORMAT_VOID) {
        layout.sampleFormat = SAMPLEFORMAT_UINT;  // "untyped" samples are read as the writers mean them
    }
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

std::int64_t RowConverter::sample(const std::uint8_t* scanLine, std::int64_t i) const {
    return m_layout.sampleFormat == SAMPLEFORMAT_IEEEFP ? floatSampleAt(scanLine, i, m_layout.bitsPerSample)
                                                        : sampleAt(scanLine, i, m_layout.bitsPerSample);
}

int RowConverter::greyOf(const std::uint8_t* scanLine, std::int64_t first) const {
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

void RowConverter::convert(const std::uint8_t* scanLine, std::int32_t y) {
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

}  // namespace kelvarin
