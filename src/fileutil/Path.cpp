// SPDX-License-Identifier: GPL-3.0-or-later
#include "fileutil/Path.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <vector>

#include "common/Error.h"

namespace kelvarin {

std::string GetFileNamePart(std::string_view path) {
    const auto last = path.rfind(kPathSeparator);
    return last == std::string_view::npos ? std::string() : std::string(path.substr(last + 1));
}

std::string GetDirectoryPart(std::string_view path) {
    const auto last = path.rfind(kPathSeparator);
    if (last == std::string_view::npos) {
        return {};
    }
    if (last == 0) {
        return std::string(1, kPathSeparator);
    }
    return std::string(path.substr(0, last));
}

std::string JoinPath(std::string_view directory, std::string_view name, bool withTrailingSeparator) {
    if (!directory.empty() && directory.back() == kPathSeparator) {
        directory.remove_suffix(1);
    }
    if (!name.empty() && name.back() == kPathSeparator) {
        name.remove_suffix(1);
    }
    if (!name.empty() && name.front() == kPathSeparator) {
        name.remove_prefix(1);
    }
    std::string result(directory);
    if (!name.empty()) {
        result += kPathSeparator;
        result += name;
    } else if (withTrailingSeparator) {
        result += kPathSeparator;
    }
    return result;
}

std::string absolutePath(std::string_view path) {
    if (!path.empty() && path.front() == kPathSeparator) {
        return std::string(path);
    }
    std::vector<char> buffer(PATH_MAX);
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE) {
            throw systemError(errno);
        }
        buffer.resize(buffer.size() * 2);
    }
    return JoinPath(buffer.data(), path, false);
}

std::string baseNameWithoutExtension(std::string_view path) {
    std::string name = path.find(kPathSeparator) == std::string_view::npos ? std::string(path) : GetFileNamePart(path);
    const auto dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) {
        name.erase(dot);
    }
    return name;
}

}  // namespace kelvarin
