// XPLMScenery as scripts use it: terrain probes over the host's ground model, object
// files loaded, drawn and left behind, asynchronous loads across a reload, the library
// lookup's enumerator, and bad input refused before the host hears of it.
#include "core/core_state.h"
#include "core/python_lifecycle.h"
#include "host/host_state.h"
#include "tests/support/core_session.h"
#include "tests/support/script_host.h"

#include <gtest/gtest.h>

#include <fstream>

namespace korvane {
namespace {

using testing::CountOccurrences;

constexpr const char* kObjectFile = "I\n800\nOBJ\n\nPOINT_COUNTS 0 0 0 0\n";

// A script that asks for an object in the background as it starts.
constexpr const char* kAsyncScript = R"(import XPLMScenery
loaded = []
class Korvane:
    def XPluginStart(self):
        XPLMScenery.XPLMLoadObjectAsync(self, 'tug.obj', self.Loaded, 41)
        return 'Async', 'korvane.test.async', 'loads in the background'
    def XPluginEnable(self):
        return 1
    def XPluginDisable(self):
        pass
    def XPluginStop(self):
        pass
    def Loaded(self, object, refcon):
        loaded.append((object is not None, refcon))
        print('loaded', refcon)
)";

class SceneryTest : public testing::CoreSession {
protected:
    void SetUp() override {
        testing::CoreSession::SetUp();
        sim.MakeScriptsFolder();
    }
    void TearDown() override {
        ExpectNoPendingError("a Python error was left pending");
        testing::CoreSession::TearDown();
    }
    void Start() {
        StartPython(1);
        sim.Exec("import XPLMScenery as S, XPLMGraphics as G\nfrom XPLMScenery import *");
        sim.Host().ClearCalls();
    }
    void WriteRootFile(const std::string& name, const std::string& contents) {
        std::ofstream(sim.Root() / name, std::ios::binary) << contents;
    }
    const host::SceneryState& Scenery() { return host::State().scenery; }
    bool Holds(CallbackKind kind) { return registry && registry->HoldsAny(kind); }
};

TEST_F(SceneryTest, ProbesAnswerAirportElevationsOnLandAndWaterAwayFromIt) {
    Start();
    sim.Exec("p = XPLMCreateProbe(xplm_ProbeY)\n"
             "def local(lat, lon):\n"
             "    x, y, z = G.XPLMWorldToLocal(lat, lon, 0.0)\n"
             "    return x, z\n"
             "def probe(x, z, y=500.0):\n"
             "    info = ['old', 'items']\n"
             "    result = XPLMProbeTerrainXYZ(p, x, y, z, info)\n"
             "    return result, [round(v, 1) for v in info]");
    // Under the aircraft at KSEA (132 m), at Paine Field (185 m), over Puget Sound, and far away.
    EXPECT_EQ(sim.Eval("probe(25.0, -40.0)"), "(0, [25.0, 132.0, -40.0, 0.0, 1.0, 0.0, 0.0, 0.0, 0.0, 0])");
    EXPECT_EQ(sim.Eval("probe(*local(47.9063, -122.2816))[1][1]"), "185.0");
    EXPECT_EQ(sim.Eval("(lambda r: (r[0], r[1][1], r[1][9]))(probe(*local(47.45, -122.55)))"), "(0, 0.0, 1)");
    EXPECT_EQ(sim.Eval("probe(*local(45.0, -122.3))"), "(2, [])");
    EXPECT_EQ(sim.Eval("XPLMProbeTerrainXYZ(p, 0.0, 0.0, 0.0, None)"), "0");

    // Probes and objects a script never gave back are its leftovers: the stop releases them.
    WriteRootFile("box.obj", kObjectFile);
    sim.Exec("o = XPLMLoadObject('box.obj')\nXPLMLoadObject('box.obj')");
    EXPECT_EQ(Scenery().probes.size(), 1u);
    EXPECT_EQ(Scenery().objects.size(), 2u);
    StopPython(0);
    EXPECT_TRUE(Scenery().probes.empty());
    EXPECT_TRUE(Scenery().objects.empty());
    EXPECT_EQ(CountOccurrences(sim.LogFile(), "'module XPLMScenery' left 3 host registration(s) behind at stop"), 1);
}

TEST_F(SceneryTest, BadInputRaisesBeforeTheHostAndLeavesNothingRegistered) {
    WriteRootFile("box.obj", kObjectFile);
    Start();
    sim.Exec("p = XPLMCreateProbe(xplm_ProbeY)\no = XPLMLoadObject('box.obj')\nXPLMUnloadObject(o)\n"
             "o = XPLMLoadObject('box.obj')\n"
             "class Me: pass\nme = Me()");
    sim.Host().ClearCalls();
    for (const char* call : {
             "XPLMCreateProbe(3)",                                   // no such probe type
             "XPLMProbeTerrainXYZ(p, 0.0, 0.0, 0.0, ())",            // not a result list
             "XPLMProbeTerrainXYZ(o, 0.0, 0.0, 0.0, [])",            // an object is no probe
             "XPLMDrawObjects(o, 2, [[0, 0, 0, 0, 0, 0]], 0, 1)",    // more than given
             "XPLMDrawObjects(o, -1, [], 0, 1)",
             "XPLMDrawObjects(o, 1, [[0, 0, 0, 0, 0]], 0, 1)",       // five fields
             "XPLMDrawObjects(o, 1, [[0, 0, 0, 0, 0, 'x']], 0, 1)",
             "XPLMDrawObjects(o, 1, 5, 0, 1)",
             "XPLMDrawObjects(p, 1, [[0, 0, 0, 0, 0, 0]], 0, 1)",
             "XPLMDrawObjects(0, 1, [[0, 0, 0, 0, 0, 0]], 0, 1)",
             "XPLMUnloadObject(12345)",
             "XPLMDestroyProbe(o)",
             "XPLMLoadObject('a\\0b')",
             "XPLMLoadObjectAsync(me, 'box.obj', 5, 0)",
             "XPLMLoadObjectAsync(me, None, print, 0)",
             "XPLMLookupObjects('lib/cars/car.obj', 0.0, 0.0, 'not callable', 0)",
         }) {
        EXPECT_EQ(sim.Eval(call).rfind("<error: ", 0), 0u) << call;
    }
    EXPECT_TRUE(sim.Host().Calls().empty());
    EXPECT_FALSE(Holds(CallbackKind::ObjectLoad));
    EXPECT_FALSE(Holds(CallbackKind::ObjectEnumerator));
    EXPECT_EQ(Scenery().objects.size(), 1u);
    EXPECT_EQ(Scenery().probes.size(), 1u);
    EXPECT_EQ(registry->FindRecord(reinterpret_cast<PyObject*>(std::stoull(sim.Eval("id(me)")))), nullptr);

    // The live ones still work, and the stale handle stays refused once unloaded.
    EXPECT_EQ(sim.Eval("XPLMDrawObjects(o, 1, [(1, 2.5, 3, 0, 90, 0), [9] * 6], 0, 1)"), "1");
    ASSERT_EQ(Scenery().draws.size(), 1u);
    EXPECT_EQ(Scenery().draws[0].location.y, 2.5f);
    EXPECT_EQ(Scenery().draws[0].location.heading, 90.0f);
    sim.Exec("XPLMUnloadObject(o)\nXPLMDestroyProbe(p)");
    EXPECT_NE(sim.Eval("XPLMDrawObjects(o, 1, [[0] * 6], 0, 1)").find("is not a loaded object"), std::string::npos);
    EXPECT_NE(sim.Eval("XPLMProbeTerrainXYZ(p, 0.0, 0.0, 0.0, None)").find("is not a live probe"), std::string::npos);
    EXPECT_TRUE(Scenery().objects.empty());
    EXPECT_TRUE(Scenery().probes.empty());
}

TEST_F(SceneryTest, OnlyObjectFilesInsideTheSimulatorFolderLoad) {
    WriteRootFile("box.obj", kObjectFile);
    WriteRootFile("notes.obj", "just some text\nthat is\nnot an object\n");
    WriteRootFile("old.obj", "I\n700\nOBJ\n");
    // Beside the simulator folder, reached with "..".
    const std::string outside = sim.Root().filename().string() + "-outside.obj";
    std::ofstream(sim.Root().parent_path() / outside, std::ios::binary) << kObjectFile;
    Start();
    EXPECT_EQ(sim.Eval("[XPLMLoadObject(p) for p in ('notes.obj', 'old.obj', 'missing.obj', '../" + outside + "')]"),
              "[None, None, None, None]");
    std::filesystem::remove(sim.Root().parent_path() / outside);
    EXPECT_EQ(CountOccurrences(host::State().log, "XPLMLoadObject: cannot load"), 4);
    EXPECT_EQ(CountOccurrences(host::State().log, "'notes.obj': the file is not an object file"), 1);
    EXPECT_EQ(sim.Eval("XPLMLoadObject(" + ("'" + (sim.Root() / "box.obj").string() + "'") + ") is not None"),
              "True");
    EXPECT_FALSE(Holds(CallbackKind::ObjectLoad));
    EXPECT_EQ(Scenery().objects.size(), 1u);
}

TEST_F(SceneryTest, AsyncLoadAnswersInALaterFrameAndNeverAfterItsInterpreterStopped) {
    WriteRootFile("tug.obj", kObjectFile);
    sim.AddScript("KV_Async", kAsyncScript);
    Start();
    // Asked for in the start; nothing arrives before a frame has passed.
    EXPECT_EQ(sim.Eval("__import__('KV_Async').loaded"), "[]");
    sim.Host().RunFrame();
    EXPECT_EQ(sim.Eval("__import__('KV_Async').loaded"), "[(True, 41)]");
    EXPECT_FALSE(Holds(CallbackKind::ObjectLoad));
    EXPECT_TRUE(Holds(CallbackKind::SceneryObject));  // the script's now, released at its stop

    // A reload while the next load is pending: the old interpreter's callable is gone and
    // the new one has its own load; the late answer is unloaded, the new one delivered once.
    sim.Exec("import KV_Async\nhelper = KV_Async.Korvane()\nS.XPLMLoadObjectAsync(helper, 'tug.obj', helper.Loaded, 5)");
    StopPython(0);
    EXPECT_EQ(CountOccurrences(sim.LogFile(), "left 1 host registration(s) behind at stop"), 2);
    EXPECT_TRUE(Scenery().objects.empty());
    Start();
    sim.Host().RunFrame();
    EXPECT_EQ(sim.Eval("__import__('KV_Async').loaded"), "[(True, 41)]");
    EXPECT_EQ(CountOccurrences(sim.LogFile(), "'tug.obj' finished loading after its script had stopped"), 1);
    EXPECT_EQ(Scenery().objects.size(), 1u);  // the new interpreter's own
    EXPECT_EQ(CountOccurrences(sim.OutputFile(), "loaded 5"), 0);
}

TEST_F(SceneryTest, LookupCallsTheEnumeratorForEachFileBeforeItReturns) {
    Start();
    sim.Exec("seen = []\n"
             "def each(path, ref):\n"
             "    seen.append((path, ref, S.XPLMLoadObject(path) is not None))\n"
             "count = XPLMLookupObjects('lib/cars/car.obj', 47.4, -122.3, each, 7)\n"
             "after = list(seen)");
    EXPECT_EQ(sim.Eval("(count, [(p.rsplit('/', 1)[1], r, ok) for p, r, ok in after])"),
              "(2, [('car_red.obj', 7, True), ('car_blue.obj', 7, True)])");
    EXPECT_FALSE(Holds(CallbackKind::ObjectEnumerator));
    EXPECT_EQ(sim.Eval("XPLMLookupObjects('lib/nothing/here.obj', 0.0, 0.0, each, 0)"), "0");

    // An enumerator that raises is reported like any callback; the lookup still answers.
    sim.Exec("def bad(path, ref):\n    raise KeyError(path)");
    EXPECT_EQ(sim.Eval("XPLMLookupObjects('lib/cars/car.obj', 0.0, 0.0, bad, 0)"), "2");
    EXPECT_EQ(CountOccurrences(sim.LogFile(), "KeyError"), 2);
    EXPECT_FALSE(Holds(CallbackKind::ObjectEnumerator));
}

}  // namespace
}  // namespace korvane
