// XPLMProcessing: the simulator's clock and flight-loop callbacks.
#include "core/core_state.h"
#include "modules/xplm/binding.h"
#include "modules/xplm/initialisers.h"
#include "registry/callback_dispatch.h"

#include <XPLMProcessing.h>

#include <vector>

namespace korvane {
namespace {

PyObject* GetElapsedTime(PyObject*, PyObject*) { return PyFloat_FromDouble(XPLMGetElapsedTime()); }

PyObject* GetCycleNumber(PyObject*, PyObject*) { return PyLong_FromLong(XPLMGetCycleNumber()); }

void UnregisterFromHost(const CallbackEntry& entry) {
    XPLMUnregisterFlightLoopCallback(dispatch::FlightLoopCallback, entry.hostRefcon);
}

PyObject* RegisterFlightLoopCallback(PyObject*, PyObject* args) {
    PyObject* self = nullptr;
    PyObject* callable = nullptr;
    float interval = 0;
    long refcon = 0;
    if (!PyArg_ParseTuple(args, "OOfl:XPLMRegisterFlightLoopCallback", &self, &callable, &interval, &refcon))
        return nullptr;
    CallbackEntry entry;
    entry.callable = PyRef::Borrow(callable);
    entry.refcon = refcon;
    entry.releaseHost = UnregisterFromHost;
    bool added = false;
    const CallbackEntry* stored = binding::RegisterEntry(CallbackKind::FlightLoop, self, std::move(entry), &added);
    if (!stored) return nullptr;
    if (added)
        XPLMRegisterFlightLoopCallback(dispatch::FlightLoopCallback, interval, stored->hostRefcon);
    else  // registered already, perhaps switched off by returning 0: it runs again as asked
        XPLMSetFlightLoopCallbackInterval(dispatch::FlightLoopCallback, interval, 1, stored->hostRefcon);
    return binding::ReturnOne();
}

PyObject* UnregisterFlightLoopCallback(PyObject*, PyObject* args) {
    PyObject* self = nullptr;
    PyObject* callable = nullptr;
    long refcon = 0;  // the host knows the registration by its entry, not by this
    if (!PyArg_ParseTuple(args, "OOl:XPLMUnregisterFlightLoopCallback", &self, &callable, &refcon)) return nullptr;
    if (std::optional<CallbackEntry> removed =
            binding::UnregisterByCallable(CallbackKind::FlightLoop, self, callable))
        removed->ReleaseHost();
    return binding::ReturnOne();
}

// The SDK's form names no script and reaches every registration of the callable; with
// `self` first, as every registering call takes it, only that script's registration.
PyObject* SetFlightLoopCallbackInterval(PyObject*, PyObject* args) {
    PyObject* self = nullptr;
    PyObject* callable = nullptr;
    float interval = 0;
    int relativeToNow = 0;
    long refcon = 0;  // accepted for the SDK's signature; the callable names the registration
    const Py_ssize_t given = PyTuple_GET_SIZE(args);
    if (given != 4 && given != 5) {
        PyErr_Format(PyExc_TypeError,
                     "XPLMSetFlightLoopCallbackInterval() takes 4 arguments, or 5 with self first (%zd given)", given);
        return nullptr;
    }
    const bool withSelf = given == 5;
    if (withSelf ? !PyArg_ParseTuple(args, "OOfil:XPLMSetFlightLoopCallbackInterval", &self, &callable, &interval,
                                     &relativeToNow, &refcon)
                 : !PyArg_ParseTuple(args, "Ofil:XPLMSetFlightLoopCallbackInterval", &callable, &interval,
                                     &relativeToNow, &refcon))
        return nullptr;
    if (!registry) return binding::ReturnOne();
    std::vector<void*> hostRefcons;
    if (!withSelf)
        hostRefcons = registry->HostRefconsOf(CallbackKind::FlightLoop, callable);
    else if (const CallbackEntry* entry = registry->FindEntry(CallbackKind::FlightLoop, self, callable))
        hostRefcons.push_back(entry->hostRefcon);
    for (void* hostRefcon : hostRefcons)
        XPLMSetFlightLoopCallbackInterval(dispatch::FlightLoopCallback, interval, relativeToNow, hostRefcon);
    return binding::ReturnOne();
}

// SDK 2.10 flight loops: each created one is the host object its entry stands for, found
// by its ID; the entry's refcon names it to the host.
using CreateFlightLoopFunction = XPLMFlightLoopID (*)(XPLMCreateFlightLoop_t*);
using DestroyFlightLoopFunction = void (*)(XPLMFlightLoopID);
using ScheduleFlightLoopFunction = void (*)(XPLMFlightLoopID, float, int);
constexpr const char* kFlightLoopSdk = "2.10";

PyObject* CreateFlightLoop(PyObject*, PyObject* args) {
    PyObject* self = nullptr;
    PyObject* params = nullptr;
    if (!PyArg_ParseTuple(args, "OO:XPLMCreateFlightLoop", &self, &params)) return nullptr;
    int phase = 0;
    PyObject* callable = nullptr;
    long refcon = 0;
    if (!binding::ParseStruct(params, "iOl:XPLMCreateFlightLoop_t", &phase, &callable, &refcon) ||
        !binding::CheckCallable(callable, "XPLMCreateFlightLoop_t's callbackFunc"))
        return nullptr;
    if (phase != xplm_FlightLoop_Phase_BeforeFlightModel && phase != xplm_FlightLoop_Phase_AfterFlightModel) {
        PyErr_Format(PyExc_ValueError,
                     "XPLMCreateFlightLoop_t's phase is xplm_FlightLoop_Phase_BeforeFlightModel (0) or "
                     "xplm_FlightLoop_Phase_AfterFlightModel (1), not %d",
                     phase);
        return nullptr;
    }
    auto create = binding::FindNewerSdkFunction<CreateFlightLoopFunction>("XPLMCreateFlightLoop", kFlightLoopSdk);
    auto destroy = binding::FindNewerSdkFunction<DestroyFlightLoopFunction>("XPLMDestroyFlightLoop", kFlightLoopSdk);
    if (!create || !destroy) return nullptr;
    CallbackEntry entry;
    entry.callable = PyRef::Borrow(callable);
    entry.refcon = refcon;
    entry.releaseHost = [destroy](const CallbackEntry& e) {
        if (e.handle) destroy(e.handle);
    };
    const CallbackEntry* stored = binding::RegisterEntry(CallbackKind::CreatedFlightLoop, self, std::move(entry));
    if (!stored) return nullptr;
    void* hostRefcon = stored->hostRefcon;
    XPLMCreateFlightLoop_t hostParams{sizeof(XPLMCreateFlightLoop_t), phase, dispatch::CreatedFlightLoopCallback,
                                      hostRefcon};
    XPLMFlightLoopID loop = create(&hostParams);
    binding::AttachHostHandle(CallbackKind::CreatedFlightLoop, self, hostRefcon, loop);
    return binding::HandleOrNone(loop);
}

// Only the script's own flight loops are destroyed; any other ID raises ValueError.
PyObject* DestroyFlightLoop(PyObject*, PyObject* args) {
    PyObject* self = nullptr;
    void* loop = nullptr;
    if (!PyArg_ParseTuple(args, "OO&:XPLMDestroyFlightLoop", &self, binding::ParseHandle, &loop)) return nullptr;
    std::optional<CallbackEntry> removed;
    if (registry && loop) removed = registry->RemoveByHandle(CallbackKind::CreatedFlightLoop, self, loop);
    if (!removed) {
        PyErr_Format(PyExc_ValueError, "%p is not a flight loop this script created with XPLMCreateFlightLoop", loop);
        return nullptr;
    }
    removed->ReleaseHost();
    return binding::ReturnOne();
}

// Names its flight loop by the ID; scripts may pass their `self` first as well.
PyObject* ScheduleFlightLoop(PyObject*, PyObject* args) {
    PyObject* self = nullptr;
    void* loop = nullptr;
    float interval = 0;
    int relativeToNow = 0;
    const bool withSelf = PyTuple_GET_SIZE(args) == 4;
    if (withSelf ? !PyArg_ParseTuple(args, "OO&fi:XPLMScheduleFlightLoop", &self, binding::ParseHandle, &loop,
                                     &interval, &relativeToNow)
                 : !PyArg_ParseTuple(args, "O&fi:XPLMScheduleFlightLoop", binding::ParseHandle, &loop, &interval,
                                     &relativeToNow))
        return nullptr;
    if (!loop || !registry || !registry->HoldsHandle(CallbackKind::CreatedFlightLoop, loop)) {
        PyErr_Format(PyExc_ValueError, "%p is not a flight loop created with XPLMCreateFlightLoop", loop);
        return nullptr;
    }
    auto schedule =
        binding::FindNewerSdkFunction<ScheduleFlightLoopFunction>("XPLMScheduleFlightLoop", kFlightLoopSdk);
    if (!schedule) return nullptr;
    schedule(loop, interval, relativeToNow);
    return binding::ReturnOne();
}

PyMethodDef kMethods[] = {
    binding::Function<"XPLMGetElapsedTime", "", "Get Elapsed Time.", GetElapsedTime>(),
    binding::Function<"XPLMGetCycleNumber", "", "Get Cycle Number.", GetCycleNumber>(),
    binding::Function<"XPLMRegisterFlightLoopCallback", "self, inFlightLoop, inInterval, inRefcon",
                      "Register Flight Loop Callback.", RegisterFlightLoopCallback>(),
    binding::Function<"XPLMUnregisterFlightLoopCallback", "self, inFlightLoop, inRefcon",
                      "Unregister Flight Loop Callback.", UnregisterFlightLoopCallback>(),
    binding::Function<"XPLMSetFlightLoopCallbackInterval", "inFlightLoop, inInterval, inRelativeToNow, inRefcon",
                      "Set Flight Loop Callback Interval.\n\n"
                      "Also XPLMSetFlightLoopCallbackInterval(self, inFlightLoop, inInterval, inRelativeToNow, "
                      "inRefcon): only the calling script's registration of the callable.", SetFlightLoopCallbackInterval>(),
    binding::Function<"XPLMCreateFlightLoop", "self, inParams",
                      "Creates a flight loop (SDK 2.10); inParams is (phase, callbackFunc, refcon). Returns its ID, "
                      "unscheduled until XPLMScheduleFlightLoop.", CreateFlightLoop>(),
    binding::Function<"XPLMDestroyFlightLoop", "self, inFlightLoopID",
                      "Destroys a flight loop the script created (SDK 2.10).", DestroyFlightLoop>(),
    binding::Function<"XPLMScheduleFlightLoop", "inFlightLoopID, inInterval, inRelativeToNow",
                      "Schedules a created flight loop (SDK 2.10): seconds when positive, flight loops when "
                      "negative, never when 0. A leading self is accepted.", ScheduleFlightLoop>(),
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

PyObject* InitXPLMProcessing() {
    return binding::CreateModule(
        "XPLMProcessing", kMethods,
        {{"xplm_FlightLoop_Phase_BeforeFlightModel", xplm_FlightLoop_Phase_BeforeFlightModel},
         {"xplm_FlightLoop_Phase_AfterFlightModel", xplm_FlightLoop_Phase_AfterFlightModel}});
}

}  // namespace korvane
