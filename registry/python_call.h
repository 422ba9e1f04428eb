#pragma once
// The call every native callback makes into Python: arguments as new references
// straight into a vectorcall, no tuple and no format string, and the result converted
// to the host's type directly.
#include "core/py_ref.h"

#include <climits>
#include <cstring>
#include <optional>

namespace korvane::dispatch {

inline PyRef Int(long value) { return PyRef::Steal(PyLong_FromLong(value)); }
inline PyRef Float(double value) { return PyRef::Steal(PyFloat_FromDouble(value)); }
// Window and widget handles: full-width unsigned ints, as the bindings hand them out.
inline PyRef Handle(const void* handle) { return PyRef::Steal(PyLong_FromVoidPtr(const_cast<void*>(handle))); }
inline PyRef WideInt(long long value) { return PyRef::Steal(PyLong_FromLongLong(value)); }
// Text from the host: UTF-8, undecodable bytes kept as surrogates; "" for none.
inline PyRef Text(const char* text) {
    return PyRef::Steal(PyUnicode_DecodeUTF8(text ? text : "", text ? static_cast<Py_ssize_t>(std::strlen(text)) : 0,
                                             "surrogateescape"));
}

// Calls with the given new references as positional arguments; null when an argument
// could not be made or the call raised.
template <typename... Arguments>
PyRef CallWith(PyObject* callable, Arguments&&... arguments) {
    PyRef owned[] = {std::move(arguments)...};
    // The spare slot in front lets a bound method put its instance there instead of copying.
    PyObject* stack[1 + sizeof...(Arguments)] = {};
    for (std::size_t i = 0; i < sizeof...(Arguments); ++i) {
        if (!owned[i]) return PyRef();
        stack[i + 1] = owned[i].get();
    }
    return PyRef::Steal(
        PyObject_Vectorcall(callable, stack + 1, sizeof...(Arguments) | PY_VECTORCALL_ARGUMENTS_OFFSET, nullptr));
}

// Results, converted as the "i", "f" and "d" argument formats convert them.
inline bool ConvertResult(PyObject* result, int* value) {
    if (PyFloat_Check(result)) {
        PyErr_SetString(PyExc_TypeError, "integer argument expected, got float");
        return false;
    }
    long wide = PyLong_AsLong(result);
    if (wide == -1 && PyErr_Occurred()) return false;
    if (wide < INT_MIN || wide > INT_MAX) {
        PyErr_SetString(PyExc_OverflowError, "signed integer is out of the range of a C int");
        return false;
    }
    *value = static_cast<int>(wide);
    return true;
}

inline bool ConvertResult(PyObject* result, double* value) {
    double converted = PyFloat_AsDouble(result);
    if (converted == -1.0 && PyErr_Occurred()) return false;
    *value = converted;
    return true;
}

inline bool ConvertResult(PyObject* result, float* value) {
    double converted = 0;
    if (!ConvertResult(result, &converted)) return false;
    *value = static_cast<float>(converted);
    return true;
}

// The call's result for the host; nothing (with a Python error set) when the call
// failed or its result could not be converted.
template <typename Result>
std::optional<Result> Convert(PyRef result) {
    Result value{};
    if (!result || !ConvertResult(result.get(), &value)) return std::nullopt;
    return value;
}

// For callbacks whose result the host does not take: only whether the call worked.
inline std::optional<int> Ignore(PyRef result) {
    if (!result) return std::nullopt;
    return 1;
}

}  // namespace korvane::dispatch
