#pragma once
// The threads scripts started, at stop: finalizing the interpreter would wait for
// every non-daemon thread, and one that never ends would hang the simulator.
#include <string>
#include <vector>

namespace korvane {

// How long a stop waits for script threads to end by themselves.
inline constexpr double kThreadGraceSeconds = 1.0;

// Waits up to the grace period for the scripts' non-daemon threads, logs every thread
// still running (with the script whose code it runs, where one of `scriptModules` is
// known), and lets finalizing go ahead without waiting for them.
void LetScriptThreadsGo(const std::vector<std::string>& scriptModules);

}  // namespace korvane
