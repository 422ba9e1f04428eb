// XPLMNavigation as the headless host serves it: a small navigation database read from
// a data file, the FMS's 100 entries and the GPS destination.
#include "host/host_state.h"

#include <XPLMNavigation.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <utility>

using namespace korvane::host;

namespace {

constexpr std::pair<const char*, XPLMNavType> kTypeWords[] = {
    {"AIRPORT", xplm_Nav_Airport}, {"NDB", xplm_Nav_NDB},       {"VOR", xplm_Nav_VOR},
    {"ILS", xplm_Nav_ILS},         {"LOC", xplm_Nav_Localizer}, {"GS", xplm_Nav_GlideSlope},
    {"OM", xplm_Nav_OuterMarker},  {"MM", xplm_Nav_MiddleMarker}, {"IM", xplm_Nav_InnerMarker},
    {"FIX", xplm_Nav_Fix},         {"DME", xplm_Nav_DME},
};

// The simulator's buffers for IDs and names: the binding offers 1024 bytes, older
// plug-ins as little as 32 for an ID and 256 for a name.
constexpr std::size_t kIdBufferSize = 32;
constexpr std::size_t kNameBufferSize = 256;

std::string Optional(const char* text) { return text ? "\"" + std::string(text) + "\"" : "null"; }
template <typename T>
std::string Optional(const T* value) {
    return value ? std::to_string(*value) : "null";
}

void CopyText(char* out, const std::string& text, std::size_t size) {
    if (!out) return;
    std::size_t length = std::min(text.size(), size - 1);
    std::memcpy(out, text.data(), length);
    out[length] = '\0';
}

double DistanceRadians(double lat1, double lon1, double lat2, double lon2) {
    constexpr double kDegree = 3.14159265358979323846 / 180.0;
    double dLat = (lat2 - lat1) * kDegree, dLon = (lon2 - lon1) * kDegree;
    double a = std::sin(dLat / 2) * std::sin(dLat / 2) +
               std::cos(lat1 * kDegree) * std::cos(lat2 * kDegree) * std::sin(dLon / 2) * std::sin(dLon / 2);
    return 2 * std::asin(std::sqrt(std::min(a, 1.0)));
}

// Airports and fixes have no frequency, so a frequency never screens them out.
bool HasFrequency(XPLMNavType type) { return type != xplm_Nav_Airport && type != xplm_Nav_Fix && type != xplm_Nav_LatLon; }

bool InRange(int index) { return index >= 0 && index < kFmsEntryCount; }

// Types a flight plan entry may name: airports, fixes and radio beacons.
bool FlightPlanType(XPLMNavType type) {
    return type == xplm_Nav_Airport || type == xplm_Nav_Fix || type == xplm_Nav_NDB || type == xplm_Nav_VOR;
}

XPLMNavRef FindOfType(XPLMNavType type, bool last) {
    const auto& navaids = State().navaids;
    XPLMNavRef found = XPLM_NAV_NOT_FOUND;
    for (std::size_t i = 0; i < navaids.size(); ++i)
        if (navaids[i].type == type) {
            found = static_cast<XPLMNavRef>(i);
            if (!last) break;
        }
    return found;
}

}  // namespace

namespace korvane::host {

bool LoadNavigationDatabase(const std::filesystem::path& file, std::string* error) {
    std::ifstream in(file);
    if (!in) {
        if (error) *error = "cannot read the navigation database " + file.string();
        return false;
    }
    std::vector<Navaid> navaids;
    std::string line, skipped;
    for (int number = 1; std::getline(in, line); ++number) {
        std::istringstream fields(line);
        std::string word;
        if (!(fields >> word) || word[0] == '#') continue;
        Navaid navaid;
        auto type = std::find_if(std::begin(kTypeWords), std::end(kTypeWords),
                                 [&](const auto& entry) { return word == entry.first; });
        if (type != std::end(kTypeWords)) navaid.type = type->second;
        if (navaid.type == xplm_Nav_Unknown || !(fields >> navaid.id >> navaid.latitude >> navaid.longitude >>
                                                 navaid.height >> navaid.frequency >> navaid.heading)) {
            skipped += " " + std::to_string(number);
            continue;
        }
        std::getline(fields >> std::ws, navaid.name);
        navaids.push_back(std::move(navaid));
    }
    std::stable_sort(navaids.begin(), navaids.end(), [](const Navaid& a, const Navaid& b) { return a.type < b.type; });
    State().navaids = std::move(navaids);
    if (error) *error = skipped.empty() ? "" : "skipped unreadable lines" + skipped + " of " + file.string();
    return true;
}

void AddSimulatorNavigationDatabase() {
    // An installed host may be pointed at its copy of the data.
    const char* overridden = std::getenv("KORVANE_NAV_DATA");
    std::string error;
    LoadNavigationDatabase(overridden && *overridden ? overridden : KORVANE_NAV_DATA_PATH, &error);
    if (!error.empty()) std::cerr << "korvane host: " << error << "\n";
}

const Navaid* FindNavaid(XPLMNavRef ref) {
    const auto& navaids = State().navaids;
    if (ref < 0 || static_cast<std::size_t>(ref) >= navaids.size()) return nullptr;
    return &navaids[static_cast<std::size_t>(ref)];
}

}  // namespace korvane::host

XPLM_API XPLMNavRef XPLMGetFirstNavAid(void) {
    RecordCall("XPLMGetFirstNavAid");
    return State().navaids.empty() ? XPLM_NAV_NOT_FOUND : 0;
}

XPLM_API XPLMNavRef XPLMGetNextNavAid(XPLMNavRef inNavAidRef) {
    RecordCall("XPLMGetNextNavAid", std::to_string(inNavAidRef));
    if (!FindNavaid(inNavAidRef) || !FindNavaid(inNavAidRef + 1)) return XPLM_NAV_NOT_FOUND;
    return inNavAidRef + 1;
}

XPLM_API XPLMNavRef XPLMFindFirstNavAidOfType(XPLMNavType inType) {
    RecordCall("XPLMFindFirstNavAidOfType", std::to_string(inType));
    return FindOfType(inType, false);
}

XPLM_API XPLMNavRef XPLMFindLastNavAidOfType(XPLMNavType inType) {
    RecordCall("XPLMFindLastNavAidOfType", std::to_string(inType));
    return FindOfType(inType, true);
}

XPLM_API XPLMNavRef XPLMFindNavAid(const char* inNameFragment, const char* inIDFragment, float* inLat, float* inLon,
                                   int* inFrequency, XPLMNavType inType) {
    RecordCall("XPLMFindNavAid", "name=" + Optional(inNameFragment) + " id=" + Optional(inIDFragment) +
                                     " lat=" + Optional(inLat) + " lon=" + Optional(inLon) +
                                     " frequency=" + Optional(inFrequency) + " type=" + std::to_string(inType));
    const auto& navaids = State().navaids;
    const bool nearest = inLat && inLon;
    XPLMNavRef found = XPLM_NAV_NOT_FOUND;
    double bestDistance = 0;
    for (std::size_t i = 0; i < navaids.size(); ++i) {
        const Navaid& navaid = navaids[i];
        if (!(navaid.type & inType)) continue;
        if (inFrequency && HasFrequency(navaid.type) && navaid.frequency != *inFrequency) continue;
        if (inNameFragment && navaid.name.find(inNameFragment) == std::string::npos) continue;
        if (inIDFragment && navaid.id.find(inIDFragment) == std::string::npos) continue;
        // Without a position the last match wins; with one, the nearest (the first of equals).
        if (nearest) {
            double distance = DistanceRadians(*inLat, *inLon, navaid.latitude, navaid.longitude);
            if (found != XPLM_NAV_NOT_FOUND && distance >= bestDistance) continue;
            bestDistance = distance;
        }
        found = static_cast<XPLMNavRef>(i);
    }
    return found;
}

XPLM_API void XPLMGetNavAidInfo(XPLMNavRef inRef, XPLMNavType* outType, float* outLatitude, float* outLongitude,
                                float* outHeight, int* outFrequency, float* outHeading, char* outID, char* outName,
                                char* outReg) {
    auto given = [](const void* pointer) { return pointer ? "ptr" : "null"; };
    RecordCall("XPLMGetNavAidInfo", std::to_string(inRef) + " type=" + given(outType) + " lat=" + given(outLatitude) +
                                        " lon=" + given(outLongitude) + " height=" + given(outHeight) +
                                        " frequency=" + given(outFrequency) + " heading=" + given(outHeading) +
                                        " id=" + given(outID) + " name=" + given(outName) + " reg=" + given(outReg));
    // An unknown reference is an unknown navaid with nothing else written.
    const Navaid* navaid = FindNavaid(inRef);
    if (outType) *outType = navaid ? navaid->type : xplm_Nav_Unknown;
    if (!navaid) return;
    if (outLatitude) *outLatitude = navaid->latitude;
    if (outLongitude) *outLongitude = navaid->longitude;
    if (outHeight) *outHeight = navaid->height;
    if (outFrequency) *outFrequency = navaid->frequency;
    if (outHeading) *outHeading = navaid->heading;
    CopyText(outID, navaid->id, kIdBufferSize);
    CopyText(outName, navaid->name, kNameBufferSize);
    if (outReg) *outReg = navaid->reg;
}

XPLM_API int XPLMCountFMSEntries(void) {
    RecordCall("XPLMCountFMSEntries");
    const auto& plan = State().flightPlan;
    auto last = std::find_if(plan.rbegin(), plan.rend(), [](const FmsEntry& e) { return e.type != xplm_Nav_Unknown; });
    return static_cast<int>(plan.rend() - last);
}

XPLM_API int XPLMGetDisplayedFMSEntry(void) {
    RecordCall("XPLMGetDisplayedFMSEntry");
    return State().displayedFmsEntry;
}

XPLM_API int XPLMGetDestinationFMSEntry(void) {
    RecordCall("XPLMGetDestinationFMSEntry");
    return State().destinationFmsEntry;
}

// Indices outside the FMS's entries are ignored, by these and the setters below.
XPLM_API void XPLMSetDisplayedFMSEntry(int inIndex) {
    RecordCall("XPLMSetDisplayedFMSEntry", std::to_string(inIndex));
    if (InRange(inIndex)) State().displayedFmsEntry = inIndex;
}

XPLM_API void XPLMSetDestinationFMSEntry(int inIndex) {
    RecordCall("XPLMSetDestinationFMSEntry", std::to_string(inIndex));
    if (InRange(inIndex)) State().destinationFmsEntry = inIndex;
}

XPLM_API void XPLMGetFMSEntryInfo(int inIndex, XPLMNavType* outType, char* outID, XPLMNavRef* outRef,
                                  int* outAltitude, float* outLat, float* outLon) {
    RecordCall("XPLMGetFMSEntryInfo", std::to_string(inIndex));
    // Beyond the entries, an empty one.
    const FmsEntry entry = InRange(inIndex) ? State().flightPlan[static_cast<std::size_t>(inIndex)] : FmsEntry{};
    const Navaid* navaid = FindNavaid(entry.ref);
    if (outType) *outType = entry.type;
    CopyText(outID, navaid ? navaid->id : "", kIdBufferSize);
    if (outRef) *outRef = entry.ref;
    if (outAltitude) *outAltitude = entry.altitude;
    if (outLat) *outLat = entry.latitude;
    if (outLon) *outLon = entry.longitude;
}

XPLM_API void XPLMSetFMSEntryInfo(int inIndex, XPLMNavRef inRef, int inAltitude) {
    RecordCall("XPLMSetFMSEntryInfo", std::to_string(inIndex) + " ref=" + std::to_string(inRef) +
                                          " altitude=" + std::to_string(inAltitude));
    const Navaid* navaid = FindNavaid(inRef);
    if (!InRange(inIndex) || !navaid || !FlightPlanType(navaid->type)) return;
    State().flightPlan[static_cast<std::size_t>(inIndex)] = {navaid->type, inRef, inAltitude, navaid->latitude,
                                                             navaid->longitude};
}

XPLM_API void XPLMSetFMSEntryLatLon(int inIndex, float inLat, float inLon, int inAltitude) {
    char detail[128];
    std::snprintf(detail, sizeof detail, "%d lat=%.4f lon=%.4f altitude=%d", inIndex, inLat, inLon, inAltitude);
    RecordCall("XPLMSetFMSEntryLatLon", detail);
    if (!InRange(inIndex)) return;
    State().flightPlan[static_cast<std::size_t>(inIndex)] = {xplm_Nav_LatLon, XPLM_NAV_NOT_FOUND, inAltitude, inLat,
                                                             inLon};
}

XPLM_API void XPLMClearFMSEntry(int inIndex) {
    RecordCall("XPLMClearFMSEntry", std::to_string(inIndex));
    if (InRange(inIndex)) State().flightPlan[static_cast<std::size_t>(inIndex)] = {};
}

namespace {

// The GPS flies to the flight plan's destination entry while there is one, otherwise
// to its own direct-to destination.
std::pair<XPLMNavType, XPLMNavRef> GpsDestination() {
    const HostState& state = State();
    const FmsEntry& entry = state.flightPlan[static_cast<std::size_t>(state.destinationFmsEntry)];
    if (entry.type != xplm_Nav_Unknown) return {entry.type, entry.ref};
    const Navaid* navaid = FindNavaid(state.directToDestination);
    return navaid ? std::pair{navaid->type, state.directToDestination} : std::pair{xplm_Nav_Unknown, XPLM_NAV_NOT_FOUND};
}

}  // namespace

XPLM_API XPLMNavType XPLMGetGPSDestinationType(void) {
    RecordCall("XPLMGetGPSDestinationType");
    return GpsDestination().first;
}

XPLM_API XPLMNavRef XPLMGetGPSDestination(void) {
    RecordCall("XPLMGetGPSDestination");
    return GpsDestination().second;
}
