#include "core/core_state.h"

namespace korvane {

std::unique_ptr<ScriptRegistry> registry;

}  // namespace korvane
