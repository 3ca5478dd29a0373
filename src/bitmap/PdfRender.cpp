#include "bitmap/PdfRender.h"

#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-image.h>
#include <poppler-page-renderer.h>
#include <poppler-page.h>

#include <cmath>
#include <cstring>
#include <memory>

#include "bitmap/GreyThreshold.h"
#include "bitmap/PackedRows.h"
#include "common/TextFormat.h"

namespace kelvarin {

namespace {

// The drawing library's complaints about a file are not the user's concern: a page it cannot draw is
// refused with one message.
void ignoreMessage(const std::string&, void*) {}

// The most pixels a drawn page may have: the drawing takes about three bytes a pixel (A0 at 300 dpi, 139
// million pixels, peaks at 420 MiB), so this stays under 1 GiB.
constexpr double kLargestDrawing = double{1 << 28};

}  // namespace

void renderPdfPage(std::span<const std::uint8_t> file, int index, Resolution resolution, const ReadOptions& options,
                   BitmapData& data) {
    poppler::set_debug_error_function(ignoreMessage, nullptr);
    const std::unique_ptr<poppler::document> document(poppler::document::load_from_raw_data(
        reinterpret_cast<const char*>(file.data()), static_cast<int>(file.size())));
    if (!document || document->is_locked() || index >= document->pages()) {
        throw ImageRefusal{"PDF のページを描けません"};
    }
    const std::unique_ptr<poppler::page> page(document->create_page(index));
    if (!page) {
        throw ImageRefusal{"PDF のページを描けません"};
    }
    const poppler::rectf box = page->page_rect(poppler::crop_box);
    const double width = std::ceil(box.width() / 72 * resolution.x);
    const double height = std::ceil(box.height() / 72 * resolution.y);
    if (!(width >= 1 && height >= 1) || width * height > kLargestDrawing) {
        throw ImageRefusal{"画像が大きすぎて扱えません（" + formatInteger(static_cast<std::int64_t>(width)) + " × " +
                           formatInteger(static_cast<std::int64_t>(height)) + " ドット）"};
    }
    poppler::page_renderer renderer;
    renderer.set_image_format(poppler::image::format_gray8);
    renderer.set_render_hints(0);  // no smoothing: a thin line stays one dark dot wide, not a lighter grey
    const poppler::image drawn = renderer.render_page(page.get(), resolution.x, resolution.y);
    if (!drawn.is_valid() || drawn.width() <= 0 || drawn.height() <= 0) {
        throw ImageRefusal{"PDF のページを描けません"};
    }
    PackedRows rows(drawn.width(), drawn.height());
    GreyRows grey(rows, options);
    for (std::int32_t y = 0; y < rows.height(); ++y) {
        std::memcpy(grey.row(y), drawn.const_data() + static_cast<std::ptrdiff_t>(y) * drawn.bytes_per_row(),
                    static_cast<std::size_t>(rows.width()));
        grey.rowDone(y);
    }
    grey.finish();
    std::move(rows).install(data, resolution);
}

}  // namespace kelvarin
