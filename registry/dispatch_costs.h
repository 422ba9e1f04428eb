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
// One call of `kind` for the record `key` that took `elapsed`. Only called while enabled.
void Count(PyObject* key, const char* kind, std::chrono::steady_clock::duration elapsed);
// The table as written to the log, header and one line per script and kind; empty
// when nothing was counted.
std::string Table();
// Writes the table to the log and to KorvaneProfile.txt beside it; called at stop.
void Report();

// Runs `call` and counts the time it took; dispatchers use it only while Enabled().
template <typename Call>
auto Timed(PyObject* key, const char* kind, Call&& call) {
    const auto start = std::chrono::steady_clock::now();
    auto result = call();
    Count(key, kind, std::chrono::steady_clock::now() - start);
    return result;
}

}  // namespace korvane::profile
