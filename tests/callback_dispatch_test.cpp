// The native callbacks driven directly, as the host would call them, against entries
// made by hand in a running interpreter: argument tuples, results, the answers for
// missing, disabled and failing callables, and the camera's write-back.
#include "core/core_state.h"
#include "core/python_lifecycle.h"
#include "host/host_state.h"
#include "registry/callback_dispatch.h"
#include "registry/failure_report.h"
#include "tests/support/core_session.h"
#include "tests/support/script_host.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace korvane {
namespace {

using testing::CountOccurrences;
using testing::ScriptHost;

// A script whose module holds the callables the entries name; every call is recorded.
const char* kScript = R"(
import functools
calls = []
answer = 1

def record(*args):
    calls.append(args)
    return answer

def fail(*args):
    calls.append(args)
    raise RuntimeError('callback failed on purpose')

def move_camera(position, losing, refcon):
    calls.append((list(position) if isinstance(position, list) else position, losing, refcon))
    if isinstance(position, list):
        position[0] = 10.0
    return 1

def shrink_camera_list(position, losing, refcon):
    del position[3:]
    return 1

def spoil_camera_list(position, losing, refcon):
    position[6] = 'wide'
    return 1

def replace_camera_list(position, losing, refcon):
    position[:] = [10.0 * (i + 1) for i in range(7)]
    return 1

class Cutter:
    """A number that, once read, cuts the camera list it sits in down to `keep` items."""
    def __init__(self, position, keep):
        self.position, self.keep = position, keep
    def __float__(self):
        del self.position[self.keep:]
        return 99.0

def clear_camera_list(position, losing, refcon):
    position[0] = Cutter(position, 0)
    return 1

def cut_camera_list(position, losing, refcon):
    position[2] = Cutter(position, 3)
    return 1

# A callable without a name of its own.
nameless = functools.partial(record)

class Korvane:
    def XPluginStart(self):
        return ('Dispatch', 'kv.dispatch', 'callables for the natives')

    def XPluginStop(self):
        pass
)";

void* Handle(std::uintptr_t value) { return reinterpret_cast<void*>(value); }

class DispatchTest : public testing::CoreSession {
protected:
    void SetUp() override {
        testing::CoreSession::SetUp();
        sim.AddScript("KV_Dispatch", kScript);
        StartPython(0);
        ASSERT_EQ(registry->ScriptCount(), 1);
        script = registry->ScriptAt(0);
        sim.Exec("import KV_Dispatch as d");
    }
    void TearDown() override {
        ExpectNoPendingError("a dispatcher left a Python error pending");
        testing::CoreSession::TearDown();
    }

    PyRef Callable(const char* name) {
        PyRef module = PyRef::Steal(PyImport_ImportModule("KV_Dispatch"));
        return PyRef::Steal(PyObject_GetAttrString(module.get(), name));
    }
    // Adds an entry naming the module's callable; returns the host refcon a binding
    // would have registered it with.
    void* Add(CallbackKind kind, const char* callable, long refcon = 0, void* handle = nullptr) {
        CallbackEntry entry;
        entry.callable = callable ? Callable(callable) : PyRef();
        entry.refcon = refcon;
        entry.handle = handle;
        const CallbackEntry* stored = registry->AddEntry(kind, script, std::move(entry));
        EXPECT_NE(stored, nullptr);
        return stored ? stored->hostRefcon : nullptr;
    }
    void AddWindow(void* window, const char* draw, const char* key, const char* mouse) {
        CallbackEntry entry;
        entry.callable = Callable(draw);
        entry.keyCallable = key ? Callable(key) : PyRef();
        entry.mouseCallable = mouse ? Callable(mouse) : PyRef();
        entry.handle = window;
        registry->AddEntry(CallbackKind::Window, script, std::move(entry));
    }
    // The recorded calls since the last look, as Python shows them.
    std::string TakeCalls() {
        std::string calls = sim.Eval("d.calls");
        sim.Exec("d.calls.clear()");
        return calls;
    }

    ScriptHost sim;
    PyObject* script = nullptr;
};

TEST_F(DispatchTest, RefconKindsPassTheEntrysRefconAndConvertTheResult) {
    sim.Exec("d.answer = 3");
    void* loop = Add(CallbackKind::FlightLoop, "record", 7);
    EXPECT_EQ(dispatch::FlightLoopCallback(0.5f, 0.25f, 12, loop), 3.0f);
    EXPECT_EQ(TakeCalls(), "[(0.5, 0.25, 12, 7)]");

    void* draw = Add(CallbackKind::Draw, "record", -2);
    EXPECT_EQ(dispatch::DrawCallback(25, 1, draw), 3);
    EXPECT_EQ(TakeCalls(), "[(25, 1, -2)]");

    void* hotKey = Add(CallbackKind::HotKey, "record", 11, Handle(0x40));
    dispatch::HotKeyCallback(hotKey);
    void* shared = Add(CallbackKind::SharedData, "record", 12);
    dispatch::UserSharedDataCallback(shared);
    void* planes = Add(CallbackKind::Planes, "record", 13);
    dispatch::UserPlanesAvailableCallback(planes);
    // Menus: found by the menu refcon; the item refcon comes from the host.
    void* menu = Add(CallbackKind::Menu, "record", 14, Handle(0x50));
    dispatch::UserMenuCallback(menu, Handle(99));
    EXPECT_EQ(TakeCalls(), "[(11,), (12,), (13,), (14, 99)]");

    // A result that is not an int still converts when it can.
    sim.Exec("d.answer = 2.0");
    EXPECT_EQ(dispatch::FlightLoopCallback(0, 0, 0, loop), 2.0f);
    sim.Exec("d.answer = True");
    EXPECT_EQ(dispatch::DrawCallback(0, 0, draw), 1);
}

TEST_F(DispatchTest, KeyCodesKeepTheirSignsPerKind) {
    // Virtual key 200 and char 0xE9: the sniffer sees the virtual key unsigned, the
    // window sees both signed, and the sniffer's char is signed.
    const char virtualKey = static_cast<char>(200);
    const char accented = static_cast<char>(0xE9);
    void* sniffer = Add(CallbackKind::KeySniffer, "record", 4);
    EXPECT_EQ(dispatch::KeySnifferCallback(accented, 3, virtualKey, sniffer), 1);
    EXPECT_EQ(TakeCalls(), "[(-23, 3, 200, 4)]");

    AddWindow(Handle(0x1000), "record", "record", "record");
    dispatch::KeyCallback(Handle(0x1000), accented, 2, virtualKey, Handle(0), 1);
    EXPECT_EQ(TakeCalls(), "[(4096, -23, 2, -56, 0, 1)]");
}

TEST_F(DispatchTest, WindowsAndWidgetsAreFoundByTheirHandle) {
    sim.Exec("d.answer = 5");
    // A window handle above 32 bits reaches Python whole.
    void* window = Handle(0x7f0012345678);
    AddWindow(window, "record", "record", "record");
    dispatch::DrawWindowCallback(window, Handle(0));
    EXPECT_EQ(dispatch::MouseClickCallback(window, 10, 20, 1, Handle(0)), 5);
    EXPECT_EQ(TakeCalls(), "[(139638282147448, 0), (139638282147448, 10, 20, 1, 0)]");
    // Another window's calls find nothing.
    EXPECT_EQ(dispatch::MouseClickCallback(Handle(0x2000), 1, 1, 1, Handle(0)), 0);
    EXPECT_EQ(TakeCalls(), "[]");

    void* widget = Handle(0x7f0000000010);
    Add(CallbackKind::WidgetCallback, "record", 0, widget);
    EXPECT_EQ(dispatch::UserWidgetCallback(7, widget, -1, std::intptr_t{1} << 40), 5);
    EXPECT_EQ(TakeCalls(), "[(7, 139637976727568, -1, 1099511627776)]");
    EXPECT_EQ(dispatch::UserWidgetCallback(7, Handle(0x99), 0, 0), 0);
}

TEST_F(DispatchTest, MissingEntriesAndDisabledOwnersAnswerWithoutCalling) {
    void* loop = Add(CallbackKind::FlightLoop, "record", 1);
    void* draw = Add(CallbackKind::Draw, "record", 1);
    void* sniffer = Add(CallbackKind::KeySniffer, "record", 1);
    void* camera = Add(CallbackKind::Camera, "record", 1);
    void* hotKey = Add(CallbackKind::HotKey, "record", 1);
    AddWindow(Handle(0x1000), "record", "record", "record");
    Add(CallbackKind::WidgetCallback, "record", 0, Handle(0x2000));
    XPLMCameraPosition_t position{};

    struct Target {
        void *loop, *draw, *sniffer, *camera, *hotKey, *window, *widget;
    };
    auto expectNoEntryAnswers = [&](Target target) {
        EXPECT_EQ(dispatch::FlightLoopCallback(1, 1, 1, target.loop), 0.0f);
        EXPECT_EQ(dispatch::DrawCallback(1, 1, target.draw), 0);
        EXPECT_EQ(dispatch::KeySnifferCallback('a', 0, 'A', target.sniffer), 0);
        EXPECT_EQ(dispatch::UserCameraControlCallback(&position, 0, target.camera), 0);
        EXPECT_EQ(dispatch::MouseClickCallback(target.window, 1, 1, 1, Handle(0)), 0);
        EXPECT_EQ(dispatch::UserWidgetCallback(1, target.widget, 0, 0), 0);
        dispatch::HotKeyCallback(target.hotKey);
    };
    const Target registered{loop, draw, sniffer, camera, hotKey, Handle(0x1000), Handle(0x2000)};
    // Refcons and handles that name no entry.
    PyRef stranger = PyRef::Steal(PyList_New(0));
    expectNoEntryAnswers({stranger.get(), stranger.get(), stranger.get(), stranger.get(), stranger.get(),
                          Handle(0x3000), Handle(0x4000)});
    // A disabled owner: the callables stay untouched.
    registry->SetScriptEnabled(script, 0);
    expectNoEntryAnswers(registered);
    // Without a registry (after the plug-in stopped) nothing is looked up at all.
    registry->SetScriptEnabled(script, 1);
    std::unique_ptr<ScriptRegistry> parked = std::move(registry);
    expectNoEntryAnswers(registered);
    registry = std::move(parked);
    EXPECT_EQ(TakeCalls(), "[]");
    EXPECT_EQ(CountOccurrences(sim.LogFile(), "Cannot find"), 0);
}

TEST_F(DispatchTest, FailedOrUnconvertibleCallsGiveTheFailureValueAndOneTracebackEach) {
    void* loop = Add(CallbackKind::FlightLoop, "fail", 1);
    void* draw = Add(CallbackKind::Draw, "fail", 1);
    void* sniffer = Add(CallbackKind::KeySniffer, "fail", 1);
    void* hotKey = Add(CallbackKind::HotKey, "fail", 1);
    void* camera = Add(CallbackKind::Camera, "fail", 1);
    AddWindow(Handle(0x1000), "fail", "fail", "fail");
    Add(CallbackKind::WidgetCallback, "fail", 0, Handle(0x2000));
    XPLMCameraPosition_t position{1, 2, 3, 4, 5, 6, 7};

    EXPECT_EQ(dispatch::FlightLoopCallback(1, 1, 1, loop), 1.0f);
    EXPECT_EQ(dispatch::FlightLoopCallback(1, 1, 2, loop), 1.0f);
    EXPECT_EQ(dispatch::DrawCallback(1, 1, draw), 1);
    EXPECT_EQ(dispatch::KeySnifferCallback('a', 0, 'A', sniffer), 1);
    EXPECT_EQ(dispatch::MouseClickCallback(Handle(0x1000), 1, 1, 1, Handle(0)), 0);
    EXPECT_EQ(dispatch::UserWidgetCallback(1, Handle(0x2000), 0, 0), 1);
    dispatch::HotKeyCallback(hotKey);
    EXPECT_EQ(dispatch::UserCameraControlCallback(&position, 0, camera), 0);
    EXPECT_EQ(position.x, 1.0f);

    // A result that cannot be converted is a failed call too.
    void* none = Add(CallbackKind::FlightLoop, "record", 1);
    void* noneCamera = Add(CallbackKind::Camera, "record", 1);
    void* noneNameless = Add(CallbackKind::FlightLoop, "nameless", 1);
    sim.Exec("d.answer = None");
    EXPECT_EQ(dispatch::FlightLoopCallback(1, 1, 1, none), 1.0f);
    EXPECT_EQ(dispatch::FlightLoopCallback(1, 1, 1, noneNameless), 1.0f);
    EXPECT_EQ(dispatch::UserCameraControlCallback(&position, 0, noneCamera), 0);

    std::string log = sim.LogFile();
    EXPECT_EQ(CountOccurrences(log, "RuntimeError: callback failed on purpose"), 8) << log;
    EXPECT_EQ(CountOccurrences(log, "TypeError"), 3) << log;
    // Without a traceback of its own, such a failure says whose callable and which callback.
    EXPECT_EQ(CountOccurrences(log, "'KV_Dispatch' FlightLoopCallback: record gave a result that could not be used\n"),
              1)
        << log;
    EXPECT_EQ(CountOccurrences(log, "'KV_Dispatch' UserCameraControlCallback: record gave a result that could not be "
                                    "used\n"),
              1);
    EXPECT_EQ(CountOccurrences(log, "'KV_Dispatch' FlightLoopCallback: functools.partial gave a result that could not "
                                    "be used\n"),
              1);
    EXPECT_EQ(CountOccurrences(log, "UserCameraControlCallback Call failed\n"), 2);
    EXPECT_EQ(CountOccurrences(log, "Cannot find"), 0);
}

TEST_F(DispatchTest, EntriesWithoutACallableAreReportedByKind) {
    // Entries whose callable slot is empty.
    void* loop = Add(CallbackKind::FlightLoop, nullptr);
    void* camera = Add(CallbackKind::Camera, nullptr);
    AddWindow(Handle(0x1000), "record", nullptr, nullptr);
    EXPECT_EQ(dispatch::FlightLoopCallback(1, 1, 1, loop), 1.0f);
    XPLMCameraPosition_t position{};
    EXPECT_EQ(dispatch::UserCameraControlCallback(&position, 0, camera), 0);
    dispatch::KeyCallback(Handle(0x1000), 'a', 0, 'A', Handle(0), 0);
    EXPECT_EQ(dispatch::MouseClickCallback(Handle(0x1000), 1, 1, 1, Handle(0)), 0);
    EXPECT_EQ(sim.LogFile().substr(sim.LogFile().find("Cannot find")),
              "Cannot find method FlightLoopCallback\n"
              "Cannot find function UserCameraControlCallback\n"
              "Cannot find method KeyCallback\n"
              "Cannot find method MouseClickCallback\n");
    EXPECT_EQ(TakeCalls(), "[]");
}

TEST_F(DispatchTest, CameraCallablesMoveTheCameraThroughTheirList) {
    void* camera = Add(CallbackKind::Camera, "move_camera", 9);
    XPLMCameraPosition_t position{1, 2, 3, 4.5f, 5, 6, 1};
    EXPECT_EQ(dispatch::UserCameraControlCallback(&position, 0, camera), 1);
    EXPECT_EQ(TakeCalls(), "[([1.0, 2.0, 3.0, 4.5, 5.0, 6.0, 1.0], 0, 9)]");
    EXPECT_EQ(position.x, 10.0f);
    EXPECT_EQ(position.y, 2.0f);
    EXPECT_EQ(position.pitch, 4.5f);
    EXPECT_EQ(position.zoom, 1.0f);

    // Losing control: no position to change.
    EXPECT_EQ(dispatch::UserCameraControlCallback(nullptr, 1, camera), 1);
    EXPECT_EQ(TakeCalls(), "[(0, 1, 9)]");
}

TEST_F(DispatchTest, CameraWriteBackTakesAllSevenItemsAsTheCallLeftThem) {
    XPLMCameraPosition_t position{1, 2, 3, 4, 5, 6, 7};
    auto fields = [&] {
        return std::vector<float>{position.x,       position.y,    position.z,   position.pitch,
                                  position.heading, position.roll, position.zoom};
    };
    EXPECT_EQ(dispatch::UserCameraControlCallback(&position, 0, Add(CallbackKind::Camera, "replace_camera_list")), 1);
    EXPECT_EQ(fields(), (std::vector<float>{10, 20, 30, 40, 50, 60, 70}));
    registry->RemoveAll(CallbackKind::Camera, script);

    // Reading an item may run Python that empties or cuts the list: the items the call
    // left are the ones written.
    EXPECT_EQ(dispatch::UserCameraControlCallback(&position, 0, Add(CallbackKind::Camera, "clear_camera_list")), 1);
    EXPECT_EQ(fields(), (std::vector<float>{99, 20, 30, 40, 50, 60, 70}));
    registry->RemoveAll(CallbackKind::Camera, script);
    EXPECT_EQ(dispatch::UserCameraControlCallback(&position, 0, Add(CallbackKind::Camera, "cut_camera_list")), 1);
    EXPECT_EQ(fields(), (std::vector<float>{99, 20, 99, 40, 50, 60, 70}));
}

TEST_F(DispatchTest, CameraListsThatLostTheirNumbersWriteNothing) {
    void* shrink = Add(CallbackKind::Camera, "shrink_camera_list", 1);
    XPLMCameraPosition_t position{1, 2, 3, 4, 5, 6, 7};
    EXPECT_EQ(dispatch::UserCameraControlCallback(&position, 0, shrink), 0);
    registry->RemoveAll(CallbackKind::Camera, script);
    void* spoil = Add(CallbackKind::Camera, "spoil_camera_list", 1);
    EXPECT_EQ(dispatch::UserCameraControlCallback(&position, 0, spoil), 0);
    EXPECT_EQ(position.x, 1.0f);
    EXPECT_EQ(position.zoom, 7.0f);
    std::string log = sim.LogFile();
    EXPECT_EQ(CountOccurrences(log, "UserCameraControlCallback Call failed\n"), 2) << log;
    EXPECT_EQ(CountOccurrences(log, "ValueError: the camera position list must keep its seven numbers"), 1);
    EXPECT_EQ(CountOccurrences(log, "TypeError: must be real number, not str"), 1);
}

}  // namespace
}  // namespace korvane

namespace korvane {
namespace {

// The counts in the log's summary lines for one kind of failure, added up.
long SummarizedFailures(const std::string& log) {
    long sum = 0;
    for (std::size_t at = log.find(" failed "); at != std::string::npos; at = log.find(" failed ", at + 1))
        sum += std::strtol(log.c_str() + at + 8, nullptr, 10);
    return sum;
}

TEST_F(DispatchTest, ACallableFailingEveryFrameIsSummarizedWhileTheReportCountsEveryFailure) {
    // The run report is read at interpreter start, so this run starts again with one.
    const std::string report = (sim.Root() / "report.jsonl").string();
    ::setenv("KORVANE_RUN_REPORT", report.c_str(), 1);
    StopPython(0);
    StartPython(0);
    ::unsetenv("KORVANE_RUN_REPORT");
    script = registry->ScriptAt(0);
    sim.Exec("import KV_Dispatch as d\nd.answer = None");
    void* loop = Add(CallbackKind::FlightLoop, "fail", 1);
    void* draw = Add(CallbackKind::Draw, "record", 1);

    host::State().elapsedTime = 0;
    for (int frame = 0; frame < 100; ++frame) {
        host::State().elapsedTime += 0.25;
        EXPECT_EQ(dispatch::FlightLoopCallback(0.25f, 0.25f, frame, loop), 1.0f);
        // After its phase a drawing callable's result is ignored, so None is no failure;
        // before it, the result decides whether the simulator draws, and None is one.
        EXPECT_EQ(dispatch::DrawCallback(xplm_Phase_Window, 0, draw), 1);
    }
    EXPECT_EQ(dispatch::DrawCallback(xplm_Phase_Window, 1, draw), 1);
    StopPython(0);

    const std::string log = sim.LogFile();
    EXPECT_EQ(CountOccurrences(log, "Traceback (most recent call last)"), dispatch::kFailuresShownInFull) << log;
    EXPECT_EQ(CountOccurrences(log, "'KV_Dispatch' FlightLoopCallback: fail keeps failing this way"), 1) << log;
    // 25 simulated seconds after the third failure: a line every 10 s, then the rest at stop.
    EXPECT_EQ(CountOccurrences(log, "'KV_Dispatch' FlightLoopCallback: fail failed "), 3) << log;
    EXPECT_EQ(SummarizedFailures(log), 100 - dispatch::kFailuresShownInFull) << log;
    EXPECT_EQ(CountOccurrences(log, "DrawCallback: record gave a result that could not be used"), 1) << log;
    EXPECT_EQ(CountOccurrences(log, "TypeError"), 1) << log;
    const std::string reported = testing::ReadFile(report);
    EXPECT_NE(reported.find(R"("message":"callback failed on purpose",)"), std::string::npos) << reported;
    EXPECT_NE(reported.find(R"("count":100})"), std::string::npos) << reported;
}

}  // namespace
}  // namespace korvane
