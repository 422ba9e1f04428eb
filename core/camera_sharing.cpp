#include "core/camera_sharing.h"

#include "platform/camera_references.h"

#include <XPLMDataAccess.h>

#include <cstdint>

namespace korvane {
namespace {

// The core reads the values when it needs them; a change needs no action.
void IgnoreChange(void*) {}

void* RefconAt(std::intptr_t position) { return reinterpret_cast<void*>(position); }

}  // namespace

void ShareCameraReferences() {
    std::intptr_t position = 0;
    for (const camera::Reference& reference : camera::kReferences)
        XPLMShareData(reference.name, reference.type, IgnoreChange, RefconAt(position++));
}

void UnshareCameraReferences() {
    std::intptr_t position = 0;
    for (const camera::Reference& reference : camera::kReferences)
        XPLMUnshareData(reference.name, reference.type, IgnoreChange, RefconAt(position++));
}

}  // namespace korvane
