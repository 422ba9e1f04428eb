#include "core/python_lifecycle.h"

#include "core/bootstrap.h"
#include "core/camera_sharing.h"
#include "core/core_state.h"
#include "core/reporting.h"
#include "core/script_calls.h"
#include "core/script_listing.h"
#include "core/scripts_folder.h"
#include "modules/xplm/initialisers.h"
#include "platform/platform.h"

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

std::string ScriptLabel(const ScriptRecord& record) {
    if (!record.moduleName.empty()) return record.moduleName;
    return record.name.empty() ? "an unnamed script" : record.name;
}

// Scripts are expected to undo their registrations in XPluginStop; whatever they left
// behind would call into a finalized interpreter, so it is undone here.
void RemoveLeftoverRegistrations() {
    std::vector<ScriptRecord> records = registry->TakeRecords();
    for (ScriptRecord& record : records) {
        int undone = 0;
        for (std::vector<CallbackEntry>& list : record.entries) {
            for (CallbackEntry& entry : list) {
                if (!entry.releaseHost) continue;
                entry.releaseHost();
                ++undone;
            }
        }
        if (undone > 0)
            WriteLog("'" + ScriptLabel(record) + "' left " + std::to_string(undone) +
                     " host registration(s) behind at stop; Korvane removed them\n");
    }
}

}  // namespace

void StartPython(int enableScripts) {
    outputFileEnabled = 1;
    WriteLog("+++ LOGGING STARTED +++\n");
    WriteLog(std::string(kPluginName) + " " + kVersionText + " " + kAuthorLine + "\n");

    WriteLog("Before Py_Initialize()\n");
    platform::ExposeInterpreterSymbols();
    Py_InitializeEx(0);  // the simulator owns the signal handlers
    WriteLog("After Py_Initialize()\n");
    WriteLog("Before Modules Init\n");

    const std::string listingPath = ScriptsListingPath();
    const std::string interpreterPath = ScriptsInterpreterPath();

    ShareCameraReferences();
    InitialiseSdkModules();
    RunBootstrap(interpreterPath);
    // The remote camera module's initialiser runs here, once output is captured.

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
    if (registry && Py_IsInitialized()) {
        StopLoadedScripts(disableFirst);
        // Every reference the registry holds goes while the interpreter still runs.
        RemoveLeftoverRegistrations();
        Py_FinalizeEx();
    }
    UnshareCameraReferences();
    WriteLog("--- LOGGING STOPPED ---\n\n");
}

}  // namespace korvane
