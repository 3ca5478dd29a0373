// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <csignal>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "common/Toolkit.h"

namespace kelvarin {

// Where the command line runs: the executable (whose directory holds the templates), the streams, and
// whether they are terminals.
struct CliEnvironment {
    std::string executablePath;
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    bool inputIsTerminal = false;
    bool errorIsTerminal = false;
    const volatile std::sig_atomic_t* interrupted = nullptr;
    EventPacing pacing{};    // how often progress is shown and a stop request noticed
    std::int32_t cores = 1;  // the cores the batch may use: its number of jobs unless told
};

constexpr int kExitConverted = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
// The run ended before it had settled every input: stopped on request, its report could not be written,
// or it could not start. A run that went through every input exits 0 or kExitFailed.
constexpr int kExitIncomplete = 3;

// How a batch runs: conversions at once (child processes) and the threads of each.
struct BatchShape {
    std::int32_t jobs = 1;
    std::int32_t threads = 1;
};
// conversions: how many of the inputs will be converted.
BatchShape batchShape(const CliOptions& options, const CliEnvironment& environment, std::size_t conversions);

// Converts every input through the window's own commands: the path goes into the picture field,
// "読み込み" is pressed, and only when the read completed are the settings filled in and "変換実行"
// pressed. Returns the exit status.
int runCli(const std::vector<std::string>& arguments, const CliEnvironment& environment);

}  // namespace kelvarin
