// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/HelpFile.h"

#include "common/TextFormat.h"

namespace kelvarin {

std::string helpTopicHtml(const std::string& document, int topic) {
    const std::string opening = "<div class=\"topic\" data-topic=\"" + formatInteger(topic) + "\">";
    const auto start = document.find(opening);
    if (start == std::string::npos) {
        return {};
    }
    const auto contentStart = start + opening.size();
    const auto end = document.find("</div>", contentStart);
    return document.substr(contentStart, end == std::string::npos ? std::string::npos : end - contentStart);
}

}  // namespace kelvarin
