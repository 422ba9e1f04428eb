#pragma once
// The fourteen shared data references through which scripts drive the separate
// camera plug-in. The core shares them for as long as the interpreter runs.
namespace korvane {

void ShareCameraReferences();
void UnshareCameraReferences();

}  // namespace korvane
