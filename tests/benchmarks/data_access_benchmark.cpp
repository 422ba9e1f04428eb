// korvane-benchmark: what a data reference costs with Python on one end of it, each
// figure beside a bare call of the same Python callable from C in the same run.
// Not a test: timings belong on a quiet machine and a normal (non-sanitizer) build.
#include "core/core_state.h"
#include "core/host_call.h"
#include "core/py_ref.h"
#include "host/host_state.h"
#include "modules/xplm/binding.h"
#include "modules/xplm/initialisers.h"

#include <XPLMDataAccess.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

using korvane::PyRef;

// A script that publishes one float through a method and runs a flight loop, as KV_
// scripts do.
const char* kScript = R"(
from XPLMDataAccess import *
from XPLMProcessing import *

class Benchmark:
    def getf(self, refcon):
        return 1.5
    def loop(self, sinceCall, sinceLoop, counter, refcon):
        return -1.0

script = Benchmark()

def publish():
    XPLMRegisterFlightLoopCallback(script, script.loop, -1.0, 0)
    return XPLMRegisterDataAccessor(script, 'korvane/benchmark/float', xplmType_Float, 0, None, None, script.getf,
                                    None, None, None, None, None, None, None, None, None, 0, 0)
)";

constexpr int kCallsPerRound = 200000;
constexpr int kRounds = 9;

struct Case {
    const char* label;
    std::function<void()> body;
    bool besideBare;  // also shown as the difference to the bare call
    std::vector<double> rounds{};
};

// Rounds take turns between the cases, so that a change in the machine's speed falls
// on all of them alike; each case reports its median round.
void Measure(std::vector<Case>& cases) {
    for (Case& each : cases)
        for (int i = 0; i < kCallsPerRound / 10; ++i) each.body();
    for (int round = 0; round < kRounds; ++round) {
        for (Case& each : cases) {
            auto start = std::chrono::steady_clock::now();
            for (int i = 0; i < kCallsPerRound; ++i) each.body();
            std::chrono::duration<double, std::nano> elapsed = std::chrono::steady_clock::now() - start;
            each.rounds.push_back(elapsed.count() / kCallsPerRound);
        }
    }
}

double Median(std::vector<double> values) {
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

// One call of `callable` with one positional argument, as the interpreter makes it.
double CallOnce(PyObject* callable, PyObject* argument) {
    PyObject* stack[2] = {nullptr, argument};
    PyRef result = PyRef::Steal(PyObject_Vectorcall(callable, stack + 1, 1 | PY_VECTORCALL_ARGUMENTS_OFFSET, nullptr));
    return result ? PyFloat_AsDouble(result.get()) : -1.0;
}

// One call of a flight loop with the four arguments the dispatcher passes.
double CallLoop(PyObject* callable) {
    PyRef args = PyRef::Steal(Py_BuildValue("(ffil)", 0.05, 0.05, 1, 0L));
    PyRef result = PyRef::Steal(PyObject_Call(callable, args.get(), nullptr));
    return result ? PyFloat_AsDouble(result.get()) : 0.0;
}

int Run() {
    PyObject* globals = PyModule_GetDict(PyImport_AddModule("__main__"));
    PyRef defined = PyRef::Steal(PyRun_String(kScript, Py_file_input, globals, globals));
    if (!defined) return 1;
    PyObject* script = PyDict_GetItemString(globals, "script");
    korvane::registry->AddScript(script, "KV_Benchmark");
    PyRef published = PyRef::Steal(PyRun_String("ref = publish()", Py_file_input, globals, globals));
    if (!published) return 1;

    // The callable the accessor's dispatcher calls, and the handles a script holds.
    PyObject* method = korvane::registry->FindScript(script)->List(korvane::CallbackKind::GetDataf).front().callable.get();
    PyRef refcon = PyRef::Steal(PyLong_FromLong(0));
    XPLMDataRef accessor = XPLMFindDataRef("korvane/benchmark/float");
    PyObject* accessorHandle = PyDict_GetItemString(globals, "ref");
    PyRef simulatorHandle = PyRef::Steal(korvane::binding::HandleToPython(XPLMFindDataRef("sim/time/zulu_time_sec")));
    PyRef getDataf = PyRef::Steal(PyObject_GetAttrString(PyImport_AddModule("XPLMDataAccess"), "XPLMGetDataf"));
    if (!getDataf || XPLMGetDataf(accessor) != 1.5f || CallOnce(getDataf.get(), accessorHandle) != 1.5) {
        std::fprintf(stderr, "korvane-benchmark: the script's accessor does not answer 1.5\n");
        return 1;
    }

    // The host's flight-loop registration, called as the host calls it every frame.
    const korvane::host::FlightLoop loop = korvane::host::LiveFlightLoops().at(0);
    PyObject* loopMethod = korvane::registry->FindScript(script)->List(korvane::CallbackKind::FlightLoop).front().callable.get();

    volatile double sink = 0;
    std::vector<Case> cases = {
        {"bare call of the script's float accessor method from C", [&] { sink = CallOnce(method, refcon.get()); },
         false},
        {"host read of the script's float accessor (XPLMGetDataf)", [&] { sink = XPLMGetDataf(accessor); }, true},
        {"script's XPLMGetDataf of its own float accessor",
         [&] { sink = CallOnce(getDataf.get(), accessorHandle); }, true},
        {"script's XPLMGetDataf of a simulator float",
         [&] { sink = CallOnce(getDataf.get(), simulatorHandle.get()); }, false},
        {"bare call of the script's flight loop method from C", [&] { sink = CallLoop(loopMethod); }, false},
        {"host call of the script's flight loop", [&] { sink = loop.callback(0.05f, 0.05f, 1, loop.refcon); },
         false},
    };
    Measure(cases);

    std::printf("Korvane dispatch: median of %d rounds of %d calls each, in ns per call (Python %s)\n", kRounds,
                kCallsPerRound, Py_GetVersion());
    double bare = Median(cases.front().rounds);
    for (const Case& each : cases) {
        double nanoseconds = Median(each.rounds);
        std::printf("  %-58s %8.1f", each.label, nanoseconds);
        if (each.besideBare) std::printf("  (%+.1f beside the bare call)", nanoseconds - bare);
        std::printf("\n");
    }

    PyRef withdrawn = PyRef::Steal(PyRun_String(
        "XPLMUnregisterDataAccessor(script, ref)\nXPLMUnregisterFlightLoopCallback(script, script.loop, 0)",
        Py_file_input, globals, globals));
    return withdrawn ? 0 : 1;
}

}  // namespace

int main() {
    korvane::host::AddSimulatorDataRefs();
    Py_InitializeEx(0);
    // The host's thread holds the interpreter lock between calls, as after a start.
    korvane::AdoptInterpreterLock();
    korvane::registry = std::make_unique<korvane::ScriptRegistry>();
    int status = korvane::InitXPLMDataAccess() && korvane::InitXPLMProcessing() ? Run() : 1;
    if (PyErr_Occurred()) PyErr_Print();
    korvane::registry->ClearScripts();  // its references go while the interpreter runs
    Py_FinalizeEx();
    korvane::registry.reset();
    return status;
}
