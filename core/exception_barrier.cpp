#include "core/exception_barrier.h"

#include "core/python_errors.h"
#include "core/reporting.h"

#include <exception>
#include <new>
#include <string>

namespace korvane {
namespace {

// Inside a catch block: what the exception says, for a message or a log line.
std::string CaughtText() {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        return "out of memory";
    } catch (const std::exception& error) {
        return error.what();
    } catch (...) {
        return "unknown C++ exception";
    }
}

}  // namespace

PyObject* RaiseCaughtException() {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        return PyErr_NoMemory();
    } catch (const std::exception& error) {
        PyErr_Format(PyExc_RuntimeError, "Korvane could not complete the call: %s", error.what());
    } catch (...) {
        PyErr_SetString(PyExc_RuntimeError, "Korvane could not complete the call");
    }
    return nullptr;
}

void LogCaughtException(std::string_view function) {
    try {
        // What the interrupted work left pending goes first, so no error stays behind.
        if (Py_IsInitialized() && PyGILState_Check()) PrintPythonError();
        std::string line = "Korvane: ";
        line.append(function).append(" stopped by an internal error (").append(CaughtText()).append(")\n");
        WriteLog(line);
    } catch (...) {
        // Out of memory even for the line: the host still gets its fallback.
    }
}

}  // namespace korvane
