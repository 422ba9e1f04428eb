#pragma once
// The panel's scrolling list of text lines: a custom widget driven by its descriptor
// and a set of trigger properties, with a scroll bar drawn by the simulator.
#include <XPWidgetDefs.h>

#include <string>
#include <vector>

namespace korvane::ui {

enum {
    xpProperty_ListBoxSelection = 1900,
    xpProperty_ListBoxAppendLine = 1901,
    xpProperty_ListBoxSetLines = 1902,
    xpProperty_ListBoxClear = 1903,
    xpProperty_ListBoxInsertLine = 1904,
    xpProperty_ListBoxDeleteLine = 1905,
    xpProperty_ListBoxData = 1906,
    xpProperty_ListBoxVisibleLines = 1907,
    xpProperty_ListBoxThumbDragging = 1908,
    xpProperty_ListBoxScrollMin = 1909,
    xpProperty_ListBoxScrollMax = 1910,
    xpProperty_ListBoxScrollPosition = 1911,
    xpProperty_ListBoxPageAmount = 1912,
};

// Sent up the chain when the mouse is released over the lines: param1 the list box,
// param2 the selected line's index; the descriptor then holds that line.
enum { xpMsg_ListBoxLineChosen = 1900 };

// Appending beyond this many lines lets the oldest line go.
inline constexpr std::size_t kMostAppendedLines = 2000;

// What a list box holds; owned by the widget and reachable through xpProperty_ListBoxData.
struct ListBoxData {
    std::vector<std::string> lines;
    // Each line's hit band, relative to the widget's left edge.
    std::vector<int> leftEdges;
    std::vector<int> rightEdges;
};

// `descriptor` holds the first lines, separated by ";".
XPWidgetID CreateListBox(int left, int top, int right, int bottom, int visible, const char* descriptor,
                         XPWidgetID container);
int ListBoxProc(XPWidgetMessage message, XPWidgetID widget, intptr_t param1, intptr_t param2);

// The lines of a list box; null for a widget that is not one.
const ListBoxData* ListBoxLines(XPWidgetID widget);

}  // namespace korvane::ui
