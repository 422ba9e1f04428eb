#include "host/frame_work.h"

namespace korvane::host {

void RunFrameWork() {
    RunFlightLoops();
    RunCameraControl();
}

}  // namespace korvane::host
