// SPDX-License-Identifier: GPL-3.0-or-later
#include "bitmap/PictureDecoding.h"

#include "bitmap/BmpHeader.h"
#include "bitmap/PackedRows.h"
#include "bitmap/PdfReader.h"
#include "bitmap/PngReader.h"
#include "bitmap/PnmReader.h"
#include "bitmap/TiffReader.h"
#include "common/ProgressDisplay.h"
#include "common/Toolkit.h"

namespace kelvarin {

namespace {

// Only TIFF and PDF files have pages beyond the first.
void checkSinglePage(const ReadOptions& options) {
    if (options.page != 1) {
        throw pageMissing(options.page, 1);
    }
}

// Lets the window run, and a stop request end the read, as the read's long steps report their work; the
// bar and the percentage show how far the decoding has come.
class ToolkitTicks : public WorkReport {
public:
    explicit ToolkitTicks(Toolkit& toolkit)
        : m_toolkit(toolkit), m_progress(ProgressDisplay::forReading(toolkit, kBarSteps)) {}
    void advance(std::int64_t ticks, double fraction) override {
        m_progress.update(fraction * kBarSteps, fraction);
        m_toolkit.doEvents(ticks);
    }

private:
    static constexpr double kBarSteps = 1000;
    Toolkit& m_toolkit;
    ProgressDisplay m_progress;
};

}  // namespace

void decodeOtherFormat(ImageFormat format, std::span<const std::uint8_t> file, const ReadOptions& options,
                       BitmapData& data) {
    if (format != ImageFormat::Tiff && format != ImageFormat::Pdf) {
        checkSinglePage(options);
    }
    switch (format) {
        case ImageFormat::Png: decodePng(file, options, data); break;
        case ImageFormat::Tiff: decodeTiff(file, options, data); break;
        case ImageFormat::Pnm: decodePnm(file, options, data); break;
        case ImageFormat::Pdf: decodePdf(file, options, data); break;
        case ImageFormat::Bmp: throw ImageRefusal{"これは BMPファイルではありません"};
    }
}

bool DecodePicture(BitmapData& data, const ReadOptions& options, Toolkit& toolkit) {
    const std::span<const std::uint8_t> file(data.FileBytes.data(), data.FileBytes.size());
    const ImageFormat format = sniffImageFormat(file);
    data.PageCount = 1;
    data.ReadNote.clear();
    data.ReadNoteDetails.clear();
    if (const std::string_view unread = unreadFormatName(file); !unread.empty()) {
        toolkit.showMessage(unreadFormatMessage(unread));
        return false;
    }
    try {
        if (format == ImageFormat::Bmp) {
            checkSinglePage(options);
            return DecodeBitmap(data, toolkit);
        }
        ToolkitTicks ticks(toolkit);
        ReadOptions ticking = options;
        ticking.report = &ticks;
        decodeOtherFormat(format, file, ticking, data);
        if (!data.ReadNote.empty()) {
            toolkit.showDetailedMessage(data.ReadNote, data.ReadNoteDetails);
        }
        return true;
    } catch (const ImageRefusal& refusal) {
        toolkit.showDetailedMessage(refusal.message, refusal.details);
        return false;
    }
}

}  // namespace kelvarin
