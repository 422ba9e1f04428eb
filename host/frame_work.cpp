#include "host/frame_work.h"

#include "host/host_state.h"

namespace korvane::host {

void RunFrameWork() {
    // A disabled plug-in gets no callbacks of any kind; the other plug-ins go on.
    const bool enabled = !LoadedPluginDisabled();
    if (enabled) {
        RunHeldCommands();
        RunObjectLoads();
        RunFlightLoops();
    }
    RunVirtualCamera();
    if (!enabled) return;
    RunCameraControl();
    RunDrawing();
    UpdateCursor();
}

}  // namespace korvane::host
