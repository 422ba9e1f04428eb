// XPLMCamera: taking over the simulator's camera and reading its position.
#include "modules/xplm/binding.h"
#include "modules/xplm/initialisers.h"
#include "registry/callback_dispatch.h"

#include <XPLMCamera.h>

namespace korvane {
namespace {

PyObject* ControlCamera(PyObject*, PyObject* args) {
    PyObject* self = nullptr;
    int howLong = 0;
    PyObject* callable = nullptr;
    long refcon = 0;
    if (!PyArg_ParseTuple(args, "OiOl:XPLMControlCamera", &self, &howLong, &callable, &refcon)) return nullptr;
    CallbackEntry entry;
    entry.callable = PyRef::Borrow(callable);
    entry.refcon = refcon;
    // The simulator keeps one camera controller per plug-in; giving it up is all there is to undo.
    entry.releaseHost = [](const CallbackEntry&) { XPLMDontControlCamera(); };
    const CallbackEntry* stored = binding::RegisterEntry(CallbackKind::Camera, self, std::move(entry));
    if (!stored) return nullptr;
    // Every call takes the camera, also for a callable registered before: the host may
    // have let it go since (the callable gave control back, another took it).
    XPLMControlCamera(howLong, dispatch::UserCameraControlCallback, stored->hostRefcon);
    return binding::ReturnOne();
}

PyObject* DontControlCamera(PyObject*, PyObject* args) {
    PyObject* self = nullptr;
    if (!PyArg_ParseTuple(args, "O:XPLMDontControlCamera", &self)) return nullptr;
    if (binding::UnregisterAll(CallbackKind::Camera, self)) XPLMDontControlCamera();
    return binding::ReturnOne();
}

PyObject* IsCameraBeingControlled(PyObject*, PyObject*) {
    // The host writes a duration only while somebody controls the camera.
    XPLMCameraControlDuration duration = 0;
    XPLMIsCameraBeingControlled(&duration);
    return PyLong_FromLong(duration);
}

PyObject* ReadCameraPosition(PyObject*, PyObject* args) {
    PyObject* list = nullptr;
    if (!PyArg_ParseTuple(args, "O!:XPLMReadCameraPosition", &PyList_Type, &list)) return nullptr;
    XPLMCameraPosition_t position{};
    XPLMReadCameraPosition(&position);
    // Appended to whatever the list holds, in the SDK's field order.
    for (float value : {position.x, position.y, position.z, position.pitch, position.heading, position.roll,
                        position.zoom}) {
        PyRef item = PyRef::Steal(PyFloat_FromDouble(value));
        if (!item || PyList_Append(list, item.get()) < 0) return nullptr;
    }
    return Py_BuildValue("(i)", 1);
}

PyMethodDef kMethods[] = {
    binding::Function<"XPLMControlCamera", "self, inHowLong, inControlFunc, inRefcon",
                      "Control Camera.", ControlCamera>(),
    binding::Function<"XPLMDontControlCamera", "self", "Dont Control Camera.", DontControlCamera>(),
    binding::Function<"XPLMIsCameraBeingControlled", "", "Is the Camera being Controlledk.", IsCameraBeingControlled>(),
    binding::Function<"XPLMReadCameraPosition", "outCameraPosition", "Read Camera Position.", ReadCameraPosition>(),
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

PyObject* InitXPLMCamera() {
    return binding::CreateModule("XPLMCamera", kMethods,
                                 {{"xplm_ControlCameraUntilViewChanges", xplm_ControlCameraUntilViewChanges},
                                  {"xplm_ControlCameraForever", xplm_ControlCameraForever}});
}

}  // namespace korvane
