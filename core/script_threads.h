#pragma once
// The threads scripts started, at stop. An interpreter cannot be finalized while its
// threads live: finalizing would wait for the non-daemon ones (hanging the simulator),
// and one that wakes after a new interpreter started would run on freed state. So a
// thread still running after a grace period is parked for good, and the interpreter
// that holds it is kept rather than finalized (see docs/threads.md).
#include <string>
#include <vector>

namespace korvane {

// How long a stop waits for script threads to end by themselves.
inline constexpr double kThreadGraceSeconds = 1.0;

// Waits up to the grace period for the scripts' threads, logs every thread still
// running (with the script whose code it runs, where one of `scriptModules` is known)
// and parks it. True when the interpreter holds parked threads, now or from an earlier
// stop: it must then be kept, never finalized.
bool ParkScriptThreads(const std::vector<std::string>& scriptModules);

}  // namespace korvane
