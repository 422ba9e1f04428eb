#include "core/bootstrap.h"

#include "core/output_capture.h"
#include "core/py_ref.h"
#include "core/python_errors.h"
#include "core/reporting.h"
#include "modules/services/quindle_utilities.h"

namespace korvane {
namespace {

// The path goes in as data, never as source text, so quotes and non-ASCII
// characters in the simulator's folder cannot break the program.
void AppendToSysPath(const std::string& path) {
    PyObject* sysPath = PySys_GetObject("path");  // borrowed
    PyRef entry = PyRef::Steal(PyUnicode_DecodeFSDefaultAndSize(path.data(), static_cast<Py_ssize_t>(path.size())));
    if (!sysPath || !entry) {
        PrintPythonError();
        return;
    }
    // An interpreter kept from an earlier start has it already.
    int present = PySequence_Contains(sysPath, entry.get());
    if (present < 0 || (present == 0 && PyList_Append(sysPath, entry.get()) < 0)) PrintPythonError();
}

}  // namespace

void RunBootstrap(const std::string& interpreterPath) {
    if (PyObject* module = InitQuindleUtilities()) {
        PyDict_SetItemString(PyModule_GetDict(module), "__builtins__", PyEval_GetBuiltins());
    }
    PrintPythonError();
    AppendToSysPath(interpreterPath);
    InstallOutputCapture();
    WriteLog("Using path below for script path\n");
    WriteLog(interpreterPath);
    WriteLog("\n");
}

}  // namespace korvane
