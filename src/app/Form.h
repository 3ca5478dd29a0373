// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/AppState.h"
#include "app/View.h"

namespace kelvarin {

// The window's event procedures work on the program's state through the window's view.
struct Form {
    AppState& state;
    View& view;
    // A read or a conversion is running: the window lets events run inside their loops, so a second
    // command could otherwise start on half-read data.
    bool commandRunning = false;
};

// Marks a command as running for its lifetime; running() is false when another command already runs.
class CommandGuard {
public:
    explicit CommandGuard(Form& form) : m_form(form), m_running(!form.commandRunning) {
        if (m_running) {
            form.commandRunning = true;
        }
    }
    ~CommandGuard() {
        if (m_running) {
            m_form.commandRunning = false;
        }
    }
    CommandGuard(const CommandGuard&) = delete;
    CommandGuard& operator=(const CommandGuard&) = delete;

    bool running() const { return m_running; }

private:
    Form& m_form;
    bool m_running;
};

}  // namespace kelvarin
