// XPWidgets: creating, arranging and messaging widgets, custom widgets whose behaviour
// is a Python callable, added widget callbacks and the objects scripts attach to widgets.
#include "core/core_state.h"
#include "modules/xplm/binding.h"
#include "modules/xplm/initialisers.h"
#include "registry/callback_dispatch.h"

#include <XPWidgets.h>

#include <algorithm>
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
    // The host's own create message finds no entry yet; the script gets its own below,
    // with param1 0 as for any widget created with its function.
    XPWidgetID widget = XPCreateCustomWidget(left, top, right, bottom, visible, descriptor.text, isRoot, container,
                                             dispatch::UserWidgetCallback);
    if (!widget) return binding::HandleToPython(widget);
    if (!binding::TrackCreatedWidget(self, widget, true)) return nullptr;
    if (!AddCallbackEntry(self, widget, callable)) {
        binding::DestroyWidgetTree(widget, 0);
        return nullptr;
    }
    XPSendMessageToWidget(widget, xpMsg_Create, xpMode_Once, 0, 0);
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
    const bool hooked = registry && registry->WidgetHooked(widget);
    if (!AddCallbackEntry(self, widget, callable)) return nullptr;
    // Hooked now, Korvane's function hears the host's create message and passes it on to
    // the one callable the widget has; hooked before, the new callable is told here.
    if (hooked)
        dispatch::GreetAddedWidgetCallable(widget, self, callable);
    else
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
    int length = XPGetWidgetDescriptor(widget, nullptr, maxLength);
    if (list == Py_None) return PyLong_FromLong(length);
    // The host fills no more than its text, so a large maximum costs nothing; one byte
    // more than it may fill, so the text always ends.
    const int room = std::clamp(length, 0, maxLength);
    std::vector<char> buffer(static_cast<std::size_t>(room) + 1, '\0');
    length = XPGetWidgetDescriptor(widget, buffer.data(), room);
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

// `inExists` is a result list that learns whether the widget has the property, or None;
// an int (what scripts passed before) asks for nothing either.
PyObject* GetWidgetProperty(PyObject*, PyObject* args) {
    void* widget = nullptr;
    int property = 0;
    PyObject* exists = nullptr;
    if (!PyArg_ParseTuple(args, "O&iO:XPGetWidgetProperty", binding::ParseHandle, &widget, &property, &exists))
        return nullptr;
    if (PyLong_Check(exists)) exists = Py_None;
    if (!binding::CheckResultList(exists, "XPGetWidgetProperty")) return nullptr;
    int found = 0;
    intptr_t value = XPGetWidgetProperty(widget, property, exists == Py_None ? nullptr : &found);
    if (!binding::StoreInt(exists, found)) return nullptr;
    return PyLong_FromLongLong(value);
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
    binding::Function<"XPCreateWidget",
                      "inLeft, inTop, inRight, inBottom, inVisible, inDescriptor, inIsRoot, inContainer, inClass",
                      "Create a widget.", CreateWidget>(),
    binding::Function<"XPCreateCustomWidget",
                      "self, inLeft, inTop, inRight, inBottom, inVisible, inDescriptor, inIsRoot, inContainer, "
                      "inCallback",
                      "Create a custom widget.", CreateCustomWidget>(),
    binding::Function<"XPDestroyWidget", "self, inWidget, inDestroyChildren", "Destroy a widget.", DestroyWidget>(),
    binding::Function<"XPSendMessageToWidget", "inWidget, inMessage, inMode, inParam1, inParam2",
                      "Send message to widget.", SendMessageToWidget>(),
    binding::Function<"XPPlaceWidgetWithin", "inSubWidget, inContainer",
                      "Place within another widget.", PlaceWidgetWithin>(),
    binding::Function<"XPCountChildWidgets", "inWidget", "Count child widgets.", CountChildWidgets>(),
    binding::Function<"XPGetNthChildWidget", "inWidget, inIndex", "Get Nth child.", GetNthChildWidget>(),
    binding::Function<"XPGetParentWidget", "inWidget", "Get parent.", GetParentWidget>(),
    binding::Function<"XPShowWidget", "inWidget", "Show widget.", ShowWidget>(),
    binding::Function<"XPHideWidget", "inWidget", "Hide widget.", HideWidget>(),
    binding::Function<"XPIsWidgetVisible", "inWidget", "Is the widget visible.", IsWidgetVisible>(),
    binding::Function<"XPFindRootWidget", "inWidget", "Find the root widget.", FindRootWidget>(),
    binding::Function<"XPBringRootWidgetToFront", "inWidget", "Bring root widget to front.", BringRootWidgetToFront>(),
    binding::Function<"XPIsWidgetInFront", "inWidget", "Is the widget in front.", IsWidgetInFront>(),
    binding::Function<"XPGetWidgetGeometry", "inWidget, outLeft, outTop, outRight, outBottom",
                      "Get the widget geometry.", GetWidgetGeometry>(),
    binding::Function<"XPSetWidgetGeometry", "inWidget, inLeft, inTop, inRight, inBottom",
                      "Set the widget geometry.", SetWidgetGeometry>(),
    binding::Function<"XPGetWidgetForLocation", "inContainer, inXOffset, inYOffset, inRecursive, inVisibleOnly",
                      "Get widget for location.", GetWidgetForLocation>(),
    binding::Function<"XPGetWidgetExposedGeometry", "inWidgetID, outLeft, outTop, outRight, outBottom",
                      "Get widget exposed geometry.", GetWidgetExposedGeometry>(),
    binding::Function<"XPSetWidgetDescriptor", "inWidget, inDescriptor", "Set widget descriptor.", SetWidgetDescriptor>(),
    binding::Function<"XPGetWidgetDescriptor", "inWidget, outDescriptor, inMaxDescLength",
                      "Get widget descriptor.", GetWidgetDescriptor>(),
    binding::Function<"XPSetWidgetProperty", "inWidget, inProperty, inValue",
                      "Set the widget property.", SetWidgetProperty>(),
    binding::Function<"XPGetWidgetProperty", "inWidget, inProperty, inExists",
                      "Get the widget property. inExists: a list, which receives 1 when the widget has "
                      "the property and 0 when not, or None.", GetWidgetProperty>(),
    binding::Function<"XPSetKeyboardFocus", "inWidget", "Set keyboard focus.", SetKeyboardFocus>(),
    binding::Function<"XPLoseKeyboardFocus", "inWidget", "Lose keyboard focuse.", LoseKeyboardFocus>(),
    binding::Function<"XPGetWidgetWithFocus", "", "Get widget with focus.", GetWidgetWithFocus>(),
    binding::Function<"XPAddWidgetCallback", "self, inWidget, inNewCallback",
                      "Add widget callback.", AddWidgetCallback>(),
    binding::Function<"XPGetWidgetClassFunc", "inWidgetClass", "Get widget class function.", GetWidgetClassFunc>(),
    binding::Function<"SetWidgetObject", "self, inWidget, inObject", "Set the widget object.", SetWidgetObject>(),
    binding::Function<"GetWidgetObject", "self, inWidget", "Get the widget object.", GetWidgetObject>(),
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

PyObject* InitXPWidgets() { return binding::CreateModule("XPWidgets", kMethods); }

}  // namespace korvane
