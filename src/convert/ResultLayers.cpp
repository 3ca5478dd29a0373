#include "convert/ResultLayers.h"

#include <algorithm>

#include "bitmap/BmpHeader.h"
#include "common/PassState.h"
#include "common/Toolkit.h"

namespace kelvarin {

namespace {

class GridRows : public RowSource {
public:
    explicit GridRows(const VirtualVram& grid) : m_grid(grid) {}
    void readRow(std::int32_t y, std::int32_t firstWord, std::span<std::uint64_t> words) const override {
        for (std::size_t i = 0; i < words.size(); ++i) {
            words[i] = m_grid.word(y, firstWord + static_cast<std::int32_t>(i));
        }
    }

private:
    const VirtualVram& m_grid;
};

// Despeckling again for the view shows no progress and lets no events run.
class SilentToolkit : public Toolkit {
public:
    void setProgressMin(float) override {}
    void setProgressMax(float) override {}
    void setProgressValue(float) override {}
    void setPercentCaption(std::string_view) override {}
    void setPercentAlignment(Alignment) override {}
    void showMessage(std::string_view) override {}
    bool askYesNo(std::string_view) override { return false; }

protected:
    void processEvents() override {}
};

LineCells linesOf(const VirtualVram& grid, const ConversionSettings& settings) {
    return settings.Options.Strokes
               ? LineCells::ofStrokes(grid)
               : LineCells::ofRuns(grid, settings.MakeHorizontal, settings.MakeVertical, settings.Thinning);
}

}  // namespace

ResultLayers::ResultLayers(const BitmapData& bitmap, const ConversionSettings& settings) {
    const std::int32_t width = bitmapWidth(bitmap.BmpHeader);
    const std::int32_t height = bitmapHeight(bitmap.BmpHeader);
    const std::int64_t stride = rowStride(width);
    const auto size = static_cast<std::size_t>(stride * height);
    m_rows = LargeBuffer(size);
    const std::size_t copied = std::min(size, bitmap.PixelBytes.size());
    splitAcrossCores(static_cast<std::int64_t>(copied), [&](std::int64_t first, std::int64_t end) {
        std::copy(bitmap.PixelBytes.begin() + first, bitmap.PixelBytes.begin() + end, m_rows.begin() + first);
    });
    m_scan.attach({m_rows.data(), size}, width, height, stride);
    if (!settings.LineColorWhite) {
        m_scan.invert();
    }
    m_scanPyramid.build(GridRows(m_scan), width, height);
    const VirtualVram* grid = &m_scan;
    if (settings.Options.DespeckleSize > 0) {
        PassState pass;
        SilentToolkit toolkit;
        Despeckle(bitmap.BmpHeader, m_scan, settings.Options.DespeckleSize, m_cleaned, pass, toolkit);
        grid = &m_cleaned.vram;
    }
    m_lines = linesOf(*grid, settings);
    m_sharedPyramid = grid == &m_scan && m_lines.sameAsGrid();
    if (!m_sharedPyramid) {
        m_linePyramid.build(m_lines, width, height);
    }
}

}  // namespace kelvarin
