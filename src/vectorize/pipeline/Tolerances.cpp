// SPDX-License-Identifier: GPL-3.0-or-later
#include "vectorize/pipeline/Tolerances.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

namespace kelvarin {

namespace {

// The dots a millimetre of a file that gives no resolution and whose strokes tell none.
constexpr double kUnstatedDotsPerMm = 300 / 25.4;
// The thin pen of a drawing, by which a file that gives no resolution is measured (the thin strokes of
// drawings scanned at a known resolution measure 0.2 to 0.75 mm, 0.3 mm on the median), and the resolutions
// that measure may come to (the scans of archives lie between).
constexpr double kNominalThinPenMm = 0.3;
constexpr double kLeastPenDotsPerMm = 150 / 25.4;
constexpr double kMostPenDotsPerMm = 1200 / 25.4;

// The lengths, in millimetres (areas in mm²); at 300 dpi each comes to the whole or half dots in brackets.

// The hollowing's lengths are never fewer than two cells, whatever the resolution: a thinner rim or core
// has no centre line to follow.
constexpr std::int32_t kFewestRimCells = 2;

// Filled areas are hollowed to a rim of half the widest stroke and this much more (2 dots).
constexpr double kRimMarginMm = 0.16933;
// The rim kept at a hollowed area's edge, whose centre line is the outline (2 dots).
constexpr double kKeptRimMm = 0.16933;
// The least depth at which the inside of ink counts as a filled core, unless the thin strokes are wider
// (2 dots).
constexpr double kLeastCoreDepthMm = 0.16933;
// The shortest run that may cut a stroke whatever the strokes' width (8 dots).
constexpr double kLeastCuttingRunMm = 0.67733;
// Dust: groups of ink smaller than this are dropped before the centre lines and are no blob (4 cells).
constexpr double kSpeckMm2 = 0.028674;
// The smallest filled disc drawn as a CIRCLE by its group; a smaller dot is a blob (5 dots).
constexpr double kSmallestDiscMm = 0.42333;
// The smallest ring standing alone drawn as a CIRCLE by its group (6 dots).
constexpr double kSmallestRingMm = 0.508;
// The largest ring or filled disc drawn by its group or its core; larger ones come out whole from their
// pieces and outlines (120 dots).
constexpr double kLargestRoundMm = 10.16;
// The smallest radius of a junction dot; smaller dots are left to the strokes and blobs (6 dots).
constexpr double kSmallestJunctionRadiusMm = 0.508;
// The longest dot of a dotted line, and the widest spacing of its dots' centres (12 and 40 dots).
constexpr double kLargestDottedDotMm = 1.016;
constexpr double kWidestDotSpacingMm = 3.38667;
// The longest dash of a dashed circle (longer pieces are lines or arcs of their own), the widest gap
// between its dashes and its largest radius (200, 64 and 2000 dots).
constexpr double kLongestDashMm = 16.93333;
constexpr double kLongestDashGapMm = 5.41867;
constexpr double kLargestDashedRadiusMm = 169.33333;
// The widest gap between the ends of two pieces of one stroke that the scan broke (48 dots).
constexpr double kWidestBrokenGapMm = 4.064;
// The largest hole found, whole: larger circles come out whole from their pieces, but a hatched section's
// holes and slots, whose circles the hatching cuts into pieces too short to join, are found by their holes
// (400 dots).
constexpr double kLargestHoleMm = 33.86667;
// The largest hole whose pieces, that lines through it cut apart, are put together again: the pieces are
// traced for every choice of them, and a page has many large holes between lines (200 dots).
constexpr double kLargestCutHoleMm = 16.93333;
// The widest line through a ring that cuts its hole apart (12 dots).
constexpr double kWidestHoleCutMm = 1.016;
// The radii of the arcs a line running on past its tangent point takes ink from: a smaller bend parts from
// the line soon, so what runs on is the line's own; a larger arc is a line's neighbour (16 and 256 dots).
constexpr double kSmallestTakenArcMm = 1.35467;
constexpr double kLargestTakenArcMm = 21.67467;
// Filled arrowheads: at most this long from the tip to the base, and the ink at most this far from the
// stroke's middle (90 and 20 dots); the base this much wider than the pen at least, and the even widening
// short of the base's width by this much at most (6 and 2 dots). The point may touch another stroke this
// far from the end, and the pen past the base is told from this much of the stroke (16 and 5 dots, a
// probe each). The first looks for a widening stroke, from its end (6 to 60 dots).
constexpr double kLongestArrowHeadMm = 7.62;
constexpr double kWidestArrowHalfMm = 1.69333;
constexpr double kArrowBaseOverPenMm = 0.508;
constexpr double kArrowBaseMissMm = 0.16933;
constexpr double kArrowTipSearchMm = 1.35467;
constexpr double kArrowBodyMm = 0.42333;
constexpr std::array<double, 8> kArrowFirstLooksMm = {0.508, 0.84667, 1.27, 1.69333, 2.286, 2.96333, 3.81, 5.08};
// The smallest half width of a slot's hole (5 dots).
constexpr double kNarrowestSlotMm = 0.42333;
// The thinnest pen of a box's hole drawn by its outline: a thinner pen's sides are long enough for their
// pieces (3 dots).
constexpr double kLightestBoxPenMm = 0.254;
// Beside a broken stroke's gap, this far from the line, the gap is clean (no text, no blot) (3 dots).
constexpr double kBrokenStrokeAsideMm = 0.254;

}  // namespace

double Tolerances::dotsPerMmOfPen(double thinPenDots) {
    if (thinPenDots <= 0) {
        return 0;
    }
    return std::clamp(thinPenDots / kNominalThinPenMm, kLeastPenDotsPerMm, kMostPenDotsPerMm);
}

Tolerances Tolerances::forScan(double dotsPerMm, double entity) {
    const double scale = dotsPerMm > 0 ? dotsPerMm : kUnstatedDotsPerMm;
    // Lengths to a 64th of a dot, so that the millimetres above come to their dots exactly at 300 dpi.
    const auto dots = [scale](double mm) { return std::round(mm * scale * 64) / 64; };
    const auto whole = [scale](double mm) { return static_cast<std::int32_t>(std::lround(mm * scale)); };
    Tolerances t;
    t.dotsPerMm = scale;
    t.entity = entity;
    t.rimMargin = std::max(kFewestRimCells, whole(kRimMarginMm));
    t.keptRim = std::max(kFewestRimCells, whole(kKeptRimMm));
    t.leastCoreDepth = std::max(kFewestRimCells, whole(kLeastCoreDepthMm));
    t.leastCuttingRun = whole(kLeastCuttingRunMm);
    t.speckCells = std::llround(kSpeckMm2 * scale * scale);
    t.smallestDisc = dots(kSmallestDiscMm);
    t.smallestRing = dots(kSmallestRingMm);
    t.largestRound = dots(kLargestRoundMm);
    t.smallestJunctionRadius = dots(kSmallestJunctionRadiusMm);
    t.largestDottedDot = dots(kLargestDottedDotMm);
    t.widestDotSpacing = dots(kWidestDotSpacingMm);
    t.longestDash = dots(kLongestDashMm);
    t.longestDashGap = dots(kLongestDashGapMm);
    t.largestDashedRadius = dots(kLargestDashedRadiusMm);
    t.widestBrokenGap = dots(kWidestBrokenGapMm);
    t.largestHole = whole(kLargestHoleMm);
    t.largestCutHole = whole(kLargestCutHoleMm);
    t.widestHoleCut = whole(kWidestHoleCutMm);
    t.smallestTakenArc = dots(kSmallestTakenArcMm);
    t.largestTakenArc = dots(kLargestTakenArcMm);
    t.longestArrowHead = dots(kLongestArrowHeadMm);
    t.widestArrowHalf = dots(kWidestArrowHalfMm);
    t.arrowBaseOverPen = dots(kArrowBaseOverPenMm);
    t.arrowBaseMiss = dots(kArrowBaseMissMm);
    t.arrowTipSearch = whole(kArrowTipSearchMm);
    t.arrowBodySamples = whole(kArrowBodyMm);
    for (std::size_t i = 0; i < kArrowFirstLooksMm.size(); ++i) {
        t.arrowFirstLooks[i] = dots(kArrowFirstLooksMm[i]);
    }
    t.narrowestSlot = dots(kNarrowestSlotMm);
    t.lightestBoxPen = dots(kLightestBoxPenMm);
    t.brokenStrokeAside = dots(kBrokenStrokeAsideMm);
    return t;
}

}  // namespace kelvarin
