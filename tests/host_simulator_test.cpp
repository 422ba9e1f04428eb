// The headless host as a script meets the simulator: its catalogue of data references
// and the aircraft they describe, the messages of aircraft and airport loads, a
// disabled plug-in that hears nothing, and the simulator folder the plug-in runs in.
#include "host/events_file.h"
#include "host/host_state.h"
#include "tests/support/script_host.h"
#include "tests/support/text_files.h"

#include <XPLMDataAccess.h>
#include <XPLMGraphics.h>
#include <XPLMNavigation.h>
#include <XPLMPlanes.h>
#include <XPLMPlugin.h>

#include <gtest/gtest.h>

#include <sstream>

namespace korvane::testing {
namespace {

// Notes every message, every flight loop call, every disable, and the planes' arrival.
const char* kListener = R"(
import XPLMProcessing as P, XPLMPlanes as PL
got = []
loops = 0
disables = 0
planes = []
me = None
class Korvane:
    def XPluginStart(self):
        global me
        me = self
        return ('Listener', 'kv.listener', 'hears the simulator')
    def XPluginEnable(self):
        P.XPLMRegisterFlightLoopCallback(self, self.Loop, -1, 0)
        return 1
    def XPluginDisable(self):
        global disables
        disables += 1
    def XPluginStop(self):
        pass
    def XPluginReceiveMessage(self, sender, message, param):
        got.append((sender, message, param))
    def Loop(self, sinceCall, sinceLoop, counter, refcon):
        global loops
        loops += 1
        return -1
    def Available(self, refcon):
        planes.append(refcon)
)";

class HostSimulatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim.AddScript("KV_Listener", kListener);
        sim.StartAndEnable();
        sim.Exec("import KV_Listener as L, XPLMPlanes as PL, XPLMDataAccess as DA");
    }
    // Stopped, so that the next test starts a fresh interpreter.
    void TearDown() override {
        if (!stopped) sim.DisableAndStop();
    }
    void Stop() {
        sim.DisableAndStop();
        stopped = true;
    }
    // The messages heard since the last call.
    std::string Heard() {
        std::string heard = sim.Eval("L.got");
        sim.Exec("L.got.clear()");
        return heard;
    }
    void Play(const std::string& events) {
        std::istringstream text(events);
        host::EventsFile file = host::ParseEvents(text, "test.events");
        ASSERT_EQ(file.error, "");
        for (const host::TimedEvent& event : file.events) event.play(sim.Host());
    }

    ScriptHost sim;
    bool stopped = false;
};

int ArraySize(const char* name, XPLMDataTypeID type) {
    XPLMDataRef ref = XPLMFindDataRef(name);
    if (type == xplmType_IntArray) return XPLMGetDatavi(ref, nullptr, 0, 0);
    if (type == xplmType_FloatArray) return XPLMGetDatavf(ref, nullptr, 0, 0);
    return XPLMGetDatab(ref, nullptr, 0, 0);
}

TEST_F(HostSimulatorTest, CatalogueServesEveryReferenceTypedSizedAndCoherent) {
    EXPECT_GE(host::State().dataRefs.size(), 3773u);
    // Types, array sizes and writability as the catalogue lists them.
    struct Expected {
        const char* name;
        XPLMDataTypeID types;
        int size;
        int writable;
    };
    for (const Expected& e : {Expected{"sim/flightmodel/weight/m_fuel", xplmType_FloatArray, 9, 1},
                              Expected{"sim/aircraft/view/acf_author", xplmType_Data, 500, 1},
                              Expected{"sim/flightmodel/engine/ENGN_running", xplmType_IntArray, 8, 1},
                              Expected{"sim/time/local_date_days", xplmType_Int, 0, 1},
                              Expected{"sim/flightmodel/position/y_agl", xplmType_Float, 0, 0},
                              Expected{"sim/multiplayer/position/plane1_lat", xplmType_Double | xplmType_Float, 0, 0}}) {
        XPLMDataRef ref = XPLMFindDataRef(e.name);
        ASSERT_NE(ref, nullptr) << e.name;
        EXPECT_EQ(XPLMGetDataRefTypes(ref), e.types) << e.name;
        EXPECT_EQ(XPLMCanWriteDataRef(ref), e.writable) << e.name;
        if (e.size) {
            EXPECT_EQ(ArraySize(e.name, e.types), e.size) << e.name;
        }
    }
    // The host's own references keep their types, values and writability.
    EXPECT_EQ(XPLMGetDataRefTypes(XPLMFindDataRef("sim/cockpit/radios/transponder_code")), xplmType_Int | xplmType_Float);
    EXPECT_EQ(XPLMCanWriteDataRef(XPLMFindDataRef("sim/flightmodel/position/indicated_airspeed")), 0);

    // Doubles answer float reads, from a script too; the position agrees with the local frame.
    EXPECT_EQ(sim.Eval("[round(DA.XPLMGetDataf(DA.XPLMFindDataRef('sim/flightmodel/position/' + n)), 2)"
                       " for n in ('latitude', 'longitude', 'elevation')]"),
              "[47.45, -122.31, 132.0]");
    auto value = [](const char* name) { return XPLMGetDatad(XPLMFindDataRef(name)); };
    double x = 0, y = 0, z = 0;
    XPLMWorldToLocal(value("sim/flightmodel/position/latitude"), value("sim/flightmodel/position/longitude"),
                     value("sim/flightmodel/position/elevation"), &x, &y, &z);
    EXPECT_NEAR(value("sim/flightmodel/position/local_x"), x, 1e-6);
    EXPECT_NEAR(value("sim/flightmodel/position/local_y"), y, 1e-6);
    EXPECT_NEAR(value("sim/flightmodel/position/local_z"), z, 1e-6);
    auto number = [](const char* name) { return XPLMGetDataf(XPLMFindDataRef(name)); };
    EXPECT_NEAR(number("sim/cockpit2/gauges/indicators/altitude_ft_pilot"), 132.0 / 0.3048, 0.01);
    EXPECT_NEAR(number("sim/flightmodel/weight/m_total"),
                number("sim/aircraft/weight/acf_m_empty") + number("sim/flightmodel/weight/m_fuel_total") +
                    number("sim/flightmodel/weight/m_fixed"),
                0.01);
    EXPECT_EQ(XPLMGetDatai(XPLMFindDataRef("sim/cockpit/radios/com1_freq_hz")), 11990);

    // A write to a read-only reference changes nothing and says so once in the log.
    sim.Exec("agl = DA.XPLMFindDataRef('sim/flightmodel/position/y_agl')\n"
             "DA.XPLMSetDataf(agl, 500.0)\nDA.XPLMSetDataf(agl, 600.0)");
    EXPECT_EQ(number("sim/flightmodel/position/y_agl"), 0.0f);
    const std::string line = "Data reference 'sim/flightmodel/position/y_agl' is read-only; the write was ignored.\n";
    EXPECT_EQ(CountOccurrences(sim.Host().Log(), line), 1) << sim.Host().Log();

    // The clock moves with the frames, local time eight hours behind zulu.
    const float zulu = number("sim/time/zulu_time_sec");
    sim.Host().RunSeconds(2.0);
    EXPECT_NEAR(number("sim/time/zulu_time_sec"), zulu + 2.0f, 0.01);
    EXPECT_NEAR(number("sim/time/total_running_time_sec"), 2.0, 0.01);
    EXPECT_NEAR(number("sim/time/local_time_sec"), zulu + 2.0f - 8 * 3600, 0.01);
}

TEST_F(HostSimulatorTest, AircraftAndAirportLoadsAreAnnouncedInTheSimulatorsOrder) {
    EXPECT_EQ(Heard(), "[(0, 102, 0), (0, 103, 0), (0, 104, 0)]");
    // Loads take effect between frames.
    sim.Exec("PL.XPLMSetUsersAircraft('Aircraft/Mine/mine.acf')");
    EXPECT_EQ(Heard(), "[]");
    sim.Host().RunFrame();
    EXPECT_EQ(Heard(), "[(0, 106, 0), (0, 102, 0)]");
    sim.Exec("PL.XPLMAcquirePlanes(L.me, [''], L.me.Available, 0)\nPL.XPLMSetAircraftModel(3, 'Aircraft/x/three.acf')");
    sim.Host().RunFrame();
    EXPECT_EQ(Heard(), "[(0, 106, 3), (0, 102, 3)]");

    // Placing the user at an airport of the navigation data moves the aircraft there.
    sim.Exec("PL.XPLMPlaceUserAtAirport('KBFI')");
    sim.Host().RunFrame();
    EXPECT_EQ(Heard(), "[(0, 103, 0), (0, 104, 0)]");
    auto value = [](const char* name) { return XPLMGetDatad(XPLMFindDataRef(name)); };
    EXPECT_NEAR(value("sim/flightmodel/position/latitude"), 47.53, 1e-4);
    EXPECT_NEAR(value("sim/flightmodel/position/longitude"), -122.302, 1e-4);
    double x = 0, y = 0, z = 0;
    XPLMWorldToLocal(47.53, -122.302, 6, &x, &y, &z);
    EXPECT_NEAR(value("sim/flightmodel/position/local_z"), z, 0.5);
    EXPECT_NEAR(sim.Host().AircraftList()[0].x, x, 0.5);
    // An unknown code: a log line, no move, no message.
    sim.Exec("PL.XPLMPlaceUserAtAirport('XXXX')");
    sim.Host().RunFrame();
    EXPECT_EQ(Heard(), "[]");
    EXPECT_NEAR(value("sim/flightmodel/position/latitude"), 47.53, 1e-4);
    EXPECT_NE(sim.Host().Log().find("no airport 'XXXX'"), std::string::npos);
    EXPECT_EQ(host::State().userAirport, "KBFI");

    // Events files send any message, and let another plug-in take and give back the planes:
    // the script's refused request is answered when they come back.
    Play("0 message XPLM_MSG_PLANE_CRASHED\n0 message 0x7fff 42\n");
    EXPECT_EQ(Heard(), "[(0, 101, 0), (0, 32767, 42)]");
    sim.Exec("PL.XPLMReleasePlanes(L.me)");
    Play("0 planes taken\n");
    EXPECT_EQ(sim.Eval("(PL.XPLMAcquirePlanes(L.me, [''], L.me.Available, 9), L.planes)"), "(0, [])");
    Play("0 planes released\n");
    EXPECT_EQ(sim.Eval("L.planes"), "[9]");
    for (const char* wrong : {"0 message\n", "0 message PLANE 1\n", "0 message 102 x\n", "0 planes lost\n"}) {
        std::istringstream text(wrong);
        EXPECT_NE(host::ParseEvents(text, "bad.events").error, "") << wrong;
    }
}

TEST_F(HostSimulatorTest, ADisabledPluginHearsNothingUntilEnabledAgain) {
    sim.Exec("PL.XPLMAcquirePlanes(L.me, [''], L.me.Available, 0)");
    sim.Host().RunFrame();
    Heard();
    XPLMDisablePlugin(sim.Host().LoadedPluginId());
    // Disabling gives back the planes.
    EXPECT_EQ(sim.Host().PlanesHolder(), XPLM_NO_PLUGIN_ID);
    const std::string loops = sim.Eval("L.loops");
    XPLMSetUsersAircraft("Aircraft/Other/other.acf");
    sim.Host().RunSeconds(1.0);
    sim.Host().SendSimulatorMessage(XPLM_MSG_PLANE_CRASHED);
    sim.Host().SendMessage(XPLM_PLUGIN_XPLANE, XPLM_MSG_PLANE_CRASHED, nullptr);
    EXPECT_EQ(sim.Eval("L.loops"), loops);
    EXPECT_EQ(Heard(), "[]");
    // The host's own disable at the end does not disable it a second time.
    sim.Host().Disable();
    EXPECT_EQ(sim.Eval("L.disables"), "1");

    EXPECT_EQ(XPLMEnablePlugin(sim.Host().LoadedPluginId()), 1);
    sim.Host().RunSeconds(1.0);
    EXPECT_NE(sim.Eval("L.loops"), loops);
    sim.Host().SendSimulatorMessage(XPLM_MSG_PLANE_CRASHED);
    EXPECT_EQ(Heard(), "[(0, 101, 0)]");
    sim.Host().Disable();
    EXPECT_EQ(sim.Eval("L.disables"), "2");
}

TEST_F(HostSimulatorTest, ThePluginRunsInASimulatorFolderWithItsUsualFilesAndData) {
    // The usual folders, and the user's aircraft as a full path to a file that exists.
    for (const char* folder : {"Output/preferences", "Output/situations", "Resources/plugins", "Aircraft"})
        EXPECT_TRUE(std::filesystem::is_directory(sim.Root() / folder)) << folder;
    char name[256], path[512];
    XPLMGetNthAircraftModel(0, name, path);
    EXPECT_EQ(std::string(name), "Cessna_172SP.acf");
    EXPECT_TRUE(std::filesystem::path(path).is_absolute()) << path;
    EXPECT_TRUE(std::filesystem::is_regular_file(path)) << path;
    // Relative paths start in the simulator folder while the plug-in runs, and the
    // caller's folder comes back when it stops.
    sim.Exec("open('Output/preferences/listener.prf', 'w').write('x')");
    EXPECT_TRUE(std::filesystem::exists(sim.Root() / "Output/preferences/listener.prf"));
    const std::filesystem::path inside = std::filesystem::current_path();
    Stop();
    EXPECT_EQ(inside, std::filesystem::canonical(sim.Root()));
    EXPECT_NE(std::filesystem::current_path(), inside);

    // Glideslopes carry their slope times 100,000 plus the course.
    float heading = 0;
    XPLMGetNavAidInfo(XPLMFindNavAid(nullptr, "ISNQ", nullptr, nullptr, nullptr, xplm_Nav_GlideSlope), nullptr,
                      nullptr, nullptr, nullptr, nullptr, &heading, nullptr, nullptr, nullptr);
    EXPECT_EQ(heading, 300180.0f);
}

}  // namespace
}  // namespace korvane::testing
