// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <Qt>

namespace kelvarin {

// A cursor shape for the whole application while it lives.
class CursorOverride {
public:
    explicit CursorOverride(Qt::CursorShape shape);
    ~CursorOverride();
    CursorOverride(const CursorOverride&) = delete;
    CursorOverride& operator=(const CursorOverride&) = delete;
};

// A message box shows the normal pointer, also during a conversion.
class ArrowWhileBusy {
public:
    ArrowWhileBusy();
    ~ArrowWhileBusy();
    ArrowWhileBusy(const ArrowWhileBusy&) = delete;
    ArrowWhileBusy& operator=(const ArrowWhileBusy&) = delete;

private:
    bool m_busy;
};

}  // namespace kelvarin
