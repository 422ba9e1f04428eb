#include "core/camera_sharing.h"

#include <XPLMDataAccess.h>

#include <cstdint>
#include <iterator>

namespace korvane {
namespace {

struct SharedReference {
    const char* name;
    XPLMDataTypeID type;
};

// In this order: each one's position is its refcon, which the camera plug-in knows.
constexpr SharedReference kCameraReferences[] = {
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

// The core reads the values when it needs them; a change needs no action.
void IgnoreChange(void*) {}

void* RefconAt(std::intptr_t index) { return reinterpret_cast<void*>(index); }

static_assert(std::size(kCameraReferences) == kCameraReferenceCount);

}  // namespace

const char* CameraReferenceName(int index) { return kCameraReferences[index].name; }

void ShareCameraReferences() {
    std::intptr_t index = 0;
    for (const SharedReference& reference : kCameraReferences)
        XPLMShareData(reference.name, reference.type, IgnoreChange, RefconAt(index++));
}

void UnshareCameraReferences() {
    std::intptr_t index = 0;
    for (const SharedReference& reference : kCameraReferences)
        XPLMUnshareData(reference.name, reference.type, IgnoreChange, RefconAt(index++));
}

}  // namespace korvane
