// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/LineJoins.h"

#include <algorithm>
#include <optional>

namespace kelvarin {

namespace {

constexpr double kGapPerHeight = 0.9;        // the widest gap between neighbours, in glyph heights
constexpr double kLeastOverlap = 0.5;        // of the smaller glyph's height
constexpr double kGreatestSizeRatio = 2.5;   // between two glyphs of a line both longer than the smallest
constexpr double kWordSpacePerHeight = 1.5;  // the widest space between the words of a line
constexpr double kSameLineHeights = 1.3;     // the greatest ratio of two words' heights
constexpr double kWordOverlap = 0.7;         // across, of the taller word's height
constexpr double kSmallLetterWords = 2;      // the greatest ratio of a word's height to one of small letters
constexpr double kPointGapPerHeight = 1.5;   // the widest gap with a decimal point in it, in glyph heights
constexpr double kNarrowWord = 0.4;          // a word of one glyph narrower than this, of its height, stays alone
constexpr double kSquareWord = 0.8;          // and one at least this wide

struct Extent {
    std::int32_t low;
    std::int32_t high;
    std::int32_t size() const { return high - low + 1; }
};

Extent across(const Glyph& g, bool upright) { return upright ? Extent{g.left, g.right} : Extent{g.bottom, g.top}; }
Extent along(const Glyph& g, bool upright) { return upright ? Extent{g.bottom, g.top} : Extent{g.left, g.right}; }

struct Box {
    Extent along;
    Extent across;
};

// The boxes of the lines joined along rows (upright false) or columns, by their roots: a line has two
// marked glyphs or more.
struct LineBoxes {
    std::vector<std::size_t> members;       // marked glyphs by root
    std::vector<std::optional<Box>> boxes;  // by root
    std::vector<std::size_t> lines;         // the roots of lines, by the start of their boxes along
};

LineBoxes lineBoxes(const std::vector<Glyph>& glyphs, const std::vector<bool>& marked, bool upright, GlyphSets& sets) {
    LineBoxes found;
    found.members.assign(sets.size(), 0);
    for (std::size_t i = 0; i < sets.size(); ++i) {
        found.members[sets.find(i)] += marked[i] ? 1 : 0;
    }
    found.boxes.resize(sets.size());
    for (std::size_t i = 0; i < sets.size(); ++i) {
        const std::size_t r = sets.find(i);
        if (!marked[i] || found.members[r] < 2) {
            continue;
        }
        const Extent a = along(glyphs[i], upright), c = across(glyphs[i], upright);
        if (!found.boxes[r]) {
            found.boxes[r] = Box{a, c};
        }
        Box& box = *found.boxes[r];
        box.along = {std::min(box.along.low, a.low), std::max(box.along.high, a.high)};
        box.across = {std::min(box.across.low, c.low), std::max(box.across.high, c.high)};
    }
    for (std::size_t r = 0; r < found.boxes.size(); ++r) {
        if (found.boxes[r]) {
            found.lines.push_back(r);
        }
    }
    std::sort(found.lines.begin(), found.lines.end(),
              [&](std::size_t a, std::size_t b) { return found.boxes[a]->along.low < found.boxes[b]->along.low; });
    return found;
}

// The dust glyphs, by the start of their extents along.
std::vector<std::size_t> dustAlong(const std::vector<Glyph>& glyphs, const std::vector<bool>& marked, bool upright,
                                   double smallest) {
    std::vector<std::size_t> dust;
    for (std::size_t i = 0; i < glyphs.size(); ++i) {
        if (marked[i] && glyphSize(glyphs[i]) < smallest / 2) {
            dust.push_back(i);
        }
    }
    std::sort(dust.begin(), dust.end(), [&](std::size_t a, std::size_t b) {
        return along(glyphs[a], upright).low < along(glyphs[b], upright).low;
    });
    return dust;
}

// The extents along of each line's glyphs, by the line's root.
std::vector<std::vector<Extent>> extentsAlong(const std::vector<Glyph>& glyphs, const std::vector<bool>& marked,
                                              bool upright, GlyphSets& sets, const LineBoxes& found) {
    std::vector<std::vector<Extent>> extents(sets.size());
    for (std::size_t i = 0; i < sets.size(); ++i) {
        if (marked[i] && found.boxes[sets.find(i)]) {
            extents[sets.find(i)].push_back(along(glyphs[i], upright));
        }
    }
    return extents;
}

// Whether a mark whose extent along is a lies clear of a line's glyphs: none covers half of it.
bool clearOf(const std::vector<Extent>& members, Extent a) {
    return std::none_of(members.begin(), members.end(),
                        [&](Extent m) { return std::min(m.high, a.high) - std::max(m.low, a.low) + 1 > a.size() / 2; });
}

// Whether a dot alone lies in the gap between two glyphs on their baseline (below across, or above when the
// line is read turned over): a number's decimal point, which a font may set in a gap wider than its
// digits'. Digits stand in narrow cells; the parts of a kanji beside their dots in square ones.
bool pointBetween(const std::vector<Glyph>& glyphs, const std::vector<std::size_t>& dust, bool upright,
                  const Glyph& before, const Glyph& after) {
    constexpr double kPointSize = 0.35;   // a point's size at most, of the line's height
    constexpr double kOnBaseline = 0.15;  // how far a point's foot lies from the baseline, of the line's height
    constexpr double kNarrow = 0.8;       // a digit's width at most, of its height
    const Extent a = along(before, upright), b = along(after, upright);
    const Extent acrossA = across(before, upright), acrossB = across(after, upright);
    if (a.size() > kNarrow * acrossA.size() || b.size() > kNarrow * acrossB.size()) {
        return false;
    }
    const Extent both{std::min(acrossA.low, acrossB.low), std::max(acrossA.high, acrossB.high)};
    const double height = both.size();
    const auto first = std::lower_bound(dust.begin(), dust.end(), a.high + 1, [&](std::size_t d, std::int32_t low) {
        return along(glyphs[d], upright).low < low;
    });
    std::size_t points = 0;
    bool onBaseline = false;
    for (auto d = first; d != dust.end() && along(glyphs[*d], upright).low < b.low; ++d) {
        const Extent da = along(glyphs[*d], upright), dc = across(glyphs[*d], upright);
        if (dc.high < both.low - kOnBaseline * height || dc.low > both.high + kOnBaseline * height) {
            continue;  // not in the line
        }
        ++points;
        const bool small = da.high < b.low && da.size() <= kPointSize * height && dc.size() <= kPointSize * height;
        const bool low = std::abs(dc.low - both.low) <= kOnBaseline * height;
        const bool high = std::abs(dc.high - both.high) <= kOnBaseline * height;
        onBaseline = small && (low || high);
    }
    return points == 1 && onBaseline;
}

// Joins each marked glyph that no neighbour joined, of a punctuation mark's size, to the first line (by
// the start of its box) that takes it: takes(along, across, line, box) tells by where the mark stands.
template <typename Takes>
void joinSmallMarks(const std::vector<Glyph>& glyphs, const std::vector<bool>& marked, bool upright, GlyphSets& sets,
                    const LineBoxes& found, Takes takes) {
    constexpr double kLeast = 0.15;  // a mark's size, of the line's height; smaller is dust
    constexpr double kMost = 0.5;    // larger is a glyph
    for (std::size_t i = 0; i < sets.size(); ++i) {
        if (!marked[i] || found.members[sets.find(i)] != 1) {
            continue;
        }
        const Extent a = along(glyphs[i], upright), c = across(glyphs[i], upright);
        const double size = std::max(a.size(), c.size());
        for (const std::size_t line : found.lines) {
            const Box& box = *found.boxes[line];
            const double height = box.across.size();
            if (size >= kLeast * height && size <= kMost * height && takes(a, c, line, box)) {
                sets.join(line, i);
                break;
            }
        }
    }
}

}  // namespace

double glyphSize(const Glyph& g) { return std::max(g.width(), g.height()); }

bool similarSizes(double a, double b, double smallest) {
    return std::min(a, b) < smallest || std::max(a, b) <= kGreatestSizeRatio * std::min(a, b);
}

GlyphSets joinAligned(const std::vector<Glyph>& glyphs, const std::vector<bool>& marked, bool upright,
                      double smallest) {
    GlyphSets sets(glyphs.size());
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < glyphs.size(); ++i) {
        // Dust joins a line only inside its box (joinEnclosed): between two lines of a table's cells it
        // would join them into a column.
        if (marked[i] && glyphSize(glyphs[i]) >= smallest / 2) {
            order.push_back(i);
        }
    }
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return along(glyphs[a], upright).low < along(glyphs[b], upright).low;
    });
    std::int32_t largest = 0;
    for (const Glyph& g : glyphs) {
        largest = std::max(largest, across(g, upright).size());
    }
    const std::vector<std::size_t> dust = dustAlong(glyphs, marked, upright, smallest);
    for (std::size_t i = 0; i < order.size(); ++i) {
        const Glyph& a = glyphs[order[i]];
        const Extent aAlong = along(a, upright);
        const Extent aAcross = across(a, upright);
        for (std::size_t j = i + 1; j < order.size(); ++j) {
            const Glyph& b = glyphs[order[j]];
            const Extent bAlong = along(b, upright);
            if (bAlong.low - aAlong.high > kPointGapPerHeight * largest) {
                break;
            }
            const Extent bAcross = across(b, upright);
            const double height = std::max(aAcross.size(), bAcross.size());
            const double gap = std::max(bAlong.low - aAlong.high, aAlong.low - bAlong.high) - 1;
            const double overlap = std::min(aAcross.high, bAcross.high) - std::max(aAcross.low, bAcross.low) + 1;
            const bool near =
                gap <= kGapPerHeight * height || (gap <= kPointGapPerHeight * height && bAlong.low > aAlong.high &&
                                                  pointBetween(glyphs, dust, upright, a, b));
            if (near && overlap >= kLeastOverlap * std::min(aAcross.size(), bAcross.size()) &&
                similarSizes(aAcross.size(), bAcross.size(), smallest)) {
                sets.join(order[j], order[i]);
            }
        }
    }
    return sets;
}

void joinEnclosed(const std::vector<Glyph>& glyphs, const std::vector<bool>& marked, bool upright, GlyphSets& sets) {
    const LineBoxes found = lineBoxes(glyphs, marked, upright, sets);
    std::vector<std::int32_t> starts;
    for (const std::size_t r : found.lines) {
        starts.push_back(found.boxes[r]->along.low);
    }
    for (std::size_t i = 0; i < sets.size(); ++i) {
        if (!marked[i] || found.members[sets.find(i)] != 1) {
            continue;
        }
        const Extent a = along(glyphs[i], upright), c = across(glyphs[i], upright);
        const auto end = std::upper_bound(starts.begin(), starts.end(), a.low);
        for (auto k = starts.begin(); k != end; ++k) {
            const std::size_t line = found.lines[static_cast<std::size_t>(k - starts.begin())];
            const Box& box = *found.boxes[line];
            if (a.high <= box.along.high && c.low >= box.across.low && c.high <= box.across.high) {
                sets.join(line, i);
                break;
            }
        }
    }
}

void joinCommas(const std::vector<Glyph>& glyphs, const std::vector<bool>& marked, bool upright, GlyphSets& sets) {
    constexpr double kReachBelow = 0.35;  // how far below the baseline its tail reaches
    constexpr double kHeadAbove = 0.5;    // how far above the baseline its head reaches at most
    const LineBoxes found = lineBoxes(glyphs, marked, upright, sets);
    const std::vector<std::vector<Extent>> membersAlong = extentsAlong(glyphs, marked, upright, sets, found);
    joinSmallMarks(glyphs, marked, upright, sets, found, [&](Extent a, Extent c, std::size_t line, const Box& box) {
        const double height = box.across.size();
        const bool between = a.low > box.along.low && a.high < box.along.high;
        const bool below = c.low < box.across.low && c.low >= box.across.low - kReachBelow * height &&
                           c.high > box.across.low && c.high <= box.across.low + kHeadAbove * height;
        const bool above = c.high > box.across.high && c.high <= box.across.high + kReachBelow * height &&
                           c.low < box.across.high && c.low >= box.across.high - kHeadAbove * height;
        const bool hangs = below || (upright && above);
        const bool clear = clearOf(membersAlong[line], a);
        return between && hangs && clear;
    });
}

void joinStops(const std::vector<Glyph>& glyphs, const std::vector<bool>& marked, bool upright, GlyphSets& sets) {
    constexpr double kGap = 0.5;        // the widest gap before a stop, of the line's height
    constexpr double kReachOut = 0.35;  // how far past the baseline a comma's tail reaches
    constexpr double kReachIn = 0.5;    // how far inside the line from the baseline a stop reaches
    const LineBoxes found = lineBoxes(glyphs, marked, upright, sets);
    joinSmallMarks(glyphs, marked, upright, sets, found, [&](Extent a, Extent c, std::size_t, const Box& box) {
        const double height = box.across.size();
        const bool afterEnd = a.low > box.along.high && a.low - box.along.high - 1 <= kGap * height;
        const bool beforeStart = a.high < box.along.low && box.along.low - a.high - 1 <= kGap * height;
        const bool onLow = c.low >= box.across.low - kReachOut * height && c.high <= box.across.low + kReachIn * height;
        const bool onHigh =
            c.high <= box.across.high + kReachOut * height && c.low >= box.across.high - kReachIn * height;
        // Read across, a line ends on the right with its baseline below, or turned over on the left with it
        // above; read up, it ends at the top with its baseline on the right, or read down at the foot.
        return upright ? (afterEnd && onHigh) || (beforeStart && onLow)
                       : (afterEnd && onLow) || (beforeStart && onHigh);
    });
}

void joinUnderscores(const std::vector<Glyph>& glyphs, const std::vector<bool>& marked, bool upright, GlyphSets& sets) {
    constexpr double kFlatness = 0.25;    // its height across at most, of the line's height
    constexpr double kLeastLength = 0.4;  // its length along, of the line's height
    constexpr double kMostLength = 1.5;
    constexpr double kReachIn = 0.2;   // how far inside the line from the baseline it reaches at most
    constexpr double kReachOut = 0.5;  // how far past the baseline it lies at most
    const LineBoxes found = lineBoxes(glyphs, marked, upright, sets);
    const std::vector<std::vector<Extent>> membersAlong = extentsAlong(glyphs, marked, upright, sets, found);
    for (std::size_t i = 0; i < sets.size(); ++i) {
        if (!marked[i] || found.members[sets.find(i)] != 1) {
            continue;
        }
        const Extent a = along(glyphs[i], upright), c = across(glyphs[i], upright);
        for (const std::size_t line : found.lines) {
            const Box& box = *found.boxes[line];
            const double height = box.across.size();
            const bool flat =
                c.size() <= kFlatness * height && a.size() >= kLeastLength * height && a.size() <= kMostLength * height;
            const bool between = a.low > box.along.low && a.high < box.along.high;
            const bool onLow =
                c.high <= box.across.low + kReachIn * height && c.low >= box.across.low - kReachOut * height;
            const bool onHigh =
                c.low >= box.across.high - kReachIn * height && c.high <= box.across.high + kReachOut * height;
            const bool clear = clearOf(membersAlong[line], a);
            if (flat && between && (onLow || onHigh) && clear) {
                sets.join(line, i);
                break;
            }
        }
    }
}

void joinLoneWords(const std::vector<Glyph>& glyphs, const std::vector<bool>& marked, bool upright, GlyphSets& sets,
                   double smallest) {
    const LineBoxes found = lineBoxes(glyphs, marked, upright, sets);
    for (std::size_t i = 0; i < sets.size(); ++i) {
        if (!marked[i] || found.members[sets.find(i)] != 1 || glyphSize(glyphs[i]) < smallest / 2) {
            continue;
        }
        const Extent a = along(glyphs[i], upright), c = across(glyphs[i], upright);
        for (const std::size_t line : found.lines) {
            const Box& box = *found.boxes[line];
            const double height = std::max(c.size(), box.across.size());
            const double gap = std::max(box.along.low - a.high, a.low - box.along.high) - 1;
            const double overlap = std::min(c.high, box.across.high) - std::max(c.low, box.across.low) + 1;
            // A narrow glyph (a 1) stands in a cell wider than its ink: the gap beside it is no word space; a
            // square one is a kanji or a part of one, whose words the gaps do not tell.
            const bool letterWide = a.size() >= kNarrowWord * c.size() && a.size() < kSquareWord * c.size();
            if (letterWide && gap >= 0 && gap <= kWordSpacePerHeight * height &&
                height <= kSameLineHeights * std::min(c.size(), box.across.size()) &&
                overlap >= kWordOverlap * height) {
                sets.join(line, i);
                break;
            }
        }
    }
}

void joinWords(const std::vector<Glyph>& glyphs, const std::vector<bool>& marked, bool upright, GlyphSets& sets) {
    const LineBoxes found = lineBoxes(glyphs, marked, upright, sets);
    const auto& boxes = found.boxes;
    for (std::size_t i = 0; i < found.lines.size(); ++i) {
        const Box& a = *boxes[found.lines[i]];
        for (std::size_t j = i + 1; j < found.lines.size(); ++j) {
            const Box& b = *boxes[found.lines[j]];
            const double height = std::max(a.across.size(), b.across.size());
            if (b.along.low - a.along.high > kWordSpacePerHeight * height) {
                continue;  // the next may start later still: the boxes are in order of their starts only
            }
            const double overlap = std::min(a.across.high, b.across.high) - std::max(a.across.low, b.across.low) + 1;
            const double lower = std::min(a.across.size(), b.across.size());
            const bool sameHeight = height <= kSameLineHeights * lower;
            // A word of small letters alone (an, is) stands within the band of its neighbour's ascenders
            // and descenders.
            const bool smallLetters = height <= kSmallLetterWords * lower && overlap >= lower - 1;
            if (b.along.low > a.along.high && ((sameHeight && overlap >= kWordOverlap * height) || smallLetters)) {
                sets.join(found.lines[i], found.lines[j]);
            }
        }
    }
}

}  // namespace kelvarin
