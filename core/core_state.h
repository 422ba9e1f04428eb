#pragma once
// The plug-in's global state: one of each per loaded plug-in.
#include "core/plugin_identity.h"
#include "registry/script_registry.h"

#include <memory>

namespace korvane {

// Exists from XPluginStart to XPluginStop; null outside that span, when every
// dispatcher answers with its no-entry value.
extern std::unique_ptr<ScriptRegistry> registry;

}  // namespace korvane
