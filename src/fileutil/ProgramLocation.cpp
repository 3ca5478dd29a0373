// SPDX-License-Identifier: GPL-3.0-or-later
#include "fileutil/ProgramLocation.h"

#include <unistd.h>

#include <vector>

namespace kelvarin {

std::string executablePath() {
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) {
            return {};
        }
        if (static_cast<std::size_t>(length) < buffer.size()) {
            return std::string(buffer.data(), static_cast<std::size_t>(length));
        }
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace kelvarin
