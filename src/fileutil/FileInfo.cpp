// SPDX-License-Identifier: GPL-3.0-or-later
#include "fileutil/FileInfo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "common/Error.h"
#include "common/TextFormat.h"
#include "common/Toolkit.h"
#include "fileutil/DirectorySearch.h"
#include "fileutil/Path.h"

namespace kelvarin {

namespace {

CalendarTime calendarOf(std::int64_t secondsSinceEpoch) {
    const auto seconds = static_cast<std::time_t>(secondsSinceEpoch);
    std::tm parts{};
    if (gmtime_r(&seconds, &parts) == nullptr) {
        throw KelvarinError(ErrorCode::Overflow);
    }
    return {static_cast<std::int16_t>(parts.tm_year + 1900), static_cast<std::int16_t>(parts.tm_mon + 1),
            static_cast<std::int16_t>(parts.tm_mday),        static_cast<std::int16_t>(parts.tm_hour),
            static_cast<std::int16_t>(parts.tm_min),         static_cast<std::int16_t>(parts.tm_sec)};
}

std::string localStamp(std::time_t time) {
    std::tm parts{};
    if (localtime_r(&time, &parts) == nullptr) {
        throw KelvarinError(ErrorCode::Overflow);
    }
    char text[32];
    std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d", parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
                  parts.tm_hour, parts.tm_min, parts.tm_sec);
    return text;
}

void describeEntry(FileInfo& info, const std::string& itemPath, std::string& step) {
    struct stat status {};
    step = "Start GetAttr";
    if (stat(itemPath.c_str(), &status) != 0) {
        throw systemError(errno);
    }
    info.attributes = attributesOf(status, info.name);
    step = "End GetAttr";

    step = "Start FileDateTime";
    info.modified = status.st_mtime;
    info.stamp = localStamp(info.modified);
    step = "End FileDateTime";

    step = "Start FileLen";
    info.length = status.st_size;
    step = "End FileLen";

    step = "Start CreateFile";
    const int descriptor = open(itemPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        throw systemError(errno);
    }
    step = "End CreateFile";
    step = "Start GetFileTime";
    struct statx times {};
    const int timesResult = statx(descriptor, "", AT_EMPTY_PATH, STATX_ATIME | STATX_MTIME | STATX_BTIME, &times);
    const int timesError = errno;
    step = "End GetFileTime";
    step = "Start CloseHandle";
    close(descriptor);
    step = "End CloseHandle";
    if (timesResult != 0) {
        step = "Start GetFileTime";
        throw systemError(timesError);
    }

    const bool hasBirthTime = (times.stx_mask & STATX_BTIME) != 0;
    const std::int64_t fileTimes[] = {hasBirthTime ? times.stx_btime.tv_sec : -1, times.stx_atime.tv_sec,
                                      times.stx_mtime.tv_sec};
    CalendarTime* targets[] = {&info.created, &info.accessed, &info.written};
    for (int i = 0; i < 3; ++i) {
        step = "Start FileTimeToSystemTime";
        *targets[i] = fileTimes[i] < 0 ? CalendarTime{} : calendarOf(fileTimes[i]);
        step = "End FileTimeToSystemTime";
    }
}

}  // namespace

FileInfo GetFileInfo(const std::string& directory, const std::string& name, Toolkit& toolkit) {
    FileInfo info;
    if (directory.empty() || name.empty()) {
        return info;
    }
    std::string step;
    try {
        const std::string normalised = JoinPath(directory, "", false);
        const std::string pattern = normalised + kPathSeparator + name;
        DirectorySearch search;
        for (bool firstRound = true;; firstRound = false) {
            toolkit.doEvents();
            step = "Start Dir";
            const std::string found = firstRound ? search.first(pattern, ExistenceMask) : search.next();
            step = "End Dir";
            step = "Start Search";
            if (found == "." || found == "..") {
                continue;
            }
            if (found.empty()) {
                return info;
            }
            info.fullPath = JoinPath(directory, found, false);
            info.name = found;
            info.directory = directory;
            describeEntry(info, JoinPath(normalised, found, false), step);
            return info;
        }
    } catch (...) {
        const KelvarinError error = asKelvarinError(std::current_exception());
        toolkit.showDetailedMessage(
            formatInteger(error.number()) + ":" + error.description() + " in GetFileInfo[" + step + "]",
            JoinPath(directory, name, false) + ": " + reasonOf(error));
        return info;
    }
}

std::string whyMissing(const std::string& path) {
    struct stat status {};
    if (stat(path.c_str(), &status) == 0 || errno == ENOENT) {
        return {};
    }
    return path + ": " + systemReason(errno);
}

bool isSameFile(const std::string& first, const std::string& second) {
    struct stat firstStatus {};
    struct stat secondStatus {};
    return stat(first.c_str(), &firstStatus) == 0 && stat(second.c_str(), &secondStatus) == 0 &&
           firstStatus.st_dev == secondStatus.st_dev && firstStatus.st_ino == secondStatus.st_ino;
}

}  // namespace kelvarin
