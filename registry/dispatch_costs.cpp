#include "registry/dispatch_costs.h"

namespace korvane::profile {

bool Enabled() { return false; }

std::vector<ScriptCost> Costs() { return {}; }

}  // namespace korvane::profile
