// Scripts as their authors see them: found in the scripts folder, imported, started,
// enabled, stopped, and their output and errors captured.
#include "tests/support/script_host.h"
#include "tests/support/time_limits.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

namespace korvane::testing {
namespace {

// A helper module (not a script: no KV_ in its name) that scripts record calls in.
const char* kJournal = "calls = []\n";

std::string RecordingScript(const std::string& label) {
    return "import journal\n"
           "class Korvane:\n"
           "    def XPluginStart(self):\n"
           "        journal.calls.append('" + label + ".start')\n"
           "        return ('" + label + " name', '" + label + ".sig', '" + label + " description')\n"
           "    def XPluginEnable(self):\n"
           "        journal.calls.append('" + label + ".enable')\n"
           "        return 1\n"
           "    def XPluginDisable(self):\n"
           "        journal.calls.append('" + label + ".disable')\n"
           "    def XPluginStop(self):\n"
           "        journal.calls.append('" + label + ".stop')\n"
           "    def XPluginReceiveMessage(self, sender, message, parameter):\n"
           "        journal.calls.append(('" + label + ".message', sender, message, parameter))\n";
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; start < text.size(); start = end + 1) {
        end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

std::string Journal(ScriptHost& sim) { return sim.Eval("__import__('journal').calls"); }

TEST(Scripts, LifecycleCallsReachEveryScriptInLoadOrder) {
    ScriptHost sim;
    sim.AddFile("journal.py", kJournal);
    sim.AddScript("KV_B", RecordingScript("B"));
    sim.AddScript("KV_A", RecordingScript("A"));
    sim.StartAndEnable();
    // Then the simulator announces the user's aircraft and airport.
    EXPECT_EQ(Journal(sim), "['A.start', 'B.start', 'A.enable', 'B.enable', ('A.message', 0, 102, 0), "
                            "('B.message', 0, 102, 0), ('A.message', 0, 103, 0), ('B.message', 0, 103, 0), "
                            "('A.message', 0, 104, 0), ('B.message', 0, 104, 0)]");

    sim.Host().SendMessage(5, 101, nullptr);
    EXPECT_EQ(sim.Eval("__import__('journal').calls[-1]"), "('B.message', 5, 101, 0)");

    sim.Exec("import journal\njournal.calls.clear()");
    sim.Disable();
    EXPECT_EQ(Journal(sim), "['A.disable', 'B.disable']");
    sim.Stop();
    std::string log = sim.LogFile();
    EXPECT_NE(log.find("'KV_A' successfully loaded\n'KV_B' successfully loaded\n"), std::string::npos) << log;
}

// A script that switches Korvane off and on from its XPluginStart, through the SDK or by
// calling Korvane's entry points itself, re-enters nothing: every script is started
// before any is enabled, and each is enabled once. A message to Korvane meanwhile is
// not delivered to scripts that have not all started.
TEST(Scripts, SwitchingKorvaneFromAStartReentersNothing) {
    const std::pair<const char*, const char*> ways[] = {
        {"SDK",
         "        PL.XPLMDisablePlugin(me)\n"
         "        PL.XPLMEnablePlugin(me)\n"
         "        PL.XPLMSendMessageToPlugin(me, 77, 0)\n"},
        {"entry points",
         "        path = []\n"
         "        PL.XPLMGetPluginInfo(me, None, path, None, None)\n"
         "        korvane = ctypes.CDLL(path[0])\n"
         "        korvane.XPluginDisable()\n"
         "        korvane.XPluginEnable()\n"
         "        korvane.XPluginReceiveMessage(me, 77, None)\n"},
    };
    for (const auto& [way, switching] : ways) {
        SCOPED_TRACE(way);
        ScriptHost sim;
        sim.AddFile("journal.py", kJournal);
        std::string switcher = RecordingScript("A");
        switcher.replace(switcher.find("        journal.calls.append('A.start')\n"), 0,
                         std::string("        me = PL.XPLMGetMyID()\n") + switching);
        sim.AddScript("KV_A", "import ctypes, XPLMPlugin as PL\n" + switcher);
        sim.AddScript("KV_B", RecordingScript("B"));
        sim.StartAndEnable();
        // Then the simulator's own start messages (plane, airport, scenery loaded), not the 77.
        EXPECT_EQ(Journal(sim),
                  "['A.start', 'B.start', 'A.enable', 'B.enable', ('A.message', 0, 102, 0), ('B.message', 0, 102, 0), "
                  "('A.message', 0, 103, 0), ('B.message', 0, 103, 0), ('A.message', 0, 104, 0), "
                  "('B.message', 0, 104, 0)]");
        EXPECT_EQ(sim.Eval("__import__('XPLMPlugin').XPLMIsPluginEnabled(__import__('XPLMPlugin').XPLMGetMyID())"),
                  "1");
        // (The simulator sends no messages to a plug-in that is not enabled yet.)
        if (std::string(way) == "entry points") {
            EXPECT_NE(sim.LogFile().find("Message 77 from plug-in "), std::string::npos) << sim.LogFile();
        }
        sim.DisableAndStop();
    }
}

TEST(Scripts, StopCallsOnlyTheStops) {
    ScriptHost sim;
    sim.AddScript("KV_A", "import sys\n"
                          "class Korvane:\n"
                          "    def XPluginStart(self): return ('a', 'a', 'a')\n"
                          "    def XPluginEnable(self): sys.stderr.write('enable\\n')\n"
                          "    def XPluginDisable(self): sys.stderr.write('disable\\n')\n"
                          "    def XPluginStop(self): sys.stderr.write('stop\\n')\n"
                          "    def XPluginReceiveMessage(self, sender, message, param): pass\n");
    sim.StartAndEnable();
    sim.DisableAndStop();
    std::string log = sim.LogFile();
    EXPECT_NE(log.find("enable\ndisable\nstop\n--- LOGGING STOPPED ---"), std::string::npos) << log;
}

TEST(Scripts, BrokenScriptsAreSkippedAndTheOthersLoad) {
    ScriptHost sim;
    sim.AddScript("KV_1Syntax", "class Korvane:\n    def XPluginStart(self) return 1\n");
    sim.AddScript("KV_2NoClass", "x = 1\n");
    sim.AddScript("KV_3Raises", "class Korvane:\n    def __init__(self):\n        raise RuntimeError('no luck')\n");
    sim.AddScript("KV_4Good", "class Korvane:\n    def XPluginStart(self): return ('good', 'good', 'good')\n");
    sim.StartAndEnable();
    sim.DisableAndStop();
    std::string log = sim.LogFile();
    EXPECT_NE(log.find("SyntaxError"), std::string::npos) << log;
    EXPECT_NE(log.find("'KV_1Syntax' failed to load\n"), std::string::npos);
    EXPECT_EQ(CountOccurrences(log, "Korvane Class Missing\n"), 1);
    EXPECT_NE(log.find("RuntimeError: no luck\nKorvane Call failed\n"), std::string::npos) << log;
    EXPECT_NE(log.find("'KV_4Good' successfully loaded\n"), std::string::npos);
    EXPECT_EQ(CountOccurrences(log, "successfully loaded"), 1);
}

TEST(Scripts, MissingEntryMethodsAreReportedAtEveryCall) {
    ScriptHost sim;
    sim.AddScript("KV_Partial", "class Korvane:\n    def XPluginStart(self): return ('p', 'p', 'p')\n");
    sim.StartAndEnable();
    sim.Disable();
    sim.Enable();
    sim.DisableAndStop();
    std::string log = sim.LogFile();
    EXPECT_EQ(CountOccurrences(log, "Cannot find method XPluginEnable\n"), 2);
    EXPECT_EQ(CountOccurrences(log, "Cannot find method XPluginStop\n"), 1);
    EXPECT_NE(log.find("AttributeError"), std::string::npos);
}

TEST(Scripts, PrintReachesTheOutputFileAndTheConsoleAsFragments) {
    ScriptHost sim;
    sim.AddScript("KV_Print", "class Korvane:\n"
                              "    def XPluginStart(self):\n"
                              "        print('abc')\n"
                              "        return ('p', 'p', 'p')\n"
                              "    def XPluginEnable(self): return 1\n"
                              "    def XPluginReceiveMessage(self, sender, message, param): pass\n");
    sim.StartAndEnable();
    EXPECT_EQ(sim.OutputFile(), "abc\n");
    std::vector<host::ConsoleText> texts = sim.ConsoleTexts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].command, 3u);
    EXPECT_EQ(texts[0].text, "abc");
    EXPECT_EQ(texts[1].text, "\n");
    sim.DisableAndStop();
}

// Text the host handed a script comes back with surrogate escapes, and any text may
// hold a NUL: all of it prints, and every line stays its own line in every sink.
TEST(Scripts, AnyTextPrintsAndEveryLineStaysALine) {
    using namespace std::string_literals;
    ScriptHost sim;
    sim.AddScript("KV_Odd", "import QuindleUtilities as q\n"
                            "class Korvane:\n"
                            "    def XPluginStart(self):\n"
                            "        print('raw \\udcff byte')\n"
                            "        print('before\\x00after')\n"
                            "        print('next')\n"
                            "        q.QuindleDisplay('shown \\udcfe')\n"
                            "        q.QuindlePrint(b'bytes \\xfd\\x00too\\n')\n"
                            "        raise ValueError('nul\\x00inside')\n"
                            "    def XPluginStop(self):\n"
                            "        q.PrintStderr('stopping\\n')\n");
    ASSERT_EQ(sim.Start(), 1);
    sim.Stop();
    EXPECT_EQ(sim.OutputFile(), "raw \xff byte\nbefore\0after\nnext\n"s);

    std::vector<std::string> logLines = Lines(sim.LogFile());
    auto error = std::find(logLines.begin(), logLines.end(), "ValueError: nul\0inside"s);
    ASSERT_NE(error, logLines.end()) << sim.LogFile();
    ASSERT_NE(std::next(error), logLines.end());
    EXPECT_EQ(*std::next(error), "stopping");

    std::string printed;
    for (const host::ConsoleText& text : sim.ConsoleTexts()) {
        if (text.command == 1) {
            EXPECT_EQ(text.text, "shown \xfe");
        } else if (text.command == 3) {
            printed += text.text;
        }
    }
    std::vector<std::string> consoleLines = Lines(printed);
    ASSERT_GE(consoleLines.size(), 6u) << printed;
    EXPECT_EQ(std::vector<std::string>(consoleLines.begin(), consoleLines.begin() + 4),
              (std::vector<std::string>{"raw \xff byte", "before\\0after", "next", "bytes \xfd\\0too"}));
    EXPECT_EQ(std::vector<std::string>(consoleLines.end() - 2, consoleLines.end()),
              (std::vector<std::string>{"ValueError: nul\\0inside", "stopping"}));
}

// A console that listens but never takes a connection (stopped, hung) must not slow
// the simulator; the files still get every line.
TEST(Scripts, AStuckConsoleCostsLittleAndTheFilesKeepEveryLine) {
    ScriptHost sim;
    sim.AddScript("KV_Quiet", "class Korvane:\n    def XPluginStart(self): return ('q', 'q', 'q')\n");
    sim.StartAndEnable();
    sim.Exec("import os, socket, tempfile\n"
             "stuck_dir = tempfile.mkdtemp()\n"
             "os.environ['XDG_RUNTIME_DIR'] = stuck_dir\n"
             "stuck = socket.socket(socket.AF_UNIX, socket.SOCK_SEQPACKET)\n"
             "stuck.bind(stuck_dir + '/TKorvanePluginConsoleForm')\n"
             "stuck.listen(0)\n");
    auto start = std::chrono::steady_clock::now();
    sim.Exec("import sys\n"
             "for i in range(1500):\n"
             "    print(i)\n"
             "    sys.stderr.write('line %d\\n' % i)\n");
    auto took = std::chrono::steady_clock::now() - start;
    sim.Exec("stuck.close()\nimport shutil\nshutil.rmtree(stuck_dir)\n");
    EXPECT_LT(took, TimeLimit(std::chrono::milliseconds(2000)));

    std::string output, log;
    for (int i = 0; i < 1500; ++i) {
        output += std::to_string(i) + "\n";
        log += "line " + std::to_string(i) + "\n";
    }
    EXPECT_EQ(sim.OutputFile(), output);
    EXPECT_NE(sim.LogFile().find(log), std::string::npos);
    sim.DisableAndStop();
}

TEST(Scripts, UncaughtErrorsLeaveTracebacksInTheLog) {
    ScriptHost sim;
    sim.AddScript("KV_Fails", "class Korvane:\n"
                              "    def XPluginStart(self):\n"
                              "        return 1 / 0\n"
                              "    def XPluginStop(self):\n"
                              "        raise SystemExit('scripts cannot end the simulator')\n");
    sim.StartAndEnable();
    sim.DisableAndStop();
    std::string log = sim.LogFile();
    EXPECT_NE(log.find("Traceback (most recent call last):"), std::string::npos) << log;
    EXPECT_NE(log.find("ZeroDivisionError: division by zero"), std::string::npos);
    EXPECT_NE(log.find("SystemExit: scripts cannot end the simulator"), std::string::npos) << log;
    EXPECT_TRUE(log.ends_with("--- LOGGING STOPPED ---\n\n"));
}

TEST(Scripts, ScriptsFolderIsOnThePathEvenWithAnApostropheInIt) {
    ScriptHost sim("korvane sim's ü-");
    sim.AddScript("KV_Path", "import sys\n"
                             "seen = sys.path[-1]\n"
                             "class Korvane:\n"
                             "    def XPluginStart(self): return ('p', 'p', 'p')\n");
    sim.StartAndEnable();
    EXPECT_EQ(sim.Eval("__import__('KV_Path').seen"), sim.ScriptsFolder().string());
    EXPECT_NE(sim.LogFile().find("'KV_Path' successfully loaded"), std::string::npos);
    EXPECT_EQ(sim.Eval("__import__('sys').stderr.__class__.__name__"), "StderrCatcher");
    sim.DisableAndStop();
}

TEST(Scripts, RestartReimportsEveryScriptAndMakesNewInstances) {
    ScriptHost sim;
    sim.AddScript("KV_Count", "import builtins\n"
                              "class Korvane:\n"
                              "    def XPluginStart(self):\n"
                              "        with open(__file__ + '.starts', 'a') as f: f.write('%x\\n' % id(self))\n"
                              "        return ('c', 'c', 'c')\n");
    for (int i = 0; i < 2; ++i) {
        sim.StartAndEnable();
        sim.DisableAndStop();
    }
    std::string starts = ReadFile(sim.ScriptsFolder() / "KV_Count.py.starts");
    EXPECT_EQ(CountOccurrences(starts, "\n"), 2);
    EXPECT_EQ(CountOccurrences(sim.LogFile(), "'KV_Count' successfully loaded"), 2);
}

TEST(Scripts, ListingFollowsTheNamingRulesWhateverTheHostOrder) {
    for (host::ListingOrder order : {host::ListingOrder::Sorted, host::ListingOrder::Reversed}) {
        ScriptHost sim;
        sim.Host().SetListingOrder(order);
        const char* script = "class Korvane:\n    def XPluginStart(self): return ('s', 's', 's')\n";
        for (const char* name : {"kv_tool.py", "MyKV_x.py", "Kv_tool.py", "KV_tool.PY", "KV_tool.txt"})
            sim.AddFile(name, script);
        sim.StartAndEnable();
        std::string log = sim.LogFile();
        EXPECT_NE(log.find("'kv_tool' successfully loaded"), std::string::npos);
        EXPECT_NE(log.find("'MyKV_x' successfully loaded"), std::string::npos);
        EXPECT_EQ(CountOccurrences(log, "successfully loaded"), 2) << log;
        sim.DisableAndStop();
    }
}

TEST(Scripts, CompiledOnlyScriptsLoadAfterTheSources) {
    ScriptHost sim;
    sim.AddScript("KV_Zsource", "class Korvane:\n    def XPluginStart(self): return ('z', 'z', 'z')\n");
    sim.AddScript("KV_Compiled", "class Korvane:\n    def XPluginStart(self): return ('c', 'c', 'c')\n");
    // Compile with the plug-in's own interpreter, then leave only the compiled file.
    ASSERT_EQ(sim.Start(), 1);
    std::string folder = sim.ScriptsFolder().string();
    sim.Exec("import py_compile\npy_compile.compile(r'''" + folder + "/KV_Compiled.py''', cfile=r'''" + folder +
             "/KV_Compiled.pyc''', doraise=True)");
    sim.Stop();
    std::filesystem::remove(sim.ScriptsFolder() / "KV_Compiled.py");
    std::filesystem::remove(sim.ScriptsFolder() / "KorvaneLog.txt");

    ASSERT_EQ(sim.Start(), 1);
    std::string log = sim.LogFile();
    EXPECT_NE(log.find("'KV_Zsource' successfully loaded\n'KV_Compiled' successfully loaded\n"), std::string::npos)
        << log;
    sim.Stop();
}

}  // namespace
}  // namespace korvane::testing
