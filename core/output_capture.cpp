#include "core/output_capture.h"

#include "core/core_state.h"
#include "core/py_ref.h"
#include "core/reporting.h"

#include <set>
#include <string>

namespace korvane {
namespace output_capture_detail {

Streams streams;

namespace {

// Each write() is one call of PrintStdout or PrintStderr; flush() exists because
// Python 3 flushes the standard streams after tracebacks and at shutdown.
constexpr const char* kCatcherProgram =
    "import QuindleUtilities\n"
    "class StdoutCatcher:\n"
    "\tdef write(self, str):\n"
    "\t\tQuindleUtilities.PrintStdout(str)\n"
    "\tdef flush(self):\n"
    "\t\tpass\n"
    "class StderrCatcher:\n"
    "\tdef write(self, str):\n"
    "\t\tQuindleUtilities.PrintStderr(str)\n"
    "\tdef flush(self):\n"
    "\t\tpass\n"
    "out = StdoutCatcher()\n"
    "err = StderrCatcher()\n";

struct Held {
    PyRef sysDict, stdoutKey, stderrKey, out, err;
};
Held held;
// Scripts named in the log this run for replacing a stream.
std::set<std::string> named;

void SetStreams() {
    if (PyDict_SetItem(streams.sysDict, streams.stdoutKey, streams.out) < 0 ||
        PyDict_SetItem(streams.sysDict, streams.stderrKey, streams.err) < 0)
        PyErr_Clear();
}

}  // namespace

void Restore(PyObject* script) {
    PyObject* type = nullptr;
    PyObject* value = nullptr;
    PyObject* traceback = nullptr;
    PyErr_Fetch(&type, &value, &traceback);
    const ScriptRecord* record = registry && script ? registry->FindRecord(script) : nullptr;
    std::string who = record ? record->Label() : "a script";
    if (named.insert(who).second)
        WriteLog("'" + who + "' replaced sys.stdout or sys.stderr; Korvane put its output capture back\n");
    SetStreams();
    PyErr_Restore(type, value, traceback);
}

}  // namespace output_capture_detail

using namespace output_capture_detail;

void InstallOutputCapture() {
    PyRef globals = PyRef::Steal(PyDict_New());
    PyRef ran = globals ? PyRef::Steal(PyRun_String(kCatcherProgram, Py_file_input, globals.get(), globals.get()))
                        : PyRef();
    PyRef sys = PyRef::Steal(PyImport_ImportModule("sys"));
    if (!ran || !sys) return;
    held.sysDict = PyRef::Borrow(PyModule_GetDict(sys.get()));
    held.stdoutKey = PyRef::Steal(PyUnicode_InternFromString("stdout"));
    held.stderrKey = PyRef::Steal(PyUnicode_InternFromString("stderr"));
    held.out = PyRef::Borrow(PyDict_GetItemString(globals.get(), "out"));
    held.err = PyRef::Borrow(PyDict_GetItemString(globals.get(), "err"));
    if (!held.stdoutKey || !held.stderrKey || !held.out || !held.err) return;
    streams = {held.sysDict.get(), held.stdoutKey.get(), held.stderrKey.get(), held.out.get(), held.err.get()};
    named.clear();
    SetStreams();
}

void ReleaseOutputCapture() {
    streams = {};
    held = {};
}

OwnErrorStream::OwnErrorStream() {
    if (!streams.sysDict) return;
    previous_ = PyDict_GetItem(streams.sysDict, streams.stderrKey);
    Py_XINCREF(previous_);
    if (previous_ != streams.err && PyDict_SetItem(streams.sysDict, streams.stderrKey, streams.err) < 0) PyErr_Clear();
}

OwnErrorStream::~OwnErrorStream() {
    if (!streams.sysDict || previous_ == streams.err) {
        Py_XDECREF(previous_);
        return;
    }
    // What the script had stays its own; the next check after its call takes it back.
    if (previous_ ? PyDict_SetItem(streams.sysDict, streams.stderrKey, previous_) < 0
                  : PyDict_DelItem(streams.sysDict, streams.stderrKey) < 0)
        PyErr_Clear();
    Py_XDECREF(previous_);
}

}  // namespace korvane
