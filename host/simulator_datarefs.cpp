// The simulator's own data references that a fresh headless host carries: the whole
// catalogue, then the host's own ones with their values, then the user's aircraft.
#include "host/host_state.h"

#include <string>
#include <vector>

namespace korvane::host {
namespace {

DataRefRecord& Add(const std::string& name, XPLMDataTypeID types, bool writable) {
    DataRefRecord& record = DataRefNamed(name);
    record.types = types;
    record.writable = writable;
    return record;
}

}  // namespace

void AddSimulatorDataRefs() {
    AddSimulatorDataRefCatalogue();
    Add("sim/time/total_running_time_sec", xplmType_Float, false);
    Add("sim/time/total_flight_time_sec", xplmType_Float, false);
    Add("sim/time/zulu_time_sec", xplmType_Float, true).floatValue = 43200.0f;
    // Doubles answer float reads too, as the simulator's do; SetUserAircraftPosition sets them.
    for (const char* name : {"latitude", "longitude", "elevation"})
        Add(std::string("sim/flightmodel/position/") + name, xplmType_Double | xplmType_Float, false);
    for (const char* name : {"local_x", "local_y", "local_z"})
        Add(std::string("sim/flightmodel/position/") + name, xplmType_Double | xplmType_Float, true);
    Add("sim/flightmodel/position/psi", xplmType_Float, true).floatValue = 160.0f;
    Add("sim/flightmodel/position/theta", xplmType_Float, true).floatValue = 2.5f;
    Add("sim/flightmodel/position/phi", xplmType_Float, true).floatValue = 0.0f;
    Add("sim/flightmodel/position/indicated_airspeed", xplmType_Float, false).floatValue = 0.0f;
    Add("sim/aircraft/engine/acf_num_engines", xplmType_Int, false).intValue = 2;
    Add("sim/flightmodel/engine/ENGN_running", xplmType_IntArray, true).ints = {1, 1, 0, 0, 0, 0, 0, 0};
    Add("sim/flightmodel/engine/ENGN_thro", xplmType_FloatArray, true).floats = {0.5f, 0.5f, 0, 0, 0, 0, 0, 0};
    Add("sim/flightmodel/engine/ENGN_N1_", xplmType_FloatArray, false).floats = {62.0f, 61.5f, 0, 0, 0, 0, 0, 0};
    Add("sim/cockpit/electrical/battery_on", xplmType_Int, true).intValue = 1;
    // Moved by the simulator's own flaps, gear and pause commands.
    Add("sim/flightmodel/controls/flaprqst", xplmType_Float, true).floatValue = 0.0f;
    Add("sim/cockpit/switches/gear_handle_status", xplmType_Int, true).intValue = 1;
    Add("sim/time/paused", xplmType_Int, false).intValue = 0;
    Add("sim/operation/prefs/replay_mode", xplmType_Int, true);  // set by loading a replay
    // Served under two scalar types at once, as many of the simulator's are.
    SetScalar(Add("sim/cockpit/radios/transponder_code", xplmType_Int | xplmType_Float, true), 1200);
    SetScalar(Add("sim/flightmodel/position/groundspeed", xplmType_Float | xplmType_Double, false), 0.0);
    Add("sim/cockpit/electrical/cockpit_lights", xplmType_Float, true).floatValue = 0.25f;
    Add("sim/cockpit/electrical/instrument_brightness", xplmType_Float, true).floatValue = 1.0f;
    // The interface colours plug-ins draw their own widgets with, and the light levels
    // that tint them at night.
    const struct {
        const char* name;
        std::vector<float> rgb;
    } colours[] = {
        {"menu_dark_rgb", {0.129f, 0.160f, 0.172f}},  {"menu_bkgnd_rgb", {0.207f, 0.250f, 0.266f}},
        {"menu_hilite_rgb", {0.254f, 0.324f, 0.348f}}, {"menu_lite_rgb", {0.254f, 0.324f, 0.348f}},
        {"menu_text_rgb", {0.8f, 0.8f, 0.8f}},         {"menu_text_disabled_rgb", {0.4f, 0.4f, 0.4f}},
        {"subtitle_text_rgb", {0.0f, 0.0f, 0.0f}},     {"tab_front_rgb", {0.0f, 0.0f, 0.0f}},
        {"tab_back_rgb", {0.0f, 0.0f, 0.0f}},          {"caption_text_rgb", {0.0f, 0.0f, 0.0f}},
        {"list_text_rgb", {0.9f, 0.9f, 0.9f}},         {"glass_text_rgb", {0.0f, 0.9f, 0.0f}},
    };
    for (const auto& colour : colours)
        Add(std::string("sim/graphics/colors/") + colour.name, xplmType_FloatArray, false).floats = colour.rgb;
    for (const char* channel : {"r", "g", "b"})
        Add(std::string("sim/graphics/misc/cockpit_light_level_") + channel, xplmType_Float, false).floatValue = 1.0f;
    const std::string tailNumber = "N172KV";
    DataRefRecord& tail = Add("sim/aircraft/view/acf_tailnum", xplmType_Data, false);
    tail.bytes.assign(tailNumber.begin(), tailNumber.end());
    tail.bytes.resize(40, 0);
    SetUserAircraftState();
}

}  // namespace korvane::host
