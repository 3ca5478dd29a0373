// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <map>
#include <string>
#include <string_view>

#include "app/Controls.h"

namespace kelvarin {

// The controls' state kept in memory, starting from the window's design: for views without widgets (the
// command line and the test fake). Option buttons of one frame are exclusive.
class ControlModel {
public:
    struct State {
        std::string text;
        std::string toolTip;
        bool enabled;
        bool selected;
    };

    ControlModel();

    const State& state(Control control) const;
    State& state(Control control);
    // Selects the option button and clears the others of its frame.
    void select(Control optionButton);

private:
    std::map<std::pair<int, int>, State> m_states;
};

}  // namespace kelvarin
