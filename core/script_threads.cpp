#include "core/script_threads.h"

#include "core/py_ref.h"
#include "core/python_errors.h"
#include "core/reporting.h"

namespace korvane {
namespace {

// Runs with the lock held; time.sleep gives it to the waiting threads. Dropping
// threading's shutdown locks is what lets finalizing skip joining the stragglers; they
// are stopped when they next reach for the lock of the finalized interpreter.
constexpr const char* kWaitProgram = R"(
def _korvane_let_threads_go(grace, script_modules):
    import sys, time
    threading = sys.modules.get('threading')
    if threading is None:
        return []
    main = threading.main_thread()
    def running():
        return [t for t in threading.enumerate() if t is not main and t.is_alive()]
    deadline = time.monotonic() + grace
    while any(not t.daemon for t in running()) and time.monotonic() < deadline:
        time.sleep(0.01)
    left = []
    for thread in running():
        target = getattr(thread, '_target', None)
        module = getattr(target, '__module__', None) or type(thread).__module__
        left.append((thread.name, module if module in script_modules else ''))
    with threading._shutdown_locks_lock:
        threading._shutdown_locks.clear()
    return left
)";

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
    WriteLog(line + " still runs at stop; Korvane stops the interpreter without waiting for it\n");
}

}  // namespace

void LetScriptThreadsGo(const std::vector<std::string>& scriptModules) {
    PyRef globals = PyRef::Steal(PyDict_New());
    PyRef defined = globals ? PyRef::Steal(PyRun_String(kWaitProgram, Py_file_input, globals.get(), globals.get()))
                            : PyRef();
    PyObject* wait = defined ? PyDict_GetItemString(globals.get(), "_korvane_let_threads_go") : nullptr;
    PyRef modules = ModuleList(scriptModules);
    PyRef left = wait && modules ? PyRef::Steal(PyObject_CallFunction(wait, "dO", kThreadGraceSeconds, modules.get()))
                                 : PyRef();
    if (!left || !PyList_Check(left.get())) {
        PrintPythonError();
        return;
    }
    for (Py_ssize_t i = 0; i < PyList_GET_SIZE(left.get()); ++i) LogStraggler(PyList_GET_ITEM(left.get(), i));
}

}  // namespace korvane
