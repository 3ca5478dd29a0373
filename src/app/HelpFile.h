// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace kelvarin {

// The help file is an HTML document with one section per topic number, each written as
// <div class="topic" data-topic="N"> ... </div> with no other div inside, and anchored by its number.

// The HTML of topic number topic, or empty text when the document has no such topic.
std::string helpTopicHtml(const std::string& document, int topic);

}  // namespace kelvarin
