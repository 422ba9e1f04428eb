#pragma once
// What the native callbacks spent in each script, per callback kind. Counted only
// while profiling is switched on, so that switched off it costs one branch.
#include <cstdint>
#include <string>
#include <vector>

namespace korvane::profile {

struct Cost {
    std::uint64_t calls = 0;
    double seconds = 0.0;
};

struct ScriptCost {
    std::string script;  // the script's module name (a helper object's label)
    std::string kind;    // the native callback's name, "FlightLoopCallback" and so on
    Cost cost;
};

bool Enabled();
// Everything counted since the interpreter started, costliest first.
std::vector<ScriptCost> Costs();

}  // namespace korvane::profile
