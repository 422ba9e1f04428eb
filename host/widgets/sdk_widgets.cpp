// XPWidgets as the headless host serves it: the widget tree, message dispatch, geometry,
// visibility, descriptors, properties and keyboard focus. Each root widget owns one host
// window, so roots share the window manager's z-order, drawing and mouse routing with
// plain windows.
#include "host/host_state.h"
#include "host/widgets/standard_widgets.h"
#include "host/widgets/widget_library.h"

#include <XPWidgets.h>

#include <algorithm>
#include <cstring>
#include <string>

using namespace korvane::host;

namespace {

WidgetLibraryState& Library() { return State().widgets; }

WidgetRef RefOf(WidgetRecord* record) { return {record, record ? record->generation : 0}; }

bool Same(const WidgetRef& a, const WidgetRef& b) {
    return a.record == b.record && a.generation == b.generation;
}

std::string Id(const void* widget) { return PointerText(widget); }

// Which of the four places a geometry reader was given, as the call record shows it.
std::string PlaceDetails(const int* left, const int* top, const int* right, const int* bottom) {
    return std::string(left ? "" : " left=null") + (top ? "" : " top=null") + (right ? "" : " right=null") +
           (bottom ? "" : " bottom=null");
}

intptr_t AsParam(const void* pointer) { return reinterpret_cast<intptr_t>(pointer); }

// Keeps a message parameter known as valid for the length of its dispatch.
template <typename T>
class DispatchedParameter {
public:
    DispatchedParameter(std::vector<const T*>& list, const T* parameter) : list_(list) { list_.push_back(parameter); }
    ~DispatchedParameter() { list_.pop_back(); }
    DispatchedParameter(const DispatchedParameter&) = delete;
    DispatchedParameter& operator=(const DispatchedParameter&) = delete;

private:
    std::vector<const T*>& list_;
};

struct Outcome {
    bool handled = false;
    WidgetRef by;  // the widget that handled it
};

// One widget's callbacks, newest first and the class function last, until one handles
// the message. A callback may destroy the widget; the rest are then skipped.
bool CallCallbacks(const WidgetRef& widget, XPWidgetMessage message, intptr_t param1, intptr_t param2,
                   XPDispatchMode mode) {
    const std::vector<XPWidgetFunc_t> callbacks = widget.record->callbacks;
    bool handled = false;
    for (XPWidgetFunc_t callback : callbacks) {
        if (!widget.Alive()) break;
        if (callback(message, widget.record, param1, param2) != 0) {
            handled = true;
            if (mode != xpMode_DirectAllCallbacks) break;
        }
        if (mode == xpMode_Once) break;
    }
    return handled;
}

Outcome Dispatch(const WidgetRef& widget, XPWidgetMessage message, XPDispatchMode mode, intptr_t param1,
                 intptr_t param2) {
    if (!widget.Alive()) return {};
    switch (mode) {
        case xpMode_Direct:
        case xpMode_DirectAllCallbacks:
        case xpMode_Once:
            if (CallCallbacks(widget, message, param1, param2, mode)) return {true, widget};
            return {};
        case xpMode_UpChain:
            for (WidgetRef at = widget; at.Alive(); at = RefOf(at.record->parent)) {
                if (CallCallbacks(at, message, param1, param2, xpMode_Direct)) return {true, at};
                if (!at.Alive()) break;
            }
            return {};
        case xpMode_Recursive: {
            // The widget, then each child's tree, depth first.
            Outcome outcome;
            if (CallCallbacks(widget, message, param1, param2, xpMode_Direct)) outcome = {true, widget};
            if (!widget.Alive()) return outcome;
            std::vector<WidgetRef> children;
            for (WidgetRecord* child : widget.record->children) children.push_back(RefOf(child));
            for (const WidgetRef& child : children) {
                Outcome inner = Dispatch(child, message, xpMode_Recursive, param1, param2);
                if (inner.handled && !outcome.handled) outcome = inner;
            }
            return outcome;
        }
        default:
            return {};
    }
}

Outcome Send(WidgetRecord* widget, XPWidgetMessage message, XPDispatchMode mode, intptr_t param1 = 0,
             intptr_t param2 = 0) {
    return Dispatch(RefOf(widget), message, mode, param1, param2);
}

WidgetRecord* RootOf(WidgetRecord* widget) {
    while (widget && widget->parent) widget = widget->parent;
    return widget && widget->root ? widget : nullptr;
}

bool Contains(const WidgetRecord& widget, int x, int y) {
    return x >= widget.left && x <= widget.right && y >= widget.bottom && y <= widget.top;
}

// The deepest (or, not recursive, the topmost direct) child of `widget` at the point;
// the widget itself when no child is there; null when the point lies outside it.
WidgetRecord* Locate(WidgetRecord* widget, int x, int y, bool recursive, bool visibleOnly) {
    if ((visibleOnly && !widget->visible) || !Contains(*widget, x, y)) return nullptr;
    for (auto child = widget->children.rbegin(); child != widget->children.rend(); ++child) {
        if ((visibleOnly && !(*child)->visible) || !Contains(**child, x, y)) continue;
        return recursive ? Locate(*child, x, y, true, visibleOnly) : *child;
    }
    return widget;
}

void PaintTree(const WidgetRef& widget);
int WindowMouse(XPLMWindowID window, int x, int y, XPLMMouseStatus status, void* refcon);

void DrawRootWindow(XPLMWindowID, void* refcon) {
    if (WidgetRecord* root = FindWidget(refcon)) PaintTree(RefOf(root));
}

// A widget that paints itself takes care of its children; otherwise the library sends
// it xpMsg_Draw and paints its visible children above it.
void PaintTree(const WidgetRef& widget) {
    if (!widget.Alive() || !widget.record->visible) return;
    if (Dispatch(widget, xpMsg_Paint, xpMode_Direct, 0, 0).handled || !widget.Alive()) return;
    Dispatch(widget, xpMsg_Draw, xpMode_Direct, 0, 0);
    if (!widget.Alive()) return;
    std::vector<WidgetRef> children;
    for (WidgetRecord* child : widget.record->children) children.push_back(RefOf(child));
    for (const WidgetRef& child : children) PaintTree(child);
}

void OpenRootWindow(WidgetRecord* root) {
    HostState& state = State();
    auto id = reinterpret_cast<XPLMWindowID>((std::uintptr_t{0x5157} << 32) | ++state.lastWindowSerial);
    HostWindow window;
    window.id = id;
    window.left = root->left;
    window.top = root->top;
    window.right = root->right;
    window.bottom = root->bottom;
    window.visible = root->visible;
    window.draw = DrawRootWindow;
    window.mouse = WindowMouse;
    window.refcon = root;
    window.widget = root;
    state.windows.push_back(window);
    root->window = id;
}

void CloseRootWindow(WidgetRecord* root) {
    HostState& state = State();
    const XPLMWindowID id = root->window;
    if (!id) return;
    root->window = nullptr;
    std::erase_if(state.windows, [&](const HostWindow& w) { return w.id == id; });
    if (state.keyboardFocus == id) state.keyboardFocus = nullptr;
    if (state.mouseCapture == id) state.mouseCapture = nullptr;
}

// The root's window follows its geometry and visibility.
void SyncRootWindow(const WidgetRecord& widget) {
    if (HostWindow* window = FindWindow(widget.window)) {
        window->left = widget.left;
        window->top = widget.top;
        window->right = widget.right;
        window->bottom = widget.bottom;
        window->visible = widget.visible;
    }
}

void BringToFront(WidgetRecord* root) {
    std::vector<HostWindow>& windows = State().windows;
    auto found =
        std::find_if(windows.begin(), windows.end(), [&](const HostWindow& w) { return w.id == root->window; });
    if (found != windows.end()) std::rotate(found, found + 1, windows.end());
}

WidgetRecord* NewRecord() {
    WidgetLibraryState& library = Library();
    WidgetRecord* record = nullptr;
    if (!library.freeRecords.empty()) {
        record = library.freeRecords.back();
        library.freeRecords.pop_back();
    } else {
        library.records.push_back(std::make_unique<WidgetRecord>());
        record = library.records.back().get();
        library.handles.insert(record);
    }
    const std::uint64_t generation = record->generation + 1;
    *record = WidgetRecord{};
    record->generation = generation;
    record->live = true;
    return record;
}

void Unlink(WidgetRecord* widget) {
    if (widget->parent) std::erase(widget->parent->children, widget);
    widget->parent = nullptr;
}

// Takes a widget out of the library; its remaining children lose their parent.
void FreeRecord(WidgetRecord* widget) {
    WidgetLibraryState& library = Library();
    Unlink(widget);
    for (WidgetRecord* child : widget->children) child->parent = nullptr;
    CloseRootWindow(widget);
    if (library.focus.record == widget) library.focus = {};
    if (library.mouseTaker.record == widget) library.mouseTaker = {};
    const std::uint64_t generation = widget->generation;
    *widget = WidgetRecord{};
    widget->generation = generation;
    library.freeRecords.push_back(widget);
}

void DestroyTree(WidgetRecord* widget, bool destroyChildren, intptr_t recursively) {
    if (widget->dying) return;
    widget->dying = true;
    if (destroyChildren) {
        std::vector<WidgetRef> children;
        for (WidgetRecord* child : widget->children) children.push_back(RefOf(child));
        for (const WidgetRef& child : children)
            if (child.Alive()) DestroyTree(child.record, true, 1);
    }
    // Every callback hears of the end, whoever handles it first.
    Send(widget, xpMsg_Destroy, xpMode_DirectAllCallbacks, recursively);
    FreeRecord(widget);
}

XPWidgetID CreateWidget(int left, int top, int right, int bottom, int visible, const char* descriptor, int isRoot,
                        XPWidgetID container, XPWidgetFunc_t function, XPWidgetClass widgetClass, bool custom) {
    WidgetRecord* parent = isRoot ? nullptr : FindWidget(container);
    WidgetRecord* widget = NewRecord();
    widget->left = left;
    widget->top = top;
    widget->right = right;
    widget->bottom = bottom;
    widget->visible = visible != 0;
    widget->root = isRoot != 0;
    widget->custom = custom;
    widget->widgetClass = widgetClass;
    widget->descriptor = descriptor ? descriptor : "";
    if (function) widget->callbacks.push_back(function);
    if (widget->root) OpenRootWindow(widget);
    if (parent) {
        widget->parent = parent;
        parent->children.push_back(widget);
    }
    const WidgetRef self = RefOf(widget);
    const WidgetRef container_ = RefOf(parent);
    // 0: the widget is new, not a callback added to an existing one.
    Send(widget, xpMsg_Create, xpMode_Direct, 0);
    if (parent && self.Alive()) {
        Dispatch(self, xpMsg_AcceptParent, xpMode_Direct, AsParam(parent), 0);
        if (self.Alive()) Dispatch(container_, xpMsg_AcceptChild, xpMode_Direct, AsParam(widget), 0);
    }
    return self.Alive() ? widget : nullptr;
}

std::string CreateDetails(XPWidgetID id, int left, int top, int right, int bottom, int visible,
                          const char* descriptor, int isRoot, XPWidgetID container) {
    return "id=" + Id(id) + " geometry=" + std::to_string(left) + "," + std::to_string(top) + "," +
           std::to_string(right) + "," + std::to_string(bottom) + " visible=" + std::to_string(visible) +
           " root=" + std::to_string(isRoot) + " container=" + Id(container) + " descriptor=" +
           (descriptor ? "\"" + std::string(descriptor) + "\"" : "null");
}

int WindowMouse(XPLMWindowID, int x, int y, XPLMMouseStatus status, void* refcon) {
    WidgetLibraryState& library = Library();
    XPMouseState_t mouse{x, y, 0, 0};
    DispatchedParameter<XPMouseState_t> valid(library.mouseStates, &mouse);
    if (status == xplm_MouseDown) {
        library.mouseTaker = {};
        WidgetRecord* root = FindWidget(refcon);
        if (!root) return 1;
        // The window stays where it lies: raising it is the widgets' choice (XPUSelectIfNeeded).
        WidgetRecord* target = Locate(root, x, y, true, true);
        if (!target) return 1;
        Outcome outcome = Send(target, xpMsg_MouseDown, xpMode_UpChain, AsParam(&mouse));
        if (outcome.handled && outcome.by.Alive()) library.mouseTaker = outcome.by;
        return 1;
    }
    const WidgetRef taker = library.mouseTaker;
    if (status == xplm_MouseUp) library.mouseTaker = {};
    Dispatch(taker, status == xplm_MouseDrag ? xpMsg_MouseDrag : xpMsg_MouseUp, xpMode_Direct, AsParam(&mouse), 0);
    return 1;
}

WidgetRecord* FocusRecord() {
    const WidgetRef& focus = Library().focus;
    return focus.Alive() ? focus.record : nullptr;
}

}  // namespace

namespace korvane::host {

WidgetRecord* FindWidget(XPWidgetID id) {
    if (!id || !Library().handles.contains(id)) return nullptr;
    auto* record = static_cast<WidgetRecord*>(id);
    return record->live ? record : nullptr;
}

bool DeliverKeyToWidgets(char key, XPLMKeyFlags flags, char virtualKey) {
    WidgetLibraryState& library = Library();
    const WidgetRef focus = library.focus;
    if (!focus.Alive()) return false;
    XPKeyState_t state{key, flags, virtualKey};
    DispatchedParameter<XPKeyState_t> valid(library.keyStates, &state);
    return Dispatch(focus, xpMsg_KeyPress, xpMode_UpChain, AsParam(&state), 0).handled;
}

int DropAllWidgets() {
    int dropped = 0;
    for (const auto& record : Library().records)
        if (record->live) {
            FreeRecord(record.get());
            ++dropped;
        }
    return dropped;
}

bool IsDispatchedMouseState(const void* pointer) {
    const auto& states = Library().mouseStates;
    return pointer && std::find(states.begin(), states.end(), pointer) != states.end();
}

bool IsDispatchedGeometryChange(const void* pointer) {
    const auto& changes = Library().geometryChanges;
    return pointer && std::find(changes.begin(), changes.end(), pointer) != changes.end();
}

}  // namespace korvane::host

WIDGET_API XPWidgetID XPCreateWidget(int inLeft, int inTop, int inRight, int inBottom, int inVisible,
                                     const char* inDescriptor, int inIsRoot, XPWidgetID inContainer,
                                     XPWidgetClass inClass) {
    const XPWidgetFunc_t function = StandardWidgetFunction(inClass);
    XPWidgetID id = function ? CreateWidget(inLeft, inTop, inRight, inBottom, inVisible, inDescriptor, inIsRoot,
                                            inContainer, function, inClass, false)
                             : nullptr;
    RecordCall("XPCreateWidget", CreateDetails(id, inLeft, inTop, inRight, inBottom, inVisible, inDescriptor,
                                               inIsRoot, inContainer) +
                                     " class=" + std::to_string(inClass));
    return id;
}

WIDGET_API XPWidgetID XPCreateCustomWidget(int inLeft, int inTop, int inRight, int inBottom, int inVisible,
                                           const char* inDescriptor, int inIsRoot, XPWidgetID inContainer,
                                           XPWidgetFunc_t inCallback) {
    XPWidgetID id = CreateWidget(inLeft, inTop, inRight, inBottom, inVisible, inDescriptor, inIsRoot, inContainer,
                                 inCallback, xpWidgetClass_None, true);
    RecordCall("XPCreateCustomWidget", CreateDetails(id, inLeft, inTop, inRight, inBottom, inVisible, inDescriptor,
                                                     inIsRoot, inContainer) +
                                           (inCallback ? "" : " callback=null"));
    return id;
}

WIDGET_API void XPDestroyWidget(XPWidgetID inWidget, int inDestroyChildren) {
    RecordCall("XPDestroyWidget", "id=" + Id(inWidget) + " children=" + std::to_string(inDestroyChildren));
    if (WidgetRecord* widget = FindWidget(inWidget)) DestroyTree(widget, inDestroyChildren != 0, 0);
}

WIDGET_API int XPSendMessageToWidget(XPWidgetID inWidget, XPWidgetMessage inMessage, XPDispatchMode inMode,
                                     intptr_t inParam1, intptr_t inParam2) {
    RecordCall("XPSendMessageToWidget", "id=" + Id(inWidget) + " message=" + std::to_string(inMessage) +
                                            " mode=" + std::to_string(inMode) + " param1=" +
                                            std::to_string(inParam1) + " param2=" + std::to_string(inParam2));
    WidgetRecord* widget = FindWidget(inWidget);
    return widget && Send(widget, inMessage, inMode, inParam1, inParam2).handled ? 1 : 0;
}

WIDGET_API void XPPlaceWidgetWithin(XPWidgetID inSubWidget, XPWidgetID inContainer) {
    RecordCall("XPPlaceWidgetWithin", "id=" + Id(inSubWidget) + " container=" + Id(inContainer));
    WidgetRecord* widget = FindWidget(inSubWidget);
    // A root stays where it is: it heads its own hierarchy.
    if (!widget || widget->root) return;
    WidgetRecord* container = nullptr;
    if (inContainer) {
        container = FindWidget(inContainer);
        if (!container) return;
        for (WidgetRecord* above = container; above; above = above->parent)
            if (above == widget) return;  // it would contain itself
    }
    WidgetRecord* former = widget->parent;
    Unlink(widget);
    widget->parent = container;
    if (container) container->children.push_back(widget);
    // Placing a widget within its own parent only makes it the topmost child.
    if (former == container) return;
    const WidgetRef self = RefOf(widget), formerRef = RefOf(former), containerRef = RefOf(container);
    Dispatch(formerRef, xpMsg_LoseChild, xpMode_Direct, AsParam(widget), 0);
    // A widget taken out of every container hears of its new parent as 0.
    Dispatch(self, xpMsg_AcceptParent, xpMode_Direct, AsParam(container), 0);
    if (container && self.Alive()) Dispatch(containerRef, xpMsg_AcceptChild, xpMode_Direct, AsParam(widget), 0);
}

WIDGET_API int XPCountChildWidgets(XPWidgetID inWidget) {
    RecordCall("XPCountChildWidgets", "id=" + Id(inWidget));
    const WidgetRecord* widget = FindWidget(inWidget);
    return widget ? static_cast<int>(widget->children.size()) : 0;
}

WIDGET_API XPWidgetID XPGetNthChildWidget(XPWidgetID inWidget, int inIndex) {
    RecordCall("XPGetNthChildWidget", "id=" + Id(inWidget) + " index=" + std::to_string(inIndex));
    const WidgetRecord* widget = FindWidget(inWidget);
    if (!widget || inIndex < 0 || static_cast<std::size_t>(inIndex) >= widget->children.size()) return nullptr;
    return widget->children[static_cast<std::size_t>(inIndex)];
}

WIDGET_API XPWidgetID XPGetParentWidget(XPWidgetID inWidget) {
    RecordCall("XPGetParentWidget", "id=" + Id(inWidget));
    const WidgetRecord* widget = FindWidget(inWidget);
    return widget ? widget->parent : nullptr;
}

WIDGET_API void XPShowWidget(XPWidgetID inWidget) {
    RecordCall("XPShowWidget", "id=" + Id(inWidget));
    WidgetRecord* widget = FindWidget(inWidget);
    if (!widget || widget->visible) return;
    widget->visible = true;
    SyncRootWindow(*widget);
    Send(widget, xpMsg_Shown, xpMode_UpChain, AsParam(widget));
}

WIDGET_API void XPHideWidget(XPWidgetID inWidget) {
    RecordCall("XPHideWidget", "id=" + Id(inWidget));
    WidgetRecord* widget = FindWidget(inWidget);
    if (!widget || !widget->visible) return;
    widget->visible = false;
    SyncRootWindow(*widget);
    Send(widget, xpMsg_Hidden, xpMode_UpChain, AsParam(widget));
}

WIDGET_API int XPIsWidgetVisible(XPWidgetID inWidget) {
    RecordCall("XPIsWidgetVisible", "id=" + Id(inWidget));
    const WidgetRecord* widget = FindWidget(inWidget);
    if (!widget) return 0;
    for (; widget; widget = widget->parent)
        if (!widget->visible) return 0;
    return 1;
}

WIDGET_API XPWidgetID XPFindRootWidget(XPWidgetID inWidget) {
    RecordCall("XPFindRootWidget", "id=" + Id(inWidget));
    return RootOf(FindWidget(inWidget));
}

WIDGET_API void XPBringRootWidgetToFront(XPWidgetID inWidget) {
    RecordCall("XPBringRootWidgetToFront", "id=" + Id(inWidget));
    if (WidgetRecord* root = RootOf(FindWidget(inWidget))) BringToFront(root);
}

WIDGET_API int XPIsWidgetInFront(XPWidgetID inWidget) {
    RecordCall("XPIsWidgetInFront", "id=" + Id(inWidget));
    const WidgetRecord* root = RootOf(FindWidget(inWidget));
    return root && root->window && FrontWindow() == root->window ? 1 : 0;
}

WIDGET_API void XPGetWidgetGeometry(XPWidgetID inWidget, int* outLeft, int* outTop, int* outRight, int* outBottom) {
    RecordCall("XPGetWidgetGeometry", "id=" + Id(inWidget) + PlaceDetails(outLeft, outTop, outRight, outBottom));
    const WidgetRecord* widget = FindWidget(inWidget);
    const WidgetRecord none;
    if (!widget) widget = &none;
    if (outLeft) *outLeft = widget->left;
    if (outTop) *outTop = widget->top;
    if (outRight) *outRight = widget->right;
    if (outBottom) *outBottom = widget->bottom;
}

WIDGET_API void XPSetWidgetGeometry(XPWidgetID inWidget, int inLeft, int inTop, int inRight, int inBottom) {
    RecordCall("XPSetWidgetGeometry", "id=" + Id(inWidget) + " geometry=" + std::to_string(inLeft) + "," +
                                          std::to_string(inTop) + "," + std::to_string(inRight) + "," +
                                          std::to_string(inBottom));
    WidgetRecord* widget = FindWidget(inWidget);
    if (!widget) return;
    // Moves count from the top left, which layouts keep fixed.
    XPWidgetGeometryChange_t change{inLeft - widget->left, inTop - widget->top,
                                    (inRight - inLeft) - (widget->right - widget->left),
                                    (inTop - inBottom) - (widget->top - widget->bottom)};
    widget->left = inLeft;
    widget->top = inTop;
    widget->right = inRight;
    widget->bottom = inBottom;
    SyncRootWindow(*widget);
    DispatchedParameter<XPWidgetGeometryChange_t> valid(Library().geometryChanges, &change);
    Send(widget, xpMsg_Reshape, xpMode_UpChain, AsParam(widget), AsParam(&change));
}

WIDGET_API XPWidgetID XPGetWidgetForLocation(XPWidgetID inContainer, int inXOffset, int inYOffset, int inRecursive,
                                             int inVisibleOnly) {
    RecordCall("XPGetWidgetForLocation", "id=" + Id(inContainer) + " x=" + std::to_string(inXOffset) +
                                             " y=" + std::to_string(inYOffset) + " recursive=" +
                                             std::to_string(inRecursive) + " visibleOnly=" +
                                             std::to_string(inVisibleOnly));
    WidgetRecord* container = FindWidget(inContainer);
    return container ? Locate(container, inXOffset, inYOffset, inRecursive != 0, inVisibleOnly != 0) : nullptr;
}

WIDGET_API void XPGetWidgetExposedGeometry(XPWidgetID inWidgetID, int* outLeft, int* outTop, int* outRight,
                                           int* outBottom) {
    RecordCall("XPGetWidgetExposedGeometry",
               "id=" + Id(inWidgetID) + PlaceDetails(outLeft, outTop, outRight, outBottom));
    const WidgetRecord* widget = FindWidget(inWidgetID);
    int left = 0, top = 0, right = 0, bottom = 0;
    if (widget) {
        left = widget->left, top = widget->top, right = widget->right, bottom = widget->bottom;
        for (const WidgetRecord* above = widget->parent; above; above = above->parent) {
            left = std::max(left, above->left);
            top = std::min(top, above->top);
            right = std::min(right, above->right);
            bottom = std::max(bottom, above->bottom);
        }
    }
    if (outLeft) *outLeft = left;
    if (outTop) *outTop = top;
    if (outRight) *outRight = right;
    if (outBottom) *outBottom = bottom;
}

WIDGET_API void XPSetWidgetDescriptor(XPWidgetID inWidget, const char* inDescriptor) {
    RecordCall("XPSetWidgetDescriptor", "id=" + Id(inWidget) + " descriptor=" +
                                            (inDescriptor ? "\"" + std::string(inDescriptor) + "\"" : "null"));
    WidgetRecord* widget = FindWidget(inWidget);
    if (!widget) return;
    widget->descriptor = inDescriptor ? inDescriptor : "";
    Send(widget, xpMsg_DescriptorChanged, xpMode_Direct);
}

WIDGET_API int XPGetWidgetDescriptor(XPWidgetID inWidget, char* outDescriptor, int inMaxDescLength) {
    RecordCall("XPGetWidgetDescriptor", "id=" + Id(inWidget) + " buffer=" + (outDescriptor ? "ptr" : "null") +
                                            " max=" + std::to_string(inMaxDescLength));
    const WidgetRecord* widget = FindWidget(inWidget);
    const std::string& text = widget ? widget->descriptor : std::string();
    // strncpy's rule: terminated only when the text is shorter than the buffer.
    if (outDescriptor && inMaxDescLength > 0) {
        const std::size_t room = static_cast<std::size_t>(inMaxDescLength);
        std::memcpy(outDescriptor, text.data(), std::min(room, text.size()));
        if (text.size() < room) outDescriptor[text.size()] = '\0';
    }
    return static_cast<int>(text.size());
}

WIDGET_API void XPSetWidgetProperty(XPWidgetID inWidget, XPWidgetPropertyID inProperty, intptr_t inValue) {
    RecordCall("XPSetWidgetProperty", "id=" + Id(inWidget) + " property=" + std::to_string(inProperty) +
                                          " value=" + std::to_string(inValue));
    WidgetRecord* widget = FindWidget(inWidget);
    if (!widget) return;
    widget->properties[inProperty] = inValue;
    Send(widget, xpMsg_PropertyChanged, xpMode_Direct, inProperty, inValue);
}

WIDGET_API intptr_t XPGetWidgetProperty(XPWidgetID inWidget, XPWidgetPropertyID inProperty, int* inExists) {
    RecordCall("XPGetWidgetProperty", "id=" + Id(inWidget) + " property=" + std::to_string(inProperty) +
                                          (inExists ? "" : " exists=null"));
    const WidgetRecord* widget = FindWidget(inWidget);
    intptr_t value = 0;
    bool exists = false;
    if (widget)
        if (auto found = widget->properties.find(inProperty); found != widget->properties.end()) {
            value = found->second;
            exists = true;
        }
    if (inExists) *inExists = exists ? 1 : 0;
    return value;
}

WIDGET_API XPWidgetID XPSetKeyboardFocus(XPWidgetID inWidget) {
    RecordCall("XPSetKeyboardFocus", "id=" + Id(inWidget));
    WidgetLibraryState& library = Library();
    const WidgetRef former = library.focus;
    if (!inWidget) {
        library.focus = {};
        Dispatch(former, xpMsg_KeyLoseFocus, xpMode_Direct, 0, 0);
        return nullptr;
    }
    WidgetRecord* widget = FindWidget(inWidget);
    if (!widget) return nullptr;
    if (widget == FocusRecord()) return widget;
    // A widget that does not take the focus leaves it where it was.
    const WidgetRef taker = RefOf(widget);
    if (!Dispatch(taker, xpMsg_KeyTakeFocus, xpMode_Direct, 0, 0).handled || !taker.Alive()) return FocusRecord();
    if (!Same(library.focus, former)) return FocusRecord();  // the callback moved the focus itself
    library.focus = taker;
    Dispatch(former, xpMsg_KeyLoseFocus, xpMode_Direct, 1, 0);
    return FocusRecord();
}

WIDGET_API void XPLoseKeyboardFocus(XPWidgetID inWidget) {
    RecordCall("XPLoseKeyboardFocus", "id=" + Id(inWidget));
    WidgetLibraryState& library = Library();
    WidgetRecord* widget = FindWidget(inWidget);
    if (!widget || widget != FocusRecord()) return;
    const WidgetRef former = library.focus;
    // The focus goes to the nearest parent that takes it, else back to the simulator.
    for (WidgetRef above = RefOf(widget->parent); above.Alive(); above = RefOf(above.record->parent)) {
        const bool taken = Dispatch(above, xpMsg_KeyTakeFocus, xpMode_Direct, 1, 0).handled;
        if (!Same(library.focus, former)) return;
        if (taken && above.Alive()) {
            library.focus = above;
            Dispatch(former, xpMsg_KeyLoseFocus, xpMode_Direct, 1, 0);
            return;
        }
        if (!above.Alive()) break;
    }
    library.focus = {};
    Dispatch(former, xpMsg_KeyLoseFocus, xpMode_Direct, 0, 0);
}

WIDGET_API XPWidgetID XPGetWidgetWithFocus(void) {
    RecordCall("XPGetWidgetWithFocus");
    return FocusRecord();
}

WIDGET_API void XPAddWidgetCallback(XPWidgetID inWidget, XPWidgetFunc_t inNewCallback) {
    RecordCall("XPAddWidgetCallback", "id=" + Id(inWidget) + (inNewCallback ? "" : " callback=null"));
    WidgetRecord* widget = FindWidget(inWidget);
    if (!widget || !inNewCallback) return;
    widget->callbacks.insert(widget->callbacks.begin(), inNewCallback);
    // Only the new callback is told, with 1: it joins a widget that exists already.
    inNewCallback(xpMsg_Create, widget, 1, 0);
}

WIDGET_API XPWidgetFunc_t XPGetWidgetClassFunc(XPWidgetClass inWidgetClass) {
    RecordCall("XPGetWidgetClassFunc", "class=" + std::to_string(inWidgetClass));
    return StandardWidgetFunction(inWidgetClass);
}
