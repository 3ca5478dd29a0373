// SPDX-License-Identifier: GPL-3.0-or-later
#include "fileutil/Cp932Codec.h"

#include <iconv.h>

#include <cerrno>

#include "common/Error.h"

namespace kelvarin {

namespace {

iconv_t openConverter(const char* to, const char* from) {
    iconv_t converter = iconv_open(to, from);
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        throw KelvarinError(ErrorCode::InvalidCall, "コードページ932の変換を準備できません。");
    }
    return converter;
}

// Converts all of input; false when a character cannot be converted or the input ends inside one.
bool convert(void* handle, std::string_view input, std::string& output) {
    auto converter = static_cast<iconv_t>(handle);
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    output.assign(input.size() * 2 + 16, '\0');
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    std::size_t used = 0;
    constexpr auto kFailed = static_cast<std::size_t>(-1);
    for (;;) {
        char* out = output.data() + used;
        std::size_t outLeft = output.size() - used;
        const std::size_t result = iconv(converter, &in, &inLeft, &out, &outLeft);
        used = output.size() - outLeft;
        if (result != kFailed) {
            // All input taken; a call without input ends any pending shift state.
            if (iconv(converter, nullptr, nullptr, &out, &outLeft) == kFailed) {
                return false;
            }
            output.resize(output.size() - outLeft);
            return true;
        }
        if (errno != E2BIG) {
            return false;
        }
        output.resize(output.size() * 2);
    }
}

}  // namespace

bool isAscii(std::string_view text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

Cp932Codec::Cp932Codec() : m_toCp932(openConverter("CP932", "UTF-8")), m_fromCp932(nullptr) {
    try {
        m_fromCp932 = openConverter("UTF-8", "CP932");
    } catch (...) {
        iconv_close(static_cast<iconv_t>(m_toCp932));
        throw;
    }
}

Cp932Codec::~Cp932Codec() {
    iconv_close(static_cast<iconv_t>(m_toCp932));
    iconv_close(static_cast<iconv_t>(m_fromCp932));
}

std::string Cp932Codec::encode(std::string_view utf8) {
    if (isAscii(utf8)) {
        return std::string(utf8);
    }
    std::string output;
    if (!convert(m_toCp932, utf8, output)) {
        throw KelvarinError(ErrorCode::InvalidCall,
                            "「" + std::string(utf8) + "」にはコードページ932で表せない文字があります。");
    }
    return output;
}

std::string Cp932Codec::decode(std::string_view cp932) {
    if (isAscii(cp932)) {
        return std::string(cp932);
    }
    std::string output;
    if (!convert(m_fromCp932, cp932, output)) {
        throw KelvarinError(ErrorCode::InvalidFileFormat, "コードページ932として読めない文字があります。");
    }
    return output;
}

}  // namespace kelvarin
