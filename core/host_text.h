#pragma once
// Text crossing between Python and the host, in one form everywhere: the bindings,
// the dispatchers and the core all convert through these.
#include "core/py_ref.h"

#include <optional>
#include <string_view>

namespace korvane {

// Text coming from the host: UTF-8, with undecodable bytes kept as surrogates.
PyObject* TextFromHost(const char* text);
PyObject* TextFromHost(const char* text, Py_ssize_t length);
// Text going to the host: a str as UTF-8 (surrogate escapes back to the bytes they
// stand for), a bytes object as it is. `holder` keeps an encoded copy alive when one
// was needed. Empty with TypeError set for any other object, or when encoding fails.
std::optional<std::string_view> TextToHost(PyObject* object, PyRef& holder);

}  // namespace korvane
