// XPLMDisplay: draw callbacks, key sniffers, windows, hot keys, the screen and the mouse.
#include "core/core_state.h"
#include "modules/xplm/binding.h"
#include "modules/xplm/initialisers.h"
#include "registry/callback_dispatch.h"

#include <XPLMDisplay.h>

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace korvane {
namespace {

// The host writes a hot key's description into a buffer of this size without being
// told its size, so no script may register a longer one.
constexpr std::size_t kDescriptionBuffer = 1024;

std::string HandleText(const void* handle) {
    char text[2 + 2 * sizeof(void*) + 1];
    std::snprintf(text, sizeof text, "0x%" PRIxPTR, reinterpret_cast<std::uintptr_t>(handle));
    return text;
}

void* ScriptRefcon(long refcon) { return reinterpret_cast<void*>(static_cast<std::intptr_t>(refcon)); }

// The simulator trusts window IDs blindly; only windows scripts made through Korvane
// (and that still exist) reach it.
PyObject* RaiseNotAWindow(void* window) {
    PyErr_Format(PyExc_ValueError, "%s is not a window made through XPLMCreateWindow", HandleText(window).c_str());
    return nullptr;
}

bool CheckWindow(void* window) {
    if (registry && registry->FindWindowCallable(WindowField::Draw, window)) return true;
    RaiseNotAWindow(window);
    return false;
}

// Hot key IDs may name any plug-in's hot key; the host lists them all.
bool CheckHotKey(void* hotKey) {
    if (hotKey) {
        int count = XPLMCountHotKeys();
        for (int i = 0; i < count; ++i)
            if (XPLMGetNthHotKey(i) == hotKey) return true;
    }
    PyErr_Format(PyExc_ValueError, "%s is not a hot key the simulator knows", HandleText(hotKey).c_str());
    return false;
}

// Draw callbacks and key sniffers: one host registration per entry, and one entry per
// callable and place (a draw callback's phase and side, a key sniffer's side), as the
// host keeps them; an unregistration names the place it undoes.
std::int64_t DrawPlacement(int phase, int wantsBefore) {
    return static_cast<std::int64_t>(phase) * 2 + (wantsBefore != 0);
}
std::int64_t SnifferPlacement(int beforeWindows) { return beforeWindows != 0; }

// Adds the entry at its placement and registers it with the host through `hostRegister`
// (given the host refcon); 1 for a repeat of the script's earlier registration there.
template <typename HostRegister>
PyObject* RegisterPlaced(CallbackKind kind, PyObject* self, CallbackEntry entry, HostRegister hostRegister) {
    PyObject* callable = entry.callable.get();
    const std::int64_t placement = entry.placement;
    bool added = false;
    const CallbackEntry* stored = binding::RegisterEntry(kind, self, std::move(entry), &added);
    if (!stored) return nullptr;
    if (!added) return PyLong_FromLong(1);  // the script's earlier registration stands
    int result = hostRegister(stored->hostRefcon);
    // A refused registration leaves no entry that would pretend otherwise.
    if (!result && registry) registry->RemoveByCallable(kind, self, callable, placement);
    return PyLong_FromLong(result);
}

// 1 when the script's registration was found and undone, 0 when it had none.
PyObject* Unregister(CallbackKind kind, PyObject* self, PyObject* callable, std::int64_t placement) {
    std::optional<CallbackEntry> removed = binding::UnregisterByCallable(kind, self, callable, placement);
    if (!removed) return PyLong_FromLong(0);
    removed->ReleaseHost();
    return PyLong_FromLong(1);
}

PyObject* RegisterDrawCallback(PyObject*, PyObject* args) {
    PyObject* self = nullptr;
    PyObject* callable = nullptr;
    int phase = 0, wantsBefore = 0;
    long refcon = 0;
    if (!PyArg_ParseTuple(args, "OOiil:XPLMRegisterDrawCallback", &self, &callable, &phase, &wantsBefore, &refcon))
        return nullptr;
    CallbackEntry entry;
    entry.callable = PyRef::Borrow(callable);
    entry.refcon = refcon;
    entry.placement = DrawPlacement(phase, wantsBefore);
    entry.releaseHost = [phase, wantsBefore](const CallbackEntry& e) {
        XPLMUnregisterDrawCallback(dispatch::DrawCallback, phase, wantsBefore, e.hostRefcon);
    };
    return RegisterPlaced(CallbackKind::Draw, self, std::move(entry), [&](void* hostRefcon) {
        return XPLMRegisterDrawCallback(dispatch::DrawCallback, phase, wantsBefore, hostRefcon);
    });
}

PyObject* UnregisterDrawCallback(PyObject*, PyObject* args) {
    PyObject* self = nullptr;
    PyObject* callable = nullptr;
    int phase = 0, wantsBefore = 0;
    long refcon = 0;
    if (!PyArg_ParseTuple(args, "OOiil:XPLMUnregisterDrawCallback", &self, &callable, &phase, &wantsBefore, &refcon))
        return nullptr;
    return Unregister(CallbackKind::Draw, self, callable, DrawPlacement(phase, wantsBefore));
}

PyObject* RegisterKeySniffer(PyObject*, PyObject* args) {
    PyObject* self = nullptr;
    PyObject* callable = nullptr;
    int beforeWindows = 0;
    long refcon = 0;
    if (!PyArg_ParseTuple(args, "OOil:XPLMRegisterKeySniffer", &self, &callable, &beforeWindows, &refcon))
        return nullptr;
    CallbackEntry entry;
    entry.callable = PyRef::Borrow(callable);
    entry.refcon = refcon;
    entry.placement = SnifferPlacement(beforeWindows);
    entry.releaseHost = [beforeWindows](const CallbackEntry& e) {
        XPLMUnregisterKeySniffer(dispatch::KeySnifferCallback, beforeWindows, e.hostRefcon);
    };
    return RegisterPlaced(CallbackKind::KeySniffer, self, std::move(entry), [&](void* hostRefcon) {
        return XPLMRegisterKeySniffer(dispatch::KeySnifferCallback, beforeWindows, hostRefcon);
    });
}

PyObject* UnregisterKeySniffer(PyObject*, PyObject* args) {
    PyObject* self = nullptr;
    PyObject* callable = nullptr;
    int beforeWindows = 0;
    long refcon = 0;
    if (!PyArg_ParseTuple(args, "OOil:XPLMUnregisterKeySniffer", &self, &callable, &beforeWindows, &refcon))
        return nullptr;
    return Unregister(CallbackKind::KeySniffer, self, callable, SnifferPlacement(beforeWindows));
}

PyObject* GetScreenSize(PyObject*, PyObject* args) {
    PyObject *width = nullptr, *height = nullptr;
    if (!PyArg_ParseTuple(args, "OO:XPLMGetScreenSize", &width, &height)) return nullptr;
    if (!binding::CheckResultLists({width, height}, "XPLMGetScreenSize")) return nullptr;
    int w = 0, h = 0;
    XPLMGetScreenSize(width == Py_None ? nullptr : &w, height == Py_None ? nullptr : &h);
    if (!binding::StoreInt(width, w) || !binding::StoreInt(height, h)) return nullptr;
    return binding::ReturnOne();
}

PyObject* GetMouseLocation(PyObject*, PyObject* args) {
    PyObject *xList = nullptr, *yList = nullptr;
    if (!PyArg_ParseTuple(args, "OO:XPLMGetMouseLocation", &xList, &yList)) return nullptr;
    if (!binding::CheckResultLists({xList, yList}, "XPLMGetMouseLocation")) return nullptr;
    int x = 0, y = 0;
    XPLMGetMouseLocation(xList == Py_None ? nullptr : &x, yList == Py_None ? nullptr : &y);
    if (!binding::StoreInt(xList, x) || !binding::StoreInt(yList, y)) return nullptr;
    return binding::ReturnOne();
}

// The entry of a window the host has just made (the window ID, or None when it made none).
PyObject* AdoptWindow(PyObject* self, XPLMWindowID window, CallbackEntry entry, long refcon) {
    if (!window) Py_RETURN_NONE;
    entry.refcon = refcon;
    entry.handle = window;
    entry.releaseHost = [](const CallbackEntry& e) { XPLMDestroyWindow(e.handle); };
    if (!binding::RegisterEntry(CallbackKind::Window, self, std::move(entry))) {
        XPLMDestroyWindow(window);
        return nullptr;
    }
    return binding::HandleToPython(window);
}

PyObject* CreateWindow(PyObject*, PyObject* args) {
    PyObject* self = nullptr;
    int left = 0, top = 0, right = 0, bottom = 0, visible = 0;
    PyObject *draw = nullptr, *key = nullptr, *mouse = nullptr;
    long refcon = 0;
    if (!PyArg_ParseTuple(args, "OiiiiiOOOl:XPLMCreateWindow", &self, &left, &top, &right, &bottom, &visible, &draw,
                          &key, &mouse, &refcon))
        return nullptr;
    if (!binding::CheckRegistrationsOpen()) return nullptr;
    // Window callbacks are found by window ID, so the host window can carry the
    // script's own refcon, which its callables then receive.
    XPLMWindowID window = XPLMCreateWindow(left, top, right, bottom, visible, dispatch::DrawWindowCallback,
                                           dispatch::KeyCallback, dispatch::MouseClickCallback, ScriptRefcon(refcon));
    CallbackEntry entry;
    entry.callable = PyRef::Borrow(draw);
    entry.keyCallable = PyRef::Borrow(key);
    entry.mouseCallable = PyRef::Borrow(mouse);
    return AdoptWindow(self, window, std::move(entry), refcon);
}

// XPLMCreateWindow_t as a sequence of its fields, without structSize: left, top, right,
// bottom, visible, draw, click, key, cursor, wheel, refcon. Cursor and wheel may be None.
PyObject* CreateWindowEx(PyObject*, PyObject* args) {
    PyObject* self = nullptr;
    PyObject* params = nullptr;
    if (!PyArg_ParseTuple(args, "OO:XPLMCreateWindowEx", &self, &params)) return nullptr;
    XPLMCreateWindow_t fields{};
    fields.structSize = sizeof fields;
    PyObject *draw = nullptr, *click = nullptr, *key = nullptr, *cursor = nullptr, *wheel = nullptr;
    long refcon = 0;
    if (!binding::ParseStruct(params, "iiiiiOOOOOl:XPLMCreateWindow_t", &fields.left, &fields.top, &fields.right,
                              &fields.bottom, &fields.visible, &draw, &click, &key, &cursor, &wheel, &refcon) ||
        !binding::CheckCallable(draw, "XPLMCreateWindow_t's drawWindowFunc") ||
        !binding::CheckCallable(click, "XPLMCreateWindow_t's handleMouseClickFunc") ||
        !binding::CheckCallable(key, "XPLMCreateWindow_t's handleKeyFunc") ||
        !binding::CheckCallable(cursor, "XPLMCreateWindow_t's handleCursorFunc", true) ||
        !binding::CheckCallable(wheel, "XPLMCreateWindow_t's handleMouseWheelFunc", true) ||
        !binding::CheckRegistrationsOpen())
        return nullptr;
    fields.drawWindowFunc = dispatch::DrawWindowCallback;
    fields.handleMouseClickFunc = dispatch::MouseClickCallback;
    fields.handleKeyFunc = dispatch::KeyCallback;
    // Without a callable the host does as it does for windows that have none.
    fields.handleCursorFunc = cursor == Py_None ? nullptr : dispatch::CursorCallback;
    fields.handleMouseWheelFunc = wheel == Py_None ? nullptr : dispatch::MouseWheelCallback;
    fields.refcon = ScriptRefcon(refcon);
    XPLMWindowID window = XPLMCreateWindowEx(&fields);
    CallbackEntry entry;
    entry.callable = PyRef::Borrow(draw);
    entry.keyCallable = PyRef::Borrow(key);
    entry.mouseCallable = PyRef::Borrow(click);
    if (cursor != Py_None) entry.cursorCallable = PyRef::Borrow(cursor);
    if (wheel != Py_None) entry.wheelCallable = PyRef::Borrow(wheel);
    return AdoptWindow(self, window, std::move(entry), refcon);
}

// Any script may destroy any window made through Korvane, as with menus: the entry that
// holds it goes with it, whoever made it, so nothing draws into a window that is gone.
PyObject* DestroyWindow(PyObject*, PyObject* args) {
    PyObject* self = nullptr;
    void* window = nullptr;
    if (!PyArg_ParseTuple(args, "OO&:XPLMDestroyWindow", &self, binding::ParseHandle, &window)) return nullptr;
    std::optional<CallbackEntry> removed;
    if (registry) {
        removed = registry->RemoveByHandle(CallbackKind::Window, self, window);
        if (!removed) removed = registry->RemoveByHandleFromAny(CallbackKind::Window, window);
    }
    if (!removed) return RaiseNotAWindow(window);
    removed->ReleaseHost();
    return binding::ReturnOne();
}

PyObject* GetWindowGeometry(PyObject*, PyObject* args) {
    void* window = nullptr;
    PyObject *left = nullptr, *top = nullptr, *right = nullptr, *bottom = nullptr;
    if (!PyArg_ParseTuple(args, "O&OOOO:XPLMGetWindowGeometry", binding::ParseHandle, &window, &left, &top, &right,
                          &bottom))
        return nullptr;
    if (!binding::CheckResultLists({left, top, right, bottom}, "XPLMGetWindowGeometry") || !CheckWindow(window))
        return nullptr;
    int l = 0, t = 0, r = 0, b = 0;
    XPLMGetWindowGeometry(window, left == Py_None ? nullptr : &l, top == Py_None ? nullptr : &t,
                          right == Py_None ? nullptr : &r, bottom == Py_None ? nullptr : &b);
    if (!binding::StoreInt(left, l) || !binding::StoreInt(top, t) || !binding::StoreInt(right, r) || !binding::StoreInt(bottom, b)) return nullptr;
    return binding::ReturnOne();
}

PyObject* SetWindowGeometry(PyObject*, PyObject* args) {
    void* window = nullptr;
    int left = 0, top = 0, right = 0, bottom = 0;
    if (!PyArg_ParseTuple(args, "O&iiii:XPLMSetWindowGeometry", binding::ParseHandle, &window, &left, &top, &right,
                          &bottom))
        return nullptr;
    if (!CheckWindow(window)) return nullptr;
    XPLMSetWindowGeometry(window, left, top, right, bottom);
    return binding::ReturnOne();
}

// Parses a window ID alone and checks it.
bool ParseWindow(PyObject* args, const char* format, void** window) {
    return PyArg_ParseTuple(args, format, binding::ParseHandle, window) && CheckWindow(*window);
}

PyObject* GetWindowIsVisible(PyObject*, PyObject* args) {
    void* window = nullptr;
    if (!ParseWindow(args, "O&:XPLMGetWindowIsVisible", &window)) return nullptr;
    return PyLong_FromLong(XPLMGetWindowIsVisible(window));
}

PyObject* SetWindowIsVisible(PyObject*, PyObject* args) {
    void* window = nullptr;
    int visible = 0;
    if (!PyArg_ParseTuple(args, "O&i:XPLMSetWindowIsVisible", binding::ParseHandle, &window, &visible)) return nullptr;
    if (!CheckWindow(window)) return nullptr;
    XPLMSetWindowIsVisible(window, visible);
    return binding::ReturnOne();
}

PyObject* GetWindowRefCon(PyObject*, PyObject* args) {
    void* window = nullptr;
    if (!ParseWindow(args, "O&:XPLMGetWindowRefCon", &window)) return nullptr;
    return PyLong_FromLong(static_cast<long>(reinterpret_cast<std::intptr_t>(XPLMGetWindowRefCon(window))));
}

PyObject* SetWindowRefCon(PyObject*, PyObject* args) {
    void* window = nullptr;
    long refcon = 0;
    if (!PyArg_ParseTuple(args, "O&l:XPLMSetWindowRefCon", binding::ParseHandle, &window, &refcon)) return nullptr;
    if (!CheckWindow(window)) return nullptr;
    XPLMSetWindowRefCon(window, ScriptRefcon(refcon));
    return binding::ReturnOne();
}

PyObject* TakeKeyboardFocus(PyObject*, PyObject* args) {
    void* window = nullptr;
    if (!PyArg_ParseTuple(args, "O&:XPLMTakeKeyboardFocus", binding::ParseHandle, &window)) return nullptr;
    // 0 gives the focus back to the simulator.
    if (window && !CheckWindow(window)) return nullptr;
    XPLMTakeKeyboardFocus(window);
    return binding::ReturnOne();
}

PyObject* BringWindowToFront(PyObject*, PyObject* args) {
    void* window = nullptr;
    if (!ParseWindow(args, "O&:XPLMBringWindowToFront", &window)) return nullptr;
    XPLMBringWindowToFront(window);
    return binding::ReturnOne();
}

PyObject* IsWindowInFront(PyObject*, PyObject* args) {
    void* window = nullptr;
    if (!ParseWindow(args, "O&:XPLMIsWindowInFront", &window)) return nullptr;
    return PyLong_FromLong(XPLMIsWindowInFront(window));
}

PyObject* RegisterHotKey(PyObject*, PyObject* args) {
    PyObject* self = nullptr;
    unsigned char virtualKey = 0;
    int flags = 0;
    PyObject* descriptionObject = nullptr;
    PyObject* callable = nullptr;
    long refcon = 0;
    if (!PyArg_ParseTuple(args, "ObiOOl:XPLMRegisterHotKey", &self, &virtualKey, &flags, &descriptionObject,
                          &callable, &refcon))
        return nullptr;
    PyRef holder;
    std::optional<std::string_view> text = binding::TextToHost(descriptionObject, holder);
    if (!text) return nullptr;
    if (text->find('\0') != std::string_view::npos || text->size() >= kDescriptionBuffer) {
        PyErr_Format(PyExc_ValueError, "a hot key description must be shorter than %d bytes and hold no NUL",
                     static_cast<int>(kDescriptionBuffer));
        return nullptr;
    }
    const std::string description(*text);
    CallbackEntry entry;
    entry.callable = PyRef::Borrow(callable);
    entry.refcon = refcon;
    entry.releaseHost = [](const CallbackEntry& e) {
        if (e.handle) XPLMUnregisterHotKey(e.handle);
    };
    bool added = false;
    const CallbackEntry* stored = binding::RegisterEntry(CallbackKind::HotKey, self, std::move(entry), &added);
    if (!stored) return nullptr;
    if (!added) return binding::HandleOrNone(stored->handle);
    void* hostRefcon = stored->hostRefcon;
    XPLMHotKeyID hotKey = XPLMRegisterHotKey(static_cast<char>(virtualKey), flags, description.c_str(),
                                             dispatch::HotKeyCallback, hostRefcon);
    binding::AttachHostHandle(CallbackKind::HotKey, self, hostRefcon, hotKey);
    return binding::HandleOrNone(hotKey);
}

// Only the script's own hot keys are unregistered; any other ID is left alone.
PyObject* UnregisterHotKey(PyObject*, PyObject* args) {
    PyObject* self = nullptr;
    void* hotKey = nullptr;
    if (!PyArg_ParseTuple(args, "OO&:XPLMUnregisterHotKey", &self, binding::ParseHandle, &hotKey)) return nullptr;
    if (registry && hotKey)
        if (std::optional<CallbackEntry> removed = registry->RemoveByHandle(CallbackKind::HotKey, self, hotKey))
            removed->ReleaseHost();
    return binding::ReturnOne();
}

PyObject* CountHotKeys(PyObject*, PyObject*) { return PyLong_FromLong(XPLMCountHotKeys()); }

PyObject* GetNthHotKey(PyObject*, PyObject* args) {
    int index = 0;
    if (!PyArg_ParseTuple(args, "i:XPLMGetNthHotKey", &index)) return nullptr;
    return binding::HandleOrNone(XPLMGetNthHotKey(index));
}

PyObject* GetHotKeyInfo(PyObject*, PyObject* args) {
    void* hotKey = nullptr;
    PyObject *keyList = nullptr, *flagsList = nullptr, *descriptionList = nullptr, *pluginList = nullptr;
    if (!PyArg_ParseTuple(args, "O&OOOO:XPLMGetHotKeyInfo", binding::ParseHandle, &hotKey, &keyList, &flagsList,
                          &descriptionList, &pluginList))
        return nullptr;
    if (!binding::CheckResultLists({keyList, flagsList, descriptionList, pluginList}, "XPLMGetHotKeyInfo") ||
        !CheckHotKey(hotKey))
        return nullptr;
    char virtualKey = 0;
    XPLMKeyFlags flags = 0;
    char description[kDescriptionBuffer] = {};
    XPLMPluginID plugin = 0;
    XPLMGetHotKeyInfo(hotKey, keyList == Py_None ? nullptr : &virtualKey, flagsList == Py_None ? nullptr : &flags,
                      descriptionList == Py_None ? nullptr : description, pluginList == Py_None ? nullptr : &plugin);
    description[kDescriptionBuffer - 1] = '\0';
    if (!binding::StoreInt(keyList, static_cast<signed char>(virtualKey)) || !binding::StoreInt(flagsList, flags) ||
        !binding::StoreResult(descriptionList, PyRef::Steal(binding::TextFromHost(description))) ||
        !binding::StoreInt(pluginList, plugin))
        return nullptr;
    return binding::ReturnOne();
}

PyObject* SetHotKeyCombination(PyObject*, PyObject* args) {
    void* hotKey = nullptr;
    unsigned char virtualKey = 0;
    int flags = 0;
    if (!PyArg_ParseTuple(args, "O&bi:XPLMSetHotKeyCombination", binding::ParseHandle, &hotKey, &virtualKey, &flags))
        return nullptr;
    if (!CheckHotKey(hotKey)) return nullptr;
    XPLMSetHotKeyCombination(hotKey, static_cast<char>(virtualKey), flags);
    return binding::ReturnOne();
}

PyMethodDef kMethods[] = {
    binding::Function<"XPLMRegisterDrawCallback", "self, inCallback, inPhase, inWantsBefore, inRefcon",
                      "Registers a Draw Call Back.", RegisterDrawCallback>(),
    binding::Function<"XPLMUnregisterDrawCallback", "self, inCallback, inPhase, inWantsBefore, inRefcon",
                      "Unregisters a Draw Call Back.", UnregisterDrawCallback>(),
    binding::Function<"XPLMRegisterKeySniffer", "self, inCallback, inBeforeWindows, inRefcon",
                      "Registers a Key Sniffer.", RegisterKeySniffer>(),
    binding::Function<"XPLMUnregisterKeySniffer", "self, inCallback, inBeforeWindows, inRefcon",
                      "Unregisters a Key Sniffer.", UnregisterKeySniffer>(),
    binding::Function<"XPLMGetScreenSize", "outWidth, outHeight", "Get Screen Size.", GetScreenSize>(),
    binding::Function<"XPLMGetMouseLocation", "outX, outY", "Get Mouse Location.", GetMouseLocation>(),
    binding::Function<"XPLMCreateWindow",
                      "self, inLeft, inTop, inRight, inBottom, inIsVisible, inDrawCallback, inKeyCallback, "
                      "inMouseCallback, inRefcon",
                      "Creates a window.", CreateWindow>(),
    binding::Function<"XPLMCreateWindowEx", "self, inParams",
                      "Creates a window with cursor and mouse-wheel callbacks. inParams is (left, top, right, bottom, "
                      "visible, drawWindowFunc, handleMouseClickFunc, handleKeyFunc, handleCursorFunc, "
                      "handleMouseWheelFunc, refcon); the cursor and wheel callables may be None.", CreateWindowEx>(),
    binding::Function<"XPLMDestroyWindow", "self, inWindowID", "Destroys a window.", DestroyWindow>(),
    binding::Function<"XPLMGetWindowGeometry", "inWindowID, outLeft, outTop, outRight, outBottom",
                      "Get window geometry.", GetWindowGeometry>(),
    binding::Function<"XPLMSetWindowGeometry", "inWindowID, inLeft, inTop, inRight, inBottom",
                      "Set window geometry.", SetWindowGeometry>(),
    binding::Function<"XPLMGetWindowIsVisible", "inWindowID", "Get Window is Visible.", GetWindowIsVisible>(),
    binding::Function<"XPLMSetWindowIsVisible", "inWindowID, inIsVisible",
                      "Set Window is Visible.", SetWindowIsVisible>(),
    binding::Function<"XPLMGetWindowRefCon", "inWindowID", "Get the Window RefCon.", GetWindowRefCon>(),
    binding::Function<"XPLMSetWindowRefCon", "inWindowID, inRefcon", "Set the Window RefCon.", SetWindowRefCon>(),
    binding::Function<"XPLMTakeKeyboardFocus", "inWindow", "Take the Keyboard Focus.", TakeKeyboardFocus>(),
    binding::Function<"XPLMBringWindowToFront", "inWindow", "Bring Window to Front.", BringWindowToFront>(),
    binding::Function<"XPLMIsWindowInFront", "inWindow", "Is the Window in Front.", IsWindowInFront>(),
    binding::Function<"XPLMRegisterHotKey", "self, inVirtualKey, inFlags, inDescription, inCallback, inRefcon",
                      "Register Hot Key.", RegisterHotKey>(),
    binding::Function<"XPLMUnregisterHotKey", "self, inHotKey", "Unregister Hot Key.", UnregisterHotKey>(),
    binding::Function<"XPLMCountHotKeys", "", "Count the Hot Keys.", CountHotKeys>(),
    binding::Function<"XPLMGetNthHotKey", "inIndex", "Get Nth Hot Key.", GetNthHotKey>(),
    binding::Function<"XPLMGetHotKeyInfo", "inHotKey, outVirtualKey, outFlags, outDescription, outPlugin",
                      "Get Hot Key Info.", GetHotKeyInfo>(),
    binding::Function<"XPLMSetHotKeyCombination", "inHotKey, inVirtualKey, inFlags",
                      "Set the Hot Key Combination.", SetHotKeyCombination>(),
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

PyObject* InitXPLMDisplay() {
    return binding::CreateModule("XPLMDisplay", kMethods,
                                 {{"xplm_Phase_FirstScene", xplm_Phase_FirstScene},
                                  {"xplm_Phase_Terrain", xplm_Phase_Terrain},
                                  {"xplm_Phase_Airports", xplm_Phase_Airports},
                                  {"xplm_Phase_Vectors", xplm_Phase_Vectors},
                                  {"xplm_Phase_Objects", xplm_Phase_Objects},
                                  {"xplm_Phase_Airplanes", xplm_Phase_Airplanes},
                                  {"xplm_Phase_LastScene", xplm_Phase_LastScene},
                                  {"xplm_Phase_FirstCockpit", xplm_Phase_FirstCockpit},
                                  {"xplm_Phase_Panel", xplm_Phase_Panel},
                                  {"xplm_Phase_Gauges", xplm_Phase_Gauges},
                                  {"xplm_Phase_Window", xplm_Phase_Window},
                                  {"xplm_Phase_LastCockpit", xplm_Phase_LastCockpit},
                                  {"xplm_MouseDown", xplm_MouseDown},
                                  {"xplm_MouseDrag", xplm_MouseDrag},
                                  {"xplm_MouseUp", xplm_MouseUp},
                                  {"xplm_CursorDefault", xplm_CursorDefault},
                                  {"xplm_CursorHidden", xplm_CursorHidden},
                                  {"xplm_CursorArrow", xplm_CursorArrow},
                                  {"xplm_CursorCustom", xplm_CursorCustom}});
}

}  // namespace korvane
