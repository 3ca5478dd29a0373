// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kelvarin {

class Cp932Codec;

// The lines of a text template, as the file's own bytes in code page 932. Lines end at CR or CR LF; a
// lone LF is text and stays inside its line. A final line without an end is still a line, and an end at
// the very end of the file does not add an empty line, so an empty file has no lines.
std::vector<std::string> splitTemplateLines(std::string_view bytes);

// Reads a template and checks that every line is code page 932, without rewriting any byte. Throws the
// program's error when the file cannot be read, naming the file and line of a byte that is not.
std::vector<std::string> readTemplateLines(const std::string& path, Cp932Codec& codec);

}  // namespace kelvarin
