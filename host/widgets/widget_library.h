#pragma once
// The widget library's links to the rest of the host: key input, plug-in unload, the
// driver's views and the message parameters its utilities may read.
#include "host/host_state.h"

#include <XPWidgetDefs.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace korvane::host {

// The live widget a handle names; null for anything else.
WidgetRecord* FindWidget(XPWidgetID id);

// A key for the widget with the keyboard focus, up its chain as xpMsg_KeyPress; true
// when a widget handled it. False when no widget has the focus.
bool DeliverKeyToWidgets(char key, XPLMKeyFlags flags, char virtualKey);

// Forgets every widget without a message, as the simulator does with an unloaded
// plug-in's widgets (it runs one plug-in, which made them all); returns how many there were.
int DropAllWidgets();

// True while `pointer` is the parameter of a message being dispatched now.
bool IsDispatchedMouseState(const void* pointer);
bool IsDispatchedGeometryChange(const void* pointer);

// A widget as the driver shows it.
struct WidgetView {
    XPWidgetID id = nullptr;
    int left = 0, top = 0, right = 0, bottom = 0;
    bool visible = false;  // its own flag
    bool shown = false;    // it and every parent visible
    bool root = false;
    bool custom = false;   // made by XPCreateCustomWidget
    XPWidgetClass widgetClass = xpWidgetClass_None;
    std::string descriptor;
    XPWidgetID parent = nullptr;
    std::vector<XPWidgetID> children;  // bottom to top
    std::map<XPWidgetPropertyID, intptr_t> properties;
};

std::optional<WidgetView> ViewWidget(XPWidgetID id);
// Root widgets back to front, as their windows lie.
std::vector<XPWidgetID> RootWidgetsBackToFront();
// The first live widget with that descriptor: roots front to back, each tree depth
// first, then the trees that no root heads; null when none.
XPWidgetID FindWidgetByDescriptor(const std::string& descriptor);
XPWidgetID FocusedWidget();
// Each root widget with its tree, one indented line per widget; "" when there are none.
std::string FormatWidgetReport();

}  // namespace korvane::host
