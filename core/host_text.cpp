#include "core/host_text.h"

#include <cstring>

namespace korvane {

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

}  // namespace korvane
