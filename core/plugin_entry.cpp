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
#include <string>
#include <utility>

namespace korvane {
namespace {
// Calls one per-script operation for every script, in load order.
template <typename Call>
void ForEachScript(Call call) {
    if (!registry) return;
    int count = registry->ScriptCount();
    for (int i = 0; i < count && i < registry->ScriptCount(); ++i) call(registry->ScriptAt(i));
}

// Korvane's entry points never run inside one another. The simulator does not call a
// plug-in back from its own entry point, but a script can ask it to (XPLMDisablePlugin
// and XPLMEnablePlugin on Korvane's ID from its XPluginStart); run there, the scripts'
// enables would reach scripts not yet started. Such an enable or disable is held and
// carried out when the entry point that was running returns; a message that arrives
// while the scripts start or stop is not delivered (its parameter may not outlive the
// call, so it cannot wait).
enum class Entry { None, Start, Stop, Enable, Disable, Message };
Entry running = Entry::None;
enum class Wanted { Nothing, Enabled, Disabled };
Wanted wanted = Wanted::Nothing;
// The simulator's view: enabled from a successful XPluginEnable to the next XPluginDisable.
bool pluginEnabled = false;

void EnableScripts() {
    // A disabled script must not make the simulator refuse the whole plug-in.
    ForEachScript([](PyObject* script) { CallScriptEnable(script); });
    pluginEnabled = true;
}

void DisableScripts() {
    ForEachScript([](PyObject* script) { CallScriptDisable(script); });
    pluginEnabled = false;
}

// Runs `body` as the entry point, then what it was asked to do meanwhile. A script that
// keeps switching Korvane from the switch itself is not followed for ever.
const char* EntryName(Entry entry) {
    switch (entry) {
    case Entry::Start: return "XPluginStart";
    case Entry::Stop: return "XPluginStop";
    case Entry::Enable: return "XPluginEnable";
    case Entry::Disable: return "XPluginDisable";
    case Entry::Message: return "XPluginReceiveMessage";
    case Entry::None: break;
    }
    return "";
}

// C++ exceptions stay inside: the simulator is C and would end.
template <typename Body>
void RunEntry(Entry entry, Body body) {
    running = entry;
    WithinHostCall(EntryName(entry), 0, [&] {
        body();
        for (int round = 0; round < 8 && wanted != Wanted::Nothing; ++round) {
            const Wanted now = std::exchange(wanted, Wanted::Nothing);
            if (now == Wanted::Enabled && !pluginEnabled) EnableScripts();
            if (now == Wanted::Disabled && pluginEnabled) DisableScripts();
        }
        return 0;
    });
    wanted = Wanted::Nothing;
    running = Entry::None;
}

}  // namespace

}  // namespace korvane

using namespace korvane;

PLUGIN_API int XPluginStart(char* outName, char* outSignature, char* outDescription) {
    HostCall call("XPluginStart");
    RunEntry(Entry::Start, [] {
        registry = std::make_unique<ScriptRegistry>();
        pluginEnabled = false;
        StartPython(0);
        ui::BuildPanelMenu();
    });
    std::strcpy(outName, kPluginName);
    std::strcpy(outSignature, kPluginSignature);
    std::strcpy(outDescription, kPluginDescription);
    return 1;
}

PLUGIN_API void XPluginStop() {
    HostCall call("XPluginStop");
    RunEntry(Entry::Stop, [] {
        StopPython(0);
        // The panel's windows call into this plug-in, which the simulator may unload next.
        ui::DestroyPanel();
    });
    registry.reset();
    CloseReportFiles();
}

PLUGIN_API int XPluginEnable() {
    HostCall call("XPluginEnable");
    if (running != Entry::None) {
        wanted = Wanted::Enabled;
        return 1;
    }
    // The simulator enables only a disabled plug-in; a held enable may have run already.
    if (!pluginEnabled) RunEntry(Entry::Enable, EnableScripts);
    return 1;
}

PLUGIN_API void XPluginDisable() {
    HostCall call("XPluginDisable");
    if (running != Entry::None) {
        wanted = Wanted::Disabled;
        return;
    }
    if (pluginEnabled) RunEntry(Entry::Disable, DisableScripts);
}

PLUGIN_API void XPluginReceiveMessage(XPLMPluginID sender, int message, void* parameter) {
    HostCall call("XPluginReceiveMessage");
    if (running == Entry::Start || running == Entry::Stop) {
        WriteLog("Message " + std::to_string(message) + " from plug-in " + std::to_string(sender) +
                 " arrived while the scripts " + (running == Entry::Start ? "start" : "stop") +
                 "; not delivered to them\n");
        return;
    }
    // Messages sent from a message handler are delivered at once, as the simulator does.
    auto deliver = [&] {
        ForEachScript([&](PyObject* script) {
            CallScriptReceiveMessage(script, sender, message,
                                     static_cast<long>(reinterpret_cast<std::intptr_t>(parameter)));
        });
    };
    if (running == Entry::None)
        RunEntry(Entry::Message, deliver);
    else
        deliver();
}
