// XPLMMenus as the headless host serves it: the menu bar with the plug-ins menu,
// plug-ins' menus and sub-menus, and picks by path. Unknown menu IDs and item indices
// are ignored, as the simulator ignores them.
#include "host/host_state.h"

#include <XPLMMenus.h>

#include <algorithm>
#include <functional>
#include <set>
#include <string>

using namespace korvane::host;

namespace {

MenuItem* FindItem(XPLMMenuID id, int index) {
    Menu* menu = FindMenu(id);
    if (!menu || index < 0 || static_cast<std::size_t>(index) >= menu->items.size()) return nullptr;
    return &menu->items[static_cast<std::size_t>(index)];
}

XPLMMenuID NewMenu(const char* name, XPLMMenuHandler_f handler, void* refcon) {
    HostState& state = State();
    // Pointer-sized IDs well above 32 bits, as a 64-bit simulator's pointers are.
    auto id = reinterpret_cast<XPLMMenuID>(std::uintptr_t{0x7e6d00000000} + 16 * ++state.menusMade);
    state.menus[id] = Menu{name ? name : "", handler, refcon, {}};
    return id;
}

std::string Describe(XPLMMenuID menu, int index) {
    return "menu=" + PointerText(menu) + " index=" + std::to_string(index);
}

}  // namespace

namespace korvane::host {

Menu* FindMenu(XPLMMenuID id) {
    auto found = State().menus.find(id);
    return found == State().menus.end() ? nullptr : &found->second;
}

void AddSimulatorMenus() {
    HostState& state = State();
    state.pluginsMenu = NewMenu("Plugins", nullptr, nullptr);
    state.menuBar.push_back(state.pluginsMenu);
}

std::vector<MenuLine> MenuLines() {
    const HostState& state = State();
    std::vector<MenuLine> lines;
    std::set<XPLMMenuID> shown;
    std::function<void(const Menu&, int)> addItems = [&](const Menu& menu, int depth) {
        for (const MenuItem& item : menu.items) {
            lines.push_back({depth, item.name, false, item.separator, item.enabled, item.check});
            const Menu* submenu = FindMenu(item.submenu);
            if (submenu && shown.insert(item.submenu).second) addItems(*submenu, depth + 1);
        }
    };
    auto addMenu = [&](XPLMMenuID id, bool detached) {
        shown.insert(id);
        const Menu& menu = state.menus.at(id);
        lines.push_back({0, menu.name, detached, false, true, xplm_Menu_NoCheck});
        addItems(menu, 1);
    };
    for (XPLMMenuID id : state.menuBar) addMenu(id, false);
    for (const auto& [id, menu] : state.menus)
        if (!shown.contains(id)) addMenu(id, true);
    return lines;
}

std::string FormatMenuLines(const std::vector<MenuLine>& lines) {
    std::string text;
    for (const MenuLine& line : lines) {
        text.append(2 * static_cast<std::size_t>(line.depth), ' ');
        if (line.detached) text += "(detached) ";
        text += line.separator ? std::string("----") : line.name;
        if (line.check == xplm_Menu_Checked) text += " [x]";
        if (line.check == xplm_Menu_Unchecked) text += " [ ]";
        if (!line.enabled) text += " (disabled)";
        text += "\n";
    }
    return text;
}

bool PickMenuPath(const std::string& path) {
    std::vector<std::string> names;
    // A slash with a blank on each side belongs to a name ("Script Enable / Disable").
    auto inName = [&](std::size_t slash) {
        return slash > 0 && slash + 1 < path.size() && path[slash - 1] == ' ' && path[slash + 1] == ' ';
    };
    for (std::size_t start = 0, from = 0;;) {
        std::size_t slash = path.find('/', from);
        if (slash != std::string::npos && inName(slash)) {
            from = slash + 1;
            continue;
        }
        names.push_back(path.substr(start, slash - start));
        if (slash == std::string::npos) break;
        start = from = slash + 1;
    }
    if (names.size() < 2) return false;
    HostState& state = State();
    auto root = std::find_if(state.menuBar.begin(), state.menuBar.end(),
                             [&](XPLMMenuID id) { return state.menus.at(id).name == names[0]; });
    if (root == state.menuBar.end()) return false;
    XPLMMenuID menuId = *root;
    for (std::size_t i = 1; i < names.size(); ++i) {
        Menu* menu = FindMenu(menuId);
        if (!menu) return false;
        // An item that opens a menu is a step on the way, never picked itself; of
        // items with the same name the first that fits is taken.
        bool last = i + 1 == names.size();
        auto item = std::find_if(menu->items.begin(), menu->items.end(), [&](const MenuItem& candidate) {
            return !candidate.separator && candidate.name == names[i] && (candidate.submenu == nullptr) == last;
        });
        if (item == menu->items.end() || !item->enabled) return false;
        if (!last) {
            menuId = item->submenu;
            continue;
        }
        // The handler may change or destroy menus; it gets copies.
        XPLMMenuHandler_f handler = menu->handler;
        void* refcon = menu->refcon;
        void* ref = item->ref;
        if (handler) handler(refcon, ref);
        return true;
    }
    return false;
}

}  // namespace korvane::host

XPLM_API XPLMMenuID XPLMFindPluginsMenu(void) { return State().pluginsMenu; }

XPLM_API XPLMMenuID XPLMCreateMenu(const char* inName, XPLMMenuID inParentMenu, int inParentItem,
                                   XPLMMenuHandler_f inHandler, void* inMenuRef) {
    RecordCall("XPLMCreateMenu", std::string("name=") + (inName ? inName : "") + " parent=" +
                                     PointerText(inParentMenu) + " item=" + std::to_string(inParentItem) +
                                     " refcon=" + PointerText(inMenuRef));
    if (!inParentMenu) {
        XPLMMenuID id = NewMenu(inName, inHandler, inMenuRef);
        State().menuBar.push_back(id);
        return id;
    }
    MenuItem* item = FindItem(inParentMenu, inParentItem);
    if (!item || item->separator) return nullptr;
    // An item opens one menu; a menu it opened before is no longer shown.
    item->submenu = NewMenu(inName, inHandler, inMenuRef);
    return item->submenu;
}

XPLM_API void XPLMDestroyMenu(XPLMMenuID inMenuID) {
    RecordCall("XPLMDestroyMenu", PointerText(inMenuID));
    HostState& state = State();
    // The plug-ins menu belongs to the simulator.
    if (inMenuID == state.pluginsMenu || !FindMenu(inMenuID)) return;
    state.menus.erase(inMenuID);
    std::erase(state.menuBar, inMenuID);
    // The item that opened it stays, opening nothing; menus it opened stay, unshown.
    for (auto& [id, menu] : state.menus)
        for (MenuItem& item : menu.items)
            if (item.submenu == inMenuID) item.submenu = nullptr;
}

XPLM_API void XPLMClearAllMenuItems(XPLMMenuID inMenuID) {
    RecordCall("XPLMClearAllMenuItems", PointerText(inMenuID));
    if (Menu* menu = FindMenu(inMenuID)) menu->items.clear();
}

XPLM_API int XPLMAppendMenuItem(XPLMMenuID inMenu, const char* inItemName, void* inItemRef, int inForceEnglish) {
    RecordCall("XPLMAppendMenuItem", "menu=" + PointerText(inMenu) + " name=" + (inItemName ? inItemName : "") +
                                         " ref=" + PointerText(inItemRef) +
                                         " forceEnglish=" + std::to_string(inForceEnglish));
    Menu* menu = FindMenu(inMenu);
    if (!menu) return -1;  // the SDK's answer for a menu it cannot append to
    MenuItem item;
    item.name = inItemName ? inItemName : "";
    item.ref = inItemRef;
    menu->items.push_back(std::move(item));
    return static_cast<int>(menu->items.size()) - 1;
}

XPLM_API void XPLMAppendMenuSeparator(XPLMMenuID inMenu) {
    RecordCall("XPLMAppendMenuSeparator", PointerText(inMenu));
    if (Menu* menu = FindMenu(inMenu)) {
        MenuItem separator;
        separator.separator = true;
        menu->items.push_back(separator);
    }
}

XPLM_API void XPLMSetMenuItemName(XPLMMenuID inMenu, int inIndex, const char* inItemName, int inForceEnglish) {
    RecordCall("XPLMSetMenuItemName", Describe(inMenu, inIndex) + " name=" + (inItemName ? inItemName : "") +
                                          " forceEnglish=" + std::to_string(inForceEnglish));
    if (MenuItem* item = FindItem(inMenu, inIndex); item && !item->separator) item->name = inItemName ? inItemName : "";
}

XPLM_API void XPLMCheckMenuItem(XPLMMenuID inMenu, int index, XPLMMenuCheck inCheck) {
    RecordCall("XPLMCheckMenuItem", Describe(inMenu, index) + " check=" + std::to_string(inCheck));
    if (MenuItem* item = FindItem(inMenu, index)) item->check = inCheck;
}

XPLM_API void XPLMCheckMenuItemState(XPLMMenuID inMenu, int index, XPLMMenuCheck* outCheck) {
    RecordCall("XPLMCheckMenuItemState", Describe(inMenu, index));
    if (MenuItem* item = FindItem(inMenu, index); item && outCheck) *outCheck = item->check;
}

XPLM_API void XPLMEnableMenuItem(XPLMMenuID inMenu, int index, int enabled) {
    RecordCall("XPLMEnableMenuItem", Describe(inMenu, index) + " enabled=" + std::to_string(enabled));
    if (MenuItem* item = FindItem(inMenu, index)) item->enabled = enabled != 0;
}

XPLM_API void XPLMRemoveMenuItem(XPLMMenuID inMenu, int inIndex) {
    RecordCall("XPLMRemoveMenuItem", Describe(inMenu, inIndex));
    // Later items move up one index; a menu the item opened stays, unshown.
    if (MenuItem* item = FindItem(inMenu, inIndex)) {
        std::vector<MenuItem>& items = FindMenu(inMenu)->items;
        items.erase(items.begin() + (item - items.data()));
    }
}
