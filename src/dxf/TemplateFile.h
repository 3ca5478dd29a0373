#pragma once

#include <string>
#include <vector>

namespace kelvarin {

class Cp932Codec;

// The lines of a text template in code page 932, as UTF-8. Lines end at CR or CR LF; a lone LF is text
// and stays inside its line. A final line without an end is still a line, and an end at the very end of
// the file does not add an empty line, so an empty file has no lines. Throws the program's error when
// the file cannot be read or holds bytes that are not code page 932.
std::vector<std::string> readTemplateLines(const std::string& path, Cp932Codec& codec);

// The same split, on bytes already read.
std::vector<std::string> splitTemplateLines(std::string_view bytes);

}  // namespace kelvarin
