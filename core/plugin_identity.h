#pragma once
// How the plug-in names itself to the simulator and to users; shared by the loader, which
// must answer with the same identity when Python cannot be loaded.

namespace korvane {

inline constexpr const char* kPluginName = "Korvane";
inline constexpr const char* kPluginSignature = "quindle.projects.korvane";
inline constexpr const char* kPluginDescription = "Korvane Plugin";
inline constexpr const char* kVersionText = "v1.92";
inline constexpr const char* kAuthorLine = "Python scripting for X-Plane";

}  // namespace korvane
