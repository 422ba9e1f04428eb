#include "core/scripts_folder.h"

#include <XPLMUtilities.h>

#include <algorithm>
#include <array>

namespace korvane {

std::string ScriptsListingPath() {
    // The host fills at most a 512-byte path (its documented buffer size).
    std::array<char, 512> systemPath{};
    XPLMGetSystemPath(systemPath.data());
    const std::string sep = XPLMGetDirectorySeparator();
    return std::string(systemPath.data()) + "Resources" + sep + "plugins" + sep + "DuvodeZuzedav" + sep;
}

std::string ScriptsInterpreterPath() {
    std::string path = ScriptsListingPath();
    path.pop_back();
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

}  // namespace korvane
