#pragma once
// The control panel: the "Korvane" entry of the plug-ins menu and its three windows,
// the Control Panel, Script Enable / Disable and Script Information.
#include <XPLMMenus.h>
#include <XPWidgetDefs.h>

namespace korvane::ui {

// Adds the menu entry; the windows are built when their item is first chosen.
void BuildPanelMenu();
// Destroys every window the panel built (and any open pop-up menu), then the menu entry.
void DestroyPanel();

// Scripts change menus only through Korvane's bindings, which report each change that
// can take Korvane's own entry from the plug-ins menu; the entry is then made again
// (and its index followed when items before it go), so the panel stays reachable.
void NoteMenuItemsCleared(XPLMMenuID menu);
void NoteMenuItemRemoved(XPLMMenuID menu, int index);
void NoteMenuDestroyed(XPLMMenuID menu);
// A script's new menu `name` opens from `item` of `parent`.
void NoteMenuAttached(XPLMMenuID parent, int item, const char* name);

// The panel's widgets, for tests and the test bench; null while a window does not exist.
struct ControlPanelWidgets {
    XPWidgetID window = nullptr;
    XPWidgetID displayList = nullptr, printList = nullptr;
    XPWidgetID start = nullptr, stop = nullptr, outputSwitch = nullptr, reloadScripts = nullptr;
    XPWidgetID clear = nullptr, reloadPlugins = nullptr, scriptInfo = nullptr, chooser = nullptr;
};
struct ScriptPageWidgets {
    XPWidgetID window = nullptr;
    XPWidgetID header1 = nullptr, header2 = nullptr;
    XPWidgetID previous = nullptr, next = nullptr, refresh = nullptr;
    XPWidgetID rows[8] = {}, boxes[8] = {};            // enable / disable window
    XPWidgetID lines[8][3] = {};                       // information window
};
const ControlPanelWidgets& ControlPanel();
const ScriptPageWidgets& EnableDisableWindow();
const ScriptPageWidgets& InformationWindow();

}  // namespace korvane::ui
