#pragma once
// The core shares the camera plug-in's fourteen references (platform/camera_references.h)
// for as long as the interpreter runs.
namespace korvane {

void ShareCameraReferences();
void UnshareCameraReferences();

}  // namespace korvane
