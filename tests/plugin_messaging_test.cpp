// Scripts among the simulator's plug-ins: XPLMPlugin towards the host's plug-in table,
// ZeduvoRoriroDedodevod between scripts, and a reload asked for by a script.
#include "host/host_state.h"
#include "tests/support/script_host.h"

#include <gtest/gtest.h>

namespace korvane::testing {
namespace {

using host::ParameterView;

// Two scripts: A counts its frames; B records its messages and answers message 7 by
// disabling the sender and messaging itself from inside the call.
const char* kScriptA = R"(
import XPLMProcessing as P
frames = 0
me = None
class Helper:
    def Loop(self, sinceCall, sinceLoop, counter, refcon):
        return -1
class Korvane:
    def XPluginStart(self):
        global me
        me = self
        self.helper = Helper()
        return ('A', 'kv.a', 'sends')
    def XPluginEnable(self):
        P.XPLMRegisterFlightLoopCallback(self, self.Loop, -1, 0)
        P.XPLMRegisterFlightLoopCallback(self.helper, self.helper.Loop, -1, 0)
        return 1
    def XPluginDisable(self):
        pass
    def XPluginStop(self):
        pass
    def XPluginReceiveMessage(self, sender, message, param):
        got.append((sender, message, param))
    def Loop(self, sinceCall, sinceLoop, counter, refcon):
        global frames
        frames += 1
        return -1
got = []
)";

const char* kScriptB = R"(
import ZeduvoRoriroDedodevod as Z
got = []
class Korvane:
    def XPluginStart(self):
        return ('B', 'kv.b', 'answers')
    def XPluginEnable(self):
        return 1
    def XPluginDisable(self):
        pass
    def XPluginStop(self):
        pass
    def XPluginReceiveMessage(self, sender, message, param):
        got.append((sender, message, param))
        if message == 7:
            Z.KV_DisableScript(Z.KV_GetNthScript(0))
            Z.KV_SendMessageToScript(self, self, 8, 0)
)";

TEST(ScriptMessaging, ScriptsFindMessageAndDisableEachOther) {
    ScriptHost sim;
    sim.AddScript("KV_A", kScriptA);
    sim.AddScript("KV_B", kScriptB);
    sim.StartAndEnable();
    // The simulator's start messages aside.
    sim.Exec("import ZeduvoRoriroDedodevod as Z, KV_A, KV_B\nb = Z.KV_FindScriptBySignature('kv.b')\n"
             "KV_A.got.clear()\nKV_B.got.clear()");
    // The helper object that registered a flight loop is no script.
    EXPECT_EQ(sim.Eval("Z.KV_CountScripts()"), "2");
    EXPECT_EQ(sim.Eval("(Z.KV_GetNthScript(0) is KV_A.me, Z.KV_GetNthScript(-1), Z.KV_GetNthScript(2))"),
              "(True, None, None)");
    EXPECT_EQ(sim.Eval("(Z.KV_GetScriptInfo(b), Z.KV_GetScriptInfo(42), Z.KV_FindScriptBySignature('KV.B'))"),
              "(('B', 'kv.b', 'answers'), ('', '', ''), None)");

    sim.Host().RunFrame();
    EXPECT_EQ(sim.Eval("Z.KV_SendMessageToScript(KV_A.me, b, 7, 42)"), "1");
    EXPECT_EQ(sim.Eval("KV_B.got == [(id(KV_A.me), 7, 42), (id(b), 8, 0)]"), "True");
    EXPECT_EQ(sim.Eval("Z.KV_IsScriptEnabled(KV_A.me)"), "0");
    // Disabled: no flight loop calls, no messages; a broadcast reaches the sender itself.
    sim.Host().RunSeconds(0.5);
    EXPECT_EQ(sim.Eval("KV_A.frames"), "1");
    EXPECT_EQ(sim.Eval("Z.KV_SendMessageToScript(b, None, 9, -1)"), "1");
    EXPECT_EQ(sim.Eval("(KV_A.got, KV_B.got[-1] == (id(b), 9, -1))"), "([], True)");
    EXPECT_EQ(sim.Eval("(Z.KV_EnableScript(KV_A.me), Z.KV_EnableScript(KV_A.me), Z.KV_EnableScript(42))"),
              "(0, 1, 0)");
    // Enabled again, it hears messages; its flight loop stays off until rescheduled.
    EXPECT_EQ(sim.Eval("(Z.KV_SendMessageToScript(b, KV_A.me, 10, 0), len(KV_A.got))"), "(1, 1)");
    sim.Host().RunFrame();
    EXPECT_EQ(sim.Eval("KV_A.frames"), "1");

    EXPECT_EQ(sim.Eval("Z.KV_GetNthScript('x')"), "<error: 'str' object cannot be interpreted as an integer>");
    EXPECT_NE(sim.Eval("Z.KV_SendMessageToScript(b, b, 'x', 0)").find("<error:"), std::string::npos);
    EXPECT_NE(sim.Eval("Z.KV_FindScriptBySignature(1)").find("<error:"), std::string::npos);
    sim.DisableAndStop();
}

TEST(PluginModule, PluginTableInfoEnablingAndMessages) {
    ScriptHost sim;
    sim.AddScript("KV_A", kScriptA);
    sim.StartAndEnable();
    host::HeadlessHost& host = sim.Host();
    const std::string me = std::to_string(host.LoadedPluginId());
    sim.Exec("import XPLMPlugin as PL, KV_A\nname = []");
    // The simulator's start messages aside.
    for (host::PluginRecord& plugin : host::State().plugins) plugin.received.clear();
    sim.Exec("KV_A.got.clear()");
    EXPECT_EQ(sim.Eval("(PL.XPLMGetMyID(), PL.XPLMCountPlugins(), PL.XPLMGetNthPlugin(2), PL.XPLMGetNthPlugin(3))"),
              "(" + me + ", 3, " + me + ", -1)");
    EXPECT_EQ(sim.Eval("(PL.XPLMFindPluginBySignature('quindle.projects.korvane'), PL.XPLMFindPluginByPath('/no'))"),
              "(" + me + ", -1)");
    EXPECT_EQ(sim.Eval("(PL.XPLMGetPluginInfo(PL.XPLMGetMyID(), name, None, None, None), name)"),
              "(1, ['Korvane'])");
    EXPECT_EQ(host.Calls().back().detail,
              "plugin=" + me + " name=buffer path=null signature=null description=null");
    EXPECT_EQ(sim.Eval("[getattr(PL, n) for n in ('XPLM_MSG_PLANE_CRASHED', 'XPLM_MSG_PLANE_LOADED', "
                       "'XPLM_MSG_AIRPORT_LOADED', 'XPLM_MSG_SCENERY_LOADED', 'XPLM_MSG_AIRPLANE_COUNT_CHANGED')]"),
              "[101, 102, 103, 104, 105]");

    // Plug-in 1 reads texts, plug-in 2 first pointers, then three bytes.
    host.ReadMessageParameters(1, ParameterView::Text);
    EXPECT_EQ(sim.Eval("(PL.XPLMSendMessageToPlugin(1, 500, 'h\\u00e9llo'), PL.XPLMSendMessageToPlugin(2, 501, "
                       "0x12345678abcd), PL.XPLMSendMessageToPlugin(2, 502, 0))"),
              "(1, 1, 1)");
    host.ReadMessageParameters(2, ParameterView::Bytes, 3);
    EXPECT_EQ(sim.Eval("PL.XPLMSendMessageToPlugin(2, 503, b'a\\x00b')"), "1");
    std::vector<host::ReceivedMessage> one = host.MessagesTo(1), two = host.MessagesTo(2);
    ASSERT_EQ(one.size(), 1u);
    ASSERT_EQ(two.size(), 3u);
    EXPECT_EQ(one[0].sender, host.LoadedPluginId());
    EXPECT_EQ(one[0].data, "h\xc3\xa9llo");
    EXPECT_EQ(two[0].parameter, 0x12345678abcdu);
    EXPECT_EQ(two[1].parameter, 0u);
    EXPECT_EQ(two[2].message, 503);
    EXPECT_EQ(two[2].data, std::string("a\0b", 3));

    // Any other parameter is reported, not raised, and sends nothing.
    EXPECT_EQ(sim.Eval("(PL.XPLMSendMessageToPlugin(2, 504, None), PL.XPLMSendMessageToPlugin(2, 504, 1.5))"),
              "(0, 0)");
    EXPECT_EQ(CountOccurrences(sim.LogFile(),
                               "Module - XPLMPlugin, Function - XPLMSendMessageToPlugin, Error = Parameter Error\n"),
              2);
    EXPECT_EQ(host.MessagesTo(2).size(), 3u);

    // A disabled plug-in gets nothing; a message to our own ID reaches every script.
    EXPECT_EQ(sim.Eval("(PL.XPLMDisablePlugin(2), PL.XPLMIsPluginEnabled(2), PL.XPLMSendMessageToPlugin(2, 505, 0))"),
              "(1, 0, 1)");
    EXPECT_EQ(host.MessagesTo(2).size(), 3u);
    EXPECT_EQ(sim.Eval("(PL.XPLMEnablePlugin(2), PL.XPLMIsPluginEnabled(2), PL.XPLMEnablePlugin(99))"), "(1, 1, 0)");
    EXPECT_EQ(sim.Eval("PL.XPLMSendMessageToPlugin(PL.XPLMGetMyID(), 506, 7)"), "1");
    host.SendMessage(1, 105, nullptr);
    EXPECT_EQ(sim.Eval("KV_A.got"), "[(" + me + ", 506, 7), (1, 105, 0)]");

    for (const char* bad : {"PL.XPLMGetPluginInfo(1, 5, None, None, None)", "PL.XPLMSendMessageToPlugin('x', 1, 0)",
                            "PL.XPLMSendMessageToPlugin(1, 2**40, 0)", "PL.XPLMFindPluginByPath('a\\0b')",
                            "PL.XPLMGetNthPlugin()"})
        EXPECT_NE(sim.Eval(bad).find("<error:"), std::string::npos) << bad;
    sim.DisableAndStop();
}

// Reloads once, from a flight loop, and never unregisters that loop.
const char* kReloader = R"(
import os, XPLMPlugin, XPLMProcessing
marker = os.path.join(os.path.dirname(__file__), 'reloaded')
frames = 0
class Korvane:
    def XPluginStart(self):
        return ('Reloader', 'kv.reloader', 'reloads all plug-ins')
    def XPluginEnable(self):
        XPLMProcessing.XPLMRegisterFlightLoopCallback(self, self.Loop, -1, 0)
        return 1
    def XPluginDisable(self):
        pass
    def XPluginStop(self):
        pass
    def Loop(self, sinceCall, sinceLoop, counter, refcon):
        global frames
        frames += 1
        if frames == 3 and not os.path.exists(marker):
            open(marker, 'w').close()
            print('reload asked:', XPLMPlugin.XPLMReloadPlugins())
        return -1
)";

TEST(PluginModule, ReloadFromAFlightLoopRestartsThePluginAfterTheFrame) {
    ScriptHost sim;
    sim.AddScript("KV_Reloader", kReloader);
    sim.StartAndEnable();
    sim.Host().RunSeconds(0.1);
    EXPECT_EQ(sim.Host().Reloads(), 0);
    sim.Host().RunFrame();  // the loop asks, returns, and the frame ends with the reload
    EXPECT_EQ(sim.Host().Reloads(), 1);
    EXPECT_EQ(sim.Eval("__import__('KV_Reloader').frames"), "0");
    // The old interpreter's loop is gone, removed by Korvane itself before the unload.
    EXPECT_EQ(host::LiveFlightLoops().size(), 1u);
    EXPECT_EQ(sim.Host().Log().find("at unload"), std::string::npos) << sim.Host().Log();
    sim.Host().RunSeconds(0.5);
    EXPECT_EQ(sim.Eval("__import__('KV_Reloader').frames"), "10");
    EXPECT_EQ(sim.Host().Reloads(), 1);
    const std::string log = sim.LogFile();
    EXPECT_EQ(CountOccurrences(log, "+++ LOGGING STARTED +++"), 2);
    EXPECT_EQ(CountOccurrences(log, "'KV_Reloader' left 1 host registration(s) behind at stop"), 1);
    EXPECT_EQ(CountOccurrences(sim.OutputFile(), "reload asked: 1\n"), 1);
    EXPECT_TRUE(sim.Host().Plugins().back().enabled);
    sim.DisableAndStop();
}

}  // namespace
}  // namespace korvane::testing
