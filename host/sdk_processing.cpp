// XPLMProcessing as the headless host serves it: simulated time and flight loops
// scheduled on it.
#include "host/frame_work.h"
#include "host/host_state.h"

#include <XPLMProcessing.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

using namespace korvane::host;

namespace {

// Frame times are sums of binary fractions; a call due "now" must not slip a frame.
constexpr double kTimeTolerance = 1e-9;

void Schedule(FlightLoop& loop, float interval, double fromTime, long fromCycle) {
    if (interval > 0) {
        loop.schedule = FlightLoop::Schedule::AtTime;
        loop.nextCallTime = fromTime + interval;
    } else if (interval < 0) {
        loop.schedule = FlightLoop::Schedule::AtCycle;
        loop.nextCallCycle = fromCycle + std::max(1L, std::lround(-interval));
    } else {
        loop.schedule = FlightLoop::Schedule::Off;
    }
}

bool Due(const FlightLoop& loop, double now, long cycle) {
    switch (loop.schedule) {
        case FlightLoop::Schedule::AtTime: return now + kTimeTolerance >= loop.nextCallTime;
        case FlightLoop::Schedule::AtCycle: return cycle >= loop.nextCallCycle;
        case FlightLoop::Schedule::Off: return false;
    }
    return false;
}

FlightLoop* FindLive(XPLMFlightLoop_f callback, void* refcon) {
    for (FlightLoop& loop : State().flightLoops)
        if (!loop.removed && !loop.id && loop.callback == callback && loop.refcon == refcon) return &loop;
    return nullptr;
}

// A created flight loop by its ID; an unknown ID is a bad call.
FlightLoop* FindCreated(XPLMFlightLoopID id, const char* function) {
    if (id)
        for (FlightLoop& loop : State().flightLoops)
            if (!loop.removed && loop.id == id) return &loop;
    ReportSdkError(function, PointerText(id) + " is not a flight loop ID");
    return nullptr;
}

// Out of the list, or marked for the pass in progress to erase when done (it walks
// the list by index).
void Remove(FlightLoop& loop) {
    HostState& state = State();
    if (state.runningFlightLoops) {
        loop.removed = true;
        return;
    }
    state.flightLoops.erase(state.flightLoops.begin() + (&loop - state.flightLoops.data()));
}

void Reschedule(FlightLoop& loop, float interval, int relativeToNow) {
    const HostState& state = State();
    if (relativeToNow)
        Schedule(loop, interval, state.elapsedTime, state.cycle);
    else
        Schedule(loop, interval, loop.lastCallTime, loop.lastCallCycle);
}

std::string Details(float interval, void* refcon) {
    return "interval=" + std::to_string(interval) + " refcon=" + PointerText(refcon);
}

}  // namespace

XPLM_API float XPLMGetElapsedTime(void) { return static_cast<float>(State().elapsedTime); }

XPLM_API int XPLMGetCycleNumber(void) { return static_cast<int>(State().cycle); }

XPLM_API void XPLMRegisterFlightLoopCallback(XPLMFlightLoop_f inFlightLoop, float inInterval, void* inRefcon) {
    RecordCall("XPLMRegisterFlightLoopCallback", Details(inInterval, inRefcon));
    HostState& state = State();
    FlightLoop loop;
    loop.callback = inFlightLoop;
    loop.refcon = inRefcon;
    loop.lastCallTime = state.elapsedTime;
    loop.lastCallCycle = state.cycle;
    Schedule(loop, inInterval, state.elapsedTime, state.cycle);
    state.flightLoops.push_back(loop);
}

XPLM_API void XPLMUnregisterFlightLoopCallback(XPLMFlightLoop_f inFlightLoop, void* inRefcon) {
    RecordCall("XPLMUnregisterFlightLoopCallback", "refcon=" + PointerText(inRefcon));
    if (FlightLoop* loop = FindLive(inFlightLoop, inRefcon)) Remove(*loop);
}

XPLM_API void XPLMSetFlightLoopCallbackInterval(XPLMFlightLoop_f inFlightLoop, float inInterval, int inRelativeToNow,
                                                void* inRefcon) {
    RecordCall("XPLMSetFlightLoopCallbackInterval",
               Details(inInterval, inRefcon) + " relativeToNow=" + std::to_string(inRelativeToNow));
    if (FlightLoop* loop = FindLive(inFlightLoop, inRefcon)) Reschedule(*loop, inInterval, inRelativeToNow);
}

// SDK 2.10 flight loops: made unscheduled, each with an ID of its own.
XPLM_API XPLMFlightLoopID XPLMCreateFlightLoop(XPLMCreateFlightLoop_t* inParams) {
    if (!inParams || inParams->structSize < static_cast<int>(sizeof(XPLMCreateFlightLoop_t)) ||
        !inParams->callbackFunc ||
        (inParams->phase != xplm_FlightLoop_Phase_BeforeFlightModel &&
         inParams->phase != xplm_FlightLoop_Phase_AfterFlightModel)) {
        RecordCall("XPLMCreateFlightLoop", "refused");
        ReportSdkError("XPLMCreateFlightLoop", "bad parameters");
        return nullptr;
    }
    HostState& state = State();
    // High bits set, so that a binding that cuts IDs to 32 bits shows at once.
    auto id = reinterpret_cast<XPLMFlightLoopID>((std::uintptr_t{0xF1007} << 32) | ++state.lastFlightLoopSerial);
    RecordCall("XPLMCreateFlightLoop", "id=" + PointerText(id) + " phase=" + std::to_string(inParams->phase) +
                                           " refcon=" + PointerText(inParams->refcon));
    FlightLoop loop;
    loop.callback = inParams->callbackFunc;
    loop.refcon = inParams->refcon;
    loop.id = id;
    loop.phase = inParams->phase;
    loop.lastCallTime = state.elapsedTime;
    loop.lastCallCycle = state.cycle;
    state.flightLoops.push_back(loop);
    return id;
}

XPLM_API void XPLMDestroyFlightLoop(XPLMFlightLoopID inFlightLoopID) {
    RecordCall("XPLMDestroyFlightLoop", "id=" + PointerText(inFlightLoopID));
    if (FlightLoop* loop = FindCreated(inFlightLoopID, "XPLMDestroyFlightLoop")) Remove(*loop);
}

XPLM_API void XPLMScheduleFlightLoop(XPLMFlightLoopID inFlightLoopID, float inInterval, int inRelativeToNow) {
    RecordCall("XPLMScheduleFlightLoop", "id=" + PointerText(inFlightLoopID) + " interval=" +
                                             std::to_string(inInterval) +
                                             " relativeToNow=" + std::to_string(inRelativeToNow));
    if (FlightLoop* loop = FindCreated(inFlightLoopID, "XPLMScheduleFlightLoop"))
        Reschedule(*loop, inInterval, inRelativeToNow);
}

namespace korvane::host {

std::vector<FlightLoop> LiveFlightLoops() {
    std::vector<FlightLoop> live;
    for (const FlightLoop& loop : State().flightLoops)
        if (!loop.removed) live.push_back(loop);
    return live;
}

void RunFlightLoops() {
    HostState& state = State();
    const double now = state.elapsedTime;
    const long cycle = state.cycle;
    const auto sinceLastPass = static_cast<float>(now - state.lastFlightLoopPass);
    state.runningFlightLoops = true;
    // Loops registered during the pass wait for the next one; the list may grow (and
    // move) under every call, so each loop is found again by its index afterwards.
    // Created loops of the before-flight-model phase run first; the host's flight model
    // has nothing to integrate, then registered loops and the after phase run.
    const std::size_t count = state.flightLoops.size();
    for (const bool beforeFlightModel : {true, false}) {
        for (std::size_t i = 0; i < count; ++i) {
            FlightLoop& loop = state.flightLoops[i];
            if ((loop.phase == xplm_FlightLoop_Phase_BeforeFlightModel) != beforeFlightModel) continue;
            if (loop.removed || !Due(loop, now, cycle)) continue;
            const auto sinceLastCall = static_cast<float>(now - loop.lastCallTime);
            loop.lastCallTime = now;
            loop.lastCallCycle = cycle;
            const XPLMFlightLoop_f callback = loop.callback;
            void* const refcon = loop.refcon;
            float next = callback(sinceLastCall, sinceLastPass, static_cast<int>(cycle), refcon);
            FlightLoop& called = state.flightLoops[i];
            if (!called.removed) Schedule(called, next, now, cycle);
        }
    }
    state.runningFlightLoops = false;
    std::erase_if(state.flightLoops, [](const FlightLoop& loop) { return loop.removed; });
    state.lastFlightLoopPass = now;
}

}  // namespace korvane::host
