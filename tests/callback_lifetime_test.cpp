// Host registrations across the plug-in's life, with the real plug-in loaded: what a
// script leaves registered is gone from the host at every stop, and a native callback
// the host still holds after a stop answers without touching the old interpreter.
#include "host/host_state.h"
#include "tests/support/script_host.h"

#include <XPLMCamera.h>
#include <XPLMProcessing.h>
#include <gtest/gtest.h>

namespace korvane::testing {
namespace {

// Registers a flight loop and a camera controller when enabled and never undoes them.
const char* kCarelessScript = R"(
import XPLMCamera, XPLMProcessing
frames = 0
class Korvane:
    def XPluginStart(self):
        return ('Careless', 'kv.careless', 'leaves its callbacks behind')
    def XPluginEnable(self):
        XPLMProcessing.XPLMRegisterFlightLoopCallback(self, self.Loop, -1, 1)
        XPLMCamera.XPLMControlCamera(self, XPLMCamera.xplm_ControlCameraForever, self.Camera, 2)
        return 1
    def XPluginDisable(self):
        pass
    def XPluginStop(self):
        pass
    def Loop(self, sinceCall, sinceLoop, counter, refcon):
        global frames
        frames += 1
        return -1
    def Camera(self, position, losing, refcon):
        position[1] += 1.0
        return 1
)";

bool HostHoldsRegistrations() { return !host::LiveFlightLoops().empty() || host::State().camera.callback; }

TEST(CallbackLifetime, ReloadsLeaveNoRegistrationOfOldInterpretersInTheHost) {
    ScriptHost sim;
    sim.AddScript("KV_Careless", kCarelessScript);
    sim.StartAndEnable();
    for (int reload = 0; reload < 50; ++reload) {
        sim.Host().RunSeconds(0.2);
        ASSERT_EQ(host::LiveFlightLoops().size(), 1u) << "reload " << reload;
        ASSERT_EQ(sim.Eval("__import__('KV_Careless').frames"), "4") << "reload " << reload;
        sim.DisableAndStop();
        ASSERT_FALSE(HostHoldsRegistrations()) << "reload " << reload;
        sim.Host().RunSeconds(0.1);  // frames go on while the plug-in is stopped
        sim.StartAndEnable();
    }
    const float cameraY = host::State().cameraPosition.y;
    sim.Host().RunSeconds(1);
    EXPECT_EQ(sim.Eval("__import__('KV_Careless').frames"), "20");
    EXPECT_EQ(host::State().cameraPosition.y, cameraY + 20.0f);
    sim.DisableAndStop();
    EXPECT_FALSE(HostHoldsRegistrations());
    EXPECT_EQ(sim.Host().CountCalls("XPLMUnregisterFlightLoopCallback"), 51);
    EXPECT_EQ(sim.Host().CountCalls("XPLMDontControlCamera"), 51);
    EXPECT_EQ(CountOccurrences(sim.LogFile(),
                               "'KV_Careless' left 2 host registration(s) behind at stop; Korvane removed them\n"),
              51);
}

TEST(CallbackLifetime, NativesTheHostStillHoldsAfterAStopAnswerSafely) {
    ScriptHost sim;
    sim.AddScript("KV_Careless", kCarelessScript);
    sim.StartAndEnable();
    sim.Host().RunFrame();
    ASSERT_EQ(host::LiveFlightLoops().size(), 1u);
    const host::FlightLoop loop = host::LiveFlightLoops()[0];
    const host::CameraControl camera = host::State().camera;
    ASSERT_NE(camera.callback, nullptr);
    sim.DisableAndStop();

    // Called directly with the old refcons: the registry is gone, so is the interpreter.
    EXPECT_EQ(loop.callback(0.05f, 0.05f, 1, loop.refcon), 0.0f);
    XPLMCameraPosition_t position{1, 2, 3, 4, 5, 6, 7};
    EXPECT_EQ(camera.callback(&position, 0, camera.refcon), 0);
    EXPECT_EQ(position.y, 2.0f);

    // A host that had kept them, and called them whatever the plug-in's state, would call
    // them in its next frames and be told to stop.
    host::State().loadedPluginDisabled = false;
    XPLMRegisterFlightLoopCallback(loop.callback, -1, loop.refcon);
    XPLMControlCamera(xplm_ControlCameraForever, camera.callback, camera.refcon);
    sim.Host().RunFrame();
    sim.Host().RunFrame();
    ASSERT_EQ(host::LiveFlightLoops().size(), 1u);
    EXPECT_EQ(host::LiveFlightLoops()[0].schedule, host::FlightLoop::Schedule::Off);
    EXPECT_EQ(host::State().camera.callback, nullptr);
    XPLMUnregisterFlightLoopCallback(loop.callback, loop.refcon);

    // The plug-in starts again as if nothing had happened.
    sim.StartAndEnable();
    sim.Host().RunFrame();
    EXPECT_EQ(sim.Eval("__import__('KV_Careless').frames"), "1");
    sim.DisableAndStop();
}

TEST(CallbackLifetime, FlightLoopClockExampleTicksThreeTimesAndCleansUp) {
    ScriptHost sim;
    sim.AddFile("KV_FlightLoopClock.py", ReadFile(std::filesystem::path(KORVANE_EXAMPLES_DIR) / "KV_FlightLoopClock.py"));
    sim.StartAndEnable();
    sim.Host().RunSeconds(5);
    sim.DisableAndStop();
    std::string output = sim.OutputFile();
    EXPECT_EQ(CountOccurrences(output, "Flight loop "), 3) << output;
    EXPECT_NE(output.find("Flight loop 1: simulator time 1.00 s (1.00 s since my last call, cycle 20, refcon 7)\n"),
              std::string::npos)
        << output;
    EXPECT_NE(output.find("Flight Loop Clock: that will do\n"), std::string::npos);
    // It unregistered itself in XPluginStop, so the core had nothing to remove.
    EXPECT_EQ(sim.Host().CountCalls("XPLMUnregisterFlightLoopCallback"), 1);
    EXPECT_EQ(CountOccurrences(sim.LogFile(), "behind at stop"), 0);
    EXPECT_EQ(CountOccurrences(sim.LogFile(), "Traceback"), 0);
}

}  // namespace
}  // namespace korvane::testing
