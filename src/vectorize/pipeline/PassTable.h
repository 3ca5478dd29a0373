// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

#include "vectorize/pipeline/VectorizeContext.h"

namespace kelvarin {

// How a pass shows its progress.
enum class PassKind {
    Setup,     // none: a short look at the page before the numbered passes
    Numbered,  // its own progress under its caption; PassNumber moves on after it
    Joining,  // a step of the numbered pass 線と円をまとめる when it has a caption, else within the step before
};

// One pass of the vector mode: run reads the context and adds to it.
struct VectorPass {
    std::string_view name;     // the id a test or a debug switch stops after
    std::string_view caption;  // the progress caption; empty for a pass within the step before
    PassKind kind;
    std::size_t (*items)(const VectorizeContext&);  // how many items the step it starts goes through
    void (*run)(VectorizeContext&);
};

// The passes in the order they run.
std::span<const VectorPass> vectorPasses();

// Runs the passes in order, up to and including the one named stopAfter (all of them when it is empty),
// and ends the progress of the joining steps if they started. Throws std::invalid_argument for a name that
// no pass has.
void runPasses(VectorizeContext& context, std::string_view stopAfter = {});

}  // namespace kelvarin
