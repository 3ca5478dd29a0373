// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace kelvarin {

// Converts between the program's text (UTF-8) and code page 932, the encoding of templates and DXF files.
// This is the only unit that knows how the conversion is done (POSIX iconv here).
class Cp932Codec {
public:
    Cp932Codec();
    ~Cp932Codec();
    Cp932Codec(const Cp932Codec&) = delete;
    Cp932Codec& operator=(const Cp932Codec&) = delete;

    // Throws the program's error naming the text when a character has no code page 932 form.
    std::string encode(std::string_view utf8);
    // Throws the program's error when the bytes are not valid code page 932.
    std::string decode(std::string_view cp932);

private:
    void* m_toCp932;
    void* m_fromCp932;
};

bool isAscii(std::string_view text);

}  // namespace kelvarin
