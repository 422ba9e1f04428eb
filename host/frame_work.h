#pragma once
// What the simulator does in every frame for its plug-ins, in frame order.
namespace korvane::host {

void RunFrameWork();

}  // namespace korvane::host
