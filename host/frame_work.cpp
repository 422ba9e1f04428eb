#include "host/frame_work.h"

namespace korvane::host {

void RunFrameWork() {
    RunFlightLoops();
    RunVirtualCamera();
    RunCameraControl();
    RunDrawing();
}

}  // namespace korvane::host
