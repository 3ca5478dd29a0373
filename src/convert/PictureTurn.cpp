// SPDX-License-Identifier: GPL-3.0-or-later
#include "convert/PictureTurn.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <vector>

namespace kelvarin {

namespace {

// The 64 cells of row y from column first on, leftmost in the most significant bit; 0 outside the grid.
std::uint64_t cellsFrom(const VirtualVram& grid, std::int32_t y, std::int64_t first) {
    const std::int64_t index = first >= 0 ? first / 64 : -((63 - first) / 64);
    const auto shift = static_cast<int>(first - index * 64);
    const auto wordAt = [&](std::int64_t i) {
        return i >= 0 && i < grid.wordsPerRow() ? grid.word(y, static_cast<std::int32_t>(i)) : std::uint64_t{0};
    };
    const std::uint64_t high = wordAt(index);
    return shift == 0 ? high : high << shift | wordAt(index + 1) >> (64 - shift);
}

// The first column after from at which key (monotonic along the row) differs from key(from); limit when
// none does before it. estimate, from the unrounded formula, is where it should be, give or take a cell.
template <typename Key>
std::int64_t nextChange(std::int64_t from, std::int64_t limit, double estimate, Key key) {
    const std::int64_t value = key(from);
    std::int64_t x = limit;
    if (std::isfinite(estimate) && estimate < static_cast<double>(limit)) {
        x = std::max(from + 1, static_cast<std::int64_t>(std::ceil(estimate)));
    }
    while (x > from + 1 && key(x - 1) != value) {
        --x;
    }
    while (x < limit && key(x) == value) {
        ++x;
    }
    return x;
}

// Where floor(base + slope × x) first passes the whole number it has at x = from.
double crossing(double base, double slope, std::int64_t from) {
    if (slope == 0) {
        return std::numeric_limits<double>::infinity();
    }
    const double start = std::floor(base + slope * static_cast<double>(from));
    return ((slope > 0 ? start + 1 : start) - base) / slope;
}

// Copies the cells of source row sourceY, columns first + shift .., into the words of a turned row at
// columns first .. last - 1.
void copyStretch(const VirtualVram& source, std::int64_t sourceY, std::int64_t shift, std::int64_t first,
                 std::int64_t last, std::vector<std::uint64_t>& words) {
    if (sourceY < 0 || sourceY >= source.height()) {
        return;
    }
    for (std::int64_t word = first / 64; word * 64 < last; ++word) {
        const std::int64_t low = std::max(first, word * 64) - word * 64;
        const std::int64_t high = std::min(last, word * 64 + 64) - word * 64;
        const std::uint64_t mask = ~std::uint64_t{0} >> low & ~std::uint64_t{0} << (64 - high);
        words[static_cast<std::size_t>(word)] |=
            cellsFrom(source, static_cast<std::int32_t>(sourceY), word * 64 + shift) & mask;
    }
}

}  // namespace

TurnMapping::TurnMapping(std::int32_t width, std::int32_t height, double degrees)
    : m_centreX((width - 1) / 2.0),
      m_centreY((height - 1) / 2.0),
      m_cos(std::cos(degrees * std::numbers::pi / 180)),
      m_sin(std::sin(degrees * std::numbers::pi / 180)) {}

// The turn carries source point s onto c + R(degrees)(s - c), so cell p comes from c + R(-degrees)(p - c).
TurnMapping::Row TurnMapping::row(std::int64_t y) const {
    Row row;
    const double up = static_cast<double>(y) - m_centreY;
    row.m_x = m_centreX + up * m_sin;
    row.m_y = m_centreY + up * m_cos;
    row.m_centreX = m_centreX;
    row.m_cos = m_cos;
    row.m_sin = m_sin;
    return row;
}

void turnGrid(const VirtualVram& source, double degrees, TurnedGrid& turned, WorkReport& report) {
    const std::int32_t width = source.width();
    const std::int32_t height = source.height();
    const std::int64_t stride = std::int64_t{source.wordsPerRow()} * 8;
    turned.rows = LargeBuffer(static_cast<std::size_t>(stride * height));
    const TurnMapping mapping(width, height, degrees);
    std::vector<std::uint64_t> words(static_cast<std::size_t>(source.wordsPerRow()));
    for (std::int32_t y = 0; y < height; ++y) {
        std::fill(words.begin(), words.end(), 0);
        const TurnMapping::Row row = mapping.row(y);
        // Along the row the source row steps every 1 / sin cells, and the source column falls one behind
        // every 1 / (1 - cos) cells; between those steps the cells come over in one piece.
        const auto shiftAt = [&](std::int64_t x) { return row.sourceX(x) - x; };
        const auto rowAt = [&](std::int64_t x) { return row.sourceY(x); };
        for (std::int64_t x = 0; x < width;) {
            const std::int64_t rowEnd = nextChange(x, width, crossing(row.yBase(), -row.sin(), x), rowAt);
            const std::int64_t end = nextChange(x, rowEnd, crossing(row.xBase(), row.cos() - 1, x), shiftAt);
            copyStretch(source, rowAt(x), shiftAt(x), x, end, words);
            x = end;
        }
        unsigned char* out = turned.rows.data() + static_cast<std::size_t>(stride) * static_cast<std::size_t>(y);
        for (const std::uint64_t word : words) {
            const std::uint64_t bigEndian = __builtin_bswap64(word);
            std::memcpy(out, &bigEndian, sizeof bigEndian);
            out += sizeof bigEndian;
        }
        report.advance(source.wordsPerRow(), height > 1 ? static_cast<double>(y) / (height - 1) : 1.0);
    }
    turned.vram.attach({turned.rows.data(), turned.rows.size()}, width, height, stride);
}

bool turnMovesCells(std::int32_t width, std::int32_t height, double degrees) {
    return std::hypot(width, height) / 2 * std::abs(degrees) * std::numbers::pi / 180 >= 0.5;
}

}  // namespace kelvarin
