// XPWidgetUtils: whole dialogs from a table of widget definitions, moving widgets, and
// the library's ready-made message handlers for scripts' widget callables.
#include "modules/xplm/binding.h"
#include "modules/xplm/initialisers.h"

#include <XPWidgetUtils.h>

#include <climits>
#include <cstdint>
#include <vector>

namespace korvane {
namespace {

constexpr Py_ssize_t kDefinitionItems = 9;
constexpr Py_ssize_t kDescriptorItem = 5;
constexpr Py_ssize_t kContainerItem = 7;

// One item of a definition as a C int; the error names the definition and the item.
bool DefinitionInt(PyObject* item, Py_ssize_t definition, Py_ssize_t index, int* out) {
    if (!PyLong_Check(item)) {
        PyErr_Format(PyExc_TypeError, "XPUCreateWidgets() definition %zd: item %zd must be an int, not %.200s",
                     definition, index, Py_TYPE(item)->tp_name);
        return false;
    }
    int overflow = 0;
    long value = PyLong_AsLongAndOverflow(item, &overflow);
    if (overflow != 0 || value < INT_MIN || value > INT_MAX) {
        PyErr_Format(PyExc_ValueError, "XPUCreateWidgets() definition %zd: item %zd is out of range", definition,
                     index);
        return false;
    }
    *out = static_cast<int>(value);
    return true;
}

// The definitions the host is given, and what keeps their descriptors alive while it
// works (its messages may run scripts that change the table).
struct DefinitionTable {
    std::vector<XPWidgetCreate_t> records;
    std::vector<PyRef> keepAlive;
};

// Checks every definition used before anything is created, so that a malformed table
// creates nothing.
bool ReadDefinitions(PyObject* definitions, long count, DefinitionTable& table) {
    if (count < 0 || count > PyList_GET_SIZE(definitions)) {
        PyErr_Format(PyExc_ValueError, "XPUCreateWidgets() count %ld is outside 0 to the %zd definitions given", count,
                     PyList_GET_SIZE(definitions));
        return false;
    }
    table.records.resize(static_cast<std::size_t>(count));
    for (Py_ssize_t i = 0; i < count; ++i) {
        PyObject* definition = PyList_GET_ITEM(definitions, i);
        if (!PyList_Check(definition)) {
            PyErr_Format(PyExc_TypeError, "XPUCreateWidgets() definition %zd must be a list, not %.200s", i,
                         Py_TYPE(definition)->tp_name);
            return false;
        }
        if (PyList_GET_SIZE(definition) != kDefinitionItems) {
            PyErr_Format(PyExc_ValueError, "XPUCreateWidgets() definition %zd must hold 9 items, not %zd", i,
                         PyList_GET_SIZE(definition));
            return false;
        }
        table.keepAlive.push_back(PyRef::Borrow(definition));
        int values[kDefinitionItems] = {};
        for (Py_ssize_t item = 0; item < kDefinitionItems; ++item)
            if (item != kDescriptorItem && !DefinitionInt(PyList_GET_ITEM(definition, item), i, item, &values[item]))
                return false;
        // The host looks a container up in the widgets made so far: an earlier row, or
        // the special NO_PARENT and PARAM_PARENT.
        const int container = values[kContainerItem];
        if (container != NO_PARENT && container != PARAM_PARENT && (container < 0 || container >= i)) {
            PyErr_Format(PyExc_ValueError,
                         "XPUCreateWidgets() definition %zd: container index %d names no earlier definition "
                         "(nor NO_PARENT -1 or PARAM_PARENT -2)",
                         i, container);
            return false;
        }
        PyObject* descriptor = PyList_GET_ITEM(definition, kDescriptorItem);
        if (!PyUnicode_Check(descriptor)) {
            PyErr_Format(PyExc_TypeError, "XPUCreateWidgets() definition %zd: item 5 must be a str, not %.200s", i,
                         Py_TYPE(descriptor)->tp_name);
            return false;
        }
        binding::HostText text;
        if (!binding::ParseHostText(descriptor, &text)) {
            PyErr_Clear();
            PyErr_Format(PyExc_ValueError, "XPUCreateWidgets() definition %zd: item 5 cannot be given to the host", i);
            return false;
        }
        table.keepAlive.push_back(PyRef::Borrow(descriptor));
        if (text.holder) table.keepAlive.push_back(std::move(text.holder));
        table.records[static_cast<std::size_t>(i)] = {values[0], values[1], values[2], values[3], values[4],
                                                      text.text, values[6], values[7], values[8]};
    }
    return true;
}

PyObject* CreateWidgets(PyObject*, PyObject* args) {
    PyObject* definitions = nullptr;
    long count = 0;
    void* parent = nullptr;
    PyObject* ids = nullptr;
    if (!PyArg_ParseTuple(args, "O!lO&O!:XPUCreateWidgets", &PyList_Type, &definitions, &count, binding::ParseHandle,
                          &parent, &PyList_Type, &ids))
        return nullptr;
    DefinitionTable table;
    if (!ReadDefinitions(definitions, count, table)) return nullptr;
    if (!binding::CheckRegistrationsOpen()) return nullptr;
    std::vector<XPWidgetID> widgets(table.records.size(), nullptr);
    if (!widgets.empty()) XPUCreateWidgets(table.records.data(), static_cast<int>(count), parent, widgets.data());
    bool tracked = true;
    for (XPWidgetID widget : widgets)
        if (widget && tracked) tracked = binding::TrackCreatedWidget(nullptr, widget, false);
    if (!tracked) return nullptr;
    for (XPWidgetID widget : widgets) {
        PyRef handle = PyRef::Steal(binding::HandleToPython(widget));
        if (!handle || PyList_Append(ids, handle.get()) < 0) return nullptr;
    }
    return Py_BuildValue("(i)", 1);
}

PyObject* MoveWidgetBy(PyObject*, PyObject* args) {
    void* widget = nullptr;
    int dx = 0, dy = 0;
    if (!PyArg_ParseTuple(args, "O&ii:XPUMoveWidgetBy", binding::ParseHandle, &widget, &dx, &dy)) return nullptr;
    XPUMoveWidgetBy(widget, dx, dy);
    return binding::ReturnOne();
}

PyObject* FixedLayout(PyObject*, PyObject* args) {
    int message = 0;
    void* widget = nullptr;
    long long param1 = 0, param2 = 0;
    if (!PyArg_ParseTuple(args, "iO&LL:XPUFixedLayout", &message, binding::ParseHandle, &widget, &param1, &param2))
        return nullptr;
    if (!binding::CheckWidgetMessageParameters(message, static_cast<intptr_t>(param1), static_cast<intptr_t>(param2),
                                               "XPUFixedLayout"))
        return nullptr;
    return PyLong_FromLong(
        XPUFixedLayout(message, widget, static_cast<intptr_t>(param1), static_cast<intptr_t>(param2)));
}

using ClickHandler = int (*)(XPWidgetMessage, XPWidgetID, intptr_t, intptr_t, int);

PyObject* WithEatClick(PyObject* args, const char* format, const char* function, ClickHandler handler) {
    int message = 0, eatClick = 0;
    void* widget = nullptr;
    long long param1 = 0, param2 = 0;
    if (!PyArg_ParseTuple(args, format, &message, binding::ParseHandle, &widget, &param1, &param2, &eatClick))
        return nullptr;
    if (!binding::CheckWidgetMessageParameters(message, static_cast<intptr_t>(param1), static_cast<intptr_t>(param2),
                                               function))
        return nullptr;
    return PyLong_FromLong(
        handler(message, widget, static_cast<intptr_t>(param1), static_cast<intptr_t>(param2), eatClick));
}

PyObject* SelectIfNeeded(PyObject*, PyObject* args) {
    return WithEatClick(args, "iO&LLi:XPUSelectIfNeeded", "XPUSelectIfNeeded", XPUSelectIfNeeded);
}

PyObject* DefocusKeyboard(PyObject*, PyObject* args) {
    return WithEatClick(args, "iO&LLi:XPUDefocusKeyboard", "XPUDefocusKeyboard", XPUDefocusKeyboard);
}

PyObject* DragWidget(PyObject*, PyObject* args) {
    int message = 0, left = 0, top = 0, right = 0, bottom = 0;
    void* widget = nullptr;
    long long param1 = 0, param2 = 0;
    if (!PyArg_ParseTuple(args, "iO&LLiiii:XPUDragWidget", &message, binding::ParseHandle, &widget, &param1, &param2,
                          &left, &top, &right, &bottom))
        return nullptr;
    if (!binding::CheckWidgetMessageParameters(message, static_cast<intptr_t>(param1), static_cast<intptr_t>(param2),
                                               "XPUDragWidget"))
        return nullptr;
    return PyLong_FromLong(XPUDragWidget(message, widget, static_cast<intptr_t>(param1),
                                         static_cast<intptr_t>(param2), left, top, right, bottom));
}

PyMethodDef kMethods[] = {
    binding::Function<"XPUCreateWidgets", "inWidgetDefs, inCount, inParamParent, ioWidgets",
                      "Create an XPU widget.", CreateWidgets>(),
    binding::Function<"XPUMoveWidgetBy", "inWidget, inDeltaX, inDeltaY", "Move a widget.", MoveWidgetBy>(),
    binding::Function<"XPUFixedLayout", "inMessage, inWidget, inParam1, inParam2", "Fixed Layout.", FixedLayout>(),
    binding::Function<"XPUSelectIfNeeded", "inMessage, inWidget, inParam1, inParam2, inEatClick",
                      "Select if needed.", SelectIfNeeded>(),
    binding::Function<"XPUDefocusKeyboard", "inMessage, inWidget, inParam1, inParam2, inEatClick",
                      "Defocus keyboard.", DefocusKeyboard>(),
    binding::Function<"XPUDragWidget", "inMessage, inWidget, inParam1, inParam2, inLeft, inTop, inRight, inBottom",
                      "Drag widget.", DragWidget>(),
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

PyObject* InitXPWidgetUtils() {
    return binding::CreateModule("XPWidgetUtils", kMethods, {{"NO_PARENT", NO_PARENT}, {"PARAM_PARENT", PARAM_PARENT}});
}

}  // namespace korvane
