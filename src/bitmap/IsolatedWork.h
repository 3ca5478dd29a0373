// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "common/WorkReport.h"

namespace kelvarin {

// What a child process may take: bytes of memory above what it shares with its parent at the start, and
// seconds of processor time.
struct WorkLimits {
    std::int64_t memoryBytes = 0;
    int processorSeconds = 0;
};

// How the work in a child process ended.
enum class IsolatedEnd {
    Finished,       // the work returned; its answer and output came back
    OutOfTime,      // it used up its processor time
    OutOfResources  // it ran out of memory or died otherwise
};

// Bytes a child process wrote, mapped read-only in the parent.
class SharedOutput {
public:
    SharedOutput() = default;
    SharedOutput(int descriptor, std::size_t size);
    ~SharedOutput();
    SharedOutput(SharedOutput&& other) noexcept;
    SharedOutput& operator=(SharedOutput&& other) noexcept;

    const std::uint8_t* data() const { return m_data; }
    std::size_t size() const { return m_size; }

private:
    std::uint8_t* m_data = nullptr;
    std::size_t m_size = 0;
};

// Runs work in a forked child process under limits, its error output silenced, so that a library reading
// an untrusted file can neither take the whole machine nor run forever. work writes its bulk output to the
// file descriptor it is given and returns a short answer (under 4 KiB). The parent waits, telling report
// of each wait of a few milliseconds, with the share of its processor time the child has used, so that a
// stop request (an exception from report) ends the child at once; the exception then passes on.
IsolatedEnd runIsolated(const std::function<std::string(int output)>& work, WorkLimits limits, WorkReport* report,
                        std::string& answer, SharedOutput& output);

}  // namespace kelvarin
