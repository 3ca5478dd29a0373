// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "fileutil/Cp932Codec.h"
#include "text/LineReader.h"

namespace kelvarin {

// A worker's engines: its own for the languages together, and the process's for each language alone,
// shared with the other workers. Together, the first language leads: jpn+eng reads 尺度 as RE now and then,
// and M8 as MS, where either language alone reads right and surer. A language alone reads a minority of
// the lines, so one engine of it serves two workers: loading an engine takes as long as reading some thirty
// lines.
class WorkerReaders {
public:
    explicit WorkerReaders(const std::string& languages);

    LineReader& together();
    const std::vector<std::string>& singles() const { return m_singles; }
    // An engine for the language alone, to read one line and give back.
    LineReader::Handle alone(const std::string& language);
    Cp932Codec& codec() { return m_codec; }
    bool hasJapanese() const;

private:
    std::string m_languages;
    std::vector<std::string> m_singles;  // empty for one language
    std::optional<LineReader::Handle> m_together;
    Cp932Codec m_codec;
};

}  // namespace kelvarin
