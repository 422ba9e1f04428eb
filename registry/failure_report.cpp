#include "registry/failure_report.h"

#include "core/core_state.h"
#include "core/host_call.h"
#include "core/py_ref.h"
#include "core/python_errors.h"
#include "core/reporting.h"
#include "core/run_report.h"

#include <XPLMProcessing.h>

#include <map>
#include <string>
#include <tuple>
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

// "Type: message" of a normalized error, as the last line of its traceback reads.
std::string ErrorText(PyObject* type, PyObject* value) {
    std::string text = PyType_Check(type) ? reinterpret_cast<PyTypeObject*>(type)->tp_name : "error";
    PyRef message = value ? PyRef::Steal(PyObject_Str(value)) : PyRef();
    const char* utf8 = message ? PyUnicode_AsUTF8(message.get()) : nullptr;
    if (utf8 && *utf8) text.append(": ").append(utf8);
    PyErr_Clear();
    return text;
}

// "'script' callback: callable", how each line about a failed call begins.
std::string Who(const std::string& owner, const char* callback, const std::string& callable) {
    return "'" + (owner.empty() ? std::string("a script") : owner) + "' " + callback + ": " + callable;
}

// Where the error was raised: the innermost frame of its traceback, if it has one.
std::string RaisedAt(PyObject* traceback) {
    if (!traceback || !PyTraceBack_Check(traceback)) return {};
    auto* innermost = reinterpret_cast<PyTracebackObject*>(traceback);
    while (innermost->tb_next) innermost = innermost->tb_next;
    PyRef code = PyRef::Steal(reinterpret_cast<PyObject*>(PyFrame_GetCode(innermost->tb_frame)));
    PyRef file = code ? PyRef::Steal(PyObject_GetAttrString(code.get(), "co_filename")) : PyRef();
    const char* name = file && PyUnicode_Check(file.get()) ? PyUnicode_AsUTF8(file.get()) : nullptr;
    PyErr_Clear();
    return std::string(name ? name : "?") + ":" + std::to_string(innermost->tb_lineno);
}

// One way one callable fails: its script, the callback, its name, and the error's type
// and place. The message is left out, as it often carries a changing value.
using FailureKey = std::tuple<std::string, const char*, std::string, std::string>;

struct Repeats {
    long long total = 0;      // every failure of the kind this run
    long long unwritten = 0;  // counted since the last summary line
    float lastSummary = 0.0f;
    std::string lastError;  // the latest one's "Type: message"
};

// Cleared at every interpreter stop; it names failures by text only, so no object
// it held could outlive its interpreter.
std::map<FailureKey, Repeats> repeats;

void WriteSummary(const FailureKey& key, Repeats& kind) {
    const auto& [owner, callback, callable, where] = key;
    WriteLog(Who(owner, callback, callable) + " failed " + std::to_string(kind.unwritten) + " more times the same way (" +
             std::to_string(kind.total) + " in all), the last with " + kind.lastError + "\n");
    kind.unwritten = 0;
}

// Takes the error (type, value and traceback are stolen).
void Print(PyObject* type, PyObject* value, PyObject* traceback, PyObject* key, PyObject* callable,
           const char* callback, bool resultUsed) {
    const bool hasTraceback = traceback != nullptr;
    PyErr_NormalizeException(&type, &value, &traceback);
    PyRef ownedType = PyRef::Steal(type), ownedValue = PyRef::Steal(value), ownedTraceback = PyRef::Steal(traceback);
    const ScriptRecord* record = registry ? registry->FindRecord(key) : nullptr;
    const std::string owner = record ? record->Label() : std::string();
    const std::string name = CallableName(callable);
    run_report::Scope scope(owner, callback, callable);

    const char* typeName = type && PyType_Check(type) ? reinterpret_cast<PyTypeObject*>(type)->tp_name : "";
    FailureKey failure{owner, callback, name, std::string(typeName) + " " + RaisedAt(traceback)};
    Repeats& kind = repeats[failure];
    if (++kind.total > kFailuresShownInFull) {
        kind.lastError = type ? ErrorText(type, value) : std::string("an error");
        run_report::RecordError(type, value, traceback);
        ++kind.unwritten;
        const float now = XPLMGetElapsedTime();
        if (now - kind.lastSummary >= kFailureSummarySeconds) {
            WriteSummary(failure, kind);
            kind.lastSummary = now;
        }
        return;
    }
    // Python's own recursion check raises before the callable runs: no result there either.
    if (type && !hasTraceback && resultUsed && !PyErr_GivenExceptionMatches(type, PyExc_RecursionError))
        WriteLog(Who(owner, callback, name) + " gave a result that could not be used\n");
    PyErr_Restore(ownedType.release(), ownedValue.release(), ownedTraceback.release());
    PrintPythonError();
    if (kind.total == kFailuresShownInFull) {
        WriteLog(Who(owner, callback, name) +
                 " keeps failing this way; further identical failures are counted, one line every " +
                 std::to_string(static_cast<int>(kFailureSummarySeconds)) + " s\n");
        kind.lastSummary = XPLMGetElapsedTime();
    }
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

void WriteFailureSummaries() {
    for (auto& [failure, kind] : repeats)
        if (kind.unwritten > 0) WriteSummary(failure, kind);
    repeats.clear();
}

}  // namespace korvane::dispatch
