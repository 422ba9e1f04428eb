// XPLMPlanes as the headless host serves it: twenty aircraft, the user's first, and
// one plug-in at a time holding the others.
#include "host/host_state.h"

#include <XPLMPlanes.h>
#include <XPLMPlugin.h>
#include <XPLMUtilities.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

using namespace korvane::host;

namespace {

Aircraft* AircraftAt(int index) {
    HostState& state = State();
    if (index < 0 || index >= static_cast<int>(state.aircraft.size())) return nullptr;
    return &state.aircraft[static_cast<std::size_t>(index)];
}

void SetModel(Aircraft& aircraft, const std::string& path) {
    aircraft.path = path;
    aircraft.fileName = std::filesystem::path(path).filename().string();
}

// What the SDK promises a caller's buffer holds at least.
void CopyOut(const std::string& text, char* out, std::size_t size) {
    if (!out) return;
    std::size_t length = std::min(text.size(), size - 1);
    std::memcpy(out, text.data(), length);
    out[length] = '\0';
}

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// What the simulator announces when it loads a model in place of another.
void AnnounceModelChange(int index) {
    QueueSimulatorMessage(XPLM_MSG_PLANE_UNLOADED, static_cast<std::uintptr_t>(index));
    QueueSimulatorMessage(XPLM_MSG_PLANE_LOADED, static_cast<std::uintptr_t>(index));
}

const Navaid* FindAirport(const std::string& code) {
    for (const Navaid& navaid : State().navaids)
        if (navaid.type == xplm_Nav_Airport && navaid.id == code) return &navaid;
    return nullptr;
}

}  // namespace

XPLM_API void XPLMSetUsersAircraft(const char* inAircraftPath) {
    RecordCall("XPLMSetUsersAircraft", inAircraftPath);
    if (Aircraft* user = AircraftAt(XPLM_USER_AIRCRAFT)) {
        SetModel(*user, inAircraftPath);
        AnnounceModelChange(XPLM_USER_AIRCRAFT);
    }
}

XPLM_API void XPLMPlaceUserAtAirport(const char* inAirportCode) {
    RecordCall("XPLMPlaceUserAtAirport", inAirportCode);
    // Only airports of the navigation data are places to go; the simulator ignores others.
    const Navaid* airport = FindAirport(inAirportCode);
    if (!airport) {
        XPLMDebugString(("XPLMPlaceUserAtAirport: no airport '" + std::string(inAirportCode) +
                         "' in the navigation data; the aircraft stays where it is.\n")
                            .c_str());
        return;
    }
    State().userAirport = inAirportCode;
    SetUserAircraftPosition(airport->latitude, airport->longitude, airport->height);
    QueueSimulatorMessage(XPLM_MSG_AIRPORT_LOADED);
    QueueSimulatorMessage(XPLM_MSG_SCENERY_LOADED);
}

XPLM_API void XPLMCountAircraft(int* outTotalAircraft, int* outActiveAircraft, XPLMPluginID* outController) {
    RecordCall("XPLMCountAircraft");
    const HostState& state = State();
    if (outTotalAircraft) *outTotalAircraft = static_cast<int>(state.aircraft.size());
    if (outActiveAircraft) *outActiveAircraft = state.activeAircraft;
    if (outController) *outController = state.planesHolder;
}

XPLM_API void XPLMGetNthAircraftModel(int inIndex, char* outFileName, char* outPath) {
    RecordCall("XPLMGetNthAircraftModel", std::to_string(inIndex));
    const Aircraft* aircraft = AircraftAt(inIndex);
    // The SDK asks for 256 bytes for the name and 512 for the path.
    CopyOut(aircraft ? aircraft->fileName : "", outFileName, 256);
    CopyOut(aircraft ? aircraft->path : "", outPath, 512);
}

XPLM_API int XPLMAcquirePlanes(char** inAircraft, XPLMPlanesAvailable_f inCallback, void* inRefcon) {
    std::vector<std::string> models;
    for (char** path = inAircraft; path && *path; ++path) models.emplace_back(*path);
    std::string detail = "aircraft=[";
    for (std::size_t i = 0; i < models.size(); ++i) detail += (i ? "," : "") + models[i];
    RecordCall("XPLMAcquirePlanes", detail + "] refcon=" + PointerText(inRefcon));
    HostState& state = State();
    if (state.planesHolder != XPLM_NO_PLUGIN_ID && state.planesHolder != state.loadedPluginId) {
        // Answered once, when the holder lets go.
        PlanesRequest request{inCallback, inRefcon};
        bool waiting = std::any_of(state.planesRequests.begin(), state.planesRequests.end(),
                                   [&](const PlanesRequest& r) { return r.callback == inCallback && r.refcon == inRefcon; });
        if (!waiting && inCallback) state.planesRequests.push_back(request);
        return 0;
    }
    state.planesHolder = state.loadedPluginId;
    // An empty path leaves its aircraft as it is.
    for (std::size_t i = 0; i < models.size() && i + 1 < state.aircraft.size(); ++i)
        if (!models[i].empty()) SetModel(state.aircraft[i + 1], models[i]);
    return 1;
}

// Gives the planes back and withdraws the plug-in's waiting requests with them.
XPLM_API void XPLMReleasePlanes(void) {
    RecordCall("XPLMReleasePlanes");
    HostState& state = State();
    if (state.planesHolder == state.loadedPluginId) state.planesHolder = XPLM_NO_PLUGIN_ID;
    state.planesRequests.clear();
}

XPLM_API void XPLMSetActiveAircraftCount(int inCount) {
    RecordCall("XPLMSetActiveAircraftCount", std::to_string(inCount));
    HostState& state = State();
    if (state.planesHolder != state.loadedPluginId) return;
    state.activeAircraft = std::clamp(inCount, 1, static_cast<int>(state.aircraft.size()));
}

XPLM_API void XPLMSetAircraftModel(int inIndex, const char* inAircraftPath) {
    RecordCall("XPLMSetAircraftModel", std::to_string(inIndex) + " " + inAircraftPath);
    // The user's aircraft changes through XPLMSetUsersAircraft only.
    if (State().planesHolder != State().loadedPluginId || inIndex == XPLM_USER_AIRCRAFT) return;
    if (Aircraft* aircraft = AircraftAt(inIndex)) {
        SetModel(*aircraft, inAircraftPath);
        AnnounceModelChange(inIndex);
    }
}

XPLM_API void XPLMDisableAIForPlane(int inPlaneIndex) {
    RecordCall("XPLMDisableAIForPlane", std::to_string(inPlaneIndex));
    if (Aircraft* aircraft = AircraftAt(inPlaneIndex)) aircraft->aiDisabled = true;
}

XPLM_API void XPLMDrawAircraft(int inPlaneIndex, float inX, float inY, float inZ, float inPitch, float inRoll,
                               float inYaw, int inFullDraw, XPLMPlaneDrawState_t* inDrawStateInfo) {
    AircraftDraw draw{inPlaneIndex, inX, inY, inZ, inPitch, inRoll, inYaw, inFullDraw, {}};
    // The size field says how much of the record the caller filled.
    if (inDrawStateInfo) {
        int size = std::clamp(inDrawStateInfo->structSize, 0, static_cast<int>(sizeof draw.state));
        std::memcpy(&draw.state, inDrawStateInfo, static_cast<std::size_t>(size));
    }
    const XPLMPlaneDrawState_t& s = draw.state;
    std::string detail = std::to_string(inPlaneIndex) + " at " + Number(inX) + "," + Number(inY) + "," + Number(inZ) +
                         " full=" + std::to_string(inFullDraw) + " state=" + std::to_string(s.structSize);
    for (float value : {s.gearPosition, s.flapRatio, s.spoilerRatio, s.speedBrakeRatio, s.slatRatio, s.wingSweep,
                        s.thrust, s.yokePitch, s.yokeHeading, s.yokeRoll})
        detail += "," + Number(value);
    RecordCall("XPLMDrawAircraft", detail);
    State().aircraftDraws.push_back(draw);
}

XPLM_API void XPLMReinitUsersPlane(void) { RecordCall("XPLMReinitUsersPlane"); }

namespace korvane::host {

namespace {
const char* const kUserModel = "Aircraft/General Aviation/Cessna 172SP/Cessna_172SP.acf";
const char* const kOtherModels[] = {"Aircraft/Regional Jets/CRJ-200/CRJ-200.acf",
                                    "Aircraft/Heavy Metal/B747-400 United/747 400 United.acf"};
}  // namespace

void AddSimulatorAircraft() {
    HostState& state = State();
    state.aircraft.assign(kAircraftSlots, Aircraft{});
    // Full paths, as the simulator gives them.
    SetModel(state.aircraft[0], (state.root / kUserModel).string());
    for (int i = 1; i < kAircraftSlots; ++i) {
        Aircraft& aircraft = state.aircraft[static_cast<std::size_t>(i)];
        SetModel(aircraft, (state.root / kOtherModels[i % 2]).string());
        // Lined up beside the user, 50 m apart.
        aircraft.x = 50.0 * i;
        aircraft.y = 132.0;
        aircraft.heading = 160.0f;
    }
}

void WriteSimulatorAircraftFiles() {
    std::error_code ignored;
    for (const char* model : {kUserModel, kOtherModels[0], kOtherModels[1]}) {
        const std::filesystem::path file = State().root / model;
        if (std::filesystem::exists(file, ignored)) continue;
        std::filesystem::create_directories(file.parent_path(), ignored);
        // The header of an aircraft file; the host reads nothing more of it.
        std::ofstream(file) << "I\n800 version\nACF\n";
    }
}

void HoldPlanesForOtherPlugin(XPLMPluginID plugin) { State().planesHolder = plugin; }

void ReleasePlanesOfDisabledPlugin() {
    HostState& state = State();
    if (state.planesHolder == state.loadedPluginId) state.planesHolder = XPLM_NO_PLUGIN_ID;
    state.planesRequests.clear();
}

void ReleasePlanesOfOtherPlugin() {
    HostState& state = State();
    if (state.planesHolder == XPLM_NO_PLUGIN_ID || state.planesHolder == state.loadedPluginId) return;
    state.planesHolder = XPLM_NO_PLUGIN_ID;
    // A callback may ask for the planes again (and get them) or release, so the list is taken first.
    std::vector<PlanesRequest> requests;
    requests.swap(state.planesRequests);
    for (const PlanesRequest& request : requests) request.callback(request.refcon);
}

}  // namespace korvane::host
