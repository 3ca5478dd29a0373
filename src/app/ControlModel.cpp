// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ControlModel.h"

#include <stdexcept>

namespace kelvarin {

namespace {

std::pair<int, int> keyOf(Control control) { return {static_cast<int>(control.name), control.index}; }

}  // namespace

ControlModel::ControlModel() {
    for (const ControlDesign& design : controlDesigns()) {
        m_states[keyOf(design.control)] = {std::string(design.caption), std::string(design.toolTip),
                                           design.initiallyEnabled, design.initiallySelected};
    }
}

const ControlModel::State& ControlModel::state(Control control) const {
    const auto found = m_states.find(keyOf(control));
    if (found == m_states.end()) {
        throw std::out_of_range("no such control");
    }
    return found->second;
}

ControlModel::State& ControlModel::state(Control control) {
    return const_cast<State&>(static_cast<const ControlModel&>(*this).state(control));
}

void ControlModel::select(Control optionButton) {
    const Control frame = designOf(optionButton).frame;
    for (const ControlDesign& design : controlDesigns()) {
        if (design.kind == ControlKind::OptionButton && design.frame == frame) {
            state(design.control).selected = design.control == optionButton;
        }
    }
}

}  // namespace kelvarin
