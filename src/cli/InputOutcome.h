// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace kelvarin {

enum class InputStatus { Converted, Skipped, Failed };

// What became of one input of a batch.
struct InputOutcome {
    InputStatus status = InputStatus::Failed;
    std::string message;         // the messages about the input, one a line
    std::int64_t entities = 0;   // written to the drawing
    std::optional<double> skew;  // degrees the picture was turned back, where the conversion looked for it
    double seconds = 0;          // the conversion's wall-clock time
    bool stopped = false;        // a stop request ended the conversion
};

// The outcome of an input that ran no conversion, or whose conversion ended without one.
inline InputOutcome outcomeWithout(InputStatus status, std::string message) {
    InputOutcome outcome;
    outcome.status = status;
    outcome.message = std::move(message);
    return outcome;
}

}  // namespace kelvarin
