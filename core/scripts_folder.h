#pragma once
// Where scripts, the log file and the output file live below the simulator.
#include <string>

namespace korvane {

// The scripts folder with a trailing host separator, as the host's folder calls want it.
std::string ScriptsListingPath();
// The scripts folder with forward slashes only and no trailing separator, as Python wants it.
std::string ScriptsInterpreterPath();

}  // namespace korvane
