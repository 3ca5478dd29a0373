// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/DisplayCheck.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace kelvarin {

namespace {

QtMessageHandler g_qtHandler = nullptr;

// Qt's platform notes, in English, held back until it is known whether the start failed: then the
// message above says it instead.
struct HeldMessage {
    QtMsgType type;
    QByteArray category;
    QString text;
};
std::vector<HeldMessage> g_held;

bool isSet(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0';
}

void onStartMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg) {
        std::fputs(kNoDisplayMessage, stderr);
        std::_Exit(kExitNoDisplay);
    }
    if (context.category != nullptr && std::strncmp(context.category, "qt.qpa", 6) == 0) {
        g_held.push_back({type, context.category, text});
        return;
    }
    if (g_qtHandler != nullptr) {
        g_qtHandler(type, context, text);
    }
}

}  // namespace

bool displayNamed(int argc, char** argv) {
    if (isSet("DISPLAY") || isSet("WAYLAND_DISPLAY") || isSet("QT_QPA_PLATFORM")) {
        return true;
    }
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0) {
            return true;
        }
    }
    return false;
}

void watchDisplayStart() { g_qtHandler = qInstallMessageHandler(onStartMessage); }

void endDisplayWatch() {
    qInstallMessageHandler(g_qtHandler);
    for (const HeldMessage& held : g_held) {
        const QMessageLogContext context(nullptr, 0, nullptr, held.category.constData());
        qt_message_output(held.type, context, held.text);
    }
    g_held.clear();
}

}  // namespace kelvarin
