#pragma once
// Undoing the host registrations of records taken out of the registry, for scripts
// that did not undo them themselves (a stop) or could not (a failed load).
#include "registry/script_registry.h"

namespace korvane {

// Undoes every host registration the record's entries stand for; returns how many.
int UndoHostRegistrations(const ScriptRecord& record);

}  // namespace korvane
