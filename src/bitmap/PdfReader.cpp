#include "bitmap/PdfReader.h"

#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <array>
#include <cmath>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "bitmap/PackedRows.h"
#include "bitmap/PdfImage.h"
#include "bitmap/PdfRender.h"

namespace kelvarin {

namespace {

// A page's content streams larger than this decoded are not examined for a single image: the page is drawn.
constexpr std::size_t kLargestContent = std::size_t{16} << 20;

// Collects decoded content up to a limit, noting whether there was more.
class LimitedText : public Pipeline {
public:
    LimitedText() : Pipeline("content", nullptr) {}
    void write(unsigned char const* data, size_t length) override {
        if (m_text.size() + length > kLargestContent) {
            m_overflow = true;
            return;
        }
        m_text.append(reinterpret_cast<const char*>(data), length);
    }
    void finish() override {}

    std::string m_text;
    bool m_overflow = false;
};

using Matrix = std::array<double, 6>;  // a b c d e f, as the cm operator gives them

Matrix multiply(const Matrix& m, const Matrix& n) {
    return {m[0] * n[0] + m[1] * n[2], m[0] * n[1] + m[1] * n[3],        m[2] * n[0] + m[3] * n[2],
            m[2] * n[1] + m[3] * n[3], m[4] * n[0] + m[5] * n[2] + n[4], m[4] * n[1] + m[5] * n[3] + n[5]};
}

// Follows a page's content: the image XObjects it paints with where they go, and whether it paints anything
// else (paths, text, shadings, inline images, forms).
class ContentSurvey : public QPDFObjectHandle::ParserCallbacks {
public:
    explicit ContentSurvey(QPDFObjectHandle xobjects) : m_xobjects(xobjects) {}

    void handleObject(QPDFObjectHandle object) override {
        if (!object.isOperator()) {
            if (object.isInlineImage()) {
                m_otherPainting = true;
            }
            m_operands.push_back(object);
            return;
        }
        operate(object.getOperatorValue());
        m_operands.clear();
    }
    void handleEOF() override {}

    struct Placed {
        QPDFObjectHandle image;
        Matrix where;
    };
    std::vector<Placed> m_images;
    bool m_otherPainting = false;

private:
    void operate(const std::string& name) {
        static const std::vector<std::string> kPainting = {"f",  "F",  "f*", "B", "B*", "b",  "b*", "S", "s",
                                                           "sh", "Tj", "TJ", "'", "\"", "EI", "d0", "d1"};
        if (name == "q") {
            m_saved.push_back(m_matrix);
        } else if (name == "Q" && !m_saved.empty()) {
            m_matrix = m_saved.back();
            m_saved.pop_back();
        } else if (name == "cm" && m_operands.size() == 6) {
            Matrix m{};
            for (std::size_t i = 0; i < 6; ++i) {
                m[i] = m_operands[i].isNumber() ? m_operands[i].getNumericValue() : 0;
            }
            m_matrix = multiply(m, m_matrix);
        } else if (name == "Do" && m_operands.size() == 1 && m_operands[0].isName()) {
            QPDFObjectHandle xobject =
                m_xobjects.isDictionary() ? m_xobjects.getKey(m_operands[0].getName()) : QPDFObjectHandle::newNull();
            if (xobject.isStream() && xobject.getDict().getKey("/Subtype").isNameAndEquals("/Image")) {
                m_images.push_back({xobject, m_matrix});
            } else {
                m_otherPainting = true;
            }
        } else if (std::find(kPainting.begin(), kPainting.end(), name) != kPainting.end()) {
            m_otherPainting = true;
        }
    }

    QPDFObjectHandle m_xobjects;
    Matrix m_matrix{1, 0, 0, 1, 0, 0};
    std::vector<Matrix> m_saved;
    std::vector<QPDFObjectHandle> m_operands;
};

// The image that alone makes up the page, placed upright over the whole page, and its resolution.
struct CoveringImage {
    QPDFObjectHandle image;
    Resolution resolution;
};

std::optional<CoveringImage> coveringImage(QPDF& pdf, QPDFPageObjectHelper& page) {
    QPDFObjectHandle rotate = page.getAttribute("/Rotate", false);
    if (rotate.isInteger() && rotate.getIntValue() % 360 != 0) {
        return std::nullopt;
    }
    LimitedText content;
    page.pipeContents(&content);
    if (content.m_overflow) {
        return std::nullopt;
    }
    QPDFObjectHandle resources = page.getAttribute("/Resources", false);
    ContentSurvey survey(resources.isDictionary() ? resources.getKey("/XObject") : QPDFObjectHandle::newNull());
    QPDFObjectHandle::parseContentStream(QPDFObjectHandle::newStream(&pdf, content.m_text), &survey);
    if (survey.m_otherPainting || survey.m_images.size() != 1) {
        return std::nullopt;
    }
    const QPDFObjectHandle::Rectangle box = page.getCropBox().getArrayAsRectangle();
    const double pageWidth = box.urx - box.llx;
    const double pageHeight = box.ury - box.lly;
    const Matrix& m = survey.m_images[0].where;
    // Within a point of the page's edges.
    constexpr double kTolerance = 1;
    const bool covers = std::abs(m[1]) < 1e-6 && std::abs(m[2]) < 1e-6 && std::abs(m[0] - pageWidth) < kTolerance &&
                        std::abs(m[3] - pageHeight) < kTolerance && std::abs(m[4] - box.llx) < kTolerance &&
                        std::abs(m[5] - box.lly) < kTolerance && pageWidth > 0 && pageHeight > 0;
    if (!covers) {
        return std::nullopt;
    }
    QPDFObjectHandle image = survey.m_images[0].image;
    QPDFObjectHandle dictionary = image.getDict();
    QPDFObjectHandle width = dictionary.getKey("/Width");
    QPDFObjectHandle height = dictionary.getKey("/Height");
    if (!width.isInteger() || !height.isInteger()) {
        return std::nullopt;
    }
    return CoveringImage{
        image,
        {static_cast<double>(width.getIntValue()) * 72 / m[0], static_cast<double>(height.getIntValue()) * 72 / m[3]}};
}

void readPage(std::span<const std::uint8_t> file, QPDF& pdf, const ReadOptions& options, BitmapData& data) {
    std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(pdf).getAllPages();
    const auto count = static_cast<std::int64_t>(pages.size());
    if (options.page < 1 || options.page > count) {
        throw pageMissing(options.page, count);
    }
    const int index = options.page - 1;
    if (const auto covering = coveringImage(pdf, pages[static_cast<std::size_t>(index)])) {
        if (decodePdfImage(covering->image, covering->resolution, options, data)) {
            return;
        }
        // An image encoded in a way not read here is drawn at its own size.
        renderPdfPage(file, index, covering->resolution, options, data);
        return;
    }
    renderPdfPage(file, index, {options.renderDpi, options.renderDpi}, options, data);
}

}  // namespace

void decodePdf(std::span<const std::uint8_t> file, const ReadOptions& options, BitmapData& data) {
    QPDF pdf;
    pdf.setSuppressWarnings(true);
    pdf.setAttemptRecovery(false);
    try {
        pdf.processMemoryFile("input", reinterpret_cast<const char*>(file.data()), file.size());
    } catch (const QPDFExc& error) {
        throw ImageRefusal{error.getErrorCode() == qpdf_e_password ? "暗号化された PDF は読めません"
                                                                   : "PDF ファイルが壊れていて読めません"};
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception&) {
        throw ImageRefusal{"PDF ファイルが壊れていて読めません"};
    }
    if (pdf.isEncrypted()) {
        throw ImageRefusal{"暗号化された PDF は読めません"};
    }
    try {
        readPage(file, pdf, options, data);
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception&) {
        throw ImageRefusal{"PDF ファイルが壊れていて読めません"};
    }
}

}  // namespace kelvarin
