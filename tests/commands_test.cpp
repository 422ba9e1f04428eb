// Commands as scripts use them: handlers run around the simulator's own action in
// the order and on the side they were registered, presses once or held reach them
// phase by phase, the simulator's own commands move its data, and no handler outlives
// its interpreter.
#include "core/core_state.h"
#include "core/python_lifecycle.h"
#include "host/events_file.h"
#include "host/host_state.h"
#include "registry/callback_dispatch.h"
#include "tests/support/core_session.h"
#include "tests/support/script_host.h"

#include <gtest/gtest.h>

#include <sstream>

namespace korvane {
namespace {

using testing::CountOccurrences;

// A script that keeps its instance in `me`; `stop` is the body of its XPluginStop.
std::string CommandScript(const std::string& start = "", const std::string& stop = "        pass\n") {
    return "import XPLMUtilities as U\n"
           "me = None\n"
           "seen = []\n"
           "class Korvane:\n"
           "    def XPluginStart(self):\n"
           "        global me\n"
           "        me = self\n" +
           start +
           "        return ('Commands', 'kv.commands', 'command handlers')\n"
           "    def XPluginEnable(self):\n"
           "        return 1\n"
           "    def XPluginDisable(self):\n"
           "        pass\n"
           "    def XPluginStop(self):\n" +
           stop +
           "    def Handle(self, command, phase, refcon):\n"
           "        seen.append((phase, refcon))\n"
           "        return 1\n";
}

class CommandsTest : public testing::CoreSession {
protected:
    void Start() {
        StartPython(1);
        sim.Exec("import sys, XPLMUtilities as U, XPLMDataAccess as D, XPLMProcessing as P\n"
                 "A = sys.modules['KV_Commands']");
    }
    int Handlers() { return registry ? registry->KindCount(CallbackKind::CommandHandler) : 0; }
    static host::HostCommand& Command(const std::string& name) { return *host::FindHostCommand(name); }
    static float Flaps() { return host::FindDataRefRecord("sim/flightmodel/controls/flaprqst")->floatValue; }
};

TEST_F(CommandsTest, HandlersRunAroundTheSimulatorsActionByRegistrationAndSideAndAZeroStopsTheRest) {
    sim.AddScript("KV_Commands", CommandScript());
    Start();
    sim.Exec("flaps = D.XPLMFindDataRef('sim/flightmodel/controls/flaprqst')\n"
             "down = U.XPLMFindCommand('sim/flight_controls/flaps_down')\n"
             "seen, answers = [], {}\n"
             "def handler(name):\n"
             "    def handle(command, phase, refcon):\n"
             "        seen.append((name, phase, refcon, D.XPLMGetDataf(flaps), command == down))\n"
             "        return answers.get((name, phase), 1)\n"
             "    return handle\n"
             "first, second, after = handler('first'), handler('second'), handler('after')\n"
             "U.XPLMRegisterCommandHandler(A.me, down, first, 1, 11)\n"
             "U.XPLMRegisterCommandHandler(A.me, down, after, 0, 33)\n"
             "U.XPLMRegisterCommandHandler(A.me, down, second, 1, 22)\n"
             "U.XPLMRegisterCommandHandler(A.me, down, first, 1, 99)\n"  // the same registration again
             "U.XPLMCommandOnce(down)");
    EXPECT_EQ(Handlers(), 3);
    EXPECT_EQ(Command("sim/flight_controls/flaps_down").handlers.size(), 3u);
    EXPECT_EQ(sim.Eval("seen"),
              "[('first', 0, 11, 0.0, True), ('second', 0, 22, 0.0, True), ('after', 0, 33, 0.25, True), "
              "('first', 2, 11, 0.25, True), ('second', 2, 22, 0.25, True), ('after', 2, 33, 0.25, True)]");

    // A 0 before the action stops the rest of the phase, the simulator's action included.
    sim.Exec("seen.clear()\nanswers[('first', 0)] = 0\nU.XPLMCommandOnce(down)");
    EXPECT_EQ(sim.Eval("[s[:2] for s in seen]"), "[('first', 0), ('first', 2), ('second', 2), ('after', 2)]");
    EXPECT_EQ(Flaps(), 0.25f);
    // A 0 after it stops only the handlers after it.
    sim.Exec("seen.clear()\nanswers.clear()\nanswers[('second', 2)] = 0\nU.XPLMCommandOnce(down)");
    EXPECT_EQ(sim.Eval("[s[:2] for s in seen]"),
              "[('first', 0), ('second', 0), ('after', 0), ('first', 2), ('second', 2)]");
    EXPECT_EQ(Flaps(), 0.5f);

    // A handler that raises or answers no int is logged and lets the command go on.
    sim.Exec("def broken(command, phase, refcon):\n"
             "    raise ValueError('broken handler')\n"
             "U.XPLMRegisterCommandHandler(A.me, down, broken, 1, 44)\n"
             "seen.clear()\nanswers.clear()\nanswers[('first', 0)] = None\n"
             "U.XPLMCommandOnce(down)");
    EXPECT_EQ(sim.Eval("[s[:2] for s in seen]"),
              "[('first', 0), ('second', 0), ('after', 0), ('first', 2), ('second', 2), ('after', 2)]");
    EXPECT_EQ(Flaps(), 0.75f);
    EXPECT_EQ(CountOccurrences(sim.LogFile(), "ValueError: broken handler"), 2) << sim.LogFile();
    EXPECT_EQ(CountOccurrences(sim.LogFile(), "TypeError"), 1) << sim.LogFile();

    // One callable on both sides of a command and on another command: each is its own
    // registration, and unregistering names exactly one of them.
    sim.Exec("U.XPLMUnregisterCommandHandler(A.me, down, broken, 1, 0)\n"
             "up = U.XPLMFindCommand('sim/flight_controls/flaps_up')\n"
             "U.XPLMRegisterCommandHandler(A.me, down, first, 0, 55)\n"
             "U.XPLMRegisterCommandHandler(A.me, up, first, 1, 66)\n"
             "U.XPLMUnregisterCommandHandler(A.me, down, first, 1, 0)\n"
             "seen.clear()\nanswers.clear()\n"
             "U.XPLMCommandOnce(down)\nU.XPLMCommandOnce(up)");
    EXPECT_EQ(Handlers(), 4);
    EXPECT_EQ(sim.Eval("[s[:3] for s in seen]"),
              "[('second', 0, 22), ('after', 0, 33), ('first', 0, 55), ('second', 2, 22), ('after', 2, 33), "
              "('first', 2, 55), ('first', 0, 66), ('first', 2, 66)]");
    EXPECT_EQ(Flaps(), 0.75f) << "down a notch, then up one";
}

TEST_F(CommandsTest, OnceRunsBeginAndEndInOneFrameAndAHeldCommandContinuesEveryFrameUntilItsEnd) {
    sim.AddScript("KV_Commands", CommandScript());
    Start();
    sim.Exec("up = U.XPLMFindCommand('sim/engines/throttle_up')\n"
             "throttles = D.XPLMFindDataRef('sim/flightmodel/engine/ENGN_thro')\n"
             "phases = []\n"
             "def watch(command, phase, refcon):\n"
             "    phases.append((phase, P.XPLMGetCycleNumber()))\n"
             "    return 1\n"
             "def now():\n"
             "    values = []\n"
             "    D.XPLMGetDatavf(throttles, values, 0, 2)\n"
             "    return [round(v, 2) for v in values]\n"
             "U.XPLMRegisterCommandHandler(A.me, up, watch, 0, 0)\n"
             "U.XPLMCommandOnce(up)");
    EXPECT_EQ(sim.Eval("(phases, now())"), "([(0, 0), (2, 0)], [0.55, 0.55])");

    sim.Exec("phases.clear()\nU.XPLMCommandBegin(up)");
    sim.Host().RunSeconds(0.15);
    sim.Exec("U.XPLMCommandBegin(up)\nU.XPLMCommandEnd(up)\nU.XPLMCommandEnd(up)");
    sim.Host().RunFrame();
    EXPECT_EQ(sim.Eval("(phases, now())"), "([(0, 0), (1, 1), (1, 2), (1, 3), (2, 3)], [0.75, 0.75])");

    // A user holds it too, from an events file; a script's command is pressed the same way.
    std::istringstream lines("0.1 command sim/engines/throttle_up begin\n"
                             "0.2 command sim/engines/throttle_up end\n"
                             "0.3 command kv/made/by_script once\n");
    host::EventsFile events = host::ParseEvents(lines, "test.events");
    ASSERT_EQ(events.error, "");
    sim.Exec("phases.clear()\n"
             "mine = U.XPLMCreateCommand('kv/made/by_script', 'A script command')\n"
             "U.XPLMRegisterCommandHandler(A.me, mine, watch, 1, 0)");
    events.events[0].play(sim.Host());
    sim.Host().RunFrame();
    events.events[1].play(sim.Host());
    events.events[2].play(sim.Host());
    EXPECT_EQ(sim.Eval("phases"), "[(0, 4), (1, 5), (2, 5), (0, 5), (2, 5)]");
    EXPECT_EQ(sim.Eval("U.XPLMCreateCommand('kv/made/by_script', 'another') == mine"), "True");
    EXPECT_EQ(Command("kv/made/by_script").description, "A script command");
    EXPECT_TRUE(Command("kv/made/by_script").createdByPlugin);
}

TEST_F(CommandsTest, TheSimulatorsOwnCommandsMoveItsDataAndEventsFilesPressThem) {
    // No script needed: a user at the simulator presses them.
    std::istringstream lines("0.0 command sim/flight_controls/landing_gear_toggle once\n"
                             "0.0 command sim/flight_controls/flaps_down once   # a notch\n"
                             "0.0 command sim/operation/pause_toggle once\n"
                             "0.0 command sim/engines/throttle_down begin\n"
                             "0.0 command kv/nobody/made_this once\n");
    host::EventsFile events = host::ParseEvents(lines, "user.events");
    ASSERT_EQ(events.error, "");
    for (const host::TimedEvent& event : events.events) event.play(sim.Host());
    sim.Host().RunSeconds(0.1);
    ASSERT_TRUE(sim.Host().PressCommand("sim/engines/throttle_down", host::CommandPress::End));
    EXPECT_EQ(host::FindDataRefRecord("sim/cockpit/switches/gear_handle_status")->intValue, 0);
    EXPECT_EQ(Flaps(), 0.25f);
    EXPECT_EQ(host::FindDataRefRecord("sim/time/paused")->intValue, 1);
    // Begin and two frames of continue, 0.05 each.
    const std::vector<float>& throttles = host::FindDataRefRecord("sim/flightmodel/engine/ENGN_thro")->floats;
    EXPECT_NEAR(throttles[0], 0.35f, 1e-6);
    EXPECT_NEAR(throttles[1], 0.35f, 1e-6);
    EXPECT_EQ(throttles[2], 0.0f) << "only the aircraft's two engines";
    EXPECT_NE(sim.Host().Log().find("Command: no command named kv/nobody/made_this\n"), std::string::npos);
    EXPECT_GE(sim.Host().Commands().size(), 40u);

    for (const char* line : {"1 command sim/operation/pause_toggle", "1 command sim/operation/pause_toggle press",
                             "1 command a b once"}) {
        std::istringstream bad(line);
        EXPECT_NE(host::ParseEvents(bad, "bad.events").error.find("bad.events:1: a command"), std::string::npos)
            << line;
    }
}

TEST_F(CommandsTest, BadInputRaisesBeforeAnyHostCallAndLeavesNothingRegistered) {
    sim.AddScript("KV_Commands", CommandScript());
    Start();
    sim.Exec("down = U.XPLMFindCommand('sim/flight_controls/flaps_down')");
    EXPECT_EQ(sim.Eval("U.XPLMFindCommand('kv/no/such/command')"), "None");
    sim.Host().ClearCalls();
    const std::pair<const char*, const char*> calls[] = {
        {"U.XPLMRegisterCommandHandler(A.me, down, 42, 1, 0)", "TypeError"},
        {"U.XPLMRegisterCommandHandler(A.me, 12345, A.me.Handle, 1, 0)", "ValueError"},
        {"U.XPLMRegisterCommandHandler(A.me, 'sim/flight_controls/flaps_down', A.me.Handle, 1, 0)", "TypeError"},
        {"U.XPLMRegisterCommandHandler(A.me, down, A.me.Handle, 'before', 0)", "TypeError"},
        {"U.XPLMRegisterCommandHandler(A.me, down, A.me.Handle, 1)", "TypeError"},
        {"U.XPLMRegisterCommandHandler(down, A.me.Handle, 1, 0)", "TypeError"},
        {"U.XPLMUnregisterCommandHandler(A.me, -1, A.me.Handle, 1, 0)", "ValueError"},
        {"U.XPLMCommandOnce(down + 1)", "ValueError"},
        {"U.XPLMCommandBegin(None)", "TypeError"},
        {"U.XPLMCommandEnd(2**70)", "OverflowError"},
        {"U.XPLMFindCommand(5)", "TypeError"},
        {"U.XPLMCreateCommand('kv/with\\0nul', '')", "ValueError"},
        {"U.XPLMCreateCommand('kv/no/description')", "TypeError"},
        // Nothing may be registered while the interpreter stops.
        {"registry_closed; U.XPLMRegisterCommandHandler(A.me, down, A.me.Handle, 1, 0)", "RuntimeError"},
    };
    const std::string closing = "registry_closed; ";
    for (const auto& [call, error] : calls) {
        std::string statement = call;
        if (statement.starts_with(closing)) {
            registry->CloseRegistrations();
            statement.erase(0, closing.size());
        }
        sim.Exec("try:\n    " + statement + "\n    outcome = 'no error'\n"
                 "except Exception as e:\n    outcome = type(e).__name__");
        EXPECT_EQ(sim.Eval("outcome"), error) << call;
    }
    EXPECT_TRUE(sim.Host().Calls().empty()) << sim.Host().Calls().front().function;
    EXPECT_EQ(Handlers(), 0);
    EXPECT_EQ(registry->RecordCount(), 1);
    EXPECT_TRUE(Command("sim/flight_controls/flaps_down").handlers.empty());
}

TEST_F(CommandsTest, StopAndReloadRemoveLeftoverHandlersWithALogLineAndLaterPressesReachNothing) {
    // Registers on a simulator command and on a command of its own, and keeps both.
    sim.AddScript("KV_Commands",
                  CommandScript("        self.mine = U.XPLMCreateCommand('kv/leaky/mine', 'Kept past stop')\n"
                                "        self.down = U.XPLMFindCommand('sim/flight_controls/flaps_down')\n"
                                "        U.XPLMRegisterCommandHandler(self, self.mine, self.Handle, 1, 1)\n"
                                "        U.XPLMRegisterCommandHandler(self, self.down, self.Handle, 0, 2)\n"));
    StartPython(1);
    ASSERT_EQ(Handlers(), 2);
    void* staleRefcon =
        registry->FindScript(registry->ScriptAt(0))->List(CallbackKind::CommandHandler).front().hostRefcon;
    host::HostCommand& mine = Command("kv/leaky/mine");

    StopPython(1);
    EXPECT_EQ(CountOccurrences(sim.LogFile(), "'KV_Commands' left 2 host registration(s) behind at stop"), 1)
        << sim.LogFile();
    EXPECT_TRUE(mine.handlers.empty());
    EXPECT_TRUE(Command("sim/flight_controls/flaps_down").handlers.empty());
    // Presses still work and reach no script; a late call with an old refcon finds nothing.
    EXPECT_TRUE(sim.Host().PressCommand("kv/leaky/mine", host::CommandPress::Once));
    EXPECT_TRUE(sim.Host().PressCommand("sim/flight_controls/flaps_down", host::CommandPress::Once));
    EXPECT_EQ(Flaps(), 0.25f);
    EXPECT_EQ(dispatch::CommandCallback(&mine, xplm_CommandBegin, staleRefcon), 1);

    // A fresh interpreter registers afresh, and each press reaches its handler once.
    StartPython(1);
    EXPECT_EQ(mine.handlers.size(), 1u);
    EXPECT_EQ(Command("sim/flight_controls/flaps_down").handlers.size(), 1u);
    EXPECT_EQ(dispatch::CommandCallback(&mine, xplm_CommandBegin, staleRefcon), 1);
    EXPECT_TRUE(sim.Host().PressCommand("kv/leaky/mine", host::CommandPress::Once));
    sim.Exec("import sys");
    EXPECT_EQ(sim.Eval("sys.modules['KV_Commands'].seen"), "[(0, 1), (2, 1)]");
}

}  // namespace
}  // namespace korvane
