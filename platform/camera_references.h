#pragma once
// The fourteen shared data references through which scripts drive the separate camera
// plug-in. Both ends of that exchange know them by these names, types and positions:
// Korvane, which shares them, and the camera plug-in (in the headless host, its stand-in).
#include <XPLMDataAccess.h>

namespace korvane::camera {

// Each reference's position in the list, which is also its share refcon.
enum Position {
    kCameraIndex,
    kCameraTypeIndex,
    kCameraPluginReady,
    kAcquireCamera,
    kReleaseCamera,
    kSetCamera,
    kXOffset,
    kYOffset,
    kZOffset,
    kHeadingOffset,
    kPitchOffset,
    kRollOffset,
    kZoomRatio,
    kLookAtAircraft,
    kReferenceCount
};

struct Reference {
    const char* name;
    XPLMDataTypeID type;
};

inline constexpr Reference kReferences[kReferenceCount] = {
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

}  // namespace korvane::camera
