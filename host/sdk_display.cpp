// XPLMDisplay as the headless host serves it: a screen and a mouse, drawing phases,
// a window manager, key sniffers and hot keys, and the input that reaches them.
#include "host/display_input.h"
#include "host/frame_work.h"
#include "host/gl_canvas.h"
#include "host/host_state.h"
#include "host/widgets/widget_library.h"

#include <XPLMDisplay.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

using namespace korvane::host;

namespace {

// The phases a frame draws, in order.
constexpr XPLMDrawingPhase kFramePhases[] = {
    xplm_Phase_FirstScene, xplm_Phase_Terrain,      xplm_Phase_Airports,     xplm_Phase_Vectors,
    xplm_Phase_Objects,    xplm_Phase_Airplanes,    xplm_Phase_LastScene,    xplm_Phase_FirstCockpit,
    xplm_Phase_Panel,      xplm_Phase_Gauges,       xplm_Phase_Window,       xplm_Phase_LastCockpit,
};

// Phases the simulator knows but the host never draws: the local map is not shown.
constexpr XPLMDrawingPhase kMapPhases[] = {xplm_Phase_LocalMap3D, xplm_Phase_LocalMap2D, xplm_Phase_LocalMapProfile};

bool KnownPhase(XPLMDrawingPhase phase) {
    auto in = [phase](const auto& phases) { return std::ranges::find(phases, phase) != std::end(phases); };
    return in(kFramePhases) || in(kMapPhases);
}

// Hot keys match on the modifiers and the key's direction.
constexpr XPLMKeyFlags kHotKeyFlags = xplm_ShiftFlag | xplm_OptionAltFlag | xplm_ControlFlag | xplm_DownFlag | xplm_UpFlag;

// The plug-in ID the host gives the one plug-in it runs.
constexpr XPLMPluginID kPluginId = 1;

bool SameDraw(const DrawRegistration& a, const DrawRegistration& b) {
    return a.callback == b.callback && a.phase == b.phase && a.before == b.before && a.refcon == b.refcon;
}

bool SameSniffer(const KeySnifferRegistration& a, const KeySnifferRegistration& b) {
    return a.callback == b.callback && a.beforeWindows == b.beforeWindows && a.refcon == b.refcon;
}

template <typename Registration, typename Same>
bool Registered(const std::vector<Registration>& list, const Registration& wanted, Same same) {
    return std::any_of(list.begin(), list.end(), [&](const Registration& r) { return same(r, wanted); });
}

std::string DrawDetails(XPLMDrawingPhase phase, int before, void* refcon) {
    return "phase=" + std::to_string(phase) + " before=" + std::to_string(before) + " refcon=" + PointerText(refcon);
}

bool Contains(const HostWindow& window, int x, int y) {
    return x >= window.left && x <= window.right && y >= window.bottom && y <= window.top;
}

// Calls each registration that is still registered when its turn comes: callbacks may
// register and unregister, and what they add waits for the next round.
template <typename Registration, typename Same, typename Call>
bool CallEach(const std::vector<Registration>& list, Same same, Call call) {
    const std::vector<Registration> snapshot = list;
    for (const Registration& registration : snapshot) {
        if (!Registered(list, registration, same)) continue;
        if (!call(registration)) return false;
    }
    return true;
}

void SendMouse(XPLMWindowID id, int x, int y, XPLMMouseStatus status) {
    const HostWindow* window = FindWindow(id);
    if (!window || !window->mouse) return;
    const XPLMHandleMouseClick_f mouse = window->mouse;
    void* const refcon = window->refcon;
    mouse(id, x, y, status, refcon);
}

}  // namespace

namespace korvane::host {

HostWindow* FindWindow(XPLMWindowID id) {
    if (!id) return nullptr;
    for (HostWindow& window : State().windows)
        if (window.id == id) return &window;
    return nullptr;
}

HotKey* FindHotKey(XPLMHotKeyID id) {
    if (!id) return nullptr;
    for (HotKey& hotKey : State().hotKeys)
        if (hotKey.id == id) return &hotKey;
    return nullptr;
}

namespace {

// The visible windows back to front; a window's draw may close or open windows.
void DrawWindows(bool drawing) {
    std::vector<XPLMWindowID> backToFront;
    for (const HostWindow& window : State().windows) backToFront.push_back(window.id);
    for (XPLMWindowID id : backToFront) {
        const HostWindow* window = FindWindow(id);
        if (!window || !window->visible || !window->draw) continue;
        const XPLMDrawWindow_f draw = window->draw;
        void* const refcon = window->refcon;
        if (drawing) MakeScreenCurrent();
        draw(id, refcon);
    }
}

}  // namespace

void RunDrawing() {
    HostState& state = State();
    const bool drawing = BeginScreenFrame();
    auto callbacks = [&](XPLMDrawingPhase phase, int before) {
        if (drawing) MakeScreenCurrent();
        CallEach(state.drawCallbacks, SameDraw, [&](const DrawRegistration& r) {
            if (r.phase == phase && r.before == before) r.callback(phase, before, r.refcon);
            return true;
        });
    };
    for (XPLMDrawingPhase phase : kFramePhases) {
        callbacks(phase, 1);
        // Windows belong to their own phase, so later phases draw over them.
        if (phase == xplm_Phase_Window) DrawWindows(drawing);
        callbacks(phase, 0);
    }
    if (drawing) EndScreenFrame();
}

XPLMWindowID FrontWindow() {
    const std::vector<HostWindow>& windows = State().windows;
    auto front = std::find_if(windows.rbegin(), windows.rend(), [](const HostWindow& w) { return w.visible; });
    return front == windows.rend() ? nullptr : front->id;
}

void PressKey(char key, XPLMKeyFlags flags, char virtualKey) {
    HostState& state = State();
    RecordCall("(key press)", "key=" + std::to_string(static_cast<unsigned char>(key)) +
                                  " flags=" + std::to_string(flags) +
                                  " vkey=" + std::to_string(static_cast<unsigned char>(virtualKey)));
    auto sniff = [&](int beforeWindows) {
        return CallEach(state.keySniffers, SameSniffer, [&](const KeySnifferRegistration& r) {
            return r.beforeWindows != beforeWindows || r.callback(key, flags, virtualKey, r.refcon) != 0;
        });
    };
    if (!sniff(1)) return;
    if (DeliverKeyToWidgets(key, flags, virtualKey)) return;
    if (const HostWindow* focused = FindWindow(state.keyboardFocus); focused && focused->key) {
        const XPLMHandleKey_f handle = focused->key;
        void* const refcon = focused->refcon;
        handle(focused->id, key, flags, virtualKey, refcon, 0);
        return;
    }
    if (!sniff(0)) return;
    std::vector<XPLMHotKeyID> matching;
    for (const HotKey& hotKey : state.hotKeys)
        if (hotKey.virtualKey == virtualKey && hotKey.flags == (flags & kHotKeyFlags)) matching.push_back(hotKey.id);
    for (XPLMHotKeyID id : matching)
        if (const HotKey* hotKey = FindHotKey(id)) {
            const XPLMHotKey_f callback = hotKey->callback;
            void* const refcon = hotKey->refcon;
            callback(refcon);
        }
}

void MouseDown(int x, int y) {
    HostState& state = State();
    state.mouseX = x;
    state.mouseY = y;
    state.mouseCapture = nullptr;
    for (auto window = state.windows.rbegin(); window != state.windows.rend(); ++window) {
        if (!window->visible || !Contains(*window, x, y)) continue;
        state.mouseCapture = window->id;
        break;
    }
    SendMouse(state.mouseCapture, x, y, xplm_MouseDown);
}

void MouseDrag(int x, int y) {
    HostState& state = State();
    state.mouseX = x;
    state.mouseY = y;
    SendMouse(state.mouseCapture, x, y, xplm_MouseDrag);
}

void MouseWheel(int x, int y, int wheel, int clicks) {
    HostState& state = State();
    state.mouseX = x;
    state.mouseY = y;
    std::vector<XPLMWindowID> frontToBack;
    for (auto window = state.windows.rbegin(); window != state.windows.rend(); ++window)
        if (window->visible && Contains(*window, x, y)) frontToBack.push_back(window->id);
    // Each window under the mouse, front first, until one with a wheel callback takes it.
    for (XPLMWindowID id : frontToBack) {
        const HostWindow* window = FindWindow(id);
        if (!window || !window->wheel) continue;
        const XPLMHandleMouseWheel_f handle = window->wheel;
        void* const refcon = window->refcon;
        if (handle(id, x, y, wheel, clicks, refcon) != 0) return;
    }
}

void UpdateCursor() {
    HostState& state = State();
    state.cursor = xplm_CursorDefault;
    for (auto window = state.windows.rbegin(); window != state.windows.rend(); ++window) {
        if (!window->visible || !Contains(*window, state.mouseX, state.mouseY)) continue;
        if (!window->cursor) return;  // the topmost window under the mouse decides
        const XPLMHandleCursor_f cursor = window->cursor;
        const XPLMWindowID id = window->id;
        void* const refcon = window->refcon;
        // The window list may change under the call; the answer is all that is kept.
        const XPLMCursorStatus status = cursor(id, state.mouseX, state.mouseY, refcon);
        State().cursor = status;
        return;
    }
}

void MouseUp(int x, int y) {
    HostState& state = State();
    state.mouseX = x;
    state.mouseY = y;
    const XPLMWindowID taker = std::exchange(state.mouseCapture, nullptr);
    SendMouse(taker, x, y, xplm_MouseUp);
}

}  // namespace korvane::host

XPLM_API int XPLMRegisterDrawCallback(XPLMDrawCallback_f inCallback, XPLMDrawingPhase inPhase, int inWantsBefore,
                                      void* inRefcon) {
    RecordCall("XPLMRegisterDrawCallback", DrawDetails(inPhase, inWantsBefore, inRefcon));
    const DrawRegistration registration{inCallback, inPhase, inWantsBefore ? 1 : 0, inRefcon};
    std::vector<DrawRegistration>& list = State().drawCallbacks;
    // The simulator refuses a phase it does not know.
    if (!inCallback || !KnownPhase(inPhase) || Registered(list, registration, SameDraw)) return 0;
    list.push_back(registration);
    return 1;
}

XPLM_API int XPLMUnregisterDrawCallback(XPLMDrawCallback_f inCallback, XPLMDrawingPhase inPhase, int inWantsBefore,
                                        void* inRefcon) {
    RecordCall("XPLMUnregisterDrawCallback", DrawDetails(inPhase, inWantsBefore, inRefcon));
    const DrawRegistration registration{inCallback, inPhase, inWantsBefore ? 1 : 0, inRefcon};
    return std::erase_if(State().drawCallbacks,
                         [&](const DrawRegistration& r) { return SameDraw(r, registration); }) > 0;
}

XPLM_API int XPLMRegisterKeySniffer(XPLMKeySniffer_f inCallback, int inBeforeWindows, void* inRefcon) {
    RecordCall("XPLMRegisterKeySniffer",
               "before=" + std::to_string(inBeforeWindows) + " refcon=" + PointerText(inRefcon));
    const KeySnifferRegistration registration{inCallback, inBeforeWindows ? 1 : 0, inRefcon};
    std::vector<KeySnifferRegistration>& list = State().keySniffers;
    if (!inCallback || Registered(list, registration, SameSniffer)) return 0;
    list.push_back(registration);
    return 1;
}

XPLM_API int XPLMUnregisterKeySniffer(XPLMKeySniffer_f inCallback, int inBeforeWindows, void* inRefcon) {
    RecordCall("XPLMUnregisterKeySniffer",
               "before=" + std::to_string(inBeforeWindows) + " refcon=" + PointerText(inRefcon));
    const KeySnifferRegistration registration{inCallback, inBeforeWindows ? 1 : 0, inRefcon};
    return std::erase_if(State().keySniffers,
                         [&](const KeySnifferRegistration& r) { return SameSniffer(r, registration); }) > 0;
}

XPLM_API void XPLMGetScreenSize(int* outWidth, int* outHeight) {
    RecordCall("XPLMGetScreenSize", std::string("width=") + (outWidth ? "ptr" : "null") +
                                        " height=" + (outHeight ? "ptr" : "null"));
    if (outWidth) *outWidth = State().screenWidth;
    if (outHeight) *outHeight = State().screenHeight;
}

XPLM_API void XPLMGetMouseLocation(int* outX, int* outY) {
    RecordCall("XPLMGetMouseLocation");
    if (outX) *outX = State().mouseX;
    if (outY) *outY = State().mouseY;
}

XPLM_API XPLMWindowID XPLMCreateWindow(int inLeft, int inTop, int inRight, int inBottom, int inIsVisible,
                                       XPLMDrawWindow_f inDrawCallback, XPLMHandleKey_f inKeyCallback,
                                       XPLMHandleMouseClick_f inMouseCallback, void* inRefcon) {
    HostState& state = State();
    // High bits set, so that a binding that cuts IDs to 32 bits shows at once.
    auto id = reinterpret_cast<XPLMWindowID>((std::uintptr_t{0x5157} << 32) | ++state.lastWindowSerial);
    RecordCall("XPLMCreateWindow", "id=" + PointerText(id) + " refcon=" + PointerText(inRefcon));
    state.windows.push_back(HostWindow{id, inLeft, inTop, inRight, inBottom, inIsVisible != 0, inDrawCallback,
                                       inKeyCallback, inMouseCallback, inRefcon, nullptr});
    return id;
}

XPLM_API XPLMWindowID XPLMCreateWindowEx(XPLMCreateWindow_t* inParams) {
    if (!inParams || inParams->structSize < static_cast<int>(sizeof(XPLMCreateWindow_t))) {
        ReportSdkError("XPLMCreateWindowEx", "bad parameters");
        return nullptr;
    }
    XPLMWindowID id = XPLMCreateWindow(inParams->left, inParams->top, inParams->right, inParams->bottom,
                                       inParams->visible, inParams->drawWindowFunc, inParams->handleKeyFunc,
                                       inParams->handleMouseClickFunc, inParams->refcon);
    HostWindow* window = FindWindow(id);
    window->cursor = inParams->handleCursorFunc;
    window->wheel = inParams->handleMouseWheelFunc;
    return id;
}

XPLM_API void XPLMDestroyWindow(XPLMWindowID inWindowID) {
    RecordCall("XPLMDestroyWindow", "id=" + PointerText(inWindowID));
    HostState& state = State();
    if (std::erase_if(state.windows, [&](const HostWindow& w) { return w.id == inWindowID; }) == 0) return;
    if (state.keyboardFocus == inWindowID) state.keyboardFocus = nullptr;
    if (state.mouseCapture == inWindowID) state.mouseCapture = nullptr;
}

XPLM_API void XPLMGetWindowGeometry(XPLMWindowID inWindowID, int* outLeft, int* outTop, int* outRight,
                                    int* outBottom) {
    RecordCall("XPLMGetWindowGeometry", "id=" + PointerText(inWindowID) + (outLeft ? "" : " left=null") +
                                            (outTop ? "" : " top=null") + (outRight ? "" : " right=null") +
                                            (outBottom ? "" : " bottom=null"));
    const HostWindow* window = FindWindow(inWindowID);
    if (!window) return;
    if (outLeft) *outLeft = window->left;
    if (outTop) *outTop = window->top;
    if (outRight) *outRight = window->right;
    if (outBottom) *outBottom = window->bottom;
}

XPLM_API void XPLMSetWindowGeometry(XPLMWindowID inWindowID, int inLeft, int inTop, int inRight, int inBottom) {
    RecordCall("XPLMSetWindowGeometry", "id=" + PointerText(inWindowID));
    if (HostWindow* window = FindWindow(inWindowID)) {
        window->left = inLeft;
        window->top = inTop;
        window->right = inRight;
        window->bottom = inBottom;
    }
}

XPLM_API int XPLMGetWindowIsVisible(XPLMWindowID inWindowID) {
    const HostWindow* window = FindWindow(inWindowID);
    return window && window->visible ? 1 : 0;
}

XPLM_API void XPLMSetWindowIsVisible(XPLMWindowID inWindowID, int inIsVisible) {
    RecordCall("XPLMSetWindowIsVisible", "id=" + PointerText(inWindowID) + " visible=" + std::to_string(inIsVisible));
    if (HostWindow* window = FindWindow(inWindowID)) window->visible = inIsVisible != 0;
}

XPLM_API void* XPLMGetWindowRefCon(XPLMWindowID inWindowID) {
    const HostWindow* window = FindWindow(inWindowID);
    return window ? window->refcon : nullptr;
}

XPLM_API void XPLMSetWindowRefCon(XPLMWindowID inWindowID, void* inRefcon) {
    RecordCall("XPLMSetWindowRefCon", "id=" + PointerText(inWindowID) + " refcon=" + PointerText(inRefcon));
    if (HostWindow* window = FindWindow(inWindowID)) window->refcon = inRefcon;
}

XPLM_API void XPLMTakeKeyboardFocus(XPLMWindowID inWindow) {
    RecordCall("XPLMTakeKeyboardFocus", "id=" + PointerText(inWindow));
    HostState& state = State();
    if (inWindow && !FindWindow(inWindow)) return;
    const XPLMWindowID losing = state.keyboardFocus;
    state.keyboardFocus = inWindow;
    // The window that loses the focus is told so.
    if (losing == inWindow) return;
    if (const HostWindow* window = FindWindow(losing); window && window->key) {
        const XPLMHandleKey_f key = window->key;
        void* const refcon = window->refcon;
        key(losing, 0, 0, 0, refcon, 1);
    }
}

XPLM_API void XPLMBringWindowToFront(XPLMWindowID inWindow) {
    RecordCall("XPLMBringWindowToFront", "id=" + PointerText(inWindow));
    std::vector<HostWindow>& windows = State().windows;
    auto found = std::find_if(windows.begin(), windows.end(), [&](const HostWindow& w) { return w.id == inWindow; });
    if (found != windows.end()) std::rotate(found, found + 1, windows.end());
}

XPLM_API int XPLMIsWindowInFront(XPLMWindowID inWindow) {
    return inWindow && FrontWindow() == inWindow ? 1 : 0;
}

XPLM_API XPLMHotKeyID XPLMRegisterHotKey(char inVirtualKey, XPLMKeyFlags inFlags, const char* inDescription,
                                         XPLMHotKey_f inCallback, void* inRefcon) {
    HostState& state = State();
    if (!inCallback) return nullptr;
    auto id = reinterpret_cast<XPLMHotKeyID>((std::uintptr_t{0x4b48} << 32) | ++state.lastHotKeySerial);
    RecordCall("XPLMRegisterHotKey", "id=" + PointerText(id) + " refcon=" + PointerText(inRefcon));
    state.hotKeys.push_back(
        HotKey{id, inVirtualKey, inFlags, inDescription ? inDescription : "", inCallback, inRefcon});
    return id;
}

XPLM_API void XPLMUnregisterHotKey(XPLMHotKeyID inHotKey) {
    RecordCall("XPLMUnregisterHotKey", "id=" + PointerText(inHotKey));
    std::erase_if(State().hotKeys, [&](const HotKey& hotKey) { return hotKey.id == inHotKey; });
}

XPLM_API int XPLMCountHotKeys(void) { return static_cast<int>(State().hotKeys.size()); }

XPLM_API XPLMHotKeyID XPLMGetNthHotKey(int inIndex) {
    const std::vector<HotKey>& hotKeys = State().hotKeys;
    if (inIndex < 0 || static_cast<std::size_t>(inIndex) >= hotKeys.size()) return nullptr;
    return hotKeys[static_cast<std::size_t>(inIndex)].id;
}

XPLM_API void XPLMGetHotKeyInfo(XPLMHotKeyID inHotKey, char* outVirtualKey, XPLMKeyFlags* outFlags,
                                char* outDescription, XPLMPluginID* outPlugin) {
    RecordCall("XPLMGetHotKeyInfo", "id=" + PointerText(inHotKey));
    const HotKey* hotKey = FindHotKey(inHotKey);
    if (!hotKey) return;
    if (outVirtualKey) *outVirtualKey = hotKey->virtualKey;
    if (outFlags) *outFlags = hotKey->flags;
    // The caller's buffer has no stated size; the simulator trusts it to be large enough.
    if (outDescription) std::strcpy(outDescription, hotKey->description.c_str());
    if (outPlugin) *outPlugin = kPluginId;
}

XPLM_API void XPLMSetHotKeyCombination(XPLMHotKeyID inHotKey, char inVirtualKey, XPLMKeyFlags inFlags) {
    RecordCall("XPLMSetHotKeyCombination", "id=" + PointerText(inHotKey));
    if (HotKey* hotKey = FindHotKey(inHotKey)) {
        hotKey->virtualKey = inVirtualKey;
        hotKey->flags = inFlags;
    }
}
