// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <vector>

#include "bitmap/BitmapData.h"
#include "common/LargeBuffer.h"

namespace kelvarin {

class PackedRows;

// The grey level (0-255) of a colour whose samples run from 0 to maximum, laid over white by its alpha
// (alpha = maximum for an opaque pixel). The exact luminance 0.299 R + 0.587 G + 0.114 B is rounded down,
// so that "below a whole threshold" gives the same answer as for the unrounded value, whatever the depth.
int greyLevel(std::int64_t red, std::int64_t green, std::int64_t blue, std::int64_t alpha, std::int64_t maximum);
inline int greyLevel(std::int64_t value, std::int64_t maximum) {
    return greyLevel(value, value, value, maximum, maximum);
}

// The window of the adaptive threshold, in dots (square, centred on the pixel).
constexpr int kAdaptiveWindow = 51;

// The grey rows of a picture, written by its reader and turned into its packed rows by the read's threshold
// method. A fixed threshold on rows written top to bottom packs each row as it is done and keeps one row;
// the other methods, and rows written out of order (interlaced pictures), keep the whole grey picture.
class GreyRows {
public:
    GreyRows(PackedRows& target, const ReadOptions& options, bool rowsInOrder = true);

    // Where the reader writes the grey levels of the row counted from the top.
    std::uint8_t* row(std::int32_t y);
    // The row is complete.
    void rowDone(std::int32_t y);
    // Every row is complete: thresholds what is still kept.
    void finish();

private:
    void packRow(std::int32_t y, const std::uint8_t* values, int threshold);
    // Tells the read's report of one row's work done.
    void rowWorked(std::int32_t y);
    void packAdaptive();

    PackedRows& m_target;
    ReadOptions m_options;
    bool m_whole;
    LargeBuffer m_line;
    LargeBuffer m_picture;
};

// The threshold that splits a histogram of 256 grey levels best into dark and light (Otsu's method):
// levels below it are black. Gives fallback when the picture holds a single level.
int histogramThreshold(const std::vector<std::uint64_t>& histogram, int fallback);

}  // namespace kelvarin
