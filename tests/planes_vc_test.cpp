// XPLMPlanes and QuindleVCUtilities as scripts use them: the planes pass between
// plug-ins and back to the script's callable, bad path lists and draw states never
// reach the host, and the virtual camera plug-in sees what scripts write.
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

// Keeps its instance in `me`; its callable notes every call.
const char* kPlanesScript = R"(
import XPLMPlanes as PL
calls = []
me = None
class Korvane:
    def XPluginStart(self):
        global me
        me = self
        return ('Planes', 'kv.planes', 'takes the other aircraft')
    def XPluginEnable(self):
        return 1
    def XPluginStop(self):
        pass
    def Available(self, refcon):
        calls.append(refcon)
)";

constexpr XPLMPluginID kOtherPlugin = 7;

class PlanesTest : public testing::CoreSession {
protected:
    void Start() {
        StartPython(1);
        sim.Exec("import sys, XPLMPlanes as PL, QuindleVCUtilities as VC");
    }
    int PlanesEntries() { return registry->KindCount(CallbackKind::Planes); }
};

TEST_F(PlanesTest, ModulesOfferTheirFunctionsAndConstants) {
    sim.MakeScriptsFolder();
    Start();
    sim.Exec(R"(
planes = '''SetUsersAircraft PlaceUserAtAirport CountAircraft GetNthAircraftModel AcquirePlanes ReleasePlanes
    SetActiveAircraftCount SetAircraftModel DisableAIForPlane DrawAircraft ReinitUsersPlane'''.split()
vc = '''CameraPluginReady AcquireCamera ReleaseCamera SetCamera GetCameraIndex GetCameraTypeIndex GetXOffset
    GetYOffset GetZOffset GetHeadingOffset GetPitchOffset GetRollOffset GetZoomRatio SetCameraIndex
    SetCameraTypeIndex SetXOffset SetYOffset SetZOffset SetHeadingOffset SetPitchOffset SetRollOffset SetZoomRatio
    GetLookAtAircraft SetLookAtAircraft'''.split()
missing = [n for n in planes if not callable(getattr(PL, 'XPLM' + n, None))]
missing += [n for n in vc if not callable(getattr(VC, 'VC_' + n, None))]
)");
    EXPECT_EQ(sim.Eval("(missing, len(planes), len(vc))"), "([], 11, 24)");
    sim.Exec("def constants(m):\n"
             "    return [(n, getattr(m, n)) for n in dir(m) if not n.startswith('__') and not callable(getattr(m, n))]");
    EXPECT_EQ(sim.Eval("(constants(PL), constants(VC))"), "([('XPLM_USER_AIRCRAFT', 0)], [])");
    EXPECT_EQ(sim.Eval("(PL.XPLMDrawAircraft.__doc__, VC.VC_SetCamera.__doc__)"), "('Draw Aircraft.', 'Set the Camerar.')");
}

TEST_F(PlanesTest, RefusedPlanesReachTheCallableOnceWhenTheirHolderLetsGo) {
    sim.AddScript("KV_A", kPlanesScript);
    sim.AddScript("KV_B", kPlanesScript);
    Start();
    sim.Exec("A, B = sys.modules['KV_A'], sys.modules['KV_B']");
    sim.Host().HoldPlanesByOtherPlugin(kOtherPlugin);
    EXPECT_EQ(sim.Eval("PL.XPLMCountAircraft()"), "(20, 1, 7)");
    EXPECT_EQ(sim.Eval("PL.XPLMAcquirePlanes(A.me, ['Aircraft/a.acf', None, 'never.acf'], A.me.Available, 5)"), "0");
    EXPECT_EQ(sim.Eval("PL.XPLMAcquirePlanes(B.me, [''], B.me.Available, 6)"), "0");
    EXPECT_EQ(PlanesEntries(), 2);
    const std::vector<std::string> acquired = Details("XPLMAcquirePlanes");
    ASSERT_EQ(acquired.size(), 2u);
    // An empty path (or None) leaves its aircraft as it is and does not end the list.
    EXPECT_TRUE(acquired[0].starts_with("aircraft=[Aircraft/a.acf,,never.acf] refcon=")) << acquired[0];
    EXPECT_TRUE(acquired[1].starts_with("aircraft=[] refcon=")) << acquired[1];
    EXPECT_NE(acquired[0].substr(acquired[0].find("refcon")), acquired[1].substr(acquired[1].find("refcon")));

    sim.Host().ReleasePlanesByOtherPlugin();
    sim.Host().RunFrame();
    EXPECT_EQ(sim.Eval("(A.calls, B.calls)"), "([5], [6])");
    EXPECT_TRUE(sim.Host().PlanesRequests().empty());

    // Now free, they are granted, and the models load in list order after the user's.
    EXPECT_EQ(sim.Eval("PL.XPLMAcquirePlanes(A.me, ['x/one.acf', 'x/two.acf', ''], A.me.Available, 5)"), "1");
    EXPECT_EQ(sim.Eval("(PL.XPLMCountAircraft(), PL.XPLMGetNthAircraftModel(2))"),
              "((20, 1, " + std::to_string(sim.Host().LoadedPluginId()) + "), ('two.acf', 'x/two.acf'))");
    EXPECT_EQ(PlanesEntries(), 2) << "an equal callable adds no entry";
    // The planes stay until the last script lets them go.
    sim.Exec("PL.XPLMReleasePlanes(A.me)");
    EXPECT_EQ(sim.Host().CountCalls("XPLMReleasePlanes"), 0);
    EXPECT_EQ(sim.Host().PlanesHolder(), sim.Host().LoadedPluginId());
    sim.Exec("PL.XPLMReleasePlanes(B.me)");
    EXPECT_EQ(sim.Host().CountCalls("XPLMReleasePlanes"), 1);
    EXPECT_EQ(sim.Host().PlanesHolder(), XPLM_NO_PLUGIN_ID);
    EXPECT_EQ(PlanesEntries(), 0);
    EXPECT_EQ(sim.Eval("(A.calls, B.calls)"), "([5], [6])");
}

TEST_F(PlanesTest, AircraftFunctionsReachTheHostAndBadListsOrStatesDoNot) {
    sim.AddScript("KV_A", kPlanesScript);
    Start();
    sim.Exec("A = sys.modules['KV_A']");
    sim.Host().ClearCalls();
    for (const char* call : {
             "PL.XPLMAcquirePlanes(A.me, ['p.acf'] * 12, A.me.Available, 0)",
             "PL.XPLMAcquirePlanes(A.me, ('p.acf', ''), A.me.Available, 0)",
             "PL.XPLMAcquirePlanes(A.me, ['p\\0.acf'], A.me.Available, 0)",
             "PL.XPLMAcquirePlanes(A.me, ['p.acf', 5], A.me.Available, 0)",
             "PL.XPLMDrawAircraft(1, 0, 0, 0, 0, 0, 0, 1, [44, 1, 2, 3, 4])",
             "PL.XPLMDrawAircraft(1, 0, 0, 0, 0, 0, 0, 1, [44.0] + [0] * 10)",
             "PL.XPLMDrawAircraft(1, 0, 0, 0, 0, 0, 0, 1, [4096] + [0] * 10)",
             "PL.XPLMDrawAircraft(1, 0, 0, 0, 0, 0, 0, 1, [44] + [0] * 9 + ['x'])",
             "PL.XPLMDrawAircraft(1, 0, 0, 0, 0, 0, 0, 1, 44)",
             "PL.XPLMSetAircraftModel('1', 'p.acf')",
         }) {
        std::string result = sim.Eval(call);
        EXPECT_TRUE(result.starts_with("<error: ")) << call << " gave " << result;
    }
    EXPECT_TRUE(sim.Host().Calls().empty());
    EXPECT_EQ(PlanesEntries(), 0);

    // Empty paths keep their aircraft; the paths after them still count.
    const std::string second = sim.Host().AircraftList()[2].path, fourth = sim.Host().AircraftList()[4].path;
    EXPECT_EQ(sim.Eval("PL.XPLMAcquirePlanes(A.me, ['x/one.acf', '', 'x/three.acf', None, b'x/five.acf'], "
                       "A.me.Available, 0)"),
              "1");
    std::vector<std::string> paths;
    for (std::size_t i = 1; i <= 5; ++i) paths.push_back(sim.Host().AircraftList()[i].path);
    EXPECT_EQ(paths, (std::vector<std::string>{"x/one.acf", second, "x/three.acf", fourth, "x/five.acf"}));
    EXPECT_EQ(sim.Eval("PL.XPLMReleasePlanes(A.me)"), "1");

    // Eleven paths fill every slot and still end with a null pointer.
    EXPECT_EQ(sim.Eval("PL.XPLMAcquirePlanes(A.me, ['m%d.acf' % i for i in range(11)], A.me.Available, 0)"), "1");
    EXPECT_EQ(sim.Host().AircraftList()[11].path, "m10.acf");
    EXPECT_EQ(sim.Host().AircraftList()[12].fileName, "CRJ-200.acf");
    sim.Exec("PL.XPLMSetUsersAircraft('Aircraft/Mine/mine.acf')\n"
             "PL.XPLMPlaceUserAtAirport('KSEA')\n"
             "PL.XPLMSetActiveAircraftCount(4)\n"
             "PL.XPLMSetAircraftModel(3, 'x/three.acf')\n"
             "PL.XPLMDisableAIForPlane(3)\n"
             "PL.XPLMReinitUsersPlane()\n"
             "drawn = PL.XPLMDrawAircraft(3, 1.5, 2, 3, 4, 5, 6, 1, (44,) + tuple(i / 10 for i in range(1, 11)))");
    EXPECT_EQ(sim.Eval("(drawn, PL.XPLMCountAircraft()[1], PL.XPLMGetNthAircraftModel(0), "
                       "PL.XPLMGetNthAircraftModel(3)[0], PL.XPLMGetNthAircraftModel(99))"),
              "(1, 4, ('mine.acf', 'Aircraft/Mine/mine.acf'), 'three.acf', ('', ''))");
    EXPECT_EQ(host::State().userAirport, "KSEA");
    EXPECT_TRUE(sim.Host().AircraftList()[3].aiDisabled);
    EXPECT_EQ(sim.Host().CountCalls("XPLMReinitUsersPlane"), 1);
    EXPECT_EQ(Details("XPLMDrawAircraft"),
              std::vector<std::string>{"3 at 1.5,2,3 full=1 state=44,0.1,0.2,0.3,0.4,0.5,0.6,0.7,0.8,0.9,1"});
}

TEST_F(PlanesTest, AStopGivesBackThePlanesAScriptKept) {
    sim.AddScript("KV_A", kPlanesScript);
    Start();
    sim.Exec("A = sys.modules['KV_A']\n"
             "PL.XPLMAcquirePlanes(A.me, [''], A.me.Available, 1)");
    EXPECT_EQ(sim.Host().PlanesHolder(), sim.Host().LoadedPluginId());
    StopPython(0);
    EXPECT_EQ(sim.Host().PlanesHolder(), XPLM_NO_PLUGIN_ID);
    EXPECT_EQ(CountOccurrences(sim.LogFile(), "'KV_A' left 1 host registration(s) behind at stop; Korvane removed them\n"),
              1);

    // A request still waiting goes too, so the old interpreter is never called.
    Start();
    sim.Host().HoldPlanesByOtherPlugin(kOtherPlugin);
    sim.Exec("A = sys.modules['KV_A']\n"
             "PL.XPLMAcquirePlanes(A.me, [''], A.me.Available, 1)");
    ASSERT_EQ(sim.Host().PlanesRequests().size(), 1u);
    const host::PlanesRequest request = sim.Host().PlanesRequests()[0];
    StopPython(0);
    EXPECT_TRUE(sim.Host().PlanesRequests().empty());
    request.callback(request.refcon);  // a host that had kept it
    Start();
    sim.Host().ReleasePlanesByOtherPlugin();
    EXPECT_EQ(sim.Eval("sys.modules['KV_A'].calls"), "[]");
}

TEST_F(PlanesTest, AScriptFailingAsItIsMadeLeavesThePlanesToTheScriptHoldingThem) {
    // Scripts are made in name order: A holds the planes when B takes them too and fails.
    sim.AddScript("KV_A", std::string(kPlanesScript) + "    def __init__(self):\n"
                                                       "        PL.XPLMAcquirePlanes(self, [''], self.Available, 1)\n");
    sim.AddScript("KV_B", "import XPLMPlanes as PL\n"
                          "class Korvane:\n"
                          "    def __init__(self):\n"
                          "        PL.XPLMAcquirePlanes(self, [''], self.Available, 2)\n"
                          "        raise RuntimeError('not made')\n"
                          "    def Available(self, refcon):\n"
                          "        pass\n");
    Start();
    EXPECT_EQ(CountOccurrences(sim.LogFile(), "'KV_B' made 1 host registration(s) before it failed"), 1);
    EXPECT_EQ(sim.Host().PlanesHolder(), sim.Host().LoadedPluginId());
    EXPECT_EQ(sim.Host().CountCalls("XPLMReleasePlanes"), 0);
    // They are A's to give back.
    sim.Exec("PL.XPLMReleasePlanes(sys.modules['KV_A'].me)");
    EXPECT_EQ(sim.Host().PlanesHolder(), XPLM_NO_PLUGIN_ID);
}

TEST_F(PlanesTest, VirtualCameraPluginSeesWhatScriptsWrite) {
    sim.MakeScriptsFolder();
    sim.Host().LoadVirtualCameraPlugin();
    Start();
    EXPECT_EQ(sim.Eval("(VC.VC_CameraPluginReady(), VC.VC_AcquireCamera(), VC.VC_AcquireCamera())"), "(1, 0, 0)");
    EXPECT_EQ(host::FindDataRefRecord("quindle/virtualcamera/acquirecamera")->intValue, 1);
    sim.Exec("results = [VC.VC_SetCameraIndex(3), VC.VC_SetCameraTypeIndex(2), VC.VC_SetXOffset(1.5),\n"
             "    VC.VC_SetYOffset(-2), VC.VC_SetZOffset(4.25), VC.VC_SetHeadingOffset(90),\n"
             "    VC.VC_SetPitchOffset(-10), VC.VC_SetRollOffset(5), VC.VC_SetZoomRatio(2),\n"
             "    VC.VC_SetLookAtAircraft(6), VC.VC_SetCamera()]");
    EXPECT_EQ(sim.Eval("set(results)"), "{0}");
    EXPECT_EQ(sim.Eval("(VC.VC_GetCameraIndex(), VC.VC_GetCameraTypeIndex(), VC.VC_GetXOffset(), VC.VC_GetYOffset(), "
                       "VC.VC_GetZOffset(), VC.VC_GetHeadingOffset(), VC.VC_GetPitchOffset(), VC.VC_GetRollOffset(), "
                       "VC.VC_GetZoomRatio(), VC.VC_GetLookAtAircraft())"),
              "(3, 2, 1.5, -2.0, 4.25, 90.0, -10.0, 5.0, 2.0, 6)");
    sim.Host().RunFrame();
    const host::VirtualCamera& camera = sim.Host().VirtualCameraPlugin();
    EXPECT_EQ(camera.acquires, 1);
    EXPECT_EQ(camera.sets, 1);
    EXPECT_TRUE(camera.holdsCamera);
    const host::VirtualCameraView& view = camera.applied;
    EXPECT_EQ(view.cameraIndex, 3);
    EXPECT_EQ(view.cameraTypeIndex, 2);
    EXPECT_EQ(view.xOffset, 1.5f);
    EXPECT_EQ(view.yOffset, -2.0f);
    EXPECT_EQ(view.zOffset, 4.25f);
    EXPECT_EQ(view.headingOffset, 90.0f);
    EXPECT_EQ(view.pitchOffset, -10.0f);
    EXPECT_EQ(view.rollOffset, 5.0f);
    EXPECT_EQ(view.zoomRatio, 2.0f);
    EXPECT_EQ(view.lookAtAircraft, 6);

    sim.Exec("VC.VC_ReleaseCamera()");
    sim.Host().RunFrame();
    EXPECT_EQ(camera.releases, 1);
    EXPECT_FALSE(camera.holdsCamera);
    EXPECT_EQ(sim.Eval("VC.VC_SetZoomRatio('near')").starts_with("<error: "), true);
}

}  // namespace
}  // namespace korvane
