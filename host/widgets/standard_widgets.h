#pragma once
// The simulator's standard widget classes (main window, sub-window, button, text
// field, scroll bar, caption, general graphics, progress). Each is a widget function
// built on the public widget calls, as a plug-in's own custom widget would be.
#include <XPWidgetDefs.h>

namespace korvane::host {

// The class function of a standard class; null for a class the library lacks.
XPWidgetFunc_t StandardWidgetFunction(XPWidgetClass widgetClass);

}  // namespace korvane::host
