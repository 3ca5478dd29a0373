// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace kelvarin {

// What became of a batch's inputs; every input is counted once.
struct BatchTally {
    std::int64_t converted = 0;
    std::int64_t current = 0;     // skipped: the drawing is newer than the picture
    std::int64_t noPictures = 0;  // skipped: no picture
    std::int64_t failed = 0;
    std::int64_t stopped = 0;  // ended by a stop request, or never started because of one

    std::int64_t total() const { return converted + current + noPictures + failed + stopped; }
};

// The line that closes a batch, with every count of the tally.
std::string summaryLine(const BatchTally& tally);

// The one line a batch shows on a terminal: inputs done of all, failures, and the time left, estimated
// from the conversions finished so far.
class BatchProgress {
public:
    using Clock = std::chrono::steady_clock;

    // total inputs, of which conversions need converting (the rest are skipped at once).
    BatchProgress(std::int64_t total, std::int64_t conversions, Clock::time_point start = Clock::now())
        : m_total(total), m_conversions(conversions), m_start(start) {}

    // An input is done: converted or failed by a conversion, or skipped without one.
    void add(bool converted, bool failed);
    std::string line(Clock::time_point now = Clock::now()) const;

private:
    std::int64_t m_total;
    std::int64_t m_conversions;
    Clock::time_point m_start;
    std::int64_t m_done = 0;
    std::int64_t m_converted = 0;  // conversions finished, failed ones included
    std::int64_t m_failed = 0;
};

}  // namespace kelvarin
