#include "registry/dispatch_costs.h"

#include "core/core_state.h"
#include "core/reporting.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <utility>

namespace korvane::profile {

namespace detail {
bool enabled = false;
}

namespace {

struct Counted {
    std::string script;
    Cost cost;
};

// Keyed by the record's serial, unique for the interpreter's life even where an
// object's address is reused, and the kind's name (a literal, so its address is enough).
std::map<std::pair<std::uint64_t, const char*>, Counted> counted;

std::string ProfilePath() {
    std::string path = LogFilePath();
    std::size_t slash = path.find_last_of("/\\");
    return path.substr(0, slash == std::string::npos ? 0 : slash + 1) + "KorvaneProfile.txt";
}

}  // namespace

void Start() {
    const char* value = std::getenv("KORVANE_PROFILE");
    detail::enabled = value && *value && std::strcmp(value, "0") != 0;
    counted.clear();
}

Cost& CostOf(PyObject* key, const char* kind) {
    const ScriptRecord* record = registry ? registry->FindRecord(key) : nullptr;
    auto [place, added] = counted.try_emplace({record ? record->serial : 0, kind});
    if (added) {
        if (record && !record->moduleName.empty())
            place->second.script = record->moduleName;
        else  // a helper object a script registered callbacks for
            place->second.script = std::string(Py_TYPE(key)->tp_name) + " object";
    }
    return place->second.cost;
}

std::vector<ScriptCost> Costs() {
    std::vector<ScriptCost> costs;
    costs.reserve(counted.size());
    for (const auto& [identity, entry] : counted) costs.push_back({entry.script, identity.second, entry.cost});
    std::stable_sort(costs.begin(), costs.end(),
                     [](const ScriptCost& a, const ScriptCost& b) { return a.cost.seconds > b.cost.seconds; });
    return costs;
}

std::string Table() {
    std::vector<ScriptCost> costs = Costs();
    if (costs.empty()) return {};
    std::size_t scriptWidth = 6, kindWidth = 4;
    for (const ScriptCost& cost : costs) {
        scriptWidth = std::max(scriptWidth, cost.script.size());
        kindWidth = std::max(kindWidth, cost.kind.size());
    }
    std::string table = "Dispatch costs, costliest first:\n";
    char line[128];
    auto row = [&](const std::string& script, const std::string& kind, const char* figures) {
        table += script + std::string(scriptWidth - script.size() + 2, ' ') + kind +
                 std::string(kindWidth - kind.size() + 2, ' ') + figures + "\n";
    };
    std::snprintf(line, sizeof line, "%10s %12s %15s", "calls", "total ms", "\u00b5s per call");
    row("script", "kind", line);
    for (const ScriptCost& cost : costs) {
        double totalMs = cost.cost.seconds * 1e3;
        double perCallUs = cost.cost.calls ? cost.cost.seconds * 1e6 / static_cast<double>(cost.cost.calls) : 0.0;
        std::snprintf(line, sizeof line, "%10llu %12.3f %14.1f", static_cast<unsigned long long>(cost.cost.calls),
                      totalMs, perCallUs);
        row(cost.script, cost.kind, line);
    }
    return table;
}

void Report() {
    if (!Enabled()) return;
    std::string table = Table();
    if (table.empty()) table = "Dispatch costs: no script callback was called\n";
    WriteLog(table);
    std::ofstream(ProfilePath(), std::ios::trunc) << table;
}

}  // namespace korvane::profile
