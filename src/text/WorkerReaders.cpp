// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/WorkerReaders.h"

#include <algorithm>
#include <thread>

namespace kelvarin {

WorkerReaders::WorkerReaders(const std::string& languages) : m_languages(languages) {
    for (std::size_t start = 0; languages.find('+') != std::string::npos && start <= languages.size();) {
        const std::size_t end = std::min(languages.find('+', start), languages.size());
        m_singles.push_back(languages.substr(start, end - start));
        start = end + 1;
    }
}

LineReader& WorkerReaders::together() {
    if (!m_together) {
        m_together.emplace(LineReader::take(m_languages));
    }
    return **m_together;
}

LineReader::Handle WorkerReaders::alone(const std::string& language) {
    if (language == m_languages) {
        return LineReader::Handle(&together(), [](LineReader*) {});
    }
    const std::size_t sharing = std::max(1U, std::thread::hardware_concurrency() / 2);
    return LineReader::take(language, sharing);
}

bool WorkerReaders::hasJapanese() const {
    return m_languages == "jpn" || std::find(m_singles.begin(), m_singles.end(), "jpn") != m_singles.end();
}

}  // namespace kelvarin
