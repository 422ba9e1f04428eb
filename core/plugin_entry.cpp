// The five entry points the simulator calls; everything else is reached from here.
#include "core/core_state.h"
#include "core/host_call.h"
#include "core/python_lifecycle.h"
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

PLUGIN_API int XPluginStart(char* outName, char* outSignature, char* outDescription) {
    HostCall call("XPluginStart");
    registry = std::make_unique<ScriptRegistry>();
    StartPython(0);
    ui::BuildPanelMenu();
    std::strcpy(outName, kPluginName);
    std::strcpy(outSignature, kPluginSignature);
    std::strcpy(outDescription, kPluginDescription);
    return 1;
}

PLUGIN_API void XPluginStop() {
    HostCall call("XPluginStop");
    StopPython(0);
    // The panel's windows call into this plug-in, which the simulator may unload next.
    ui::DestroyPanel();
    registry.reset();
}

PLUGIN_API int XPluginEnable() {
    HostCall call("XPluginEnable");
    // A disabled script must not make the simulator refuse the whole plug-in.
    ForEachScript([](PyObject* script) { CallScriptEnable(script); });
    return 1;
}

PLUGIN_API void XPluginDisable() {
    HostCall call("XPluginDisable");
    ForEachScript([](PyObject* script) { CallScriptDisable(script); });
}

PLUGIN_API void XPluginReceiveMessage(XPLMPluginID sender, int message, void* parameter) {
    HostCall call("XPluginReceiveMessage");
    ForEachScript([&](PyObject* script) {
        CallScriptReceiveMessage(script, sender, message, static_cast<long>(reinterpret_cast<std::intptr_t>(parameter)));
    });
}
