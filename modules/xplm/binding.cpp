#include "modules/xplm/binding.h"

#include "core/core_state.h"

#include <climits>
#include <cstring>

namespace korvane::binding {

PyObject* CreateModule(const char* name, PyMethodDef* methods, std::initializer_list<IntConstant> constants) {
    PyObject* module = PyImport_AddModule(name);  // borrowed, kept alive by sys.modules
    if (!module) return nullptr;
    if (PyModule_AddFunctions(module, methods) < 0) return nullptr;
    for (const IntConstant& constant : constants)
        if (PyModule_AddIntConstant(module, constant.name, constant.value) < 0) return nullptr;
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

PyObject* TextFromHost(const char* text) { return TextFromHost(text, static_cast<Py_ssize_t>(std::strlen(text))); }

PyObject* TextFromHost(const char* text, Py_ssize_t length) {
    return PyUnicode_DecodeUTF8(text, length, "surrogateescape");
}

std::optional<std::string_view> TextToHost(PyObject* object, PyRef& holder) {
    char* bytes = nullptr;
    Py_ssize_t length = 0;
    if (PyBytes_Check(object)) {
        PyBytes_AsStringAndSize(object, &bytes, &length);
        return std::string_view(bytes, static_cast<std::size_t>(length));
    }
    if (!PyUnicode_Check(object)) {
        PyErr_Format(PyExc_TypeError, "expected str or bytes, not %.200s", Py_TYPE(object)->tp_name);
        return std::nullopt;
    }
    // The common case costs nothing: the str keeps its UTF-8 form.
    if (const char* text = PyUnicode_AsUTF8AndSize(object, &length))
        return std::string_view(text, static_cast<std::size_t>(length));
    if (!PyErr_ExceptionMatches(PyExc_UnicodeEncodeError)) return std::nullopt;
    PyErr_Clear();
    holder = PyRef::Steal(PyUnicode_AsEncodedString(object, "utf-8", "surrogateescape"));
    if (!holder) return std::nullopt;
    PyBytes_AsStringAndSize(holder.get(), &bytes, &length);
    return std::string_view(bytes, static_cast<std::size_t>(length));
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

namespace {

// Converts every item or none: a refused item raises `refusal` and nothing is returned.
template <typename Value, typename Accept, typename Convert>
std::optional<std::vector<Value>> ConvertSequence(PyObject* sequence, const char* refusal, Accept accept,
                                                  Convert convert) {
    if (!PySequence_Check(sequence)) {
        PyErr_SetString(PyExc_TypeError, "expected sequence");
        return std::nullopt;
    }
    Py_ssize_t size = PySequence_Size(sequence);
    if (size < 0) return std::nullopt;
    std::vector<Value> values;
    values.reserve(static_cast<std::size_t>(size));
    for (Py_ssize_t i = 0; i < size; ++i) {
        PyRef item = PyRef::Steal(PySequence_GetItem(sequence, i));
        if (!item) return std::nullopt;
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

}  // namespace

std::optional<std::vector<int>> IntsFromSequence(PyObject* sequence) {
    return ConvertSequence<int>(
        sequence, "expected sequence of integers",
        [](PyObject* item) {
            // The host's arrays hold 32-bit ints; a larger value is refused, not cut.
            if (!PyLong_Check(item)) return false;
            int overflow = 0;
            long value = PyLong_AsLongAndOverflow(item, &overflow);
            return overflow == 0 && value >= INT_MIN && value <= INT_MAX;
        },
        [](PyObject* item) { return static_cast<int>(PyLong_AsLong(item)); });
}

std::optional<std::vector<float>> FloatsFromSequence(PyObject* sequence) {
    return ConvertSequence<float>(
        sequence, "expected sequence of floats", [](PyObject* item) { return PyFloat_Check(item) != 0; },
        [](PyObject* item) { return static_cast<float>(PyFloat_AS_DOUBLE(item)); });
}

std::optional<std::vector<char>> BytesFromSequence(PyObject* sequence) {
    if (!PySequence_Check(sequence)) {
        PyErr_SetString(PyExc_TypeError, "expected sequence");
        return std::nullopt;
    }
    Py_ssize_t size = PySequence_Size(sequence);
    if (size < 0) return std::nullopt;
    if (size == 0) {
        PyErr_SetString(PyExc_TypeError, "expected sequence of bytes");
        return std::nullopt;
    }
    if (size == 1) {
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
        sequence, "expected sequence of bytes", [](PyObject* item) { return PyLong_Check(item) != 0; },
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

std::optional<CallbackEntry> UnregisterByCallable(CallbackKind kind, PyObject* self, PyObject* callable) {
    if (!registry) return std::nullopt;
    return registry->RemoveByCallable(kind, self, callable);
}

bool UnregisterAll(CallbackKind kind, PyObject* self) {
    if (!registry) return false;
    registry->RemoveAll(kind, self);
    return !registry->HoldsAny(kind);
}

}  // namespace korvane::binding
