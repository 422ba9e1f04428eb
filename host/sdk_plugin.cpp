// XPLMPlugin in the headless host: the plug-in table, enabling, messages and reloads.
// The only code that calls these is the loaded plug-in, so "my ID" is its ID.
#include "host/host_state.h"
#include "host/widgets/widget_library.h"

#include <XPLMPlugin.h>

#include <dlfcn.h>

#include <algorithm>
#include <cstring>
#include <vector>
#include <string>
#include <utility>

namespace korvane::host {

void AddSimulatorPlugins() {
    const std::string plugins = (State().root / "Resources" / "plugins").string();
    State().plugins = {
        {1, "Virtual Camera", plugins + "/VirtualCamera/lin.xpl", "quindle.projects.virtualcamera",
         "Camera views driven through shared data", true, ParameterView::Pointer, 0, {}},
        {2, "Flight Recorder", plugins + "/FlightRecorder/lin.xpl", "example.flightrecorder",
         "Records and replays flights", true, ParameterView::Pointer, 0, {}},
        // The plug-in the host loads, after the others; its path and identity come with
        // the load, and a reload keeps its place and ID.
        {3, "", "", "", "", false, ParameterView::Pointer, 0, {}},
    };
    State().loadedPluginId = 3;
}

// The features the simulator of SDK 2.10 knew, as it starts them: plug-ins draw in the
// reflection pass unless they say otherwise, and get the platform's own paths only on
// request (on Linux the paths are the same either way).
void AddSimulatorFeatures() {
    State().features = {{"XPLM_WANTS_REFLECTIONS", true}, {"XPLM_USE_NATIVE_PATHS", false}};
}

PluginRecord* FindPlugin(XPLMPluginID id) {
    for (PluginRecord& plugin : State().plugins)
        if (plugin.id == id) return &plugin;
    return nullptr;
}

namespace {

bool IsLoadedPlugin(const PluginRecord& plugin) { return plugin.id == State().loadedPluginId; }

// The SDK's info buffers hold 256 bytes.
void CopyInfo(char* out, const std::string& text) {
    if (!out) return;
    std::size_t length = std::min<std::size_t>(text.size(), 255);
    std::memcpy(out, text.data(), length);
    out[length] = '\0';
}

void Deliver(PluginRecord& plugin, XPLMPluginID sender, int message, void* param) {
    if (!plugin.enabled) return;  // disabled plug-ins get no messages
    if (IsLoadedPlugin(plugin)) {
        if (!State().loadedEntries.receiveMessage) return;
        LoadedPluginCall call;
        State().loadedEntries.receiveMessage(sender, message, param);
        return;
    }
    ReceivedMessage received{sender, message, reinterpret_cast<std::uintptr_t>(param), {}};
    if (param && plugin.view == ParameterView::Text) received.data = static_cast<const char*>(param);
    if (param && plugin.view == ParameterView::Bytes) received.data.assign(static_cast<const char*>(param), plugin.viewBytes);
    plugin.received.push_back(std::move(received));
}

// A message to every plug-in, by ID: a receiver may change the table.
void Broadcast(XPLMPluginID sender, int message, void* param) {
    std::vector<XPLMPluginID> ids;
    for (const PluginRecord& plugin : State().plugins) ids.push_back(plugin.id);
    for (XPLMPluginID id : ids)
        if (PluginRecord* plugin = FindPlugin(id)) Deliver(*plugin, sender, message, param);
}

}  // namespace

bool LoadedPluginDisabled() { return State().loadedPluginDisabled; }

void SendSimulatorMessage(int message, std::uintptr_t parameter) {
    Broadcast(XPLM_PLUGIN_XPLANE, message, reinterpret_cast<void*>(parameter));
}

void QueueSimulatorMessage(int message, std::uintptr_t parameter) {
    State().pendingMessages.push_back({message, parameter});
}

void DeliverQueuedMessages() {
    // A receiver may load another aircraft, whose messages then wait for the next frame.
    std::vector<SimulatorMessage> messages;
    messages.swap(State().pendingMessages);
    for (const SimulatorMessage& message : messages) SendSimulatorMessage(message.message, message.parameter);
}

}  // namespace korvane::host

using namespace korvane::host;

XPLM_API XPLMPluginID XPLMGetMyID() { return State().loadedPluginId; }

XPLM_API int XPLMCountPlugins() { return static_cast<int>(State().plugins.size()); }

XPLM_API XPLMPluginID XPLMGetNthPlugin(int inIndex) {
    if (inIndex < 0 || inIndex >= XPLMCountPlugins()) return XPLM_NO_PLUGIN_ID;
    return State().plugins[static_cast<std::size_t>(inIndex)].id;
}

XPLM_API XPLMPluginID XPLMFindPluginByPath(const char* inPath) {
    if (!inPath) return XPLM_NO_PLUGIN_ID;
    for (const PluginRecord& plugin : State().plugins)
        if (plugin.path == inPath) return plugin.id;
    return XPLM_NO_PLUGIN_ID;
}

XPLM_API XPLMPluginID XPLMFindPluginBySignature(const char* inSignature) {
    if (!inSignature) return XPLM_NO_PLUGIN_ID;
    for (const PluginRecord& plugin : State().plugins)
        if (plugin.signature == inSignature) return plugin.id;
    return XPLM_NO_PLUGIN_ID;
}

XPLM_API void XPLMGetPluginInfo(XPLMPluginID inPlugin, char* outName, char* outFilePath, char* outSignature,
                       char* outDescription) {
    auto given = [](const char* buffer) { return buffer ? "buffer" : "null"; };
    RecordCall("XPLMGetPluginInfo", "plugin=" + std::to_string(inPlugin) + " name=" + given(outName) +
                                        " path=" + given(outFilePath) + " signature=" + given(outSignature) +
                                        " description=" + given(outDescription));
    const PluginRecord* plugin = FindPlugin(inPlugin);
    if (!plugin) return;
    CopyInfo(outName, plugin->name);
    CopyInfo(outFilePath, plugin->path);
    CopyInfo(outSignature, plugin->signature);
    CopyInfo(outDescription, plugin->description);
}

XPLM_API int XPLMIsPluginEnabled(XPLMPluginID inPluginID) {
    const PluginRecord* plugin = FindPlugin(inPluginID);
    return plugin && plugin->enabled ? 1 : 0;
}

XPLM_API int XPLMEnablePlugin(XPLMPluginID inPluginID) {
    RecordCall("XPLMEnablePlugin", std::to_string(inPluginID));
    PluginRecord* plugin = FindPlugin(inPluginID);
    if (!plugin) return 0;
    if (IsLoadedPlugin(*plugin)) return EnableLoadedPlugin();
    plugin->enabled = true;
    return 1;
}

XPLM_API void XPLMDisablePlugin(XPLMPluginID inPluginID) {
    RecordCall("XPLMDisablePlugin", std::to_string(inPluginID));
    PluginRecord* plugin = FindPlugin(inPluginID);
    if (!plugin) return;
    if (IsLoadedPlugin(*plugin)) return DisableLoadedPlugin();
    plugin->enabled = false;
}

XPLM_API void XPLMReloadPlugins() {
    RecordCall("XPLMReloadPlugins");
    State().reloadRequested = true;
}

XPLM_API void XPLMSendMessageToPlugin(XPLMPluginID inPlugin, int inMessage, void* inParam) {
    RecordCall("XPLMSendMessageToPlugin", "plugin=" + std::to_string(inPlugin) + " message=" +
                                              std::to_string(inMessage) + " param=" + PointerText(inParam));
    const XPLMPluginID sender = State().loadedPluginId;
    if (inPlugin != XPLM_NO_PLUGIN_ID) {
        if (PluginRecord* plugin = FindPlugin(inPlugin)) Deliver(*plugin, sender, inMessage, inParam);
        return;
    }
    Broadcast(sender, inMessage, inParam);
}

namespace korvane::host {

LoadedPluginCall::LoadedPluginCall() { ++State().loadedEntries.running; }

LoadedPluginCall::~LoadedPluginCall() {
    LoadedPluginEntries& entries = State().loadedEntries;
    if (entries.running > 1) {
        --entries.running;
        return;
    }
    // Still counted as running while the held changes are made, so that what those
    // entry points ask for waits too; a plug-in that keeps switching itself is not
    // followed for ever.
    for (int round = 0; round < 8 && entries.wanted; ++round) {
        const bool enable = *std::exchange(entries.wanted, std::nullopt);
        --entries.running;
        if (enable)
            EnableLoadedPlugin();
        else
            DisableLoadedPlugin();
        ++entries.running;
    }
    entries.wanted.reset();
    --entries.running;
}

int EnableLoadedPlugin() {
    HostState& state = State();
    PluginRecord* plugin = FindPlugin(state.loadedPluginId);
    if (!plugin || !state.loadedEntries.enable) return 0;
    if (state.loadedEntries.running > 0) {
        state.loadedEntries.wanted = true;
        return 1;
    }
    if (plugin->enabled) return 1;
    // Marked first: the plug-in's enable may ask about itself.
    plugin->enabled = true;
    state.loadedPluginDisabled = false;
    int result = 0;
    {
        LoadedPluginCall call;
        result = state.loadedEntries.enable();
        if (result == 0) {
            if (PluginRecord* again = FindPlugin(state.loadedPluginId)) again->enabled = false;
            state.loadedPluginDisabled = true;
        }
    }  // what the plug-in asked for meanwhile is carried out here
    return result;
}

void DisableLoadedPlugin() {
    HostState& state = State();
    PluginRecord* plugin = FindPlugin(state.loadedPluginId);
    if (!plugin || !state.loadedEntries.disable) return;
    if (state.loadedEntries.running > 0) {
        state.loadedEntries.wanted = false;
        return;
    }
    if (!plugin->enabled) return;
    plugin->enabled = false;
    state.loadedPluginDisabled = true;
    {
        LoadedPluginCall call;
        state.loadedEntries.disable();
    }
    ReleasePlanesOfDisabledPlugin();
}

namespace {
template <typename Function>
bool LiesIn(Function function, const void* libraryBase) {
    Dl_info info{};
    return function && ::dladdr(reinterpret_cast<const void*>(function), &info) && info.dli_fbase == libraryBase;
}

template <typename Items, typename Test>
int EraseWhere(Items& items, Test test) {
    auto before = items.size();
    std::erase_if(items, test);
    return static_cast<int>(before - items.size());
}
}  // namespace

int DropRegistrationsInto(const void* libraryBase) {
    HostState& state = State();
    auto in = [&](auto function) { return LiesIn(function, libraryBase); };
    int dropped = EraseWhere(state.flightLoops, [&](const FlightLoop& loop) { return in(loop.callback); });
    dropped += EraseWhere(state.drawCallbacks, [&](const DrawRegistration& draw) { return in(draw.callback); });
    dropped += EraseWhere(state.keySniffers, [&](const KeySnifferRegistration& sniffer) { return in(sniffer.callback); });
    dropped += EraseWhere(state.hotKeys, [&](const HotKey& key) { return in(key.callback); });
    for (const auto& command : state.commands)
        dropped += EraseWhere(command->handlers, [&](const CommandHandler& h) { return in(h.callback); });
    dropped += EraseWhere(state.windows, [&](const HostWindow& window) {
        return in(window.draw) || in(window.key) || in(window.mouse) || in(window.cursor) || in(window.wheel);
    });
    if (in(state.errorCallback)) {
        state.errorCallback = nullptr;
        ++dropped;
    }
    if (in(state.camera.callback)) {
        state.camera = {};
        ++dropped;
    }
    for (auto& [id, menu] : state.menus)
        if (in(menu.handler)) {
            menu.handler = nullptr;
            ++dropped;
        }
    for (const auto& record : state.dataRefs) {
        dropped += EraseWhere(record->sharers, [&](const Sharer& sharer) { return in(sharer.notify); });
        const Accessors& a = record->accessors;
        if (record->published && (in(a.getInt) || in(a.getFloat) || in(a.getDouble) || in(a.getInts) ||
                                  in(a.getFloats) || in(a.getBytes) || in(a.setInt) || in(a.setFloat) ||
                                  in(a.setDouble) || in(a.setInts) || in(a.setFloats) || in(a.setBytes))) {
            record->published = false;
            record->accessors = {};
            ++dropped;
        }
    }
    dropped += EraseWhere(state.scenery.loadRequests,
                          [&](const ObjectLoadRequest& request) { return in(request.callback); });
    dropped += DropAllWidgets();
    return dropped;
}

}  // namespace korvane::host

namespace {

bool* FindFeature(const char* feature, const char* function) {
    auto found = feature ? State().features.find(feature) : State().features.end();
    if (found != State().features.end()) return &found->second;
    ReportSdkError(function, std::string("unknown feature '") + (feature ? feature : "(null)") + "'");
    return nullptr;
}
}  // namespace

XPLM_API int XPLMHasFeature(const char* inFeature) {
    RecordCall("XPLMHasFeature", inFeature ? inFeature : "(null)");
    return inFeature && State().features.contains(inFeature) ? 1 : 0;
}

XPLM_API int XPLMIsFeatureEnabled(const char* inFeature) {
    RecordCall("XPLMIsFeatureEnabled", inFeature ? inFeature : "(null)");
    const bool* enabled = FindFeature(inFeature, "XPLMIsFeatureEnabled");
    return enabled && *enabled ? 1 : 0;
}

XPLM_API void XPLMEnableFeature(const char* inFeature, int inEnable) {
    RecordCall("XPLMEnableFeature", std::string(inFeature ? inFeature : "(null)") + " " + std::to_string(inEnable));
    if (bool* enabled = FindFeature(inFeature, "XPLMEnableFeature")) *enabled = inEnable != 0;
}

XPLM_API void XPLMEnumerateFeatures(XPLMFeatureEnumerator_f inEnumerator, void* inRef) {
    RecordCall("XPLMEnumerateFeatures", "refcon=" + PointerText(inRef));
    if (!inEnumerator) return ReportSdkError("XPLMEnumerateFeatures", "null enumerator");
    // The enumerator may enable features; the names it is given stay as they were.
    std::vector<std::string> names;
    for (const auto& [name, enabled] : State().features) names.push_back(name);
    for (const std::string& name : names) inEnumerator(name.c_str(), inRef);
}
