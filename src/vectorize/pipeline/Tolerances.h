// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

namespace kelvarin {

// The lengths the passes compare the drawing with, declared in millimetres (Tolerances.cpp) and held here in
// dots at the scan's resolution, so that a drawing converts the same at any resolution. Where the file
// gives no resolution, its thin strokes' width tells it (dotsPerMmOfPen); where they tell nothing either,
// the lengths are as at 300 dpi (11.8 dots a millimetre). Angles, shares and counts
// stay with their passes; so do the lengths of the raster's own noise (a probe's step, a fit's stray).
struct Tolerances {
    // The lengths at dotsPerMm (0 when the scan gave none), with the entities' tolerance of --tolerance.
    static Tolerances forScan(double dotsPerMm, double entity);
    // The dots a millimetre of a scan that gave no resolution, from its thin strokes' width in dots (a thin
    // pen's, by the nominal thin pen); 0 when thinPenDots is 0 (no width told).
    static double dotsPerMmOfPen(double thinPenDots);

    // The dots a millimetre the lengths were turned at.
    double dotsPerMm = 0;
    // How far an entity may lie from its stroke's centre line, in dots (--tolerance).
    double entity = 0;
    // The widest pen, where the scan gives its resolution: wider ink is an area drawn by its outline.
    double widestPenMm = 1.0;
    // Ink this many times as wide as the thin strokes, or wider, is an area: pens differ by three times at most.
    std::int32_t areaInThinPens = 4;
    // Runs across a stroke are at most this many times the thickest strokes' width, and never fewer than
    // leastCuttingRun dots; longer runs lie along a stroke.
    double cuttingRunPerThick = 2.5;

    // The lengths in dots; their meanings are told where they are declared in millimetres.
    std::int32_t rimMargin = 0;
    std::int32_t keptRim = 0;
    std::int32_t leastCoreDepth = 0;
    std::int32_t leastCuttingRun = 0;
    std::int64_t speckCells = 0;  // an area, in cells
    double smallestDisc = 0;
    double smallestRing = 0;
    double largestRound = 0;
    double smallestJunctionRadius = 0;
    double largestDottedDot = 0;
    double widestDotSpacing = 0;
    double longestDash = 0;
    double longestDashGap = 0;
    double largestDashedRadius = 0;
    double widestBrokenGap = 0;
    std::int32_t largestHole = 0;
    std::int32_t largestCutHole = 0;
    std::int32_t widestHoleCut = 0;
    double smallestTakenArc = 0;
    double largestTakenArc = 0;
    double longestArrowHead = 0;
    double widestArrowHalf = 0;
    double arrowBaseOverPen = 0;
    double arrowBaseMiss = 0;
    std::int32_t arrowTipSearch = 0;    // a probe a dot
    std::int32_t arrowBodySamples = 0;  // a probe a dot
    std::array<double, 8> arrowFirstLooks{};
    double narrowestSlot = 0;
    double lightestBoxPen = 0;
    double brokenStrokeAside = 0;

    // The longest run that cuts a stroke, for strokes thick dots wide.
    std::int32_t longestCuttingRun(std::int32_t thick) const {
        return std::max(leastCuttingRun, static_cast<std::int32_t>(cuttingRunPerThick * thick));
    }
};

}  // namespace kelvarin
