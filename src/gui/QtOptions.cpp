// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/QtOptions.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace kelvarin {

namespace {

// Qt's options that take a value, on any platform (X11's and Windows' included).
constexpr std::string_view kWithValue[] = {
    "platform",   "platformpluginpath", "platformtheme", "plugin",     "qwindowgeometry", "geometry", "qwindowicon",
    "icon",       "qwindowtitle",       "title",         "name",       "display",         "session",  "style",
    "stylesheet", "qmljsdebugger",      "dialogs",       "fontengine", "darkmode",
};
constexpr std::string_view kWithoutValue[] = {"reverse", "widgetcount", "testability", "nograb", "dograb"};

template <std::size_t N>
bool listed(const std::string_view (&names)[N], std::string_view name) {
    return std::find(std::begin(names), std::end(names), name) != std::end(names);
}

}  // namespace

std::optional<std::string> firstUnknownOption(int argc, char** argv) {
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        const std::string_view argument = argv[i];
        if (argument.size() < 2 || argument[0] != '-') {
            continue;  // a picture, or "-"
        }
        std::string_view name = argument.substr(argument[1] == '-' ? 2 : 1);
        const std::size_t equals = name.find('=');
        const bool valueJoined = equals != std::string_view::npos;
        name = name.substr(0, equals);
        if (listed(kWithValue, name)) {
            i += valueJoined ? 0 : 1;  // the value is no option
        } else if (!listed(kWithoutValue, name) || valueJoined) {
            return std::string(argument);
        }
    }
    return std::nullopt;
}

}  // namespace kelvarin
