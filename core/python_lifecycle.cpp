#include "core/python_lifecycle.h"

#include "core/bootstrap.h"
#include "core/camera_sharing.h"
#include "core/core_state.h"
#include "core/host_call.h"
#include "core/output_capture.h"
#include "core/py_ref.h"
#include "core/python_errors.h"
#include "core/registration_cleanup.h"
#include "core/reporting.h"
#include "core/run_report.h"
#include "core/script_calls.h"
#include "core/script_listing.h"
#include "core/script_threads.h"
#include "core/scripts_folder.h"
#include "modules/services/quindle_vc_utilities.h"
#include "modules/xplm/initialisers.h"
#include "platform/platform.h"
#include "registry/dispatch_costs.h"
#include "registry/failure_report.h"

#include <XPLMUtilities.h>

namespace korvane {
namespace {

void ReportMissingScriptsFolder(const std::string& listingPath) {
    // The log file lives in the missing folder, so this goes to the simulator's log.
    XPLMDebugString("\n*** KORVANE ERROR ***\n");
    XPLMDebugString("Path :- ");
    XPLMDebugString(listingPath.c_str());
    XPLMDebugString(" does not exist.\n");
    XPLMDebugString("You will need to create a folder called DuvodeZuzedav under the plugins folder\n");
    XPLMDebugString("*** KORVANE ERROR ***\n\n");
}

// Configured rather than plain Py_InitializeEx, which ends the whole process when the
// interpreter cannot start (a bad PYTHONHOME, a missing standard library).
bool InitializeInterpreter() {
    PyConfig config;
    PyConfig_InitPythonConfig(&config);
    config.install_signal_handlers = 0;  // the simulator owns the signal handlers
    config.parse_argv = 0;
    config.configure_c_stdio = 0;  // the simulator's standard streams are its own
    PyStatus status = Py_InitializeFromConfig(&config);
    PyConfig_Clear(&config);
    if (!PyStatus_Exception(status)) return true;
    std::string reason = status.err_msg ? status.err_msg : "unknown error";
    if (status.func) reason = std::string(status.func) + ": " + reason;
    WriteLog("Python could not start (" + reason + "); Korvane runs no scripts\n");
    return false;
}

// An interpreter kept at an earlier stop: its parked threads never run again, so this
// thread takes its lock back and the scripts are imported anew.
bool ResumeKeptInterpreter() {
    if (!Py_IsInitialized()) return false;
    PyEval_RestoreThread(PyGILState_GetThisThreadState());
    WriteLog("Python kept from the last stop (it holds parked threads); the scripts are imported anew\n");
    return true;
}

// Scripts' modules leave sys.modules, so the next start imports them afresh.
constexpr const char* kForgetScriptsProgram = R"(
def _korvane_forget_scripts(folder):
    import gc, importlib, os, sys
    folder = os.path.join(os.path.realpath(folder), '')
    for name, module in list(sys.modules.items()):
        path = getattr(module, '__file__', None)
        if isinstance(path, str) and os.path.realpath(path).startswith(folder):
            del sys.modules[name]
    importlib.invalidate_caches()
    gc.collect()
)";

void KeepInterpreter() {
    PyRef globals = PyRef::Steal(PyDict_New());
    PyRef defined = globals ? PyRef::Steal(PyRun_String(kForgetScriptsProgram, Py_file_input, globals.get(),
                                                        globals.get()))
                            : PyRef();
    PyObject* forget = defined ? PyDict_GetItemString(globals.get(), "_korvane_forget_scripts") : nullptr;
    PyRef done = forget ? PyRef::Steal(PyObject_CallFunction(forget, "s", ScriptsInterpreterPath().c_str()))
                        : PyRef();
    if (!done) PrintPythonError();
    globals = PyRef();
    defined = PyRef();
    WriteLog("Python is kept, not finalized: threads parked in it must never see their interpreter go\n");
    PyEval_SaveThread();
}

void LoadListedScripts() {
    for (const std::string& name : ScriptNameTable())
        if (LoadScript(name)) WriteLog("'" + name + "' successfully loaded\n");
}

void StartLoadedScripts(int enableScripts) {
    int count = registry->ScriptCount();
    for (int i = 0; i < count; ++i) {
        PyObject* script = registry->ScriptAt(i);
        if (CallScriptStart(script) == 1 && enableScripts == 1) CallScriptEnable(script);
    }
}

void StopLoadedScripts(int disableFirst) {
    int count = registry->ScriptCount();
    for (int i = 0; i < count; ++i) {
        PyObject* script = registry->ScriptAt(i);
        if (disableFirst == 1) CallScriptDisable(script);
        CallScriptStop(script);
    }
}

std::vector<std::string> ScriptModuleNames() {
    std::vector<std::string> names;
    for (int i = 0; i < registry->ScriptCount(); ++i)
        names.push_back(registry->FindScript(registry->ScriptAt(i))->moduleName);
    return names;
}

// Scripts are expected to undo their registrations in XPluginStop; whatever they left
// behind would call into a finalized interpreter, so it is undone here. Releasing the
// records runs Python code (__del__), which cannot register anything new any more.
void RemoveLeftoverRegistrations() {
    while (registry->RecordCount() > 0) {
        for (const auto& record : registry->TakeRecords()) {
            run_report::NoteLeftovers(*record);
            int undone = UndoHostRegistrations(*record);
            if (undone > 0)
                WriteLog("'" + record->Label() + "' left " + std::to_string(undone) +
                         " host registration(s) behind at stop; Korvane removed them\n");
        }
    }
}

}  // namespace

void StartPython(int enableScripts) {
    HostCall call("StartPython");
    outputFileEnabled = 1;
    run_report::BeginRun();
    WriteLog("+++ LOGGING STARTED +++\n");
    WriteLog(std::string(kPluginName) + " " + kVersionText + " " + kAuthorLine + "\n");

    WriteLog("Before Py_Initialize()\n");
    platform::ExposeInterpreterSymbols();
    platform::SaveHostSignals();
    if (!ResumeKeptInterpreter() && !InitializeInterpreter()) return;
    AdoptInterpreterLock();
    WriteLog("After Py_Initialize()\n");
    WriteLog("Before Modules Init\n");
    if (registry) registry->OpenRegistrations();
    profile::Start();

    const std::string listingPath = ScriptsListingPath();
    const std::string interpreterPath = ScriptsInterpreterPath();

    ShareCameraReferences();
    InitialiseSdkModules();
    RunBootstrap(interpreterPath);
    // The remote camera module's initialiser runs here, once output is captured.
    if (!InitQuindleVCUtilities()) PrintPythonError();

    if (!platform::FolderExists(listingPath)) {
        ReportMissingScriptsFolder(listingPath);
        MarkScriptFolderError();
        return;
    }
    ListScripts(listingPath);
    LoadListedScripts();
    StartLoadedScripts(enableScripts);
}

void StopPython(int disableFirst) {
    HostCall call("StopPython");
    if (registry && Py_IsInitialized()) {
        run_report::NoteScripts();
        StopLoadedScripts(disableFirst);
        // No registration may outlive the interpreter: from here on none are taken.
        registry->CloseRegistrations();
        bool keep = ParkScriptThreads(ScriptModuleNames());
        DeliverQueuedOutput();
        dispatch::ReportWaitingFailures();
        RemoveLeftoverRegistrations();
        dispatch::WriteFailureSummaries();
        // Before finalizing, while the run's callback counts still stand.
        run_report::EndRun();
        profile::Report();
        ReleaseOutputCapture();
        if (keep)
            KeepInterpreter();
        else
            Py_FinalizeEx();
        ForgetInterpreterLock();
    }
    UnshareCameraReferences();
    platform::RestoreHostSignals();
    run_report::EndRun();  // an interpreter that never came up still has its line
    WriteLog("--- LOGGING STOPPED ---\n\n");
}

}  // namespace korvane
