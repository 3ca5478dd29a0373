#include "gui/DisplayCheck.h"

#include <QtGlobal>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kelvarin {

namespace {

QtMessageHandler g_qtHandler = nullptr;

bool isSet(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0';
}

void onStartMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg) {
        std::fputs(kNoDisplayMessage, stderr);
        std::_Exit(kExitNoDisplay);
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

void endDisplayWatch() { qInstallMessageHandler(g_qtHandler); }

}  // namespace kelvarin
