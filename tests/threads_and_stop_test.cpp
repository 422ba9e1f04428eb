// The real plug-in with scripts that run threads and misbehave at stop: stop ends in
// bounded time, nothing registered while stopping outlives the interpreter, script
// threads make progress while the host runs, and a Python that cannot start leaves the
// simulator running.
#include "host/host_state.h"
#include "tests/support/script_host.h"
#include "tests/support/time_limits.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace korvane::testing {
namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Tries to register while the interpreter stops: from a thread on its way out, from
// __del__ as the registry lets the script go, and from an atexit handler.
const char* kLateRegistrations = R"(
import atexit, threading, time
import XPLMProcessing as P
def loop(*args):
    return -1
def register(why):
    try:
        P.XPLMRegisterFlightLoopCallback(keeper, loop, -1, 0)
        print(why, 'registered')
    except RuntimeError as error:
        print(why, 'refused:', error)
class Keeper:
    pass
keeper = Keeper()
class Late:
    def __del__(self):
        register('__del__')
stopping = threading.Event()
def leave_late():
    stopping.wait()
    time.sleep(0.05)
    register('thread')
atexit.register(register, 'atexit')
class Korvane:
    def XPluginStart(self):
        self.late = Late()
        threading.Thread(target=leave_late, name='leaver').start()
        return ('Late', 'kv.late', 'registers while stopping')
    def XPluginEnable(self):
        P.XPLMRegisterFlightLoopCallback(self, self.Loop, -1, 0)
        return 1
    def XPluginStop(self):
        stopping.set()
    def Loop(self, *args):
        return -1
)";

TEST(ThreadsAndStop, NothingRegisteredWhileStoppingOutlivesTheInterpreter) {
    ScriptHost sim;
    sim.AddScript("KV_Late", kLateRegistrations);
    for (int run = 0; run < 3; ++run) {
        sim.StartAndEnable();
        sim.Host().RunFrame();
        sim.DisableAndStop();
        EXPECT_TRUE(host::LiveFlightLoops().empty()) << "run " << run;
        sim.Host().RunFrame();
    }
    const std::string output = sim.OutputFile();
    // A script's thread is refused before anything else: only the main thread calls the host.
    EXPECT_EQ(CountOccurrences(output, "thread refused: XPLMRegisterFlightLoopCallback: the simulator's SDK may only "
                                       "be called from the main thread"),
              3)
        << output;
    for (const char* why : {"__del__", "atexit"}) {
        EXPECT_EQ(CountOccurrences(output, std::string(why) + " refused: Korvane is stopping the interpreter"), 3)
            << why << "\n"
            << output;
    }
    EXPECT_EQ(CountOccurrences(output, "registered"), 0);
}

TEST(ThreadsAndStop, ThreadsThatNeverEndAreLoggedAndNotWaitedFor) {
    ScriptHost sim;
    sim.AddScript("KV_Spinner", R"(
import threading, time
def sleeper():
    while True:
        time.sleep(0.01)
def spinner():
    while True:
        pass
class Korvane:
    def XPluginStart(self):
        threading.Thread(target=sleeper, name='sleeper').start()
        threading.Thread(target=spinner, name='spinner', daemon=True).start()
        return ('Spinner', 'kv.spinner', 'never lets its threads end')
)");
    sim.StartAndEnable();
    sim.Host().RunSeconds(0.5);
    Clock::time_point stopping = Clock::now();
    sim.DisableAndStop();
    // The grace period is one second; the stop must not wait for the threads beyond it.
    EXPECT_LT(SecondsSince(stopping), 1.0 + TimeLimitSeconds(0.2));
    const std::string log = sim.LogFile();
    EXPECT_EQ(CountOccurrences(log, "Thread 'sleeper' of 'KV_Spinner' still runs at stop; Korvane parks it for good at "
                                    "its next step (it never runs again)\n"),
              1)
        << log;
    EXPECT_EQ(CountOccurrences(log, "Thread 'spinner' of 'KV_Spinner' still runs at stop"), 1) << log;
    EXPECT_EQ(CountOccurrences(log, "Python is kept, not finalized"), 1) << log;
}

// Counts in a thread of its own, with three flight loops running every frame.
const char* kCounter = R"(
import threading
import XPLMProcessing as P
count = 0
running = True
def counter():
    global count
    while running:
        count += 1
def loop(*args):
    sum(range(100))
    return -1
class Korvane:
    def XPluginStart(self):
        threading.Thread(target=counter, name='counter').start()
        return ('Counter', 'kv.counter', 'counts in the background')
    def XPluginEnable(self):
        for refcon in range(3):
            P.XPLMRegisterFlightLoopCallback(self, loop, -1, refcon)
        return 1
    def XPluginDisable(self):
        pass
    def XPluginStop(self):
        global running
        running = False
)";

TEST(ThreadsAndStop, ScriptThreadsProgressWhileTheHostRunsFrames) {
    ScriptHost sim;
    sim.AddScript("KV_Counter", kCounter);
    sim.StartAndEnable();
    auto count = [&] { return std::stoll(sim.Eval("__import__('KV_Counter').count")); };
    constexpr auto kSpan = std::chrono::milliseconds(150);

    // Rounds take turns, so that a change in the machine's load falls on both alike.
    long long idle = 0;
    long long busy = 0;
    int frames = 0;
    for (int round = 0; round < 3; ++round) {
        long long before = count();
        std::this_thread::sleep_for(kSpan);  // the host does its own work, the plug-in idles
        idle += count() - before;

        // Frames as a simulator runs them: the plug-in's flight loops, then a
        // millisecond of the host's own work (drawing), spent busy rather than asleep.
        before = count();
        for (Clock::time_point start = Clock::now(); Clock::now() - start < kSpan; ++frames) {
            sim.Host().RunFrame();
            for (Clock::time_point drawing = Clock::now(); Clock::now() - drawing < std::chrono::milliseconds(1);) {
            }
        }
        busy += count() - before;
    }

    EXPECT_GT(idle, 10000) << "the thread did not run while the plug-in was idle";
    EXPECT_GE(busy * 2, idle) << "idle " << idle << ", during " << frames << " frames " << busy;
    EXPECT_GT(frames, 10);
    sim.DisableAndStop();
    EXPECT_EQ(CountOccurrences(sim.LogFile(), "still runs at stop"), 0);
}

TEST(ThreadsAndStop, PythonThatCannotStartLeavesTheSimulatorRunning) {
    ::setenv("PYTHONHOME", "/nonexistent-python-home", 1);
    ScriptHost sim;
    sim.AddScript("KV_Never", "class Korvane:\n    def XPluginStart(self): return ('n', 'n', 'n')\n");
    EXPECT_EQ(sim.Start(), 1);
    EXPECT_EQ(sim.Enable(), 1);
    sim.Host().RunFrame();
    sim.DisableAndStop();
    ::unsetenv("PYTHONHOME");
    const std::string log = sim.LogFile();
    EXPECT_EQ(CountOccurrences(log, "Python could not start ("), 1) << log;
    EXPECT_EQ(CountOccurrences(log, "successfully loaded"), 0);
    EXPECT_EQ(CountOccurrences(log, "--- LOGGING STOPPED ---"), 1);
}

}  // namespace
}  // namespace korvane::testing
