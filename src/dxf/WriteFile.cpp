#include "dxf/WriteFile.h"

#include "common/ProgressDisplay.h"
#include "common/Toolkit.h"
#include "dxf/OutputLineBuffer.h"
#include "fileutil/SafeFileWriter.h"

namespace kelvarin {

bool WriteFile(const std::string& path, const OutputLineBuffer& lines, Toolkit& toolkit) {
    try {
        const std::int32_t count = lines.count();
        ProgressDisplay progress = ProgressDisplay::forWriting(toolkit, count - 1);
        SafeFileWriter file(path);
        // The buffer already holds the file's bytes: each block is written in one piece, and its lines
        // are counted off for the progress display.
        std::int32_t line = 0;
        for (std::size_t b = 0; b < lines.blockCount(); ++b) {
            const std::span<const char> bytes = lines.block(b);
            const char* end = bytes.data() + bytes.size();
            for (const char* next = bytes.data(); next < end && line < count; ++line) {
                toolkit.doEvents();
                progress.update(line, static_cast<double>(line) / count);
                while (*next != '\r') {  // lines are short: a plain loop beats a library call
                    ++next;
                }
                next += 2;
            }
            file.write({bytes.data(), bytes.size()});
        }
        file.commit();
        return true;
    } catch (...) {
        toolkit.showMessage("ファイル書き込みエラー in WriteFile");
        return false;
    }
}

}  // namespace kelvarin
