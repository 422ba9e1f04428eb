// XPLMScenery: terrain probes, objects drawn in the scene, and the scenery library.
// Probes and objects the scripts hold are registrations of the XPLMScenery module's
// record (the functions take no `self`), so a stop destroys and unloads what scripts
// left; an asynchronous load belongs to the script that asked for it.
#include "core/core_state.h"
#include "modules/xplm/binding.h"
#include "modules/xplm/initialisers.h"
#include "registry/callback_dispatch.h"

#include <XPLMScenery.h>

#include <array>
#include <memory>
#include <new>
#include <vector>

namespace korvane {
namespace {

constexpr const char* kModuleName = "XPLMScenery";

// The record probes and objects are kept in: the module itself.
PyObject* ModuleOwner() { return PyImport_AddModule(kModuleName); }

// Handles a script passes back must name a live probe or object: the simulator would
// use a stale or made-up one as a pointer.
bool CheckHeld(CallbackKind kind, void* handle, const char* function, const char* what) {
    if (handle && registry && registry->HoldsHandle(kind, handle)) return true;
    PyErr_Format(PyExc_ValueError, "%s(): %p is not a %s", function, handle, what);
    return false;
}

bool CheckCallable(PyObject* callable, const char* function) {
    if (PyCallable_Check(callable)) return true;
    PyErr_Format(PyExc_TypeError, "%s() expects a callable, not %.200s", function, Py_TYPE(callable)->tp_name);
    return false;
}

PyObject* CreateProbe(PyObject*, PyObject* args) {
    int type = 0;
    if (!PyArg_ParseTuple(args, "i:XPLMCreateProbe", &type)) return nullptr;
    if (type != xplm_ProbeY) {
        PyErr_Format(PyExc_ValueError, "XPLMCreateProbe(): unknown probe type %d (xplm_ProbeY is %d)", type,
                     xplm_ProbeY);
        return nullptr;
    }
    PyObject* owner = ModuleOwner();
    if (!owner || !binding::CheckRegistrationsOpen()) return nullptr;
    XPLMProbeRef probe = XPLMCreateProbe(type);
    if (!probe) Py_RETURN_NONE;
    CallbackEntry entry;
    entry.handle = probe;
    entry.releaseHost = [](const CallbackEntry& held) { XPLMDestroyProbe(held.handle); };
    if (!binding::RegisterEntry(CallbackKind::TerrainProbe, owner, std::move(entry))) {
        XPLMDestroyProbe(probe);
        return nullptr;
    }
    return binding::HandleToPython(probe);
}

PyObject* DestroyProbe(PyObject*, PyObject* args) {
    XPLMProbeRef probe = nullptr;
    if (!PyArg_ParseTuple(args, "O&:XPLMDestroyProbe", binding::ParseHandle, &probe)) return nullptr;
    if (!CheckHeld(CallbackKind::TerrainProbe, probe, "XPLMDestroyProbe", "live probe")) return nullptr;
    if (std::optional<CallbackEntry> removed = registry->RemoveByHandleFromAny(CallbackKind::TerrainProbe, probe))
        removed->ReleaseHost();
    return binding::ReturnOne();
}

// The struct's fields after structSize, in C order.
PyRef ProbeInfoList(const XPLMProbeInfo_t& info) {
    const double fields[] = {info.locationX, info.locationY, info.locationZ, info.normalX,   info.normalY,
                             info.normalZ,   info.velocityX, info.velocityY, info.velocityZ};
    PyRef list = PyRef::Steal(PyList_New(std::size(fields) + 1));
    if (!list) return list;
    Py_ssize_t index = 0;
    for (double field : fields) {
        PyObject* item = PyFloat_FromDouble(field);
        if (!item) return PyRef();
        PyList_SET_ITEM(list.get(), index++, item);  // steals the item
    }
    PyObject* wet = PyLong_FromLong(info.is_wet);
    if (!wet) return PyRef();
    PyList_SET_ITEM(list.get(), index, wet);
    return list;
}

PyObject* ProbeTerrainXYZ(PyObject*, PyObject* args) {
    XPLMProbeRef probe = nullptr;
    float x = 0, y = 0, z = 0;
    PyObject* infoList = nullptr;
    if (!PyArg_ParseTuple(args, "O&fffO:XPLMProbeTerrainXYZ", binding::ParseHandle, &probe, &x, &y, &z, &infoList))
        return nullptr;
    if (!binding::CheckResultList(infoList, "XPLMProbeTerrainXYZ")) return nullptr;
    if (!CheckHeld(CallbackKind::TerrainProbe, probe, "XPLMProbeTerrainXYZ", "live probe")) return nullptr;
    XPLMProbeInfo_t info{};
    info.structSize = sizeof info;
    XPLMProbeResult result = XPLMProbeTerrainXYZ(probe, x, y, z, &info);
    if (infoList != Py_None) {
        // A probe that hit nothing filled nothing: no values that look like ground.
        PyRef fields = result == xplm_ProbeHitTerrain ? ProbeInfoList(info) : PyRef::Steal(PyList_New(0));
        if (!fields || PyList_SetSlice(infoList, 0, PY_SSIZE_T_MAX, fields.get()) < 0) return nullptr;
    }
    return PyLong_FromLong(result);
}

PyObject* LoadObject(PyObject*, PyObject* args) {
    binding::HostText path;
    if (!PyArg_ParseTuple(args, "O&:XPLMLoadObject", binding::ParseHostText, &path)) return nullptr;
    PyObject* owner = ModuleOwner();
    if (!owner || !binding::CheckRegistrationsOpen()) return nullptr;
    XPLMObjectRef object = XPLMLoadObject(path.text);
    if (!object) Py_RETURN_NONE;
    if (!dispatch::HoldSceneryObject(owner, object)) return nullptr;
    return binding::HandleToPython(object);
}

PyObject* LoadObjectAsync(PyObject*, PyObject* args) {
    PyObject* self = nullptr;
    binding::HostText path;
    PyObject* callable = nullptr;
    long refcon = 0;
    if (!PyArg_ParseTuple(args, "OO&Ol:XPLMLoadObjectAsync", &self, binding::ParseHostText, &path, &callable,
                          &refcon))
        return nullptr;
    if (!CheckCallable(callable, "XPLMLoadObjectAsync")) return nullptr;
    using LoadAsync = void (*)(const char*, XPLMObjectLoaded_f, void*);
    auto loadAsync = binding::FindNewerSdkFunction<LoadAsync>("XPLMLoadObjectAsync", "2.10");
    if (!loadAsync) return nullptr;
    // The host keeps the pending record until it answers, however long that takes.
    auto pending = std::make_unique<dispatch::PendingObjectLoad>();
    pending->owner = self;
    pending->path = path.text;
    CallbackEntry entry;
    entry.callable = PyRef::Borrow(callable);
    entry.refcon = refcon;
    entry.handle = pending.get();
    entry.releaseHost = [](const CallbackEntry& waiting) {
        static_cast<dispatch::PendingObjectLoad*>(waiting.handle)->abandoned = true;
    };
    if (!binding::RegisterEntry(CallbackKind::ObjectLoad, self, std::move(entry))) return nullptr;
    loadAsync(path.text, dispatch::ObjectLoadedCallback, pending.release());
    return binding::ReturnOne();
}

// One draw location: the struct's fields after structSize, six numbers.
bool ReadDrawLocation(PyObject* location, Py_ssize_t index, XPLMDrawInfo_t& info) {
    PyRef fields = PyRef::Steal(PySequence_Fast(location, "XPLMDrawObjects() expects each location as a sequence"));
    if (!fields) return false;
    std::array<float*, 6> targets = {&info.x, &info.y, &info.z, &info.pitch, &info.heading, &info.roll};
    if (PySequence_Fast_GET_SIZE(fields.get()) != static_cast<Py_ssize_t>(targets.size())) {
        PyErr_Format(PyExc_ValueError,
                     "XPLMDrawObjects(): location %zd must hold x, y, z, pitch, heading, roll, not %zd values", index,
                     PySequence_Fast_GET_SIZE(fields.get()));
        return false;
    }
    for (std::size_t i = 0; i < targets.size(); ++i) {
        PyObject* item = PySequence_Fast_GET_ITEM(fields.get(), static_cast<Py_ssize_t>(i));
        if (!PyFloat_Check(item) && !PyLong_Check(item)) {
            PyErr_Format(PyExc_TypeError, "XPLMDrawObjects(): location %zd holds a %.200s where a number belongs",
                         index, Py_TYPE(item)->tp_name);
            return false;
        }
        double value = PyFloat_AsDouble(item);
        if (value == -1.0 && PyErr_Occurred()) return false;
        *targets[i] = static_cast<float>(value);
    }
    info.structSize = sizeof info;
    return true;
}

PyObject* DrawObjects(PyObject*, PyObject* args) {
    XPLMObjectRef object = nullptr;
    int count = 0;
    PyObject* locations = nullptr;
    int lighting = 0, earthRelative = 0;
    if (!PyArg_ParseTuple(args, "O&iOii:XPLMDrawObjects", binding::ParseHandle, &object, &count, &locations,
                          &lighting, &earthRelative))
        return nullptr;
    PyRef sequence = PyRef::Steal(PySequence_Fast(locations, "XPLMDrawObjects() expects a sequence of locations"));
    if (!sequence) return nullptr;
    const Py_ssize_t available = PySequence_Fast_GET_SIZE(sequence.get());
    if (count < 0 || count > available) {
        PyErr_Format(PyExc_ValueError, "XPLMDrawObjects(): count %d does not fit the %zd locations given", count,
                     available);
        return nullptr;
    }
    if (!CheckHeld(CallbackKind::SceneryObject, object, "XPLMDrawObjects", "loaded object")) return nullptr;
    std::vector<XPLMDrawInfo_t> infos;
    try {
        infos.resize(static_cast<std::size_t>(count));
    } catch (const std::bad_alloc&) {
        return PyErr_NoMemory();
    }
    for (int i = 0; i < count; ++i)
        if (!ReadDrawLocation(PySequence_Fast_GET_ITEM(sequence.get(), i), i, infos[static_cast<std::size_t>(i)]))
            return nullptr;
    if (count > 0) XPLMDrawObjects(object, count, infos.data(), lighting, earthRelative);
    return binding::ReturnOne();
}

// Any script may unload any object it got; the registration that holds it goes with it.
PyObject* UnloadObject(PyObject*, PyObject* args) {
    XPLMObjectRef object = nullptr;
    if (!PyArg_ParseTuple(args, "O&:XPLMUnloadObject", binding::ParseHandle, &object)) return nullptr;
    if (!CheckHeld(CallbackKind::SceneryObject, object, "XPLMUnloadObject", "loaded object")) return nullptr;
    if (std::optional<CallbackEntry> removed = registry->RemoveByHandleFromAny(CallbackKind::SceneryObject, object))
        removed->ReleaseHost();
    return binding::ReturnOne();
}

// The enumerator is called before the lookup returns: its registration lasts exactly
// that long, identified by a marker on this call's stack.
PyObject* LookupObjects(PyObject*, PyObject* args) {
    binding::HostText path;
    float latitude = 0, longitude = 0;
    PyObject* enumerator = nullptr;
    long refcon = 0;
    if (!PyArg_ParseTuple(args, "O&ffOl:XPLMLookupObjects", binding::ParseHostText, &path, &latitude, &longitude,
                          &enumerator, &refcon))
        return nullptr;
    if (!CheckCallable(enumerator, "XPLMLookupObjects")) return nullptr;
    PyObject* owner = ModuleOwner();
    if (!owner) return nullptr;
    char thisLookup = 0;
    CallbackEntry entry;
    entry.callable = PyRef::Borrow(enumerator);
    entry.refcon = refcon;
    entry.handle = &thisLookup;
    const CallbackEntry* stored = binding::RegisterEntry(CallbackKind::ObjectEnumerator, owner, std::move(entry));
    if (!stored) return nullptr;
    int found = XPLMLookupObjects(path.text, latitude, longitude, dispatch::LibraryEnumeratorCallback,
                                  stored->hostRefcon);
    if (registry) registry->RemoveByHandle(CallbackKind::ObjectEnumerator, owner, &thisLookup);
    return PyLong_FromLong(found);
}

PyMethodDef kMethods[] = {
    binding::Function<"XPLMCreateProbe", "inProbeType", "Create a terrain probe; None when the host makes none.">(
        CreateProbe),
    binding::Function<"XPLMDestroyProbe", "inProbe", "Destroy Probe.">(DestroyProbe),
    binding::Function<"XPLMProbeTerrainXYZ", "inProbe, inX, inY, inZ, outInfo",
                      "Probe the terrain at a point in local coordinates; returns the probe result. outInfo (a "
                      "list or None) is a result list: its contents are replaced by the filled XPLMProbeInfo_t's "
                      "fields after structSize: [locationX, locationY, locationZ, normalX, normalY, normalZ, "
                      "velocityX, velocityY, velocityZ, is_wet], or by nothing when the probe hit no "
                      "terrain.">(ProbeTerrainXYZ),
    binding::Function<"XPLMLoadObject", "inPath",
                      "Load an object file (path relative to the simulator folder); None when it cannot be "
                      "loaded.">(LoadObject),
    binding::Function<"XPLMLoadObjectAsync", "self, inPath, inCallback, inRefcon",
                      "Load an object in the background (SDK 2.10); inCallback(object, refcon) gets the object, "
                      "or None when it cannot be loaded, in a later frame.">(LoadObjectAsync),
    binding::Function<"XPLMDrawObjects", "inObject, inCount, inLocations, lighting, earth_relative",
                      "Draw an object at inCount locations, each a sequence [x, y, z, pitch, heading, roll] "
                      "(XPLMDrawInfo_t without structSize).">(DrawObjects),
    binding::Function<"XPLMUnloadObject", "inObject", "Unload Object.">(UnloadObject),
    binding::Function<"XPLMLookupObjects", "inPath, inLatitude, inLongitude, enumerator, ref",
                      "Find the object files a library path stands for; enumerator(filePath, ref) is called for "
                      "each before this returns their count.">(LookupObjects),
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

PyObject* InitXPLMScenery() {
    return binding::CreateModule(kModuleName, kMethods,
                                 {{"xplm_ProbeY", xplm_ProbeY},
                                  {"xplm_ProbeHitTerrain", xplm_ProbeHitTerrain},
                                  {"xplm_ProbeError", xplm_ProbeError},
                                  {"xplm_ProbeMissed", xplm_ProbeMissed}});
}

}  // namespace korvane
