#pragma once
// The headless host's memory: what the simulator would hold for the plug-in it runs.
// One host per process, as there is one simulator.
#include <XPLMCamera.h>
#include <XPLMDataAccess.h>
#include <XPLMDisplay.h>
#include <XPLMProcessing.h>

#include <cstdint>
#include <deque>
#include <filesystem>
#include <memory>
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
};

struct CameraControl {
    XPLMCameraControlDuration howLong = 0;
    XPLMCameraControl_f callback = nullptr;
    void* refcon = nullptr;
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

struct HostState {
    std::filesystem::path root;  // the simulator folder
    ListingOrder listingOrder = ListingOrder::Sorted;
    std::string log;             // everything XPLMDebugString received
    std::deque<HostCall> calls;  // the latest calls, oldest first
    std::unordered_map<std::string, int> callCounts;
    std::vector<std::unique_ptr<DataRefRecord>> dataRefs;
    std::unordered_set<const void*> dataRefHandles;  // every handle ever handed out

    double elapsedTime = 0;
    long cycle = 0;
    std::vector<FlightLoop> flightLoops;
    bool runningFlightLoops = false;
    double lastFlightLoopPass = 0;

    CameraControl camera;  // callback null while nobody controls the camera
    XPLMCameraPosition_t cameraPosition{0, 0, 0, 0, 0, 0, 1.0f};

    int screenWidth = 1024;
    int screenHeight = 768;
    int mouseX = 0;
    int mouseY = 0;
    std::vector<HostWindow> windows;  // back to front
    std::uintptr_t lastWindowSerial = 0;
    XPLMWindowID keyboardFocus = nullptr;
    XPLMWindowID mouseCapture = nullptr;  // the window that took the last mouse down
    std::vector<DrawRegistration> drawCallbacks;
    std::vector<KeySnifferRegistration> keySniffers;
    std::vector<HotKey> hotKeys;
    std::uintptr_t lastHotKeySerial = 0;
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
HotKey* FindHotKey(XPLMHotKeyID id);
// The simulator's own data references, as a fresh host carries them.
void AddSimulatorDataRefs();

}  // namespace korvane::host
