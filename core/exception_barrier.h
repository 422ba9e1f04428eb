#pragma once
// No C++ exception may leave Korvane: one that reached the interpreter or the host
// would unwind through C frames and end the simulator. Bindings turn an exception into
// the Python error the script sees; calls from the host log it and give their fallback.
#include <Python.h>

#include <string_view>

namespace korvane {

// Inside a catch block: the exception being handled as a Python error, MemoryError for
// an allocation that failed, RuntimeError otherwise. Always returns null.
PyObject* RaiseCaughtException();

// Inside a catch block: one log line naming the host call and the exception, after
// any Python error the interrupted work left pending.
void LogCaughtException(std::string_view function);

// Runs `body`; when it throws, the exception is logged and `fallback` returned.
template <typename Result, typename Body>
Result WithinHostCall(std::string_view function, Result fallback, Body body) noexcept {
    try {
        return body();
    } catch (...) {
        LogCaughtException(function);
        return fallback;
    }
}

}  // namespace korvane
