// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace kelvarin {

// The program's text is UTF-8; Qt's is QString.
inline QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string toStdString(const QString& text) { return text.toUtf8().toStdString(); }

// The name of a file without its folder, as a title shows it; empty for an empty path.
inline QString fileNameOf(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return toQString(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

}  // namespace kelvarin
