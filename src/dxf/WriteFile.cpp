#include "dxf/WriteFile.h"

#include <optional>

#include "common/ProgressDisplay.h"
#include "common/Toolkit.h"
#include "dxf/OutputLineBuffer.h"
#include "fileutil/Cp932Codec.h"
#include "fileutil/SafeFileWriter.h"

namespace kelvarin {

namespace {

// Converts the non-ASCII lines; the layer name repeats on every entity, so the last one is remembered.
class LineEncoder {
public:
    std::string_view encode(std::string_view text) {
        if (!m_codec) {
            m_codec.emplace();
        }
        if (text != m_lastText) {
            m_lastText = text;
            m_lastEncoded = m_codec->encode(text);
        }
        return m_lastEncoded;
    }

private:
    std::optional<Cp932Codec> m_codec;
    std::string m_lastText;
    std::string m_lastEncoded;
};

}  // namespace

bool WriteFile(const std::string& path, const OutputLineBuffer& lines, Toolkit& toolkit) {
    try {
        const std::int32_t count = lines.count();
        ProgressDisplay progress = ProgressDisplay::forWriting(toolkit, count - 1);
        SafeFileWriter file(path);
        LineEncoder encoder;
        OutputLineBuffer::Reader reader = lines.reader();
        OutputLineBuffer::Line line{};
        for (std::int32_t i = 0; i < count && reader.next(line); ++i) {
            toolkit.doEvents();
            file.write(line.ascii ? line.text : encoder.encode(line.text));
            file.write("\r\n");
            progress.update(i, static_cast<double>(i) / count);
        }
        file.commit();
        return true;
    } catch (...) {
        toolkit.showMessage("ファイル書き込みエラー in WriteFile");
        return false;
    }
}

}  // namespace kelvarin
