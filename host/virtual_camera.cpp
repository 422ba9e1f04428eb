// A stand-in for the separate virtual camera plug-in. The real one lives outside
// Korvane; this one only shows what reached it: it shares the fourteen values, says
// it is ready, and each frame reads them, counts the commands and clears them.
#include "host/frame_work.h"
#include "host/host_state.h"

#include <XPLMDataAccess.h>

#include <cstdint>
#include <string>

namespace korvane::host {
namespace {

// The camera plug-in's half of the protocol: names, types and positions as both sides know them.
struct SharedValue {
    const char* name;
    XPLMDataTypeID type;
};
constexpr SharedValue kValues[] = {
    {"quindle/virtualcamera/cameraindex", xplmType_Int},
    {"quindle/virtualcamera/cameratypeindex", xplmType_Int},
    {"quindle/virtualcamera/camerapluginready", xplmType_Int},
    {"quindle/virtualcamera/acquirecamera", xplmType_Int},
    {"quindle/virtualcamera/releasecamera", xplmType_Int},
    {"quindle/virtualcamera/setcamera", xplmType_Int},
    {"quindle/virtualcamera/xoffset", xplmType_Float},
    {"quindle/virtualcamera/yoffset", xplmType_Float},
    {"quindle/virtualcamera/zoffset", xplmType_Float},
    {"quindle/virtualcamera/headingoffset", xplmType_Float},
    {"quindle/virtualcamera/pitchoffset", xplmType_Float},
    {"quindle/virtualcamera/rolloffset", xplmType_Float},
    {"quindle/virtualcamera/zoomratio", xplmType_Float},
    {"quindle/virtualcamera/lookataircraft", xplmType_Int},
};
enum Value { kCameraIndex, kCameraTypeIndex, kReady, kAcquire, kRelease, kSet, kX, kY, kZ, kHeading, kPitch, kRoll, kZoom, kLookAt };

void IgnoreChange(void*) {}

DataRefRecord& Shared(Value value) { return DataRefNamed(kValues[value].name); }

// True once per command written: the command value goes back to 0.
bool TakeCommand(Value value) {
    DataRefRecord& record = Shared(value);
    if (record.intValue != 1) return false;
    record.intValue = 0;
    return true;
}

}  // namespace

void LoadVirtualCamera() {
    // Shares every value as a plug-in would, without going through the recorded SDK calls.
    std::intptr_t position = 0;
    for (const SharedValue& value : kValues) {
        DataRefRecord& record = DataRefNamed(value.name);
        if (record.types == xplmType_Unknown) record.types = value.type;
        record.writable = true;
        record.sharers.push_back({IgnoreChange, reinterpret_cast<void*>(position++)});
    }
    Shared(kReady).intValue = 1;
    State().virtualCamera.loaded = true;
}

void RunVirtualCamera() {
    VirtualCamera& camera = State().virtualCamera;
    if (!camera.loaded) return;
    camera.seen = {Shared(kCameraIndex).intValue, Shared(kCameraTypeIndex).intValue, Shared(kX).floatValue,
                   Shared(kY).floatValue,          Shared(kZ).floatValue,            Shared(kHeading).floatValue,
                   Shared(kPitch).floatValue,      Shared(kRoll).floatValue,         Shared(kZoom).floatValue,
                   Shared(kLookAt).intValue};
    if (TakeCommand(kAcquire)) {
        ++camera.acquires;
        camera.holdsCamera = true;
    }
    if (TakeCommand(kSet)) {
        ++camera.sets;
        camera.applied = camera.seen;
    }
    if (TakeCommand(kRelease)) {
        ++camera.releases;
        camera.holdsCamera = false;
    }
}

}  // namespace korvane::host
