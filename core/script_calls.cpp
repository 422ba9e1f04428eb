#include "core/script_calls.h"

#include "core/core_state.h"
#include "core/output_capture.h"
#include "core/py_ref.h"
#include "core/python_errors.h"
#include "core/registration_cleanup.h"
#include "core/reporting.h"
#include "core/run_report.h"

namespace korvane {
namespace {

bool ScriptEnabled(PyObject* script) { return registry && registry->GetScriptEnabled(script) != 0; }

// What a run report puts an entry point's errors down to.
std::string ModuleOf(PyObject* script) {
    const ScriptRecord* record = run_report::Active() ? registry->FindScript(script) : nullptr;
    return record ? record->moduleName : std::string();
}

// Looked up anew on every call: a script may replace its entry methods while it runs.
PyRef FindEntryMethod(PyObject* script, const char* method) {
    PyRef bound = PyRef::Steal(PyObject_GetAttrString(script, method));
    if (!bound) {
        PrintPythonError();
        WriteLog(std::string("Cannot find method ") + method + "\n");
    }
    return bound;
}

PyObject* NoArguments() { return PyTuple_New(0); }

// Calls an entry method whose result the system ignores.
template <typename MakeArgs>
int CallIgnoringResult(PyObject* script, const char* method, MakeArgs makeArgs) {
    if (!ScriptEnabled(script)) return 0;
    run_report::Scope scope(ModuleOf(script), method);
    PyRef bound = FindEntryMethod(script, method);
    if (!bound) return 1;
    PyRef args = PyRef::Steal(makeArgs());
    PyRef result = args ? PyRef::Steal(PyObject_Call(bound.get(), args.get(), nullptr)) : PyRef();
    KeepOutputCaptured(script);
    if (!result) PrintPythonError();
    return 1;
}

void StoreScriptInfo(PyObject* script, PyObject* result) {
    const char* name = nullptr;
    const char* signature = nullptr;
    const char* description = nullptr;
    if (!PyTuple_Check(result)) {
        PyErr_Format(PyExc_TypeError, "XPluginStart must return a tuple of three strings, not %.200s",
                     Py_TYPE(result)->tp_name);
    } else if (PyArg_ParseTuple(result, "sss:XPluginStart", &name, &signature, &description)) {
        registry->SetScriptInfo(script, name, signature, description);
        return;
    }
    PrintPythonError();
}

// A script whose constructor raised is not loaded: whatever it registered before it
// failed goes, with its host registrations, and gets no further calls.
void ForgetFailedScript(const std::string& moduleName, std::uint64_t firstNewRecord) {
    int undone = 0;
    for (const auto& record : registry->TakeRecordsSince(firstNewRecord)) undone += UndoHostRegistrations(*record);
    if (undone > 0)
        WriteLog("'" + moduleName + "' made " + std::to_string(undone) +
                 " host registration(s) before it failed; Korvane removed them\n");
}

}  // namespace

int LoadScript(const std::string& moduleName) {
    run_report::Scope scope(moduleName, "import");
    PyRef name = PyRef::Steal(PyUnicode_DecodeFSDefault(moduleName.c_str()));
    PyRef module = name ? PyRef::Steal(PyImport_Import(name.get())) : PyRef();
    if (!module) {
        PrintPythonError();
        WriteLog("'" + moduleName + "' failed to load\n");
        return 0;
    }
    PyRef interfaceClass = PyRef::Steal(PyObject_GetAttrString(module.get(), "Korvane"));
    if (!interfaceClass) {
        PyErr_Clear();
        WriteLog("Korvane Class Missing\n");
        run_report::RecordProblem("Korvane Class Missing");
        return 0;
    }
    const std::uint64_t firstNewRecord = registry->NextSerial();
    run_report::Scope construction(moduleName, "Korvane()");
    PyRef instance = PyRef::Steal(PyObject_CallNoArgs(interfaceClass.get()));
    if (!instance) {
        PrintPythonError();
        WriteLog("Korvane Call failed\n");
        ForgetFailedScript(moduleName, firstNewRecord);
        return 0;
    }
    registry->AddScript(instance.get(), moduleName);
    KeepOutputCaptured(instance.get());  // its module's code may have replaced a stream
    return 1;
}

int CallScriptStart(PyObject* script) {
    if (!ScriptEnabled(script)) return 0;
    run_report::Scope scope(ModuleOf(script), "XPluginStart");
    PyRef bound = FindEntryMethod(script, "XPluginStart");
    if (!bound) return 1;
    PyRef result = PyRef::Steal(PyObject_CallNoArgs(bound.get()));
    KeepOutputCaptured(script);
    if (!result) {
        PrintPythonError();
        return 1;
    }
    StoreScriptInfo(script, result.get());
    return 1;
}

int CallScriptStop(PyObject* script) { return CallIgnoringResult(script, "XPluginStop", NoArguments); }
int CallScriptEnable(PyObject* script) { return CallIgnoringResult(script, "XPluginEnable", NoArguments); }
int CallScriptDisable(PyObject* script) { return CallIgnoringResult(script, "XPluginDisable", NoArguments); }

int CallScriptReceiveMessage(PyObject* script, int sender, long message, long parameter) {
    return CallIgnoringResult(script, "XPluginReceiveMessage",
                              [&] { return Py_BuildValue("(ill)", sender, message, parameter); });
}

int CallScriptReceiveMessage(PyObject* script, PyObject* sender, long message, long parameter) {
    return CallIgnoringResult(script, "XPluginReceiveMessage",
                              [&] { return Py_BuildValue("(Oll)", sender, message, parameter); });
}

}  // namespace korvane
