// XPLMMenus: menus in the simulator's menu bar and under its plug-ins menu, and the
// picks of their items.
#include "core/core_state.h"
#include "modules/xplm/binding.h"
#include "modules/xplm/initialisers.h"
#include "registry/callback_dispatch.h"
#include "ui/control_panel.h"

#include <XPLMMenus.h>
#include <XPLMUtilities.h>

#include <cstdint>

namespace korvane {
namespace {

// A menu or item name for the host, str or bytes. The host reads up to the first NUL,
// so a name holding one is refused rather than cut short.
struct HostName {
    PyRef holder;
    const char* text = nullptr;
};

int ParseName(PyObject* object, void* out) {
    auto* name = static_cast<HostName*>(out);
    std::optional<std::string_view> text = binding::TextToHost(object, name->holder);
    if (!text) return 0;
    if (text->find('\0') != std::string_view::npos) {
        PyErr_SetString(PyExc_ValueError, "embedded null character");
        return 0;
    }
    name->text = text->data();  // both forms keep their terminating NUL
    return 1;
}

// Item references cross as the script's ints, as the dispatcher hands them back.
void* ItemRef(long itemRef) { return reinterpret_cast<void*>(static_cast<std::intptr_t>(itemRef)); }

PyObject* FindPluginsMenu(PyObject*, PyObject*) { return binding::HandleToPython(XPLMFindPluginsMenu()); }

void DestroyHostMenu(const CallbackEntry& entry) {
    if (entry.handle) XPLMDestroyMenu(static_cast<XPLMMenuID>(entry.handle));
}

PyObject* CreateMenu(PyObject*, PyObject* args) {
    PyObject* self = nullptr;
    HostName name;
    XPLMMenuID parent = nullptr;
    int parentItem = 0;
    PyObject* callable = nullptr;
    long refcon = 0;
    if (!PyArg_ParseTuple(args, "OO&O&iOl:XPLMCreateMenu", &self, ParseName, &name, binding::ParseHandle, &parent,
                          &parentItem, &callable, &refcon))
        return nullptr;
    CallbackEntry entry;
    entry.callable = PyRef::Borrow(callable);
    entry.refcon = refcon;
    entry.releaseHost = DestroyHostMenu;
    // The host takes the entry's refcon at creation, so the entry comes first and
    // learns its menu ID afterwards.
    const CallbackEntry* stored = binding::RegisterEntry(CallbackKind::Menu, self, std::move(entry));
    if (!stored) return nullptr;
    void* hostRefcon = stored->hostRefcon;
    XPLMMenuID menu = XPLMCreateMenu(name.text, parent, parentItem, dispatch::UserMenuCallback, hostRefcon);
    if (menu) {
        registry->SetEntryHandle(CallbackKind::Menu, hostRefcon, menu);
        if (parent) ui::NoteMenuAttached(parent, parentItem, name.text);
    } else {  // nothing was made: the entry, still without a menu, has nothing to undo
        registry->RemoveByHandle(CallbackKind::Menu, self, nullptr);
    }
    return binding::HandleToPython(menu);
}

// Any script may destroy any menu; the entry that holds it goes with it, whoever made
// it, so that no stop destroys the menu a second time.
PyObject* DestroyMenu(PyObject*, PyObject* args) {
    PyObject* self = nullptr;
    XPLMMenuID menu = nullptr;
    if (!PyArg_ParseTuple(args, "OO&:XPLMDestroyMenu", &self, binding::ParseHandle, &menu)) return nullptr;
    std::optional<CallbackEntry> removed;
    if (registry && menu) {
        removed = registry->RemoveByHandle(CallbackKind::Menu, self, menu);
        if (!removed) removed = registry->RemoveByHandleFromAny(CallbackKind::Menu, menu);
    }
    if (removed)
        removed->ReleaseHost();
    else
        XPLMDestroyMenu(menu);
    ui::NoteMenuDestroyed(menu);
    return binding::ReturnOne();
}

PyObject* ClearAllMenuItems(PyObject*, PyObject* args) {
    XPLMMenuID menu = nullptr;
    if (!PyArg_ParseTuple(args, "O&:XPLMClearAllMenuItems", binding::ParseHandle, &menu)) return nullptr;
    XPLMClearAllMenuItems(menu);
    ui::NoteMenuItemsCleared(menu);
    return binding::ReturnOne();
}

PyObject* AppendMenuItem(PyObject*, PyObject* args) {
    XPLMMenuID menu = nullptr;
    HostName name;
    long itemRef = 0;
    int forceEnglish = 0;
    if (!PyArg_ParseTuple(args, "O&O&li:XPLMAppendMenuItem", binding::ParseHandle, &menu, ParseName, &name, &itemRef,
                          &forceEnglish))
        return nullptr;
    return PyLong_FromLong(XPLMAppendMenuItem(menu, name.text, ItemRef(itemRef), forceEnglish));
}

PyObject* AppendMenuSeparator(PyObject*, PyObject* args) {
    XPLMMenuID menu = nullptr;
    if (!PyArg_ParseTuple(args, "O&:XPLMAppendMenuSeparator", binding::ParseHandle, &menu)) return nullptr;
    XPLMAppendMenuSeparator(menu);
    return binding::ReturnOne();
}

PyObject* SetMenuItemName(PyObject*, PyObject* args) {
    XPLMMenuID menu = nullptr;
    int index = 0;
    HostName name;
    int forceEnglish = 0;
    if (!PyArg_ParseTuple(args, "O&iO&i:XPLMSetMenuItemName", binding::ParseHandle, &menu, &index, ParseName, &name,
                          &forceEnglish))
        return nullptr;
    XPLMSetMenuItemName(menu, index, name.text, forceEnglish);
    return binding::ReturnOne();
}

PyObject* CheckMenuItem(PyObject*, PyObject* args) {
    XPLMMenuID menu = nullptr;
    int index = 0;
    int check = 0;
    if (!PyArg_ParseTuple(args, "O&ii:XPLMCheckMenuItem", binding::ParseHandle, &menu, &index, &check))
        return nullptr;
    XPLMCheckMenuItem(menu, index, check);
    return binding::ReturnOne();
}

PyObject* CheckMenuItemState(PyObject*, PyObject* args) {
    XPLMMenuID menu = nullptr;
    int index = 0;
    if (!PyArg_ParseTuple(args, "O&i:XPLMCheckMenuItemState", binding::ParseHandle, &menu, &index)) return nullptr;
    // A host that knows no such item writes nothing: the item has no check then.
    XPLMMenuCheck state = xplm_Menu_NoCheck;
    XPLMCheckMenuItemState(menu, index, &state);
    return PyLong_FromLong(state);
}

PyObject* EnableMenuItem(PyObject*, PyObject* args) {
    XPLMMenuID menu = nullptr;
    int index = 0;
    int enabled = 0;
    if (!PyArg_ParseTuple(args, "O&ii:XPLMEnableMenuItem", binding::ParseHandle, &menu, &index, &enabled))
        return nullptr;
    XPLMEnableMenuItem(menu, index, enabled);
    return binding::ReturnOne();
}

// Simulators before SDK 2.10 lack this call, and a plug-in that linked it directly
// would not load in them at all; it is looked up instead, and gives 0 where missing.
PyObject* RemoveMenuItem(PyObject*, PyObject* args) {
    XPLMMenuID menu = nullptr;
    int index = 0;
    if (!PyArg_ParseTuple(args, "O&i:XPLMRemoveMenuItem", binding::ParseHandle, &menu, &index)) return nullptr;
    using RemoveMenuItemFunction = void (*)(XPLMMenuID, int);
    auto remove = reinterpret_cast<RemoveMenuItemFunction>(XPLMFindSymbol("XPLMRemoveMenuItem"));
    if (!remove) return PyLong_FromLong(0);
    remove(menu, index);
    ui::NoteMenuItemRemoved(menu, index);
    return binding::ReturnOne();
}

PyMethodDef kMethods[] = {
    binding::Function<"XPLMFindPluginsMenu", "", "Find Plugins Menu.", FindPluginsMenu>(),
    binding::Function<"XPLMCreateMenu", "self, inName, inParentMenu, inParentItem, inHandler, inMenuRef",
                      "Create Menu.", CreateMenu>(),
    binding::Function<"XPLMDestroyMenu", "self, inMenuID", "Destroy Menu.", DestroyMenu>(),
    binding::Function<"XPLMClearAllMenuItems", "inMenuID", "Clear All Menu Items.", ClearAllMenuItems>(),
    binding::Function<"XPLMAppendMenuItem", "inMenu, inItemName, inItemRef, inForceEnglish",
                      "Append Menu Item.", AppendMenuItem>(),
    binding::Function<"XPLMAppendMenuSeparator", "inMenu", "Append Menu Separator.", AppendMenuSeparator>(),
    binding::Function<"XPLMSetMenuItemName", "inMenu, inIndex, inItemName, inForceEnglish",
                      "Set Menu Item Name.", SetMenuItemName>(),
    binding::Function<"XPLMCheckMenuItem", "inMenu, index, inCheck", "Check Menu Item.", CheckMenuItem>(),
    binding::Function<"XPLMCheckMenuItemState", "inMenu, index", "Check Menu Item State.", CheckMenuItemState>(),
    binding::Function<"XPLMEnableMenuItem", "inMenu, index, enabled", "Enable Menu Item.", EnableMenuItem>(),
    binding::Function<"XPLMRemoveMenuItem", "inMenu, inIndex", "Remove Menu Item.", RemoveMenuItem>(),
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

PyObject* InitXPLMMenus() {
    return binding::CreateModule("XPLMMenus", kMethods,
                                 {{"xplm_Menu_NoCheck", xplm_Menu_NoCheck},
                                  {"xplm_Menu_Unchecked", xplm_Menu_Unchecked},
                                  {"xplm_Menu_Checked", xplm_Menu_Checked}});
}

}  // namespace korvane
