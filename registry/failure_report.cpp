#include "registry/failure_report.h"

#include "core/core_state.h"
#include "core/host_call.h"
#include "core/py_ref.h"
#include "core/python_errors.h"
#include "core/reporting.h"
#include "core/run_report.h"

#include <string>
#include <vector>

namespace korvane::dispatch {
namespace failure_report_detail {

bool waiting = false;

namespace {

struct Failure {
    PyRef type, value, traceback;
    PyRef key, callable;
    const char* callback;
    bool resultUsed;
};

// Only the innermost callbacks fail this deep; more than this many waiting is runaway.
constexpr std::size_t kMaxWaiting = 64;
std::vector<Failure> failures;

std::string CallableName(PyObject* callable) {
    PyRef name = PyRef::Steal(PyObject_GetAttrString(callable, "__qualname__"));
    const char* text = name && PyUnicode_Check(name.get()) ? PyUnicode_AsUTF8(name.get()) : nullptr;
    if (!text) {
        PyErr_Clear();
        return Py_TYPE(callable)->tp_name;
    }
    return text;
}

void Print(PyObject* type, PyObject* value, PyObject* traceback, PyObject* key, PyObject* callable,
           const char* callback, bool resultUsed) {
    const ScriptRecord* record = registry ? registry->FindRecord(key) : nullptr;
    const std::string owner = record ? record->Label() : std::string();
    // Python's own recursion check raises before the callable runs: no result there either.
    if (type && !traceback && resultUsed && !PyErr_GivenExceptionMatches(type, PyExc_RecursionError)) {
        WriteLog("'" + (record ? owner : "a script") + "' " + callback + ": " + CallableName(callable) +
                 " gave a result that could not be used\n");
    }
    PyErr_Restore(type, value, traceback);  // steals
    run_report::Scope scope(owner, callback, callable);
    PrintPythonError();
}

}  // namespace

void ReportWaiting() {
    if (host_call_detail::state.depth > kSafeReportDepth) return;
    waiting = false;
    std::vector<Failure> taken;
    taken.swap(failures);
    for (Failure& failure : taken) {
        Print(failure.type.release(), failure.value.release(), failure.traceback.release(), failure.key.get(),
              failure.callable.get(), failure.callback, failure.resultUsed);
    }
}

}  // namespace failure_report_detail

using namespace failure_report_detail;

void ReportFailedCall(PyObject* key, PyObject* callable, const char* callback, bool resultUsed) {
    PyObject* type = nullptr;
    PyObject* value = nullptr;
    PyObject* traceback = nullptr;
    PyErr_Fetch(&type, &value, &traceback);
    if (host_call_detail::state.depth <= kSafeReportDepth) {
        Print(type, value, traceback, key, callable, callback, resultUsed);
        return;
    }
    if (failures.size() < kMaxWaiting) {
        failures.push_back({PyRef::Steal(type), PyRef::Steal(value), PyRef::Steal(traceback), PyRef::Borrow(key),
                            PyRef::Borrow(callable), callback, resultUsed});
    } else {
        PyRef dropped[] = {PyRef::Steal(type), PyRef::Steal(value), PyRef::Steal(traceback)};
    }
    waiting = true;
}

}  // namespace korvane::dispatch
