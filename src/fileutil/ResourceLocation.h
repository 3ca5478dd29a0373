// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace kelvarin {

// The folders that may hold the templates and the help file, in the order they are looked in: the
// program's own folder (a portable copy, a build tree), the user's copies in $XDG_CONFIG_HOME/kelvarin
// (~/.config/kelvarin when unset), and the installed share folder next to the program's bin folder.
std::vector<std::string> resourceDirectories(const std::string& programDirectory);

// The first of directories holding every one of names as a file; empty text when none does.
std::string findResourceDirectory(const std::vector<std::string>& directories, const std::vector<std::string>& names);

// The user's home folder: $HOME, else the password database's entry; empty text when neither tells.
std::string homeDirectory();

}  // namespace kelvarin
