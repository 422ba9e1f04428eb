#pragma once
// The driver of the headless host: it plays the simulator towards one plug-in. It
// lays out a simulator folder, loads the plug-in, calls its entry points as the
// simulator does, runs frames, and lets tests see what the plug-in asked of it.
#include "host/gl_canvas.h"
#include "host/host_state.h"
#include "host/widgets/widget_library.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace korvane::host {

struct PluginIdentity {
    std::string name;
    std::string signature;
    std::string description;
};

class HeadlessHost {
public:
    // Starts a fresh simulator whose folder is `root`; creates nothing in it until Load.
    explicit HeadlessHost(std::filesystem::path root);
    ~HeadlessHost();
    HeadlessHost(const HeadlessHost&) = delete;
    HeadlessHost& operator=(const HeadlessHost&) = delete;

    const std::filesystem::path& Root() const { return State().root; }
    // The folder the plug-in looks for scripts in.
    std::filesystem::path ScriptsFolder() const;
    void SetListingOrder(ListingOrder order) { State().listingOrder = order; }

    // Loads the plug-in library, laying out the simulator's usual folders and aircraft
    // files first; false with a reason in Log() when it cannot.
    bool Load(const std::filesystem::path& plugin);
    // From Start to Stop the working directory is the simulator folder; Stop (or the
    // host's end) gives the caller's back.
    int Start();
    // The first enable is followed by the messages of the user's aircraft and airport
    // loading. A disabled plug-in gets no callbacks, messages or input; an enable is
    // matched by one disable, which also releases the planes the plug-in holds.
    int Enable();
    void Disable();
    void Stop();
    void SendMessage(int sender, int message, void* parameter);
    // A message from the simulator to every enabled plug-in.
    void SendSimulatorMessage(int message, std::uintptr_t parameter = 0);
    const PluginIdentity& Identity() const { return identity_; }

    // The simulator's plug-in table: the loaded plug-in and the others, which record
    // the messages sent to them. `view` says how a plug-in reads a message's parameter.
    const std::vector<PluginRecord>& Plugins() const { return State().plugins; }
    XPLMPluginID LoadedPluginId() const { return State().loadedPluginId; }
    void ReadMessageParameters(XPLMPluginID plugin, ParameterView view, std::size_t bytes = 0);
    // What the table's plug-in got; empty for an unknown ID.
    std::vector<ReceivedMessage> MessagesTo(XPLMPluginID plugin) const;
    // XPLMReloadPlugins takes effect at the end of the frame it was asked in: the
    // plug-in is disabled, stopped, unloaded, loaded, started and enabled again.
    int Reloads() const { return reloads_; }

    // Advances simulated time by one frame and runs what is due in it.
    void RunFrame();
    void RunSeconds(double seconds);
    double FrameSeconds() const { return frameSeconds_; }

    // Menus: the menu bar as the user sees it, and picking an item by its path of
    // names as shown, '/' between ("Plugins/My Menu/Item"; " / " stays in a name). PickMenu calls the item's
    // menu handler and is false when no enabled item has that path.
    std::vector<MenuLine> MenuTree() const { return MenuLines(); }
    std::string MenuTreeText() const { return FormatMenuLines(MenuLines()); }
    bool PickMenu(const std::string& path);
    // The screen, and input as a user at the simulator gives it (display_input.h).
    void SetScreenSize(int width, int height);
    void PressKey(char key, XPLMKeyFlags flags, char virtualKey);
    void MouseDown(int x, int y);
    void MouseDrag(int x, int y);
    void MouseUp(int x, int y);
    void MouseClick(int x, int y);  // down, then up at the same point
    void MouseWheel(int x, int y, int wheel, int clicks);
    // What the window under the mouse asked the cursor to be in the latest frame.
    XPLMCursorStatus Cursor() const { return State().cursor; }
    // What the screen shows after the last frame (empty when the host cannot draw, and
    // CannotDrawReason says why), and the same written as a PNG file.
    ScreenPixels ReadScreen() const { return host::ReadScreen(); }
    bool WriteScreenPng(const std::filesystem::path& file, std::string* error) const {
        return host::WriteScreenPng(file, error);
    }
    std::string CannotDrawReason() const { return ScreenCannotDrawReason(); }

    // What plug-ins registered for drawing and input: windows back to front, the rest
    // in registration order.
    const std::vector<HostWindow>& Windows() const { return State().windows; }
    XPLMWindowID KeyboardFocus() const { return State().keyboardFocus; }
    const std::vector<DrawRegistration>& DrawCallbacks() const { return State().drawCallbacks; }
    const std::vector<KeySnifferRegistration>& KeySniffers() const { return State().keySniffers; }
    const std::vector<HotKey>& HotKeys() const { return State().hotKeys; }

    // Widgets. Each root widget has a window among Windows() (its `widget` set). Roots
    // back to front; a live widget's state (nullopt, or empty children, for a handle
    // that names no live widget); the first widget with that descriptor, roots front to
    // back, each tree depth first (null when none); the widget with the keyboard focus;
    // the roots' trees as korvane-host reports them.
    std::vector<XPWidgetID> RootWidgets() const;
    std::vector<XPWidgetID> ChildWidgets(XPWidgetID widget) const;
    std::optional<WidgetView> Widget(XPWidgetID widget) const;
    XPWidgetID FindWidget(const std::string& descriptor) const;
    XPWidgetID WidgetWithFocus() const;
    std::string WidgetReport() const;

    // Commands: the simulator's own and those plug-ins created, in the order they were
    // made, and a user's press of one by name (false when there is none).
    const std::vector<std::unique_ptr<HostCommand>>& Commands() const { return State().commands; }
    bool PressCommand(const std::string& name, CommandPress press) { return host::PressCommand(name, press); }

    // Navigation: the database (index = XPLMNavRef) and the GPS's direct-to destination,
    // which it flies to while the flight plan's destination entry is empty.
    const std::vector<Navaid>& Navaids() const { return State().navaids; }
    void SetGpsDirectTo(XPLMNavRef ref) { State().directToDestination = ref; }
    // The aircraft, the user's first. Another plug-in may hold the planes: while it does,
    // the loaded plug-in's requests wait, and letting go answers each of them once.
    const std::vector<Aircraft>& AircraftList() const { return State().aircraft; }
    XPLMPluginID PlanesHolder() const { return State().planesHolder; }
    const std::vector<PlanesRequest>& PlanesRequests() const { return State().planesRequests; }
    void HoldPlanesByOtherPlugin(XPLMPluginID plugin) { HoldPlanesForOtherPlugin(plugin); }
    void ReleasePlanesByOtherPlugin() { ReleasePlanesOfOtherPlugin(); }
    const std::vector<AircraftDraw>& AircraftDraws() const { return State().aircraftDraws; }
    // The virtual camera plug-in the scripts' camera commands are meant for (a stand-in).
    void LoadVirtualCameraPlugin() { LoadVirtualCamera(); }
    const VirtualCamera& VirtualCameraPlugin() const { return State().virtualCamera; }

    // Everything the plug-in sent to XPLMDebugString.
    const std::string& Log() const { return State().log; }
    // The latest calls (at most kRecordedCallLimit); counts cover every call since the last clear.
    const std::deque<HostCall>& Calls() const { return State().calls; }
    int CountCalls(const std::string& function) const;
    void ClearCalls();

private:
    void ReloadPlugin();
    void EnterRoot();
    void LeaveRoot();

    void* library_ = nullptr;
    std::filesystem::path pluginPath_;
    std::filesystem::path callerDirectory_;  // set while the working directory is the root
    int reloads_ = 0;
    PluginIdentity identity_;
    double frameSeconds_ = 1.0 / 20.0;
    int (*start_)(char*, char*, char*) = nullptr;
    void (*stop_)() = nullptr;
    int (*enable_)() = nullptr;
    void (*disable_)() = nullptr;
    void (*receiveMessage_)(int, int, void*) = nullptr;
};

// The simulator's usual folders (Output/preferences, Output/situations, Resources/plugins,
// Aircraft) and the aircraft files the host names, where missing.
void LayOutSimulatorFolder(const std::filesystem::path& root);
// Makes the folders of a simulator below `root` up to the scripts folder and copies
// every file of `scripts` into it.
void LayOutScriptsFolder(const std::filesystem::path& root, const std::filesystem::path& scripts);
// A new, empty folder under the system's temporary folder.
std::filesystem::path MakeTemporaryFolder(const std::string& prefix);

}  // namespace korvane::host
