// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/BusyCursor.h"

#include <QApplication>

namespace kelvarin {

CursorOverride::CursorOverride(Qt::CursorShape shape) { QApplication::setOverrideCursor(shape); }

CursorOverride::~CursorOverride() { QApplication::restoreOverrideCursor(); }

ArrowWhileBusy::ArrowWhileBusy() : m_busy(QApplication::overrideCursor() != nullptr) {
    if (m_busy) {
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    }
}

ArrowWhileBusy::~ArrowWhileBusy() {
    if (m_busy) {
        QApplication::restoreOverrideCursor();
    }
}

}  // namespace kelvarin
