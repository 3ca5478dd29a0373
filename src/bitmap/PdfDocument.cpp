// SPDX-License-Identifier: GPL-3.0-or-later
#include "bitmap/PdfDocument.h"

#include <qpdf/Pipeline.hh>
#include <qpdf/Pl_String.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <algorithm>
#include <array>
#include <cmath>
#include <exception>
#include <new>

namespace kelvarin::pdf {

namespace {

// A page's content streams larger than this decoded are not examined for a single image: the page is drawn.
constexpr std::size_t kLargestContent = std::size_t{1} << 20;

// Thrown by a pipeline to end qpdf's decoding early. It is no std::exception, so qpdf does not take it for
// a damaged stream (and go on with the next one) but passes it on.
struct Cutoff {};

// Collects the first limit bytes of decoded data; more ends the decoding.
class Prefix : public Pipeline {
public:
    explicit Prefix(std::size_t limit) : Pipeline("prefix", nullptr), m_limit(limit) {}
    void write(unsigned char const* data, size_t length) override {
        const std::size_t room = m_limit - text.size();
        text.append(reinterpret_cast<const char*>(data), std::min(room, length));
        if (length > room) {
            throw Cutoff{};
        }
    }
    void finish() override {}

    std::string text;

private:
    std::size_t m_limit;
};

// Hands the first limit bytes of decoded data on to a function; more ends the decoding. An exception from
// the function ends it too, and is kept for the caller.
class Forward : public Pipeline {
public:
    Forward(const std::function<void(const std::uint8_t*, std::size_t)>& sink, std::size_t limit)
        : Pipeline("image", nullptr), m_sink(sink), m_left(limit) {}
    void write(unsigned char const* data, size_t length) override {
        const std::size_t taken = std::min(length, m_left);
        if (taken > 0) {
            try {
                m_sink(data, taken);
            } catch (...) {
                failure = std::current_exception();
                throw Cutoff{};
            }
            m_left -= taken;
        }
        if (length > taken) {
            throw Cutoff{};
        }
    }
    void finish() override {}

    std::exception_ptr failure;

private:
    const std::function<void(const std::uint8_t*, std::size_t)>& m_sink;
    std::size_t m_left;
};

using Matrix = std::array<double, 6>;  // a b c d e f, as the cm operator gives them

Matrix multiply(const Matrix& m, const Matrix& n) {
    return {m[0] * n[0] + m[1] * n[2], m[0] * n[1] + m[1] * n[3],        m[2] * n[0] + m[3] * n[2],
            m[2] * n[1] + m[3] * n[3], m[4] * n[0] + m[5] * n[2] + n[4], m[4] * n[1] + m[5] * n[3] + n[5]};
}

// Follows a page's content: the image XObjects it paints with where they go, whether it paints anything
// else (paths, text, shadings, inline images, forms), and whether anything may change how an image shows
// (clips, colours, graphics states, optional content).
class ContentSurvey : public QPDFObjectHandle::ParserCallbacks {
public:
    explicit ContentSurvey(QPDFObjectHandle xobjects) : m_xobjects(xobjects) {}

    void handleObject(QPDFObjectHandle object) override {
        if (!object.isOperator()) {
            if (object.isInlineImage()) {
                otherPainting = true;
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
    std::vector<Placed> images;
    bool otherPainting = false;
    bool altered = false;

private:
    void operate(const std::string& name) {
        static const std::vector<std::string> kPainting = {"f",  "F",  "f*", "B", "B*", "b",  "b*", "S", "s",
                                                           "sh", "Tj", "TJ", "'", "\"", "EI", "d0", "d1"};
        // Operators that change nothing of how an image shows: line styles, rendering intent, flatness,
        // marked content that is not optional content.
        static const std::vector<std::string> kHarmless = {"w", "J",   "j",   "M",  "d", "ri",
                                                           "i", "BMC", "EMC", "MP", "DP"};
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
                images.push_back({xobject, m_matrix});
            } else {
                otherPainting = true;
            }
        } else if (std::find(kPainting.begin(), kPainting.end(), name) != kPainting.end()) {
            otherPainting = true;
        } else if (name == "BDC") {
            altered = altered || (!m_operands.empty() && m_operands[0].isNameAndEquals("/OC"));
        } else if (std::find(kHarmless.begin(), kHarmless.end(), name) == kHarmless.end()) {
            altered = true;
        }
    }

    QPDFObjectHandle m_xobjects;
    Matrix m_matrix{1, 0, 0, 1, 0, 0};
    std::vector<Matrix> m_saved;
    std::vector<QPDFObjectHandle> m_operands;
};

std::int64_t integerOr(QPDFObjectHandle dictionary, const char* key, std::int64_t fallback) {
    QPDFObjectHandle value = dictionary.getKey(key);
    return value.isInteger() ? value.getIntValue() : fallback;
}

bool booleanOr(QPDFObjectHandle dictionary, const char* key, bool fallback) {
    QPDFObjectHandle value = dictionary.getKey(key);
    return value.isBool() ? value.getBoolValue() : fallback;
}

std::vector<std::string> filtersOf(QPDFObjectHandle dictionary) {
    QPDFObjectHandle filter = dictionary.getKey("/Filter");
    std::vector<std::string> names;
    if (filter.isName()) {
        names.push_back(filter.getName());
    } else if (filter.isArray()) {
        for (QPDFObjectHandle item : filter.aitems()) {
            names.push_back(item.isName() ? item.getName() : "");
        }
    }
    return names;
}

std::optional<bool> decodeInverts(QPDFObjectHandle dictionary) {
    QPDFObjectHandle decode = dictionary.getKey("/Decode");
    if (decode.isNull()) {
        return false;
    }
    if (!decode.isArray() || decode.getArrayNItems() != 2 || !decode.getArrayItem(0).isNumber() ||
        !decode.getArrayItem(1).isNumber()) {
        return std::nullopt;
    }
    const double low = decode.getArrayItem(0).getNumericValue();
    const double high = decode.getArrayItem(1).getNumericValue();
    if (low == 0 && high == 1) {
        return false;
    }
    if (low == 1 && high == 0) {
        return true;
    }
    return std::nullopt;
}

// 1 for a grey colour space, 3 for an RGB one, 0 for any other.
int componentsOf(QPDFObjectHandle space) {
    if (space.isArray() && space.getArrayNItems() > 0) {
        QPDFObjectHandle family = space.getArrayItem(0);
        if (family.isNameAndEquals("/ICCBased") && space.getArrayNItems() > 1 && space.getArrayItem(1).isStream()) {
            const std::int64_t n = integerOr(space.getArrayItem(1).getDict(), "/N", 0);
            return n == 1 || n == 3 ? static_cast<int>(n) : 0;
        }
        return family.isNameAndEquals("/CalGray") ? 1 : family.isNameAndEquals("/CalRGB") ? 3 : 0;
    }
    return space.isNameAndEquals("/DeviceGray") ? 1 : space.isNameAndEquals("/DeviceRGB") ? 3 : 0;
}

// An /Indexed colour space over grey or RGB: its table of base colours, up to 256 entries.
void readPalette(QPDFObjectHandle space, ImageFacts& facts) {
    if (!space.isArray() || space.getArrayNItems() != 4 || !space.getArrayItem(0).isNameAndEquals("/Indexed")) {
        return;
    }
    const int base = componentsOf(space.getArrayItem(1));
    QPDFObjectHandle highest = space.getArrayItem(2);
    QPDFObjectHandle lookup = space.getArrayItem(3);
    if (base == 0 || !highest.isInteger() || highest.getIntValue() < 0 || highest.getIntValue() > 255) {
        return;
    }
    const std::size_t size = static_cast<std::size_t>(highest.getIntValue() + 1) * static_cast<std::size_t>(base);
    std::string table;
    if (lookup.isString()) {
        table = lookup.getStringValue();
    } else if (lookup.isStream()) {
        // Only the entries the image may use are decoded, however long the table.
        Prefix sink(size);
        try {
            if (!lookup.pipeStreamData(&sink, nullptr, 0, qpdf_dl_generalized, true)) {
                return;
            }
        } catch (const Cutoff&) {
        }
        table = std::move(sink.text);
    } else {
        return;
    }
    table.resize(size, '\0');
    facts.components = base;
    facts.palette.assign(table.begin(), table.end());
}

// The image's facts, placed at width by height points.
ImageFacts factsOf(QPDFObjectHandle image, double width, double height) {
    QPDFObjectHandle dictionary = image.getDict();
    ImageFacts facts;
    facts.width = integerOr(dictionary, "/Width", 0);
    facts.height = integerOr(dictionary, "/Height", 0);
    facts.resolutionX = static_cast<double>(facts.width) * 72 / width;
    facts.resolutionY = static_cast<double>(facts.height) * 72 / height;
    facts.mask = booleanOr(dictionary, "/ImageMask", false);
    facts.bitsPerComponent = facts.mask ? 1 : integerOr(dictionary, "/BitsPerComponent", 0);
    QPDFObjectHandle space = dictionary.getKey("/ColorSpace");
    facts.components = facts.mask ? 1 : componentsOf(space);
    if (!facts.mask && facts.components == 0) {
        readPalette(space, facts);
    }
    facts.decodeInverts = decodeInverts(dictionary);
    facts.masked = dictionary.hasKey("/SMask") || dictionary.hasKey("/Mask");
    facts.filters = filtersOf(dictionary);
    facts.storedLength = integerOr(dictionary, "/Length", 0);
    QPDFObjectHandle parms = dictionary.getKey("/DecodeParms");
    if (parms.isArray() && parms.getArrayNItems() > 0) {
        parms = parms.getArrayItem(0);
    }
    if (parms.isDictionary()) {
        facts.faxK = integerOr(parms, "/K", 0);
        facts.faxColumns = integerOr(parms, "/Columns", 1728);
        facts.faxBlackIs1 = booleanOr(parms, "/BlackIs1", false);
        facts.faxByteAlign = booleanOr(parms, "/EncodedByteAlign", false);
    }
    return facts;
}

// Runs a qpdf call, turning qpdf's complaints about the file into Unreadable.
template <typename Call>
auto guarded(Call call) -> decltype(call()) {
    try {
        return call();
    } catch (const QPDFExc& error) {
        throw Unreadable{error.getErrorCode() == qpdf_e_password, error.getMessageDetail()};
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception& error) {
        throw Unreadable{false, error.what()};
    }
}

}  // namespace

struct Document::State {
    QPDF pdf;
    std::vector<QPDFPageObjectHelper> pages;
    QPDFObjectHandle image;                      // of the page last asked for
    std::vector<ContentSurvey::Placed> painted;  // the images that page's own content paints
    std::int64_t fileSize = 0;
};

Document::Document(const std::uint8_t* bytes, std::size_t size) : m_state(std::make_unique<State>()) {
    QPDF& pdf = m_state->pdf;
    m_state->fileSize = static_cast<std::int64_t>(size);
    pdf.setSuppressWarnings(true);
    pdf.setAttemptRecovery(false);
    guarded([&] {
        pdf.processMemoryFile("input", reinterpret_cast<const char*>(bytes), size);
        m_state->pages = QPDFPageDocumentHelper(pdf).getAllPages();
    });
    // Even a file a viewer opens without a password is refused: what it may be used for is its owner's say.
    if (pdf.isEncrypted()) {
        throw Unreadable{true, {}};
    }
}

Document::~Document() = default;

std::int64_t Document::pageCount() { return static_cast<std::int64_t>(m_state->pages.size()); }

std::pair<double, double> Document::pageSize(std::int64_t index) {
    return guarded([&] {
        const QPDFObjectHandle::Rectangle box =
            m_state->pages.at(static_cast<std::size_t>(index)).getCropBox().getArrayAsRectangle();
        return std::pair<double, double>{box.urx - box.llx, box.ury - box.lly};
    });
}

std::optional<ImageFacts> Document::soleImage(std::int64_t index) {
    return guarded([&]() -> std::optional<ImageFacts> {
        QPDFPageObjectHelper& page = m_state->pages.at(static_cast<std::size_t>(index));
        m_state->painted.clear();
        Prefix content(kLargestContent);
        try {
            // Each stream on its own: qpdf's own concatenation keeps them all in memory first.
            bool first = true;
            for (QPDFObjectHandle stream : page.getPageContents()) {
                if (!first) {
                    content.write(reinterpret_cast<const unsigned char*>("\n"), 1);
                }
                first = false;
                if (!stream.pipeStreamData(&content, nullptr, 0, qpdf_dl_specialized, true)) {
                    throw QPDFExc(qpdf_e_damaged_pdf, "", "", 0, "errors while decoding content stream");
                }
            }
        } catch (const Cutoff&) {
            return std::nullopt;
        }
        QPDFObjectHandle resources = page.getAttribute("/Resources", false);
        ContentSurvey survey(resources.isDictionary() ? resources.getKey("/XObject") : QPDFObjectHandle::newNull());
        QPDFObjectHandle::parseContentStream(QPDFObjectHandle::newStream(&m_state->pdf, content.text), &survey);
        m_state->painted = survey.images;
        if (survey.otherPainting || survey.images.size() != 1) {
            return std::nullopt;
        }
        const Matrix& m = survey.images[0].where;
        if (std::abs(m[1]) > 1e-6 || std::abs(m[2]) > 1e-6 || m[0] == 0 || m[3] == 0) {
            return std::nullopt;
        }
        const QPDFObjectHandle::Rectangle box = page.getCropBox().getArrayAsRectangle();
        const double width = box.urx - box.llx;
        const double height = box.ury - box.lly;
        constexpr double kTolerance = 1;  // points
        const bool covers = width > 0 && height > 0 && std::abs(m[0] - width) < kTolerance &&
                            std::abs(m[3] - height) < kTolerance && std::abs(m[4] - box.llx) < kTolerance &&
                            std::abs(m[5] - box.lly) < kTolerance;
        QPDFObjectHandle rotate = page.getAttribute("/Rotate", false);
        const std::int64_t turn = rotate.isInteger() ? rotate.getIntValue() % 360 : 0;
        QPDFObjectHandle annotations = page.getObjectHandle().getKey("/Annots");
        m_state->image = survey.images[0].image;
        ImageFacts facts = factsOf(m_state->image, std::abs(m[0]), std::abs(m[3]));
        facts.storedLength = std::min(facts.storedLength, m_state->fileSize);
        facts.shownAsStored = covers && !survey.altered && turn == 0 && !m_state->image.getDict().hasKey("/OC") &&
                              !(annotations.isArray() && annotations.getArrayNItems() > 0);
        if (turn % 180 != 0) {
            std::swap(facts.resolutionX, facts.resolutionY);
        }
        return facts;
    });
}

std::vector<std::pair<ImageFacts, std::string>> Document::paintedFaxImages() {
    return guarded([&] {
        std::vector<std::pair<ImageFacts, std::string>> found;
        for (const ContentSurvey::Placed& placed : m_state->painted) {
            QPDFObjectHandle image = placed.image;
            const std::vector<std::string> filters = filtersOf(image.getDict());
            if (filters.size() != 1 || (filters[0] != "/CCITTFaxDecode" && filters[0] != "/CCF")) {
                continue;
            }
            std::string data;
            Pl_String sink("raw", nullptr, data);
            if (image.pipeStreamData(&sink, nullptr, 0, qpdf_dl_none, true)) {
                found.emplace_back(factsOf(image, 72, 72), std::move(data));
            }
        }
        return found;
    });
}

bool Document::rawImageData(std::string& data) {
    return guarded([&] {
        Pl_String sink("raw", nullptr, data);
        return m_state->image.pipeStreamData(&sink, nullptr, 0, qpdf_dl_none, true);
    });
}

bool Document::decodedImageData(const std::function<void(const std::uint8_t*, std::size_t)>& sink, std::size_t limit) {
    Forward forward(sink, limit);
    const bool decoded = guarded([&] {
        bool filtered = false;
        try {
            const bool piped = m_state->image.pipeStreamData(&forward, &filtered, 0, qpdf_dl_all, true);
            return piped && (filtered || m_state->image.getDict().getKey("/Filter").isNull());
        } catch (const Cutoff&) {
            return true;
        }
    });
    if (forward.failure) {
        std::rethrow_exception(forward.failure);
    }
    return decoded;
}

}  // namespace kelvarin::pdf
