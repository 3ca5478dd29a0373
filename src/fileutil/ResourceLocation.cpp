// SPDX-License-Identifier: GPL-3.0-or-later
#include "fileutil/ResourceLocation.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "fileutil/DirectorySearch.h"
#include "fileutil/InstallPaths.h"
#include "fileutil/Path.h"

namespace kelvarin {

namespace {

std::string environmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

// Only an absolute $XDG_CONFIG_HOME counts; otherwise ~/.config. Empty text when there is no home either.
std::string configHome() {
    const std::string configured = environmentValue("XDG_CONFIG_HOME");
    if (!configured.empty() && configured.front() == kPathSeparator) {
        return configured;
    }
    const std::string home = homeDirectory();
    return home.empty() ? std::string() : JoinPath(home, ".config", false);
}

}  // namespace

std::vector<std::string> resourceDirectories(const std::string& programDirectory) {
    std::vector<std::string> directories{programDirectory};
    if (const std::string config = configHome(); !config.empty()) {
        directories.push_back(JoinPath(config, "kelvarin", false));
    }
    const std::filesystem::path installed = std::filesystem::path(programDirectory) / kInstalledDataFromProgram;
    directories.push_back(installed.lexically_normal().string());
    return directories;
}

std::string findResourceDirectory(const std::vector<std::string>& directories, const std::vector<std::string>& names) {
    for (const std::string& directory : directories) {
        bool holdsAll = true;
        for (const std::string& name : names) {
            // Mask 0: a directory or a hidden entry of that name does not count.
            holdsAll = holdsAll && entryExists(JoinPath(directory, name, false), 0);
        }
        if (holdsAll) {
            return directory;
        }
    }
    return {};
}

std::string homeDirectory() {
    if (std::string home = environmentValue("HOME"); !home.empty()) {
        return home;
    }
    const passwd* entry = getpwuid(getuid());
    return entry != nullptr && entry->pw_dir != nullptr ? std::string(entry->pw_dir) : std::string();
}

}  // namespace kelvarin
