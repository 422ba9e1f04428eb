#include "ui/popup_button.h"

#include "platform/opengl.h"
#include "ui/interface_color.h"
#include "ui/widget_text.h"

#include <XPLMGraphics.h>
#include <XPLMUtilities.h>
#include <XPUIGraphics.h>
#include <XPWidgetUtils.h>
#include <XPWidgets.h>

#include <algorithm>

namespace korvane::ui {
namespace {

constexpr int kItemHeight = 12;
constexpr int kSeparatorHeight = 2;
constexpr int kScreenMargin = 10;
// The menu keeps clear of the simulator's menu bar at the top of the screen.
constexpr int kTopMargin = 30;
// A column ends when the next item would start this far above the screen's bottom.
constexpr int kColumnBottomMargin = 50;

// Read on the first draw of any pop-up and kept for all.
bool firstDrawDone = false;
int simulatorVersion = 0;
int basicCharWidth = 0;

std::vector<PopupMenu*> openMenus;

int Property(XPWidgetID widget, int property) {
    return static_cast<int>(XPGetWidgetProperty(widget, property, nullptr));
}

// Sets the shown text to the selected item, and enables the pop-up.
int UpdateShownText(XPWidgetID widget, int selection) {
    const std::string text = ReadDescriptor(widget);
    std::size_t at = 0;
    for (int skipped = 0; skipped < selection; ++skipped) {
        std::size_t separator = text.find(';', at);
        if (separator == std::string::npos) {
            at = text.size();
            break;
        }
        at = separator + 1;
    }
    std::size_t end = std::min(text.find(';', at), text.size());
    XPSetWidgetProperty(widget, xpProperty_PopupShownStart, static_cast<intptr_t>(at));
    XPSetWidgetProperty(widget, xpProperty_PopupShownLength, static_cast<intptr_t>(end - at));
    XPSetWidgetProperty(widget, xpProperty_Enabled, 1);
    return 1;
}

int DrawButton(XPWidgetID widget, int left, int top, int right, int bottom, int charHeight) {
    if (!firstDrawDone) {
        XPLMHostApplicationID host = 0;
        int xplmVersion = 0;
        XPLMGetVersions(&simulatorVersion, &xplmVersion, &host);
        XPLMGetFontDimensions(xplmFont_Basic, &basicCharWidth, nullptr, nullptr);
        firstDrawDone = true;
    }
    const int mid = (top + bottom) / 2;
    if (simulatorVersion >= 700)
        XPDrawElement(left - 4, mid - 13, right + 4, mid + 13, xpElement_PushButton, 0);
    else
        XPDrawElement(left + 2, bottom, right - 2, top, xpElement_WindowDragBarSmooth, 0);

    const std::string text = ReadDescriptor(widget);
    const auto start = static_cast<std::size_t>(std::max(0, Property(widget, xpProperty_PopupShownStart)));
    const auto length = static_cast<std::size_t>(std::max(0, Property(widget, xpProperty_PopupShownLength)));
    std::string_view shown = start < text.size() ? std::string_view(text).substr(start, length) : std::string_view();
    float enabledColour[3], disabledColour[3];
    GetInterfaceColor(kMenuText, enabledColour);
    GetInterfaceColor(kMenuTextDisabled, disabledColour);
    if (basicCharWidth != 0)
        shown = FirstCharacters(shown, static_cast<std::size_t>(std::max(0, (right - left - 24) / basicCharWidth)));
    if (!shown.empty() && shown.front() == '(') shown.remove_prefix(1);
    std::string drawn(shown);
    XPLMDrawString(Property(widget, xpProperty_Enabled) ? enabledColour : disabledColour, left + 4,
                   mid - charHeight / 2 + 2, drawn.data(), nullptr, xplmFont_Basic);
    return 1;
}

int HitTest(const PopupMenu& menu, int x, int y) {
    const int dx = x - menu.left, dy = y - menu.top;
    for (std::size_t i = 0; i < menu.texts.size(); ++i)
        if (menu.leftEdges[i] <= dx && dx < menu.rightEdges[i] && menu.lowerEdges[i] <= dy && dy < menu.upperEdges[i])
            return static_cast<int>(i);
    return -1;
}

void DrawMenu(XPLMWindowID, void* refcon) {
    const auto& menu = *static_cast<PopupMenu*>(refcon);
    int mouseX = 0, mouseY = 0;
    XPLMGetMouseLocation(&mouseX, &mouseY);
    const int under = HitTest(menu, mouseX, mouseY);
    XPLMSetGraphicsState(0, 0, 0, 0, 0, 0, 0);
    for (int c : menu.columnStarts) {
        GetInterfaceColor(kMenuDark);
        gl::Line(menu.left + c - 1, menu.top, menu.left + c - 1, menu.bottom);
        GetInterfaceColor(kMenuLite);
        gl::Line(menu.left + c, menu.top, menu.left + c, menu.bottom);
    }
    for (std::size_t i = 0; i < menu.texts.size(); ++i) {
        const int x1 = menu.leftEdges[i] + menu.left, x2 = menu.rightEdges[i] + menu.left;
        const int lower = menu.lowerEdges[i] + menu.top, upper = menu.upperEdges[i] + menu.top;
        const bool lit = static_cast<int>(i) == under && menu.pickable[i];
        XPDrawElement(x1, lower, x2, upper, lit ? xpElement_PushButtonLit : xpElement_PushButton, 0);
        if (menu.texts[i] == "-" && !menu.pickable[i]) {
            XPLMSetGraphicsState(0, 0, 0, 0, 0, 0, 0);
            GetInterfaceColor(kMenuLite);
            gl::Line(x1, upper - 1, x2, upper - 1);
            GetInterfaceColor(kMenuDark);
            gl::Line(x1, upper, x2, upper);
            continue;
        }
        if (lit) {
            SetInterfaceAlpha(0.25f);
            XPLMSetGraphicsState(0, 0, 0, 0, 1, 0, 0);
            GetInterfaceColor(kMenuHighlight);
            SetInterfaceAlpha(1.0f);
            gl::Quad(x1, upper, x2, upper, x2, lower, x1, lower);
        }
        float colour[3];
        GetInterfaceColor(menu.pickable[i] ? kMenuText : kMenuTextDisabled, colour);
        std::string text = menu.texts[i];
        XPLMDrawString(colour, x1 + 18, lower + 2, text.data(), nullptr, xplmFont_Menus);
    }
}

void MenuKey(XPLMWindowID, char, XPLMKeyFlags, char, void*, int) {}

void Close(PopupMenu* menu, int index) {
    auto found = std::find(openMenus.begin(), openMenus.end(), menu);
    if (found == openMenus.end()) return;
    openMenus.erase(found);
    // The record goes before the pick, which may open a new menu or destroy the owner.
    const PopupPickFunction pick = menu->pick;
    void* const refcon = menu->refcon;
    const XPLMWindowID window = menu->window;
    delete menu;
    XPLMDestroyWindow(window);
    if (pick) pick(index, refcon);
}

int MenuMouse(XPLMWindowID, int x, int y, XPLMMouseStatus status, void* refcon) {
    if (status != xplm_MouseUp) return 1;
    auto* menu = static_cast<PopupMenu*>(refcon);
    int index = HitTest(*menu, x, y);
    if (index >= 0 && !menu->pickable[static_cast<std::size_t>(index)]) index = -1;
    Close(menu, index);
    return 1;
}

void PopupPicked(int index, void* refcon) {
    if (index == -1) return;
    auto widget = static_cast<XPWidgetID>(refcon);
    XPSetWidgetProperty(widget, xpProperty_PopupSelection, index);
    XPSendMessageToWidget(widget, xpMsg_PopupItemChosen, xpMode_UpChain, reinterpret_cast<intptr_t>(widget), index);
}

}  // namespace

void OpenPopupMenu(int left, int top, const std::string& items, int current, PopupPickFunction pick, void* refcon) {
    int charWidth = 0;
    XPLMGetFontDimensions(xplmFont_Menus, &charWidth, nullptr, nullptr);
    int screenWidth = 1024, screenHeight = 768;
    XPLMGetScreenSize(&screenWidth, &screenHeight);
    auto* menu = new PopupMenu;
    menu->window = XPLMCreateWindow(0, screenHeight, screenWidth, 0, 1, DrawMenu, MenuKey, MenuMouse, menu);
    openMenus.push_back(menu);
    if (current < 0) current = 0;

    std::vector<int> heights;
    std::size_t longest = 0;
    for (std::string& item : SplitItems(items)) {
        if (item == "-") {
            menu->pickable.push_back(0);
            heights.push_back(kSeparatorHeight);
        } else if (!item.empty() && item.front() == '(') {
            item.erase(0, 1);
            menu->pickable.push_back(0);
            heights.push_back(kItemHeight);
        } else {
            menu->pickable.push_back(1);
            heights.push_back(kItemHeight);
        }
        std::size_t characters = 0;
        for (unsigned char ch : item) characters += (ch & 0xC0) != 0x80;
        longest = std::max(longest, characters);
        menu->texts.push_back(std::move(item));
    }
    const int columnWidth = static_cast<int>(longest) * charWidth + 35;
    const int columnBreak = -(screenHeight - kColumnBottomMargin);
    int x = 0, y = 0, lowest = 0, columns = 1, anchorX = 0, anchorY = 0;
    for (std::size_t i = 0; i < menu->texts.size(); ++i) {
        menu->leftEdges.push_back(x);
        menu->rightEdges.push_back(x + columnWidth);
        menu->upperEdges.push_back(y);
        menu->lowerEdges.push_back(y - heights[i]);
        if (static_cast<int>(i) == current) anchorX = x, anchorY = y;
        y -= heights[i];
        lowest = std::min(lowest, y);
        if (y < columnBreak) {
            x += columnWidth;
            y = 0;
            ++columns;
            menu->columnStarts.push_back(x);
        }
    }
    if (columns > 1 && y == 0) {
        --columns;  // the last column got no item
        menu->columnStarts.pop_back();
    }
    menu->left = left - anchorX;
    menu->top = top - anchorY;
    menu->right = menu->left + columns * columnWidth;
    menu->bottom = top + lowest - anchorY;
    auto shift = [&](int dx, int dy) {
        menu->left += dx, menu->right += dx, menu->top += dy, menu->bottom += dy;
    };
    if (menu->right > screenWidth - kScreenMargin) shift(screenWidth - kScreenMargin - menu->right, 0);
    if (menu->left < kScreenMargin) shift(kScreenMargin - menu->left, 0);
    if (menu->bottom < kScreenMargin) shift(0, kScreenMargin - menu->bottom);
    if (menu->top > screenHeight - kTopMargin) shift(0, screenHeight - kTopMargin - menu->top);
    menu->pick = pick;
    menu->refcon = refcon;
}

const std::vector<PopupMenu*>& OpenPopupMenus() { return openMenus; }

void ClosePopupMenus(void* refcon) {
    const std::vector<PopupMenu*> menus = openMenus;
    for (PopupMenu* menu : menus) {
        if (refcon && menu->refcon != refcon) continue;
        menu->pick = nullptr;
        Close(menu, -1);
    }
}

XPWidgetID CreatePopupButton(int left, int top, int right, int bottom, int visible, const char* descriptor,
                             XPWidgetID container) {
    return XPCreateCustomWidget(left, top, right, bottom, visible, descriptor, 0, container, PopupButtonProc);
}

int PopupButtonProc(XPWidgetMessage message, XPWidgetID widget, intptr_t param1, intptr_t param2) {
    if (XPUSelectIfNeeded(message, widget, param1, param2, 1)) return 1;
    int left = 0, top = 0, right = 0, bottom = 0;
    XPGetWidgetGeometry(widget, &left, &top, &right, &bottom);
    int charHeight = 0;
    XPLMGetFontDimensions(xplmFont_Basic, nullptr, &charHeight, nullptr);
    const int selection = Property(widget, xpProperty_PopupSelection);
    switch (message) {
        case xpMsg_Create:
        case xpMsg_DescriptorChanged: return UpdateShownText(widget, selection);
        case xpMsg_PropertyChanged:
            return param1 == xpProperty_PopupSelection ? UpdateShownText(widget, selection) : 1;
        case xpMsg_Draw: return DrawButton(widget, left, top, right, bottom, charHeight);
        case xpMsg_MouseDown:
            if (Property(widget, xpProperty_Enabled) == 0) return 0;
            OpenPopupMenu(left, top, ReadDescriptor(widget), selection, PopupPicked, widget);
            return 1;
        case xpMsg_Destroy:
            // A menu must not outlive the pop-up it would report to.
            ClosePopupMenus(widget);
            return 0;
        default: return 0;
    }
}

}  // namespace korvane::ui
