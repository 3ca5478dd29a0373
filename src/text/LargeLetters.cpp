// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/LargeLetters.h"

#include <algorithm>
#include <cstddef>

#include "common/DisjointSets.h"

namespace kelvarin {

namespace {

// Whether b stands beside a as the next glyph of a line across does (up, when upright): both at least
// least dots high, as high as each other, on one baseline and cap line, less than a glyph's height apart.
bool besideInLine(const Glyph& a, const Glyph& b, bool upright, double least) {
    constexpr double kHeightRatio = 1.25;
    constexpr double kEdgeShift = 0.15;   // of the height, the bottoms' and tops' offsets
    constexpr double kGreatestGap = 1.0;  // of the height: a word space
    const double lowA = upright ? a.left : a.bottom, highA = upright ? a.right : a.top;
    const double lowB = upright ? b.left : b.bottom, highB = upright ? b.right : b.top;
    const double startA = upright ? a.bottom : a.left, endA = upright ? a.top : a.right;
    const double startB = upright ? b.bottom : b.left, endB = upright ? b.top : b.right;
    const double heightA = highA - lowA + 1, heightB = highB - lowB + 1;
    const double height = std::max(heightA, heightB);
    const double gap = std::max(startB - endA, startA - endB) - 1;
    return std::min(heightA, heightB) >= least &&
           std::max(heightA, heightB) <= kHeightRatio * std::min(heightA, heightB) &&
           std::abs(lowA - lowB) <= kEdgeShift * height && std::abs(highA - highB) <= kEdgeShift * height &&
           gap <= kGreatestGap * height;
}

}  // namespace

void takeLargeLetters(std::vector<Glyph>& candidates, std::vector<Glyph>& glyphs, double least) {
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
    // Candidates beside each other make rows; a row is taken when one of its candidates stands beside a
    // glyph, or when it is a word's length by itself.
    constexpr std::size_t kLeastRow = 3;
    DisjointSets<std::size_t> rows(candidates.size());
    std::vector<bool> besideAGlyph(candidates.size(), false);
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
                besideAGlyph[c] = true;
            } else {
                rows.link(rows.find(c), rows.find(*it - glyphCount));
            }
        }
    }
    std::vector<std::size_t> rowLength(candidates.size(), 0);
    std::vector<bool> rowBesideAGlyph(candidates.size(), false);
    for (std::size_t c = 0; c < candidates.size(); ++c) {
        const std::size_t row = rows.find(c);
        ++rowLength[row];
        rowBesideAGlyph[row] = rowBesideAGlyph[row] || besideAGlyph[c];
    }
    std::vector<bool> take(candidates.size(), false);
    for (std::size_t c = 0; c < candidates.size(); ++c) {
        const std::size_t row = rows.find(c);
        take[c] = rowBesideAGlyph[row] || rowLength[row] >= kLeastRow;
    }
    std::size_t kept = 0;
    for (std::size_t c = 0; c < candidates.size(); ++c) {
        if (take[c]) {
            glyphs.push_back(std::move(candidates[c]));
        } else if (kept != c) {
            candidates[kept++] = std::move(candidates[c]);
        } else {
            ++kept;
        }
    }
    candidates.resize(kept);
}

}  // namespace kelvarin
