// SPDX-License-Identifier: GPL-3.0-or-later
#include "dxf/TemplateFile.h"

#include <cerrno>
#include <fstream>
#include <iterator>

#include "common/Error.h"
#include "common/TextFormat.h"
#include "fileutil/Cp932Codec.h"
#include "fileutil/Path.h"

namespace kelvarin {

std::vector<std::string> splitTemplateLines(std::string_view bytes) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\r') {
            continue;
        }
        lines.emplace_back(bytes.substr(start, i - start));
        if (i + 1 < bytes.size() && bytes[i + 1] == '\n') {
            ++i;
        }
        start = i + 1;
    }
    if (start < bytes.size()) {
        lines.emplace_back(bytes.substr(start));
    }
    return lines;
}

std::vector<std::string> readTemplateLines(const std::string& path, Cp932Codec& codec) {
    errno = 0;
    std::ifstream stream(path, std::ios::binary);
    if (!stream) {
        throw errno != 0 ? systemError(errno) : KelvarinError(ErrorCode::FileNotFound);
    }
    const std::string bytes((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
    if (stream.bad()) {
        throw KelvarinError(ErrorCode::DeviceIo);
    }
    std::vector<std::string> lines = splitTemplateLines(bytes);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        try {
            codec.decode(lines[i]);  // only checked: a round trip would rewrite some extension characters
        } catch (const KelvarinError& error) {
            throw KelvarinError(error.code(), GetFileNamePart(path) + " の " +
                                                  formatInteger(static_cast<std::int64_t>(i) + 1) +
                                                  " 行目: " + error.description());
        }
    }
    return lines;
}

}  // namespace kelvarin
