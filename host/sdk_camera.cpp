// XPLMCamera as the headless host serves it: one camera, one controller at a time.
#include "host/frame_work.h"
#include "host/host_state.h"

#include <XPLMCamera.h>

#include <string>
#include <utility>

using namespace korvane::host;

namespace {

bool SameController(const CameraControl& a, const CameraControl& b) {
    return a.callback == b.callback && a.refcon == b.refcon;
}

}  // namespace

XPLM_API void XPLMControlCamera(XPLMCameraControlDuration inHowLong, XPLMCameraControl_f inControlFunc,
                                void* inRefcon) {
    RecordCall("XPLMControlCamera", "howLong=" + std::to_string(inHowLong) + " refcon=" + PointerText(inRefcon));
    CameraControl taker{inHowLong, inControlFunc, inRefcon};
    CameraControl previous = std::exchange(State().camera, taker);
    // A controller that is replaced is told, with no position to change.
    if (previous.callback && !SameController(previous, taker)) previous.callback(nullptr, 1, previous.refcon);
}

XPLM_API void XPLMDontControlCamera(void) {
    RecordCall("XPLMDontControlCamera");
    State().camera = {};
}

XPLM_API int XPLMIsCameraBeingControlled(XPLMCameraControlDuration* outCameraControlDuration) {
    RecordCall("XPLMIsCameraBeingControlled");
    const CameraControl& camera = State().camera;
    if (!camera.callback) return 0;
    if (outCameraControlDuration) *outCameraControlDuration = camera.howLong;
    return 1;
}

XPLM_API void XPLMReadCameraPosition(XPLMCameraPosition_t* outCameraPosition) {
    RecordCall("XPLMReadCameraPosition");
    if (outCameraPosition) *outCameraPosition = State().cameraPosition;
}

namespace korvane::host {

void RunCameraControl() {
    HostState& state = State();
    const CameraControl controller = state.camera;
    if (!controller.callback) return;
    XPLMCameraPosition_t position = state.cameraPosition;
    int keep = controller.callback(&position, 0, controller.refcon);
    // The callback may have given up or handed over control while it ran.
    if (!SameController(state.camera, controller)) return;
    if (keep)
        state.cameraPosition = position;
    else
        state.camera = {};
}

}  // namespace korvane::host
