// XPWidgetDefs: the widget library's property, dispatch mode and message numbers, and
// readers for the host structures that widget messages pass by address.
#include "modules/xplm/binding.h"
#include "modules/xplm/initialisers.h"
#include "registry/callback_dispatch.h"

#include <XPWidgetDefs.h>

#include <cstdint>
#include <initializer_list>

namespace korvane {
namespace {

// A parameter is read only while the message that carries the structure is being
// handed to a script: any other value may point anywhere, or nowhere.
template <typename Structure>
const Structure* DispatchedStructure(PyObject* args, const char* format, const char* what,
                                     std::initializer_list<XPWidgetMessage> messages, int which) {
    long long value = 0;
    if (!PyArg_ParseTuple(args, format, &value)) return nullptr;
    auto parameter = static_cast<intptr_t>(value);
    if (parameter == 0 || !dispatch::IsWidgetMessageParameter(messages, which, parameter)) {
        PyErr_Format(PyExc_ValueError, "%lld is not the %s of a widget message being handled", value, what);
        return nullptr;
    }
    return reinterpret_cast<const Structure*>(parameter);
}

PyObject* GetMouseState(PyObject*, PyObject* args) {
    const auto* state = DispatchedStructure<XPMouseState_t>(
        args, "L:KV_GetMouseState", "param1", {xpMsg_MouseDown, xpMsg_MouseDrag, xpMsg_MouseUp}, 1);
    if (!state) return nullptr;
    return Py_BuildValue("(iii)", state->x, state->y, state->button);
}

PyObject* GetKeyState(PyObject*, PyObject* args) {
    const auto* state = DispatchedStructure<XPKeyState_t>(args, "L:KV_GetKeyState", "param1", {xpMsg_KeyPress}, 1);
    if (!state) return nullptr;
    // Key codes have always reached scripts as signed bytes.
    return Py_BuildValue("(iii)", static_cast<int>(static_cast<signed char>(state->key)), static_cast<int>(state->flags),
                         static_cast<int>(static_cast<signed char>(state->vkey)));
}

PyObject* GetWidgetGeometryChange(PyObject*, PyObject* args) {
    const auto* change = DispatchedStructure<XPWidgetGeometryChange_t>(args, "L:KV_GetWidgetGeometryChange",
                                                                       "param2", {xpMsg_Reshape}, 2);
    if (!change) return nullptr;
    return Py_BuildValue("(iiii)", change->dx, change->dy, change->dwidth, change->dheight);
}

PyMethodDef kMethods[] = {
    binding::Function<"KV_GetMouseState", "inParam1", "Get the mouse state from param1.", GetMouseState>(),
    binding::Function<"KV_GetKeyState", "inParam1", "Get the key state from param1.", GetKeyState>(),
    binding::Function<"KV_GetWidgetGeometryChange", "inParam2",
                      "Get the widget geometry changes from param1.", GetWidgetGeometryChange>(),
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

#define K(name) {#name, name}

PyObject* InitXPWidgetDefs() {
    return binding::CreateModule("XPWidgetDefs", kMethods, {
        K(xpProperty_Refcon), K(xpProperty_Dragging), K(xpProperty_DragXOff), K(xpProperty_DragYOff),
        K(xpProperty_Hilited), K(xpProperty_Object), K(xpProperty_Clip), K(xpProperty_Enabled),
        K(xpProperty_UserStart),

        K(xpMode_Direct), K(xpMode_UpChain), K(xpMode_Recursive), K(xpMode_DirectAllCallbacks), K(xpMode_Once),

        K(xpWidgetClass_None),

        K(xpMsg_None), K(xpMsg_Create), K(xpMsg_Destroy), K(xpMsg_Paint), K(xpMsg_Draw), K(xpMsg_KeyPress),
        K(xpMsg_KeyTakeFocus), K(xpMsg_KeyLoseFocus), K(xpMsg_MouseDown), K(xpMsg_MouseDrag), K(xpMsg_MouseUp),
        K(xpMsg_Reshape), K(xpMsg_ExposedChanged), K(xpMsg_AcceptChild), K(xpMsg_LoseChild), K(xpMsg_AcceptParent),
        K(xpMsg_Shown), K(xpMsg_Hidden), K(xpMsg_DescriptorChanged), K(xpMsg_PropertyChanged), K(xpMsg_UserStart),
    });
}

#undef K

}  // namespace korvane
