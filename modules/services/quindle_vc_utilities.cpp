#include "modules/services/quindle_vc_utilities.h"

#include "platform/camera_references.h"
#include "modules/xplm/binding.h"

#include <XPLMDataAccess.h>

#include <array>

namespace korvane {
namespace {

using Item = camera::Position;
using namespace camera;

// Looked up at every interpreter start; the host keeps a handle valid for its life.
std::array<XPLMDataRef, kReferenceCount> handles{};

PyObject* GetInt(Item item) { return PyLong_FromLong(XPLMGetDatai(handles[item])); }
PyObject* GetFloat(Item item) { return PyFloat_FromDouble(XPLMGetDataf(handles[item])); }

// Commands and setters answer 0, unlike the SDK bindings.
PyObject* SetInt(Item item, int value) {
    XPLMSetDatai(handles[item], value);
    return PyLong_FromLong(0);
}

template <Item item>
PyObject* ReadInt(PyObject*, PyObject*) {
    return GetInt(item);
}

template <Item item>
PyObject* ReadFloat(PyObject*, PyObject*) {
    return GetFloat(item);
}

template <Item item>
PyObject* Command(PyObject*, PyObject*) {
    return SetInt(item, 1);
}

template <Item item>
PyObject* WriteInt(PyObject*, PyObject* args) {
    int value = 0;
    if (!PyArg_ParseTuple(args, "i", &value)) return nullptr;
    return SetInt(item, value);
}

template <Item item>
PyObject* WriteFloat(PyObject*, PyObject* args) {
    float value = 0;
    if (!PyArg_ParseTuple(args, "f", &value)) return nullptr;
    XPLMSetDataf(handles[item], value);
    return PyLong_FromLong(0);
}

PyMethodDef methods[] = {
    binding::Function<"VC_CameraPluginReady", "", "Check that VC plugin is ready.", ReadInt<kCameraPluginReady>>(),
    binding::Function<"VC_AcquireCamera", "", "Acquire the VC.", Command<kAcquireCamera>>(),
    binding::Function<"VC_ReleaseCamera", "", "Release the VC.", Command<kReleaseCamera>>(),
    binding::Function<"VC_SetCamera", "", "Set the Camerar.", Command<kSetCamera>>(),
    binding::Function<"VC_GetCameraIndex", "", "Get the Camera Index.", ReadInt<kCameraIndex>>(),
    binding::Function<"VC_GetCameraTypeIndex", "", "Get the Camera Type Index.", ReadInt<kCameraTypeIndex>>(),
    binding::Function<"VC_GetXOffset", "", "Get the X Offset.", ReadFloat<kXOffset>>(),
    binding::Function<"VC_GetYOffset", "", "Get the Y Offset.", ReadFloat<kYOffset>>(),
    binding::Function<"VC_GetZOffset", "", "Get the Z Offset.", ReadFloat<kZOffset>>(),
    binding::Function<"VC_GetHeadingOffset", "", "Get the Heading Offset.", ReadFloat<kHeadingOffset>>(),
    binding::Function<"VC_GetPitchOffset", "", "Get the Pitch Offset.", ReadFloat<kPitchOffset>>(),
    binding::Function<"VC_GetRollOffset", "", "Get the Roll Offset.", ReadFloat<kRollOffset>>(),
    binding::Function<"VC_GetZoomRatio", "", "Get the Zoom Ratio.", ReadFloat<kZoomRatio>>(),
    binding::Function<"VC_SetCameraIndex", "inValue", "Set the Camera Index.", WriteInt<kCameraIndex>>(),
    binding::Function<"VC_SetCameraTypeIndex", "inValue", "Set the Camera Type Index.", WriteInt<kCameraTypeIndex>>(),
    binding::Function<"VC_SetXOffset", "inValue", "Set the X Offset.", WriteFloat<kXOffset>>(),
    binding::Function<"VC_SetYOffset", "inValue", "Set the Y Offset.", WriteFloat<kYOffset>>(),
    binding::Function<"VC_SetZOffset", "inValue", "Set the Z Offset.", WriteFloat<kZOffset>>(),
    binding::Function<"VC_SetHeadingOffset", "inValue", "Set the Heading Offset.", WriteFloat<kHeadingOffset>>(),
    binding::Function<"VC_SetPitchOffset", "inValue", "Set the Pitch Offset.", WriteFloat<kPitchOffset>>(),
    binding::Function<"VC_SetRollOffset", "inValue", "Set the Roll Offset.", WriteFloat<kRollOffset>>(),
    binding::Function<"VC_SetZoomRatio", "inValue", "Set the Zoom Ratio.", WriteFloat<kZoomRatio>>(),
    binding::Function<"VC_GetLookAtAircraft", "", "Get the LookAtAircraft Index.", ReadInt<kLookAtAircraft>>(),
    binding::Function<"VC_SetLookAtAircraft", "inValue", "Set the LookAtAircraft Index.", WriteInt<kLookAtAircraft>>(),
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

PyObject* InitQuindleVCUtilities() {
    for (int position = 0; position < kReferenceCount; ++position)
        handles[static_cast<std::size_t>(position)] = XPLMFindDataRef(kReferences[position].name);
    return binding::CreateModule("QuindleVCUtilities", methods);
}

}  // namespace korvane
