// SPDX-License-Identifier: GPL-3.0-or-later
#include "fileutil/DirectorySearch.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include "common/Error.h"
#include "fileutil/Path.h"

namespace kelvarin {

namespace {

constexpr std::uint16_t kExcludingAttributes = attribute::Hidden | attribute::System | attribute::Directory;

bool hasWildcard(const std::string& name) { return name.find_first_of("*?") != std::string::npos; }

bool matchesMask(std::uint16_t attributes, std::uint16_t mask) {
    return (attributes & kExcludingAttributes & ~mask) == 0;
}

// The attributes of an existing entry, or nothing for a missing one. Other failures throw.
bool statEntry(const std::string& path, struct stat& status) {
    if (stat(path.c_str(), &status) == 0) {
        return true;
    }
    if (errno == ENOENT || errno == ENOTDIR) {
        return false;
    }
    throw systemError(errno);
}

}  // namespace

std::uint16_t attributesOf(const struct stat& status, const std::string& name) {
    std::uint16_t attributes = 0;
    if (S_ISDIR(status.st_mode)) {
        attributes |= attribute::Directory;
    } else if (S_ISREG(status.st_mode)) {
        attributes |= attribute::Archive;
    } else {
        attributes |= attribute::System;
    }
    if ((status.st_mode & 0222) == 0) {
        attributes |= attribute::ReadOnly;
    }
    if (name.size() > 1 && name[0] == '.' && name != "..") {
        attributes |= attribute::Hidden;
    }
    return attributes;
}

std::string DirectorySearch::first(const std::string& pattern, std::uint16_t mask) {
    m_matches.clear();
    m_next = 0;
    if (pattern.empty()) {
        return {};
    }
    if (pattern.find('\0') != std::string::npos) {
        throw KelvarinError(ErrorCode::BadFileName);
    }
    const bool hasDirectory = pattern.find(kPathSeparator) != std::string::npos;
    const std::string directory = hasDirectory ? GetDirectoryPart(pattern) : std::string(".");
    const std::string name = hasDirectory ? GetFileNamePart(pattern) : pattern;

    struct stat status {};
    if (!name.empty() && !hasWildcard(name)) {
        if (statEntry(pattern, status) && matchesMask(attributesOf(status, name), mask)) {
            m_matches.push_back(name);
        }
        return next();
    }
    const std::string wildcard = name.empty() ? std::string(1, '*') : name;
    DIR* listing = opendir(directory.c_str());
    if (listing == nullptr) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return {};
        }
        throw systemError(errno);
    }
    while (const dirent* entry = readdir(listing)) {
        const std::string entryName = entry->d_name;
        if (fnmatch(wildcard.c_str(), entryName.c_str(), 0) != 0) {
            continue;
        }
        if (stat(JoinPath(directory, entryName, false).c_str(), &status) == 0 &&
            matchesMask(attributesOf(status, entryName), mask)) {
            m_matches.push_back(entryName);
        }
    }
    closedir(listing);
    std::sort(m_matches.begin(), m_matches.end());
    return next();
}

std::string DirectorySearch::next() {
    if (m_next >= m_matches.size()) {
        return {};
    }
    return m_matches[m_next++];
}

std::int16_t CheckFileExists(const std::string& path) {
    try {
        DirectorySearch search;
        return search.first(path, ExistenceMask).empty() ? 3 : 0;
    } catch (const KelvarinError&) {
        return 1;
    }
}

bool entryExists(const std::string& path, std::uint16_t mask) {
    try {
        DirectorySearch search;
        return !search.first(path, mask).empty();
    } catch (const KelvarinError&) {
        return false;
    }
}

}  // namespace kelvarin
