#include "modules/services/process_guard.h"

#include "core/py_ref.h"
#include "core/reporting.h"
#include "platform/platform.h"

#include <string>

namespace korvane {
namespace {

// The interpreter's own signal.signal, kept on _signal where a later start finds it.
constexpr const char* kOriginalSignal = "_korvane_signal";

// The module name of the Python code calling now: the script, or the helper module it used.
std::string CallerModule() {
    PyObject* globals = PyEval_GetGlobals();  // borrowed
    PyObject* name = globals ? PyDict_GetItemString(globals, "__name__") : nullptr;
    const char* text = name && PyUnicode_Check(name) ? PyUnicode_AsUTF8(name) : nullptr;
    if (!text) PyErr_Clear();
    return text ? text : "a script";
}

// self: the name of the function it stands in for.
PyObject* RefuseToEndProcess(PyObject* self, PyObject*) {
    const char* function = PyUnicode_AsUTF8(self);
    WriteLog("'" + CallerModule() + "' called " + function +
             "; a script cannot end the simulator, so it got an error instead\n");
    PyErr_Format(PyExc_RuntimeError, "%s: a script cannot end the simulator", function);
    return nullptr;
}

// self: the interpreter's own signal.signal.
PyObject* GuardedSignal(PyObject* self, PyObject* args) {
    PyObject* number = nullptr;
    PyObject* handler = nullptr;
    if (!PyArg_ParseTuple(args, "OO:signal", &number, &handler)) return nullptr;
    int overflow = 0;
    long value = PyLong_Check(number) ? PyLong_AsLongAndOverflow(number, &overflow) : -1;
    if (overflow == 0 && value > 0 && value <= INT_MAX && platform::IsHostSignal(static_cast<int>(value))) {
        PyErr_Format(PyExc_ValueError,
                     "signal %ld belongs to the simulator: scripts may not install handlers for it", value);
        return nullptr;
    }
    return PyObject_Call(self, args, nullptr);
}

PyMethodDef kRefuseExit = {"_exit", RefuseToEndProcess, METH_VARARGS, "Refused: a script cannot end the simulator."};
PyMethodDef kRefuseAbort = {"abort", RefuseToEndProcess, METH_VARARGS, "Refused: a script cannot end the simulator."};
PyMethodDef kSignal = {"signal", GuardedSignal, METH_VARARGS,
                       "signal.signal, refusing the signals the simulator handles itself."};

bool Replace(const char* moduleName, const char* attribute, PyObject* replacement) {
    PyRef module = PyRef::Steal(PyImport_ImportModule(moduleName));
    return module && PyObject_SetAttrString(module.get(), attribute, replacement) == 0;
}

bool GuardExit(PyMethodDef* method, const char* shownName) {
    PyRef name = PyRef::Steal(PyUnicode_FromString(shownName));
    PyRef function = name ? PyRef::Steal(PyCFunction_New(method, name.get())) : PyRef();
    return function && Replace("posix", method->ml_name, function.get()) &&
           Replace("os", method->ml_name, function.get());
}

// signal.signal calls _signal.signal when it runs, so guarding _signal covers both.
bool GuardSignals() {
    PyRef signalModule = PyRef::Steal(PyImport_ImportModule("_signal"));
    if (!signalModule) return false;
    PyRef original = PyRef::Steal(PyObject_GetAttrString(signalModule.get(), kOriginalSignal));
    if (!original) {
        PyErr_Clear();
        original = PyRef::Steal(PyObject_GetAttrString(signalModule.get(), "signal"));
        if (!original || PyObject_SetAttrString(signalModule.get(), kOriginalSignal, original.get()) < 0) return false;
    }
    PyRef guarded = PyRef::Steal(PyCFunction_New(&kSignal, original.get()));
    return guarded && PyObject_SetAttrString(signalModule.get(), "signal", guarded.get()) == 0;
}

}  // namespace

PyObject* InstallProcessGuards() {
    if (!GuardExit(&kRefuseExit, "os._exit") || !GuardExit(&kRefuseAbort, "os.abort") || !GuardSignals())
        return nullptr;
    return PyImport_AddModule("os");
}

}  // namespace korvane
