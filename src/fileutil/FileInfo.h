// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <string>

namespace kelvarin {

class Toolkit;

// Year, month, day, hour, minute and second of a file time as the file system reports it (UTC).
using CalendarTime = std::array<std::int16_t, 6>;

struct FileInfo {
    std::string fullPath;
    std::string name;  // empty when nothing was found
    std::string directory;
    std::uint16_t attributes = 0;
    std::time_t modified = 0;
    std::string stamp;       // modification time, local: YYYYMMDDhhmmss
    CalendarTime created{};  // zero where the file system keeps no birth time
    CalendarTime accessed{};
    CalendarTime written{};
    std::int64_t length = 0;  // bytes
};

// Looks the name up in the directory and describes the first entry found, skipping "." and "..".
// An empty directory or name finds nothing. A failure while the record is filled is shown to the user
// as "<number>:<description> in GetFileInfo[<step>]" and the record is returned as filled so far.
FileInfo GetFileInfo(const std::string& directory, const std::string& name, Toolkit& toolkit);

// True when both paths exist and lead to the same file, through links or not.
bool isSameFile(const std::string& first, const std::string& second);

// "path: reason" for a message's details when the path cannot be looked at for another reason than that
// nothing is there (no permission to search a folder, a name too long), else empty.
std::string whyMissing(const std::string& path);

}  // namespace kelvarin
