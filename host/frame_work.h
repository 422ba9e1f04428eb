#pragma once
// What the simulator does in every frame for its plug-ins, in frame order.
namespace korvane::host {

void RunFrameWork();

// The pieces of frame work, each served by the SDK file it belongs to.
// Every held command's handlers and action get their continue phase.
void RunHeldCommands();
// Answers the asynchronous object loads asked for in earlier frames.
void RunObjectLoads();
void RunFlightLoops();
// The virtual camera stand-in's own flight loop: it reads the shared values.
void RunVirtualCamera();
void RunCameraControl();
// Every drawing phase's before and after callbacks; the visible windows, back to front,
// between those of xplm_Phase_Window.
void RunDrawing();
// Asks the topmost visible window under the mouse what the cursor should be.
void UpdateCursor();

}  // namespace korvane::host
