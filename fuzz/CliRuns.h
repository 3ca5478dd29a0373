// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli/CliRun.h"

namespace kelvarin::fuzz {

// The option sets every input is converted with on the command line.
inline const std::vector<std::vector<std::string>> kCliOptionSets = {
    {"--lines", "both"},
    {"--color", "white", "--thinning", "3"},
    {"--lines", "vertical", "--size-x", "10.5"},
};

// Converts input into output as kelvarin-cli does with these options, quietly and replacing the output.
// The templates are looked for beside programPath. Returns the exit status.
inline int convertOnCommandLine(const std::string& programPath, const std::vector<std::string>& options,
                                const std::string& input, const std::string& output) {
    std::vector<std::string> arguments = options;
    arguments.insert(arguments.end(), {"--yes", "--quiet", "-o", output, input});
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
    return runCli(arguments, {programPath, in, out, err});
}

}  // namespace kelvarin::fuzz
