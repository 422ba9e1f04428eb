#include "host/frame_work.h"

namespace korvane::host {

void RunFrameWork() {
    RunFlightLoops();
    RunCameraControl();
    RunDrawing();
}

}  // namespace korvane::host
