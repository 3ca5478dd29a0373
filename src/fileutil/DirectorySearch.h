// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct stat;

namespace kelvarin {

// Entry attributes with the bit values of the attribute masks. On this platform: read-only is a file
// with no write permission bit, hidden a name starting with ".", system anything that is neither a
// regular file nor a directory (devices, pipes, sockets), archive every regular file.
namespace attribute {
constexpr std::uint16_t ReadOnly = 1;
constexpr std::uint16_t Hidden = 2;
constexpr std::uint16_t System = 4;
constexpr std::uint16_t Directory = 16;
constexpr std::uint16_t Archive = 32;
}  // namespace attribute

// The mask of every existence test: finds files of any kind and directories.
constexpr std::uint16_t ExistenceMask = 55;

std::uint16_t attributesOf(const struct stat& status, const std::string& name);

// A directory look-up: the entries matching a path whose last component may hold the wildcards "*" and
// "?". Entries that are hidden, system or directories are found only when the mask includes that bit;
// read-only and archive never exclude an entry. A path ending in a separator lists its directory.
class DirectorySearch {
public:
    // The name of the first match, or empty text when there is none. Throws the program's error when the
    // look-up itself fails (an invalid path, an unreadable directory).
    std::string first(const std::string& pattern, std::uint16_t mask);
    // The next match of the previous first(); empty text when there are no more.
    std::string next();

private:
    std::vector<std::string> m_matches;
    std::size_t m_next = 0;
};

// 0 when the look-up with ExistenceMask finds an entry, 3 when it finds none, 1 when it fails.
std::int16_t CheckFileExists(const std::string& path);

// Whether the look-up with the given mask finds the path (errors count as not found).
bool entryExists(const std::string& path, std::uint16_t mask);

}  // namespace kelvarin
