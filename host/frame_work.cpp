#include "host/frame_work.h"

namespace korvane::host {

void RunFrameWork() {
    RunHeldCommands();
    RunFlightLoops();
    RunVirtualCamera();
    RunCameraControl();
    RunDrawing();
}

}  // namespace korvane::host
