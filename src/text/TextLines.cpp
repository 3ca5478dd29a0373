// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/TextLines.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <numeric>
#include <optional>

#include "common/Median.h"
#include "text/LineDirections.h"
#include "text/LineGuides.h"
#include "text/LineJoins.h"
#include "text/LineKeeping.h"
#include "vectorize/geometry/Fitting.h"

namespace kelvarin {

namespace {

constexpr double kNearPerSize = 1.5;  // centre distance of neighbours at other angles, in glyph sizes
// The glyphs of each group but dust and dots, which join a line or a column alike.
std::vector<std::size_t> memberCounts(const std::vector<Glyph>& glyphs, GlyphSets& sets, double smallest) {
    return sets.gather<std::size_t>(
        [&](std::size_t& count, std::size_t i) { count += glyphSize(glyphs[i]) >= smallest / 2 ? 1 : 0; });
}

// The glyphs of each group but dust and dots that stand upright, clearly taller than wide.
std::vector<std::size_t> uprightCounts(const std::vector<Glyph>& glyphs, GlyphSets& sets, double smallest) {
    constexpr double kTallness = 1.3;  // an upright letter's height in its width
    return sets.gather<std::size_t>([&](std::size_t& count, std::size_t i) {
        const Glyph& g = glyphs[i];
        count += glyphSize(g) >= smallest / 2 && g.height() >= kTallness * g.width() ? 1 : 0;
    });
}

// Joins the glyphs near each other, at any angle, among those marked.
GlyphSets joinNear(const std::vector<Glyph>& glyphs, const std::vector<bool>& marked, double smallest) {
    GlyphSets sets(glyphs.size());
    std::vector<std::size_t> order;
    double largest = 0;
    for (std::size_t i = 0; i < glyphs.size(); ++i) {
        if (marked[i]) {
            order.push_back(i);
            largest = std::max(largest, glyphSize(glyphs[i]));
        }
    }
    std::sort(order.begin(), order.end(),
              [&](std::size_t a, std::size_t b) { return glyphs[a].centreX() < glyphs[b].centreX(); });
    for (std::size_t i = 0; i < order.size(); ++i) {
        const Glyph& a = glyphs[order[i]];
        for (std::size_t j = i + 1; j < order.size(); ++j) {
            const Glyph& b = glyphs[order[j]];
            if (b.centreX() - a.centreX() > kNearPerSize * largest) {
                break;
            }
            const double size = std::max(glyphSize(a), glyphSize(b));
            if (std::hypot(b.centreX() - a.centreX(), b.centreY() - a.centreY()) <= kNearPerSize * size &&
                similarSizes(glyphSize(a), glyphSize(b), smallest)) {
                sets.join(order[j], order[i]);
            }
        }
    }
    return sets;
}

std::vector<std::vector<std::size_t>> groupsOf(GlyphSets& sets, const std::vector<bool>& taken) {
    auto groups = sets.gather<std::vector<std::size_t>>([&](std::vector<std::size_t>& group, std::size_t i) {
        if (taken[i]) {
            group.push_back(i);
        }
    });
    std::erase_if(groups, [](const auto& group) { return group.empty(); });
    return groups;
}

// The lines at other angles: near glyphs whose centres run askew, each with its direction. Their glyphs are
// marked off in aligned: they may well overlap across or up too, which would split them between rows and
// columns.
struct AskewLines {
    std::vector<std::vector<std::size_t>> members;
    std::vector<double> directions;
    std::vector<bool> guided;  // running along a long line at their angle
};

AskewLines findAskewLines(const std::vector<Glyph>& glyphs, const GlyphSizes& sizes, std::vector<bool>& aligned) {
    const std::vector<bool> all(glyphs.size(), true);
    GlyphSets nearAll = joinNear(glyphs, all, sizes.smallest);
    AskewLines askew;
    std::vector<std::size_t> members, cut;
    for (const auto& group : groupsOf(nearAll, all)) {
        for (GuidedGroup& line : splitByGuides(glyphs, group, sizes.smallest, members, cut)) {
            for (const std::size_t i : line.members) {
                aligned[i] = false;
            }
            askew.members.push_back(std::move(line.members));
            askew.directions.push_back(line.degrees);
            askew.guided.push_back(true);
        }
        for (const std::size_t i : cut) {
            aligned[i] = false;
        }
        if (members.empty()) {
            continue;
        }
        // An oversized mark at an end (a leader's landing, a piece of an arc) would turn the direction fitted
        // to the characters: their direction is fitted without the largest glyph, and without dust.
        std::vector<std::size_t> characters = members;
        std::vector<std::size_t> rest;
        for (const std::size_t i : members) {
            if (glyphSize(glyphs[i]) >= sizes.smallest / 2.0) {
                rest.push_back(i);
            }
        }
        if (members.size() >= 3 && rest.size() >= 3) {
            rest.erase(std::max_element(rest.begin(), rest.end(), [&](std::size_t a, std::size_t b) {
                return glyphSize(glyphs[a]) < glyphSize(glyphs[b]);
            }));
            dropOversizedEnds(glyphs, characters, fittedDirection(glyphs, rest), sizes.smallest);
        }
        const double direction = askewDirection(glyphs, characters, sizes.smallest);
        if (!std::isnan(direction)) {
            for (const std::size_t i : members) {
                aligned[i] = false;
            }
            askew.members.push_back(std::move(characters));
            askew.directions.push_back(direction);
            askew.guided.push_back(false);
        }
    }
    return askew;
}

// How far a line's glyphs reach along direction degrees and across it.
InkExtent lineExtent(const std::vector<Glyph>& glyphs, const std::vector<std::size_t>& members, double degrees) {
    InkExtent line;
    for (const std::size_t i : members) {
        const InkExtent extent = inkExtent(glyphs[i], degrees);
        line.alongLow = std::min(line.alongLow, extent.alongLow);
        line.alongHigh = std::max(line.alongHigh, extent.alongHigh);
        line.acrossLow = std::min(line.acrossLow, extent.acrossLow);
        line.acrossHigh = std::max(line.acrossHigh, extent.acrossHigh);
    }
    return line;
}

// Joins to each line running along a long line the marks left alone beside it, smaller than its characters
// (a degree sign, a full stop): in its band across and at most a glyph's height past its ends.
void joinMarksBeside(const std::vector<Glyph>& glyphs, AskewLines& askew, std::vector<bool>& aligned) {
    constexpr double kSmaller = 0.6;  // a mark's size in the line's largest glyph's
    for (std::size_t k = 0; k < askew.members.size(); ++k) {
        if (!askew.guided[k]) {
            continue;
        }
        std::vector<std::size_t>& members = askew.members[k];
        const InkExtent line = lineExtent(glyphs, members, askew.directions[k]);
        const double height = line.acrossHigh - line.acrossLow;
        double largest = 0;
        for (const std::size_t i : members) {
            largest = std::max(largest, glyphSize(glyphs[i]));
        }
        for (std::size_t i = 0; i < glyphs.size(); ++i) {
            if (!aligned[i] || glyphSize(glyphs[i]) > kSmaller * largest) {
                continue;
            }
            const InkExtent mark = inkExtent(glyphs[i], askew.directions[k]);
            if (mark.acrossLow >= line.acrossLow && mark.acrossHigh <= line.acrossHigh &&
                mark.alongLow >= line.alongLow - height && mark.alongHigh <= line.alongHigh + height) {
                members.push_back(i);
                aligned[i] = false;
            }
        }
    }
}

// Whether the askew line b is a next word of the askew line a: turned as a is, about as high, in its band
// and a word space past its end either way.
bool nextAskewWord(const std::vector<Glyph>& glyphs, const std::vector<std::size_t>& a, double aDegrees,
                   const std::vector<std::size_t>& b, double bDegrees) {
    constexpr double kSameTurn = 2;        // degrees
    constexpr double kWordSpace = 1.5;     // the widest space between words, in heights
    constexpr double kSameHeights = 1.3;   // the greatest ratio of the words' heights
    constexpr double kLeastOverlap = 0.7;  // across, of the taller word's height
    if (std::abs(std::remainder(aDegrees - bDegrees, 180.0)) > kSameTurn) {
        return false;
    }
    const InkExtent ea = lineExtent(glyphs, a, aDegrees);
    const InkExtent eb = lineExtent(glyphs, b, aDegrees);
    const double ha = ea.acrossHigh - ea.acrossLow, hb = eb.acrossHigh - eb.acrossLow;
    const double height = std::max(ha, hb);
    const double overlap = std::min(ea.acrossHigh, eb.acrossHigh) - std::max(ea.acrossLow, eb.acrossLow);
    const double gap = std::max(eb.alongLow - ea.alongHigh, ea.alongLow - eb.alongHigh);
    return height <= kSameHeights * std::min(ha, hb) && overlap >= kLeastOverlap * height && gap > 0 &&
           gap <= kWordSpace * height;
}

// Joins the askew lines that are words of one line (Width Factor: 1.0), each line then fitted its direction
// anew.
void joinAskewWords(const std::vector<Glyph>& glyphs, const GlyphSizes& sizes, AskewLines& askew) {
    const std::size_t n = askew.members.size();
    GlyphSets words(n);
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = i + 1; j < n; ++j) {
            if (nextAskewWord(glyphs, askew.members[i], askew.directions[i], askew.members[j], askew.directions[j])) {
                words.join(i, j);
            }
        }
    }
    AskewLines joined;
    std::vector<std::size_t> slot(n, n);
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t word = words.find(i);
        if (slot[word] == n) {
            slot[word] = joined.members.size();
            joined.members.emplace_back();
            joined.directions.push_back(askew.directions[i]);
        }
        std::vector<std::size_t>& members = joined.members[slot[word]];
        members.insert(members.end(), askew.members[i].begin(), askew.members[i].end());
    }
    for (std::size_t k = 0; k < joined.members.size(); ++k) {
        const double direction = askewDirection(glyphs, joined.members[k], sizes.smallest);
        joined.directions[k] = std::isnan(direction) ? joined.directions[k] : direction;
    }
    askew = std::move(joined);
}

// The rows and columns of the aligned glyphs, and which way each glyph's line runs: across (in its row),
// up (in its column) or neither (alone in both).
struct Orientations {
    GlyphSets rows;
    GlyphSets columns;
    std::vector<bool> across, up, rest;
};

Orientations orientationsOf(const std::vector<Glyph>& glyphs, const std::vector<bool>& aligned,
                            const GlyphSizes& sizes) {
    Orientations o{joinAligned(glyphs, aligned, false, sizes.smallest),
                   joinAligned(glyphs, aligned, true, sizes.smallest),
                   {},
                   {},
                   {}};
    joinEnclosed(glyphs, aligned, false, o.rows);
    joinEnclosed(glyphs, aligned, true, o.columns);
    joinCommas(glyphs, aligned, false, o.rows);
    joinCommas(glyphs, aligned, true, o.columns);
    joinStops(glyphs, aligned, false, o.rows);
    joinStops(glyphs, aligned, true, o.columns);
    joinWords(glyphs, aligned, false, o.rows);
    joinWords(glyphs, aligned, true, o.columns);
    joinLoneWords(glyphs, aligned, false, o.rows, sizes.smallest);
    joinLoneWords(glyphs, aligned, true, o.columns, sizes.smallest);
    joinUnderscores(glyphs, aligned, false, o.rows);
    joinUnderscores(glyphs, aligned, true, o.columns);
    // The dots above a short word (the i of "is") lie outside its box but inside its line's.
    joinEnclosed(glyphs, aligned, false, o.rows);
    joinEnclosed(glyphs, aligned, true, o.columns);
    const std::vector<std::size_t> inRow = memberCounts(glyphs, o.rows, sizes.smallest);
    const std::vector<std::size_t> inColumn = memberCounts(glyphs, o.columns, sizes.smallest);
    const std::vector<std::size_t> uprightInColumn = uprightCounts(glyphs, o.columns, sizes.smallest);
    o.across.resize(glyphs.size());
    o.up.resize(glyphs.size());
    o.rest.resize(glyphs.size());
    for (std::size_t i = 0; i < glyphs.size(); ++i) {
        const std::size_t r = inRow[o.rows.find(i)];
        const std::size_t c = inColumn[o.columns.find(i)];
        // A column mostly of letters standing upright is the lines of a block of text one over the other,
        // its letters in line with those of the lines above and below (a font of fixed pitch): turned up, a
        // line's letters lie on their sides.
        const bool stackedRows = r > 1 && 2 * uprightInColumn[o.columns.find(i)] > c;
        o.across[i] = r > 1 && (r >= c || stackedRows) && aligned[i];
        o.up[i] = c > 1 && c > r && !stackedRows && aligned[i];
        o.rest[i] = r <= 1 && c <= 1 && aligned[i];
    }
    // A glyph left alone up its column, whose other glyphs went across in longer rows, goes across in its
    // own row: CA of CAP, touching, under the C of a longer line.
    std::vector<std::size_t> upInColumn(glyphs.size(), 0);
    for (std::size_t i = 0; i < glyphs.size(); ++i) {
        upInColumn[o.columns.find(i)] += o.up[i] && glyphSize(glyphs[i]) >= sizes.smallest / 2.0 ? 1 : 0;
    }
    for (std::size_t i = 0; i < glyphs.size(); ++i) {
        if (o.up[i] && upInColumn[o.columns.find(i)] <= 1 && inRow[o.rows.find(i)] > 1) {
            o.up[i] = false;
            o.across[i] = true;
        }
    }
    return o;
}

}  // namespace

std::vector<GlyphLine> groupIntoLines(const std::vector<Glyph>& glyphs, const GlyphSizes& sizes) {
    // Lines at other angles first, then rows and columns of the rest, then what is left near each other.
    std::vector<bool> aligned(glyphs.size(), true);
    AskewLines askew = findAskewLines(glyphs, sizes, aligned);
    joinMarksBeside(glyphs, askew, aligned);
    joinAskewWords(glyphs, sizes, askew);
    Orientations o = orientationsOf(glyphs, aligned, sizes);
    LineKeeper keeper(glyphs, sizes);
    for (std::size_t k = 0; k < askew.members.size(); ++k) {
        keeper.keepAskew(std::move(askew.members[k]), askew.directions[k]);
    }
    for (auto& members : groupsOf(o.rows, o.across)) {
        keeper.keep(std::move(members), 0, [&](const auto& kept) { return lineDirections(glyphs, kept, 0); });
    }
    for (auto& members : groupsOf(o.columns, o.up)) {
        if (stackedUpright(glyphs, members, 90, sizes.smallest)) {
            keeper.keepEachAlone(members);
            continue;
        }
        keeper.keep(std::move(members), 90, [&](const auto& kept) { return lineDirections(glyphs, kept, 90); });
    }
    GlyphSets near = joinNear(glyphs, o.rest, sizes.smallest);
    for (auto& members : groupsOf(near, o.rest)) {
        const auto real = std::count_if(members.begin(), members.end(),
                                        [&](std::size_t i) { return glyphSize(glyphs[i]) >= sizes.smallest / 2.0; });
        const double degrees = fittedDirection(glyphs, members);
        if (real <= 1 || stackedUpright(glyphs, members, degrees, sizes.smallest)) {
            keeper.keepEachAlone(members);
        } else {
            keeper.keepAskew(std::move(members), degrees);
        }
    }
    return std::move(keeper).lines();
}

Glyph boxOf(const std::vector<Glyph>& glyphs, const GlyphLine& line) {
    Glyph box;
    box.left = box.bottom = INT32_MAX;
    box.right = box.top = INT32_MIN;
    for (const std::size_t g : line.glyphs) {
        box.left = std::min(box.left, glyphs[g].left);
        box.bottom = std::min(box.bottom, glyphs[g].bottom);
        box.right = std::max(box.right, glyphs[g].right);
        box.top = std::max(box.top, glyphs[g].top);
    }
    return box;
}

std::vector<std::size_t> longestFirst(const std::vector<Glyph>& glyphs, const std::vector<GlyphLine>& lines) {
    std::vector<double> work(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Glyph box = boxOf(glyphs, lines[i]);
        work[i] = static_cast<double>(std::max(box.right - box.left, box.top - box.bottom)) *
                  static_cast<double>(lines[i].directions.size());
    }
    std::vector<std::size_t> order(lines.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return work[a] > work[b]; });
    return order;
}

}  // namespace kelvarin
