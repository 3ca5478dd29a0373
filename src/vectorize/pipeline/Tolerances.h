// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <cstdint>

#include "convert/ConversionSettings.h"

namespace kelvarin {

// The lengths the pipeline chooses and hands to its passes, in dots unless named otherwise; at 300 dpi a
// dot is 0.085 mm (11.8 dots a millimetre). The passes' own lengths are still in their units.
struct Tolerances {
    // How far an entity may lie from its stroke's centre line: 2 dots, 0.17 mm at 300 dpi (--tolerance).
    double entity = ConversionOptions::kDefaultTolerance;
    // The widest pen, where the scan gives its resolution: wider ink is an area drawn by its outline.
    double widestPenMm = 1.0;
    // Ink this many times as wide as the thin strokes, or wider, is an area: pens differ by three times at most.
    std::int32_t areaInThinPens = 4;
    // Filled areas are hollowed to a rim of half the widest stroke and this many cells more: 0.17 mm at 300 dpi.
    std::int32_t rimMargin = 2;
    // The cells of that rim kept at the area's edge, whose centre line is the outline: 0.17 mm at 300 dpi.
    std::int32_t keptRim = 2;
    // The least depth, in cells, at which the inside of ink counts as a filled core (else the thin strokes'
    // width): 0.17 mm at 300 dpi.
    std::int32_t leastCoreDepth = 2;
    // Runs across a stroke are at most this many times the thickest strokes' width, and never fewer than
    // leastCuttingRun dots (0.68 mm at 300 dpi); longer runs lie along a stroke.
    double cuttingRunPerThick = 2.5;
    std::int32_t leastCuttingRun = 8;

    // The longest run that cuts a stroke, for strokes thick dots wide.
    std::int32_t longestCuttingRun(std::int32_t thick) const {
        return std::max(leastCuttingRun, static_cast<std::int32_t>(cuttingRunPerThick * thick));
    }
};

}  // namespace kelvarin
