#include "loader/python_missing.h"

#include "core/plugin_identity.h"
#include "core/scripts_folder.h"

#include <XPLMDisplay.h>
#include <XPLMGraphics.h>
#include <XPLMMenus.h>
#include <XPLMUtilities.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace korvane::loader {
namespace {

constexpr int kLineHeight = 14;
constexpr int kMargin = 10;

struct Explanation {
    std::vector<std::string> lines;
    XPLMMenuID menu = nullptr;
    int pluginsMenuItem = -1;
    XPLMWindowID window = nullptr;
};
Explanation explanation;

void WriteLines() {
    std::FILE* log = std::fopen((ScriptsListingPath() + "KorvaneLog.txt").c_str(), "a");
    for (const std::string& line : explanation.lines) {
        XPLMDebugString((std::string(kPluginName) + ": " + line + "\n").c_str());
        if (log) std::fprintf(log, "%s\n", line.c_str());
    }
    if (log) std::fclose(log);
}

void DrawWindow(XPLMWindowID window, void*) {
    int left = 0, top = 0, right = 0, bottom = 0;
    XPLMGetWindowGeometry(window, &left, &top, &right, &bottom);
    XPLMDrawTranslucentDarkBox(left, top, right, bottom);
    float white[] = {1.0f, 1.0f, 1.0f};
    int y = top - kMargin - kLineHeight;
    for (const std::string& line : explanation.lines) {
        XPLMDrawString(white, left + kMargin, y, const_cast<char*>(line.c_str()), nullptr, xplmFont_Basic);
        y -= kLineHeight;
    }
}

void IgnoreKey(XPLMWindowID, char, XPLMKeyFlags, char, void*, int) {}
// A click on the panel is the panel's own, not the scenery's behind it.
int TakeClick(XPLMWindowID, int, int, XPLMMouseStatus, void*) { return 1; }

void ShowPanel() {
    if (explanation.window) {
        XPLMSetWindowIsVisible(explanation.window, !XPLMGetWindowIsVisible(explanation.window));
        return;
    }
    int screenWidth = 0, screenHeight = 0;
    XPLMGetScreenSize(&screenWidth, &screenHeight);
    int charWidth = 0;
    XPLMGetFontDimensions(xplmFont_Basic, &charWidth, nullptr, nullptr);
    std::size_t longest = 0;
    for (const std::string& line : explanation.lines) longest = std::max(longest, line.size());
    int width = charWidth * static_cast<int>(longest);
    int left = 50, top = screenHeight - 100;
    explanation.window =
        XPLMCreateWindow(left, top, left + width + 2 * kMargin,
                         top - 2 * kMargin - kLineHeight * static_cast<int>(explanation.lines.size()), 1, DrawWindow,
                         IgnoreKey, TakeClick, nullptr);
}

void MenuPicked(void*, void*) { ShowPanel(); }

}  // namespace

void ExplainMissingPython(const std::string& part, const std::string& loaderError) {
    explanation.lines = {
        std::string(kPluginName) + " " + kVersionText + ": Python could not be loaded, so no scripts run.",
        std::string("It needs the Python library ") + KORVANE_PYTHON_LIBRARY + " (Python " KORVANE_PYTHON_VERSION
            ") for its part " + part + ".",
        "The system's loader said: " + loaderError,
        std::string("To fix it, install the Debian package ") + KORVANE_PYTHON_PACKAGE +
            " (apt-get install " KORVANE_PYTHON_PACKAGE "), or rebuild Korvane on this machine with ./run.sh,",
        "which builds it for the Python installed there; then restart the simulator.",
    };
    WriteLines();
    XPLMMenuID plugins = XPLMFindPluginsMenu();
    explanation.pluginsMenuItem = XPLMAppendMenuItem(plugins, kPluginName, nullptr, 1);
    explanation.menu = XPLMCreateMenu(kPluginName, plugins, explanation.pluginsMenuItem, MenuPicked, nullptr);
    XPLMAppendMenuItem(explanation.menu, "Control Panel", nullptr, 1);
}

void WithdrawExplanation() {
    if (explanation.window) XPLMDestroyWindow(explanation.window);
    if (explanation.menu) XPLMDestroyMenu(explanation.menu);
    // Newer simulators only; an older one keeps the item until it exits.
    using RemoveMenuItem = void (*)(XPLMMenuID, int);
    if (auto remove = reinterpret_cast<RemoveMenuItem>(XPLMFindSymbol("XPLMRemoveMenuItem"));
        remove && explanation.pluginsMenuItem >= 0)
        remove(XPLMFindPluginsMenu(), explanation.pluginsMenuItem);
    explanation = {};
}

}  // namespace korvane::loader
