// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <fstream>
#include <string>

#include "cli/BatchInputs.h"
#include "cli/InputOutcome.h"

namespace kelvarin {

// The report of a batch as JSON Lines: one object per input, written whole as soon as its outcome is
// known, so that the lines of a stopped batch are complete and several runs' reports can be concatenated.
class BatchReport {
public:
    // Opens the file to append to it, so that a resumed batch adds to the record of the first run; an
    // empty path writes nothing.
    explicit BatchReport(const std::string& path);

    // The file could not be opened or written.
    bool failed() const { return m_open && !m_file; }
    void add(const BatchInput& input, const std::string& output, const InputOutcome& outcome);

private:
    bool m_open = false;
    std::ofstream m_file;
};

// One report line, without its line end: input, output, status, message, entities, seconds, and skew
// where the conversion looked for one.
std::string reportLine(const BatchInput& input, const std::string& output, const InputOutcome& outcome);

// The text as a JSON string, quotes included.
std::string jsonString(std::string_view text);

}  // namespace kelvarin
