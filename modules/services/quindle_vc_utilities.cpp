#include "modules/services/quindle_vc_utilities.h"

#include "core/camera_references.h"
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
    {"VC_CameraPluginReady", ReadInt<kCameraPluginReady>, METH_VARARGS, "Check that VC plugin is ready."},
    {"VC_AcquireCamera", Command<kAcquireCamera>, METH_VARARGS, "Acquire the VC."},
    {"VC_ReleaseCamera", Command<kReleaseCamera>, METH_VARARGS, "Release the VC."},
    {"VC_SetCamera", Command<kSetCamera>, METH_VARARGS, "Set the Camerar."},
    {"VC_GetCameraIndex", ReadInt<kCameraIndex>, METH_VARARGS, "Get the Camera Index."},
    {"VC_GetCameraTypeIndex", ReadInt<kCameraTypeIndex>, METH_VARARGS, "Get the Camera Type Index."},
    {"VC_GetXOffset", ReadFloat<kXOffset>, METH_VARARGS, "Get the X Offset."},
    {"VC_GetYOffset", ReadFloat<kYOffset>, METH_VARARGS, "Get the Y Offset."},
    {"VC_GetZOffset", ReadFloat<kZOffset>, METH_VARARGS, "Get the Z Offset."},
    {"VC_GetHeadingOffset", ReadFloat<kHeadingOffset>, METH_VARARGS, "Get the Heading Offset."},
    {"VC_GetPitchOffset", ReadFloat<kPitchOffset>, METH_VARARGS, "Get the Pitch Offset."},
    {"VC_GetRollOffset", ReadFloat<kRollOffset>, METH_VARARGS, "Get the Roll Offset."},
    {"VC_GetZoomRatio", ReadFloat<kZoomRatio>, METH_VARARGS, "Get the Zoom Ratio."},
    {"VC_SetCameraIndex", WriteInt<kCameraIndex>, METH_VARARGS, "Set the Camera Index."},
    {"VC_SetCameraTypeIndex", WriteInt<kCameraTypeIndex>, METH_VARARGS, "Set the Camera Type Index."},
    {"VC_SetXOffset", WriteFloat<kXOffset>, METH_VARARGS, "Set the X Offset."},
    {"VC_SetYOffset", WriteFloat<kYOffset>, METH_VARARGS, "Set the Y Offset."},
    {"VC_SetZOffset", WriteFloat<kZOffset>, METH_VARARGS, "Set the Z Offset."},
    {"VC_SetHeadingOffset", WriteFloat<kHeadingOffset>, METH_VARARGS, "Set the Heading Offset."},
    {"VC_SetPitchOffset", WriteFloat<kPitchOffset>, METH_VARARGS, "Set the Pitch Offset."},
    {"VC_SetRollOffset", WriteFloat<kRollOffset>, METH_VARARGS, "Set the Roll Offset."},
    {"VC_SetZoomRatio", WriteFloat<kZoomRatio>, METH_VARARGS, "Set the Zoom Ratio."},
    {"VC_GetLookAtAircraft", ReadInt<kLookAtAircraft>, METH_VARARGS, "Get the LookAtAircraft Index."},
    {"VC_SetLookAtAircraft", WriteInt<kLookAtAircraft>, METH_VARARGS, "Set the LookAtAircraft Index."},
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

PyObject* InitQuindleVCUtilities() {
    for (int position = 0; position < kReferenceCount; ++position)
        handles[static_cast<std::size_t>(position)] = XPLMFindDataRef(kReferences[position].name);
    return binding::CreateModule("QuindleVCUtilities", methods);
}

}  // namespace korvane
