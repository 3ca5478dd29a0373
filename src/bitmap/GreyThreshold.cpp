// SPDX-License-Identifier: GPL-3.0-or-later
#include "bitmap/GreyThreshold.h"

#include <algorithm>
#include <cmath>

#include "bitmap/PackedRows.h"
#include "common/TextFormat.h"

namespace kelvarin {

namespace {

// The most grey levels kept whole (one byte each): a picture larger than this is refused for the methods
// that need all of it, rather than taking gigabytes.
constexpr std::int64_t kLargestGreyPicture = std::int64_t{1} << 30;

// Sauvola's threshold: mean * (1 + k * (deviation / range - 1)). A flat area, light or dark, stays white
// (its threshold lies below its mean); a stroke darker than its surroundings turns black.
constexpr double kSauvolaWeight = 0.2;
constexpr double kSauvolaRange = 128;

void packValues(const std::uint8_t* values, std::int32_t count, int threshold, std::uint8_t* row) {
    std::int32_t x = 0;
    for (; x + 8 <= count; x += 8) {
        unsigned byte = 0;
        for (int k = 0; k < 8; ++k) {
            byte = byte << 1 | (values[x + k] >= threshold ? 1u : 0u);
        }
        row[x / 8] = static_cast<std::uint8_t>(byte);
    }
    for (; x < count; ++x) {
        setPixel(row, x, values[x] >= threshold);
    }
}

}  // namespace

int greyLevel(std::int64_t red, std::int64_t green, std::int64_t blue, std::int64_t alpha, std::int64_t maximum) {
    // luminance * 1000 laid over white, all over 1000 * maximum * maximum; at most 65535^3 * 1000 * 255.
    const std::int64_t weighted = 299 * red + 587 * green + 114 * blue;
    const std::int64_t overWhite = weighted * alpha + 1000 * maximum * (maximum - alpha);
    return static_cast<int>(overWhite * 255 / (1000 * maximum * maximum));
}

GreyRows::GreyRows(PackedRows& target, const ReadOptions& options, bool rowsInOrder)
    : m_target(target), m_options(options), m_whole(!rowsInOrder || options.method != ThresholdMethod::Fixed) {
    const std::int64_t pixels = std::int64_t{target.width()} * target.height();
    if (!m_whole) {
        m_line = LargeBuffer(static_cast<std::size_t>(target.width()));
    } else if (pixels > kLargestGreyPicture) {
        throw ImageRefusal{"画像が大きすぎて扱えません（" + formatInteger(target.width()) + " × " +
                           formatInteger(target.height()) + " ドット）"};
    } else {
        m_picture = LargeBuffer(static_cast<std::size_t>(pixels));
    }
}

std::uint8_t* GreyRows::row(std::int32_t y) {
    return m_whole ? m_picture.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(m_target.width())
                   : m_line.data();
}

void GreyRows::rowDone(std::int32_t y) {
    if (!m_whole) {
        packRow(y, m_line.data(), m_options.threshold);
    }
    rowWorked(y);
}

void GreyRows::rowWorked(std::int32_t y) {
    if (m_options.report != nullptr) {
        m_options.report->advance(m_target.width(), static_cast<double>(y + 1) / m_target.height());
    }
}

void GreyRows::packRow(std::int32_t y, const std::uint8_t* values, int threshold) {
    packValues(values, m_target.width(), threshold, m_target.rowFromTop(y));
}

void GreyRows::finish() {
    if (!m_whole) {
        return;
    }
    int threshold = m_options.threshold;
    if (m_options.method == ThresholdMethod::Adaptive) {
        packAdaptive();
        return;
    }
    if (m_options.method == ThresholdMethod::Histogram) {
        std::vector<std::uint64_t> histogram(256);
        for (std::int32_t y = 0; y < m_target.height(); ++y) {
            const std::uint8_t* values = row(y);
            for (std::int32_t x = 0; x < m_target.width(); ++x) {
                ++histogram[values[x]];
            }
            rowWorked(y);
        }
        threshold = histogramThreshold(histogram, threshold);
    }
    for (std::int32_t y = 0; y < m_target.height(); ++y) {
        packRow(y, row(y), threshold);
        rowWorked(y);
    }
}

// Sums over the window come from running column sums (of levels and their squares) over the window's rows,
// and prefix sums of those along the row: linear time whatever the window.
void GreyRows::packAdaptive() {
    const std::int32_t width = m_target.width();
    const std::int32_t height = m_target.height();
    constexpr std::int32_t radius = kAdaptiveWindow / 2;
    std::vector<std::uint64_t> columnSum(static_cast<std::size_t>(width));
    std::vector<std::uint64_t> columnSquares(static_cast<std::size_t>(width));
    std::vector<std::uint64_t> prefixSum(static_cast<std::size_t>(width) + 1);
    std::vector<std::uint64_t> prefixSquares(static_cast<std::size_t>(width) + 1);
    std::vector<std::uint8_t> black(static_cast<std::size_t>(width));
    const auto addRow = [&](std::int32_t y, int sign) {
        const std::uint8_t* values = row(y);
        for (std::int32_t x = 0; x < width; ++x) {
            const std::uint64_t value = values[x];
            columnSum[static_cast<std::size_t>(x)] += sign > 0 ? value : -value;
            columnSquares[static_cast<std::size_t>(x)] += sign > 0 ? value * value : -(value * value);
        }
    };
    for (std::int32_t y = 0; y < std::min(radius, height); ++y) {
        addRow(y, 1);
    }
    for (std::int32_t y = 0; y < height; ++y) {
        if (y + radius < height) {
            addRow(y + radius, 1);
        }
        if (y - radius - 1 >= 0) {
            addRow(y - radius - 1, -1);
        }
        for (std::size_t x = 0; x < static_cast<std::size_t>(width); ++x) {
            prefixSum[x + 1] = prefixSum[x] + columnSum[x];
            prefixSquares[x + 1] = prefixSquares[x] + columnSquares[x];
        }
        const std::int64_t rows = std::min(height - 1, y + radius) - std::max(0, y - radius) + 1;
        const std::uint8_t* values = row(y);
        for (std::int32_t x = 0; x < width; ++x) {
            const auto first = static_cast<std::size_t>(std::max(0, x - radius));
            const auto last = static_cast<std::size_t>(std::min(width - 1, x + radius)) + 1;
            const double count = static_cast<double>(rows * static_cast<std::int64_t>(last - first));
            const double mean = static_cast<double>(prefixSum[last] - prefixSum[first]) / count;
            const double meanSquare = static_cast<double>(prefixSquares[last] - prefixSquares[first]) / count;
            const double deviation = std::sqrt(std::max(0.0, meanSquare - mean * mean));
            const double threshold = mean * (1 + kSauvolaWeight * (deviation / kSauvolaRange - 1));
            // 0 below the threshold, 255 otherwise, packed as a threshold of 128 would.
            black[static_cast<std::size_t>(x)] = values[x] < threshold ? 0 : 255;
        }
        packRow(y, black.data(), 128);
        rowWorked(y);
    }
}

int histogramThreshold(const std::vector<std::uint64_t>& histogram, int fallback) {
    double total = 0;
    double weightedTotal = 0;
    for (std::size_t level = 0; level < histogram.size(); ++level) {
        total += static_cast<double>(histogram[level]);
        weightedTotal += static_cast<double>(level) * static_cast<double>(histogram[level]);
    }
    double dark = 0;
    double weightedDark = 0;
    double best = 0;
    int threshold = fallback;
    // Levels up to and including level are dark; the threshold is the first light level.
    for (std::size_t level = 0; level + 1 < histogram.size(); ++level) {
        dark += static_cast<double>(histogram[level]);
        weightedDark += static_cast<double>(level) * static_cast<double>(histogram[level]);
        const double light = total - dark;
        if (dark == 0 || light == 0) {
            continue;
        }
        const double difference = weightedDark / dark - (weightedTotal - weightedDark) / light;
        const double between = dark * light * difference * difference;
        if (between > best) {
            best = between;
            threshold = static_cast<int>(level) + 1;
        }
    }
    return threshold;
}

}  // namespace kelvarin
