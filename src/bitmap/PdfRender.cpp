// SPDX-License-Identifier: GPL-3.0-or-later
#include "bitmap/PdfRender.h"

#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-image.h>
#include <poppler-page-renderer.h>
#include <poppler-page.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "bitmap/GreyThreshold.h"
#include "bitmap/IsolatedWork.h"
#include "bitmap/PackedRows.h"
#include "common/PartReport.h"
#include "common/TextFormat.h"

namespace kelvarin {

namespace {

// The most pixels a drawn page may have: the drawing takes about three bytes a pixel (A0 at 300 dpi, 139
// million pixels, peaks at 420 MiB), so this stays under 1 GiB.
constexpr double kLargestDrawing = double{1 << 28};

// What drawing a page may take in the child process: memory for the drawn picture, twice over, and a fixed
// share for the document's objects, fonts and decoded images; processor time by the number of pixels.
constexpr double kDrawingBytesPerPixel = 4;
constexpr std::int64_t kDrawingBaseMemory = std::int64_t{160} << 20;
constexpr int kDrawingBaseSeconds = 2;
constexpr double kDrawnPixelsPerSecond = 16e6;

// The share of a read's progress the drawing shows; the thresholding of its rows shows the rest.
constexpr double kDrawingShare = 0.6;

// The child's answer, written through its pipe in one piece.
struct DrawnPage {
    enum Outcome : std::int32_t { Drawn, Unreadable, TooLarge } outcome = Unreadable;
    double width = 0;   // dots
    double height = 0;  // dots
    std::int32_t faxDamaged = 0;
    char firstComplaint[256] = {};
};

// The library's complaints while drawing: the first is kept for the note, and any about CCITT fax data
// mark the page's fax data as damaged.
DrawnPage* g_answer = nullptr;

void noteComplaint(const std::string& message, void*) {
    if (g_answer == nullptr) {
        return;
    }
    if (message.find("CCITTFax") != std::string::npos) {
        g_answer->faxDamaged = 1;
    }
    if (g_answer->firstComplaint[0] == '\0') {
        const std::size_t length = std::min(message.size(), sizeof g_answer->firstComplaint - 1);
        std::memcpy(g_answer->firstComplaint, message.data(), length);
    }
}

// A count of dots in a message: whole below 2^53, the general number format above.
std::string dotCount(double dots) {
    return dots < 9.0e15 ? formatInteger(static_cast<std::int64_t>(dots)) : formatGeneral(dots);
}

ImageRefusal tooLarge(double width, double height) {
    return ImageRefusal{"画像が大きすぎて扱えません（" + dotCount(width) + " × " + dotCount(height) + " ドット）"};
}

// The drawing's size at the resolution, in dots, from the page's crop box in points.
void drawnSize(const poppler::page& page, Resolution resolution, double& width, double& height) {
    const poppler::rectf box = page.page_rect(poppler::crop_box);
    const bool across = page.orientation() == poppler::page::landscape || page.orientation() == poppler::page::seascape;
    width = std::ceil((across ? box.height() : box.width()) / 72 * resolution.x);
    height = std::ceil((across ? box.width() : box.height()) / 72 * resolution.y);
}

// In the child process: draws the page in grey into output, one byte a dot, rows top down.
std::string drawPage(std::span<const std::uint8_t> file, int index, Resolution resolution, int output) {
    DrawnPage answer;
    g_answer = &answer;
    poppler::set_debug_error_function(noteComplaint, nullptr);
    const auto reply = [&] { return std::string(reinterpret_cast<const char*>(&answer), sizeof answer); };
    const std::unique_ptr<poppler::document> document(poppler::document::load_from_raw_data(
        reinterpret_cast<const char*>(file.data()), static_cast<int>(file.size())));
    if (!document || document->is_locked() || index >= document->pages()) {
        return reply();
    }
    const std::unique_ptr<poppler::page> page(document->create_page(index));
    if (!page) {
        return reply();
    }
    drawnSize(*page, resolution, answer.width, answer.height);
    if (!(answer.width >= 1 && answer.height >= 1) || answer.width * answer.height > kLargestDrawing) {
        answer.outcome = DrawnPage::TooLarge;
        return reply();
    }
    poppler::page_renderer renderer;
    renderer.set_image_format(poppler::image::format_gray8);
    renderer.set_render_hints(0);  // no smoothing: a thin line stays one dark dot wide, not a lighter grey
    const poppler::image drawn = renderer.render_page(page.get(), resolution.x, resolution.y);
    if (!drawn.is_valid() || drawn.width() <= 0 || drawn.height() <= 0) {
        return reply();
    }
    const auto width = static_cast<std::size_t>(drawn.width());
    const std::size_t size = width * static_cast<std::size_t>(drawn.height());
    if (ftruncate(output, static_cast<off_t>(size)) != 0) {
        throw std::bad_alloc();
    }
    void* mapped = mmap(nullptr, size, PROT_WRITE, MAP_SHARED, output, 0);
    if (mapped == MAP_FAILED) {
        throw std::bad_alloc();
    }
    for (int y = 0; y < drawn.height(); ++y) {
        std::memcpy(static_cast<char*>(mapped) + static_cast<std::size_t>(y) * width,
                    drawn.const_data() + static_cast<std::ptrdiff_t>(y) * drawn.bytes_per_row(), width);
    }
    answer.outcome = DrawnPage::Drawn;
    answer.width = drawn.width();
    answer.height = drawn.height();
    return reply();
}

// The budget of a drawing at the resolution, from the page's size in points (0 when unknown).
WorkLimits drawingLimits(Resolution resolution, double pageWidth, double pageHeight) {
    const double pixels =
        std::clamp(pageWidth / 72 * resolution.x * pageHeight / 72 * resolution.y, 0.0, kLargestDrawing);
    return {kDrawingBaseMemory + static_cast<std::int64_t>(pixels * kDrawingBytesPerPixel),
            kDrawingBaseSeconds + static_cast<int>(std::ceil(pixels / kDrawnPixelsPerSecond))};
}

}  // namespace

void renderPdfPage(std::span<const std::uint8_t> file, int index, Resolution resolution, PageSize page,
                   const ReadOptions& options, BitmapData& data) {
    const WorkLimits limits = drawingLimits(resolution, page.width, page.height);
    std::string reply;
    SharedOutput drawing;
    PartReport drawingPart(options.report, 0, kDrawingShare);
    const IsolatedEnd end = runIsolated([&](int output) { return drawPage(file, index, resolution, output); }, limits,
                                        &drawingPart, reply, drawing);
    if (end == IsolatedEnd::OutOfTime) {
        throw ImageRefusal{"PDF のページを描けません（描くのにかかる時間が限度を超えます）"};
    }
    DrawnPage answer;
    if (end != IsolatedEnd::Finished || reply.size() != sizeof answer) {
        throw ImageRefusal{"PDF のページを描けません（描くのに要るメモリが限度を超えます）"};
    }
    std::memcpy(&answer, reply.data(), sizeof answer);
    if (answer.outcome == DrawnPage::TooLarge) {
        throw tooLarge(answer.width, answer.height);
    }
    const auto width = static_cast<std::int64_t>(answer.width);
    const auto height = static_cast<std::int64_t>(answer.height);
    if (answer.outcome != DrawnPage::Drawn || drawing.size() != static_cast<std::size_t>(width * height)) {
        throw ImageRefusal{"PDF のページを描けません"};
    }
    if (answer.faxDamaged != 0) {
        throw ImageRefusal{"PDF の画像データが壊れています", answer.firstComplaint};
    }
    PackedRows rows(width, height);
    PartReport rowsPart(options.report, kDrawingShare, 1 - kDrawingShare);
    ReadOptions rowOptions = options;
    rowOptions.report = &rowsPart;
    GreyRows grey(rows, rowOptions);
    for (std::int32_t y = 0; y < rows.height(); ++y) {
        std::memcpy(grey.row(y), drawing.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width),
                    static_cast<std::size_t>(width));
        grey.rowDone(y);
    }
    grey.finish();
    std::move(rows).install(data, resolution);
    if (answer.firstComplaint[0] != '\0') {
        data.ReadNote = "PDF のページに描けない部分がありましたが、読み込みました";
        data.ReadNoteDetails = answer.firstComplaint;
    }
}

}  // namespace kelvarin
