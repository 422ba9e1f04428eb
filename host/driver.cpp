#include "host/driver.h"

#include "host/display_input.h"
#include "host/frame_work.h"

#include <dlfcn.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <cerrno>
#include <cmath>

namespace korvane::host {

HeadlessHost::HeadlessHost(std::filesystem::path root) {
    State() = HostState{};
    // Absolute: the plug-in runs with the simulator folder as its working directory.
    State().root = root.empty() ? root : std::filesystem::absolute(root);
    AddSimulatorAircraft();
    AddSimulatorDataRefs();
    AddSimulatorCommands();
    AddSimulatorMenus();
    AddSimulatorNavigationDatabase();
    AddSimulatorPlugins();
    AddSimulatorFeatures();
}

// The simulator unloads plug-ins only at exit; the caller gets its working directory back.
HeadlessHost::~HeadlessHost() { LeaveRoot(); }

void HeadlessHost::EnterRoot() {
    std::error_code error;
    if (!callerDirectory_.empty() || Root().empty()) return;
    callerDirectory_ = std::filesystem::current_path(error);
    if (!error) std::filesystem::current_path(Root(), error);
    if (error) {
        State().log += "Cannot make the simulator folder the working directory: " + error.message() + "\n";
        callerDirectory_.clear();
    }
}

void HeadlessHost::LeaveRoot() {
    if (callerDirectory_.empty()) return;
    std::error_code ignored;
    std::filesystem::current_path(callerDirectory_, ignored);
    callerDirectory_.clear();
}

void LayOutSimulatorFolder(const std::filesystem::path& root) {
    std::error_code ignored;
    for (const char* folder : {"Output/preferences", "Output/situations", "Resources/plugins", "Aircraft"})
        std::filesystem::create_directories(root / folder, ignored);
    WriteSimulatorAircraftFiles();
}

std::filesystem::path HeadlessHost::ScriptsFolder() const {
    return Root() / "Resources" / "plugins" / "DuvodeZuzedav";
}

bool HeadlessHost::Load(const std::filesystem::path& plugin) {
    // Local scope, as the simulator loads plug-ins: they must not see each other's symbols.
    library_ = ::dlopen(plugin.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library_) {
        State().log += std::string("Failed to load plug-in: ") + ::dlerror() + "\n";
        return false;
    }
    start_ = reinterpret_cast<decltype(start_)>(::dlsym(library_, "XPluginStart"));
    stop_ = reinterpret_cast<decltype(stop_)>(::dlsym(library_, "XPluginStop"));
    enable_ = reinterpret_cast<decltype(enable_)>(::dlsym(library_, "XPluginEnable"));
    disable_ = reinterpret_cast<decltype(disable_)>(::dlsym(library_, "XPluginDisable"));
    receiveMessage_ = reinterpret_cast<decltype(receiveMessage_)>(::dlsym(library_, "XPluginReceiveMessage"));
    if (!start_ || !stop_ || !enable_ || !disable_ || !receiveMessage_) {
        State().log += "Plug-in lacks one of the five entry points\n";
        return false;
    }
    pluginPath_ = plugin;
    LayOutSimulatorFolder(Root());
    HostState& state = State();
    state.loadedEntries = {enable_, disable_, receiveMessage_, 0, std::nullopt};
    PluginRecord& record = *FindPlugin(state.loadedPluginId);
    record.path = plugin.string();
    record.enabled = false;
    return true;
}

int HeadlessHost::Start() {
    // From XPluginStart to XPluginStop the plug-in works in the simulator folder.
    EnterRoot();
    // The simulator hands out 256-byte buffers for the plug-in's identity.
    std::array<char, 256> name{}, signature{}, description{};
    int result = 0;
    {
        LoadedPluginCall call;
        result = start_(name.data(), signature.data(), description.data());
    }
    identity_ = {name.data(), signature.data(), description.data()};
    if (PluginRecord* record = FindPlugin(State().loadedPluginId)) {
        record->name = identity_.name;
        record->signature = identity_.signature;
        record->description = identity_.description;
    }
    return result;
}

int HeadlessHost::Enable() {
    // The host's enable always reaches the plug-in, even one enabled already (a test
    // may start and enable it again); XPLMEnablePlugin of an enabled one does nothing.
    if (PluginRecord* record = FindPlugin(State().loadedPluginId)) record->enabled = false;
    const int result = EnableLoadedPlugin();
    // Then the simulator loads the user's aircraft and its airport, once.
    HostState& state = State();
    if (result && !state.startAnnounced) {
        state.startAnnounced = true;
        SendSimulatorMessage(XPLM_MSG_PLANE_LOADED, XPLM_USER_AIRCRAFT);
        SendSimulatorMessage(XPLM_MSG_AIRPORT_LOADED);
        SendSimulatorMessage(XPLM_MSG_SCENERY_LOADED);
    }
    return result;
}

void HeadlessHost::Disable() { DisableLoadedPlugin(); }

void HeadlessHost::Stop() {
    {
        LoadedPluginCall call;
        stop_();
        State().loadedEntries.wanted.reset();  // a stopped plug-in is not switched any more
    }
    LeaveRoot();
}

void HeadlessHost::SendMessage(int sender, int message, void* parameter) {
    if (LoadedPluginDisabled()) return;
    LoadedPluginCall call;
    receiveMessage_(sender, message, parameter);
}

void HeadlessHost::SendSimulatorMessage(int message, std::uintptr_t parameter) {
    host::SendSimulatorMessage(message, parameter);
}

void HeadlessHost::RunFrame() {
    HostState& state = State();
    state.elapsedTime += frameSeconds_;
    ++state.cycle;
    AdvanceSimulatorClock(frameSeconds_);
    DeliverQueuedMessages();
    RunFrameWork();
    if (state.reloadRequested) ReloadPlugin();
}

void HeadlessHost::ReloadPlugin() {
    State().reloadRequested = false;
    if (!library_) return;  // nothing loaded to reload
    const PluginRecord* record = FindPlugin(State().loadedPluginId);
    if (record && record->enabled) Disable();
    Stop();
    State().loadedEntries = {};
    // The simulator forgets whatever an unloaded plug-in left registered: nothing may
    // call into code that is gone.
    Dl_info info{};
    if (::dladdr(reinterpret_cast<const void*>(start_), &info))
        if (int left = DropRegistrationsInto(info.dli_fbase); left > 0)
            State().log += "Korvane left " + std::to_string(left) + " callback(s) registered at unload; removed\n";
    ::dlclose(library_);
    library_ = nullptr;
    ++reloads_;
    if (!Load(pluginPath_)) return;
    if (Start() == 1) Enable();
}

void HeadlessHost::ReadMessageParameters(XPLMPluginID plugin, ParameterView view, std::size_t bytes) {
    if (PluginRecord* record = FindPlugin(plugin)) {
        record->view = view;
        record->viewBytes = bytes;
    }
}

std::vector<ReceivedMessage> HeadlessHost::MessagesTo(XPLMPluginID plugin) const {
    const PluginRecord* record = FindPlugin(plugin);
    return record ? record->received : std::vector<ReceivedMessage>{};
}

void HeadlessHost::RunSeconds(double seconds) {
    long frames = std::lround(seconds / frameSeconds_);
    for (long i = 0; i < frames; ++i) RunFrame();
}

void HeadlessHost::SetScreenSize(int width, int height) {
    State().screenWidth = width;
    State().screenHeight = height;
}

// Input reaches a disabled plug-in's windows, keys and menus no more than its other callbacks.
void HeadlessHost::PressKey(char key, XPLMKeyFlags flags, char virtualKey) {
    if (!LoadedPluginDisabled()) host::PressKey(key, flags, virtualKey);
}
void HeadlessHost::MouseDown(int x, int y) {
    if (!LoadedPluginDisabled()) host::MouseDown(x, y);
}
void HeadlessHost::MouseDrag(int x, int y) {
    if (!LoadedPluginDisabled()) host::MouseDrag(x, y);
}
void HeadlessHost::MouseUp(int x, int y) {
    if (!LoadedPluginDisabled()) host::MouseUp(x, y);
}

void HeadlessHost::MouseClick(int x, int y) {
    MouseDown(x, y);
    MouseUp(x, y);
}

void HeadlessHost::MouseWheel(int x, int y, int wheel, int clicks) {
    if (!LoadedPluginDisabled()) host::MouseWheel(x, y, wheel, clicks);
}
bool HeadlessHost::PickMenu(const std::string& path) { return !LoadedPluginDisabled() && PickMenuPath(path); }

int HeadlessHost::CountCalls(const std::string& function) const {
    auto count = State().callCounts.find(function);
    return count == State().callCounts.end() ? 0 : count->second;
}

void HeadlessHost::ClearCalls() {
    State().calls.clear();
    State().callCounts.clear();
}

void LayOutScriptsFolder(const std::filesystem::path& root, const std::filesystem::path& scripts) {
    std::filesystem::path folder = root / "Resources" / "plugins" / "DuvodeZuzedav";
    std::filesystem::create_directories(folder);
    for (const auto& entry : std::filesystem::directory_iterator(scripts))
        if (entry.is_regular_file())
            std::filesystem::copy_file(entry.path(), folder / entry.path().filename(),
                                       std::filesystem::copy_options::overwrite_existing);
}

std::filesystem::path MakeTemporaryFolder(const std::string& prefix) {
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "XXXXXX")).string();
    if (!::mkdtemp(pattern.data())) throw std::filesystem::filesystem_error("mkdtemp", std::error_code(errno, std::generic_category()));
    return pattern;
}

}  // namespace korvane::host
