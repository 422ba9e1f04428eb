#pragma once
// The headless host's memory: what the simulator would hold for the plug-in it runs.
// One host per process, as there is one simulator.
#include <XPLMCamera.h>
#include <XPLMDataAccess.h>
#include <XPLMMenus.h>
#include <XPLMNavigation.h>
#include <XPLMPlanes.h>
#include <XPLMDisplay.h>
#include <XPLMPlugin.h>
#include <XPLMProcessing.h>
#include <XPLMUtilities.h>

#include "host/scenery_state.h"
#include "host/widgets/widget_state.h"

#include <array>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace korvane::host {

struct HostCall {
    std::string function;
    std::string detail;
};

// The call record keeps this many of the latest calls, so a long run stays small;
// the per-function counts cover every call.
inline constexpr std::size_t kRecordedCallLimit = 100000;

enum class ListingOrder { Sorted, Reversed };

// One plug-in sharing a data reference, told when another changes it.
struct Sharer {
    XPLMDataChanged_f notify;
    void* refcon;
};

// The twelve accessor functions another plug-in published a data reference with.
struct Accessors {
    XPLMGetDatai_f getInt = nullptr;
    XPLMSetDatai_f setInt = nullptr;
    XPLMGetDataf_f getFloat = nullptr;
    XPLMSetDataf_f setFloat = nullptr;
    XPLMGetDatad_f getDouble = nullptr;
    XPLMSetDatad_f setDouble = nullptr;
    XPLMGetDatavi_f getInts = nullptr;
    XPLMSetDatavi_f setInts = nullptr;
    XPLMGetDatavf_f getFloats = nullptr;
    XPLMSetDatavf_f setFloats = nullptr;
    XPLMGetDatab_f getBytes = nullptr;
    XPLMSetDatab_f setBytes = nullptr;
    void* readRefcon = nullptr;
    void* writeRefcon = nullptr;
};

// A data reference; its address is the XPLMDataRef handed out. Handles stay valid for
// the life of the host, as the simulator's do, even after their owner goes.
struct DataRefRecord {
    std::string name;
    XPLMDataTypeID types = xplmType_Unknown;
    bool writable = true;
    bool readOnlyWriteLogged = false;  // a refused write is logged once per reference
    // Values of a data reference the host itself (or shared data) holds.
    int intValue = 0;
    float floatValue = 0;
    double doubleValue = 0;
    std::vector<int> ints;
    std::vector<float> floats;
    std::vector<std::uint8_t> bytes;
    // Set while a plug-in serves the data reference through accessors.
    bool published = false;
    Accessors accessors;
    std::vector<Sharer> sharers;
};

// A registered flight loop. An interval schedules it in seconds when positive, in
// frames when negative, and not at all when 0; each call's result is its next interval.
struct FlightLoop {
    enum class Schedule { Off, AtTime, AtCycle };
    XPLMFlightLoop_f callback = nullptr;
    void* refcon = nullptr;
    Schedule schedule = Schedule::Off;
    double nextCallTime = 0;
    long nextCallCycle = 0;
    double lastCallTime = 0;  // the registration's time until the first call
    long lastCallCycle = 0;
    bool removed = false;     // unregistered during a flight-loop pass; erased after it
    // SDK 2.10 flight loops (XPLMCreateFlightLoop) have an ID, never reused, and a phase;
    // registered ones have neither and run after the flight model.
    XPLMFlightLoopID id = nullptr;
    XPLMFlightLoopPhaseType phase = xplm_FlightLoop_Phase_AfterFlightModel;
};

struct CameraControl {
    XPLMCameraControlDuration howLong = 0;
    XPLMCameraControl_f callback = nullptr;
    void* refcon = nullptr;
};

struct MenuItem {
    std::string name;  // empty for a separator
    void* ref = nullptr;
    bool separator = false;
    bool enabled = true;
    XPLMMenuCheck check = xplm_Menu_NoCheck;
    XPLMMenuID submenu = nullptr;  // the menu this item opens, if any
};

// A menu; its items are picked through its handler.
struct Menu {
    std::string name;
    XPLMMenuHandler_f handler = nullptr;
    void* refcon = nullptr;
    std::vector<MenuItem> items;
};

// A plug-in window. Its ID is a serial number, never reused, so a destroyed window's
// ID never reaches a later one.
struct HostWindow {
    XPLMWindowID id = nullptr;
    int left = 0, top = 0, right = 0, bottom = 0;
    bool visible = false;
    XPLMDrawWindow_f draw = nullptr;
    XPLMHandleKey_f key = nullptr;
    XPLMHandleMouseClick_f mouse = nullptr;
    void* refcon = nullptr;
    XPWidgetID widget = nullptr;  // set for the window of a root widget
    XPLMHandleCursor_f cursor = nullptr;     // XPLMCreateWindowEx windows only
    XPLMHandleMouseWheel_f wheel = nullptr;  // XPLMCreateWindowEx windows only
};

struct DrawRegistration {
    XPLMDrawCallback_f callback = nullptr;
    XPLMDrawingPhase phase = 0;
    int before = 0;
    void* refcon = nullptr;
};

struct KeySnifferRegistration {
    XPLMKeySniffer_f callback = nullptr;
    int beforeWindows = 0;
    void* refcon = nullptr;
};

struct HotKey {
    XPLMHotKeyID id = nullptr;
    char virtualKey = 0;
    XPLMKeyFlags flags = 0;
    std::string description;
    XPLMHotKey_f callback = nullptr;
    void* refcon = nullptr;
};

// A plug-in's handler on a command. `removed` marks one unregistered while a chain of
// the command runs; it is erased once no chain runs any more.
struct CommandHandler {
    XPLMCommandCallback_f callback = nullptr;
    int before = 0;
    void* refcon = nullptr;
    bool removed = false;
};

// A command; its address is the XPLMCommandRef handed out, valid for the life of the
// host. `action` is what the simulator itself does in each phase (none for most).
struct HostCommand {
    std::string name;
    std::string description;
    bool createdByPlugin = false;
    void (*action)(XPLMCommandPhase phase) = nullptr;
    std::vector<CommandHandler> handlers;  // in registration order
    bool held = false;                     // begun and not yet ended: continues every frame
    int runningChains = 0;
};

// How a user (an events file) presses a command.
enum class CommandPress { Once, Begin, End };

// One navaid of the navigation database; its index there is its XPLMNavRef.
struct Navaid {
    XPLMNavType type = xplm_Nav_Unknown;
    std::string id;
    float latitude = 0, longitude = 0;
    float height = 0;    // metres above sea level
    int frequency = 0;   // NDBs in kHz, other radios in 10 kHz units, 0 for none
    float heading = 0;   // VORs: slaved variation; ILS parts: the approach's true course;
                         // glideslopes: slope times 100,000 plus that course
    std::string name;
    char reg = 1;        // in the scenery region loaded now
};

// One FMS entry: empty (type unknown), a navaid, or a latitude and longitude.
struct FmsEntry {
    XPLMNavType type = xplm_Nav_Unknown;
    XPLMNavRef ref = XPLM_NAV_NOT_FOUND;
    int altitude = 0;  // feet
    float latitude = 0, longitude = 0;
};
inline constexpr int kFmsEntryCount = 100;

// How many aircraft the simulator has, the user's (index 0) included.
inline constexpr int kAircraftSlots = 20;

// One aircraft: its model and where it is.
struct Aircraft {
    std::string fileName;
    std::string path;
    double x = 0, y = 0, z = 0;
    float pitch = 0, roll = 0, heading = 0;
    bool aiDisabled = false;
};

// A plug-in's request for the planes, answered when their holder lets them go.
struct PlanesRequest {
    XPLMPlanesAvailable_f callback = nullptr;
    void* refcon = nullptr;
};

// One XPLMDrawAircraft call as the host received it.
struct AircraftDraw {
    int index = 0;
    float x = 0, y = 0, z = 0, pitch = 0, roll = 0, yaw = 0;
    int fullDraw = 0;
    XPLMPlaneDrawState_t state{};
};

// The remote camera plug-in's view of the fourteen shared values.
struct VirtualCameraView {
    int cameraIndex = 0;
    int cameraTypeIndex = 0;
    float xOffset = 0, yOffset = 0, zOffset = 0;
    float headingOffset = 0, pitchOffset = 0, rollOffset = 0;
    float zoomRatio = 0;
    int lookAtAircraft = 0;
};

// A stand-in for the separate virtual camera plug-in: once loaded it reads the shared
// values every frame and carries out (and clears) the commands written to it.
struct VirtualCamera {
    bool loaded = false;
    int acquires = 0;
    int releases = 0;
    int sets = 0;
    bool holdsCamera = false;
    VirtualCameraView seen;     // as read in the latest frame
    VirtualCameraView applied;  // as read when the latest set command arrived
};

// How a plug-in of the table reads the parameter of a message it receives: the
// pointer value only, the zero-terminated text it points to, or a number of bytes.
enum class ParameterView { Pointer, Text, Bytes };

struct ReceivedMessage {
    XPLMPluginID sender = XPLM_NO_PLUGIN_ID;
    int message = 0;
    std::uintptr_t parameter = 0;
    std::string data;  // what the parameter pointed to, read as the plug-in's view asks
};

// A plug-in the simulator has loaded. The loaded plug-in (Korvane) is reached through
// its entry points; the others only record the messages sent to them.
struct PluginRecord {
    XPLMPluginID id = XPLM_NO_PLUGIN_ID;
    std::string name;
    std::string path;
    std::string signature;
    std::string description;
    bool enabled = true;
    ParameterView view = ParameterView::Pointer;
    std::size_t viewBytes = 0;  // for ParameterView::Bytes
    std::vector<ReceivedMessage> received;
};

// The loaded plug-in's entry points, for the SDK calls that reach it; null while it is
// not loaded.
struct LoadedPluginEntries {
    int (*enable)() = nullptr;
    void (*disable)() = nullptr;
    void (*receiveMessage)(XPLMPluginID, int, void*) = nullptr;
    // How many of its entry points are running, and the state it was asked for meanwhile.
    int running = 0;
    std::optional<bool> wanted;
};

// The data references the host's clock moves every frame.
struct SimulatorClock {
    DataRefRecord* runningTime = nullptr;
    DataRefRecord* flightTime = nullptr;
    DataRefRecord* zuluTime = nullptr;
    DataRefRecord* localTime = nullptr;
    std::array<DataRefRecord*, 3> zuluParts{};  // hours, minutes, seconds
    std::array<DataRefRecord*, 3> localParts{};
};

// A message the simulator sends its plug-ins once the current frame's callbacks are done.
struct SimulatorMessage {
    int message = 0;
    std::uintptr_t parameter = 0;
};

// Open while one of the loaded plug-in's entry points runs. The simulator never calls a
// plug-in from inside its own entry point: an enable or disable of it asked for meanwhile
// is carried out when the outermost one returns.
class LoadedPluginCall {
public:
    LoadedPluginCall();
    ~LoadedPluginCall();
    LoadedPluginCall(const LoadedPluginCall&) = delete;
    LoadedPluginCall& operator=(const LoadedPluginCall&) = delete;
};
// The loaded plug-in's XPluginEnable and XPluginDisable as the simulator calls them:
// only when they change its state, and held while one of its entry points runs.
// EnableLoadedPlugin gives the plug-in's answer (1 when it was enabled already or waits).
int EnableLoadedPlugin();
void DisableLoadedPlugin();

struct HostState {
    std::filesystem::path root;  // the simulator folder
    ListingOrder listingOrder = ListingOrder::Sorted;
    std::string log;             // everything XPLMDebugString received
    std::deque<HostCall> calls;  // the latest calls, oldest first
    std::unordered_map<std::string, int> callCounts;
    std::vector<std::unique_ptr<DataRefRecord>> dataRefs;
    std::unordered_map<std::string, DataRefRecord*> dataRefsByName;
    std::unordered_set<const void*> dataRefHandles;  // every handle ever handed out
    SimulatorClock clock;

    double elapsedTime = 0;
    long cycle = 0;
    std::vector<FlightLoop> flightLoops;
    std::uintptr_t lastFlightLoopSerial = 0;
    bool runningFlightLoops = false;
    double lastFlightLoopPass = 0;

    CameraControl camera;  // callback null while nobody controls the camera
    XPLMCameraPosition_t cameraPosition{0, 0, 0, 0, 0, 0, 1.0f};

    // What XPLMGetVersions and XPLMGetLanguage answer: X-Plane 10.00, whose SDK is 2.10.
    int simulatorVersion = 10000;
    int sdkVersion = 210;
    XPLMHostApplicationID hostApplication = xplm_Host_XPlane;
    XPLMLanguageCode language = xplm_Language_English;
    // The point the local OpenGL frame is centred on, below the aircraft (see sdk_graphics.cpp).
    double localOriginLatitude = 47.4502;
    double localOriginLongitude = -122.3088;
    int nextTextureNumber = 100;  // below it, the simulator's own textures
    // Menus by ID. IDs are never given out twice, so a destroyed menu's ID stays unknown.
    std::map<XPLMMenuID, Menu> menus;
    std::vector<XPLMMenuID> menuBar;  // the plug-ins menu first, then plug-ins' own menus
    XPLMMenuID pluginsMenu = nullptr;
    std::uintptr_t menusMade = 0;
    int screenWidth = 1024;
    int screenHeight = 768;
    int mouseX = 0;
    int mouseY = 0;
    std::vector<HostWindow> windows;  // back to front
    std::uintptr_t lastWindowSerial = 0;
    XPLMWindowID keyboardFocus = nullptr;
    XPLMWindowID mouseCapture = nullptr;  // the window that took the last mouse down
    // What the window under the mouse asked the cursor to be in the latest frame.
    XPLMCursorStatus cursor = xplm_CursorDefault;
    std::vector<DrawRegistration> drawCallbacks;
    std::vector<KeySnifferRegistration> keySniffers;
    std::vector<HotKey> hotKeys;
    std::uintptr_t lastHotKeySerial = 0;
    // The simulator's commands and those plug-ins created, in the order they were made.
    std::vector<std::unique_ptr<HostCommand>> commands;
    std::unordered_map<std::string, HostCommand*> commandsByName;
    std::unordered_set<const void*> commandHandles;
    std::vector<Navaid> navaids;  // ordered by type, as the simulator keeps them
    std::array<FmsEntry, kFmsEntryCount> flightPlan{};
    int displayedFmsEntry = 0;
    int destinationFmsEntry = 0;
    XPLMNavRef directToDestination = XPLM_NAV_NOT_FOUND;  // the GPS's own when the flight plan is empty
    std::vector<Aircraft> aircraft;  // kAircraftSlots of them, the user's first
    int activeAircraft = 1;
    std::string userAirport;
    XPLMPluginID planesHolder = XPLM_NO_PLUGIN_ID;
    std::vector<PlanesRequest> planesRequests;  // the loaded plug-in's, waiting for the planes
    std::vector<AircraftDraw> aircraftDraws;
    VirtualCamera virtualCamera;
    // The plug-in table in load order; the loaded plug-in is known by loadedPluginId.
    std::vector<PluginRecord> plugins;
    XPLMPluginID loadedPluginId = XPLM_NO_PLUGIN_ID;
    LoadedPluginEntries loadedEntries;
    // The plug-in system's features by name, enabled or not, as the simulator starts them.
    std::map<std::string, bool> features;
    // The loaded plug-in's error callback (XPLMSetErrorCallback), told of bad SDK calls.
    XPLMError_f errorCallback = nullptr;
    // Names XPLMFindSymbol answers null for, as an older simulator would.
    std::unordered_set<std::string> withheldSymbols;
    // Asked for by XPLMReloadPlugins; done once the frame's callbacks have returned.
    bool reloadRequested = false;
    // What loading an aircraft or an airport makes the simulator announce, delivered
    // before the next frame's callbacks.
    std::vector<SimulatorMessage> pendingMessages;
    bool startAnnounced = false;  // the user's aircraft and airport, after the first enable
    bool loadedPluginDisabled = false;
    WidgetLibraryState widgets;
    SceneryState scenery;
};

HostState& State();
void RecordCall(std::string function, std::string detail = {});
// A pointer as call details show it: "0x" and lower-case hex, as Python's hex(id(x)).
std::string PointerText(const void* pointer);
// The flight loops registered now (unregistered ones excluded), in registration order.
std::vector<FlightLoop> LiveFlightLoops();
DataRefRecord* FindDataRefRecord(const std::string& name);
// Finds or makes the named data reference.
DataRefRecord& DataRefNamed(const std::string& name);
// Sets a scalar the host holds: one value under every scalar type it serves (an int
// that is also a float reads the same under both).
void SetScalar(DataRefRecord& record, double value);
HostWindow* FindWindow(XPLMWindowID id);
// A bad SDK call the host detected: noted in the simulator's log and told to the
// plug-in's error callback, if it set one.
void ReportSdkError(const std::string& function, const std::string& problem);
// The features of a fresh simulator (sdk_plugin.cpp).
void AddSimulatorFeatures();
// The topmost visible window (widget roots included); null when none is shown.
XPLMWindowID FrontWindow();
HotKey* FindHotKey(XPLMHotKeyID id);
// The simulator's own data references, as a fresh host carries them: the catalogue
// (simulator_datarefs.tsv) with the user's aircraft state, and the host's own.
void AddSimulatorDataRefs();
// Adds every reference the catalogue `file` lists, valued zero; false with the reason in
// `error` when the file cannot be read, unreadable lines are skipped and named there.
bool LoadDataRefCatalogue(const std::filesystem::path& file, std::string* error = nullptr);
// The catalogue shipped with the host (KORVANE_DATAREFS names another copy).
void AddSimulatorDataRefCatalogue();
// The user's aircraft parked at KSEA: position, attitude, engines, fuel, weather, radios,
// autopilot and clock (aircraft_state.cpp).
void SetUserAircraftState();
// Puts the user's aircraft on the ground at that point, in every reference that says where it is.
void SetUserAircraftPosition(double latitude, double longitude, double elevation);
// Moves the simulator's clocks on by `seconds`.
void AdvanceSimulatorClock(double seconds);
// Replaces the navigation database with the one in `file` (navigation_database.txt's
// format); false with the reason in `error` when the file cannot be read, the lines
// that cannot be read are skipped and named there.
bool LoadNavigationDatabase(const std::filesystem::path& file, std::string* error = nullptr);
// The database shipped with the host (KSEA and around), empty with a note on standard
// error when it cannot be found.
void AddSimulatorNavigationDatabase();
const Navaid* FindNavaid(XPLMNavRef ref);
// The aircraft of a fresh host: the user's and nineteen others, spread around the airport.
void AddSimulatorAircraft();
// Writes the aircraft files the host names, where missing, below the root.
void WriteSimulatorAircraftFiles();
// Another plug-in takes the planes; when it lets them go, every waiting request of the
// loaded plug-in is answered once.
void HoldPlanesForOtherPlugin(XPLMPluginID plugin);
void ReleasePlanesOfOtherPlugin();
// Loads the virtual camera stand-in: it shares the fourteen values and reports ready.
void LoadVirtualCamera();
// The simulator's own commands, as a fresh host carries them.
void AddSimulatorCommands();
// The command of that name; null when there is none.
HostCommand* FindHostCommand(const std::string& name);
// A user presses (holds, releases) the named command; false when there is none.
bool PressCommand(const std::string& name, CommandPress press);
// The menu bar of a fresh host: the empty plug-ins menu.
void AddSimulatorMenus();
// Removes every registration whose function lies in the library at `libraryBase`, as
// the simulator does when it unloads a plug-in; returns how many there were.
int DropRegistrationsInto(const void* libraryBase);
// The other plug-ins of a fresh simulator.
void AddSimulatorPlugins();
// The table's plug-in with that ID; null for an unknown ID.
PluginRecord* FindPlugin(XPLMPluginID id);
// Whether the loaded plug-in was disabled (or refused its enable): then it gets no
// callbacks of any kind until enabled again. Before its first enable, tests drive it freely.
bool LoadedPluginDisabled();
// The loaded plug-in's enable and disable as the simulator does them; a disable releases
// the planes it holds, and each enable is matched by one disable.
int EnableLoadedPlugin();
void DisableLoadedPlugin();
// A message from the simulator to every enabled plug-in, now or before the next frame.
void SendSimulatorMessage(int message, std::uintptr_t parameter = 0);
void QueueSimulatorMessage(int message, std::uintptr_t parameter = 0);
void DeliverQueuedMessages();
// The planes go back when their holder, the loaded plug-in, is disabled; its waiting requests go too.
void ReleasePlanesOfDisabledPlugin();
// The menu with that ID; null for an ID the host never gave out or has destroyed.
Menu* FindMenu(XPLMMenuID id);

// One line of the menu tree as a user would see it.
struct MenuLine {
    int depth = 0;          // 0: a menu in the menu bar (or one no longer reachable); 1 on: items
    std::string name;       // a menu's name, or an item's name as shown
    bool detached = false;  // a menu that still exists but that no menu shows any more
    bool separator = false;
    bool enabled = true;
    XPLMMenuCheck check = xplm_Menu_NoCheck;
};
// The menu bar's menus with their items, each item followed by the items of the menu it
// opens; then menus that exist but are no longer shown anywhere.
std::vector<MenuLine> MenuLines();
// One text line per menu line, indented two spaces per depth, checks as "[x]"/"[ ]".
std::string FormatMenuLines(const std::vector<MenuLine>& lines);
// Picks the enabled item at `path` (names as shown, '/' between: "Plugins/My Menu/Item")
// and calls its menu's handler; false when there is no such item to pick.
bool PickMenuPath(const std::string& path);

}  // namespace korvane::host
