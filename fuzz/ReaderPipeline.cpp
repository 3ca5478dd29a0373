// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReaderPipeline.h"

#include <algorithm>
#include <cstring>

#include "FuzzSupport.h"
#include "bitmap/BmpHeader.h"
#include "bitmap/PackedRows.h"
#include "bitmap/PictureDecoding.h"
#include "common/Error.h"
#include "common/PassState.h"
#include "convert/ConversionSettings.h"
#include "convert/LineExtraction.h"
#include "convert/LineSegmentList.h"
#include "dxf/DxfDocument.h"
#include "fileutil/Path.h"

namespace kelvarin::fuzz {

namespace {

// Enough lines to exercise the writer. A noisy picture has hundreds of thousands of runs, and
// formatting them all would cost seconds per input: only the first ones are written.
constexpr std::int64_t kMostWrittenSegments = 20000;

class FirstSegments : public SegmentSource {
public:
    FirstSegments(const SegmentSource& source, std::int64_t limit) : m_source(source), m_limit(limit) {}

    std::int64_t count() const override { return std::min(m_source.count(), m_limit); }
    void forEach(SegmentSink& sink) const override {
        struct Trim : SegmentSink {
            Trim(SegmentSink& target, std::int64_t left) : target(target), left(left) {}
            void take(std::span<const LineSegment> segments) override {
                const auto count = std::min<std::int64_t>(left, static_cast<std::int64_t>(segments.size()));
                if (count > 0) {
                    target.take(segments.first(static_cast<std::size_t>(count)));
                }
                left -= count;
            }
            SegmentSink& target;
            std::int64_t left;
        } trim(sink, count());
        m_source.forEach(trim);
    }

private:
    const SegmentSource& m_source;
    std::int64_t m_limit;
};

// The threshold method taken by the input's length, so that every method meets every reader; PDF pages
// are drawn small, as drawing costs more than the rest of the run.
bool decode(BitmapData& data, ImageFormat format, Toolkit& toolkit) {
    if (format == ImageFormat::Bmp) {
        return DecodeBitmap(data, toolkit);
    }
    ReadOptions options;
    options.method = static_cast<ThresholdMethod>(data.FileBytes.size() % 3);
    options.renderDpi = 24;
    decodeOtherFormat(format, {data.FileBytes.data(), data.FileBytes.size()}, options, data);
    return true;
}

// The passes of the convert command on the grid, with the DXF file written to the scratch folder.
void convertGrid(const BitmapData& data, VirtualVram& vram, const ConversionSettings& settings, Toolkit& toolkit) {
    PassState pass;
    const bool inverted = !settings.LineColorWhite;
    if (inverted) {
        InvertVram(data.BmpHeader, vram, pass, toolkit);
    }
    const std::int64_t horizontal =
        settings.MakeHorizontal ? ExtractHorizontalLines(data.BmpHeader, vram, settings.Thinning, pass, toolkit) : 0;
    const std::int64_t vertical =
        settings.MakeVertical ? ExtractVerticalLines(data.BmpHeader, vram, settings.Thinning, pass, toolkit) : 0;
    const GridRuns runs(vram, settings.Thinning, horizontal, vertical);
    if (inverted) {
        InvertVram(data.BmpHeader, vram, pass, toolkit);
    }
    if (runs.count() < 1) {
        return;
    }
    const FirstSegments written(runs, kMostWrittenSegments);
    const DxfInput input{settings, written, bitmapWidth(data.BmpHeader), bitmapHeight(data.BmpHeader),
                         GetDirectoryPart(targetPath())};
    BuildDxfDocument(input, pass, toolkit);
}

}  // namespace

void convertPicture(std::span<const std::uint8_t> file, ImageFormat format) {
    if (file.empty() || sniffImageFormat(file) != format || declaresHugePicture(file)) {
        return;
    }
    QuietToolkit toolkit;
    BitmapData data;
    data.FileBytes = LargeBuffer(file.size());
    std::memcpy(data.FileBytes.data(), file.data(), file.size());
    data.FileLength = static_cast<std::int32_t>(file.size());
    try {
        if (!decode(data, format, toolkit)) {
            return;
        }
        VirtualVram vram;
        PassState pass;
        TransferToVram(data, vram, pass, toolkit);
        // One conversion per input, its settings chosen by the input's length: writing the DXF file
        // costs more than the read.
        ConversionSettings settings;
        settings.OutputPath = scratchDirectory() + "/out.dxf";
        settings.ReplaceExisting = true;  // the file of the input before
        settings.MakeVertical = true;
        if (file.size() % 2 != 0) {
            settings.LineColorWhite = true;
            settings.Thinning = 3;
            settings.ScaleX = 10.5 / bitmapWidth(data.BmpHeader);
            settings.OffsetY = 2.25;
            settings.LayerName = "線画";
        }
        convertGrid(data, vram, settings, toolkit);
    } catch (const KelvarinError&) {
    } catch (const ImageRefusal&) {
    }
}

}  // namespace kelvarin::fuzz
