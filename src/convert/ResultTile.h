// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>

namespace kelvarin {

class ResultLayers;

// The colour of a screen pixel of the result view.
enum class TileColour : std::uint8_t {
    Paper,    // the picture, no line cell
    Scan,     // a line cell of the scan that no LINE covers
    Line,     // a LINE
    Outside,  // beyond the picture
};

// A rectangle of screen pixels of the picture drawn zoom screen pixels per cell, its top-left corner at
// screen pixel (0, 0).
struct TileRequest {
    double zoom = 1;
    std::int64_t left = 0;
    std::int64_t top = 0;
    int width = 0;
    int height = 0;
    bool showScan = true;
    bool showLines = true;
};

// Colours the rectangle, one byte per pixel, row after row. Drawn small, a pixel takes the strongest
// colour of the cells it covers, read from the coarsest pyramid level at least as fine as a pixel. Drawn
// at 1:1 or larger, each cell fills its pixels with paper or scan, and a LINE is one pixel wide through
// the middle pixels of the cells it joins.
void renderTile(const ResultLayers& layers, const TileRequest& request, std::span<std::uint8_t> pixels);

// The screen pixels of cell `cell` at zoom >= 1: first .. end - 1, and the middle one that a LINE takes.
struct CellPixels {
    std::int64_t first;
    std::int64_t end;
    std::int64_t middle() const { return (first + end - 1) / 2; }
};
CellPixels cellPixels(std::int64_t cell, double zoom);

}  // namespace kelvarin
