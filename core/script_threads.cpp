#include "core/script_threads.h"

#include "core/py_ref.h"
#include "core/python_errors.h"
#include "core/reporting.h"

#include <string>

namespace korvane {
namespace {

// The park: a lock taken once and never given back. A parked thread waits on it for
// good without the interpreter lock, in the interpreter's own code, so neither a
// reload of the plug-in nor anything after it can wake it. The function is kept on
// _thread, which lives as long as the interpreter: for good once a thread waits in it.
constexpr const char* kParkProgram = R"(
import _thread
_lock = _thread.allocate_lock()
_lock.acquire()
def park(*args):
    _lock.acquire()
_thread._korvane_park = park
)";

// Runs with the lock held; time.sleep gives it to the waiting threads. A thread still
// running after the grace period has every frame it runs traced by the park, so it
// parks at its next line; it is dropped from threading's tables, so later starts and
// stops do not see it, and finalizing never waits for it.
constexpr const char* kWaitProgram = R"(
def _korvane_let_threads_go(grace, script_modules, park):
    import sys, time, _thread
    threading = sys.modules.get('threading')
    main_ident = _thread.get_ident()
    def running():
        if threading is None:
            return []
        return [t for t in threading.enumerate() if t.ident != main_ident and t.is_alive()]
    deadline = time.monotonic() + grace
    while running() and time.monotonic() < deadline:
        time.sleep(0.01)
    left = []
    for thread in running():
        target = getattr(thread, '_target', None)
        module = getattr(target, '__module__', None) or type(thread).__module__
        left.append((thread.name, module if module in script_modules else ''))
        with threading._active_limbo_lock:
            threading._active.pop(thread.ident, None)
    for ident, frame in sys._current_frames().items():
        while ident != main_ident and frame is not None:
            frame.f_trace = park
            frame = frame.f_back
    if threading is not None:
        with threading._shutdown_locks_lock:
            threading._shutdown_locks.clear()
    return left
)";

PyRef ParkFunction() {
    PyRef thread = PyRef::Steal(PyImport_ImportModule("_thread"));
    if (!thread) return PyRef();
    PyRef park = PyRef::Steal(PyObject_GetAttrString(thread.get(), "_korvane_park"));
    if (park) return park;
    PyErr_Clear();
    PyRef globals = PyRef::Steal(PyDict_New());
    PyRef ran = globals ? PyRef::Steal(PyRun_String(kParkProgram, Py_file_input, globals.get(), globals.get()))
                        : PyRef();
    return ran ? PyRef::Steal(PyObject_GetAttrString(thread.get(), "_korvane_park")) : PyRef();
}

// The interpreter's own trace trampoline (what sys.settrace installs), which calls a
// Python function: read off this thread after a settrace, then this thread's tracing is
// put back. The parked threads' tracing must not point into the plug-in, which the
// simulator may unload.
Py_tracefunc TraceTrampoline(PyObject* park) {
    PyThreadState* self = PyThreadState_Get();
    Py_tracefunc savedFunction = self->c_tracefunc;
    PyRef savedObject = PyRef::Borrow(self->c_traceobj);
    PyRef sys = PyRef::Steal(PyImport_ImportModule("sys"));
    PyRef set = sys ? PyRef::Steal(PyObject_CallMethod(sys.get(), "settrace", "O", park)) : PyRef();
    Py_tracefunc trampoline = set ? self->c_tracefunc : nullptr;
    PyEval_SetTrace(savedFunction, savedObject.get());
    return trampoline;
}

// Every thread of the interpreter but this one is traced by the park from its next
// call on; true when any such thread exists (parked now or at an earlier stop), which
// the interpreter must then outlive.
bool TraceOtherThreads(PyObject* park) {
    Py_tracefunc trampoline = park ? TraceTrampoline(park) : nullptr;
    if (!trampoline) PrintPythonError();
    PyThreadState* self = PyThreadState_Get();
    bool others = false;
    for (PyThreadState* thread = PyInterpreterState_ThreadHead(self->interp); thread;
         thread = PyThreadState_Next(thread)) {
        if (thread == self) continue;
        others = true;
        if (trampoline && thread->c_traceobj != park && _PyEval_SetTrace(thread, trampoline, park) < 0) PrintPythonError();
    }
    return others;
}

PyRef ModuleList(const std::vector<std::string>& scriptModules) {
    PyRef list = PyRef::Steal(PyList_New(0));
    for (const std::string& name : scriptModules) {
        PyRef text = PyRef::Steal(PyUnicode_DecodeFSDefault(name.c_str()));
        if (!list || !text || PyList_Append(list.get(), text.get()) < 0) return PyRef();
    }
    return list;
}

void LogStraggler(PyObject* item) {
    const char* name = nullptr;
    const char* script = nullptr;
    if (!PyArg_ParseTuple(item, "ss", &name, &script)) {
        PrintPythonError();
        return;
    }
    std::string line = std::string("Thread '") + name + "'";
    if (*script) line += std::string(" of '") + script + "'";
    WriteLog(line + " still runs at stop; Korvane parks it for good at its next step (it never runs again)\n");
}

}  // namespace

bool ParkScriptThreads(const std::vector<std::string>& scriptModules) {
    PyRef park = ParkFunction();
    PyRef globals = PyRef::Steal(PyDict_New());
    PyRef defined = park && globals
                        ? PyRef::Steal(PyRun_String(kWaitProgram, Py_file_input, globals.get(), globals.get()))
                        : PyRef();
    PyObject* wait = defined ? PyDict_GetItemString(globals.get(), "_korvane_let_threads_go") : nullptr;
    PyRef modules = ModuleList(scriptModules);
    PyRef left = wait && modules ? PyRef::Steal(PyObject_CallFunction(wait, "dOO", kThreadGraceSeconds,
                                                                      modules.get(), park.get()))
                                 : PyRef();
    if (!left || !PyList_Check(left.get())) {
        PrintPythonError();
    } else {
        for (Py_ssize_t i = 0; i < PyList_GET_SIZE(left.get()); ++i) LogStraggler(PyList_GET_ITEM(left.get(), i));
    }
    return TraceOtherThreads(park.get());
}

}  // namespace korvane
