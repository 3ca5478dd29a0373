// SPDX-License-Identifier: GPL-3.0-or-later
#include "fileutil/TemporaryFiles.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <string_view>

namespace kelvarin {

namespace {

// A temporary name in the directory: the prefix and six letters and digits spelling value.
std::string temporaryNameOf(std::uint64_t value, const std::string& directoryPrefix) {
    constexpr std::string_view kLetters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string name = directoryPrefix + kTemporaryPrefix;
    for (int i = 0; i < 6; ++i) {
        name += kLetters[value % kLetters.size()];
        value /= kLetters.size();
    }
    return name;
}

}  // namespace

std::string temporaryName(const std::string& directoryPrefix) {
    static std::atomic<std::uint64_t> counter{0};
    const std::uint64_t value =
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
        (static_cast<std::uint64_t>(getpid()) << 32) ^ (counter++ * 0x9E3779B97F4A7C15u);
    return temporaryNameOf(value, directoryPrefix);
}

std::string temporaryNameFor(const std::string& targetPath, const std::string& directoryPrefix) {
    std::uint64_t hash = 0xcbf29ce484222325u;  // FNV-1a of the target's file name
    for (const char c : std::string_view(targetPath).substr(targetPath.rfind('/') + 1)) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3u;
    }
    return temporaryNameOf(hash, directoryPrefix);
}

bool removeIfAbandoned(const std::string& path) {
    const int descriptor = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        return errno == ENOENT;
    }
    bool removed = false;
    struct stat opened {};
    struct stat named {};
    if (flock(descriptor, LOCK_EX | LOCK_NB) == 0 && fstat(descriptor, &opened) == 0 &&
        lstat(path.c_str(), &named) == 0 && S_ISREG(opened.st_mode) && opened.st_ino == named.st_ino &&
        opened.st_dev == named.st_dev) {
        removed = unlink(path.c_str()) == 0;
    }
    close(descriptor);
    return removed;
}

bool canLinkUnnamed(int descriptor) {
    const std::string procPath = "/proc/self/fd/" + std::to_string(descriptor);
    return access(procPath.c_str(), F_OK) == 0 || geteuid() == 0;
}

}  // namespace kelvarin
