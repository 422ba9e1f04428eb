#include "core/python_errors.h"

#include "core/output_capture.h"
#include "core/py_ref.h"
#include "core/run_report.h"

namespace korvane {

void PrintPythonError() {
    if (!PyErr_Occurred()) return;
    PyObject* rawType = nullptr;
    PyObject* rawValue = nullptr;
    PyObject* rawTraceback = nullptr;
    PyErr_Fetch(&rawType, &rawValue, &rawTraceback);
    PyErr_NormalizeException(&rawType, &rawValue, &rawTraceback);
    PyRef type = PyRef::Steal(rawType);
    PyRef value = PyRef::Steal(rawValue);
    PyRef traceback = PyRef::Steal(rawTraceback);
    if (traceback && value) PyException_SetTraceback(value.get(), traceback.get());
    run_report::RecordError(type.get(), value.get(), traceback.get());
    run_report::PrintingError printing;
    OwnErrorStream own;  // whatever a script made of sys.stderr
    PyErr_Display(type.get(), value.get(), traceback.get());
    PyErr_Clear();  // an error raised while printing must not stay pending either
}

}  // namespace korvane
