#pragma once
// The panel's pop-up chooser: a button showing the chosen item of a ";"-separated
// list, and the menu of all items it opens in a window of its own.
#include <XPLMDisplay.h>
#include <XPWidgetDefs.h>

#include <string>
#include <vector>

namespace korvane::ui {

enum {
    xpProperty_PopupSelection = 1800,
    xpProperty_PopupShownStart = 1898,
    xpProperty_PopupShownLength = 1899,
};

// Sent up the chain when the user picks an item: param1 the pop-up, param2 its index.
enum { xpMsg_PopupItemChosen = 1800 };

// In `descriptor` an item "-" is a separator and an item starting with "(" is shown
// without it and cannot be picked.
XPWidgetID CreatePopupButton(int left, int top, int right, int bottom, int visible, const char* descriptor,
                             XPWidgetID container);
int PopupButtonProc(XPWidgetMessage message, XPWidgetID widget, intptr_t param1, intptr_t param2);

// Called once when a menu closes: the picked index, or -1 for none.
using PopupPickFunction = void (*)(int index, void* refcon);

// An open pop-up menu, for tests and for closing menus whose owner goes.
struct PopupMenu {
    XPLMWindowID window = nullptr;
    std::vector<std::string> texts;
    std::vector<char> pickable;
    std::vector<int> leftEdges, rightEdges, lowerEdges, upperEdges;
    std::vector<int> columnStarts;
    int left = 0, top = 0, right = 0, bottom = 0;
    PopupPickFunction pick = nullptr;
    void* refcon = nullptr;
};

// Opens a menu of `items` with the item `current` at (left, top).
void OpenPopupMenu(int left, int top, const std::string& items, int current, PopupPickFunction pick, void* refcon);
// The menus open now, oldest first.
const std::vector<PopupMenu*>& OpenPopupMenus();
// Closes, without a pick, every open menu whose refcon is `refcon` (all when null).
void ClosePopupMenus(void* refcon = nullptr);

}  // namespace korvane::ui
