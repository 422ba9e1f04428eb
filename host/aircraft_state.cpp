// The user's aircraft as the simulator's data references describe it: parked at
// Seattle-Tacoma (KSEA), heading 160, both engines running at half throttle, brakes
// set, 12:00 zulu. Values agree with each other (metres and feet, kilograms and
// totals, true and magnetic headings, zulu and local time) and with XPLMWorldToLocal.
#include "host/host_state.h"

#include <XPLMGraphics.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

namespace korvane::host {
namespace {

constexpr double kFeetPerMetre = 1.0 / 0.3048;
constexpr double kFieldElevation = 132.0;  // metres
constexpr double kMagneticVariation = -17.0;  // magnetic = true + variation at Seattle
constexpr double kTrueHeading = 160.0;
constexpr double kZuluTime = 43200.0;
constexpr double kLocalOffset = -8 * 3600.0;  // Pacific standard time
constexpr double kFuelPerTank = 400.0, kEmptyMass = 3000.0, kPayload = 200.0;  // kilograms

struct ScalarValue {
    const char* name;
    double value;
};

// Everything that is not zero; the position and the clock are set apart below.
const ScalarValue kScalars[] = {
    {"sim/flightmodel/position/magpsi", kTrueHeading + kMagneticVariation},
    {"sim/flightmodel/position/magnetic_variation", kMagneticVariation},
    {"sim/flightmodel/position/hpath", kTrueHeading},
    {"sim/cockpit2/gauges/indicators/heading_AHARS_deg_mag_pilot", kTrueHeading + kMagneticVariation},
    {"sim/cockpit2/gauges/indicators/heading_electric_deg_mag_pilot", kTrueHeading + kMagneticVariation},
    {"sim/cockpit2/gauges/indicators/compass_heading_deg_mag", kTrueHeading + kMagneticVariation},
    {"sim/flightmodel/failures/onground_any", 1},
    {"sim/flightmodel/failures/onground_all", 1},
    {"sim/flightmodel/controls/parkbrake", 1},
    {"sim/cockpit/electrical/avionics_on", 1},
    // Weather: a standard day with a light southerly wind.
    {"sim/weather/barometer_sealevel_inhg", 29.92},
    {"sim/weather/barometer_current_inhg", 29.92 - kFieldElevation * kFeetPerMetre / 1000.0},
    {"sim/cockpit/misc/barometer_setting", 29.92},
    {"sim/cockpit2/gauges/actuators/barometer_setting_in_hg_pilot", 29.92},
    {"sim/cockpit2/gauges/actuators/barometer_setting_in_hg_copilot", 29.92},
    {"sim/weather/temperature_sealevel_c", 15.0},
    {"sim/weather/temperature_ambient_c", 15.0 - 0.0065 * kFieldElevation},
    {"sim/weather/wind_speed_kt[0]", 8},
    {"sim/weather/wind_direction_degt[0]", 160},
    {"sim/weather/wind_speed_kt", 8},
    {"sim/weather/wind_direction_degt", 160},
    {"sim/cockpit2/gauges/indicators/wind_speed_kts", 8},
    {"sim/weather/visibility_reported_m", 16000},
    // Radios: the 16L ILS, the Seattle VOR, tower and ground, the NOLLA beacon.
    {"sim/cockpit/radios/nav1_freq_hz", 11030},
    {"sim/cockpit2/radios/actuators/nav1_frequency_hz", 11030},
    {"sim/cockpit/radios/nav1_stdby_freq_hz", 11170},
    {"sim/cockpit/radios/nav2_freq_hz", 11680},
    {"sim/cockpit2/radios/actuators/nav2_frequency_hz", 11680},
    {"sim/cockpit/radios/com1_freq_hz", 11990},
    {"sim/cockpit2/radios/actuators/com1_frequency_hz", 11990},
    {"sim/cockpit/radios/com1_stdby_freq_hz", 12160},
    {"sim/cockpit/radios/com2_freq_hz", 12160},
    {"sim/cockpit2/radios/actuators/com2_frequency_hz", 12160},
    {"sim/cockpit/radios/adf1_freq_hz", 362},
    {"sim/cockpit2/radios/actuators/adf1_frequency_hz", 362},
    // Autopilot: off, its dials set for the departure.
    {"sim/cockpit/autopilot/altitude", 5000},
    {"sim/cockpit2/autopilot/altitude_dial_ft", 5000},
    {"sim/cockpit/autopilot/heading", kTrueHeading},
    {"sim/cockpit/autopilot/heading_mag", kTrueHeading + kMagneticVariation},
    {"sim/cockpit2/autopilot/heading_dial_deg_mag_pilot", kTrueHeading + kMagneticVariation},
    {"sim/cockpit/autopilot/airspeed", 160},
    {"sim/cockpit2/autopilot/airspeed_dial_kts_mach", 160},
    // Fuel and weights: two tanks of 400 kg.
    {"sim/aircraft/overflow/acf_num_tanks", 2},
    {"sim/flightmodel/weight/m_fuel1", kFuelPerTank},
    {"sim/flightmodel/weight/m_fuel2", kFuelPerTank},
    {"sim/flightmodel/weight/m_fuel_total", 2 * kFuelPerTank},
    {"sim/flightmodel/weight/m_fixed", kPayload},
    {"sim/aircraft/weight/acf_m_empty", kEmptyMass},
    {"sim/aircraft/weight/acf_m_max", 5000},
    {"sim/aircraft/weight/acf_m_fuel_tot", 2 * 600 * 2.20462},  // pounds of capacity
    {"sim/flightmodel/weight/m_total", kEmptyMass + 2 * kFuelPerTank + kPayload},
    // Engines: the throttle levers where ENGN_thro has them.
    {"sim/cockpit2/engine/actuators/throttle_ratio_all", 0.5},
    {"sim/time/local_date_days", 160},
    {"sim/cockpit2/clock_timer/current_day", 10},
    {"sim/cockpit2/clock_timer/current_month", 6},
    {"sim/time/sim_speed", 1},
    {"sim/time/ground_speed", 1},
};

struct ArrayValue {
    const char* name;
    std::vector<float> values;
};

const ArrayValue kArrays[] = {
    {"sim/flightmodel/weight/m_fuel", {kFuelPerTank, kFuelPerTank}},
    {"sim/cockpit2/engine/actuators/throttle_ratio", {0.5f, 0.5f}},
    {"sim/flightmodel/engine/ENGN_thro_use", {0.5f, 0.5f}},
    {"sim/cockpit2/engine/indicators/N1_percent", {62.0f, 61.5f}},
    {"sim/flightmodel/engine/ENGN_N2_", {80.0f, 79.6f}},
    {"sim/cockpit2/engine/indicators/N2_percent", {80.0f, 79.6f}},
    {"sim/flightmodel/engine/ENGN_EGT_c", {550.0f, 548.0f}},
    {"sim/cockpit2/engine/indicators/EGT_deg_C", {550.0f, 548.0f}},
    {"sim/flightmodel/engine/ENGN_FF_", {0.1f, 0.1f}},
    {"sim/cockpit2/engine/indicators/fuel_flow_kg_sec", {0.1f, 0.1f}},
};

void SetNamed(const char* name, double value) {
    if (DataRefRecord* record = FindDataRefRecord(name)) SetScalar(*record, value);
}

// Hours, minutes and seconds of a time of day, as the clock's integer references give them.
void SetClockParts(const std::array<DataRefRecord*, 3>& parts, double seconds) {
    const int whole = static_cast<int>(seconds);
    const int values[] = {whole / 3600, whole / 60 % 60, whole % 60};
    for (std::size_t i = 0; i < parts.size(); ++i)
        if (parts[i]) SetScalar(*parts[i], values[i]);
}

std::array<DataRefRecord*, 3> ClockParts(const std::string& prefix) {
    const std::string base = "sim/cockpit2/clock_timer/" + prefix;
    return {FindDataRefRecord(base + "_hours"), FindDataRefRecord(base + "_minutes"),
            FindDataRefRecord(base + "_seconds")};
}

double TimeOfDay(double seconds) { return std::fmod(std::fmod(seconds, 86400.0) + 86400.0, 86400.0); }

}  // namespace

void SetUserAircraftPosition(double latitude, double longitude, double elevation) {
    double x = 0, y = 0, z = 0;
    XPLMWorldToLocal(latitude, longitude, elevation, &x, &y, &z);
    SetNamed("sim/flightmodel/position/latitude", latitude);
    SetNamed("sim/flightmodel/position/longitude", longitude);
    SetNamed("sim/flightmodel/position/elevation", elevation);
    SetNamed("sim/flightmodel/position/local_x", x);
    SetNamed("sim/flightmodel/position/local_y", y);
    SetNamed("sim/flightmodel/position/local_z", z);
    // Parked on the field: no height above it, the altimeter at the field's elevation.
    SetNamed("sim/flightmodel/position/y_agl", 0.0);
    SetNamed("sim/flightmodel/misc/h_ind", elevation);
    SetNamed("sim/flightmodel/misc/h_ind2", elevation);
    SetNamed("sim/cockpit2/gauges/indicators/altitude_ft_pilot", elevation * kFeetPerMetre);
    SetNamed("sim/cockpit2/gauges/indicators/altitude_ft_copilot", elevation * kFeetPerMetre);
    if (!State().aircraft.empty()) {
        Aircraft& user = State().aircraft.front();
        user.x = x;
        user.y = y;
        user.z = z;
    }
}

void SetUserAircraftState() {
    for (const ScalarValue& scalar : kScalars) SetNamed(scalar.name, scalar.value);
    for (const ArrayValue& array : kArrays)
        if (DataRefRecord* record = FindDataRefRecord(array.name))
            std::copy_n(array.values.begin(), std::min(array.values.size(), record->floats.size()),
                        record->floats.begin());
    SetUserAircraftPosition(State().localOriginLatitude, State().localOriginLongitude, kFieldElevation);
    HostState& state = State();
    state.clock = {FindDataRefRecord("sim/time/total_running_time_sec"),
                   FindDataRefRecord("sim/time/total_flight_time_sec"), FindDataRefRecord("sim/time/zulu_time_sec"),
                   FindDataRefRecord("sim/time/local_time_sec"), ClockParts("zulu_time"), ClockParts("local_time")};
    SetNamed("sim/time/zulu_time_sec", kZuluTime);
    AdvanceSimulatorClock(0);
}

void AdvanceSimulatorClock(double seconds) {
    const SimulatorClock& clock = State().clock;
    if (!clock.runningTime || !clock.flightTime || !clock.zuluTime || !clock.localTime) return;
    // Counted in doubles, which every write sets too, so that floats do not drift.
    SetScalar(*clock.runningTime, clock.runningTime->doubleValue + seconds);
    SetScalar(*clock.flightTime, clock.flightTime->doubleValue + seconds);
    // Zulu time may have been set by a script; local time follows it.
    const double zulu = TimeOfDay(clock.zuluTime->doubleValue + seconds);
    SetScalar(*clock.zuluTime, zulu);
    SetScalar(*clock.localTime, TimeOfDay(zulu + kLocalOffset));
    SetClockParts(clock.zuluParts, zulu);
    SetClockParts(clock.localParts, TimeOfDay(zulu + kLocalOffset));
}

}  // namespace korvane::host
