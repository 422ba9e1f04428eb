#pragma once
// Bringing the interpreter with all its modules and scripts up and down. The panel's
// Stop, Start and Reload call these again while the simulator runs.
namespace korvane {

// enableScripts 1: each started script is also enabled at once.
void StartPython(int enableScripts);
// disableFirst 1: each script is disabled before it is stopped.
void StopPython(int disableFirst);

}  // namespace korvane
