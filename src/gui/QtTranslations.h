// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QCoreApplication;

namespace kelvarin {

// Installs Qt's own translations (dialog buttons, the file dialog) for the user's locale, from Qt's
// translations folder. The program's own texts are Japanese already and not translated. Returns whether
// a translation for the locale was found.
bool installQtTranslations(QCoreApplication& application);

}  // namespace kelvarin
