// XPLMScenery as the headless host serves it: terrain probes answered from a ground
// model built on the navigation database's airports, object files loaded from the
// simulator folder (asynchronous loads answered in the next frame), object draws
// recorded and, while the host can draw, shown as markers on a plan of the ground
// around the aircraft, and a small scenery library.
#include "host/frame_work.h"
#include "host/gl_canvas.h"
#include "host/host_state.h"
#include "host/scenery_state.h"

#include <XPLMGraphics.h>
#include <XPLMScenery.h>
#include <XPLMUtilities.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <system_error>

using namespace korvane::host;

namespace {

SceneryState& Scenery() { return State().scenery; }

double PositionValue(const char* name) {
    const DataRefRecord* record = FindDataRefRecord(name);
    return record ? record->doubleValue : 0.0;
}

// The user's aircraft in the local frame.
double AircraftX() { return PositionValue("sim/flightmodel/position/local_x"); }
double AircraftZ() { return PositionValue("sim/flightmodel/position/local_z"); }

std::string Trimmed(std::string line) {
    const char* blanks = " \t\r\n";
    line.erase(0, line.find_first_not_of(blanks));
    line.erase(line.find_last_not_of(blanks) + 1);
    return line;
}

// An object file opens with its line-ending mark ("I" or "A"), its version and "OBJ".
bool IsObjectFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string lines[3];
    for (std::string& line : lines)
        if (!std::getline(in, line)) return false;
    const std::string mark = Trimmed(lines[0]), version = Trimmed(lines[1]), kind = Trimmed(lines[2]);
    return (mark == "I" || mark == "A") && version.rfind("800", 0) == 0 && kind == "OBJ";
}

// An object path names a file inside the simulator folder, relative to it or absolute.
std::optional<std::filesystem::path> FileInRoot(const std::string& path) {
    std::error_code error;
    const std::filesystem::path root = std::filesystem::weakly_canonical(State().root, error);
    if (error) return std::nullopt;
    std::filesystem::path file = std::filesystem::path(path);
    if (file.is_relative()) file = root / file;
    file = std::filesystem::weakly_canonical(file, error);
    if (error) return std::nullopt;
    auto [rootEnd, fileAt] = std::mismatch(root.begin(), root.end(), file.begin(), file.end());
    if (rootEnd != root.end()) return std::nullopt;
    return file;
}

XPLMObjectRef LoadObjectFile(const std::string& path, const char* function) {
    std::optional<std::filesystem::path> file = FileInRoot(path);
    std::error_code error;
    const char* problem = nullptr;
    if (!file || !std::filesystem::is_regular_file(*file, error))
        problem = "there is no such file in the simulator folder";
    else if (!IsObjectFile(*file))
        problem = "the file is not an object file";
    if (problem) {
        // The simulator's own line in its log, beside the plug-ins' lines.
        XPLMDebugString((std::string(function) + ": cannot load '" + path + "': " + problem + "\n").c_str());
        return nullptr;
    }
    SceneryState& scenery = Scenery();
    auto object = reinterpret_cast<XPLMObjectRef>(0x20000000u + ++scenery.objectsMade);
    scenery.objects.emplace(object, path);
    return object;
}

// Markers on a plan of the ground centred on the aircraft, north up, one pixel a metre:
// a square where each object stands, and a dot towards its heading.
void DrawMarker(const XPLMDrawInfo_t& location) {
    static const float kFill[] = {1.0f, 0.55f, 0.1f, 1.0f};
    static const float kEdge[] = {0.1f, 0.1f, 0.1f, 1.0f};
    const HostState& state = State();
    const int x = state.screenWidth / 2 + static_cast<int>(std::lround(location.x - AircraftX()));
    const int y = state.screenHeight / 2 - static_cast<int>(std::lround(location.z - AircraftZ()));
    FillRect(x - 4, y - 4, x + 4, y + 4, kFill);
    FrameRect(x - 5, y - 5, x + 5, y + 5, kEdge);
    const double heading = location.heading * 3.14159265358979323846 / 180.0;
    const int tipX = x + static_cast<int>(std::lround(10 * std::sin(heading)));
    const int tipY = y + static_cast<int>(std::lround(10 * std::cos(heading)));
    FillRect(tipX - 1, tipY - 1, tipX + 1, tipY + 1, kEdge);
}

void EnsureLibraryFile(const std::filesystem::path& file) {
    std::error_code error;
    if (std::filesystem::exists(file, error)) return;
    std::filesystem::create_directories(file.parent_path(), error);
    std::ofstream out(file, std::ios::binary);
    out << "I\n800\nOBJ\n\n# A stand-in the headless host made for its scenery library.\nPOINT_COUNTS 0 0 0 0\n";
}

}  // namespace

namespace korvane::host {

std::optional<Ground> GroundAt(double x, double z) {
    if (std::hypot(x - AircraftX(), z - AircraftZ()) > kSceneryRadiusMetres) return std::nullopt;
    const Navaid* nearest = nullptr;
    double nearestDistance = 0;
    for (const Navaid& navaid : State().navaids) {
        if (navaid.type != xplm_Nav_Airport) continue;
        double airportX = 0, airportY = 0, airportZ = 0;
        XPLMWorldToLocal(navaid.latitude, navaid.longitude, navaid.height, &airportX, &airportY, &airportZ);
        const double distance = std::hypot(x - airportX, z - airportZ);
        if (!nearest || distance < nearestDistance) {
            nearest = &navaid;
            nearestDistance = distance;
        }
    }
    if (nearest && nearestDistance <= kLandRadiusMetres) return Ground{nearest->height, false};
    return Ground{0.0, true};
}

const std::vector<LibraryItem>& SceneryLibrary() {
    static const std::vector<LibraryItem> items = {
        {"lib/airport/vehicles/pushback/tug.obj", "Resources/default scenery/sim objects/vehicles/tug.obj"},
        {"lib/airport/vehicles/baggage_handling/belt_loader.obj",
         "Resources/default scenery/sim objects/vehicles/belt_loader.obj"},
        {"lib/airport/vehicles/fuel/fuel_truck.obj", "Resources/default scenery/sim objects/vehicles/fuel_truck.obj"},
        {"lib/airport/landscape/windsock.obj", "Resources/default scenery/sim objects/airport/windsock.obj"},
        // One path, several alternatives: the simulator picks among them.
        {"lib/cars/car.obj", "Resources/default scenery/sim objects/cars/car_red.obj"},
        {"lib/cars/car.obj", "Resources/default scenery/sim objects/cars/car_blue.obj"},
    };
    return items;
}

// The next frame answers the asynchronous loads asked for before it.
void RunObjectLoads() {
    SceneryState& scenery = Scenery();
    std::vector<ObjectLoadRequest> due;
    std::erase_if(scenery.loadRequests, [&](const ObjectLoadRequest& request) {
        if (request.answerCycle > State().cycle) return false;
        due.push_back(request);
        return true;
    });
    // A callback may ask for more; those wait for the next frame.
    for (const ObjectLoadRequest& request : due)
        request.callback(LoadObjectFile(request.path, "XPLMLoadObjectAsync"), request.refcon);
}

}  // namespace korvane::host

XPLM_API XPLMProbeRef XPLMCreateProbe(XPLMProbeType inProbeType) {
    RecordCall("XPLMCreateProbe", std::to_string(inProbeType));
    if (inProbeType != xplm_ProbeY) return nullptr;
    SceneryState& scenery = Scenery();
    auto probe = reinterpret_cast<XPLMProbeRef>(0x10000000u + ++scenery.probesMade);
    scenery.probes.emplace(probe, inProbeType);
    return probe;
}

XPLM_API void XPLMDestroyProbe(XPLMProbeRef inProbe) {
    RecordCall("XPLMDestroyProbe", PointerText(inProbe));
    Scenery().probes.erase(inProbe);
}

XPLM_API XPLMProbeResult XPLMProbeTerrainXYZ(XPLMProbeRef inProbe, float inX, float inY, float inZ,
                                             XPLMProbeInfo_t* outInfo) {
    RecordCall("XPLMProbeTerrainXYZ", PointerText(inProbe) + " " + std::to_string(inX) + " " + std::to_string(inY) +
                                          " " + std::to_string(inZ));
    if (!Scenery().probes.count(inProbe) || !outInfo || outInfo->structSize != sizeof(XPLMProbeInfo_t))
        return xplm_ProbeError;
    std::optional<Ground> ground = GroundAt(inX, inZ);
    if (!ground) return xplm_ProbeMissed;
    // The ground does not move, and the model has no slopes.
    *outInfo = {sizeof(XPLMProbeInfo_t), inX, static_cast<float>(ground->elevation), inZ, 0.0f, 1.0f, 0.0f,
                0.0f, 0.0f, 0.0f, ground->wet ? 1 : 0};
    return xplm_ProbeHitTerrain;
}

XPLM_API XPLMObjectRef XPLMLoadObject(const char* inPath) {
    RecordCall("XPLMLoadObject", inPath ? inPath : "null");
    return inPath ? LoadObjectFile(inPath, "XPLMLoadObject") : nullptr;
}

XPLM_API void XPLMLoadObjectAsync(const char* inPath, XPLMObjectLoaded_f inCallback, void* inRefcon) {
    RecordCall("XPLMLoadObjectAsync", std::string(inPath ? inPath : "null") + " refcon=" + PointerText(inRefcon));
    if (!inCallback) return;
    Scenery().loadRequests.push_back({inPath ? inPath : "", inCallback, inRefcon, State().cycle + 1});
}

XPLM_API void XPLMDrawObjects(XPLMObjectRef inObject, int inCount, XPLMDrawInfo_t* inLocations, int lighting,
                              int earth_relative) {
    RecordCall("XPLMDrawObjects", PointerText(inObject) + " count=" + std::to_string(inCount) +
                                      " lighting=" + std::to_string(lighting) +
                                      " earth_relative=" + std::to_string(earth_relative));
    SceneryState& scenery = Scenery();
    auto object = scenery.objects.find(inObject);
    if (object == scenery.objects.end() || inCount <= 0 || !inLocations) return;
    if (scenery.drawsCycle != State().cycle) {
        scenery.draws.clear();
        scenery.drawsCycle = State().cycle;
    }
    for (int i = 0; i < inCount; ++i) {
        scenery.draws.push_back({inObject, object->second, inLocations[i], lighting, earth_relative});
        DrawMarker(inLocations[i]);
    }
}

XPLM_API void XPLMUnloadObject(XPLMObjectRef inObject) {
    RecordCall("XPLMUnloadObject", PointerText(inObject));
    Scenery().objects.erase(inObject);
}

XPLM_API int XPLMLookupObjects(const char* inPath, float inLatitude, float inLongitude,
                               XPLMLibraryEnumerator_f enumerator, void* ref) {
    RecordCall("XPLMLookupObjects", std::string(inPath ? inPath : "null") + " " + std::to_string(inLatitude) + " " +
                                        std::to_string(inLongitude));
    if (!inPath) return 0;
    int found = 0;
    for (const LibraryItem& item : SceneryLibrary()) {
        if (item.virtualPath != std::string_view(inPath)) continue;
        EnsureLibraryFile(State().root / item.file);
        ++found;
        if (enumerator) enumerator(item.file, ref);
    }
    return found;
}
