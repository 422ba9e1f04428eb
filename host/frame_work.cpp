#include "host/frame_work.h"

namespace korvane::host {

void RunFrameWork() {
    RunObjectLoads();
    RunFlightLoops();
    RunVirtualCamera();
    RunCameraControl();
    RunDrawing();
}

}  // namespace korvane::host
