// SPDX-License-Identifier: GPL-3.0-or-later
#include "dxf/WriteFile.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <string_view>
#include <vector>

#include "common/Error.h"
#include "common/ProgressDisplay.h"
#include "common/TextFormat.h"
#include "common/Toolkit.h"
#include "convert/LineSegmentList.h"
#include "dxf/CoordinateTexts.h"
#include "dxf/DxfContent.h"
#include "fileutil/SafeFileWriter.h"

namespace kelvarin {

namespace {

constexpr std::size_t kBlockSize = std::size_t{1} << 20;
// The most one LINE entity takes besides its layer name: fixed texts and four coordinates.
constexpr std::size_t kEntitySpace = 256;

// Collects lines in a block that goes to the file whenever it is nearly full, and moves the progress
// display on as lines are written.
class LineOutput {
public:
    LineOutput(SafeFileWriter& file, Toolkit& toolkit, std::int64_t lineCount)
        : m_file(file),
          m_toolkit(toolkit),
          m_progress(ProgressDisplay::forWriting(toolkit, static_cast<double>(lineCount - 1))),
          m_lineCount(lineCount),
          m_block(kBlockSize) {}

    void line(std::string_view text) {
        char* out = reserve(text.size() + 2);
        std::memcpy(out, text.data(), text.size());
        out[text.size()] = '\r';
        out[text.size() + 1] = '\n';
        m_used += text.size() + 2;
        advance(1);
    }
    // Space for size bytes of lines, given back with commit().
    char* reserve(std::size_t size) {
        if (m_block.size() - m_used < size) {
            flush();
            if (m_block.size() < size) {
                m_block.resize(size);
            }
        }
        return m_block.data() + m_used;
    }
    void commit(char* end, std::int64_t lines) {
        m_used = static_cast<std::size_t>(end - m_block.data());
        advance(lines);
    }
    void flush() {
        m_file.write({m_block.data(), m_used});
        m_used = 0;
    }

private:
    // Shows the last of the lines just written as the one in progress.
    void advance(std::int64_t lines) {
        m_written += lines;
        m_toolkit.doEvents();
        const std::int64_t current = m_written - 1;
        m_progress.update(static_cast<double>(current),
                          static_cast<double>(current) / static_cast<double>(m_lineCount));
    }

    SafeFileWriter& m_file;
    Toolkit& m_toolkit;
    ProgressDisplay m_progress;
    std::int64_t m_lineCount;
    std::int64_t m_written = 0;
    std::vector<char> m_block;
    std::size_t m_used = 0;
};

char* append(char* out, std::string_view text) {
    std::memcpy(out, text.data(), text.size());
    return out + text.size();
}

// Formats each segment as a LINE entity along its longer side through its middle: a run from its first
// cell to its last, a stroke's rectangle along its length. Positions are in half cells, so that the
// middle of an even thickness lies between two cells.
class EntityWriter : public SegmentSink {
public:
    EntityWriter(const DxfContent& content, LineOutput& output)
        : m_prefix("  0\r\nLINE\r\n  8\r\n" + content.layerName + "\r\n  6\r\nCONTINUOUS\r\n 62\r\n    7\r\n 10\r\n"),
          m_x(content.scaleX, content.offsetX),
          m_y(content.scaleY, content.offsetY),
          m_output(output) {}

    void take(std::span<const LineSegment> segments) override {
        for (const LineSegment& segment : segments) {
            const std::int64_t firstX = std::int64_t{segment.StartX} * 2;
            const std::int64_t lastX = firstX + (std::int64_t{segment.SpanX} - 1) * 2;
            const std::int64_t firstY = std::int64_t{segment.StartY} * 2;
            const std::int64_t lastY = firstY + (std::int64_t{segment.SpanY} - 1) * 2;
            if (segment.SpanX >= segment.SpanY) {
                const std::int64_t middleY = (firstY + lastY) / 2;
                write(firstX, middleY, lastX, middleY);
            } else {
                const std::int64_t middleX = (firstX + lastX) / 2;
                write(middleX, firstY, middleX, lastY);
            }
        }
    }

private:
    void write(std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2) {
        char* out = m_output.reserve(m_prefix.size() + kEntitySpace);
        out = append(out, m_prefix);
        out = append(out, m_x.atHalves(x1));
        out = append(out, "\r\n 20\r\n");
        out = append(out, m_y.atHalves(y1));
        out = append(out, "\r\n 11\r\n");
        out = append(out, m_x.atHalves(x2));
        out = append(out, "\r\n 21\r\n");
        out = append(out, m_y.atHalves(y2));
        out = append(out, "\r\n");
        m_output.commit(out, DxfContent::kLinesPerEntity);
    }

    std::string m_prefix;
    CoordinateTexts m_x;
    CoordinateTexts m_y;
    LineOutput& m_output;
};

// Formats the vector drawing's LINEs, ARCs and CIRCLEs. Positions are rounded to thousandths of a dot
// first, which is far finer than a scan and keeps the numbers short.
class DrawingWriter {
public:
    DrawingWriter(const DxfContent& content, LineOutput& output)
        : m_layer("  8\r\n" + content.layerName + "\r\n  6\r\nCONTINUOUS\r\n 62\r\n    7\r\n"),
          m_content(content),
          m_output(output) {}

    void write(const VectorDrawing& drawing) {
        for (const VectorLine& line : drawing.lines) {
            char* out = start("LINE");
            out = point(out, " 10", " 20", line.a);
            out = point(out, " 11", " 21", line.b);
            m_output.commit(out, DxfContent::kLinesPerEntity);
        }
        for (const VectorArc& arc : drawing.arcs) {
            char* out = start("ARC");
            out = point(out, " 10", " 20", arc.centre);
            out = number(out, " 40", radius(arc.radius));
            out = number(out, " 50", rounded(arc.startDegrees));
            out = number(out, " 51", rounded(arc.endDegrees));
            m_output.commit(out, DxfContent::kLinesPerArc);
        }
        for (const VectorCircle& circle : drawing.circles) {
            char* out = start("CIRCLE");
            out = point(out, " 10", " 20", circle.centre);
            out = number(out, " 40", radius(circle.radius));
            m_output.commit(out, DxfContent::kLinesPerCircle);
        }
        for (std::size_t i = 0; i < drawing.texts.size(); ++i) {
            writeText(drawing.texts[i], m_content.textBytes[i]);
        }
    }

private:
    static double rounded(double value) { return std::round(value * 1000) / 1000; }

    // A TEXT on its own layer. Different scales across and up turn the baseline's direction as they turn
    // the drawing; the height takes the scale across the baseline.
    void writeText(const VectorText& text, const std::string& bytes) {
        const double radians = text.degrees * std::numbers::pi / 180;
        const double along = std::atan2(std::sin(radians) * m_content.scaleY, std::cos(radians) * m_content.scaleX);
        const double across = std::hypot(std::cos(radians) * m_content.scaleY, std::sin(radians) * m_content.scaleX);
        const double degrees = std::fmod(along * 180 / std::numbers::pi + 360, 360.0);
        char* out = m_output.reserve(bytes.size() + kEntitySpace);
        out = append(out, "  0\r\nTEXT\r\n  8\r\n");
        out = append(out, DxfContent::kTextLayer);
        out = append(out, "\r\n");
        out = point(out, " 10", " 20", text.insertion);
        out = number(out, " 40", std::max(rounded(text.height * across), 0.001));
        out = append(out, "  1\r\n");
        out = append(out, bytes);
        out = append(out, "\r\n");
        out = number(out, " 50", rounded(degrees));
        m_output.commit(out, DxfContent::kLinesPerText);
    }
    // A circle stays a circle: its radius takes the mean of the two scales.
    double radius(double dots) const { return rounded(dots) * (m_content.scaleX + m_content.scaleY) / 2; }

    char* start(std::string_view kind) {
        char* out = m_output.reserve(m_layer.size() + kEntitySpace);
        out = append(out, "  0\r\n");
        out = append(out, kind);
        out = append(out, "\r\n");
        return append(out, m_layer);
    }
    char* point(char* out, std::string_view xCode, std::string_view yCode, Point p) const {
        out = number(out, xCode, rounded(p.x) * m_content.scaleX + m_content.offsetX);
        return number(out, yCode, rounded(p.y) * m_content.scaleY + m_content.offsetY);
    }
    static char* number(char* out, std::string_view code, double value) {
        out = append(out, code);
        out = append(out, "\r\n");
        out = append(out, formatGeneral(value));
        return append(out, "\r\n");
    }

    std::string m_layer;
    const DxfContent& m_content;
    LineOutput& m_output;
};

void writeDocument(const DxfContent& content, LineOutput& output) {
    for (const std::string& line : content.headerLines) {
        output.line(line);
    }
    for (const char* variable : {"$EXTMAX", "$LIMMAX"}) {
        output.line("  9");
        output.line(variable);
        output.line(" 10");
        output.line(content.extentX);
        output.line(" 20");
        output.line(content.extentY);
    }
    for (const char* line : {"  0", "ENDSEC", "  0", "SECTION", "  2", "ENTITIES"}) {
        output.line(line);
    }
    EntityWriter entities(content, output);
    content.segments.forEach(entities);
    if (content.drawing != nullptr) {
        DrawingWriter(content, output).write(*content.drawing);
    }
    output.line("  0");
    output.line("ENDSEC");
    for (const std::string& line : content.footerLines) {
        output.line(line);
    }
    output.flush();
}

}  // namespace

bool WriteFile(const std::string& path, bool replaceExisting, const DxfContent& content, Toolkit& toolkit) {
    try {
        SafeFileWriter file(path, FileSystemCalls::system(), replaceExisting);
        LineOutput output(file, toolkit, content.lineCount());
        writeDocument(content, output);
        file.commit();
        return true;
    } catch (...) {
        const KelvarinError error = asKelvarinError(std::current_exception());
        toolkit.showDetailedMessage("ファイル書き込みエラー in WriteFile",
                                    (error.place().empty() ? path : error.place()) + ": " + reasonOf(error));
        return false;
    }
}

}  // namespace kelvarin
