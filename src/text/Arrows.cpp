// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/Arrows.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kelvarin {

namespace {

constexpr double kElongation = 2;      // the glyph's length in its width at least
constexpr double kHeadWidth = 2.5;     // the head's width in shafts at least
constexpr double kWidestHead = 3;      // and its widest place's
constexpr double kHeadLength = 3;      // the head's length in shafts at least
constexpr double kLeastHeadCells = 4;  // and in cells
constexpr double kPointed = 0.6;       // the ink's width at the glyph's end in the head's widest, at most
constexpr double kHeadReach = 0.5;     // of the glyph's length, from its end, the head lies within
constexpr double kEvenShaft = 1.6;     // the shaft's width at most, in its narrower places' width
constexpr double kMostlyShaft = 0.7;   // of the places past the head, those of the shaft's width

// The ink across each place along the glyph's longer side: how many cells, and whether they are one run.
struct Profile {
    std::vector<double> width;
    std::vector<bool> solid;
};

Profile profileOf(const Glyph& glyph, bool upright) {
    const std::int32_t w = glyph.width(), h = glyph.height();
    std::vector<std::uint8_t> cells(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0);
    for (const LineSegment& run : glyph.runs) {
        std::fill_n(cells.begin() + (run.StartY - glyph.bottom) * w + (run.StartX - glyph.left), run.SpanX,
                    std::uint8_t{1});
    }
    const std::int32_t length = upright ? h : w, across = upright ? w : h;
    Profile profile{std::vector<double>(static_cast<std::size_t>(length), 0),
                    std::vector<bool>(static_cast<std::size_t>(length), true)};
    for (std::int32_t k = 0; k < length; ++k) {
        int runs = 0;
        bool previous = false;
        for (std::int32_t c = 0; c < across; ++c) {
            const bool ink = cells[static_cast<std::size_t>(upright ? k * w + c : c * w + k)] != 0;
            profile.width[static_cast<std::size_t>(k)] += ink ? 1 : 0;
            runs += ink && !previous ? 1 : 0;
            previous = ink;
        }
        profile.solid[static_cast<std::size_t>(k)] = runs == 1;
    }
    return profile;
}

// The longest stretch of solid places at least kHeadWidth shafts wide that starts within the head's reach
// of the profile's start, and its widest place; none when start is the profile's size.
struct Stretch {
    std::size_t start;
    std::size_t end;
    double widest = 0;
};

Stretch widestStretch(const Profile& profile, double shaft) {
    const std::size_t n = profile.width.size();
    const auto wide = [&](std::size_t k) { return profile.solid[k] && profile.width[k] >= kHeadWidth * shaft; };
    Stretch best{n, n};
    const double reach = kHeadReach * static_cast<double>(n);
    for (std::size_t k = 0; k < n && static_cast<double>(k) <= reach; ++k) {
        if (!wide(k)) {
            continue;
        }
        std::size_t j = k;
        double most = 0;
        for (; j < n && wide(j); ++j) {
            most = std::max(most, profile.width[j]);
        }
        if (best.start == n || j - k > best.end - best.start) {
            best = {k, j, most};
        }
        k = j;
    }
    return best;
}

// Whether the ink at the profile's start is narrow beside the head's widest place: a head is a wedge,
// narrowing to its point at the glyph's end, while a letter's bar or foot there is as wide as further in.
bool pointed(const Profile& profile, double shaft, double widest) {
    const std::size_t tip = std::min(profile.width.size(), static_cast<std::size_t>(std::max(2.0, shaft)));
    double atTip = 0;
    for (std::size_t k = 0; k < tip; ++k) {
        atTip += profile.width[k] / static_cast<double>(tip);
    }
    return atTip <= kPointed * widest;
}

// Whether past the head from `end` on a shaft of even width runs, at least as long as the head.
bool shaftPast(const Profile& profile, double shaft, std::size_t end, double headLength) {
    std::size_t rest = 0, even = 0;
    for (std::size_t k = end; k < profile.width.size(); ++k) {
        if (profile.width[k] > 0) {
            ++rest;
            even += profile.width[k] <= kEvenShaft * shaft ? 1 : 0;
        }
    }
    return static_cast<double>(rest) >= headLength &&
           static_cast<double>(even) >= kMostlyShaft * static_cast<double>(rest);
}

// Whether the profile holds a head at its start (its end when reversed) on a shaft of even width.
bool headAtStart(const Profile& profile, double shaft, double leastHead) {
    const Stretch head = widestStretch(profile, shaft);
    const double length = static_cast<double>(head.end - head.start);
    return head.start < profile.width.size() && length >= std::max(kHeadLength * shaft, kLeastHeadCells) &&
           head.widest >= std::max(kWidestHead * shaft, leastHead) && pointed(profile, shaft, head.widest) &&
           shaftPast(profile, shaft, head.end, length);
}

}  // namespace

bool isArrow(const Glyph& glyph, double leastHead) {
    const bool upright = glyph.height() >= kElongation * glyph.width();
    if (!upright && glyph.width() < kElongation * glyph.height()) {
        return false;
    }
    Profile profile = profileOf(glyph, upright);
    std::vector<double> inked;
    for (const double width : profile.width) {
        if (width > 0) {
            inked.push_back(width);
        }
    }
    if (inked.empty()) {
        return false;
    }
    // The shaft's width: the lower quartile, as a head may be as long as its shaft.
    std::nth_element(inked.begin(), inked.begin() + static_cast<std::ptrdiff_t>(inked.size() / 4), inked.end());
    const double shaft = inked[inked.size() / 4];
    if (headAtStart(profile, shaft, leastHead)) {
        return true;
    }
    std::reverse(profile.width.begin(), profile.width.end());
    std::reverse(profile.solid.begin(), profile.solid.end());
    return headAtStart(profile, shaft, leastHead);
}

}  // namespace kelvarin
