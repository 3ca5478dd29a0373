// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cli/BatchInputs.h"
#include "cli/CliView.h"
#include "cli/InputOutcome.h"
#include "common/Toolkit.h"

namespace kelvarin {

// Converts one input with the view showing its messages: the outcome's status, entities, skew and time.
using ConvertInput = std::function<InputOutcome(CliView& view, const BatchInput& input)>;

struct BatchSettings {
    std::int32_t jobs = 1;           // conversions at once
    bool update = false;             // skip pictures whose drawing is current
    std::string reportPath;          // JSON Lines report; empty for none
    CliView::Settings viewSettings;  // the batch view's; a conversion in a child asks nothing, shows no progress
    EventPacing pacing{};
};

// Converts the inputs in order, or several at once in child processes, each one's messages shown whole
// and in the inputs' order, with one progress line for the batch on a terminal. Files that are no
// pictures and, with update, pictures whose drawing is current are skipped and counted. Returns the
// exit status.
int runBatch(const std::vector<BatchInput>& inputs, CliView& view, const BatchSettings& settings,
             const ConvertInput& convert);

// How many of the inputs runBatch would convert: those that are pictures and, with update, whose drawing
// is not current.
std::size_t conversionsToRun(const std::vector<BatchInput>& inputs, bool update);

// The name of the drawing an input is written to.
std::string drawingOf(const BatchInput& input);

}  // namespace kelvarin
