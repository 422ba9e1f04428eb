#pragma once
// The headless host's scenery: terrain probes, loaded objects, asynchronous loads still
// to answer, and the object draws of the latest frame that drew any.
#include <XPLMScenery.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace korvane::host {

struct ObjectLoadRequest {
    std::string path;
    XPLMObjectLoaded_f callback = nullptr;
    void* refcon = nullptr;
    long answerCycle = 0;  // the frame that answers it
};

struct ObjectDraw {
    XPLMObjectRef object = nullptr;
    std::string path;
    XPLMDrawInfo_t location{};
    int lighting = 0;
    int earthRelative = 0;
};

// Probe and object handles are serial numbers in ranges of their own, never reused, so
// a stale or mistaken handle is never taken for a live one.
struct SceneryState {
    std::map<XPLMProbeRef, XPLMProbeType> probes;
    std::uintptr_t probesMade = 0;
    std::map<XPLMObjectRef, std::string> objects;  // the path each was loaded from
    std::uintptr_t objectsMade = 0;
    std::vector<ObjectLoadRequest> loadRequests;
    std::vector<ObjectDraw> draws;
    long drawsCycle = -1;
};

// The ground the host's terrain model has at a point of the local frame: each airport of
// the navigation database stands on flat land at its elevation, which reaches out
// kLandRadiusMetres from it; beyond all of them lies water at sea level. Nothing (a
// probe misses) farther than kSceneryRadiusMetres from the user's aircraft.
inline constexpr double kLandRadiusMetres = 12000.0;
inline constexpr double kSceneryRadiusMetres = 100000.0;
struct Ground {
    double elevation = 0;  // metres above sea level, which is the local frame's y
    bool wet = false;
};
std::optional<Ground> GroundAt(double x, double z);

// The library paths the host knows, each with the object files it stands for.
struct LibraryItem {
    const char* virtualPath;
    const char* file;  // relative to the simulator folder; made there when first looked up
};
const std::vector<LibraryItem>& SceneryLibrary();

}  // namespace korvane::host
