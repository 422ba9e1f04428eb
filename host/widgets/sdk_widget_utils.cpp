// XPWidgetUtils as the headless host serves it: dialogs from definition tables, moving
// widgets, and the ready-made message behaviours, built on the public widget calls.
#include "host/host_state.h"
#include "host/widgets/widget_library.h"

#include <XPWidgetUtils.h>
#include <XPWidgets.h>

#include <string>
#include <vector>

using namespace korvane::host;

namespace {

std::string Id(const void* widget) { return PointerText(widget); }

std::string HandlerDetails(XPWidgetMessage message, XPWidgetID widget, intptr_t param1, intptr_t param2) {
    return "message=" + std::to_string(message) + " id=" + Id(widget) + " param1=" + std::to_string(param1) +
           " param2=" + std::to_string(param2);
}

// The mouse state a mouse message carries, or null when param1 is not one being dispatched
// now: a handler called with stray values must not read through them.
const XPMouseState_t* MouseOf(XPWidgetMessage message, intptr_t param1) {
    if (message != xpMsg_MouseDown && message != xpMsg_MouseDrag && message != xpMsg_MouseUp) return nullptr;
    const void* pointer = reinterpret_cast<const void*>(param1);
    return IsDispatchedMouseState(pointer) ? static_cast<const XPMouseState_t*>(pointer) : nullptr;
}

// Every widget inside `widget`, parents before their children.
void CollectContents(XPWidgetID widget, std::vector<XPWidgetID>& contents) {
    for (int i = 0, count = XPCountChildWidgets(widget); i < count; ++i) {
        XPWidgetID child = XPGetNthChildWidget(widget, i);
        contents.push_back(child);
        CollectContents(child, contents);
    }
}

// Set while a fixed layout moves a window's contents: a moved widget's own fixed layout
// then keeps still, as its children are moved already.
bool movingContents = false;

}  // namespace

WIDGET_API void XPUCreateWidgets(const XPWidgetCreate_t* inWidgetDefs, int inCount, XPWidgetID inParamParent,
                                 XPWidgetID* ioWidgets) {
    RecordCall("XPUCreateWidgets", "count=" + std::to_string(inCount) + " parent=" + Id(inParamParent));
    if (!inWidgetDefs || !ioWidgets) return;
    for (int i = 0; i < inCount; ++i) {
        const XPWidgetCreate_t& definition = inWidgetDefs[i];
        // A container index names an earlier row of the table.
        XPWidgetID container = nullptr;
        if (definition.containerIndex == PARAM_PARENT)
            container = inParamParent;
        else if (definition.containerIndex >= 0 && definition.containerIndex < i)
            container = ioWidgets[definition.containerIndex];
        ioWidgets[i] = XPCreateWidget(definition.left, definition.top, definition.right, definition.bottom,
                                      definition.visible, definition.descriptor, definition.isRoot, container,
                                      definition.widgetClass);
    }
}

WIDGET_API void XPUMoveWidgetBy(XPWidgetID inWidget, int inDeltaX, int inDeltaY) {
    RecordCall("XPUMoveWidgetBy", "id=" + Id(inWidget) + " dx=" + std::to_string(inDeltaX) +
                                      " dy=" + std::to_string(inDeltaY));
    if (!FindWidget(inWidget)) return;
    int left = 0, top = 0, right = 0, bottom = 0;
    XPGetWidgetGeometry(inWidget, &left, &top, &right, &bottom);
    XPSetWidgetGeometry(inWidget, left + inDeltaX, top + inDeltaY, right + inDeltaX, bottom + inDeltaY);
}

WIDGET_API int XPUFixedLayout(XPWidgetMessage inMessage, XPWidgetID inWidget, intptr_t inParam1, intptr_t inParam2) {
    RecordCall("XPUFixedLayout", HandlerDetails(inMessage, inWidget, inParam1, inParam2));
    // Only the widget's own reshape moves its contents, which keep their place relative to
    // its top left, however deep they lie.
    if (inMessage != xpMsg_Reshape || inParam1 != reinterpret_cast<intptr_t>(inWidget) || !FindWidget(inWidget))
        return 0;
    const void* pointer = reinterpret_cast<const void*>(inParam2);
    if (!IsDispatchedGeometryChange(pointer)) return 0;
    const XPWidgetGeometryChange_t change = *static_cast<const XPWidgetGeometryChange_t*>(pointer);
    if (change.dx == 0 && change.dy == 0) return 0;
    if (movingContents) return 1;
    std::vector<XPWidgetID> contents;
    CollectContents(inWidget, contents);
    movingContents = true;
    for (XPWidgetID widget : contents) XPUMoveWidgetBy(widget, change.dx, change.dy);
    movingContents = false;
    return 1;
}

WIDGET_API int XPUSelectIfNeeded(XPWidgetMessage inMessage, XPWidgetID inWidget, intptr_t inParam1,
                                 intptr_t inParam2, int inEatClick) {
    RecordCall("XPUSelectIfNeeded",
               HandlerDetails(inMessage, inWidget, inParam1, inParam2) + " eat=" + std::to_string(inEatClick));
    // A click in a window behind brings it to the front, and is eaten if asked.
    if (inMessage != xpMsg_MouseDown || !FindWidget(inWidget) || XPIsWidgetInFront(inWidget)) return 0;
    XPBringRootWidgetToFront(inWidget);
    return inEatClick ? 1 : 0;
}

WIDGET_API int XPUDefocusKeyboard(XPWidgetMessage inMessage, XPWidgetID inWidget, intptr_t inParam1,
                                  intptr_t inParam2, int inEatClick) {
    RecordCall("XPUDefocusKeyboard",
               HandlerDetails(inMessage, inWidget, inParam1, inParam2) + " eat=" + std::to_string(inEatClick));
    // A click gives the keys back to the simulator, ending any text editing.
    if (inMessage != xpMsg_MouseDown || !FindWidget(inWidget)) return 0;
    XPSetKeyboardFocus(nullptr);
    return inEatClick ? 1 : 0;
}

WIDGET_API int XPUDragWidget(XPWidgetMessage inMessage, XPWidgetID inWidget, intptr_t inParam1, intptr_t inParam2,
                             int inLeft, int inTop, int inRight, int inBottom) {
    RecordCall("XPUDragWidget", HandlerDetails(inMessage, inWidget, inParam1, inParam2) + " region=" +
                                    std::to_string(inLeft) + "," + std::to_string(inTop) + "," +
                                    std::to_string(inRight) + "," + std::to_string(inBottom));
    const XPMouseState_t* mouse = MouseOf(inMessage, inParam1);
    if (!mouse || !FindWidget(inWidget)) return 0;
    int left = 0, top = 0;
    XPGetWidgetGeometry(inWidget, &left, &top, nullptr, nullptr);
    if (inMessage == xpMsg_MouseDown) {
        // Only a press inside the drag region (a title bar, say) starts a drag.
        if (mouse->x < inLeft || mouse->x > inRight || mouse->y < inBottom || mouse->y > inTop) return 0;
        XPSetWidgetProperty(inWidget, xpProperty_DragXOff, mouse->x - left);
        XPSetWidgetProperty(inWidget, xpProperty_DragYOff, mouse->y - top);
        XPSetWidgetProperty(inWidget, xpProperty_Dragging, 1);
        return 1;
    }
    if (!XPGetWidgetProperty(inWidget, xpProperty_Dragging, nullptr)) return 0;
    const int x = mouse->x, y = mouse->y;  // the handlers below may end the dispatch's widget
    const auto xOffset = static_cast<int>(XPGetWidgetProperty(inWidget, xpProperty_DragXOff, nullptr));
    const auto yOffset = static_cast<int>(XPGetWidgetProperty(inWidget, xpProperty_DragYOff, nullptr));
    XPUMoveWidgetBy(inWidget, x - xOffset - left, y - yOffset - top);
    if (inMessage == xpMsg_MouseUp) XPSetWidgetProperty(inWidget, xpProperty_Dragging, 0);
    return 1;
}
