// What a careless or hostile script does to threads, the stack, signals, the standard
// streams and the process: the simulator keeps running, stops cleanly and still shows
// every script's output and errors.
#include "tests/support/script_host.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <thread>

namespace korvane::testing {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr double kSlowdown = 5.0;
#else
constexpr double kSlowdown = 1.0;
#endif

// Runs frames until `done` holds, for at most `seconds` (already generous).
template <typename Done>
bool RunFramesUntil(ScriptHost& sim, double seconds, Done done) {
    auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds * kSlowdown);
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) return false;
        sim.Host().RunFrame();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// Frames for `seconds` of the clock on the wall, so that sleeping threads wake meanwhile.
void RunFramesFor(ScriptHost& sim, double seconds) {
    auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < until) {
        sim.Host().RunFrame();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

// A thread that tries the SDK, prints a lot with the control panel open, then fails;
// and a second burst, written while the host gives the plug-in no call at all, which
// overflows the queue.
const char* kWorker = R"(
import threading, math
import XPLMProcessing as P, XPLMDisplay as D
state = {'done': False, 'burst': False}
def loop(*args):
    return -1
def work():
    for call in (lambda: P.XPLMRegisterFlightLoopCallback(Korvane.me, loop, -1, 0),
                 lambda: D.XPLMCreateWindow(Korvane.me, 0, 100, 100, 0, 1, loop, loop, loop, 0)):
        try:
            call()
        except RuntimeError as error:
            print('refused:', error)
    for i in range(300):
        print('worker line', i, math.sqrt(i))
    state['done'] = True
    raise ValueError('worker ends badly')
def burst():
    for i in range(6000):
        print('burst', i)
    state['burst'] = True
class Korvane:
    def XPluginStart(self):
        Korvane.me = self
        return ('Worker', 'kv.worker', 'works in a thread')
    def XPluginEnable(self):
        threading.Thread(target=work, name='worker').start()
        return 1
)";

TEST(InterpreterAbuse, ThreadsAreRefusedTheHostAndTheirOutputArrivesThroughTheMainThread) {
    ScriptHost sim;
    sim.AddScript("KV_Worker", kWorker);
    sim.Start();
    ASSERT_TRUE(sim.Host().PickMenu("Plugins/Korvane/Control Panel"));
    sim.Enable();
    ASSERT_TRUE(RunFramesUntil(sim, 20, [&] { return sim.Eval("__import__('KV_Worker').state['done']") == "True"; }));
    sim.Host().RunSeconds(0.2);
    std::string output = sim.OutputFile();
    for (const char* function : {"XPLMRegisterFlightLoopCallback", "XPLMCreateWindow"}) {
        EXPECT_EQ(CountOccurrences(output, std::string("refused: ") + function +
                                               ": the simulator's SDK may only be called from the main thread"),
                  1)
            << output;
    }
    EXPECT_EQ(CountOccurrences(output, "worker line "), 300);
    EXPECT_EQ(CountOccurrences(output, "worker line 299 "), 1);
    EXPECT_EQ(CountOccurrences(sim.LogFile(), "ValueError: worker ends badly"), 1) << sim.LogFile();

    // No host call while the burst is written: it waits, and what the queue cannot hold
    // is counted once.
    sim.Exec("import threading, KV_Worker\nthreading.Thread(target=KV_Worker.burst).start()");
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(static_cast<int>(20 * kSlowdown));
    while (sim.Eval("__import__('KV_Worker').state['burst']") != "True" && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    sim.Host().RunFrame();
    output = sim.OutputFile();
    EXPECT_GT(CountOccurrences(output, "burst "), 1000);
    EXPECT_LT(CountOccurrences(output, "burst "), 6000);
    EXPECT_EQ(CountOccurrences(sim.LogFile(), "written by script threads were dropped"), 1) << sim.LogFile();
    sim.DisableAndStop();
}

// Threads asleep across stops and a reload of the whole plug-in: each start imports the
// script afresh, and no thread of an earlier start ever runs (prints) again.
const char* kSleeper = R"(
import threading, time, XPLMPlugin
token = str(time.monotonic_ns())
def sleep_on(daemon):
    while True:
        time.sleep(0.4)
        print('tick', token)
class Korvane:
    def XPluginStart(self):
        print('start', token)
        for daemon in (False, True):
            threading.Thread(target=sleep_on, args=(daemon,), daemon=daemon, name='sleeper').start()
        return ('Sleeper', 'kv.sleeper', 'sleeps in threads')
    def ReloadEverything(self):
        XPLMPlugin.XPLMReloadPlugins()
)";

TEST(InterpreterAbuse, ReloadsWithSleepingThreadsNeitherCrashNorHang) {
    ScriptHost sim;
    sim.AddScript("KV_Sleeper", kSleeper);
    sim.StartAndEnable();
    // The threads sleep through each stop and wake once the next start has run.
    for (int round = 0; round < 2; ++round) {
        RunFramesFor(sim, 1.0);
        auto stopping = std::chrono::steady_clock::now();
        sim.DisableAndStop();
        EXPECT_LT(std::chrono::steady_clock::now() - stopping, std::chrono::duration<double>(10 * kSlowdown));
        sim.StartAndEnable();
    }
    // The simulator unloads and loads the plug-in again, threads still asleep.
    sim.Exec("import KV_Sleeper\nKV_Sleeper.Korvane().ReloadEverything()");
    RunFramesFor(sim, 1.0);
    sim.DisableAndStop();

    const std::string output = sim.OutputFile();
    const std::string log = sim.LogFile();
    EXPECT_EQ(CountOccurrences(output, "start "), 4) << output;
    // Every tick comes from the start that printed last before it.
    std::string current;
    std::size_t ticks = 0;
    for (std::size_t at = 0; at < output.size();) {
        std::size_t end = output.find('\n', at);
        std::string line = output.substr(at, end - at);
        at = end == std::string::npos ? output.size() : end + 1;
        if (line.rfind("start ", 0) == 0) {
            current = line.substr(6);
        } else if (line.rfind("tick ", 0) == 0) {
            ++ticks;
            EXPECT_EQ(line.substr(5), current) << "a thread of an earlier start ran";
        }
    }
    EXPECT_GT(ticks, 4u);
    EXPECT_EQ(CountOccurrences(log, "Thread 'sleeper' of 'KV_Sleeper' still runs at stop; Korvane parks it for good"),
              8)
        << log;
    EXPECT_EQ(CountOccurrences(log, "Python kept from the last stop"), 3) << log;
}

// A widget that sends itself a message from its own callback, and shared data whose
// notification sets it again, with the recursion limit far above what the C stack holds.
const char* kRecursion = R"(
import sys
import XPWidgets as W, XPStandardWidgets as SW, XPLMDataAccess as DA
sys.setrecursionlimit(100000)
depth = {'widget': 0, 'widget_max': 0, 'shared': 0}
class Korvane:
    def XPluginStart(self):
        return ('Deep', 'kv.deep', 'recurses through the simulator')
    def XPluginEnable(self):
        self.widget = W.XPCreateWidget(0, 100, 100, 0, 1, 'deep', 1, 0, SW.xpWidgetClass_MainWindow)
        W.XPAddWidgetCallback(self, self.widget, self.Widget)
        W.XPSendMessageToWidget(self.widget, 1000000, 0, 0, 0)
        DA.XPLMShareData(self, 'kv/deep/shared', DA.xplmType_Int, self.Changed, 0)
        self.ref = DA.XPLMFindDataRef('kv/deep/shared')
        DA.XPLMSetDatai(self.ref, 1)
        return 1
    def Widget(self, message, widget, param1, param2):
        if message != 1000000:
            return 0
        depth['widget'] += 1
        depth['widget_max'] = max(depth['widget_max'], depth['widget'])
        W.XPSendMessageToWidget(widget, 1000000, 0, 0, 0)
        depth['widget'] -= 1
        return 1
    def Changed(self, refcon):
        depth['shared'] += 1
        DA.XPLMSetDatai(self.ref, depth['shared'])
)";

TEST(InterpreterAbuse, NestingThroughTheSimulatorIsCappedWhateverTheRecursionLimit) {
    ScriptHost sim;
    sim.AddScript("KV_Deep", kRecursion);
    sim.StartAndEnable();
    sim.Host().RunFrame();
    int widgetDepth = std::stoi(sim.Eval("__import__('KV_Deep').depth['widget_max']"));
    int sharedDepth = std::stoi(sim.Eval("__import__('KV_Deep').depth['shared']"));
    EXPECT_GT(widgetDepth, 100);
    EXPECT_LE(widgetDepth, 250);
    EXPECT_GT(sharedDepth, 100);
    EXPECT_LE(sharedDepth, 250);
    sim.DisableAndStop();
    const std::string log = sim.LogFile();
    EXPECT_EQ(CountOccurrences(log, "nested more than 200 deep through the simulator"), 1) << log;
    EXPECT_EQ(CountOccurrences(log, "RecursionError: XPSendMessageToWidget: callbacks nest more than 200 deep"), 1)
        << log;
    EXPECT_EQ(CountOccurrences(log, "RecursionError: XPLMSetDatai: callbacks nest more than 200 deep"), 1) << log;
    EXPECT_EQ(CountOccurrences(log, "lost sys.stderr"), 0) << log;
    EXPECT_EQ(CountOccurrences(log, "could not be used"), 0) << log;
}

// With a low recursion limit Python's own RecursionError comes first, at the bottom of
// the nested notifications: it is printed whole once the stack has unwound, and never
// blamed on a result the host does not take.
TEST(InterpreterAbuse, ADeepFailureIsReportedOnceTheStackHasUnwound) {
    ScriptHost sim;
    sim.AddScript("KV_Shallow", R"(
import sys
import XPLMDataAccess as DA
sys.setrecursionlimit(250)
class Korvane:
    def XPluginStart(self):
        return ('Shallow', 'kv.shallow', 'recurses through shared data')
    def XPluginEnable(self):
        DA.XPLMShareData(self, 'kv/shallow/shared', DA.xplmType_Int, self.Changed, 0)
        self.ref = DA.XPLMFindDataRef('kv/shallow/shared')
        self.count = 0
        DA.XPLMSetDatai(self.ref, 1)
        return 1
    def Changed(self, refcon):
        self.count += 1
        DA.XPLMSetDatai(self.ref, self.count)
)");
    sim.StartAndEnable();
    sim.DisableAndStop();
    const std::string log = sim.LogFile();
    EXPECT_EQ(CountOccurrences(log, "RecursionError: maximum recursion depth exceeded"), 1) << log;
    EXPECT_EQ(CountOccurrences(log, "lost sys.stderr"), 0) << log;
    EXPECT_EQ(CountOccurrences(log, "could not be used"), 0) << log;
}

void OnTestSignal(int) {}

TEST(InterpreterAbuse, TheSimulatorsSignalsStayItsOwnAcrossScriptsAndStops) {
    struct sigaction mine {};
    mine.sa_handler = OnTestSignal;
    sigemptyset(&mine.sa_mask);
    for (int number : {SIGINT, SIGTERM}) ASSERT_EQ(sigaction(number, &mine, nullptr), 0);
    ScriptHost sim;
    sim.AddScript("KV_Signals", R"(
import signal
def handler(*args):
    pass
class Korvane:
    def XPluginStart(self):
        for number in (signal.SIGINT, signal.SIGTERM):
            try:
                signal.signal(number, handler)
                print('installed', int(number))
            except ValueError as error:
                print('refused:', error)
        signal.signal(signal.SIGUSR1, handler)
        print('SIGUSR1 handled')
        return ('Signals', 'kv.signals', 'wants the signals')
)");
    for (int run = 0; run < 2; ++run) {
        sim.StartAndEnable();
        sim.Host().RunFrame();
        sim.DisableAndStop();
        for (int number : {SIGINT, SIGTERM}) {
            struct sigaction now {};
            sigaction(number, nullptr, &now);
            EXPECT_EQ(now.sa_handler, &OnTestSignal) << "signal " << number << " after stop " << run;
        }
    }
    const std::string output = sim.OutputFile();
    EXPECT_EQ(CountOccurrences(output, "installed"), 0) << output;
    EXPECT_EQ(CountOccurrences(output, "belongs to the simulator: scripts may not install handlers for it"), 4);
    EXPECT_EQ(CountOccurrences(output, "SIGUSR1 handled"), 2);
}

// One script hands the standard streams back to the raw process (then drops stderr
// altogether); the other's prints and every script's errors still arrive.
TEST(InterpreterAbuse, AScriptReplacingTheStreamsSilencesNobody) {
    ScriptHost sim;
    sim.AddScript("KV_Rogue", R"(
import sys
import XPLMProcessing as P
class Korvane:
    def XPluginStart(self):
        sys.stdout, sys.stderr = sys.__stdout__, sys.__stderr__
        return ('Rogue', 'kv.rogue', 'takes the streams')
    def XPluginEnable(self):
        P.XPLMRegisterFlightLoopCallback(self, self.Loop, -1, 0)
        return 1
    def Loop(self, *args):
        print('rogue prints')
        sys.stderr = None
        raise KeyError('rogue fails')
)");
    sim.AddScript("KV_Victim", R"(
import XPLMProcessing as P
class Korvane:
    def XPluginStart(self):
        return ('Victim', 'kv.victim', 'prints')
    def XPluginEnable(self):
        P.XPLMRegisterFlightLoopCallback(self, self.Loop, -1, 0)
        return 1
    def Loop(self, *args):
        print('victim prints')
        raise LookupError('victim fails')
)");
    sim.StartAndEnable();
    sim.Host().RunSeconds(2.5);  // a failed flight loop is called again a second later
    sim.DisableAndStop();
    const std::string output = sim.OutputFile();
    const std::string log = sim.LogFile();
    const int calls = CountOccurrences(output, "victim prints");
    EXPECT_GE(calls, 2) << output;
    EXPECT_EQ(CountOccurrences(output, "rogue prints"), calls) << output;
    EXPECT_EQ(CountOccurrences(log, "LookupError: victim fails"), calls) << log;
    EXPECT_EQ(CountOccurrences(log, "KeyError: 'rogue fails'"), calls) << log;
    EXPECT_EQ(CountOccurrences(log, "replaced sys.stdout or sys.stderr; Korvane put its output capture back"), 1)
        << log;
    EXPECT_EQ(CountOccurrences(log, "'KV_Rogue' replaced sys.stdout"), 1) << log;
}

TEST(InterpreterAbuse, ScriptsCannotEndTheSimulator) {
    ScriptHost sim;
    sim.AddScript("KV_Exit", R"(
import os
class Korvane:
    def XPluginStart(self):
        for end in (lambda: os._exit(3), os.abort, lambda: __import__('posix')._exit(4)):
            try:
                end()
            except RuntimeError as error:
                print('refused:', error)
        return ('Exit', 'kv.exit', 'tries to end it all')
    def XPluginEnable(self):
        os._exit(5)
)");
    sim.StartAndEnable();
    sim.Host().RunFrame();
    sim.DisableAndStop();
    const std::string output = sim.OutputFile();
    const std::string log = sim.LogFile();
    EXPECT_EQ(CountOccurrences(output, "refused: os._exit: a script cannot end the simulator"), 2) << output;
    EXPECT_EQ(CountOccurrences(output, "refused: os.abort: a script cannot end the simulator"), 1) << output;
    EXPECT_EQ(CountOccurrences(log, "'KV_Exit' called os._exit; a script cannot end the simulator"), 3) << log;
    EXPECT_EQ(CountOccurrences(log, "RuntimeError: os._exit: a script cannot end the simulator"), 1) << log;
    EXPECT_EQ(CountOccurrences(log, "--- LOGGING STOPPED ---"), 1);
}

}  // namespace
}  // namespace korvane::testing
