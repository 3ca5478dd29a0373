#include "convert/LineExtraction.h"

#include <algorithm>
#include <vector>

#include "common/PassState.h"
#include "common/ProgressDisplay.h"
#include "common/Toolkit.h"
#include "convert/VirtualVram.h"

namespace kelvarin {

namespace {

// Scanned columns swept together, row by row, so that the vertical pass reads the grid in its memory
// order instead of jumping a whole row per cell.
constexpr std::size_t kColumnBlock = 256;

}  // namespace

void ExtractHorizontalLines(const BmpHeaderBytes& header, const VirtualVram& vram, std::int32_t thinning,
                            LineSegmentList& segments, PassState& pass, Toolkit& toolkit) {
    pass.CurrentStep = "横のラインを取得する";
    const auto [width, height] = gridSizeOf(header, vram);
    ProgressDisplay progress = ProgressDisplay::forPass(toolkit, pass.PassNumber, height - 1);
    for (std::int64_t y = 0; y < height; y += thinning) {
        const auto row = static_cast<std::int32_t>(y);
        toolkit.doEvents();
        const std::uint8_t* cells = vram.row(row);
        std::int32_t x = 0;
        while (x < width) {
            while (x < width && cells[x] == 0) {
                ++x;
            }
            const std::int32_t start = x;
            while (x < width && cells[x] != 0) {
                ++x;
            }
            if (x > start) {
                segments.push_back({start, row, x - start, 1});
            }
        }
        toolkit.doEvents(width);  // once per cell
        progress.update(row, passFraction(row, height - 1));
    }
    progress.finish();
    ++pass.PassNumber;
}

void ExtractVerticalLines(const BmpHeaderBytes& header, const VirtualVram& vram, std::int32_t thinning,
                          LineSegmentList& segments, PassState& pass, Toolkit& toolkit) {
    pass.CurrentStep = "縦のラインを取得する";
    const auto [width, height] = gridSizeOf(header, vram);
    ProgressDisplay progress = ProgressDisplay::forPass(toolkit, pass.PassNumber, width - 1);

    std::vector<std::int32_t> columns;
    std::vector<std::int32_t> runStart;
    std::vector<std::vector<LineSegment>> found(kColumnBlock);
    for (std::int64_t first = 0; first < width; first += static_cast<std::int64_t>(thinning) * kColumnBlock) {
        columns.clear();
        for (std::int64_t x = first; x < width && columns.size() < kColumnBlock; x += thinning) {
            columns.push_back(static_cast<std::int32_t>(x));
        }
        runStart.assign(columns.size(), -1);
        const auto count = static_cast<std::int64_t>(columns.size());
        for (std::int32_t y = 0; y < height; ++y) {
            const std::uint8_t* cells = vram.row(y);
            for (std::size_t k = 0; k < columns.size(); ++k) {
                const bool line = cells[columns[k]] != 0;
                if (line && runStart[k] < 0) {
                    runStart[k] = y;
                } else if (!line && runStart[k] >= 0) {
                    found[k].push_back({columns[k], runStart[k], 1, y - runStart[k]});
                    runStart[k] = -1;
                }
            }
            toolkit.doEvents(count);  // once per cell
        }
        for (std::size_t k = 0; k < columns.size(); ++k) {
            toolkit.doEvents();
            if (runStart[k] >= 0) {
                found[k].push_back({columns[k], runStart[k], 1, height - runStart[k]});
            }
            for (const LineSegment& segment : found[k]) {
                segments.push_back(segment);
            }
            found[k].clear();
            progress.update(columns[k], passFraction(columns[k], width - 1));
        }
    }
    progress.finish();
    ++pass.PassNumber;
}

}  // namespace kelvarin
