// SPDX-License-Identifier: GPL-3.0-or-later
#include "convert/BitPyramid.h"

#include <algorithm>
#include <thread>

namespace kelvarin {

BitPlane::BitPlane(std::int32_t width, std::int32_t height)
    : m_width(width),
      m_height(height),
      m_wordsPerRow(static_cast<std::int32_t>((std::int64_t{width} + 63) / 64)),
      m_words(static_cast<std::size_t>(m_wordsPerRow) * static_cast<std::size_t>(height) * sizeof(std::uint64_t)) {}

void BitPlane::setRange(std::int32_t y, std::int32_t first, std::int32_t last) {
    std::uint64_t* words = row(y);
    for (std::int32_t index = first >> 6; index <= last >> 6; ++index) {
        const std::int32_t from = std::max(first - index * 64, 0);
        const std::int32_t to = std::min(last - index * 64, 63);
        words[index] |= (~std::uint64_t{0} >> from) & (~std::uint64_t{0} << (63 - to));
    }
}

void splitAcrossCores(std::int64_t count, const std::function<void(std::int64_t, std::int64_t)>& work) {
    const std::int64_t parts = std::clamp<std::int64_t>(std::thread::hardware_concurrency(), 1, 4);
    std::vector<std::jthread> helpers;
    for (std::int64_t part = 1; part < parts; ++part) {
        helpers.emplace_back(work, count * part / parts, count * (part + 1) / parts);
    }
    work(0, count / parts);
}

std::uint64_t halveWord(std::uint64_t word) {
    std::uint64_t x = (word | word >> 1) & 0x5555555555555555;
    x = (x | x >> 1) & 0x3333333333333333;
    x = (x | x >> 2) & 0x0F0F0F0F0F0F0F0F;
    x = (x | x >> 4) & 0x00FF00FF00FF00FF;
    x = (x | x >> 8) & 0x0000FFFF0000FFFF;
    return (x | x >> 16) & 0x00000000FFFFFFFF;
}

namespace {

template <typename ReadRow>
void halveRows(BitPlane& coarse, std::int32_t first, std::int32_t end, std::int32_t height, std::int32_t wordsPerRow,
               const ReadRow& readRow) {
    std::vector<std::uint64_t> lower(static_cast<std::size_t>(wordsPerRow) + 1);
    std::vector<std::uint64_t> upper(lower.size());
    const std::span<std::uint64_t> lowerRow(lower.data(), static_cast<std::size_t>(wordsPerRow));
    const std::span<std::uint64_t> upperRow(upper.data(), static_cast<std::size_t>(wordsPerRow));
    for (std::int32_t y = first; y < end; ++y) {
        readRow(2 * y, lowerRow);
        if (2 * y + 1 < height) {
            readRow(2 * y + 1, upperRow);
            for (std::size_t i = 0; i < lowerRow.size(); ++i) {
                lower[i] |= upper[i];
            }
        }
        std::uint64_t* out = coarse.row(y);
        for (std::int32_t i = 0; i < coarse.wordsPerRow(); ++i) {
            out[i] = halveWord(lower[2 * static_cast<std::size_t>(i)]) << 32 |
                     halveWord(lower[2 * static_cast<std::size_t>(i) + 1]);
        }
    }
}

// One level from the rows of the one below: two rows ORed, then each pair of words halved into one.
template <typename ReadRow>
BitPlane halve(std::int32_t width, std::int32_t height, std::int32_t wordsPerRow, ReadRow readRow) {
    BitPlane coarse((width + 1) / 2, (height + 1) / 2);
    splitAcrossCores(coarse.height(), [&](std::int64_t first, std::int64_t end) {
        halveRows(coarse, static_cast<std::int32_t>(first), static_cast<std::int32_t>(end), height, wordsPerRow,
                  readRow);
    });
    return coarse;
}

}  // namespace

void BitPyramid::build(const RowSource& base, std::int32_t width, std::int32_t height) {
    m_levels.clear();
    if (width <= 0 || height <= 0) {
        return;
    }
    const auto wordsPerRow = static_cast<std::int32_t>((std::int64_t{width} + 63) / 64);
    m_levels.push_back(halve(width, height, wordsPerRow,
                             [&base](std::int32_t y, std::span<std::uint64_t> words) { base.readRow(y, 0, words); }));
    while (m_levels.back().width() > 1 || m_levels.back().height() > 1) {
        const BitPlane& fine = m_levels.back();
        BitPlane coarse = halve(fine.width(), fine.height(), fine.wordsPerRow(),
                                [&fine](std::int32_t y, std::span<std::uint64_t> words) {
                                    std::copy_n(fine.row(y), words.size(), words.begin());
                                });
        m_levels.push_back(std::move(coarse));
    }
}

}  // namespace kelvarin
