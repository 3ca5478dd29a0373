// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace kelvarin {

constexpr char kPathSeparator = '/';

// The part after the last separator; empty when the path holds none.
std::string GetFileNamePart(std::string_view path);

// The part before the last separator, without it; empty when the path holds none. A file directly in
// the root directory ("/a.bmp") has the directory "/".
std::string GetDirectoryPart(std::string_view path);

// directory + separator + name, after removing one trailing separator from the directory and one
// leading and one trailing separator from the name. An empty name gives the directory alone, or the
// directory and one separator when withTrailingSeparator is true.
std::string JoinPath(std::string_view directory, std::string_view name, bool withTrailingSeparator);

// The path itself when absolute, otherwise resolved against the current directory.
std::string absolutePath(std::string_view path);

// The file name without its directory and without its last extension ("/opt/k/kelvarin" gives "kelvarin").
std::string baseNameWithoutExtension(std::string_view path);

}  // namespace kelvarin
