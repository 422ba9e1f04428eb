// Heavy use as big add-ons make it: many scripts with many registrations. A frame
// costs the same per callback whatever else is registered, and a reload lets them all
// go promptly.
#include "host/host_state.h"
#include "tests/support/script_host.h"
#include "tests/support/time_limits.h"

#include <gtest/gtest.h>

#include <chrono>

namespace korvane::testing {
namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Each step usually takes well under a second (see the README).
const double kSlack = TimeLimitSeconds(1.0);

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

// Big aircraft add-ons publish thousands of data references from one script, often
// through one method per type. Registering and unregistering them, and thousands of
// flight loops beside them, costs each the same however many came before.
const char* kPublisherScript = R"(
import XPLMDataAccess as D
import XPLMProcessing as P
class Loop:
    def run(self, *args):
        return 0
class Korvane:
    def XPluginStart(self):
        global publisher
        publisher = self
        return ('Publisher', 'kv.publisher', 'thousands of data references')
    def getf(self, refcon):
        return 1.5
    def publish(self, count):
        self.refs = [D.XPLMRegisterDataAccessor(self, 'kv/publisher/%d' % i, D.xplmType_Float, 0,
                                                None, None, self.getf, None, None, None, None, None,
                                                None, None, None, None, i, 0) for i in range(count)]
        self.loops = [Loop() for i in range(count)]
        for i, loop in enumerate(self.loops):
            P.XPLMRegisterFlightLoopCallback(self, loop.run, -1, i)
    def withdraw(self):
        for ref in self.refs:
            D.XPLMUnregisterDataAccessor(self, ref)
        for loop in self.loops:
            P.XPLMUnregisterFlightLoopCallback(self, loop.run, 0)
)";

TEST(Scale, ThousandsOfRegistrationsComeAndGoPromptly) {
    ScriptHost sim;
    sim.AddScript("KV_Publisher", kPublisherScript);
    sim.StartAndEnable();
    Clock::time_point start = Clock::now();
    sim.Exec("import XPLMDataAccess as D; from KV_Publisher import publisher; publisher.publish(10000)");
    EXPECT_LT(SecondsSince(start), kSlack) << "registering";
    EXPECT_EQ(host::LiveFlightLoops().size(), 10000u);
    EXPECT_EQ(sim.Eval("D.XPLMGetDataf(D.XPLMFindDataRef('kv/publisher/9999'))"), "1.5");

    start = Clock::now();
    sim.Exec("publisher.withdraw()");
    EXPECT_LT(SecondsSince(start), kSlack) << "unregistering";
    EXPECT_TRUE(host::LiveFlightLoops().empty());
    EXPECT_EQ(sim.Eval("D.XPLMFindDataRef('kv/publisher/0')"), "None");
    sim.DisableAndStop();
}

}  // namespace
}  // namespace korvane::testing
