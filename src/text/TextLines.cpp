// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/TextLines.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <numeric>
#include <optional>

#include "common/Median.h"
#include "text/LineDirections.h"
#include "text/LineJoins.h"
#include "vectorize/geometry/Fitting.h"

namespace kelvarin {

namespace {

constexpr double kBarThinness = 0.15;  // a bar's width in its lengths
constexpr double kNearPerSize = 1.5;   // centre distance of neighbours at other angles, in glyph sizes
constexpr double kMostlyBars = 0.6;    // of a line's glyphs, straight strokes
// A mark of the drawing beside a line's characters (an arrow, a dash, a leader's landing) is longer than
// they are by this much, and a flat one at most this thick, in their sizes.
constexpr double kMarkLength = 1.8;
constexpr double kFlatThickness = 0.6;

// Whether the glyph runs across or up, as a 1, an l or a dash does, rather than askew.
bool runsAcrossOrUp(const Glyph& g) {
    constexpr double kMostAskew = 15;  // degrees
    const double degrees = principalDegrees(g);
    return std::abs(std::remainder(degrees, 90.0)) <= kMostAskew;
}

// Drops the glyph at either end of the line, along direction degrees, that is longer than the line's other
// glyphs (two at least) by far and stands apart from them by half their size or reaches out of their band by
// half its height: a line's characters are of a size, close together and in line, and an arrowhead with a
// piece of its line, or a leader's landing, beside a value is not one of them. The parts of a kanji lie close
// to the whole kanji beside them, within its height. Dust (under smallest / 2) tells nothing.
void dropOversizedEnds(const std::vector<Glyph>& glyphs, std::vector<std::size_t>& members, double degrees,
                       double smallest) {
    if (members.size() < 3) {
        return;
    }
    const double radians = degrees * std::numbers::pi / 180;
    const Point along{std::cos(radians), std::sin(radians)};
    const Point across{-along.y, along.x};
    // The glyph's extent in a direction: the least and the greatest of its box's corners.
    const auto extent = [&](std::size_t i, Point direction) {
        const Glyph& g = glyphs[i];
        const double xs[] = {g.left * direction.x, (g.right + 1) * direction.x};
        const double ys[] = {g.bottom * direction.y, (g.top + 1) * direction.y};
        return std::make_pair(std::min(xs[0], xs[1]) + std::min(ys[0], ys[1]),
                              std::max(xs[0], xs[1]) + std::max(ys[0], ys[1]));
    };
    // Whether the glyph at the end, first or last along, is oversized and stands apart or out of line.
    const auto oddEnd = [&](std::size_t end, bool first) {
        double others = 0, gap = INFINITY, bandLow = INFINITY, bandHigh = -INFINITY;
        const auto [endLow, endHigh] = extent(end, along);
        for (const std::size_t i : members) {
            if (i != end && glyphSize(glyphs[i]) >= smallest / 2) {
                others = std::max(others, glyphSize(glyphs[i]));
                const auto [low, high] = extent(i, along);
                gap = std::min(gap, first ? low - endHigh : endLow - high);
                const auto [acrossLow, acrossHigh] = extent(i, across);
                bandLow = std::min(bandLow, acrossLow);
                bandHigh = std::max(bandHigh, acrossHigh);
            }
        }
        const auto [endAcrossLow, endAcrossHigh] = extent(end, across);
        const double outOfLine = std::max(endAcrossHigh - bandHigh, bandLow - endAcrossLow);
        return glyphSize(glyphs[end]) > kMarkLength * others &&
               (gap >= others / 2 || outOfLine >= (bandHigh - bandLow) / 2);
    };
    const auto byCentre = [&](std::size_t a, std::size_t b) {
        const auto [aLow, aHigh] = extent(a, along);
        const auto [bLow, bHigh] = extent(b, along);
        return aLow + aHigh < bLow + bHigh;
    };
    const auto [first, last] = std::minmax_element(members.begin(), members.end(), byCentre);
    const std::size_t ends[] = {*first, *last};
    const bool drop[] = {oddEnd(ends[0], true), oddEnd(ends[1], false)};
    std::erase_if(members, [&](std::size_t i) { return (i == ends[0] && drop[0]) || (i == ends[1] && drop[1]); });
}

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
};

AskewLines findAskewLines(const std::vector<Glyph>& glyphs, const GlyphSizes& sizes, std::vector<bool>& aligned) {
    const std::vector<bool> all(glyphs.size(), true);
    GlyphSets nearAll = joinNear(glyphs, all, sizes.smallest);
    AskewLines askew;
    for (const auto& members : groupsOf(nearAll, all)) {
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

// Drops the marks beside a line's characters: thin bars much longer than the line's glyphs are lines of a
// table or a frame beside the text, and flat pieces twice as long are arrows with their tails or dashes of
// a line: no character is so long and so low beside its line's.
void dropMarks(const std::vector<Glyph>& glyphs, std::vector<std::size_t>& members) {
    std::vector<double> lengths;
    for (const std::size_t i : members) {
        lengths.push_back(glyphSize(glyphs[i]));
    }
    const double typical = median(lengths);
    std::erase_if(members, [&](const std::size_t i) {
        const Glyph& g = glyphs[i];
        const double thickness = std::min(g.width(), g.height());
        return (glyphSize(g) > 1.3 * typical && thickness <= kBarThinness * glyphSize(g)) ||
               (glyphSize(g) > kMarkLength * typical && thickness <= kFlatThickness * typical);
    });
}

// Whether the members may be a line of text: a glyph as long as the smallest, and neither a ring alone (but
// for dust; a circle, a small hole's, not an O), nor mostly straight strokes (the pieces of crossing lines:
// text has few straight glyphs), nor one or two open strokes not across or up (a piece of a line or an arc).
bool mayBeText(const std::vector<Glyph>& glyphs, const std::vector<std::size_t>& members, const GlyphSizes& sizes) {
    double longest = 0;
    for (const std::size_t i : members) {
        longest = std::max(longest, glyphSize(glyphs[i]));
    }
    std::size_t rings = 0, others = 0;
    for (const std::size_t i : members) {
        if (glyphSize(glyphs[i]) >= sizes.smallest / 2.0) {
            ++(isRing(glyphs[i]) ? rings : others);
        }
    }
    const auto bars = std::count_if(members.begin(), members.end(), [&](std::size_t i) {
        return glyphSize(glyphs[i]) >= sizes.smallest / 2.0 && isStraightBar(glyphs[i]);
    });
    const bool ofBars =
        rings + others >= 3 && static_cast<double>(bars) >= kMostlyBars * static_cast<double>(rings + others);
    const bool ofStrokes = rings + others <= 2 && std::all_of(members.begin(), members.end(), [&](std::size_t i) {
                               return glyphSize(glyphs[i]) < sizes.smallest / 2.0 ||
                                      (isOpenStroke(glyphs[i]) && !runsAcrossOrUp(glyphs[i]));
                           });
    return longest >= sizes.smallest && !(rings == 1 && others == 0) && !ofBars && !ofStrokes;
}

// The lines found, each kept when its members, marks and oversized ends dropped, may be text.
class LineKeeper {
public:
    LineKeeper(const std::vector<Glyph>& glyphs, const GlyphSizes& sizes) : m_glyphs(glyphs), m_sizes(sizes) {}

    // Keeps the members as a line running along direction `along`, its directions found from the members
    // kept by directionsOf.
    template <typename DirectionsOf>
    void keep(std::vector<std::size_t> members, double along, const DirectionsOf& directionsOf) {
        dropMarks(m_glyphs, members);
        if (members.empty()) {
            return;
        }
        dropOversizedEnds(m_glyphs, members, along, m_sizes.smallest);
        std::vector<double> directions = directionsOf(members);
        if (mayBeText(m_glyphs, members, m_sizes)) {
            m_lines.push_back({std::move(members), std::move(directions)});
        }
    }

    // Keeps a line in the one direction, and the opposite one.
    void keepAskew(std::vector<std::size_t> members, double degrees) {
        keep(std::move(members), degrees, [&](const auto&) {
            return std::vector<double>{degrees < 0 ? degrees + 360 : degrees, degrees + 180};
        });
    }

    // Characters one over the other (a tag's two numbers) are each read alone, as a character alone is:
    // from below or from the right, as a drawing has it. The dust between them stays geometry.
    void keepEachAlone(const std::vector<std::size_t>& members) {
        for (const std::size_t i : members) {
            if (glyphSize(m_glyphs[i]) >= m_sizes.smallest / 2.0) {
                keep({i}, 0, [](const auto&) { return std::vector<double>{0, 90}; });
            }
        }
    }

    std::vector<GlyphLine> lines() && { return std::move(m_lines); }

private:
    const std::vector<Glyph>& m_glyphs;
    const GlyphSizes& m_sizes;
    std::vector<GlyphLine> m_lines;
};

}  // namespace

std::vector<GlyphLine> groupIntoLines(const std::vector<Glyph>& glyphs, const GlyphSizes& sizes) {
    // Lines at other angles first, then rows and columns of the rest, then what is left near each other.
    std::vector<bool> aligned(glyphs.size(), true);
    AskewLines askew = findAskewLines(glyphs, sizes, aligned);
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
