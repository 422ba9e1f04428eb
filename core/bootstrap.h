#pragma once
#include <string>

namespace korvane {

// Creates QuindleUtilities, puts the scripts folder on sys.path and routes standard
// output and standard error through QuindleUtilities.
void RunBootstrap(const std::string& interpreterPath);

}  // namespace korvane
