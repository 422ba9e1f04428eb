// The plug-in as the simulator runs it: korvane-host, which does not link the
// interpreter, loads Korvane.xpl with local symbol scope. The other test programs link
// libpython themselves, so its symbols are global there and a plug-in that never makes
// them global (compiled standard modules then fail to import) would still pass them.
#include "host/driver.h"
#include "tests/support/text_files.h"
#include "tests/support/time_limits.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

using korvane::host::MakeTemporaryFolder;
using korvane::testing::CountOccurrences;
using korvane::testing::ReadFile;

struct HostResult {
    int exitCode = -1;
    std::string report;  // korvane-host's standard output
    std::string errors;  // its standard error: debug copies of log lines, sanitizer reports
};

// A run of korvane-host in a simulator folder of its own, with its own console channel.
class HostRun {
public:
    HostRun() : root_(MakeTemporaryFolder("korvane-e2e-")), scripts_(root_ / "scripts-source") {
        fs::create_directories(scripts_);
        fs::create_directories(root_ / "runtime");
    }
    ~HostRun() {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    const fs::path& Scripts() const { return scripts_; }
    fs::path ScriptsFolder() const { return root_ / "Resources" / "plugins" / "DuvodeZuzedav"; }
    std::string LogFile() const { return ReadFile(ScriptsFolder() / "KorvaneLog.txt"); }
    std::string OutputFile() const { return ReadFile(ScriptsFolder() / "KorvaneOutput.txt"); }

    HostResult Execute(const std::vector<std::string>& arguments) { return Finish(Spawn(arguments)); }

    // Starts korvane-host without waiting for it; 0 when it cannot start.
    pid_t Spawn(const std::vector<std::string>& arguments) {
        std::vector<std::string> owned = {KORVANE_HOST_BINARY};
        owned.insert(owned.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& argument : owned) argv.push_back(argument.data());
        argv.push_back(nullptr);

        ::setenv("XDG_RUNTIME_DIR", (root_ / "runtime").c_str(), 1);
        const std::string reportPath = (root_ / "report.txt").string();
        const std::string errorsPath = (root_ / "errors.txt").string();
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        const int mode = O_WRONLY | O_CREAT | O_TRUNC;
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, reportPath.c_str(), mode, 0644);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorsPath.c_str(), mode, 0644);
        pid_t pid = 0;
        int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) {
            ADD_FAILURE() << "cannot start " << argv[0];
            return 0;
        }
        return pid;
    }

    HostResult Finish(pid_t pid) {
        HostResult run;
        if (pid == 0) return run;
        const std::string reportPath = (root_ / "report.txt").string();
        const std::string errorsPath = (root_ / "errors.txt").string();
        int status = 0;
        ::waitpid(pid, &status, 0);
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        run.report = ReadFile(reportPath);
        run.errors = ReadFile(errorsPath);
        return run;
    }

    // Runs the plug-in on `scripts` in this simulator folder.
    HostResult RunOn(const fs::path& scripts, double seconds, std::vector<std::string> more = {}) {
        std::vector<std::string> arguments = {"--root", root_.string(), "--scripts", scripts.string(), "--seconds",
                                              std::to_string(seconds)};
        arguments.insert(arguments.end(), more.begin(), more.end());
        return Execute(arguments);
    }

private:
    fs::path root_;
    fs::path scripts_;
};

// Each compiled module is put to use once: json quietly falls back to pure Python when
// its accelerator cannot load, so an import alone proves little.
const char* kExtensionModulesScript = R"(
import importlib.util, sys

def use_json():
    import json.decoder, json.scanner
    return json.decoder.c_scanstring and json.scanner.c_make_scanner and json.loads('[1, 2.5]') == [1, 2.5]

def use_socket():
    import socket
    left, right = socket.socketpair()
    with left, right:
        left.sendall(b'x')
        return right.recv(1) == b'x'

USES = {
    '_json': use_json,
    '_ctypes': lambda: __import__('ctypes').c_int(7).value == 7,
    '_socket': use_socket,
    '_ssl': lambda: __import__('ssl').OPENSSL_VERSION,
    'math': lambda: __import__('math').floor(2.5) == 2,
    '_decimal': lambda: str(__import__('decimal').Decimal('1.1') + 2) == '3.1',
    'select': lambda: __import__('select').select([], [], [], 0) == ([], [], []),
    'array': lambda: __import__('array').array('i', [1, 2]).tolist() == [1, 2],
    'zlib': lambda: __import__('zlib').decompress(__import__('zlib').compress(b'kv')) == b'kv',
}

class Korvane:
    def XPluginStart(self):
        for name, use in USES.items():
            if importlib.util.find_spec(name) is None:
                print('absent ' + name)
                continue
            try:
                __import__(name)
                print(('imported ' if use() else 'failed, unusable: ') + name)
            except Exception as error:
                sys.stderr.write('failed %s: %r\n' % (name, error))
        return 'Extensions', 'kv.e2e.extensions', 'Imports compiled standard modules'
    def XPluginEnable(self):
        return 1
    def XPluginDisable(self):
        pass
    def XPluginStop(self):
        pass
)";

TEST(EndToEnd, CompiledStandardModulesImportWhenTheHostDoesNotLinkTheInterpreter) {
    HostRun sim;
    // The premise of this program: the process that loads the plug-in has no interpreter of its own.
    ::setenv("LD_TRACE_LOADED_OBJECTS", "1", 1);
    HostResult trace = sim.Execute({});
    ::unsetenv("LD_TRACE_LOADED_OBJECTS");
    ASSERT_NE(trace.report.find("libkorvane_host"), std::string::npos) << trace.report;
    ASSERT_EQ(trace.report.find("libpython"), std::string::npos) << trace.report;

    std::ofstream(sim.Scripts() / "KV_Extensions.py") << kExtensionModulesScript;
    HostResult run = sim.RunOn(sim.Scripts(), 0.5);
    EXPECT_EQ(run.exitCode, 0) << run.report << run.errors;
    const std::string output = sim.OutputFile();
    const std::string log = sim.LogFile();
    std::string missing;
    for (const char* module : {"_json", "_ctypes", "_socket", "math", "_decimal", "select", "array", "zlib"})
        if (run.report.find(std::string("[print] imported ") + module + "\n") == std::string::npos)
            missing += std::string(" ") + module;
    EXPECT_EQ(missing, "") << log;
    // Optional in a Python build, so present or absent, never broken.
    EXPECT_EQ(CountOccurrences(output, "imported _ssl\n") + CountOccurrences(output, "absent _ssl\n"), 1) << output;
    EXPECT_EQ(CountOccurrences(log, "failed ") + CountOccurrences(output, "failed"), 0) << log << output;
    EXPECT_NE(log.find("'KV_Extensions' successfully loaded\n"), std::string::npos);
}

// What each example shows in a run of a few seconds beside the others. An example not
// listed here must still load, start and stop without a traceback.
struct ExampleExpectation {
    std::vector<std::string> outputLines;
    std::vector<std::string> logLines{};
    int tracebacks = 0;
};

const std::map<std::string, ExampleExpectation>& ExampleExpectations() {
    static const std::map<std::string, ExampleExpectation> expectations = {
        {"KV_HelloWorld",
         {{"Hello from a Python script plug-in", "Hello World enabled", "Hello World disabled",
           "Hello World stopped; goodbye"}}},
        {"KV_FlightLoopClock",
         {{"Flight loop 1: simulator time 1.00 s (1.00 s since my last call, cycle 20, refcon 7)",
           "Flight loop 3: simulator time 3.00 s (1.00 s since my last call, cycle 60, refcon 7)",
           "Flight Loop Clock: that will do"}}},
        {"KV_PublishData",
         {{"Publish Data: counter 1, levels 0.00, 0.25, 0.75", "Publish Data: counter 3, levels 0.00, 0.25, 0.75"}}},
        {"KV_ReadSimData",
         {{"Read Sim Data: N172KV, 2 engines, at 47.4502 -122.3088", "Read Sim Data: throttles 0.50, 0.50",
           "Read Sim Data: throttles 0.60, 0.60"}}},
        {"KV_MenuExample",
         {{"Menu Example: added Plugins/Menu Example with 2 items",
           "Menu Example: picked item 0 (menu refcon 40); Landing Lights is now unchecked",
           "Menu Example: picked item 1 (menu refcon 40); Radio Panel is now checked",
           "Menu Example: picked item 0 (menu refcon 40); Landing Lights is now checked"}}},
        // Their events files lie beside them and play into the run.
        {"KV_Window",
         {{"Window: created on a 1024 x 768 screen", "Window draw: first frame, refcon 7",
           "Window mouse: down at (150, 300), refcon 7", "Window mouse: drag at (160, 290), refcon 7",
           "Window mouse: up at (170, 280), refcon 7", "Window key: char 'k', flags 8, virtual key 75, refcon 7",
           "Window key: char 'V' with shift, flags 9, virtual key 86, refcon 7", "Window key: focus lost",
           "Window: hidden", "Window: drawn 30 times"}}},
        {"KV_HotKey",
         {{"Hot key: virtual key 119, flags 8, 'Korvane example: say hello'", "Hot key: hello (press 2, refcon 42)",
           "Hot key: pressed 2 times"}}},
        {"KV_Terrain",
         {{"Terrain: the tug is loaded", "Terrain: Ground 132 m above sea level; Height above ground 0.0 m"}}},
        {"KV_Dialog", {{"Dialog: 8 widgets made", "Dialog OK: name 'Korvane', remember 1, volume 75"}}},
        {"KV_Command",
         {{"Command Example: created korvane/examples/approach_configuration; unknown names find None",
           "Command Example: korvane/examples/approach_configuration pressed (refcon 1)",
           "Command Example: after flaps_down the flaps are at 0.25", "Command Example: flaps 0.25, gear handle down",
           "Command Example: menu item picked", "Command Example: after flaps_down the flaps are at 0.50",
           "Command Example: brakes held for 10 frames"}}},
        {"KV_Ping",
         {{"Ping: sending 1001 with 7 to Pong", "Pong: 1001 with 7 from Ping; answering", "Ping: answer 1002 with 42"}}},
        {"KV_ErrorReport",
         {{}, {"Error Report: about to fail on purpose in XPluginEnable", "KeyError: 'altitude'"}, 1}},
        {"KV_NavAids",
         {{"Nav Aids: aircraft at 47.4502 -122.3088", "Nav Aids: nearest airport KSEA (Seattle-Tacoma Intl) 0.1 nm",
           "Nav Aids: nearest VOR SEA (SEATTLE VORTAC) 0.9 nm, 116.80 MHz",
           "Nav Aids: nearest NDB BF (NOLLA LOM-NDB) 8.7 nm, 362 kHz",
           "Nav Aids: nearest ILS ISEA (KSEA 34R ILS-cat-I) 0.9 nm, 110.30 MHz",
           "Nav Aids: nearest fix FOURT (FOURT) 4.1 nm", "Nav Aids: flight plan of 5 entries, flying to entry 1",
           "Nav Aids: 0 airport KSEA    433 ft at 47.4490 -122.3093",
           "Nav Aids: 1 VOR     SEA    3000 ft at 47.4354 -122.3097",
           "Nav Aids: 2 lat/lon -      5000 ft at 47.6500 -122.4500",
           "Nav Aids: 3 fix     GLASR  4000 ft at 47.7600 -122.3200",
           "Nav Aids: 4 airport KPAE    606 ft at 47.9063 -122.2816", "Nav Aids: GPS destination VOR SEA",
           "Nav Aids: flight plan cleared, 0 entries"}}},
    };
    return expectations;
}

// Script names as the plug-in picks them from the folder.
std::vector<std::string> ExampleScripts() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(KORVANE_EXAMPLES_DIR)) {
        std::string name = entry.path().stem().string();
        bool marked = name.find("KV_") != std::string::npos || name.find("kv_") != std::string::npos;
        if (entry.path().extension() == ".py" && marked) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool HasLine(const std::string& text, const std::string& line) {
    return text.rfind(line + "\n", 0) == 0 || text.find("\n" + line + "\n") != std::string::npos;
}

TEST(EndToEnd, EveryExampleRunsBesideTheOthers) {
    const std::vector<std::string> examples = ExampleScripts();
    ASSERT_GE(examples.size(), ExampleExpectations().size());
    HostRun sim;
    HostResult run = sim.RunOn(KORVANE_EXAMPLES_DIR, 4);
    EXPECT_EQ(run.exitCode, 0) << run.report << run.errors;
    const std::string log = sim.LogFile();
    const std::string output = sim.OutputFile();

    int expectedTracebacks = 0;
    for (const std::string& example : examples) {
        SCOPED_TRACE(example);
        EXPECT_EQ(CountOccurrences(log, "'" + example + "' successfully loaded\n"), 1) << log;
        auto found = ExampleExpectations().find(example);
        if (found == ExampleExpectations().end()) continue;
        const ExampleExpectation& expectation = found->second;
        for (const std::string& line : expectation.outputLines) EXPECT_TRUE(HasLine(output, line)) << output;
        for (const std::string& line : expectation.logLines) EXPECT_NE(log.find(line), std::string::npos) << log;
        if (expectation.tracebacks > 0) {
            EXPECT_NE(log.find("/" + example + ".py\""), std::string::npos) << "its traceback names it\n" << log;
        }
        expectedTracebacks += expectation.tracebacks;
    }
    EXPECT_EQ(CountOccurrences(log, "Traceback (most recent call last):"), expectedTracebacks) << log;
    // Examples teach tidy habits: they undo what they register and return proper texts.
    EXPECT_EQ(CountOccurrences(log, "behind at stop"), 0) << log;
    EXPECT_EQ(CountOccurrences(log, "must return"), 0) << log;
    EXPECT_TRUE(log.ends_with("--- LOGGING STOPPED ---\n\n")) << log;
    // korvane-host's report shows the same output, and the console carried it.
    EXPECT_NE(run.report.find("[print] Hello from a Python script plug-in\n"), std::string::npos) << run.report;
    EXPECT_NE(run.report.find("XPluginStart returned 1 (Korvane, quindle.projects.korvane, Korvane Plugin)"),
              std::string::npos);
    // Menus are reported as they stood before stop removed them.
    EXPECT_NE(run.report.find("\n===== Menus =====\nOpen at the end of the run:\nPlugins\n  Command Example\n"
                              "    Approach Configuration\n  Menu Example\n    Landing Lights [x]\n"
                              "    Radio Panel [x]\n"),
              std::string::npos)
        << run.report;
    // What was open when the run ended; the scripts' own stops closed it all.
    EXPECT_NE(run.report.find("window 0x515700000001: left 20, top 740, right 300, bottom 670, visible, refcon 0\n"
                              "window 0x515700000002: left 100, top 400, right 400, bottom 200, hidden, refcon 7\n"
                              "hot key 0x4b4800000001: virtual key 119, flags 8, \"Korvane example: say hello\"\n"),
              std::string::npos)
        << run.report;
    EXPECT_EQ(run.report.find("after XPluginStop"), std::string::npos) << run.report;
    EXPECT_NE(run.report.find("\n===== Commands =====\ncreated by scripts:\n"
                              "  korvane/examples/approach_configuration: \"Flaps down a notch and gear down\"\n"
                              "handlers at the end of the run:\n"
                              "  sim/flight_controls/flaps_down: 1 after\n"
                              "  sim/flight_controls/brakes_regular: 1 after\n"
                              "  korvane/examples/approach_configuration: 1 before\n"),
              std::string::npos)
        << run.report;
}

TEST(EndToEnd, EventsFilesAreCheckedBeforeTheRunAndPlayedOnTime) {
    HostRun sim;
    std::ofstream(sim.Scripts() / "KV_Keys.py") << R"(
import XPLMDisplay as D
class Korvane:
    def XPluginStart(self):
        D.XPLMRegisterKeySniffer(self, self.Sniff, 1, 3)
        w, h = [], []
        D.XPLMGetScreenSize(w, h)
        print('screen %d %d' % (w[0], h[0]))
        return 'Keys', 'kv.e2e.keys', 'prints keys'
    def XPluginEnable(self):
        return 1
    def XPluginStop(self):
        D.XPLMUnregisterKeySniffer(self, self.Sniff, 1, 3)
    def Sniff(self, char, flags, vkey, refcon):
        x, y = [], []
        D.XPLMGetMouseLocation(x, y)
        print('key %d %d %d at %d %d' % (char, flags, vkey, x[0], y[0]))
        return 1
)";
    const fs::path events = sim.Scripts() / "input.txt";
    std::ofstream(events) << "# keys\n0.1 key char=a  # a\n\n0.2 mouse click 5 6\n0.25 mouse wheel 7 8 0 -2\n"
                             "0.3 key vkey=0x70 flags=ctrl,up\n";
    HostResult run = sim.Execute({"--root", sim.Scripts().parent_path().string(), "--scripts", sim.Scripts().string(),
                                  "--seconds", "1", "--events", events.string(), "--screen", "800x600"});
    EXPECT_EQ(run.exitCode, 0) << run.report << run.errors;
    EXPECT_NE(sim.OutputFile().find("screen 800 600\n"), std::string::npos) << sim.OutputFile();
    EXPECT_NE(sim.OutputFile().find("key 97 8 65 at 0 0\nkey 0 20 112 at 7 8\n"), std::string::npos)
        << sim.OutputFile();

    // Each malformed line is refused, with its number, before anything runs.
    for (const char* bad : {"0.1 key\n", "later key char=a\n", "0.1 keys char=a\n", "0.1 key vkey=300\n",
                            "0.1 key char=a flags=hyper\n", "0.1 mouse down 1\n", "0.1 mouse hover 1 2\n",
                            "0.1 mouse wheel 1 2 0\n", "0.1 mouse wheel 1 2 5 1\n",
                            "0.1 menu\n", "0.1 menu Plugins\n"}) {
        std::ofstream(events) << "0.0 key char=a\n" << bad;
        HostResult refused = sim.Execute({"--root", sim.Scripts().parent_path().string(), "--events", events.string()});
        EXPECT_NE(refused.exitCode, 0) << bad;
        EXPECT_NE(refused.errors.find(events.string() + ":2: "), std::string::npos) << bad << refused.errors;
        EXPECT_EQ(refused.report.find("XPluginStart"), std::string::npos) << bad;
    }
}

TEST(EndToEnd, MalformedCommandLinesAreRefusedPolitely) {
    HostRun sim;
    const std::string missing = (sim.Scripts() / "no-such").string();
    for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
             {"--scripts", missing},
             {"--root", missing},
             {"--plugin", missing},
             {"--events", missing},
             {"--report", missing + "/run.json"},
             {"--seconds", "soon"},
             {"--seconds", "-1"},
             {"--seconds", "nan"},
             {"--seconds", ""},
             {"--seconds"},
             {"--screen", "1024"},
             {"--frobnicate", "1"},
             {"loose"},
         }) {
        std::string line;
        for (const std::string& argument : arguments) line += " '" + argument + "'";
        HostResult refused = sim.Execute(arguments);
        EXPECT_EQ(refused.exitCode, 2) << line << "\n" << refused.errors;
        EXPECT_EQ(refused.errors.rfind("korvane-host: ", 0), 0u) << line << "\n" << refused.errors;
        EXPECT_EQ(refused.report.find("XPluginStart"), std::string::npos) << line;
    }
    HostResult help = sim.Execute({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.report.rfind("usage: korvane-host", 0), 0u) << help.report;
}

// A script's entry methods around a body; `start` and `stop` go into XPluginStart and XPluginStop.
std::string ScriptWithFlightLoop(const std::string& name, const std::string& loopBody, const std::string& stop) {
    return "import XPLMProcessing as P\n"
           "class Korvane:\n"
           "    def XPluginStart(self):\n"
           "        P.XPLMRegisterFlightLoopCallback(self, self.Loop, -1.0, 0)\n"
           "        return '" + name + "', 'kv.e2e." + name + "', 'a flight loop'\n"
           "    def XPluginEnable(self):\n"
           "        return 1\n"
           "    def XPluginDisable(self):\n"
           "        pass\n"
           "    def XPluginStop(self):\n"
           "        " + stop + "\n"
           "    def Loop(self, since, elapsed, counter, refcon):\n"
           "        " + loopBody + "\n"
           "        return -1.0\n"
           "    def XPluginReceiveMessage(self, sender, message, param):\n"
           "        pass\n";
}

const std::string kUnregister = "P.XPLMUnregisterFlightLoopCallback(self, self.Loop, 0)";

std::string LastLines(const std::string& text, int count) {
    std::size_t from = text.size();
    for (int i = 0; i <= count && from != std::string::npos && from > 0; ++i) from = text.rfind('\n', from - 1);
    return from == std::string::npos ? text : text.substr(from + 1);
}

TEST(EndToEnd, StrictRunsFailOnRaisingScriptsAndTheReportSaysWhere) {
    HostRun sim;
    std::ofstream(sim.Scripts() / "KV_Good.py") << ScriptWithFlightLoop("Good", "pass", kUnregister);
    // The raise is on line 13 of the file.
    std::ofstream(sim.Scripts() / "KV_Raising.py") << ScriptWithFlightLoop("Raising", "1 / 0", kUnregister);
    const std::string scripts = sim.Scripts().string();
    const std::string reportFile = (sim.Scripts().parent_path() / "run.json").string();

    HostResult lenient = sim.Execute({"--scripts", scripts, "--seconds", "0.5", "--report", reportFile});
    EXPECT_EQ(lenient.exitCode, 0) << lenient.report << lenient.errors;
    EXPECT_EQ(lenient.report.find("===== Strict run"), std::string::npos);

    HostResult strict = sim.Execute({"--scripts", scripts, "--seconds", "0.5", "--strict", "--report", reportFile});
    EXPECT_EQ(strict.exitCode, 1) << strict.report << strict.errors;
    EXPECT_EQ(LastLines(strict.report, 2),
              "===== Strict run =====\n"
              "failed: KV_Raising: FlightLoopCallback raised ZeroDivisionError: division by zero (KV_Raising.py:13)\n")
        << strict.report;

    const auto report = nlohmann::json::parse(ReadFile(reportFile));
    EXPECT_EQ(report["simulatedSeconds"], 0.5);
    EXPECT_EQ(report["passed"], false);
    ASSERT_EQ(report["runs"].size(), 1u) << report.dump(2);
    const auto& run = report["runs"][0];
    ASSERT_EQ(run["scripts"].size(), 2u) << run.dump(2);
    EXPECT_EQ(run["scripts"][1], nlohmann::json({{"module", "KV_Raising"}, {"name", "Raising"},
                                                 {"signature", "kv.e2e.Raising"}, {"description", "a flight loop"},
                                                 {"loaded", true}, {"enabled", true}}));
    ASSERT_EQ(run["errors"].size(), 1u) << run.dump(2);
    const auto& error = run["errors"][0];
    EXPECT_EQ(error["script"], "KV_Raising");
    EXPECT_EQ(error["where"], "FlightLoopCallback");
    EXPECT_EQ(error["type"], "ZeroDivisionError");
    EXPECT_EQ(error["message"], "division by zero");
    // The author's file, not the copy the run used.
    EXPECT_EQ(error["file"], (sim.Scripts() / "KV_Raising.py").string());
    EXPECT_EQ(error["line"], 13);
    // A failed flight loop is called again a second later: once in this run.
    EXPECT_EQ(error["count"], 1);
    EXPECT_EQ(run["registrationsAtStop"], nlohmann::json::array());
}

TEST(EndToEnd, StrictRunsFailOnRegistrationsLeftBehindAndWritesToStandardError) {
    HostRun sim;
    std::ofstream(sim.Scripts() / "KV_Leaves.py") << ScriptWithFlightLoop("Leaves", "pass", "pass");
    std::ofstream(sim.Scripts() / "KV_Complains.py")
        << ScriptWithFlightLoop("Complains", "pass", kUnregister + "; import sys; sys.stderr.write('bye\\n')");
    HostResult strict = sim.Execute({"--scripts", sim.Scripts().string(), "--seconds", "0.2", "--strict"});
    EXPECT_EQ(strict.exitCode, 1) << strict.report << strict.errors;
    EXPECT_EQ(LastLines(strict.report, 3),
              "===== Strict run =====\n"
              "failed: KV_Leaves: left registrations behind at stop: FlightLoop 1\n"
              "failed: KV_Complains: wrote to standard error (1 writes, first: bye)\n")
        << strict.report;
}

TEST(EndToEnd, StrictRunsCountCommandHandlersLeftBehindAndTheReportListsCommands) {
    HostRun sim;
    std::ofstream(sim.Scripts() / "KV_Keeps.py") << R"(
import XPLMUtilities as U
class Korvane:
    def XPluginStart(self):
        self.mine = U.XPLMCreateCommand('kv/e2e/mine', 'Mine')
        U.XPLMRegisterCommandHandler(self, self.mine, self.Handle, 1, 0)
        U.XPLMRegisterCommandHandler(self, U.XPLMFindCommand('sim/view/chase'), self.Handle, 0, 0)
        return 'Keeps', 'kv.e2e.keeps', 'keeps its command handlers'
    def XPluginEnable(self):
        return 1
    def XPluginDisable(self):
        pass
    def XPluginStop(self):
        pass
    def XPluginReceiveMessage(self, sender, message, param):
        pass
    def Handle(self, command, phase, refcon):
        return 1
)";
    const std::string reportFile = (sim.Scripts().parent_path() / "run.json").string();
    HostResult strict =
        sim.Execute({"--scripts", sim.Scripts().string(), "--seconds", "0.2", "--strict", "--report", reportFile});
    EXPECT_EQ(strict.exitCode, 1) << strict.report << strict.errors;
    EXPECT_EQ(LastLines(strict.report, 2),
              "===== Strict run =====\n"
              "failed: KV_Keeps: left registrations behind at stop: CommandHandler 2\n")
        << strict.report;
    EXPECT_NE(strict.report.find("'KV_Keeps' left 2 host registration(s) behind at stop"), std::string::npos);
    EXPECT_EQ(strict.report.find("after XPluginStop"), std::string::npos) << "Korvane removed them";
    const auto report = nlohmann::json::parse(ReadFile(reportFile));
    EXPECT_EQ(report["commands"],
              nlohmann::json::parse(R"({"created": [{"name": "kv/e2e/mine", "description": "Mine"}],
                  "handlersAtEnd": [{"command": "sim/view/chase", "before": 0, "after": 1},
                                    {"command": "kv/e2e/mine", "before": 1, "after": 0}],
                  "handlersAfterStop": []})"))
        << report.dump(2);
}

// Widgets a script made without naming itself (XPCreateWidget, XPUCreateWidgets, also
// through a helper module, also from a callback defined there) and left open are that
// script's in the strict verdict and the report, and its widget callbacks are counted.
TEST(EndToEnd, WidgetsLeftOpenAreTheScriptsAndTheirCallbacksAreCounted) {
    HostRun sim;
    std::ofstream(sim.Scripts() / "dialog_helper.py") << R"(
import XPWidgets as W, XPStandardWidgets as S, XPWidgetUtils as U, XPLMProcessing as P
def dialog():
    ids = []
    U.XPUCreateWidgets([[100, 400, 300, 200, 1, 'Dialog', 1, U.NO_PARENT, S.xpWidgetClass_MainWindow],
                        [120, 380, 200, 360, 1, 'OK', 0, 0, S.xpWidgetClass_Button]], 2, 0, ids)
def later(sinceCall, sinceLoop, counter, refcon):
    W.XPCreateWidget(400, 400, 500, 300, 1, 'Later', 1, 0, S.xpWidgetClass_MainWindow)
    return 0
)";
    std::ofstream(sim.Scripts() / "KV_Dialog.py") << R"(
import XPWidgets as W, XPLMProcessing as P
import dialog_helper
class Korvane:
    def XPluginStart(self):
        return 'Dialog', 'kv.e2e.dialog', 'leaves its dialog open'
    def XPluginEnable(self):
        dialog_helper.dialog()
        W.XPCreateCustomWidget(self, 10, 100, 60, 50, 1, 'Custom', 1, 0, self.custom)
        P.XPLMRegisterFlightLoopCallback(self, dialog_helper.later, -1.0, 0)
        return 1
    def custom(self, message, widget, param1, param2):
        return 0
    def XPluginDisable(self):
        pass
    def XPluginStop(self):
        P.XPLMUnregisterFlightLoopCallback(self, dialog_helper.later, 0)
)";
    const std::string reportFile = (sim.Scripts().parent_path() / "run.json").string();
    HostResult strict = sim.Execute(
        {"--scripts", sim.Scripts().string(), "--seconds", "0.5", "--strict", "--profile", "--report", reportFile});
    EXPECT_EQ(strict.exitCode, 1) << strict.report << strict.errors;
    EXPECT_EQ(strict.report.find("XPWidgets: left"), std::string::npos) << strict.report;
    EXPECT_NE(strict.report.find("failed: KV_Dialog: left registrations behind at stop: "), std::string::npos)
        << strict.report;

    const auto report = nlohmann::json::parse(ReadFile(reportFile));
    const auto& run = report["runs"][0];
    ASSERT_EQ(run["registrationsAtStop"].size(), 1u) << run.dump(2);
    EXPECT_EQ(run["registrationsAtStop"][0]["script"], "KV_Dialog");
    EXPECT_EQ(run["registrationsAtStop"][0]["registrations"]["CreatedWidget"], 4) << run.dump(2);
    bool widgetCallsCounted = false;
    for (const auto& calls : run["callbackCalls"])
        widgetCallsCounted |= calls["script"] == "KV_Dialog" && calls["kind"] == "UserWidgetCallback" &&
                              calls["calls"].get<int>() > 0;
    EXPECT_TRUE(widgetCallsCounted) << run.dump(2);
}

TEST(EndToEnd, StrictRunsFailWhenThePluginReportsNothing) {
    HostRun sim;
    const fs::path notAPlugin = sim.Scripts() / "not-a-plugin.xpl";
    std::ofstream(notAPlugin) << "text\n";
    const fs::path reportFile = sim.Scripts() / "run.json";
    HostResult strict = sim.Execute({"--root", sim.Scripts().parent_path().string(), "--plugin", notAPlugin.string(),
                                     "--seconds", "0.1", "--strict", "--report", reportFile.string()});
    EXPECT_EQ(strict.exitCode, 1) << strict.report << strict.errors;
    EXPECT_EQ(LastLines(strict.report, 2),
              "===== Strict run =====\n"
              "failed: Korvane: the plug-in reported nothing: no interpreter ran (see the simulator log)\n")
        << strict.report;
    const auto report = nlohmann::json::parse(ReadFile(reportFile));
    EXPECT_EQ(report["passed"], false);
    EXPECT_EQ(report["runs"], nlohmann::json::array());
}

TEST(EndToEnd, WatchModeRunsEditedScriptsPromptlyAndStopsCleanlyOnInterrupt) {
    HostRun sim;
    const fs::path script = sim.ScriptsFolder() / "KV_Watched.py";
    fs::create_directories(sim.ScriptsFolder());
    std::ofstream(script) << ScriptWithFlightLoop("Watched", "print('version 1')", kUnregister);
    pid_t host = sim.Spawn({"--root", sim.Scripts().parent_path().string(), "--watch"});
    ASSERT_NE(host, 0);
    auto waitFor = [&](const std::string& text) {
        const auto start = std::chrono::steady_clock::now();
        while (sim.OutputFile().find(text) == std::string::npos &&
               std::chrono::steady_clock::now() - start < std::chrono::seconds(60))
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return std::chrono::steady_clock::now() - start;
    };
    waitFor("version 1\n");
    std::ofstream(script) << ScriptWithFlightLoop("Watched", "print('version 2')", kUnregister);
    // Usually a few tenths of a second: the folder is looked at every frame.
    EXPECT_LT(waitFor("version 2\n"), korvane::testing::TimeLimit(std::chrono::milliseconds(500))) << sim.LogFile();
    ::kill(host, SIGINT);
    HostResult run = sim.Finish(host);
    EXPECT_EQ(run.exitCode, 0) << run.report << run.errors;
    EXPECT_NE(run.report.find("===== Reload (KV_Watched.py changed) =====\n--- LOGGING STOPPED ---\n"),
              std::string::npos)
        << run.report;
    EXPECT_TRUE(sim.LogFile().ends_with("'KV_Watched' successfully loaded\n--- LOGGING STOPPED ---\n\n"))
        << sim.LogFile();
}

}  // namespace

// Profiling names the script that costs the time: a flight loop sleeping 2 ms comes
// first with its time per call, the quick one after it; without --profile no table.
TEST(EndToEnd, ProfileNamesTheCostliestScriptFirst) {
    HostRun sim;
    const char* loop = R"(
import time
import XPLMProcessing

class Korvane:
    def XPluginStart(self):
        XPLMProcessing.XPLMRegisterFlightLoopCallback(self, self.loop, -1.0, 0)
        return '%s', 'kv.e2e.%s', 'Flight loop'
    def loop(self, sinceCall, sinceLoop, counter, refcon):
        %s
        return -1.0
    def XPluginEnable(self):
        return 1
    def XPluginDisable(self):
        pass
    def XPluginStop(self):
        XPLMProcessing.XPLMUnregisterFlightLoopCallback(self, self.loop, 0)
    def XPluginReceiveMessage(self, sender, message, param):
        pass
)";
    char source[1024];
    std::snprintf(source, sizeof source, loop, "Slow", "slow", "time.sleep(0.002)");
    std::ofstream(sim.Scripts() / "KV_Slow.py") << source;
    std::snprintf(source, sizeof source, loop, "Fast", "fast", "pass");
    std::ofstream(sim.Scripts() / "KV_Fast.py") << source;

    HostResult run = sim.RunOn(sim.Scripts(), 1.0, {"--profile"});
    ASSERT_EQ(run.exitCode, 0) << run.report << run.errors;
    const std::size_t section = run.report.find("===== Dispatch costs =====\n");
    ASSERT_NE(section, std::string::npos) << run.report;
    std::istringstream table(run.report.substr(section));
    std::string line, header, first, second;
    std::getline(table, line);
    std::getline(table, line);
    std::getline(table, header);
    std::getline(table, first);
    std::getline(table, second);
    EXPECT_NE(header.find("\u00b5s per call"), std::string::npos) << run.report.substr(section);
    std::istringstream slow(first);
    std::string script, kind;
    unsigned long calls = 0;
    double totalMs = 0, perCallUs = 0;
    slow >> script >> kind >> calls >> totalMs >> perCallUs;
    EXPECT_EQ(script, "KV_Slow");
    EXPECT_EQ(kind, "FlightLoopCallback");
    EXPECT_NEAR(static_cast<double>(calls), 20.0, 1.0);  // a frame is 1/20 s
    EXPECT_GE(perCallUs, 2000.0);
    EXPECT_EQ(second.rfind("KV_Fast ", 0), 0u) << run.report.substr(section);
    EXPECT_NE(sim.LogFile().find("Dispatch costs, costliest first:\nscript"), std::string::npos);

    EXPECT_EQ(sim.RunOn(sim.Scripts(), 0.2).report.find("===== Dispatch costs"), std::string::npos);
    EXPECT_EQ(CountOccurrences(sim.LogFile(), "Dispatch costs"), 1);
}
