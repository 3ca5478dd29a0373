// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/LineRunOns.h"

#include <algorithm>
#include <cstddef>

#include "common/Median.h"
#include "text/LongRuns.h"

namespace kelvarin {

namespace {

// Lengths are in the line's glyphs' median height across, which the pieces (a dash crossing the line may
// stand higher than the text) hardly move.
constexpr double kWordSpace = 0.4;      // the least gap before the pieces
constexpr double kLongestPieces = 2.5;  // the pieces' length at most
constexpr double kRunOn = 1.0;          // how far the line runs on past them at least
constexpr double kBandLow = 0.2;        // the middle of the text's band, above the baseline, a dimension line runs in
constexpr double kBandHigh = 0.8;
constexpr double kLeastCover = 0.8;  // of the stretch through and past the pieces the line covers
constexpr double kMostStruck = 0.3;  // of the rest of the text the line may run through

// The share of the dots from `from` to `to` along the frame (the direction turned over when sign is -1) at
// which a set aside line crosses the middle of the text's band.
double struckShare(const SetAsideCells& setAside, const LineFrame& frame, double height, double sign, double from,
                   double to) {
    int struck = 0, steps = 0;
    for (double along = from; along <= to; ++along, ++steps) {
        for (double across = frame.baseline + kBandLow * height; across <= frame.baseline + kBandHigh * height;
             ++across) {
            if (setAside.at(frame.at(sign * along, across))) {
                ++struck;
                break;
            }
        }
    }
    return steps > 0 ? static_cast<double>(struck) / steps : 0;
}

// A glyph of a line (its place among the line's glyphs) and its span along the frame, the direction turned
// over when walking to the line's start.
struct Placed {
    std::size_t member;
    double low;
    double high;
};

// How many glyphs at the far end of the placed ones (in order of their low ends, sign the direction they
// were taken in) are the pieces of a line running on past them.
std::size_t runOnPieces(const std::vector<Placed>& placed, double sign, const SetAsideCells& setAside,
                        const LineFrame& frame, double height) {
    const std::size_t n = placed.size();
    double near = placed[n - 1].low;  // the pieces' edge towards the text
    std::size_t pieces = 1;
    for (; pieces < n && near - placed[n - 1 - pieces].high < kWordSpace * height; ++pieces) {
        near = std::min(near, placed[n - 1 - pieces].low);
    }
    double far = -INFINITY, restLow = INFINITY, restHigh = -INFINITY;
    for (std::size_t k = 0; k < n; ++k) {
        far = std::max(far, placed[k].high);
        if (k + pieces < n) {
            restLow = std::min(restLow, placed[k].low);
            restHigh = std::max(restHigh, placed[k].high);
        }
    }
    if (pieces == n || far - near > kLongestPieces * height) {
        return 0;
    }
    const bool runsOn = struckShare(setAside, frame, height, sign, near, far + kRunOn * height) >= kLeastCover;
    return runsOn && struckShare(setAside, frame, height, sign, restLow, restHigh) <= kMostStruck ? pieces : 0;
}

// The line's glyphs along the frame in the direction sign, in order of their low ends.
std::vector<Placed> placedAlong(const std::vector<Glyph>& glyphs, const std::vector<std::size_t>& members, double sign,
                                const LineFrame& frame) {
    std::vector<Placed> placed;
    for (std::size_t k = 0; k < members.size(); ++k) {
        const InkExtent extent = inkExtent(glyphs[members[k]], frame.degrees);
        placed.push_back(sign > 0 ? Placed{k, extent.alongLow, extent.alongHigh}
                                  : Placed{k, -extent.alongHigh, -extent.alongLow});
    }
    std::sort(placed.begin(), placed.end(), [](const Placed& a, const Placed& b) { return a.low < b.low; });
    return placed;
}

// Takes the pieces of a line running on past the line's end in the direction sign out of its glyphs.
void dropRunOnEnd(const std::vector<Glyph>& glyphs, double sign, const SetAsideCells& setAside, const LineFrame& frame,
                  double height, std::vector<std::size_t>& members) {
    const std::vector<Placed> placed = placedAlong(glyphs, members, sign, frame);
    const std::size_t pieces = runOnPieces(placed, sign, setAside, frame, height);
    std::vector<bool> dropped(members.size(), false);
    for (std::size_t k = placed.size() - pieces; k < placed.size(); ++k) {
        dropped[placed[k].member] = true;
    }
    std::vector<std::size_t> kept;
    for (std::size_t k = 0; k < members.size(); ++k) {
        if (!dropped[k]) {
            kept.push_back(members[k]);
        }
    }
    members = std::move(kept);
}

}  // namespace

void dropRunOnEnds(const VirtualVram& grid, const VirtualVram& stripped, const std::vector<Glyph>& glyphs,
                   std::vector<GlyphLine>& lines) {
    const SetAsideCells setAside(grid, stripped);
    for (GlyphLine& line : lines) {
        if (line.glyphs.size() < 2 || line.directions.empty()) {
            continue;
        }
        const LineFrame frame = frameOf(glyphs, line, line.directions.front());
        std::vector<double> heights;
        for (const std::size_t g : line.glyphs) {
            const InkExtent extent = inkExtent(glyphs[g], frame.degrees);
            heights.push_back(extent.acrossHigh - extent.acrossLow);
        }
        const double height = median(heights);
        // The frame and height stay those of the whole line: the pieces hardly move its baseline.
        for (const double sign : {1.0, -1.0}) {
            if (line.glyphs.size() >= 2) {
                dropRunOnEnd(glyphs, sign, setAside, frame, height, line.glyphs);
            }
        }
    }
}

}  // namespace kelvarin
