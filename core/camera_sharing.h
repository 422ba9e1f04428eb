#pragma once
// The fourteen shared data references through which scripts drive the separate
// camera plug-in. The core shares them for as long as the interpreter runs.
namespace korvane {

// How many there are, and the name of each by its position (its share refcon).
inline constexpr int kCameraReferenceCount = 14;
const char* CameraReferenceName(int index);

void ShareCameraReferences();
void UnshareCameraReferences();

}  // namespace korvane
