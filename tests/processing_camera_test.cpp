// XPLMProcessing and XPLMCamera as scripts use them: registrations reach the host,
// the host's calls reach the callables, and unregistering removes exactly the host
// registration it should.
#include "core/core_state.h"
#include "core/python_lifecycle.h"
#include "host/host_state.h"
#include "tests/support/core_session.h"
#include "tests/support/script_host.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

using testing::CountOccurrences;
using testing::ScriptHost;

// A script that keeps its instance in `me` and its bound methods in attributes, so a
// test can register, unregister and compare them from outside.
std::string LoopScript(const std::string& body = "        return 1.0\n") {
    return "import XPLMProcessing as P\n"
           "calls = []\n"
           "me = None\n"
           "class Korvane:\n"
           "    def XPluginStart(self):\n"
           "        global me\n"
           "        me = self\n"
           "        self.loop = self.Loop\n"
           "        return ('Loop', 'kv.loop', 'a flight loop')\n"
           "    def XPluginEnable(self):\n"
           "        return 1\n"
           "    def XPluginStop(self):\n"
           "        pass\n"
           "    def Loop(self, sinceCall, sinceLoop, counter, refcon):\n"
           "        calls.append((round(sinceCall, 3), round(sinceLoop, 3), counter, refcon))\n" +
           body;
}

const char* kCameraScript = R"(
import XPLMCamera as C
calls = []
me = None
keep = 1
class Korvane:
    def XPluginStart(self):
        global me
        me = self
        self.camera = self.Camera
        self.other = self.Other
        return ('Camera', 'kv.camera', 'a camera controller')
    def XPluginEnable(self):
        return 1
    def XPluginStop(self):
        pass
    def Camera(self, position, losing, refcon):
        calls.append(('camera', position if position == 0 else len(position), losing, refcon))
        if position != 0:
            position[0] = 10.0
        return keep
    def Other(self, position, losing, refcon):
        calls.append(('other', position if position == 0 else len(position), losing, refcon))
        return 1
)";

class ModuleTest : public testing::CoreSession {
protected:
    void Start() {
        StartPython(1);
        sim.Exec("import sys, XPLMProcessing as P, XPLMCamera as C");
    }
    // The refcon the host got for a script's registration of a callable, and as the
    // host call details show it.
    void* HostRefcon(CallbackKind kind, const std::string& self, const std::string& callable) {
        const CallbackEntry* entry = registry->FindEntry(kind, static_cast<PyObject*>(AddressOf(self)),
                                                         static_cast<PyObject*>(AddressOf(callable)));
        return entry ? entry->hostRefcon : nullptr;
    }
    std::string RefconOf(const std::string& self, const std::string& callable,
                         CallbackKind kind = CallbackKind::FlightLoop) {
        return "refcon=" + host::PointerText(HostRefcon(kind, self, callable));
    }
    std::vector<void*> LiveLoopRefcons() {
        std::vector<void*> refcons;
        for (const host::FlightLoop& loop : host::LiveFlightLoops()) refcons.push_back(loop.refcon);
        return refcons;
    }
    void* AddressOf(const std::string& object) {
        return reinterpret_cast<void*>(std::stoull(sim.Eval("id(" + object + ")")));
    }
    int FlightLoops() { return registry->KindCount(CallbackKind::FlightLoop); }
};

TEST_F(ModuleTest, FlightLoopRunsOnSimulatedTimeUntilUnregistered) {
    sim.AddScript("KV_Loop", LoopScript());
    Start();
    // Registering an equal callable again keeps the first registration and refcon, and
    // schedules it as the new call asks.
    sim.Exec("A = sys.modules['KV_Loop']\n"
             "P.XPLMRegisterFlightLoopCallback(A.me, A.me.loop, 1.0, 7)\n"
             "P.XPLMRegisterFlightLoopCallback(A.me, A.me.Loop, 0.5, 8)");
    EXPECT_EQ(FlightLoops(), 1);
    const std::string refcon = RefconOf("A.me", "A.me.loop");
    EXPECT_EQ(Details("XPLMRegisterFlightLoopCallback"), std::vector<std::string>{"interval=1.000000 " + refcon});
    EXPECT_EQ(Details("XPLMSetFlightLoopCallbackInterval"),
              std::vector<std::string>{"interval=0.500000 " + refcon + " relativeToNow=1"});
    sim.Host().RunSeconds(5);
    // Then once a second: a second since the last call, one frame since the last pass.
    EXPECT_EQ(sim.Eval("A.calls"),
              "[(0.5, 0.05, 10, 7), (1.0, 0.05, 30, 7), (1.0, 0.05, 50, 7), (1.0, 0.05, 70, 7), "
              "(1.0, 0.05, 90, 7)]");

    // A new but equal bound method names the same registration.
    sim.Exec("P.XPLMUnregisterFlightLoopCallback(A.me, A.me.Loop, 7)");
    EXPECT_EQ(Details("XPLMUnregisterFlightLoopCallback"), std::vector<std::string>{refcon});
    EXPECT_TRUE(host::LiveFlightLoops().empty());
    EXPECT_EQ(FlightLoops(), 0);
    sim.Host().RunSeconds(3);
    EXPECT_EQ(sim.Eval("len(A.calls)"), "5");
}

TEST_F(ModuleTest, ReturnedIntervalsScheduleTheNextCall) {
    // Two seconds, then three frames, then not again until the interval is set anew.
    sim.AddScript("KV_Loop", LoopScript("        return intervals.pop(0)\nintervals = [2.0, -3, 0.0, 0.0]\n"));
    Start();
    sim.Exec("A = sys.modules['KV_Loop']\n"
             "P.XPLMRegisterFlightLoopCallback(A.me, A.me.loop, 1.0, 0)");
    sim.Host().RunSeconds(6);
    EXPECT_EQ(sim.Eval("[call[2] for call in A.calls]"), "[20, 60, 63]");
    EXPECT_EQ(sim.Eval("A.calls[1][0]"), "2.0");

    sim.Exec("P.XPLMSetFlightLoopCallbackInterval(A.me.Loop, 0.5, 1, 0)");
    EXPECT_EQ(Details("XPLMSetFlightLoopCallbackInterval"),
              std::vector<std::string>{"interval=0.500000 " + RefconOf("A.me", "A.me.loop") + " relativeToNow=1"});
    sim.Host().RunSeconds(1);
    EXPECT_EQ(sim.Eval("[call[2] for call in A.calls]"), "[20, 60, 63, 130]");
}

// Scripts pass `self` first, as to every registering call: then only that script's
// registration of the callable is rescheduled; without it, every script's.
TEST_F(ModuleTest, IntervalsAreSetForOneScriptWithSelfAndForAllWithout) {
    sim.AddScript("KV_A", LoopScript());
    sim.AddScript("KV_B", LoopScript());
    Start();
    sim.Exec("A, B = sys.modules['KV_A'], sys.modules['KV_B']\n"
             "P.XPLMRegisterFlightLoopCallback(A.me, A.me.loop, 0, 1)\n"
             "P.XPLMRegisterFlightLoopCallback(B.me, A.me.loop, 0, 2)");
    const std::string refconA = RefconOf("A.me", "A.me.loop"), refconB = RefconOf("B.me", "A.me.loop");
    sim.Host().ClearCalls();
    EXPECT_EQ(sim.Eval("P.XPLMSetFlightLoopCallbackInterval(B.me, A.me.Loop, 0.5, 1, 9)"), "1");
    EXPECT_EQ(Details("XPLMSetFlightLoopCallbackInterval"),
              std::vector<std::string>{"interval=0.500000 " + refconB + " relativeToNow=1"});
    sim.Host().RunSeconds(1);
    EXPECT_EQ(sim.Eval("[call[3] for call in A.calls]"), "[2]");
    sim.Host().ClearCalls();
    EXPECT_EQ(sim.Eval("P.XPLMSetFlightLoopCallbackInterval(A.me.Loop, 2.0, 0, 0)"), "1");
    EXPECT_EQ(Details("XPLMSetFlightLoopCallbackInterval"),
              (std::vector<std::string>{"interval=2.000000 " + refconA + " relativeToNow=0",
                                        "interval=2.000000 " + refconB + " relativeToNow=0"}));
    // A script that holds no such registration reschedules nothing; other counts raise.
    sim.Host().ClearCalls();
    EXPECT_EQ(sim.Eval("P.XPLMSetFlightLoopCallbackInterval(B.me, B.me.Loop, 0.5, 1, 0)"), "1");
    for (const char* call : {"P.XPLMSetFlightLoopCallbackInterval(A.me.Loop, 0.5, 1)",
                             "P.XPLMSetFlightLoopCallbackInterval(A.me, A.me.Loop, 0.5, 1, 0, 0)",
                             "P.XPLMSetFlightLoopCallbackInterval(A.me, A.me.Loop, 'x', 1, 0)"})
        EXPECT_TRUE(sim.Eval(call).starts_with("<error: ")) << call;
    EXPECT_TRUE(Details("XPLMSetFlightLoopCallbackInterval").empty());
}

TEST_F(ModuleTest, EachScriptsHostRegistrationGoesWithItsOwnEntry) {
    sim.AddScript("KV_A", LoopScript());
    sim.AddScript("KV_B", LoopScript());
    Start();
    sim.Exec("A, B = sys.modules['KV_A'], sys.modules['KV_B']");
    std::vector<int> counts{FlightLoops()};
    sim.Exec("P.XPLMRegisterFlightLoopCallback(A.me, A.me.loop, 1.0, 1)");
    counts.push_back(FlightLoops());
    sim.Exec("P.XPLMRegisterFlightLoopCallback(B.me, B.me.loop, 1.0, 2)");
    counts.push_back(FlightLoops());
    void* loopA = HostRefcon(CallbackKind::FlightLoop, "A.me", "A.me.loop");
    void* loopB = HostRefcon(CallbackKind::FlightLoop, "B.me", "B.me.loop");
    const std::string refconA = "refcon=" + host::PointerText(loopA);
    const std::string refconB = "refcon=" + host::PointerText(loopB);
    EXPECT_EQ(LiveLoopRefcons(), (std::vector<void*>{loopA, loopB}));

    sim.Exec("P.XPLMUnregisterFlightLoopCallback(A.me, A.me.loop, 1)");
    counts.push_back(FlightLoops());
    EXPECT_EQ(LiveLoopRefcons(), std::vector<void*>{loopB});
    EXPECT_EQ(Details("XPLMUnregisterFlightLoopCallback"), std::vector<std::string>{refconA});
    sim.Host().RunSeconds(1);
    EXPECT_EQ(sim.Eval("(len(A.calls), B.calls)"), "(0, [(1.0, 0.05, 20, 2)])");

    // Unregistering what is gone, or what another script registered, changes nothing.
    sim.Exec("P.XPLMUnregisterFlightLoopCallback(A.me, A.me.loop, 1)\n"
             "P.XPLMUnregisterFlightLoopCallback(A.me, B.me.loop, 2)");
    EXPECT_EQ(FlightLoops(), 1);
    EXPECT_EQ(LiveLoopRefcons(), std::vector<void*>{loopB});

    sim.Exec("P.XPLMUnregisterFlightLoopCallback(B.me, B.me.loop, 2)");
    counts.push_back(FlightLoops());
    sim.Exec("P.XPLMUnregisterFlightLoopCallback(B.me, B.me.loop, 2)");
    counts.push_back(FlightLoops());
    EXPECT_EQ(counts, (std::vector<int>{0, 1, 2, 1, 0, 0}));
    EXPECT_TRUE(host::LiveFlightLoops().empty());
    EXPECT_EQ(Details("XPLMUnregisterFlightLoopCallback"),
              (std::vector<std::string>{refconA, refconB}));
}

TEST_F(ModuleTest, RegisteringAgainAfterTheHostLetGoRegistersAgain) {
    // A flight loop that switched itself off by returning 0 runs again when registered again.
    sim.AddScript("KV_Loop", LoopScript("        return 0.0\n"));
    sim.AddScript("KV_Camera", kCameraScript);
    Start();
    sim.Exec("A, K = sys.modules['KV_Loop'], sys.modules['KV_Camera']\n"
             "P.XPLMRegisterFlightLoopCallback(A.me, A.me.loop, -1, 0)");
    sim.Host().RunSeconds(1);
    EXPECT_EQ(sim.Eval("len(A.calls)"), "1");
    sim.Exec("P.XPLMRegisterFlightLoopCallback(A.me, A.me.loop, -1, 0)");
    sim.Host().RunSeconds(1);
    EXPECT_EQ(sim.Eval("len(A.calls)"), "2");
    EXPECT_EQ(FlightLoops(), 1);

    // A camera callable that gave control back takes it again, and so does one that
    // another callable had replaced.
    sim.Exec("K.keep = 0\n"
             "C.XPLMControlCamera(K.me, C.xplm_ControlCameraForever, K.me.camera, 1)");
    sim.Host().RunFrame();
    EXPECT_EQ(sim.Eval("C.XPLMIsCameraBeingControlled()"), "0");
    sim.Exec("K.keep = 1\n"
             "C.XPLMControlCamera(K.me, C.xplm_ControlCameraForever, K.me.camera, 1)\n"
             "C.XPLMControlCamera(K.me, C.xplm_ControlCameraForever, K.me.other, 2)\n"
             "C.XPLMControlCamera(K.me, C.xplm_ControlCameraForever, K.me.camera, 1)\n"
             "K.calls.clear()");
    EXPECT_EQ(sim.Eval("C.XPLMIsCameraBeingControlled()"), "2");
    sim.Host().RunFrame();
    EXPECT_EQ(sim.Eval("K.calls"), "[('camera', 7, 0, 1)]");
}

TEST_F(ModuleTest, OneFunctionRegisteredByTwoScriptsIsTwoRegistrations) {
    sim.AddScript("KV_A", LoopScript());
    sim.AddScript("KV_B", LoopScript());
    Start();
    sim.Exec("A, B = sys.modules['KV_A'], sys.modules['KV_B']\n"
             "seen = []\n"
             "def shared(since, sinceLoop, counter, refcon):\n"
             "    seen.append(refcon)\n"
             "    return -1\n"
             "P.XPLMRegisterFlightLoopCallback(A.me, shared, -1, 1)\n"
             "P.XPLMRegisterFlightLoopCallback(B.me, shared, -1, 2)");
    sim.Host().RunFrame();
    EXPECT_EQ(sim.Eval("seen"), "[1, 2]");
    // Each unregistration undoes its own registration, once.
    sim.Exec("seen.clear()\n"
             "P.XPLMUnregisterFlightLoopCallback(A.me, shared, 1)");
    sim.Host().RunFrame();
    EXPECT_EQ(sim.Eval("seen"), "[2]");
    EXPECT_EQ(host::LiveFlightLoops().size(), 1u);
    sim.Exec("P.XPLMUnregisterFlightLoopCallback(B.me, shared, 2)");
    EXPECT_TRUE(host::LiveFlightLoops().empty());
    EXPECT_EQ(sim.Host().CountCalls("XPLMUnregisterFlightLoopCallback"), 2);
}

TEST_F(ModuleTest, DisabledOwnersFlightLoopIsDeactivatedUntilRescheduled) {
    sim.AddScript("KV_Loop", LoopScript());
    Start();
    sim.Exec("A = sys.modules['KV_Loop']\n"
             "P.XPLMRegisterFlightLoopCallback(A.me, A.me.loop, 1.0, 0)");
    sim.Host().RunSeconds(1);
    PyObject* script = registry->ScriptAt(0);
    registry->SetScriptEnabled(script, 0);
    sim.Host().RunSeconds(2);
    EXPECT_EQ(sim.Eval("len(A.calls)"), "1");
    ASSERT_EQ(host::LiveFlightLoops().size(), 1u);
    EXPECT_EQ(host::LiveFlightLoops()[0].schedule, host::FlightLoop::Schedule::Off);

    registry->SetScriptEnabled(script, 1);
    sim.Host().RunSeconds(2);
    EXPECT_EQ(sim.Eval("len(A.calls)"), "1");
    sim.Exec("P.XPLMSetFlightLoopCallbackInterval(A.me.loop, -1, 1, 0)");
    sim.Host().RunFrame();
    EXPECT_EQ(sim.Eval("len(A.calls)"), "2");
}

TEST_F(ModuleTest, FlightLoopsMayRegisterAndUnregisterFromInsideTheirCall) {
    // The first loop registers a second one and unregisters itself through a fresh
    // bound method, so the registry held the only reference to the running callable.
    sim.AddScript("KV_Loop", LoopScript("        P.XPLMRegisterFlightLoopCallback(self, self.Second, -1, 5)\n"
                                        "        P.XPLMUnregisterFlightLoopCallback(self, self.Loop, 0)\n"
                                        "        return 1.0\n"
                                        "    def Second(self, *args):\n"
                                        "        calls.append(('second',) + args[2:])\n"
                                        "        return -1\n"));
    Start();
    sim.Exec("A = sys.modules['KV_Loop']\n"
             "P.XPLMRegisterFlightLoopCallback(A.me, A.me.Loop, -1, 0)");
    sim.Host().RunFrame();
    sim.Host().RunFrame();
    EXPECT_EQ(sim.Eval("A.calls"), "[(0.05, 0.05, 1, 0), ('second', 2, 5)]");
    EXPECT_EQ(host::LiveFlightLoops().size(), 1u);
    EXPECT_EQ(FlightLoops(), 1);
    EXPECT_EQ(CountOccurrences(sim.LogFile(), "Traceback"), 0);
}

TEST_F(ModuleTest, CameraControllerMovesTheHostCameraUntilItLetsGo) {
    sim.AddScript("KV_Camera", kCameraScript);
    Start();
    sim.Exec("K = sys.modules['KV_Camera']");
    EXPECT_EQ(sim.Eval("C.XPLMIsCameraBeingControlled()"), "0");
    sim.Exec("C.XPLMControlCamera(K.me, C.xplm_ControlCameraForever, K.me.camera, 3)");
    EXPECT_EQ(Details("XPLMControlCamera"),
              std::vector<std::string>{"howLong=2 " + RefconOf("K.me", "K.me.camera", CallbackKind::Camera)});
    EXPECT_EQ(sim.Eval("C.XPLMIsCameraBeingControlled()"), "2");

    host::State().cameraPosition = {1, 2, 3, 4, 5, 6, 1};
    sim.Host().RunFrame();
    EXPECT_EQ(sim.Eval("K.calls"), "[('camera', 7, 0, 3)]");
    const XPLMCameraPosition_t& moved = host::State().cameraPosition;
    EXPECT_EQ(moved.x, 10.0f);
    EXPECT_EQ(moved.y, 2.0f);
    EXPECT_EQ(moved.roll, 6.0f);
    EXPECT_EQ(moved.zoom, 1.0f);
    // Reading appends to whatever the list holds.
    sim.Exec("seen = ['mine']\nresults = [C.XPLMReadCameraPosition(seen), C.XPLMReadCameraPosition(seen)]");
    EXPECT_EQ(sim.Eval("(results, len(seen), seen[:8])"),
              "([(1,), (1,)], 15, ['mine', 10.0, 2.0, 3.0, 4.0, 5.0, 6.0, 1.0])");

    sim.Exec("C.XPLMDontControlCamera(K.me)");
    EXPECT_EQ(sim.Host().CountCalls("XPLMDontControlCamera"), 1);
    EXPECT_EQ(sim.Eval("C.XPLMIsCameraBeingControlled()"), "0");
    sim.Host().RunFrame();
    EXPECT_EQ(sim.Eval("len(K.calls)"), "1");
    // Letting go twice leaves the counter at 0.
    sim.Exec("C.XPLMDontControlCamera(K.me)");
    EXPECT_EQ(registry->KindCount(CallbackKind::Camera), 0);
}

TEST_F(ModuleTest, ReplacedOrRetiringCameraControllersLoseTheCamera) {
    sim.AddScript("KV_Camera", kCameraScript);
    Start();
    sim.Exec("K = sys.modules['KV_Camera']\n"
             "C.XPLMControlCamera(K.me, C.xplm_ControlCameraUntilViewChanges, K.me.camera, 1)\n"
             "C.XPLMControlCamera(K.me, C.xplm_ControlCameraForever, K.me.other, 2)");
    // The replaced controller is told, without a position.
    EXPECT_EQ(sim.Eval("K.calls"), "[('camera', 0, 1, 1)]");
    sim.Host().RunFrame();
    EXPECT_EQ(sim.Eval("K.calls[-1]"), "('other', 7, 0, 2)");

    sim.Exec("C.XPLMControlCamera(K.me, C.xplm_ControlCameraForever, K.me.Camera, 1)\n"
             "K.keep = 0");
    EXPECT_EQ(sim.Host().CountCalls("XPLMControlCamera"), 3) << "an equal callable takes the camera again";
    EXPECT_EQ(registry->KindCount(CallbackKind::Camera), 2) << "an equal callable adds no entry";
    sim.Exec("C.XPLMDontControlCamera(K.me)\n"
             "C.XPLMControlCamera(K.me, C.xplm_ControlCameraForever, K.me.camera, 1)\n"
             "K.calls.clear()");
    // Returning 0 gives the camera up; the position is not taken.
    sim.Host().RunFrame();
    sim.Host().RunFrame();
    EXPECT_EQ(sim.Eval("K.calls"), "[('camera', 7, 0, 1)]");
    EXPECT_EQ(sim.Eval("C.XPLMIsCameraBeingControlled()"), "0");
    EXPECT_NE(host::State().cameraPosition.x, 10.0f);
}

TEST_F(ModuleTest, CameraIsReleasedOnlyWhenNoScriptControlsIt) {
    sim.AddScript("KV_A", kCameraScript);
    sim.AddScript("KV_B", kCameraScript);
    Start();
    sim.Exec("A, B = sys.modules['KV_A'], sys.modules['KV_B']\n"
             "C.XPLMControlCamera(A.me, 2, A.me.camera, 1)\n"
             "C.XPLMControlCamera(B.me, 2, B.me.camera, 2)\n"
             "C.XPLMDontControlCamera(A.me)");
    EXPECT_EQ(sim.Host().CountCalls("XPLMDontControlCamera"), 0);
    EXPECT_EQ(registry->KindCount(CallbackKind::Camera), 1);
    sim.Host().RunFrame();
    EXPECT_EQ(sim.Eval("B.calls[-1]"), "('camera', 7, 0, 2)");
    sim.Exec("C.XPLMDontControlCamera(B.me)");
    EXPECT_EQ(sim.Host().CountCalls("XPLMDontControlCamera"), 1);
    EXPECT_EQ(registry->KindCount(CallbackKind::Camera), 0);
}

TEST_F(ModuleTest, ArgumentErrorsRaiseTypeErrorWithoutAHostCall) {
    sim.AddScript("KV_Loop", LoopScript());
    Start();
    sim.Exec("A = sys.modules['KV_Loop']");
    sim.Host().ClearCalls();
    for (const char* call : {
             "P.XPLMRegisterFlightLoopCallback(A.me, A.me.loop, 1.0)",
             "P.XPLMRegisterFlightLoopCallback(A.me, A.me.loop, 'soon', 0)",
             "P.XPLMUnregisterFlightLoopCallback(A.me, A.me.loop)",
             "P.XPLMSetFlightLoopCallbackInterval(A.me.loop, 1.0, '1', 0)",
             "C.XPLMControlCamera(A.me, 2, A.me.loop)",
             "C.XPLMDontControlCamera()",
             "C.XPLMReadCameraPosition(None)",
         }) {
        std::string result = sim.Eval(call);
        EXPECT_TRUE(result.starts_with("<error: ")) << call << " gave " << result;
    }
    EXPECT_EQ(sim.Eval("P.XPLMRegisterFlightLoopCallback(A.me, A.me.loop, 1.0, refcon=0)"),
              "<error: XPLMRegisterFlightLoopCallback() takes no keyword arguments>");
    EXPECT_EQ(sim.Eval("C.XPLMReadCameraPosition((1, 2))"),
              "<error: XPLMReadCameraPosition() argument 1 must be list, not tuple>");
    EXPECT_TRUE(sim.Host().Calls().empty());
    EXPECT_EQ(registry->KindCount(CallbackKind::FlightLoop), 0);
    EXPECT_EQ(registry->KindCount(CallbackKind::Camera), 0);
}

TEST_F(ModuleTest, ModulesShowTheirConstantsAndClock) {
    sim.MakeScriptsFolder();
    Start();
    EXPECT_EQ(sim.Eval("(C.xplm_ControlCameraUntilViewChanges, C.xplm_ControlCameraForever)"), "(1, 2)");
    sim.Host().RunSeconds(1);
    // Clock functions take no arguments and ignore any they are given.
    EXPECT_EQ(sim.Eval("(P.XPLMGetElapsedTime(), P.XPLMGetElapsedTime(1, 2), P.XPLMGetCycleNumber('x'))"),
              "(1.0, 1.0, 20)");
}

}  // namespace
}  // namespace korvane
