// The core's own parts linked directly: the sinks, the registry contents a start
// leaves, and the per-script calls, with the headless host behind them.
#include "core/core_state.h"
#include "core/python_lifecycle.h"
#include "core/reporting.h"
#include "core/script_calls.h"
#include "core/script_listing.h"
#include "tests/support/script_host.h"
#include "ui/panel_lists.h"

#include <gtest/gtest.h>

#include <tuple>

namespace korvane {
namespace {

using testing::CountOccurrences;
using testing::ReadFile;
using testing::ScriptHost;

class CoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim.MakeScriptsFolder();
        registry = std::make_unique<ScriptRegistry>();
    }
    void TearDown() override {
        StopPython(0);
        registry.reset();
    }
    ScriptHost sim;
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

    EXPECT_EQ(sim.Eval("q.PrintStderr(5)"), "<error: PrintStderr() argument 1 must be str, not int>");
    EXPECT_EQ(sim.LogFile().size(), logSize);
    EXPECT_EQ(sim.Eval("q.PrintStdout('out')"), "None");
    EXPECT_EQ(sim.OutputFile(), "out");
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
    std::filesystem::remove_all(sim.ScriptsFolder());
    StartPython(0);
    EXPECT_EQ(ScriptListText(), "DuvodeZuzedav Directory Error;");
    EXPECT_EQ(FirstScriptName(), "DuvodeZuzedav Directory Error");
}

}  // namespace
}  // namespace korvane
