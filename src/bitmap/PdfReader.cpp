// SPDX-License-Identifier: GPL-3.0-or-later
#include "bitmap/PdfReader.h"

#include <algorithm>
#include <cstdint>
#include <new>

#include "bitmap/PackedRows.h"
#include "bitmap/PdfDocument.h"
#include "bitmap/PdfImage.h"
#include "bitmap/PdfRender.h"

namespace kelvarin {

namespace {

// A drawing scanned finer than this is a file's claim, not a scan: drawn at it, a page of an inch whose image
// claims 16000 dpi would take 256 million dots.
constexpr double kHighestScanDpi = 1200;

void readPage(std::span<const std::uint8_t> file, pdf::Document& document, const ReadOptions& options,
              BitmapData& data) {
    const std::int64_t count = document.pageCount();
    if (options.page < 1 || options.page > count) {
        throw pageMissing(options.page, count);
    }
    const int index = options.page - 1;
    const auto [width, height] = document.pageSize(index);
    const auto image = document.soleImage(index);
    if (!image || !image->shownAsStored || !decodePdfImage(document, *image, options, data)) {
        // A page that shows its image in part, or one encoded in a way not read here, is drawn at the
        // image's own resolution up to a scanner's highest; any other page at the resolution asked for.
        const Resolution resolution = image ? Resolution{std::min(image->resolutionX, kHighestScanDpi),
                                                         std::min(image->resolutionY, kHighestScanDpi)}
                                            : Resolution{options.renderDpi, options.renderDpi};
        checkDrawnFaxData(document);
        renderPdfPage(file, index, resolution, {width, height}, options, data);
    }
    data.PageCount = static_cast<std::int32_t>(std::min<std::int64_t>(count, INT32_MAX));
}

}  // namespace

void decodePdf(std::span<const std::uint8_t> file, const ReadOptions& options, BitmapData& data) {
    try {
        pdf::Document document(file.data(), file.size());
        readPage(file, document, options, data);
    } catch (const pdf::Unreadable& unreadable) {
        throw ImageRefusal(
            unreadable.encrypted ? "暗号化された PDF は読めません" : "PDF ファイルが壊れていて読めません",
            unreadable.reason);
    }
}

}  // namespace kelvarin
