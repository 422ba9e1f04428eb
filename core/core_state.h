#pragma once
// The plug-in's global state: one of each per loaded plug-in.
#include "registry/script_registry.h"

#include <memory>

namespace korvane {

inline constexpr const char* kPluginName = "Korvane";
inline constexpr const char* kPluginSignature = "quindle.projects.korvane";
inline constexpr const char* kPluginDescription = "Korvane Plugin";
inline constexpr const char* kVersionText = "v1.92";
inline constexpr const char* kAuthorLine = "Python scripting for X-Plane";

// Exists from XPluginStart to XPluginStop; null outside that span, when every
// dispatcher answers with its no-entry value.
extern std::unique_ptr<ScriptRegistry> registry;

}  // namespace korvane
