#include "modules/xplm/binding.h"

#include "core/core_state.h"
#include "core/host_call.h"
#include "registry/callback_dispatch.h"

#include <XPLMUtilities.h>
#include <XPWidgets.h>

#include <climits>
#include <iterator>
#include <memory>
#include <unordered_map>

namespace korvane::binding {

namespace {

// Every function of a module that reaches the host runs through this one: its self is a
// capsule holding the function's own method entry, with the module as context.
PyObject* CallOnHostThread(PyObject* self, PyObject* args) {
    const auto* method = static_cast<const PyMethodDef*>(PyCapsule_GetPointer(self, nullptr));
    if (!OnHostThread()) {
        PyErr_Format(PyExc_RuntimeError,
                     "%s: the simulator's SDK may only be called from the main thread, not from a script's thread",
                     method->ml_name);
        return nullptr;
    }
    PyObject* result = method->ml_meth(static_cast<PyObject*>(PyCapsule_GetContext(self)), args);
    if (!TakeNestingRefusal()) return result;
    Py_XDECREF(result);
    if (!result) return nullptr;  // the function's own error stands
    PyErr_Format(PyExc_RecursionError,
                 "%s: callbacks nest more than %d deep through the simulator; Korvane refused the next one",
                 method->ml_name, kMaxNesting);
    return nullptr;
}

// The guarded copy of a method table, made once: the interpreter's functions point into it.
const PyMethodDef* GuardedTable(const PyMethodDef* methods) {
    static std::unordered_map<const PyMethodDef*, std::unique_ptr<PyMethodDef[]>> tables;
    std::unique_ptr<PyMethodDef[]>& guarded = tables[methods];
    if (!guarded) {
        std::size_t count = 0;
        while (methods[count].ml_name) ++count;
        guarded = std::make_unique<PyMethodDef[]>(count + 1);
        for (std::size_t i = 0; i < count; ++i)
            guarded[i] = {methods[i].ml_name, CallOnHostThread, METH_VARARGS, methods[i].ml_doc};
        guarded[count] = {nullptr, nullptr, 0, nullptr};
    }
    return guarded.get();
}

bool AddHostThreadFunctions(PyObject* module, const PyMethodDef* methods) {
    const PyMethodDef* guarded = GuardedTable(methods);
    PyObject* moduleName = PyModule_GetNameObject(module);
    PyRef nameHolder = PyRef::Steal(moduleName);
    if (!moduleName) return false;
    for (std::size_t i = 0; methods[i].ml_name; ++i) {
        PyRef self = PyRef::Steal(PyCapsule_New(const_cast<PyMethodDef*>(&methods[i]), nullptr, nullptr));
        if (!self || PyCapsule_SetContext(self.get(), module) < 0) return false;
        PyRef function =
            PyRef::Steal(PyCFunction_NewEx(const_cast<PyMethodDef*>(&guarded[i]), self.get(), moduleName));
        if (!function || PyModule_AddObjectRef(module, methods[i].ml_name, function.get()) < 0) return false;
    }
    return true;
}

PyObject* AddConstants(PyObject* module, std::initializer_list<IntConstant> constants) {
    for (const IntConstant& constant : constants)
        if (PyModule_AddIntConstant(module, constant.name, constant.value) < 0) return nullptr;
    return module;
}

}  // namespace

PyObject* CreateModule(const char* name, PyMethodDef* methods, std::initializer_list<IntConstant> constants) {
    PyObject* module = PyImport_AddModule(name);  // borrowed, kept alive by sys.modules
    if (!module) return nullptr;
    if (methods && !AddHostThreadFunctions(module, methods)) return nullptr;
    return AddConstants(module, constants);
}

PyObject* CreateAnyThreadModule(const char* name, PyMethodDef* methods) {
    PyObject* module = PyImport_AddModule(name);
    if (!module || PyModule_AddFunctions(module, methods) < 0) return nullptr;
    return module;
}

int ParseHandle(PyObject* object, void* out) {
    if (!PyLong_Check(object)) {
        PyErr_Format(PyExc_TypeError, "expected an integer handle, not %.200s", Py_TYPE(object)->tp_name);
        return 0;
    }
    void* handle = PyLong_AsVoidPtr(object);
    if (!handle && PyErr_Occurred()) return 0;
    *static_cast<void**>(out) = handle;
    return 1;
}

PyObject* HandleToPython(const void* handle) { return PyLong_FromVoidPtr(const_cast<void*>(handle)); }

PyObject* HandleOrNone(const void* handle) {
    if (!handle) Py_RETURN_NONE;
    return HandleToPython(handle);
}

int ParseHostText(PyObject* object, void* out) {
    HostText& parsed = *static_cast<HostText*>(out);
    std::optional<std::string_view> text = TextToHost(object, parsed.holder);
    if (!text) return 0;
    if (text->find('\0') != std::string_view::npos) {
        PyErr_SetString(PyExc_ValueError, "embedded null character");
        return 0;
    }
    // Every form TextToHost gives (a str's UTF-8, a bytes object) ends with a NUL.
    parsed.text = text->data();
    return 1;
}

PyObject* ReturnOne() { return PyLong_FromLong(1); }

void* FindNewerSdkFunction(const char* name, const char* sdkVersion) {
    void* function = XPLMFindSymbol(name);
    if (!function)
        PyErr_Format(PyExc_RuntimeError, "%s needs X-Plane SDK %s or later, which this simulator does not have", name,
                     sdkVersion);
    return function;
}

bool CheckCallable(PyObject* object, const char* what, bool noneAllowed) {
    if (PyCallable_Check(object) || (noneAllowed && object == Py_None)) return true;
    PyErr_Format(PyExc_TypeError, "%s must be callable%s, not %.200s", what, noneAllowed ? " or None" : "",
                 Py_TYPE(object)->tp_name);
    return false;
}

bool CheckResultList(PyObject* list, const char* function) {
    if (list == Py_None || PyList_Check(list)) return true;
    PyErr_Format(PyExc_TypeError, "%s() expects a list or None for each result, not %.200s", function,
                 Py_TYPE(list)->tp_name);
    return false;
}

bool StoreResult(PyObject* list, PyRef value) {
    if (list == Py_None) return true;
    if (!value) return false;
    if (PyList_GET_SIZE(list) == 0) return PyList_Append(list, value.get()) == 0;
    return PyList_SetItem(list, 0, value.release()) == 0;  // SetItem takes the reference
}

bool CheckResultLists(std::initializer_list<PyObject*> lists, const char* function) {
    for (PyObject* list : lists)
        if (!CheckResultList(list, function)) return false;
    return true;
}

bool StoreInt(PyObject* list, long value) { return StoreResult(list, PyRef::Steal(PyLong_FromLong(value))); }

namespace {

// A sequence's own length is only an upper bound: a script's class may claim any
// length, so nothing is sized from it and the items are read one by one, no more than
// the host will take. A sequence that ends early (IndexError) ends the values there.
constexpr Py_ssize_t kReserveAtMost = 4096;

// The first `limit` items converted, or none: a refused item raises `refusal`.
template <typename Value, typename Accept, typename Convert>
std::optional<std::vector<Value>> ConvertSequence(PyObject* sequence, Py_ssize_t size, Py_ssize_t limit,
                                                  const char* refusal, Accept accept, Convert convert) {
    Py_ssize_t wanted = std::min(size, limit);
    std::vector<Value> values;
    values.reserve(static_cast<std::size_t>(std::min(wanted, kReserveAtMost)));
    for (Py_ssize_t i = 0; i < wanted; ++i) {
        PyRef item = PyRef::Steal(PySequence_GetItem(sequence, i));
        if (!item) {
            if (!PyErr_ExceptionMatches(PyExc_IndexError)) return std::nullopt;
            PyErr_Clear();
            break;
        }
        if (!accept(item.get())) {
            PyErr_SetString(PyExc_TypeError, refusal);
            return std::nullopt;
        }
        Value value = convert(item.get());
        if (PyErr_Occurred()) return std::nullopt;
        values.push_back(value);
    }
    return values;
}

// The sequence's claimed length; nothing, with TypeError, for what is no sequence.
std::optional<Py_ssize_t> ClaimedSize(PyObject* sequence) {
    if (!PySequence_Check(sequence)) {
        PyErr_SetString(PyExc_TypeError, "expected sequence");
        return std::nullopt;
    }
    Py_ssize_t size = PySequence_Size(sequence);
    if (size < 0) return std::nullopt;
    return size;
}

}  // namespace

std::optional<std::vector<int>> IntsFromSequence(PyObject* sequence, Py_ssize_t limit) {
    std::optional<Py_ssize_t> size = ClaimedSize(sequence);
    if (!size) return std::nullopt;
    return ConvertSequence<int>(
        sequence, *size, limit, "expected sequence of integers",
        [](PyObject* item) {
            // The host's arrays hold 32-bit ints; a larger value is refused, not cut.
            if (!PyLong_Check(item)) return false;
            int overflow = 0;
            long value = PyLong_AsLongAndOverflow(item, &overflow);
            return overflow == 0 && value >= INT_MIN && value <= INT_MAX;
        },
        [](PyObject* item) { return static_cast<int>(PyLong_AsLong(item)); });
}

std::optional<std::vector<float>> FloatsFromSequence(PyObject* sequence, Py_ssize_t limit) {
    std::optional<Py_ssize_t> size = ClaimedSize(sequence);
    if (!size) return std::nullopt;
    return ConvertSequence<float>(
        sequence, *size, limit, "expected sequence of floats", [](PyObject* item) { return PyFloat_Check(item) != 0; },
        [](PyObject* item) { return static_cast<float>(PyFloat_AS_DOUBLE(item)); });
}

std::optional<std::vector<char>> BytesFromSequence(PyObject* sequence, Py_ssize_t limit) {
    std::optional<Py_ssize_t> size = ClaimedSize(sequence);
    if (!size) return std::nullopt;
    if (*size == 0) {
        PyErr_SetString(PyExc_TypeError, "expected sequence of bytes");
        return std::nullopt;
    }
    if (*size == 1) {
        PyRef item = PyRef::Steal(PySequence_GetItem(sequence, 0));
        if (!item) return std::nullopt;
        if (PyUnicode_Check(item.get()) || PyBytes_Check(item.get())) {
            PyRef holder;
            std::optional<std::string_view> text = TextToHost(item.get(), holder);
            if (!text) return std::nullopt;
            return std::vector<char>(text->begin(), text->end());
        }
    }
    return ConvertSequence<char>(
        sequence, *size, limit, "expected sequence of bytes", [](PyObject* item) { return PyLong_Check(item) != 0; },
        [](PyObject* item) { return static_cast<char>(PyLong_AsUnsignedLongMask(item) & 0xFF); });
}

bool CheckRegistrationsOpen() {
    if (registry && registry->RegistrationsOpen()) return true;
    PyErr_SetString(PyExc_RuntimeError, "Korvane is stopping the interpreter and takes no new registrations");
    return false;
}

const CallbackEntry* RegisterEntry(CallbackKind kind, PyObject* self, CallbackEntry entry, bool* added) {
    if (!CheckRegistrationsOpen()) return nullptr;
    return registry->AddEntry(kind, self, std::move(entry), added);
}

void AttachHostHandle(CallbackKind kind, PyObject* self, void* hostRefcon, void* handle) {
    if (!registry) return;
    if (handle)
        registry->SetEntryHandle(kind, hostRefcon, handle);
    else
        registry->RemoveByHandle(kind, self, nullptr);
}

std::optional<CallbackEntry> UnregisterByCallable(CallbackKind kind, PyObject* self, PyObject* callable,
                                                  std::int64_t placement) {
    if (!registry) return std::nullopt;
    return registry->RemoveByCallable(kind, self, callable, placement);
}

bool UnregisterAll(CallbackKind kind, PyObject* self) {
    if (!registry) return false;
    registry->RemoveAll(kind, self);
    return !registry->HoldsAny(kind);
}

bool CheckWidgetMessageParameters(int message, intptr_t param1, intptr_t param2, const char* function) {
    constexpr XPWidgetMessage kMouseWheel = 20, kCursorAdjust = 21;  // the host sends them; scripts have no names
    int which = 1;
    bool genuine = false;
    switch (message) {
        case xpMsg_MouseDown:
        case xpMsg_MouseDrag:
        case xpMsg_MouseUp:
        case kMouseWheel:
            genuine = dispatch::IsWidgetMessageParameter(
                {xpMsg_MouseDown, xpMsg_MouseDrag, xpMsg_MouseUp, kMouseWheel}, 1, param1);
            break;
        case xpMsg_KeyPress: genuine = dispatch::IsWidgetMessageParameter({xpMsg_KeyPress}, 1, param1); break;
        case xpMsg_Reshape:
            which = 2;
            genuine = dispatch::IsWidgetMessageParameter({xpMsg_Reshape}, 2, param2);
            break;
        case kCursorAdjust:
            which = 2;
            genuine = dispatch::IsWidgetMessageParameter({kCursorAdjust}, 2, param2);
            break;
        default: return true;
    }
    intptr_t pointer = which == 1 ? param1 : param2;
    if (genuine && pointer != 0) return true;
    PyErr_Format(PyExc_ValueError,
                 "%s(): message %d needs as param%d the pointer of such a message being handled, not %lld", function,
                 message, which, static_cast<long long>(pointer));
    return false;
}

void HookWidget(void* widget) {
    if (!registry || registry->WidgetHooked(widget)) return;
    XPAddWidgetCallback(widget, dispatch::UserWidgetCallback);
    registry->NoteWidgetHooked(widget);
}

namespace {

void CollectDescendants(void* widget, std::vector<void*>& widgets) {
    int count = XPCountChildWidgets(widget);
    for (int i = 0; i < count; ++i) {
        void* child = XPGetNthChildWidget(widget, i);
        if (!child) continue;
        widgets.push_back(child);
        CollectDescendants(child, widgets);
    }
}

// A widget a stop finds still standing goes with the top-most standing widget scripts
// created above it, children first to last, so that no handle is used after its end.
void DestroyLeftoverWidget(const CallbackEntry& entry) {
    if (!registry || !registry->WidgetCreated(entry.handle)) return;
    void* top = entry.handle;
    for (void* parent = XPGetParentWidget(top); parent && registry->WidgetCreated(parent);
         parent = XPGetParentWidget(parent))
        top = parent;
    DestroyWidgetTree(top, 1);
}

// Whom a widget made by a function without `self` belongs to: the script whose module
// the calling Python code runs in, else the one whose callback runs now; the record of
// the XPWidgets module when neither is known (module code of a script being imported).
PyObject* CallingOwner() {
    if (PyObject* script = registry->FindScriptOfFrame(PyEval_GetFrame())) return script;
    PyObject* dispatching = dispatch::DispatchingOwner();
    if (dispatching && registry->FindRecord(dispatching)) return dispatching;
    return PyImport_AddModule("XPWidgets");
}

}  // namespace

bool TrackCreatedWidget(PyObject* self, void* widget, bool custom) {
    if (!CheckRegistrationsOpen()) {
        XPDestroyWidget(widget, 0);
        return false;
    }
    // Every created widget carries Korvane's function, so its end is seen however it
    // comes; a custom widget has it as its class function already.
    if (custom)
        registry->NoteWidgetHooked(widget);
    else
        HookWidget(widget);
    registry->NoteWidgetCreated(widget);
    CallbackEntry entry;
    entry.handle = widget;
    entry.releaseHost = DestroyLeftoverWidget;
    PyObject* owner = self ? self : CallingOwner();
    if (owner && RegisterEntry(CallbackKind::CreatedWidget, owner, std::move(entry))) return true;
    DestroyWidgetTree(widget, 0);
    return false;
}

void DestroyWidgetTree(void* widget, int destroyChildren) {
    std::vector<void*> widgets{widget};
    if (destroyChildren) CollectDescendants(widget, widgets);
    // Released after the host call: dropping a callable may run Python code.
    std::vector<CallbackEntry> gone;
    if (registry)
        for (void* each : widgets) {
            std::vector<CallbackEntry> entries = registry->ForgetWidget(each);
            std::move(entries.begin(), entries.end(), std::back_inserter(gone));
        }
    XPDestroyWidget(widget, destroyChildren);
}

}  // namespace korvane::binding
