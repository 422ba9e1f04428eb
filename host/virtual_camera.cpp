// A stand-in for the separate virtual camera plug-in. The real one lives outside
// Korvane; this one only shows what reached it: it shares the fourteen values, says
// it is ready, and each frame reads them, counts the commands and clears them.
#include "platform/camera_references.h"
#include "host/frame_work.h"
#include "host/host_state.h"

#include <XPLMDataAccess.h>

#include <cstdint>
#include <string>

namespace korvane::host {
namespace {

using namespace camera;

void IgnoreChange(void*) {}

DataRefRecord& Shared(Position position) { return DataRefNamed(kReferences[position].name); }

// True once per command written: the command value goes back to 0.
bool TakeCommand(Position position) {
    DataRefRecord& record = Shared(position);
    if (record.intValue != 1) return false;
    record.intValue = 0;
    return true;
}

}  // namespace

void LoadVirtualCamera() {
    // Shares every value as a plug-in would, without going through the recorded SDK calls.
    std::intptr_t position = 0;
    for (const Reference& reference : kReferences) {
        DataRefRecord& record = DataRefNamed(reference.name);
        if (record.types == xplmType_Unknown) record.types = reference.type;
        record.writable = true;
        record.sharers.push_back({IgnoreChange, reinterpret_cast<void*>(position++)});
    }
    Shared(kCameraPluginReady).intValue = 1;
    State().virtualCamera.loaded = true;
}

void RunVirtualCamera() {
    VirtualCamera& camera = State().virtualCamera;
    if (!camera.loaded) return;
    camera.seen = {Shared(kCameraIndex).intValue,   Shared(kCameraTypeIndex).intValue, Shared(kXOffset).floatValue,
                   Shared(kYOffset).floatValue,     Shared(kZOffset).floatValue,       Shared(kHeadingOffset).floatValue,
                   Shared(kPitchOffset).floatValue, Shared(kRollOffset).floatValue,    Shared(kZoomRatio).floatValue,
                   Shared(kLookAtAircraft).intValue};
    if (TakeCommand(kAcquireCamera)) {
        ++camera.acquires;
        camera.holdsCamera = true;
    }
    if (TakeCommand(kSetCamera)) {
        ++camera.sets;
        camera.applied = camera.seen;
    }
    if (TakeCommand(kReleaseCamera)) {
        ++camera.releases;
        camera.holdsCamera = false;
    }
}

}  // namespace korvane::host
