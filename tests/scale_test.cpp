// Heavy use as big add-ons make it: many scripts with many registrations. A frame
// costs the same per callback whatever else is registered, and a reload lets them all
// go promptly.
#include "host/host_state.h"
#include "tests/support/script_host.h"

#include <gtest/gtest.h>

#include <chrono>

namespace korvane::testing {
namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Timings mean something only in a normal build; the sanitizers multiply them.
#if defined(__SANITIZE_ADDRESS__)
constexpr double kSlack = 10.0;
#else
constexpr double kSlack = 1.0;
#endif

// Each script registers a hundred flight loops, all called every frame.
const char* kBusyScript = R"(
import XPLMProcessing as P
calls = 0
class Loop:
    def run(self, *args):
        global calls
        calls += 1
        return -1
class Korvane:
    def XPluginStart(self):
        self.loops = [Loop() for i in range(100)]
        return ('Busy', 'kv.busy', 'a hundred flight loops')
    def XPluginEnable(self):
        for i, loop in enumerate(self.loops):
            P.XPLMRegisterFlightLoopCallback(self, loop.run, -1, i)
        return 1
)";

TEST(Scale, TenThousandFlightLoopsRunAndReloadPromptly) {
    ScriptHost sim;
    for (int i = 0; i < 100; ++i) sim.AddScript("KV_Busy" + std::to_string(i), kBusyScript);
    sim.StartAndEnable();
    ASSERT_EQ(host::LiveFlightLoops().size(), 10000u);

    Clock::time_point start = Clock::now();
    sim.Host().RunSeconds(1);
    EXPECT_LT(SecondsSince(start), kSlack) << "one simulated second of frames";
    EXPECT_EQ(sim.Eval("sum(__import__('KV_Busy%d' % i).calls for i in range(100))"), "200000");

    start = Clock::now();
    sim.DisableAndStop();
    EXPECT_LT(SecondsSince(start), kSlack) << "the stop";
    EXPECT_TRUE(host::LiveFlightLoops().empty());
    EXPECT_EQ(CountOccurrences(sim.LogFile(), "left 100 host registration(s) behind at stop"), 100);

    sim.StartAndEnable();
    EXPECT_EQ(host::LiveFlightLoops().size(), 10000u);
    sim.DisableAndStop();
}

}  // namespace
}  // namespace korvane::testing
