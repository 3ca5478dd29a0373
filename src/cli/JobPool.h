// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <csignal>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cli/InputOutcome.h"

namespace kelvarin {

// What one job gives back: its outcome and the text it wrote for the error stream.
struct JobResult {
    InputOutcome outcome;
    std::string messages;
};

// Runs jobs in child processes of this program (fork), a fixed number at once. A child shares nothing
// with the others, so each conversion runs exactly as it would alone, and a crash ends only its own job.
// Children stop (SIGTERM) when this process asks them to or dies.
class JobPool {
public:
    // The job of one index; it runs in the child.
    using Job = std::function<JobResult(std::size_t index)>;
    // In this process, once the child of index has ended: its result, or nothing when it ended without
    // one (waitStatus tells how).
    using Finished = std::function<void(std::size_t index, std::optional<JobResult> result, int waitStatus)>;

    JobPool(std::int32_t jobs, const volatile std::sig_atomic_t* stop) : m_jobs(jobs), m_stop(stop) {}

    // Runs job for every index, calling finished as each ends and idle at least every 200 ms. A stop
    // request stops the running children and starts no more; false then.
    bool run(const std::vector<std::size_t>& indices, const Job& job, const Finished& finished,
             const std::function<void()>& idle);

private:
    bool stopRequested() const { return m_stop != nullptr && *m_stop; }

    std::int32_t m_jobs;
    const volatile std::sig_atomic_t* m_stop;
};

// The result as bytes for the pipe to the parent, and back.
std::string encodeJobResult(const JobResult& result);
std::optional<JobResult> decodeJobResult(const std::string& bytes);

}  // namespace kelvarin
