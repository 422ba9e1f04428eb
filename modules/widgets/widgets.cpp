// XPWidgets: creating, arranging and messaging widgets, custom widgets whose behaviour
// is a Python callable, added widget callbacks and the objects scripts attach to widgets.
#include "core/core_state.h"
#include "modules/xplm/binding.h"
#include "modules/xplm/initialisers.h"
#include "registry/callback_dispatch.h"

#include <XPWidgets.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace korvane {
namespace {

// The script's callable for the widget. One callable may serve several widgets, and a
// widget several callables; the same pair twice is one entry.
bool AddCallbackEntry(PyObject* self, void* widget, PyObject* callable) {
    CallbackEntry entry;
    entry.callable = PyRef::Borrow(callable);
    entry.handle = widget;
    return binding::RegisterEntry(CallbackKind::WidgetCallback, self, std::move(entry)) != nullptr;
}

PyObject* CreateWidget(PyObject*, PyObject* args) {
    int left = 0, top = 0, right = 0, bottom = 0, visible = 0, isRoot = 0, widgetClass = 0;
    binding::HostText descriptor;
    void* container = nullptr;
    if (!PyArg_ParseTuple(args, "iiiiiO&iO&i:XPCreateWidget", &left, &top, &right, &bottom, &visible,
                          binding::ParseHostText, &descriptor, &isRoot, binding::ParseHandle, &container,
                          &widgetClass))
        return nullptr;
    if (!binding::CheckRegistrationsOpen()) return nullptr;
    XPWidgetID widget =
        XPCreateWidget(left, top, right, bottom, visible, descriptor.text, isRoot, container, widgetClass);
    if (widget && !binding::TrackCreatedWidget(nullptr, widget, false)) return nullptr;
    return binding::HandleToPython(widget);
}

PyObject* CreateCustomWidget(PyObject*, PyObject* args) {
    PyObject* self = nullptr;
    int left = 0, top = 0, right = 0, bottom = 0, visible = 0, isRoot = 0;
    binding::HostText descriptor;
    void* container = nullptr;
    PyObject* callable = nullptr;
    if (!PyArg_ParseTuple(args, "OiiiiiO&iO&O:XPCreateCustomWidget", &self, &left, &top, &right, &bottom, &visible,
                          binding::ParseHostText, &descriptor, &isRoot, binding::ParseHandle, &container, &callable))
        return nullptr;
    if (!binding::CheckRegistrationsOpen()) return nullptr;
    // The host's own create message finds no entry yet; the script gets its own below.
    XPWidgetID widget = XPCreateCustomWidget(left, top, right, bottom, visible, descriptor.text, isRoot, container,
                                             dispatch::UserWidgetCallback);
    if (!widget) return binding::HandleToPython(widget);
    if (!binding::TrackCreatedWidget(self, widget, true)) return nullptr;
    if (!AddCallbackEntry(self, widget, callable)) {
        binding::DestroyWidgetTree(widget, 0);
        return nullptr;
    }
    XPSendMessageToWidget(widget, xpMsg_Create, xpMode_Once, 1, 0);
    return binding::HandleToPython(widget);
}

PyObject* DestroyWidget(PyObject*, PyObject* args) {
    PyObject* self = nullptr;
    void* widget = nullptr;
    int destroyChildren = 0;
    if (!PyArg_ParseTuple(args, "OO&i:XPDestroyWidget", &self, binding::ParseHandle, &widget, &destroyChildren))
        return nullptr;
    binding::DestroyWidgetTree(widget, destroyChildren);
    return binding::ReturnOne();
}

PyObject* AddWidgetCallback(PyObject*, PyObject* args) {
    PyObject* self = nullptr;
    void* widget = nullptr;
    PyObject* callable = nullptr;
    if (!PyArg_ParseTuple(args, "OO&O:XPAddWidgetCallback", &self, binding::ParseHandle, &widget, &callable))
        return nullptr;
    if (!AddCallbackEntry(self, widget, callable)) return nullptr;
    binding::HookWidget(widget);
    return binding::ReturnOne();
}

PyObject* SetWidgetObject(PyObject*, PyObject* args) {
    PyObject* self = nullptr;
    void* widget = nullptr;
    PyObject* object = nullptr;
    if (!PyArg_ParseTuple(args, "OO&O:SetWidgetObject", &self, binding::ParseHandle, &widget, &object)) return nullptr;
    if (!binding::CheckRegistrationsOpen()) return nullptr;
    // The widget's earlier object gives way; it is released once the new one is in.
    std::optional<CallbackEntry> earlier = registry->RemoveByHandle(CallbackKind::WidgetObject, self, widget);
    CallbackEntry entry;
    entry.callable = PyRef::Borrow(object);
    entry.handle = widget;
    if (!binding::RegisterEntry(CallbackKind::WidgetObject, self, std::move(entry))) return nullptr;
    return binding::ReturnOne();
}

PyObject* GetWidgetObject(PyObject*, PyObject* args) {
    PyObject* self = nullptr;
    void* widget = nullptr;
    if (!PyArg_ParseTuple(args, "OO&:GetWidgetObject", &self, binding::ParseHandle, &widget)) return nullptr;
    if (!registry) Py_RETURN_NONE;
    return PyRef::Borrow(registry->FindWidgetObject(widget, self)).release();
}

PyObject* SendMessageToWidget(PyObject*, PyObject* args) {
    void* widget = nullptr;
    int message = 0, mode = 0;
    long long param1 = 0, param2 = 0;
    if (!PyArg_ParseTuple(args, "O&iiLL:XPSendMessageToWidget", binding::ParseHandle, &widget, &message, &mode,
                          &param1, &param2))
        return nullptr;
    if (!binding::CheckWidgetMessageParameters(message, static_cast<intptr_t>(param1), static_cast<intptr_t>(param2),
                                               "XPSendMessageToWidget"))
        return nullptr;
    dispatch::ScriptSentMessage sent(message);
    int result = XPSendMessageToWidget(widget, message, mode, static_cast<intptr_t>(param1),
                                       static_cast<intptr_t>(param2));
    return PyLong_FromLong(result);
}

PyObject* PlaceWidgetWithin(PyObject*, PyObject* args) {
    void *widget = nullptr, *container = nullptr;
    if (!PyArg_ParseTuple(args, "O&O&:XPPlaceWidgetWithin", binding::ParseHandle, &widget, binding::ParseHandle,
                          &container))
        return nullptr;
    XPPlaceWidgetWithin(widget, container);
    return binding::ReturnOne();
}

// Functions taking one widget.
template <typename Call>
PyObject* OneWidget(PyObject* args, const char* format, Call call) {
    void* widget = nullptr;
    if (!PyArg_ParseTuple(args, format, binding::ParseHandle, &widget)) return nullptr;
    return call(widget);
}

PyObject* CountChildWidgets(PyObject*, PyObject* args) {
    return OneWidget(args, "O&:XPCountChildWidgets", [](void* w) { return PyLong_FromLong(XPCountChildWidgets(w)); });
}

PyObject* GetNthChildWidget(PyObject*, PyObject* args) {
    void* widget = nullptr;
    int index = 0;
    if (!PyArg_ParseTuple(args, "O&i:XPGetNthChildWidget", binding::ParseHandle, &widget, &index)) return nullptr;
    return binding::HandleToPython(XPGetNthChildWidget(widget, index));
}

PyObject* GetParentWidget(PyObject*, PyObject* args) {
    return OneWidget(args, "O&:XPGetParentWidget", [](void* w) { return binding::HandleToPython(XPGetParentWidget(w)); });
}

PyObject* ShowWidget(PyObject*, PyObject* args) {
    return OneWidget(args, "O&:XPShowWidget", [](void* w) {
        XPShowWidget(w);
        return binding::ReturnOne();
    });
}

PyObject* HideWidget(PyObject*, PyObject* args) {
    return OneWidget(args, "O&:XPHideWidget", [](void* w) {
        XPHideWidget(w);
        return binding::ReturnOne();
    });
}

PyObject* IsWidgetVisible(PyObject*, PyObject* args) {
    return OneWidget(args, "O&:XPIsWidgetVisible", [](void* w) { return PyLong_FromLong(XPIsWidgetVisible(w)); });
}

PyObject* FindRootWidget(PyObject*, PyObject* args) {
    return OneWidget(args, "O&:XPFindRootWidget", [](void* w) { return binding::HandleToPython(XPFindRootWidget(w)); });
}

PyObject* BringRootWidgetToFront(PyObject*, PyObject* args) {
    return OneWidget(args, "O&:XPBringRootWidgetToFront", [](void* w) {
        XPBringRootWidgetToFront(w);
        return binding::ReturnOne();
    });
}

PyObject* IsWidgetInFront(PyObject*, PyObject* args) {
    return OneWidget(args, "O&:XPIsWidgetInFront", [](void* w) { return PyLong_FromLong(XPIsWidgetInFront(w)); });
}

using GeometryCall = void (*)(XPWidgetID, int*, int*, int*, int*);

PyObject* GetGeometry(PyObject* args, const char* format, const char* function, GeometryCall call) {
    void* widget = nullptr;
    PyObject *left = nullptr, *top = nullptr, *right = nullptr, *bottom = nullptr;
    if (!PyArg_ParseTuple(args, format, binding::ParseHandle, &widget, &left, &top, &right, &bottom)) return nullptr;
    if (!binding::CheckResultLists({left, top, right, bottom}, function)) return nullptr;
    int l = 0, t = 0, r = 0, b = 0;
    call(widget, left == Py_None ? nullptr : &l, top == Py_None ? nullptr : &t, right == Py_None ? nullptr : &r,
         bottom == Py_None ? nullptr : &b);
    if (!binding::StoreInt(left, l) || !binding::StoreInt(top, t) || !binding::StoreInt(right, r) || !binding::StoreInt(bottom, b)) return nullptr;
    return binding::ReturnOne();
}

PyObject* GetWidgetGeometry(PyObject*, PyObject* args) {
    return GetGeometry(args, "O&OOOO:XPGetWidgetGeometry", "XPGetWidgetGeometry", XPGetWidgetGeometry);
}

PyObject* GetWidgetExposedGeometry(PyObject*, PyObject* args) {
    return GetGeometry(args, "O&OOOO:XPGetWidgetExposedGeometry", "XPGetWidgetExposedGeometry",
                       XPGetWidgetExposedGeometry);
}

PyObject* SetWidgetGeometry(PyObject*, PyObject* args) {
    void* widget = nullptr;
    int left = 0, top = 0, right = 0, bottom = 0;
    if (!PyArg_ParseTuple(args, "O&iiii:XPSetWidgetGeometry", binding::ParseHandle, &widget, &left, &top, &right,
                          &bottom))
        return nullptr;
    XPSetWidgetGeometry(widget, left, top, right, bottom);
    return binding::ReturnOne();
}

PyObject* GetWidgetForLocation(PyObject*, PyObject* args) {
    void* container = nullptr;
    int x = 0, y = 0, recursive = 0, visibleOnly = 0;
    if (!PyArg_ParseTuple(args, "O&iiii:XPGetWidgetForLocation", binding::ParseHandle, &container, &x, &y,
                          &recursive, &visibleOnly))
        return nullptr;
    return binding::HandleToPython(XPGetWidgetForLocation(container, x, y, recursive, visibleOnly));
}

PyObject* SetWidgetDescriptor(PyObject*, PyObject* args) {
    void* widget = nullptr;
    binding::HostText text;
    if (!PyArg_ParseTuple(args, "O&O&:XPSetWidgetDescriptor", binding::ParseHandle, &widget, binding::ParseHostText,
                          &text))
        return nullptr;
    XPSetWidgetDescriptor(widget, text.text);
    return binding::ReturnOne();
}

PyObject* GetWidgetDescriptor(PyObject*, PyObject* args) {
    void* widget = nullptr;
    PyObject* list = nullptr;
    int maxLength = 0;
    if (!PyArg_ParseTuple(args, "O&Oi:XPGetWidgetDescriptor", binding::ParseHandle, &widget, &list, &maxLength))
        return nullptr;
    if (!binding::CheckResultList(list, "XPGetWidgetDescriptor")) return nullptr;
    if (maxLength < 0) {
        PyErr_SetString(PyExc_ValueError, "XPGetWidgetDescriptor() needs a maximum length of 0 or more");
        return nullptr;
    }
    if (list == Py_None) return PyLong_FromLong(XPGetWidgetDescriptor(widget, nullptr, maxLength));
    // One byte more than the host may fill, so the text always ends.
    std::vector<char> buffer(static_cast<std::size_t>(maxLength) + 1, '\0');
    int length = XPGetWidgetDescriptor(widget, buffer.data(), maxLength);
    PyRef text = PyRef::Steal(binding::TextFromHost(buffer.data(), static_cast<Py_ssize_t>(strnlen(buffer.data(),
                                                                                                   buffer.size()))));
    if (!text || PyList_Append(list, text.get()) < 0) return nullptr;
    return PyLong_FromLong(length);
}

PyObject* SetWidgetProperty(PyObject*, PyObject* args) {
    void* widget = nullptr;
    int property = 0;
    long long value = 0;
    if (!PyArg_ParseTuple(args, "O&iL:XPSetWidgetProperty", binding::ParseHandle, &widget, &property, &value))
        return nullptr;
    XPSetWidgetProperty(widget, property, static_cast<intptr_t>(value));
    return binding::ReturnOne();
}

PyObject* GetWidgetProperty(PyObject*, PyObject* args) {
    void* widget = nullptr;
    int property = 0, unused = 0;
    if (!PyArg_ParseTuple(args, "O&ii:XPGetWidgetProperty", binding::ParseHandle, &widget, &property, &unused))
        return nullptr;
    return PyLong_FromLongLong(XPGetWidgetProperty(widget, property, nullptr));
}

PyObject* SetKeyboardFocus(PyObject*, PyObject* args) {
    return OneWidget(args, "O&:XPSetKeyboardFocus",
                     [](void* w) { return binding::HandleToPython(XPSetKeyboardFocus(w)); });
}

PyObject* LoseKeyboardFocus(PyObject*, PyObject* args) {
    return OneWidget(args, "O&:XPLoseKeyboardFocus", [](void* w) {
        XPLoseKeyboardFocus(w);
        return binding::ReturnOne();
    });
}

PyObject* GetWidgetWithFocus(PyObject*, PyObject*) { return binding::HandleToPython(XPGetWidgetWithFocus()); }

PyObject* GetWidgetClassFunc(PyObject*, PyObject* args) {
    int widgetClass = 0;
    if (!PyArg_ParseTuple(args, "i:XPGetWidgetClassFunc", &widgetClass)) return nullptr;
    XPWidgetFunc_t function = XPGetWidgetClassFunc(widgetClass);
    return binding::HandleToPython(reinterpret_cast<const void*>(function));
}

PyMethodDef kMethods[] = {
    {"XPCreateWidget", CreateWidget, METH_VARARGS, "Create a widget."},
    {"XPCreateCustomWidget", CreateCustomWidget, METH_VARARGS, "Create a custom widget."},
    {"XPDestroyWidget", DestroyWidget, METH_VARARGS, "Destroy a widget."},
    {"XPSendMessageToWidget", SendMessageToWidget, METH_VARARGS, "Send message to widget."},
    {"XPPlaceWidgetWithin", PlaceWidgetWithin, METH_VARARGS, "Place within another widget."},
    {"XPCountChildWidgets", CountChildWidgets, METH_VARARGS, "Count child widgets."},
    {"XPGetNthChildWidget", GetNthChildWidget, METH_VARARGS, "Get Nth child."},
    {"XPGetParentWidget", GetParentWidget, METH_VARARGS, "Get parent."},
    {"XPShowWidget", ShowWidget, METH_VARARGS, "Show widget."},
    {"XPHideWidget", HideWidget, METH_VARARGS, "Hide widget."},
    {"XPIsWidgetVisible", IsWidgetVisible, METH_VARARGS, "Is the widget visible."},
    {"XPFindRootWidget", FindRootWidget, METH_VARARGS, "Find the root widget."},
    {"XPBringRootWidgetToFront", BringRootWidgetToFront, METH_VARARGS, "Bring root widget to front."},
    {"XPIsWidgetInFront", IsWidgetInFront, METH_VARARGS, "Is the widget in front."},
    {"XPGetWidgetGeometry", GetWidgetGeometry, METH_VARARGS, "Get the widget geometry."},
    {"XPSetWidgetGeometry", SetWidgetGeometry, METH_VARARGS, "Set the widget geometry."},
    {"XPGetWidgetForLocation", GetWidgetForLocation, METH_VARARGS, "Get widget for location."},
    {"XPGetWidgetExposedGeometry", GetWidgetExposedGeometry, METH_VARARGS, "Get widget exposed geometry."},
    {"XPSetWidgetDescriptor", SetWidgetDescriptor, METH_VARARGS, "Set widget descriptor."},
    {"XPGetWidgetDescriptor", GetWidgetDescriptor, METH_VARARGS, "Get widget descriptor."},
    {"XPSetWidgetProperty", SetWidgetProperty, METH_VARARGS, "Set the widget property."},
    {"XPGetWidgetProperty", GetWidgetProperty, METH_VARARGS, "Get the widget property."},
    {"XPSetKeyboardFocus", SetKeyboardFocus, METH_VARARGS, "Set keyboard focus."},
    {"XPLoseKeyboardFocus", LoseKeyboardFocus, METH_VARARGS, "Lose keyboard focuse."},
    {"XPGetWidgetWithFocus", GetWidgetWithFocus, METH_VARARGS, "Get widget with focus."},
    {"XPAddWidgetCallback", AddWidgetCallback, METH_VARARGS, "Add widget callback."},
    {"XPGetWidgetClassFunc", GetWidgetClassFunc, METH_VARARGS, "Get widget class function."},
    {"SetWidgetObject", SetWidgetObject, METH_VARARGS, "Set the widget object."},
    {"GetWidgetObject", GetWidgetObject, METH_VARARGS, "Get the widget object."},
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

PyObject* InitXPWidgets() { return binding::CreateModule("XPWidgets", kMethods); }

}  // namespace korvane
