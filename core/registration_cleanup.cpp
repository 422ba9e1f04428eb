#include "core/registration_cleanup.h"

namespace korvane {

int UndoHostRegistrations(const ScriptRecord& record) {
    int undone = 0;
    for (const EntryList& list : record.entries) {
        for (const CallbackEntry& entry : list) {
            if (!entry.releaseHost) continue;
            entry.ReleaseHost();
            ++undone;
        }
    }
    return undone;
}

}  // namespace korvane
