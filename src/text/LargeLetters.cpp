// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/LargeLetters.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <iterator>

#include "common/DisjointSets.h"

namespace kelvarin {

namespace {

// Whether b stands beside a as the next glyph of a line across does (up, when upright): both at least
// least dots high, as high as each other and not much longer, on one baseline and cap line, less than a
// glyph's height apart and hardly overlapping.
bool besideInLine(const Glyph& a, const Glyph& b, bool upright, double least) {
    constexpr double kHeightRatio = 1.25;
    constexpr double kEdgeShift = 0.15;       // of the height, the bottoms' and tops' offsets
    constexpr double kGreatestGap = 1.0;      // of the height: a word space
    constexpr double kGreatestOverlap = 0.1;  // of the height
    constexpr double kLongestLetter = 1.25;   // along the line, in heights
    const double lowA = upright ? a.left : a.bottom, highA = upright ? a.right : a.top;
    const double lowB = upright ? b.left : b.bottom, highB = upright ? b.right : b.top;
    const double startA = upright ? a.bottom : a.left, endA = upright ? a.top : a.right;
    const double startB = upright ? b.bottom : b.left, endB = upright ? b.top : b.right;
    const double heightA = highA - lowA + 1, heightB = highB - lowB + 1;
    const double height = std::max(heightA, heightB);
    const double gap = std::max(startB - endA, startA - endB) - 1;
    // A letter is not much longer along its line than high, and letters do not overlap along it.
    const double longer = std::max(endA - startA + 1, endB - startB + 1);
    return std::min(heightA, heightB) >= least && longer <= kLongestLetter * std::min(heightA, heightB) &&
           gap >= -kGreatestOverlap * height &&
           std::max(heightA, heightB) <= kHeightRatio * std::min(heightA, heightB) &&
           std::abs(lowA - lowB) <= kEdgeShift * height && std::abs(highA - highB) <= kEdgeShift * height &&
           gap <= kGreatestGap * height;
}

// Whether two glyphs are copies of one shape: as wide, as high and as inked, but for the scan's noise.
bool copies(const Glyph& a, const Glyph& b) {
    constexpr std::int32_t kSideNoise = 2;  // dots
    constexpr double kInkNoise = 0.05;      // of the cells
    return std::abs(a.width() - b.width()) <= kSideNoise && std::abs(a.height() - b.height()) <= kSideNoise &&
           static_cast<double>(std::abs(a.cells - b.cells)) <=
               kInkNoise * static_cast<double>(std::max(a.cells, b.cells));
}

// The candidates in rows of large letters: candidates beside each other joined, and whether each stands
// beside a glyph.
struct Rows {
    DisjointSets<std::size_t> sets;
    std::vector<bool> besideAGlyph;
};

Rows rowsOf(const std::vector<Glyph>& candidates, const std::vector<Glyph>& glyphs, double least) {
    // Glyphs and candidates together, by their left edge, so that those near a candidate are found by a
    // search; entries below glyphs.size() are glyphs.
    const std::size_t glyphCount = glyphs.size();
    const auto at = [&](std::size_t i) -> const Glyph& {
        return i < glyphCount ? glyphs[i] : candidates[i - glyphCount];
    };
    std::vector<std::size_t> byLeft(glyphCount + candidates.size());
    std::int32_t widest = 0;
    for (std::size_t i = 0; i < byLeft.size(); ++i) {
        byLeft[i] = i;
        widest = std::max(widest, at(i).width());
    }
    std::sort(byLeft.begin(), byLeft.end(), [&](std::size_t a, std::size_t b) { return at(a).left < at(b).left; });
    Rows rows{DisjointSets<std::size_t>(candidates.size()), std::vector<bool>(candidates.size(), false)};
    for (std::size_t c = 0; c < candidates.size(); ++c) {
        const Glyph& candidate = candidates[c];
        const std::int32_t reach = std::max(candidate.width(), candidate.height()) * 2;
        auto it = std::lower_bound(byLeft.begin(), byLeft.end(), candidate.left - reach - widest,
                                   [&](std::size_t i, std::int32_t left) { return at(i).left < left; });
        for (; it != byLeft.end() && at(*it).left <= candidate.right + reach; ++it) {
            const Glyph& other = at(*it);
            if (*it == glyphCount + c ||
                !(besideInLine(candidate, other, false, least) || besideInLine(candidate, other, true, least))) {
                continue;
            }
            if (*it < glyphCount) {
                rows.besideAGlyph[c] = true;
            } else {
                rows.sets.link(rows.sets.find(c), rows.sets.find(*it - glyphCount));
            }
        }
    }
    return rows;
}

}  // namespace

void takeLargeLetters(std::vector<Glyph>& candidates, std::vector<Glyph>& glyphs, double least) {
    // Candidates beside each other make rows; a row is taken when one of its candidates stands beside a
    // glyph, or when it is a word's length by itself.
    constexpr std::size_t kLeastRow = 3;
    Rows found = rowsOf(candidates, glyphs, least);
    DisjointSets<std::size_t>& rows = found.sets;
    const std::vector<bool>& besideAGlyph = found.besideAGlyph;
    std::vector<std::size_t> rowLength(candidates.size(), 0);
    std::vector<bool> rowBesideAGlyph(candidates.size(), false);
    for (std::size_t c = 0; c < candidates.size(); ++c) {
        const std::size_t row = rows.find(c);
        ++rowLength[row];
        rowBesideAGlyph[row] = rowBesideAGlyph[row] || besideAGlyph[c];
    }
    // A row by itself is taken unless it is copies of one shape: a symbol drawn again and again (a relay's
    // contacts side by side).
    std::vector<bool> rowOfCopies(candidates.size(), true);
    for (std::size_t c = 0; c < candidates.size(); ++c) {
        const std::size_t row = rows.find(c);
        rowOfCopies[row] = rowOfCopies[row] && copies(candidates[c], candidates[row]);
    }
    for (std::size_t c = 0; c < candidates.size(); ++c) {
        const std::size_t row = rows.find(c);
        candidates[c].largeLetter = rowBesideAGlyph[row] || (rowLength[row] >= kLeastRow && !rowOfCopies[row]);
    }
    const auto taken = std::stable_partition(candidates.begin(), candidates.end(),
                                             [](const Glyph& candidate) { return !candidate.largeLetter; });
    std::move(taken, candidates.end(), std::back_inserter(glyphs));
    candidates.erase(taken, candidates.end());
}

}  // namespace kelvarin
