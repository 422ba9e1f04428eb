#pragma once
// What the plug-in does where its Python part cannot be loaded: it stays loaded, says why
// in the simulator's log and in KorvaneLog.txt, and keeps its menu entry, whose Control
// Panel shows the same lines. No scripts run.
#include <string>

namespace korvane::loader {

// `part` is the file that could not be loaded, `loaderError` the system loader's words.
void ExplainMissingPython(const std::string& part, const std::string& loaderError);
// Takes the menu entry and the window away again, as the plug-in stops.
void WithdrawExplanation();

}  // namespace korvane::loader
