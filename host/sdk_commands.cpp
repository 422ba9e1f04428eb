// XPLMUtilities' commands as the headless host serves them: the simulator's own
// commands, those plug-ins create, and the chains of handlers around the simulator's
// own action in each phase.
#include "host/frame_work.h"
#include "host/host_state.h"

#include <XPLMUtilities.h>

#include <algorithm>
#include <string>

using namespace korvane::host;

namespace {

// A ref the host never gave out is treated like a null one, so a stray integer cannot
// crash the simulator stand-in.
HostCommand* Command(XPLMCommandRef ref) {
    return State().commandHandles.contains(ref) ? static_cast<HostCommand*>(ref) : nullptr;
}

std::string Describe(const HostCommand* command) { return command ? command->name : "unknown"; }

HostCommand& AddCommand(const std::string& name, const std::string& description,
                        void (*action)(XPLMCommandPhase) = nullptr) {
    HostState& state = State();
    auto command = std::make_unique<HostCommand>();
    command->name = name;
    command->description = description;
    command->action = action;
    state.commandHandles.insert(command.get());
    state.commandsByName.emplace(name, command.get());
    state.commands.push_back(std::move(command));
    return *state.commands.back();
}

// The simulator's own actions on its data, by the data references' real names. A
// reference missing from the host's data leaves the command without effect.
void StepFloat(const char* name, float step) {
    if (DataRefRecord* record = FindDataRefRecord(name))
        SetScalar(*record, std::clamp(record->floatValue + step, 0.0f, 1.0f));
}

void SetInt(const char* name, int value) {
    if (DataRefRecord* record = FindDataRefRecord(name)) SetScalar(*record, value);
}

void ToggleInt(const char* name) {
    if (DataRefRecord* record = FindDataRefRecord(name)) SetScalar(*record, record->intValue ? 0 : 1);
}

// Every engine's throttle, by a twentieth each frame the command is held.
void StepThrottles(float step) {
    DataRefRecord* throttles = FindDataRefRecord("sim/flightmodel/engine/ENGN_thro");
    if (!throttles) return;
    const DataRefRecord* engines = FindDataRefRecord("sim/aircraft/engine/acf_num_engines");
    std::size_t count = throttles->floats.size();
    if (engines) count = std::min(count, static_cast<std::size_t>(std::max(engines->intValue, 0)));
    for (std::size_t i = 0; i < count; ++i)
        throttles->floats[i] = std::clamp(throttles->floats[i] + step, 0.0f, 1.0f);
}

constexpr float kFlapNotch = 0.25f;  // four flap settings beyond retracted
constexpr float kThrottleStep = 0.05f;

void FlapsDown(XPLMCommandPhase phase) {
    if (phase == xplm_CommandBegin) StepFloat("sim/flightmodel/controls/flaprqst", kFlapNotch);
}
void FlapsUp(XPLMCommandPhase phase) {
    if (phase == xplm_CommandBegin) StepFloat("sim/flightmodel/controls/flaprqst", -kFlapNotch);
}
void GearToggle(XPLMCommandPhase phase) {
    if (phase == xplm_CommandBegin) ToggleInt("sim/cockpit/switches/gear_handle_status");
}
void GearDown(XPLMCommandPhase phase) {
    if (phase == xplm_CommandBegin) SetInt("sim/cockpit/switches/gear_handle_status", 1);
}
void GearUp(XPLMCommandPhase phase) {
    if (phase == xplm_CommandBegin) SetInt("sim/cockpit/switches/gear_handle_status", 0);
}
void ThrottleUp(XPLMCommandPhase phase) {
    if (phase != xplm_CommandEnd) StepThrottles(kThrottleStep);
}
void ThrottleDown(XPLMCommandPhase phase) {
    if (phase != xplm_CommandEnd) StepThrottles(-kThrottleStep);
}
void PauseToggle(XPLMCommandPhase phase) {
    if (phase == xplm_CommandBegin) ToggleInt("sim/time/paused");
}

// One phase through the command's chain: the handlers registered before the
// simulator's action, the action, then those after it; a handler answering 0 stops
// the rest. Handlers may register and unregister handlers (their own included) and
// press commands from inside their call: the chain walks the handlers there were
// when it began, by index, and skips those removed meanwhile.
void RunPhase(HostCommand& command, XPLMCommandPhase phase) {
    ++command.runningChains;
    const std::size_t count = command.handlers.size();
    bool goOn = true;
    for (int before : {1, 0}) {
        for (std::size_t i = 0; goOn && i < count; ++i) {
            const CommandHandler handler = command.handlers[i];  // the list may grow under the call
            if (handler.before != before || handler.removed) continue;
            goOn = handler.callback(&command, phase, handler.refcon) != 0;
        }
        if (!goOn) break;
        if (before && command.action) command.action(phase);
    }
    if (--command.runningChains == 0)
        std::erase_if(command.handlers, [](const CommandHandler& h) { return h.removed; });
}

// A command already held is not begun again, and one not held is not ended.
void Begin(HostCommand& command) {
    if (command.held) return;
    command.held = true;
    RunPhase(command, xplm_CommandBegin);
}

void End(HostCommand& command) {
    if (!command.held) return;
    command.held = false;
    RunPhase(command, xplm_CommandEnd);
}

void Once(HostCommand& command) {
    RunPhase(command, xplm_CommandBegin);
    RunPhase(command, xplm_CommandEnd);
}

}  // namespace

XPLM_API XPLMCommandRef XPLMFindCommand(const char* inName) {
    RecordCall("XPLMFindCommand", inName ? inName : "");
    return inName ? FindHostCommand(inName) : nullptr;
}

XPLM_API XPLMCommandRef XPLMCreateCommand(const char* inName, const char* inDescription) {
    RecordCall("XPLMCreateCommand", inName ? inName : "");
    if (!inName) return nullptr;
    // A name that exists already gives that command, as it stands.
    if (HostCommand* existing = FindHostCommand(inName)) return existing;
    HostCommand& created = AddCommand(inName, inDescription ? inDescription : "");
    created.createdByPlugin = true;
    return &created;
}

XPLM_API void XPLMCommandBegin(XPLMCommandRef inCommand) {
    HostCommand* command = Command(inCommand);
    RecordCall("XPLMCommandBegin", Describe(command));
    if (command) Begin(*command);
}

XPLM_API void XPLMCommandEnd(XPLMCommandRef inCommand) {
    HostCommand* command = Command(inCommand);
    RecordCall("XPLMCommandEnd", Describe(command));
    if (command) End(*command);
}

XPLM_API void XPLMCommandOnce(XPLMCommandRef inCommand) {
    HostCommand* command = Command(inCommand);
    RecordCall("XPLMCommandOnce", Describe(command));
    if (command) Once(*command);
}

XPLM_API void XPLMRegisterCommandHandler(XPLMCommandRef inComand, XPLMCommandCallback_f inHandler, int inBefore,
                                         void* inRefcon) {
    HostCommand* command = Command(inComand);
    RecordCall("XPLMRegisterCommandHandler", Describe(command) + " before=" + std::to_string(inBefore) +
                                                 " refcon=" + PointerText(inRefcon));
    if (!command || !inHandler) return;
    command->handlers.push_back({inHandler, inBefore ? 1 : 0, inRefcon});
}

XPLM_API void XPLMUnregisterCommandHandler(XPLMCommandRef inComand, XPLMCommandCallback_f inHandler, int inBefore,
                                           void* inRefcon) {
    HostCommand* command = Command(inComand);
    RecordCall("XPLMUnregisterCommandHandler", Describe(command) + " before=" + std::to_string(inBefore) +
                                                   " refcon=" + PointerText(inRefcon));
    if (!command) return;
    const int before = inBefore ? 1 : 0;
    auto found = std::find_if(command->handlers.begin(), command->handlers.end(), [&](const CommandHandler& h) {
        return !h.removed && h.callback == inHandler && h.before == before && h.refcon == inRefcon;
    });
    if (found == command->handlers.end()) return;
    // A chain in progress walks the list by index; it erases what was removed when done.
    if (command->runningChains > 0)
        found->removed = true;
    else
        command->handlers.erase(found);
}

namespace korvane::host {

HostCommand* FindHostCommand(const std::string& name) {
    auto found = State().commandsByName.find(name);
    return found == State().commandsByName.end() ? nullptr : found->second;
}

bool PressCommand(const std::string& name, CommandPress press) {
    HostCommand* command = FindHostCommand(name);
    if (!command) return false;
    switch (press) {
        case CommandPress::Once: Once(*command); break;
        case CommandPress::Begin: Begin(*command); break;
        case CommandPress::End: End(*command); break;
    }
    return true;
}

void RunHeldCommands() {
    // Commands created meanwhile wait for the next frame; each is found by its index,
    // since the list may grow under a handler.
    HostState& state = State();
    const std::size_t count = state.commands.size();
    for (std::size_t i = 0; i < count; ++i)
        if (HostCommand& command = *state.commands[i]; command.held) RunPhase(command, xplm_CommandContinue);
}

void AddSimulatorCommands() {
    AddCommand("sim/operation/pause_toggle", "Toggle paused sim.", PauseToggle);
    AddCommand("sim/operation/screenshot", "Take a screenshot.");
    AddCommand("sim/operation/reset_flight", "Reset flight to the most recent start.");
    AddCommand("sim/operation/quit", "Quit X-Plane.");
    AddCommand("sim/flight_controls/flaps_down", "Flaps down a notch.", FlapsDown);
    AddCommand("sim/flight_controls/flaps_up", "Flaps up a notch.", FlapsUp);
    AddCommand("sim/flight_controls/landing_gear_toggle", "Landing gear toggle.", GearToggle);
    AddCommand("sim/flight_controls/landing_gear_down", "Landing gear down.", GearDown);
    AddCommand("sim/flight_controls/landing_gear_up", "Landing gear up.", GearUp);
    AddCommand("sim/flight_controls/speed_brakes_down_one", "Speedbrakes extend one.");
    AddCommand("sim/flight_controls/speed_brakes_up_one", "Speedbrakes retract one.");
    AddCommand("sim/flight_controls/pitch_trim_up", "Pitch trim up.");
    AddCommand("sim/flight_controls/pitch_trim_down", "Pitch trim down.");
    AddCommand("sim/flight_controls/brakes_regular", "Hold brakes regular.");
    AddCommand("sim/flight_controls/brakes_max", "Hold brakes maximum.");
    AddCommand("sim/flight_controls/brakes_toggle_regular", "Toggle brakes regular effort.");
    AddCommand("sim/engines/throttle_up", "Throttle up.", ThrottleUp);
    AddCommand("sim/engines/throttle_down", "Throttle down.", ThrottleDown);
    AddCommand("sim/engines/mixture_up", "Mixture up.");
    AddCommand("sim/engines/mixture_down", "Mixture down.");
    AddCommand("sim/engines/prop_up", "Prop up.");
    AddCommand("sim/engines/prop_down", "Prop down.");
    AddCommand("sim/engines/engage_starters", "Engage starters.");
    AddCommand("sim/engines/thrust_reverse_toggle", "Toggle thrust reversers.");
    AddCommand("sim/radios/com1_standy_flip", "COM 1 flip standby.");
    AddCommand("sim/radios/com2_standy_flip", "COM 2 flip standby.");
    AddCommand("sim/radios/nav1_standy_flip", "NAV 1 flip standby.");
    AddCommand("sim/radios/nav2_standy_flip", "NAV 2 flip standby.");
    AddCommand("sim/radios/stby_com1_coarse_up", "COM 1 standby coarse up.");
    AddCommand("sim/radios/stby_com1_coarse_down", "COM 1 standby coarse down.");
    AddCommand("sim/radios/stby_com1_fine_up", "COM 1 standby fine up.");
    AddCommand("sim/radios/stby_com1_fine_down", "COM 1 standby fine down.");
    AddCommand("sim/transponder/transponder_ident", "Transponder ident.");
    AddCommand("sim/view/forward_with_panel", "Forward with panel.");
    AddCommand("sim/view/forward_with_hud", "Forward with HUD.");
    AddCommand("sim/view/3d_cockpit_toggle", "Toggle 3-D cockpit.");
    AddCommand("sim/view/chase", "Chase view.");
    AddCommand("sim/view/circle", "Circle view.");
    AddCommand("sim/view/tower", "Tower view.");
    AddCommand("sim/view/runway", "Runway view.");
    AddCommand("sim/view/free_camera", "Free camera.");
    AddCommand("sim/autopilot/servos_toggle", "Toggle autopilot servos.");
    AddCommand("sim/autopilot/autothrottle_toggle", "Toggle autothrottle.");
    AddCommand("sim/autopilot/heading", "Autopilot heading select.");
    AddCommand("sim/autopilot/NAV", "Autopilot VOR/LOC arm.");
    AddCommand("sim/autopilot/approach", "Autopilot approach.");
    AddCommand("sim/autopilot/altitude_hold", "Autopilot altitude select or hold.");
    AddCommand("sim/autopilot/vertical_speed", "Autopilot vertical speed.");
    AddCommand("sim/autopilot/heading_up", "Heading up.");
    AddCommand("sim/autopilot/heading_down", "Heading down.");
    AddCommand("sim/autopilot/altitude_up", "Altitude up.");
    AddCommand("sim/autopilot/altitude_down", "Altitude down.");
    AddCommand("sim/lights/landing_lights_toggle", "Landing lights toggle.");
    AddCommand("sim/lights/beacon_lights_toggle", "Beacon lights toggle.");
    AddCommand("sim/lights/nav_lights_toggle", "Nav lights toggle.");
    AddCommand("sim/lights/strobe_lights_toggle", "Strobe lights toggle.");
    AddCommand("sim/lights/taxi_lights_toggle", "Taxi lights toggle.");
}

}  // namespace korvane::host
