// The five entry points the simulator calls; everything else is reached from here.
#include "core/core_state.h"
#include "core/exception_barrier.h"
#include "core/host_call.h"
#include "core/python_lifecycle.h"
#include "core/reporting.h"
#include "core/script_calls.h"
#include "ui/control_panel.h"

#include <XPLMDefs.h>

#include <cstring>

namespace korvane {
namespace {
// Calls one per-script operation for every script, in load order.
template <typename Call>
void ForEachScript(Call call) {
    if (!registry) return;
    int count = registry->ScriptCount();
    for (int i = 0; i < count && i < registry->ScriptCount(); ++i) call(registry->ScriptAt(i));
}
}  // namespace

}  // namespace korvane

using namespace korvane;

// Each entry point keeps C++ exceptions inside: the simulator is C and would end.
PLUGIN_API int XPluginStart(char* outName, char* outSignature, char* outDescription) {
    HostCall call("XPluginStart");
    std::strcpy(outName, kPluginName);
    std::strcpy(outSignature, kPluginSignature);
    std::strcpy(outDescription, kPluginDescription);
    return WithinHostCall("XPluginStart", 1, [] {
        registry = std::make_unique<ScriptRegistry>();
        StartPython(0);
        ui::BuildPanelMenu();
        return 1;
    });
}

PLUGIN_API void XPluginStop() {
    HostCall call("XPluginStop");
    WithinHostCall("XPluginStop", 0, [] {
        StopPython(0);
        // The panel's windows call into this plug-in, which the simulator may unload next.
        ui::DestroyPanel();
        registry.reset();
        return 0;
    });
    CloseReportFiles();
}

PLUGIN_API int XPluginEnable() {
    HostCall call("XPluginEnable");
    // A disabled script must not make the simulator refuse the whole plug-in.
    return WithinHostCall("XPluginEnable", 1, [] {
        ForEachScript([](PyObject* script) { CallScriptEnable(script); });
        return 1;
    });
}

PLUGIN_API void XPluginDisable() {
    HostCall call("XPluginDisable");
    WithinHostCall("XPluginDisable", 0, [] {
        ForEachScript([](PyObject* script) { CallScriptDisable(script); });
        return 0;
    });
}

PLUGIN_API void XPluginReceiveMessage(XPLMPluginID sender, int message, void* parameter) {
    HostCall call("XPluginReceiveMessage");
    WithinHostCall("XPluginReceiveMessage", 0, [&] {
        ForEachScript([&](PyObject* script) {
            CallScriptReceiveMessage(script, sender, message,
                                     static_cast<long>(reinterpret_cast<std::intptr_t>(parameter)));
        });
        return 0;
    });
}
