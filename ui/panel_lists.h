#pragma once
// The control panel's display and print lists, fed by the script utilities and the
// error report. Until the panel's window is first built, lines wait as pending text.
#include <XPWidgetDefs.h>

#include <string>
#include <string_view>
#include <vector>

namespace korvane {

// Splits a text into at most three list lines of at most 45 characters (UTF-8
// characters, not bytes), preferring to break at a blank.
std::vector<std::string> SplitListLine(std::string_view text);

// To the list box while the panel's window exists, else to the pending text.
void AddToDisplayList(std::string_view text);
void AddToPrintList(std::string_view text);
// Empties the list box, if the panel's window exists.
void ClearDisplayList();
void ClearPrintList();
// The panel's list boxes from the window's build on; null when the window goes.
void SetPanelListBoxes(XPWidgetID display, XPWidgetID print);

// Lines waiting for the panel, each followed by ";".
const std::string& DisplayPendingText();
const std::string& PrintPendingText();

}  // namespace korvane
