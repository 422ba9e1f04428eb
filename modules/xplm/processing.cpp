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

PyMethodDef kMethods[] = {
    binding::Function<"XPLMGetElapsedTime", "", "Get Elapsed Time.">(GetElapsedTime),
    binding::Function<"XPLMGetCycleNumber", "", "Get Cycle Number.">(GetCycleNumber),
    binding::Function<"XPLMRegisterFlightLoopCallback", "self, inFlightLoop, inInterval, inRefcon",
                      "Register Flight Loop Callback.">(RegisterFlightLoopCallback),
    binding::Function<"XPLMUnregisterFlightLoopCallback", "self, inFlightLoop, inRefcon",
                      "Unregister Flight Loop Callback.">(UnregisterFlightLoopCallback),
    binding::Function<"XPLMSetFlightLoopCallbackInterval", "inFlightLoop, inInterval, inRelativeToNow, inRefcon",
                      "Set Flight Loop Callback Interval.\n\n"
                      "Also XPLMSetFlightLoopCallbackInterval(self, inFlightLoop, inInterval, inRelativeToNow, "
                      "inRefcon): only the calling script's registration of the callable.">(
        SetFlightLoopCallbackInterval),
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

PyObject* InitXPLMProcessing() { return binding::CreateModule("XPLMProcessing", kMethods); }

}  // namespace korvane
