// The SDK 2.x functions beyond the first subset: created flight loops, windows with
// cursor and wheel callbacks, features, data files and the error callback, as scripts
// use them against the headless host, through stop and with bad input.
#include "core/core_state.h"
#include "core/python_lifecycle.h"
#include "host/host_state.h"
#include "tests/support/core_session.h"
#include "tests/support/script_host.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

const char* kScript = R"(
import XPLMDisplay as D, XPLMPlugin as PL, XPLMProcessing as P, XPLMUtilities as U
calls = []
me = None
cursor = D.xplm_CursorHidden
class Korvane:
    def XPluginStart(self):
        global me
        me = self
        return ('S', 'kv.' + __name__, 'SDK 2.x')
    def XPluginEnable(self):
        return 1
    def XPluginStop(self):
        pass
    def Loop(self, sinceCall, sinceLoop, counter, refcon):
        calls.append(('loop', counter, refcon))
        return 0
    def Old(self, sinceCall, sinceLoop, counter, refcon):
        calls.append(('old', counter, refcon))
        return -1
    def WDraw(self, window, refcon):
        pass
    def WKey(self, window, key, flags, vkey, refcon, losing):
        pass
    def WMouse(self, window, x, y, status, refcon):
        return 1
    def WCursor(self, window, x, y, refcon):
        calls.append(('cursor', x, y, refcon))
        return cursor
    def WWheel(self, window, x, y, wheel, clicks, refcon):
        calls.append(('wheel', x, y, wheel, clicks, refcon))
        return 1
    def Feature(self, name, refcon):
        calls.append(('feature', name, refcon))
    def Error(self, message):
        calls.append(('error', message))
)";

class SdkAdditionsTest : public testing::CoreSession {
protected:
    void Start() {
        sim.AddScript("KV_A", kScript);
        StartPython(1);
        sim.Exec("import sys, XPLMDisplay as D, XPLMPlugin as PL, XPLMProcessing as P, XPLMUtilities as U\n"
                 "A = sys.modules['KV_A']\n"
                 "def raised(call):\n"
                 "    try:\n"
                 "        call()\n"
                 "    except Exception as error:\n"
                 "        return type(error).__name__ + ': ' + str(error)\n");
    }
    // The type of what the statement raised and its message; "None" when it raised nothing.
    std::string Raised(const std::string& expression) { return Eval("raised(lambda: " + expression + ")"); }
    std::string Calls() {
        std::string calls = sim.Eval("A.calls");
        sim.Exec("A.calls.clear()");
        return calls;
    }
    int Held(CallbackKind kind) {
        const ScriptRecord* record = registry->FindScript(reinterpret_cast<PyObject*>(std::stoull(Eval("id(A.me)"))));
        return record ? static_cast<int>(record->List(kind).size()) : -1;
    }
};

TEST_F(SdkAdditionsTest, CreatedFlightLoopsRunInTheirPhaseWhenScheduledAndGoAtStop) {
    Start();
    // Bad parameters raise before anything is made.
    for (const char* bad : {"P.XPLMCreateFlightLoop(A.me, (0, A.me.Loop))",
                            "P.XPLMCreateFlightLoop(A.me, (2, A.me.Loop, 0))",
                            "P.XPLMCreateFlightLoop(A.me, (0, 'Loop', 0))",
                            "P.XPLMCreateFlightLoop(A.me, 'abc')"})
        EXPECT_NE(Raised(bad), "None") << bad;
    EXPECT_EQ(Raised("P.XPLMCreateFlightLoop(A.me, (2, A.me.Loop, 0))"),
              "ValueError: XPLMCreateFlightLoop_t's phase is xplm_FlightLoop_Phase_BeforeFlightModel (0) or "
              "xplm_FlightLoop_Phase_AfterFlightModel (1), not 2");
    EXPECT_EQ(Held(CallbackKind::CreatedFlightLoop), 0);
    EXPECT_TRUE(host::LiveFlightLoops().empty());

    // Made unscheduled; the before-flight-model loop runs ahead of a registered one that
    // was there first, the after-flight-model one behind it.
    sim.Exec("P.XPLMRegisterFlightLoopCallback(A.me, A.me.Old, -1, 0)\n"
             "after = P.XPLMCreateFlightLoop(A.me, [P.xplm_FlightLoop_Phase_AfterFlightModel, A.me.Loop, 2])\n"
             "before = P.XPLMCreateFlightLoop(A.me, (P.xplm_FlightLoop_Phase_BeforeFlightModel, A.me.Loop, 1))");
    EXPECT_EQ(Held(CallbackKind::CreatedFlightLoop), 2);
    sim.Host().RunFrame();
    EXPECT_EQ(Calls(), "[('old', 1, 0)]");
    sim.Exec("P.XPLMScheduleFlightLoop(after, -1, 1)\n"
             "P.XPLMScheduleFlightLoop(A.me, before, -1, 1)");  // a leading self is accepted
    sim.Host().RunFrame();
    sim.Host().RunFrame();  // each returned 0: not again until scheduled anew
    EXPECT_EQ(Calls(), "[('loop', 2, 1), ('old', 2, 0), ('loop', 2, 2), ('old', 3, 0)]");
    EXPECT_EQ(Eval("after > 0xFFFFFFFF"), "True");  // full-width IDs

    // Only the script's own flight loop IDs are destroyed or scheduled.
    EXPECT_EQ(Raised("P.XPLMDestroyFlightLoop(object(), after)").substr(0, 12), "ValueError: ");
    EXPECT_EQ(Raised("P.XPLMScheduleFlightLoop(12345, 1.0, 1)").substr(0, 12), "ValueError: ");
    sim.Exec("P.XPLMDestroyFlightLoop(A.me, after)\nP.XPLMUnregisterFlightLoopCallback(A.me, A.me.Old, 0)");
    EXPECT_EQ(Raised("P.XPLMScheduleFlightLoop(after, 1.0, 1)").substr(0, 12), "ValueError: ");
    ASSERT_EQ(host::LiveFlightLoops().size(), 1u);
    void* left = host::LiveFlightLoops()[0].id;
    EXPECT_EQ(Eval("before"), std::to_string(reinterpret_cast<std::uintptr_t>(left)));

    // What the script left is destroyed at stop, and said so.
    StopPython(0);
    EXPECT_TRUE(host::LiveFlightLoops().empty());
    EXPECT_EQ(Details("XPLMDestroyFlightLoop").back(), "id=" + host::PointerText(left));
    EXPECT_NE(sim.LogFile().find("'KV_A' left 1 host registration(s) behind at stop"), std::string::npos);
}

TEST_F(SdkAdditionsTest, ASimulatorWithoutTheNewerFunctionsGetsAClearError) {
    host::State().withheldSymbols = {"XPLMCreateFlightLoop", "XPLMScheduleFlightLoop"};
    Start();
    EXPECT_EQ(Raised("P.XPLMCreateFlightLoop(A.me, (0, A.me.Loop, 0))"),
              "RuntimeError: XPLMCreateFlightLoop needs X-Plane SDK 2.10 or later, which this simulator "
              "does not have");
    EXPECT_EQ(Held(CallbackKind::CreatedFlightLoop), 0);
    EXPECT_EQ(HostCalls("XPLMCreateFlightLoop"), 0);
}

TEST_F(SdkAdditionsTest, WindowsMadeWithParametersAskTheCursorAndTakeTheWheel) {
    Start();
    // Bad parameters: the wrong count, a callable that is not one, a wheel that is text.
    for (const char* bad :
         {"D.XPLMCreateWindowEx(A.me, (0, 100, 100, 0, 1, A.me.WDraw, A.me.WMouse, A.me.WKey, None, None))",
          "D.XPLMCreateWindowEx(A.me, (0, 100, 100, 0, 1, 5, A.me.WMouse, A.me.WKey, None, None, 0))",
          "D.XPLMCreateWindowEx(A.me, (0, 100, 100, 0, 1, A.me.WDraw, A.me.WMouse, A.me.WKey, None, 'x', 0))"})
        EXPECT_EQ(Raised(bad).substr(0, 11), "TypeError: ") << bad;
    EXPECT_TRUE(sim.Host().Windows().empty());

    sim.Exec("w = D.XPLMCreateWindowEx(A.me, (100, 400, 300, 200, 1, A.me.WDraw, A.me.WMouse, A.me.WKey, "
             "A.me.WCursor, A.me.WWheel, 7))\n"
             "plain = D.XPLMCreateWindowEx(A.me, (500, 400, 600, 300, 1, A.me.WDraw, A.me.WMouse, A.me.WKey, "
             "None, None, 8))");
    sim.Host().MouseWheel(150, 300, 0, -2);
    sim.Host().MouseWheel(550, 350, 1, 3);  // no wheel callable: nobody takes it
    sim.Host().RunFrame();
    EXPECT_EQ(Calls(), "[('wheel', 150, 300, 0, -2, 7)]");
    sim.Host().MouseWheel(150, 300, 0, 1);
    sim.Host().RunFrame();
    EXPECT_EQ(sim.Host().Cursor(), xplm_CursorHidden);
    EXPECT_EQ(Calls(), "[('wheel', 150, 300, 0, 1, 7), ('cursor', 150, 300, 7)]");

    // A cursor answer outside the SDK's four is logged and the host gets the default.
    sim.Exec("A.cursor = 9");
    sim.Host().RunFrame();
    EXPECT_EQ(sim.Host().Cursor(), xplm_CursorDefault);
    EXPECT_NE(sim.LogFile().find("ValueError: a cursor callback returns"), std::string::npos);

    // Gone with the window: the host no longer asks it.
    sim.Exec("D.XPLMDestroyWindow(A.me, w)");
    Calls();
    sim.Host().MouseWheel(150, 300, 0, 1);
    sim.Host().RunFrame();
    EXPECT_EQ(Calls(), "[]");
}

TEST_F(SdkAdditionsTest, FeaturesEnumerateAndBadCallsReachTheErrorCallback) {
    Start();
    sim.Exec("PL.XPLMEnumerateFeatures(A.me.Feature, 5)");
    EXPECT_EQ(Calls(), "[('feature', 'XPLM_USE_NATIVE_PATHS', 5), ('feature', 'XPLM_WANTS_REFLECTIONS', 5)]");
    EXPECT_EQ(Held(CallbackKind::FeatureEnumerator), 0);  // registered only while the call lasts
    EXPECT_EQ(Eval("[PL.XPLMHasFeature(n) for n in ('XPLM_WANTS_REFLECTIONS', 'XPLM_USE_NATIVE_WIDGET_WINDOWS')]"),
              "[1, 0]");
    EXPECT_EQ(Eval("PL.XPLMIsFeatureEnabled('XPLM_USE_NATIVE_PATHS')"), "0");
    sim.Exec("PL.XPLMEnableFeature('XPLM_USE_NATIVE_PATHS', 1)");
    EXPECT_EQ(Eval("PL.XPLMIsFeatureEnabled('XPLM_USE_NATIVE_PATHS')"), "1");
    EXPECT_EQ(Raised("PL.XPLMEnumerateFeatures(5, 0)").substr(0, 11), "TypeError: ");

    // The host tells the error callback of a bad call; None takes the callback away.
    sim.Exec("U.XPLMSetErrorCallback(A.me, A.me.Error)\n"
             "PL.XPLMEnableFeature('NO_SUCH_FEATURE', 1)");
    EXPECT_EQ(Calls(), "[('error', \"XPLMEnableFeature: unknown feature 'NO_SUCH_FEATURE'\")]");
    sim.Exec("U.XPLMSetErrorCallback(A.me, None)\nPL.XPLMEnableFeature('NO_SUCH_FEATURE', 1)");
    EXPECT_EQ(Calls(), "[]");
    EXPECT_EQ(host::State().errorCallback, nullptr);

    // One left at stop is removed like any registration.
    sim.Exec("U.XPLMSetErrorCallback(A.me, A.me.Error)");
    StopPython(0);
    EXPECT_EQ(host::State().errorCallback, nullptr);
    EXPECT_NE(sim.LogFile().find("'KV_A' left 1 host registration(s) behind at stop"), std::string::npos);
}

TEST_F(SdkAdditionsTest, SituationsSaveAndLoadBackUnderTheSimulatorFolder) {
    Start();
    sim.Exec("import XPLMDataAccess as DA\n"
             "x = DA.XPLMFindDataRef('sim/flightmodel/position/local_x')\n"
             "DA.XPLMSetDatad(x, 1234.5)\n"
             "U.XPLMSetErrorCallback(A.me, A.me.Error)");
    EXPECT_EQ(Eval("U.XPLMSaveDataFile(U.xplm_DataFile_Situation, 'Output/situations/here.sit')"), "1");
    EXPECT_TRUE(std::filesystem::exists(sim.Root() / "Output" / "situations" / "here.sit"));
    sim.Exec("DA.XPLMSetDatad(x, -5.0)");
    EXPECT_EQ(Eval("U.XPLMLoadDataFile(U.xplm_DataFile_Situation, 'Output/situations/here.sit')"), "1");
    EXPECT_EQ(Eval("DA.XPLMGetDatad(x)"), "1234.5");

    // A replay saved and loaded the same way puts the simulator in replay mode; a
    // situation is no replay, and a path outside the simulator folder is refused.
    EXPECT_EQ(Eval("U.XPLMSaveDataFile(U.xplm_DataFile_ReplayMovie, 'Output/replays/here.rep')"), "1");
    EXPECT_EQ(Eval("U.XPLMLoadDataFile(U.xplm_DataFile_ReplayMovie, 'Output/replays/here.rep')"), "1");
    EXPECT_EQ(Eval("DA.XPLMGetDatai(DA.XPLMFindDataRef('sim/operation/prefs/replay_mode'))"), "1");
    EXPECT_EQ(Eval("U.XPLMLoadDataFile(U.xplm_DataFile_ReplayMovie, 'Output/situations/here.sit')"), "0");
    EXPECT_EQ(Eval("U.XPLMSaveDataFile(U.xplm_DataFile_Situation, '../outside.sit')"), "0");
    EXPECT_EQ(Calls(), "[('error', \"XPLMSaveDataFile: '../outside.sit' is not a path inside the simulator "
                       "folder\")]");
    EXPECT_EQ(Raised("U.XPLMSaveDataFile(3, 'Output/situations/x')").substr(0, 12), "ValueError: ");
    sim.Exec("U.XPLMSetErrorCallback(A.me, None)");
}

}  // namespace
}  // namespace korvane
