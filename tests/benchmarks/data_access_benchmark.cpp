// korvane-benchmark: what a host call of a script's callback costs, each figure beside
// a bare vectorcall of the same Python callable with the same arguments from C, with
// 1, 100, 1,000 and 10,000 registrations of the kind in the registry.
// Not a test: timings belong on a quiet machine and a normal (non-sanitizer) build.
#include "core/core_state.h"
#include "core/host_call.h"
#include "core/py_ref.h"
#include "host/host_state.h"
#include "modules/xplm/binding.h"
#include "modules/xplm/initialisers.h"
#include "registry/callback_dispatch.h"
#include "registry/python_call.h"

#include <XPLMDataAccess.h>
#include <XPWidgetDefs.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

using korvane::PyRef;
using namespace korvane::dispatch;

// One script registering flight loops (methods of helper objects) and publishing data
// references that read as an int, a float and a float array, as KV_ scripts do.
const char* kScript = R"(
from XPLMDataAccess import *
from XPLMDisplay import *
from XPLMProcessing import *
from XPWidgets import *

class Script:
    def geti(self, refcon):
        return 3
    def getf(self, refcon):
        return 1.5
    def getvf(self, refcon, values, offset, count):
        if values is None:
            return 8
        values.extend([0.5] * min(count, 8 - offset))
        return min(count, 8 - offset)

class Helper:
    def loop(self, sinceCall, sinceLoop, counter, refcon):
        return -1.0
    def draw(self, phase, before, refcon):
        return 1
    def sniff(self, key, flags, virtualKey, refcon):
        return 1
    def widget(self, message, widget, param1, param2):
        return 1

script = Script()
helpers = []
widgets = []

def register(count, prefix):
    refs = []
    for i in range(count):
        helper = Helper()
        helpers.append(helper)
        XPLMRegisterFlightLoopCallback(script, helper.loop, -1.0, i)
        XPLMRegisterDrawCallback(script, helper.draw, xplm_Phase_Gauges, 0, i)
        XPLMRegisterKeySniffer(script, helper.sniff, 0, i)
        widgets.append(XPCreateCustomWidget(script, 0, 10, 10, 0, 1, '', 0, 0, helper.widget))
        refs.append(XPLMRegisterDataAccessor(script, prefix + str(i), xplmType_Int | xplmType_Float | xplmType_FloatArray,
                                             0, script.geti, None, script.getf, None, None, None, None, None,
                                             script.getvf, None, None, None, i, 0))
    return refs
)";

constexpr int kCallsPerRound = 100000;
constexpr int kRounds = 9;
constexpr std::array<int, 4> kCounts = {1, 100, 1000, 10000};

double Median(std::vector<double> values) {
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

// Rounds take turns between the two bodies, so that a change in the machine's speed
// falls on both alike; each reports its median round in ns per call.
std::pair<double, double> Measure(const std::function<void()>& dispatched, const std::function<void()>& bare) {
    std::vector<double> rounds[2];
    const std::function<void()>* bodies[2] = {&dispatched, &bare};
    for (int i = 0; i < kCallsPerRound / 10; ++i) dispatched(), bare();
    for (int round = 0; round < kRounds; ++round) {
        for (int which = 0; which < 2; ++which) {
            auto start = std::chrono::steady_clock::now();
            for (int i = 0; i < kCallsPerRound; ++i) (*bodies[which])();
            std::chrono::duration<double, std::nano> elapsed = std::chrono::steady_clock::now() - start;
            rounds[which].push_back(elapsed.count() / kCallsPerRound);
        }
    }
    return {Median(rounds[0]), Median(rounds[1])};
}

PyObject* Globals() { return PyModule_GetDict(PyImport_AddModule("__main__")); }

PyRef Evaluate(const std::string& expression) {
    return PyRef::Steal(PyRun_String(expression.c_str(), Py_eval_input, Globals(), Globals()));
}

struct Row {
    const char* label;
    bool besideBare;                                  // false: the second figure means nothing
    std::vector<std::pair<double, double>> figures;  // per registration count: dispatched, bare
};

bool MeasureAt(int count, std::vector<Row>& rows) {
    // The registrations of earlier rounds go, as at a stop; this round's are all new.
    korvane::registry->ClearScripts();
    korvane::host::State().flightLoops.clear();
    korvane::host::State().drawCallbacks.clear();
    korvane::host::State().keySniffers.clear();
    PyRef refs = Evaluate("register(" + std::to_string(count) + ", 'korvane/benchmark/" + std::to_string(count) + "/')");
    if (!refs || PyList_Size(refs.get()) != count) {
        PyErr_Print();
        return false;
    }
    // The middle registration: neither the first nor the last one added.
    const int chosen = count / 2;
    PyObject* helpers = PyDict_GetItemString(Globals(), "helpers");
    PyObject* helper = PyList_GetItem(helpers, PyList_Size(helpers) - count + chosen);
    PyRef loopMethod = PyRef::Steal(PyObject_GetAttrString(helper, "loop"));
    PyRef drawMethod = PyRef::Steal(PyObject_GetAttrString(helper, "draw"));
    PyRef sniffMethod = PyRef::Steal(PyObject_GetAttrString(helper, "sniff"));
    PyRef widgetMethod = PyRef::Steal(PyObject_GetAttrString(helper, "widget"));
    PyObject* widgets = PyDict_GetItemString(Globals(), "widgets");
    XPWidgetID widget = nullptr;
    if (!korvane::binding::ParseHandle(PyList_GetItem(widgets, PyList_Size(widgets) - count + chosen), &widget))
        return false;
    PyObject* script = PyDict_GetItemString(Globals(), "script");
    PyRef getiMethod = PyRef::Steal(PyObject_GetAttrString(script, "geti"));
    PyRef getfMethod = PyRef::Steal(PyObject_GetAttrString(script, "getf"));
    PyRef getvfMethod = PyRef::Steal(PyObject_GetAttrString(script, "getvf"));
    XPLMDataRef ref = nullptr;
    if (!korvane::binding::ParseHandle(PyList_GetItem(refs.get(), chosen), &ref)) return false;
    const korvane::host::FlightLoop loop = korvane::host::State().flightLoops.at(static_cast<std::size_t>(chosen));
    const korvane::host::DrawRegistration draw = korvane::host::State().drawCallbacks.at(static_cast<std::size_t>(chosen));
    const korvane::host::KeySnifferRegistration sniffer =
        korvane::host::State().keySniffers.at(static_cast<std::size_t>(chosen));

    PyRef getDataf = Evaluate("XPLMGetDataf");
    PyRef simulatorHandle = PyRef::Steal(korvane::binding::HandleToPython(XPLMFindDataRef("sim/time/zulu_time_sec")));
    if (!getDataf || XPLMGetDataf(ref) != 1.5f || XPLMGetDatai(ref) != 3) {
        std::fprintf(stderr, "read %g and %d from %p\n", XPLMGetDataf(ref), XPLMGetDatai(ref), ref);
        return false;
    }

    // The refcon as the int object the registration keeps and passes on every call.
    PyRef refcon = PyRef::Steal(PyLong_FromLong(chosen));
    auto mine = [&refcon] { return PyRef::Borrow(refcon.get()); };
    volatile double sink = 0;
    std::array<float, 8> floats{};
    // The accessor functions the host found for the data reference, called as the host
    // calls them once it has found them: its own lookup is not ours to measure.
    const korvane::host::Accessors& accessors = static_cast<korvane::host::DataRefRecord*>(ref)->accessors;
    auto callOnce = [](PyObject* callable, PyRef argument) { return CallWith(callable, std::move(argument)); };
    rows[0].figures.push_back(Measure(
        [&] { sink = loop.callback(0.05f, 0.05f, 1, loop.refcon); },
        [&] { sink = Convert<float>(CallWith(loopMethod.get(), Float(0.05f), Float(0.05f), Int(1), mine())).value_or(0); }));
    rows[1].figures.push_back(Measure(
        [&] { sink = draw.callback(draw.phase, draw.before, draw.refcon); },
        [&] { sink = Convert<int>(CallWith(drawMethod.get(), Int(draw.phase), Int(draw.before), mine())).value_or(0); }));
    rows[2].figures.push_back(Measure(
        [&] { sink = sniffer.callback('a', 8, 'A', sniffer.refcon); },
        [&] { sink = Convert<int>(CallWith(sniffMethod.get(), Int('a'), Int(8), Int('A'), mine())).value_or(0); }));
    rows[3].figures.push_back(Measure(
        [&] { sink = UserWidgetCallback(xpMsg_Draw, widget, 0, 0); },
        [&] {
            sink = Convert<int>(CallWith(widgetMethod.get(), Int(xpMsg_Draw), Handle(widget), WideInt(0), WideInt(0)))
                       .value_or(0);
        }));
    rows[4].figures.push_back(Measure([&] { sink = accessors.getInt(accessors.readRefcon); },
                                      [&] { sink = Convert<int>(callOnce(getiMethod.get(), mine())).value_or(0); }));
    rows[5].figures.push_back(Measure([&] { sink = accessors.getFloat(accessors.readRefcon); },
                                      [&] { sink = Convert<float>(callOnce(getfMethod.get(), mine())).value_or(0); }));
    rows[6].figures.push_back(Measure(
        [&] { sink = accessors.getFloats(accessors.readRefcon, floats.data(), 0, 8); },
        [&] {
            sink = Convert<int>(CallWith(getvfMethod.get(), mine(), PyRef::Steal(PyList_New(0)), Int(0), Int(8)))
                       .value_or(0);
        }));
    rows[7].figures.push_back(
        Measure([&] { sink = callOnce(getDataf.get(), PyRef::Borrow(simulatorHandle.get())) ? 1 : 0; }, [] {}));
    return !PyErr_Occurred();
}

int Run() {
    PyRef defined = PyRef::Steal(PyRun_String(kScript, Py_file_input, Globals(), Globals()));
    if (!defined) return 1;
    std::vector<Row> rows = {
        {"host calls a flight loop", true, {}},
        {"host calls a draw callback", true, {}},
        {"host calls a key sniffer", true, {}},
        {"host sends a widget message", true, {}},
        {"host reads an int accessor", true, {}},
        {"host reads a float accessor", true, {}},
        {"host reads a float array accessor (8)", true, {}},
        {"script's XPLMGetDataf of a simulator float", false, {}},
    };
    for (int count : kCounts) {
        if (!MeasureAt(count, rows)) {
            std::fprintf(stderr, "korvane-benchmark: the script's registrations do not answer as expected\n");
            return 1;
        }
    }

    std::printf("Korvane dispatch, ns per call (median of %d rounds of %d calls; Python %.6s); in brackets the\n"
                "bare vectorcall of the same callable with the same arguments, and the ratio\n",
                kRounds, kCallsPerRound, Py_GetVersion());
    std::printf("%-44s", "registrations");
    for (int count : kCounts) std::printf(" %21d", count);
    std::printf("\n");
    for (const Row& row : rows) {
        std::printf("%-44s", row.label);
        for (const auto& [dispatched, bare] : row.figures) {
            if (row.besideBare)
                std::printf(" %6.1f (%5.1f, %4.2fx)", dispatched, bare, dispatched / bare);
            else
                std::printf(" %6.1f %14s", dispatched, "");
        }
        std::printf("\n");
    }
    return 0;
}

}  // namespace

int main() {
    korvane::host::AddSimulatorDataRefs();
    Py_InitializeEx(0);
    // The host's thread holds the interpreter lock between calls, as after a start.
    korvane::AdoptInterpreterLock();
    korvane::registry = std::make_unique<korvane::ScriptRegistry>();
    int status =
        korvane::InitXPLMDataAccess() && korvane::InitXPLMDisplay() && korvane::InitXPLMProcessing() &&
                         korvane::InitXPWidgets()
                     ? Run()
                     : 1;
    if (PyErr_Occurred()) PyErr_Print();
    korvane::registry->ClearScripts();  // its references go while the interpreter runs
    Py_FinalizeEx();
    korvane::registry.reset();
    return status;
}
