// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace kelvarin {

// Temporary names are short, so that a target name of the file system's full length still works.
inline constexpr const char* kTemporaryPrefix = ".kelvarin-";

// A fresh temporary name in the directory (its path with a trailing separator, or empty); a name taken
// meanwhile is detected by the call that creates it.
std::string temporaryName(const std::string& directoryPrefix);

// The first temporary name tried for a target: the same for every write of it, so that the next write
// finds what a killed writer left (a writer cannot clean up after SIGKILL or a power cut).
std::string temporaryNameFor(const std::string& targetPath, const std::string& directoryPrefix);

// Removes a temporary file whose writer has ended: every writer holds a lock on its file until it is done,
// and the system drops the lock when the process dies. Gives true when the name is free now.
bool removeIfAbandoned(const std::string& path);

// Whether an unnamed file can be given a name: through /proc, or by a user allowed to link any descriptor.
bool canLinkUnnamed(int descriptor);

}  // namespace kelvarin
