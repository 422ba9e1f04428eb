#include "registry/failure_report.h"

#include "core/core_state.h"
#include "core/py_ref.h"
#include "core/python_errors.h"
#include "core/reporting.h"
#include "core/run_report.h"

#include <string>

namespace korvane::dispatch {
namespace {

std::string CallableName(PyObject* callable) {
    PyRef name = PyRef::Steal(PyObject_GetAttrString(callable, "__qualname__"));
    const char* text = name && PyUnicode_Check(name.get()) ? PyUnicode_AsUTF8(name.get()) : nullptr;
    if (!text) {
        PyErr_Clear();
        return Py_TYPE(callable)->tp_name;
    }
    return text;
}

}  // namespace

void ReportFailedCall(PyObject* key, PyObject* callable, const char* callback) {
    PyObject* type = nullptr;
    PyObject* value = nullptr;
    PyObject* traceback = nullptr;
    PyErr_Fetch(&type, &value, &traceback);
    const ScriptRecord* record = registry ? registry->FindRecord(key) : nullptr;
    const std::string owner = record ? record->Label() : std::string();
    if (type && !traceback) {
        WriteLog("'" + (record ? owner : "a script") + "' " + callback + ": " + CallableName(callable) +
                 " gave a result that could not be used\n");
    }
    PyErr_Restore(type, value, traceback);
    run_report::Scope scope(owner, callback, callable);
    PrintPythonError();
}

}  // namespace korvane::dispatch
