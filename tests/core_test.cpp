// The core's own parts linked directly: the sinks, the registry contents a start
// leaves, and the per-script calls, with the headless host behind them.
#include "core/core_state.h"
#include "core/python_lifecycle.h"
#include "core/reporting.h"
#include "core/script_calls.h"
#include "core/script_listing.h"
#include "host/host_state.h"
#include "tests/support/core_session.h"
#include "tests/support/script_host.h"
#include "ui/panel_lists.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

namespace korvane {
namespace {

using testing::CountOccurrences;
using testing::ReadFile;
using testing::ScriptHost;

class CoreTest : public testing::CoreSession {
protected:
    void SetUp() override {
        testing::CoreSession::SetUp();
        sim.MakeScriptsFolder();
    }
};

TEST_F(CoreTest, LogAndOutputLinesArriveWholeAndInOrder) {
    WriteLog("a");
    WriteLog("b\n");
    std::string longLine(1000, 'x');
    WriteLog(longLine + "\n");
    EXPECT_EQ(sim.LogFile(), "ab\n" + longLine + "\n");

    WriteOutput(longLine);
    EXPECT_EQ(sim.OutputFile(), longLine);
    outputFileEnabled = 0;
    WriteOutput("lost");
    EXPECT_EQ(sim.OutputFile(), longLine);
    outputFileEnabled = 1;
}

// How many of this process's descriptors are open on the file at `path`.
int DescriptorsOpenOn(const std::filesystem::path& path) {
    const std::filesystem::path file = std::filesystem::weakly_canonical(path);
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        if (std::filesystem::read_symlink(entry.path(), error) == file && !error) ++count;
    }
    return count;
}

TEST_F(CoreTest, LogAndOutputFilesStayOpenFollowTheirPathAndCloseAtTheEnd) {
    const std::filesystem::path log = sim.ScriptsFolder() / "KorvaneLog.txt";
    const std::filesystem::path output = sim.ScriptsFolder() / "KorvaneOutput.txt";
    WriteLog("first\n");
    WriteOutput("one");
    EXPECT_EQ(DescriptorsOpenOn(log), 1);
    EXPECT_EQ(DescriptorsOpenOn(output), 1);
    WriteLog("again\n");
    EXPECT_EQ(DescriptorsOpenOn(log), 1);

    // A reader that rotates the log or deletes the output finds the next texts in a
    // new file at the path, and nothing is written to the old one.
    std::filesystem::rename(log, sim.ScriptsFolder() / "KorvaneLog.old");
    std::filesystem::remove(output);
    WriteLog("second\n");
    WriteOutput("two");
    EXPECT_EQ(ReadFile(sim.ScriptsFolder() / "KorvaneLog.old"), "first\nagain\n");
    EXPECT_EQ(sim.LogFile(), "second\n");
    EXPECT_EQ(sim.OutputFile(), "two");

    CloseReportFiles();
    EXPECT_EQ(DescriptorsOpenOn(log) + DescriptorsOpenOn(output), 0);
    WriteLog("third\n");
    EXPECT_EQ(sim.LogFile(), "second\nthird\n");
}

TEST_F(CoreTest, ConsoleTextsCarryTheirCommandAndClearsAreEmpty) {
    SendToConsole(1, "shown");
    SendToConsole(2, "");
    std::vector<host::ConsoleText> texts = sim.ConsoleTexts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].command, 1u);
    EXPECT_EQ(texts[0].text, "shown");
    EXPECT_EQ(texts[1].command, 2u);
    EXPECT_EQ(texts[1].text, "");
}

TEST_F(CoreTest, ErrorReportsReachLogConsoleAndPrintList) {
    ReportError("XPLMPlugin", "XPLMSendMessageToPlugin", "Parameter Error");
    const std::string line = "Module - XPLMPlugin, Function - XPLMSendMessageToPlugin, Error = Parameter Error\n";
    EXPECT_EQ(sim.LogFile(), line);
    ASSERT_EQ(sim.ConsoleTexts().size(), 1u);
    EXPECT_EQ(sim.ConsoleTexts()[0].text, line);
    EXPECT_NE(PrintPendingText().find("Module - XPLMPlugin, Function -"), std::string::npos);
}

TEST_F(CoreTest, StartRecordsWhatEachScriptReturned) {
    sim.AddScript("KV_Info", "class Korvane:\n"
                             "    def XPluginStart(self): return ('Info', 'kv.info', 'Tells about itself')\n");
    sim.AddScript("KV_Odd", "class Korvane:\n    def XPluginStart(self): return 42\n");
    StartPython(0);
    ASSERT_EQ(registry->ScriptCount(), 2);
    const ScriptRecord* info = registry->FindScript(registry->FindScriptByModuleName("KV_Info"));
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->name, "Info");
    EXPECT_EQ(info->signature, "kv.info");
    EXPECT_EQ(info->description, "Tells about itself");
    // A start that returns something else leaves the texts empty and says why.
    const ScriptRecord* odd = registry->FindScript(registry->FindScriptByModuleName("KV_Odd"));
    EXPECT_EQ(odd->name, "");
    EXPECT_NE(sim.LogFile().find("XPluginStart must return a tuple of three strings, not int"), std::string::npos);
    EXPECT_EQ(ScriptListText(), "KV_Info;KV_Odd;");
    EXPECT_EQ(FirstScriptName(), "KV_Info");
}

TEST_F(CoreTest, ALastScriptWithoutTheClassLeavesTheOthersStartedAsThemselves) {
    sim.AddScript("KV_A", "class Korvane:\n    def XPluginStart(self): return ('A', 'kv.a', 'first')\n");
    sim.AddScript("KV_B", "class Korvane:\n    def XPluginStart(self): return ('B', 'kv.b', 'second')\n");
    sim.AddScript("KV_Z", "x = 1\n");
    StartPython(0);
    ASSERT_EQ(registry->ScriptCount(), 2);
    for (auto [module, name, signature] : {std::tuple("KV_A", "A", "kv.a"), std::tuple("KV_B", "B", "kv.b")}) {
        const ScriptRecord* record = registry->FindScript(registry->FindScriptByModuleName(module));
        ASSERT_NE(record, nullptr) << module;
        EXPECT_EQ(record->name, name);
        EXPECT_EQ(record->signature, signature);
    }
    std::string log = sim.LogFile();
    EXPECT_EQ(CountOccurrences(log, "Korvane Class Missing\n"), 1) << log;
    EXPECT_EQ(CountOccurrences(log, "SystemError"), 0) << log;
}

TEST_F(CoreTest, DisabledScriptsGetNoCallsAtAll) {
    sim.AddScript("KV_Quiet", "import sys\n"
                              "class Korvane:\n"
                              "    def XPluginStart(self): return ('q', 'q', 'q')\n"
                              "    def XPluginEnable(self): sys.stderr.write('enabled\\n')\n"
                              "    def XPluginStop(self): sys.stderr.write('stopped\\n')\n");
    StartPython(0);
    PyObject* script = registry->ScriptAt(0);
    registry->SetScriptEnabled(script, 0);
    EXPECT_EQ(CallScriptEnable(script), 0);
    EXPECT_EQ(CallScriptReceiveMessage(script, 1, 2, 3), 0);
    StopPython(0);
    EXPECT_EQ(CountOccurrences(sim.LogFile(), "enabled\n"), 0);
    EXPECT_EQ(CountOccurrences(sim.LogFile(), "stopped\n"), 0);
}

TEST_F(CoreTest, OutputSwitchStopsTheFileButNotTheConsole) {
    sim.AddScript("KV_Talk", "class Korvane:\n    def XPluginStart(self): return ('t', 't', 't')\n");
    StartPython(0);
    outputFileEnabled = 0;
    sim.Exec("print('quiet')");
    EXPECT_FALSE(std::filesystem::exists(sim.ScriptsFolder() / "KorvaneOutput.txt"));
    ASSERT_GE(sim.ConsoleTexts().size(), 2u);
    EXPECT_EQ(sim.ConsoleTexts()[0].text, "quiet");
    StopPython(0);
    StartPython(0);  // every start writes the file again
    sim.Exec("print('loud')");
    EXPECT_EQ(sim.OutputFile(), "loud\n");
}

TEST_F(CoreTest, ScriptUtilitiesFeedConsoleAndListsButNotFiles) {
    StartPython(0);
    sim.Exec("import QuindleUtilities as q\n"
             "results = [q.QuindlePrint('hello'), q.QuindleDisplay('shown'), q.QuindleClearDisplay(),\n"
             "           q.QuindleClearPrint('ignored', 1)]\n");
    EXPECT_EQ(sim.Eval("results"), "[0, 0, 0, 0]");
    std::vector<host::ConsoleText> texts = sim.ConsoleTexts();
    std::vector<host::ConsoleText> expected = {{3, "hello"}, {1, "shown"}, {2, ""}, {4, ""}};
    EXPECT_EQ(texts, expected);
    EXPECT_TRUE(PrintPendingText().ends_with("hello;"));
    EXPECT_TRUE(DisplayPendingText().ends_with("shown;"));
    EXPECT_FALSE(std::filesystem::exists(sim.ScriptsFolder() / "KorvaneOutput.txt"));
    std::size_t logSize = sim.LogFile().size();

    EXPECT_EQ(sim.Eval("q.PrintStderr(5)"), "<error: expected str or bytes, not int>");
    EXPECT_EQ(sim.LogFile().size(), logSize);
    EXPECT_EQ(sim.Eval("q.PrintStdout('out')"), "None");
    EXPECT_EQ(sim.OutputFile(), "out");
}

// Notes every entry call and the interpreter's exit in calls.txt beside the script,
// a record that outlives the interpreter.
std::string JournalingScript(const std::string& label) {
    return "import atexit, os\n"
           "journal = os.path.join(os.path.dirname(__file__), 'calls.txt')\n"
           "def note(event):\n"
           "    with open(journal, 'a') as f: f.write('" + label + ".' + event + '\\n')\n"
           "atexit.register(note, 'exit')\n"
           "class Korvane:\n"
           "    instances = 0\n"
           "    def __init__(self): Korvane.instances += 1\n"
           "    def XPluginStart(self):\n"
           "        note('start')\n"
           "        return ('" + label + "', '" + label + "', '" + label + "')\n"
           "    def XPluginEnable(self):\n"
           "        note('enable')\n"
           "        return 1\n"
           "    def XPluginDisable(self): note('disable')\n"
           "    def XPluginStop(self): note('stop')\n";
}

TEST_F(CoreTest, ReloadStopsEveryScriptThenStartsAndEnablesThemInAFreshInterpreter) {
    sim.AddScript("KV_A", JournalingScript("A"));
    sim.AddScript("KV_B", JournalingScript("B"));
    StartPython(1);
    const std::filesystem::path journal = sim.ScriptsFolder() / "calls.txt";
    EXPECT_EQ(ReadFile(journal), "A.start\nA.enable\nB.start\nB.enable\n");
    sim.Exec("import sys\nsys.left_by_the_old_interpreter = 1");
    std::filesystem::remove(journal);

    StopPython(1);
    EXPECT_FALSE(Py_IsInitialized());
    StartPython(1);
    // Exit handlers run (last registered first) between the stops and the starts.
    EXPECT_EQ(ReadFile(journal), "A.disable\nA.stop\nB.disable\nB.stop\nB.exit\nA.exit\n"
                                 "A.start\nA.enable\nB.start\nB.enable\n");
    EXPECT_EQ(sim.Eval("hasattr(__import__('sys'), 'left_by_the_old_interpreter')"), "False");
    EXPECT_EQ(sim.Eval("[__import__(name).Korvane.instances for name in ('KV_A', 'KV_B')]"), "[1, 1]");
    EXPECT_EQ(registry->ScriptCount(), 2);
    EXPECT_EQ(CountOccurrences(sim.LogFile(), "'KV_A' successfully loaded\n"), 2);
}

TEST_F(CoreTest, StopAfterAStopCallsNoScriptButLogsTheBannerAgain) {
    sim.AddScript("KV_A", JournalingScript("A"));
    StartPython(1);
    StopPython(1);  // the control panel's Stop
    const std::filesystem::path journal = sim.ScriptsFolder() / "calls.txt";
    EXPECT_EQ(ReadFile(journal), "A.start\nA.enable\nA.disable\nA.stop\nA.exit\n");
    const std::string banner = "--- LOGGING STOPPED ---\n\n";
    EXPECT_TRUE(sim.LogFile().ends_with(banner));

    StopPython(0);  // then the simulator's XPluginStop
    StopPython(1);
    EXPECT_EQ(ReadFile(journal), "A.start\nA.enable\nA.disable\nA.stop\nA.exit\n");
    EXPECT_TRUE(sim.LogFile().ends_with(banner + banner + banner)) << sim.LogFile();
    EXPECT_FALSE(Py_IsInitialized());
}

TEST_F(CoreTest, ListingLargerThanTheFirstBuffersListsAndLoadsEveryScriptInOrder) {
    // 300 names of 76 bytes: several times the first name buffer, more than its first indices.
    std::vector<std::string> names;
    std::string loadedLines;
    for (int i = 0; i < 300; ++i) {
        std::string number = std::to_string(1000 + i).substr(1);
        names.push_back("KV_Script_with_a_name_long_enough_to_outgrow_the_first_listing_buffer_" + number);
        sim.AddScript(names.back(), "class Korvane:\n    def XPluginStart(self): return ('n', 's', 'd')\n");
        loadedLines += "'" + names.back() + "' successfully loaded\n";
    }
    sim.AddFile("notes.txt", "not a script");
    StartPython(1);
    EXPECT_EQ(ScriptNameTable(), names);
    EXPECT_EQ(registry->ScriptCount(), 300);
    EXPECT_NE(sim.LogFile().find(loadedLines), std::string::npos);
    EXPECT_EQ(FirstScriptName(), names.front());
    EXPECT_TRUE(ScriptListText().ends_with(names.back() + ";"));
}

TEST(ScriptNames, SourcesFirstThenCompiledOnlyOnes) {
    using Names = std::vector<std::string>;
    EXPECT_EQ(SelectScriptNames({"KV_B.pyc", "KV_A.pyc", "KV_A.py"}), (Names{"KV_A", "KV_B"}));
    EXPECT_EQ(SelectScriptNames({"KV_A.py", "KV_A.pyc", "KV_B.pyc"}), (Names{"KV_A", "KV_B"}));
    EXPECT_EQ(SelectScriptNames({"KV_a.b.py", "KV_c.d.pyc"}), (Names{"KV_a.b"}));
    // A listed name inside a compiled file's name makes it a twin.
    EXPECT_EQ(SelectScriptNames({"KV_A.py", "KV_AB.pyc"}), (Names{"KV_A"}));
    EXPECT_EQ(SelectScriptNames({"kv_tool.py", "MyKV_x.py", "Kv_tool.py", "KV_tool.PY", "KV_tool.txt", "KV_"}),
              (Names{"kv_tool", "MyKV_x"}));
    EXPECT_EQ(SelectScriptNames({}), Names{});
}

TEST_F(CoreTest, EmptyOrMissingFoldersAreMarkedForThePanel) {
    StartPython(0);
    EXPECT_EQ(ScriptListText(), "No Scripts Found;");
    EXPECT_EQ(FirstScriptName(), "No Scripts Found");
    StopPython(0);
    sim.AddScript("KV_Gone", "class Korvane:\n    def XPluginStart(self): return ('g', 'g', 'g')\n");
    StartPython(0);
    EXPECT_EQ(ScriptNameTable(), std::vector<std::string>{"KV_Gone"});
    StopPython(0);
    std::filesystem::remove_all(sim.ScriptsFolder());
    StartPython(0);
    EXPECT_EQ(ScriptListText(), "DuvodeZuzedav Directory Error;");
    EXPECT_EQ(FirstScriptName(), "DuvodeZuzedav Directory Error");
    EXPECT_TRUE(ScriptNameTable().empty()) << "the previous run's names stay listed";
}

// Registers a flight loop for itself and for a helper object from its constructor.
const char* kEarlyRegistrations = R"(
import XPLMProcessing as P
calls = []
class Helper:
    def loop(self, *args):
        calls.append('helper loop')
        return -1
    def XPluginEnable(self):
        calls.append('helper enabled')
    def XPluginDisable(self):
        calls.append('helper disabled')
    def XPluginStop(self):
        calls.append('helper stopped')
class Early:
    def __init__(self):
        self.helper = Helper()
        P.XPLMRegisterFlightLoopCallback(self, self.Loop, -1, 0)
        P.XPLMRegisterFlightLoopCallback(self.helper, self.helper.loop, -1, 0)
    def XPluginStart(self):
        calls.append('start')
        return ('Early', 'kv.early', 'registers from its constructor')
    def XPluginEnable(self):
        calls.append('enable')
        return 1
    def XPluginDisable(self):
        calls.append('disable')
    def XPluginStop(self):
        calls.append('stop')
        print(calls)
    def Loop(self, *args):
        calls.append('loop')
        return -1
)";

TEST_F(CoreTest, ScriptsWhoseConstructorRaisesKeepNothing) {
    sim.AddScript("KV_Broken", std::string(kEarlyRegistrations) +
                                   "class Korvane(Early):\n"
                                   "    def __init__(self):\n"
                                   "        super().__init__()\n"
                                   "        raise RuntimeError('constructor failed')\n");
    StartPython(1);
    EXPECT_EQ(registry->ScriptCount(), 0);
    EXPECT_EQ(registry->RecordCount(), 0);
    EXPECT_TRUE(host::LiveFlightLoops().empty());
    sim.Host().RunFrame();
    EXPECT_EQ(sim.Eval("__import__('KV_Broken').calls"), "[]");
    EXPECT_EQ(CountOccurrences(sim.LogFile(), "Korvane Call failed\n"), 1);
    EXPECT_EQ(CountOccurrences(sim.LogFile(), "'KV_Broken' made 2 host registration(s) before it failed; Korvane "
                                              "removed them\n"),
              1);
}

TEST_F(CoreTest, HelperObjectsGetTheirCallbacksButNoLifecycleCalls) {
    sim.AddScript("KV_Early", std::string(kEarlyRegistrations) +
                                  "class Korvane(Early):\n"
                                  "    def XPluginEnable(self):\n"
                                  "        super().XPluginEnable()\n"
                                  "        for i in range(3000):\n"
                                  "            h = Helper()\n"
                                  "            P.XPLMRegisterFlightLoopCallback(h, h.loop, -1, 0)\n"
                                  "            P.XPLMUnregisterFlightLoopCallback(h, h.loop, 0)\n"
                                  "        return 1\n");
    StartPython(1);
    // The script's constructor registrations made it no helper: it keeps its module name.
    ASSERT_EQ(registry->ScriptCount(), 1);
    EXPECT_EQ(registry->FindScript(registry->ScriptAt(0))->moduleName, "KV_Early");
    // Helpers made in a loop leave nothing behind: the script and the one kept helper.
    EXPECT_EQ(registry->RecordCount(), 2);
    EXPECT_EQ(sim.Eval("sum(isinstance(o, __import__('KV_Early').Helper) for o in __import__('gc').get_objects())"),
              "1");
    sim.Host().RunFrame();
    StopPython(1);
    EXPECT_EQ(sim.OutputFile(), "['start', 'enable', 'loop', 'helper loop', 'disable', 'stop']\n");
}

}  // namespace
}  // namespace korvane
