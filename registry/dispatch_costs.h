#pragma once
// What the native callbacks spent in each script, per callback kind. Counted only
// while profiling is switched on (KORVANE_PROFILE set to anything but "0" or empty
// when the interpreter starts), so that switched off it costs one branch on a flag.
#include <Python.h>

#include <chrono>
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

namespace detail {
extern bool enabled;
}

inline bool Enabled() { return detail::enabled; }
// Everything counted since the interpreter started, costliest first.
std::vector<ScriptCost> Costs();

// Reads the switch and forgets earlier counts; called as the interpreter starts.
void Start();
// The row of `kind` for the record `key`, made (and named) on its first call. Rows are
// never moved, so the reference stays good while the call runs and even if the call
// removes the record. Only used while enabled.
Cost& CostOf(PyObject* key, const char* kind);
// The table as written to the log, header and one line per script and kind; empty
// when nothing was counted.
std::string Table();
// Writes the table to the log and to KorvaneProfile.txt beside it; called at stop.
void Report();

// Runs `call` and counts the time it took; dispatchers use it only while Enabled().
template <typename Call>
auto Timed(PyObject* key, const char* kind, Call&& call) {
    Cost& cost = CostOf(key, kind);
    const auto start = std::chrono::steady_clock::now();
    auto result = call();
    cost.seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    cost.calls += 1;
    return result;
}

}  // namespace korvane::profile
