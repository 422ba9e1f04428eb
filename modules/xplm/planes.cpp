// XPLMPlanes: the user's aircraft, the loaded models and exclusive control of the other aircraft.
#include "core/core_state.h"
#include "modules/xplm/binding.h"
#include "modules/xplm/initialisers.h"
#include "registry/callback_dispatch.h"

#include <XPLMPlanes.h>

#include <array>
#include <cstddef>

namespace korvane {
namespace {

// The host reads the path array up to its first null pointer, so one slot past the
// script's items always stays null.
constexpr Py_ssize_t kMaxAircraftPaths = 11;
// A size field followed by ten floats.
constexpr Py_ssize_t kDrawStateItems = 11;
constexpr long kDrawStateSize = static_cast<long>(sizeof(XPLMPlaneDrawState_t));

PyObject* SetUsersAircraft(PyObject*, PyObject* args) {
    binding::HostText path;
    if (!PyArg_ParseTuple(args, "O&:XPLMSetUsersAircraft", binding::ParseHostText, &path)) return nullptr;
    XPLMSetUsersAircraft(path.text);
    return binding::ReturnOne();
}

PyObject* PlaceUserAtAirport(PyObject*, PyObject* args) {
    binding::HostText airport;
    if (!PyArg_ParseTuple(args, "O&:XPLMPlaceUserAtAirport", binding::ParseHostText, &airport)) return nullptr;
    XPLMPlaceUserAtAirport(airport.text);
    return binding::ReturnOne();
}

PyObject* CountAircraft(PyObject*, PyObject*) {
    int total = 0;
    int active = 0;
    XPLMPluginID controller = 0;
    XPLMCountAircraft(&total, &active, &controller);
    return Py_BuildValue("iii", total, active, controller);
}

PyObject* GetNthAircraftModel(PyObject*, PyObject* args) {
    int index = 0;
    if (!PyArg_ParseTuple(args, "i:XPLMGetNthAircraftModel", &index)) return nullptr;
    std::array<char, 1024> fileName{};
    std::array<char, 1024> path{};
    XPLMGetNthAircraftModel(index, fileName.data(), path.data());
    fileName.back() = '\0';
    path.back() = '\0';
    PyRef fileText = PyRef::Steal(binding::TextFromHost(fileName.data()));
    PyRef pathText = fileText ? PyRef::Steal(binding::TextFromHost(path.data())) : PyRef();
    if (!pathText) return nullptr;
    return PyTuple_Pack(2, fileText.get(), pathText.get());
}

// The path list as the host takes it: one pointer per item and a null pointer after
// the last. The host reads an empty text as "leave this aircraft as it is", so an empty
// text (or None) is passed as one and never ends the list early.
struct AircraftPaths {
    // Held so that the texts outlive anything that changes the list before the host call.
    std::array<PyRef, kMaxAircraftPaths> items;
    std::array<binding::HostText, kMaxAircraftPaths> texts;
    std::array<char*, kMaxAircraftPaths + 1> pointers{};
};

bool ReadAircraftPaths(PyObject* list, AircraftPaths& paths) {
    Py_ssize_t count = PyList_GET_SIZE(list);
    if (count > kMaxAircraftPaths) {
        PyErr_Format(PyExc_ValueError, "XPLMAcquirePlanes() takes at most %zd aircraft paths, not %zd",
                     kMaxAircraftPaths, count);
        return false;
    }
    static char unchanged[] = "";
    for (Py_ssize_t i = 0; i < count; ++i) {
        const auto slot = static_cast<std::size_t>(i);
        PyObject* item = PyList_GET_ITEM(list, i);
        if (item == Py_None) {
            paths.pointers[slot] = unchanged;
            continue;
        }
        if (!PyUnicode_Check(item) && !PyBytes_Check(item)) {
            PyErr_Format(PyExc_TypeError, "XPLMAcquirePlanes() aircraft path %zd must be str, bytes or None, not %.200s",
                         i, Py_TYPE(item)->tp_name);
            return false;
        }
        paths.items[slot] = PyRef::Borrow(item);
        if (!binding::ParseHostText(item, &paths.texts[slot])) return false;
        // The host never writes through these; its signature merely lacks the const.
        paths.pointers[slot] = const_cast<char*>(paths.texts[slot].text);
    }
    return true;
}

// The host keeps one planes grant per plug-in, so it is given back only once no
// script holds a planes entry any more (a failed script must not take the planes
// from the scripts still using them).
void ReleasePlanesIfUnused(const CallbackEntry&) {
    if (!registry || !registry->HoldsAny(CallbackKind::Planes)) XPLMReleasePlanes();
}

PyObject* AcquirePlanes(PyObject*, PyObject* args) {
    PyObject* self = nullptr;
    PyObject* list = nullptr;
    PyObject* callable = nullptr;
    long refcon = 0;
    if (!PyArg_ParseTuple(args, "OO!Ol:XPLMAcquirePlanes", &self, &PyList_Type, &list, &callable, &refcon))
        return nullptr;
    AircraftPaths paths;
    if (!ReadAircraftPaths(list, paths)) return nullptr;
    CallbackEntry entry;
    entry.callable = PyRef::Borrow(callable);
    entry.refcon = refcon;
    entry.releaseHost = ReleasePlanesIfUnused;
    const CallbackEntry* stored = binding::RegisterEntry(CallbackKind::Planes, self, std::move(entry));
    if (!stored) return nullptr;
    // Asked again for an earlier entry too: the host may have let the planes go since.
    // The entry stays either way: when the planes were refused (0), the callable hears
    // when they are free.
    void* hostRefcon = stored->hostRefcon;
    return PyLong_FromLong(XPLMAcquirePlanes(paths.pointers.data(), dispatch::UserPlanesAvailableCallback, hostRefcon));
}

PyObject* ReleasePlanes(PyObject*, PyObject* args) {
    PyObject* self = nullptr;
    if (!PyArg_ParseTuple(args, "O:XPLMReleasePlanes", &self)) return nullptr;
    if (binding::UnregisterAll(CallbackKind::Planes, self)) XPLMReleasePlanes();
    return binding::ReturnOne();
}

PyObject* SetActiveAircraftCount(PyObject*, PyObject* args) {
    int count = 0;
    if (!PyArg_ParseTuple(args, "i:XPLMSetActiveAircraftCount", &count)) return nullptr;
    XPLMSetActiveAircraftCount(count);
    return binding::ReturnOne();
}

PyObject* SetAircraftModel(PyObject*, PyObject* args) {
    int index = 0;
    binding::HostText path;
    if (!PyArg_ParseTuple(args, "iO&:XPLMSetAircraftModel", &index, binding::ParseHostText, &path)) return nullptr;
    XPLMSetAircraftModel(index, path.text);
    return binding::ReturnOne();
}

PyObject* DisableAIForPlane(PyObject*, PyObject* args) {
    int index = 0;
    if (!PyArg_ParseTuple(args, "i:XPLMDisableAIForPlane", &index)) return nullptr;
    XPLMDisableAIForPlane(index);
    return binding::ReturnOne();
}

// Fills the record from the script's sequence, or raises. The size field tells the
// host how much of the record to read, so it may not claim more than the record holds.
bool ReadDrawState(PyObject* sequence, XPLMPlaneDrawState_t& state) {
    if (!PySequence_Check(sequence)) {
        PyErr_Format(PyExc_TypeError, "XPLMDrawAircraft() expects a sequence for the draw state, not %.200s",
                     Py_TYPE(sequence)->tp_name);
        return false;
    }
    Py_ssize_t length = PySequence_Size(sequence);
    if (length < 0) return false;
    if (length < kDrawStateItems) {
        PyErr_Format(PyExc_ValueError, "XPLMDrawAircraft() expects %zd draw state items, not %zd", kDrawStateItems,
                     length);
        return false;
    }
    PyRef sizeItem = PyRef::Steal(PySequence_GetItem(sequence, 0));
    if (!sizeItem) return false;
    long size = PyLong_AsLong(sizeItem.get());
    if (size == -1 && PyErr_Occurred()) return false;
    if (size < 0 || size > kDrawStateSize) {
        PyErr_Format(PyExc_ValueError, "XPLMDrawAircraft() draw state size must be 0 to %ld, not %ld", kDrawStateSize,
                     size);
        return false;
    }
    state.structSize = static_cast<int>(size);
    float* fields[] = {&state.gearPosition, &state.flapRatio,   &state.spoilerRatio, &state.speedBrakeRatio,
                       &state.slatRatio,    &state.wingSweep,   &state.thrust,       &state.yokePitch,
                       &state.yokeHeading,  &state.yokeRoll};
    Py_ssize_t index = 1;
    for (float* field : fields) {
        PyRef item = PyRef::Steal(PySequence_GetItem(sequence, index++));
        if (!item) return false;
        double value = PyFloat_AsDouble(item.get());
        if (value == -1.0 && PyErr_Occurred()) return false;
        *field = static_cast<float>(value);
    }
    return true;
}

PyObject* DrawAircraft(PyObject*, PyObject* args) {
    int index = 0;
    float x = 0, y = 0, z = 0, pitch = 0, roll = 0, yaw = 0;
    int fullDraw = 0;
    PyObject* sequence = nullptr;
    if (!PyArg_ParseTuple(args, "iffffffiO:XPLMDrawAircraft", &index, &x, &y, &z, &pitch, &roll, &yaw, &fullDraw,
                          &sequence))
        return nullptr;
    XPLMPlaneDrawState_t state{};
    if (!ReadDrawState(sequence, state)) return nullptr;
    XPLMDrawAircraft(index, x, y, z, pitch, roll, yaw, fullDraw, &state);
    return binding::ReturnOne();
}

PyObject* ReinitUsersPlane(PyObject*, PyObject*) {
    XPLMReinitUsersPlane();
    return binding::ReturnOne();
}

PyMethodDef kMethods[] = {
    binding::Function<"XPLMSetUsersAircraft", "inAircraftPath", "Set Users Aircraft.", SetUsersAircraft>(),
    binding::Function<"XPLMPlaceUserAtAirport", "inAirportCode", "Place User At Airport.", PlaceUserAtAirport>(),
    binding::Function<"XPLMCountAircraft", "", "Count Aircraft.", CountAircraft>(),
    binding::Function<"XPLMGetNthAircraftModel", "inIndex", "Get Nth Aircraft Model.", GetNthAircraftModel>(),
    binding::Function<"XPLMAcquirePlanes", "self, inAircraft, inCallback, inRefcon", "Acquire Planes.", AcquirePlanes>(),
    binding::Function<"XPLMReleasePlanes", "self", "Release Planes.", ReleasePlanes>(),
    binding::Function<"XPLMSetActiveAircraftCount", "inCount", "Set Active Aircraft Count.", SetActiveAircraftCount>(),
    binding::Function<"XPLMSetAircraftModel", "inIndex, inAircraftPath", "Set Aircraft Model.", SetAircraftModel>(),
    binding::Function<"XPLMDisableAIForPlane", "inPlaneIndex", "Disable AI For Plane.", DisableAIForPlane>(),
    binding::Function<"XPLMDrawAircraft",
                      "inPlaneIndex, inX, inY, inZ, inPitch, inRoll, inYaw, inFullDraw, inDrawStateInfo",
                      "Draw Aircraft.", DrawAircraft>(),
    binding::Function<"XPLMReinitUsersPlane", "", "Reinit Users Plane.", ReinitUsersPlane>(),
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

PyObject* InitXPLMPlanes() {
    return binding::CreateModule("XPLMPlanes", kMethods, {{"XPLM_USER_AIRCRAFT", XPLM_USER_AIRCRAFT}});
}

}  // namespace korvane
