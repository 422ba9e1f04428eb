// XPLMDisplay as scripts use it, against the headless host's window manager, drawing
// phases and input.
#include "core/core_state.h"
#include "core/python_lifecycle.h"
#include "host/host_state.h"
#include "tests/support/core_session.h"
#include "tests/support/script_host.h"

#include <gtest/gtest.h>

#include <functional>

namespace korvane {
namespace {

using testing::CountOccurrences;
using testing::ScriptHost;

// Records every call of every callable in `calls`; `me` is the instance.
const char* kScript = R"(
import XPLMDisplay as D
calls = []
me = None
class Korvane:
    def XPluginStart(self):
        global me
        me = self
        return ('S', 'kv.' + __name__, 'display')
    def XPluginEnable(self):
        return 1
    def XPluginStop(self):
        pass
    def Draw(self, phase, before, refcon):
        calls.append(('draw', phase, before, refcon))
        return 1
    def Sniff(self, char, flags, vkey, refcon):
        calls.append(('sniff', char, flags, vkey, refcon))
        return 1
    def Hot(self, refcon):
        calls.append(('hot', refcon))
    def WDraw(self, window, refcon):
        calls.append(('wdraw', window, refcon))
    def WKey(self, window, key, flags, vkey, refcon, losing):
        calls.append(('wkey', window, key, flags, vkey, refcon, losing))
    def WMouse(self, window, x, y, status, refcon):
        calls.append(('wmouse', window, x, y, status, refcon))
        return 1
)";

class DisplayTest : public testing::CoreSession {
protected:
    void Start(int scripts = 1) {
        for (const char* name : {"KV_A", "KV_B"}) {
            if (scripts-- <= 0) break;
            sim.AddScript(name, kScript);
        }
        StartPython(1);
        sim.Exec("import sys, XPLMDisplay as D\n"
                 "A = sys.modules['KV_A']\n"
                 "B = sys.modules.get('KV_B')");
    }
    std::string Calls(const std::string& script) {
        std::string calls = sim.Eval(script + ".calls");
        sim.Exec(script + ".calls.clear()");
        return calls;
    }
    host::HeadlessHost& Host() { return sim.Host(); }
};

TEST_F(DisplayTest, ConstantsHaveTheirValues) {
    Start();
    const std::pair<const char*, int> constants[] = {
        {"xplm_Phase_FirstScene", 0},   {"xplm_Phase_Terrain", 5},  {"xplm_Phase_Airports", 10},
        {"xplm_Phase_Vectors", 15},     {"xplm_Phase_Objects", 20}, {"xplm_Phase_Airplanes", 25},
        {"xplm_Phase_LastScene", 30},   {"xplm_Phase_FirstCockpit", 35}, {"xplm_Phase_Panel", 40},
        {"xplm_Phase_Gauges", 45},      {"xplm_Phase_Window", 50},  {"xplm_Phase_LastCockpit", 55},
        {"xplm_MouseDown", 1},          {"xplm_MouseDrag", 2},      {"xplm_MouseUp", 3},
        {"xplm_CursorDefault", 0},      {"xplm_CursorHidden", 1},   {"xplm_CursorArrow", 2},
        {"xplm_CursorCustom", 3},
    };
    std::string names;
    for (const auto& [name, value] : constants) {
        EXPECT_EQ(sim.Eval(std::string("D.") + name), std::to_string(value)) << name;
        names += std::string(names.empty() ? "" : ",") + name;
    }
    // Entered in this order, after nothing else that is not a function.
    EXPECT_EQ(sim.Eval("','.join(n for n in vars(D) if n.startswith('xplm_'))"), names);
}

TEST_F(DisplayTest, WindowsReceiveInputAndDrawWhileVisible) {
    Start();
    sim.Exec("w = D.XPLMCreateWindow(A.me, 100, 400, 300, 200, 1, A.me.WDraw, A.me.WKey, A.me.WMouse, 7)");
    const std::string w = sim.Eval("w");
    ASSERT_EQ(Host().Windows().size(), 1u);
    EXPECT_EQ(w, std::to_string(reinterpret_cast<std::uintptr_t>(Host().Windows()[0].id)));  // full width

    Host().RunFrame();
    Host().RunFrame();
    EXPECT_EQ(Calls("A"), "[('wdraw', " + w + ", 7), ('wdraw', " + w + ", 7)]");
    sim.Exec("D.XPLMSetWindowIsVisible(w, 0)");
    Host().RunFrame();
    EXPECT_EQ(Calls("A"), "[]");
    EXPECT_EQ(sim.Eval("D.XPLMGetWindowIsVisible(w)"), "0");
    sim.Exec("D.XPLMSetWindowIsVisible(w, 1)\nD.XPLMSetWindowRefCon(w, 8)");
    EXPECT_EQ(sim.Eval("D.XPLMGetWindowRefCon(w)"), "8");

    // Mouse: down, drag and up at the events' points, the drag even outside the window.
    Host().MouseDown(150, 300);
    Host().MouseDrag(500, 50);
    Host().MouseUp(160, 310);
    Host().MouseClick(10, 10);  // nothing there
    EXPECT_EQ(Calls("A"), "[('wmouse', " + w + ", 150, 300, 1, 8), ('wmouse', " + w + ", 500, 50, 2, 8), ('wmouse', " +
                              w + ", 160, 310, 3, 8)]");
    sim.Exec("x, y = [], [None, 'kept']\nD.XPLMGetMouseLocation(x, y)");
    EXPECT_EQ(sim.Eval("x, y"), "([10], [10, 'kept'])");

    // Keys reach the window only while it has the focus; losing it is told.
    Host().PressKey('a', xplm_DownFlag, 0x41);
    sim.Exec("D.XPLMTakeKeyboardFocus(w)");
    Host().PressKey('A', xplm_ShiftFlag | xplm_DownFlag, static_cast<char>(200));
    sim.Exec("D.XPLMTakeKeyboardFocus(0)");
    EXPECT_EQ(Calls("A"), "[('wkey', " + w + ", 65, 9, -56, 8, 0), ('wkey', " + w + ", 0, 0, 0, 8, 1)]");

    // A second window on top takes the clicks that fall on both; in front again, the first.
    sim.Exec("v = D.XPLMCreateWindow(A.me, 250, 500, 600, 250, 1, A.me.WDraw, A.me.WKey, A.me.WMouse, 9)");
    EXPECT_EQ(sim.Eval("D.XPLMIsWindowInFront(v), D.XPLMIsWindowInFront(w)"), "(1, 0)");
    Host().MouseClick(260, 260);
    EXPECT_EQ(sim.Eval("[c[1] == v and c[5] for c in A.calls]"), "[9, 9]");
    Calls("A");
    sim.Exec("D.XPLMBringWindowToFront(w)");
    Host().MouseClick(260, 260);
    EXPECT_EQ(sim.Eval("[c[1] == w and c[5] for c in A.calls]"), "[8, 8]");

    // Geometry through result lists.
    sim.Exec("D.XPLMSetWindowGeometry(w, 1, 40, 30, 2)");
    sim.Exec("l, t = [0], []\nD.XPLMGetWindowGeometry(w, l, t, None, None)");
    EXPECT_EQ(sim.Eval("l, t"), "([1], [40])");
    EXPECT_EQ(Host().Calls().back().detail, "id=" + host::PointerText(Host().Windows()[1].id) +
                                                " right=null bottom=null");

    sim.Exec("D.XPLMDestroyWindow(A.me, w)\nD.XPLMDestroyWindow(A.me, v)");
    EXPECT_TRUE(Host().Windows().empty());
    EXPECT_EQ(registry->KindCount(CallbackKind::Window), 0);
}

// Windows belong to xplm_Phase_Window: after its before callbacks, before its after
// callbacks and under what later phases draw. A hidden window is never in front.
TEST_F(DisplayTest, WindowsDrawInTheWindowPhaseAndOnlyShownOnesAreInFront) {
    Start();
    sim.Exec(R"(
def drawer(name):
    return lambda phase, before, refcon: A.calls.append((name,)) or 1
drawers = [drawer('before'), drawer('after'), drawer('overlay'), drawer('unknown')]
registered = [D.XPLMRegisterDrawCallback(A.me, drawers[0], D.xplm_Phase_Window, 1, 0),
              D.XPLMRegisterDrawCallback(A.me, drawers[1], D.xplm_Phase_Window, 0, 0),
              D.XPLMRegisterDrawCallback(A.me, drawers[2], D.xplm_Phase_LastCockpit, 1, 0),
              D.XPLMRegisterDrawCallback(A.me, drawers[3], 7, 1, 0)]
w = D.XPLMCreateWindow(A.me, 100, 400, 300, 200, 1, A.me.WDraw, A.me.WKey, A.me.WMouse, 7)
v = D.XPLMCreateWindow(A.me, 150, 450, 350, 250, 0, A.me.WDraw, A.me.WKey, A.me.WMouse, 9)
)");
    // The simulator refuses a phase it does not know.
    EXPECT_EQ(sim.Eval("registered"), "[1, 1, 1, 0]");
    EXPECT_EQ(registry->KindCount(CallbackKind::Draw), 3);
    Host().RunFrame();
    EXPECT_EQ(sim.Eval("[c[0] for c in A.calls]"), "['before', 'wdraw', 'after', 'overlay']");

    EXPECT_EQ(sim.Eval("D.XPLMIsWindowInFront(v), D.XPLMIsWindowInFront(w)"), "(0, 1)");
    sim.Exec("D.XPLMSetWindowIsVisible(v, 1)");
    EXPECT_EQ(sim.Eval("D.XPLMIsWindowInFront(v), D.XPLMIsWindowInFront(w)"), "(1, 0)");
    sim.Exec("D.XPLMDestroyWindow(A.me, w)\nD.XPLMDestroyWindow(A.me, v)");
}

// Each of two scripts' registrations is called, and undone, on its own.
TEST_F(DisplayTest, RegistrationsOfTwoScriptsComeAndGoSeparately) {
    Start(2);
    struct Kind {
        const char* registerCall;    // {s} stands for the script
        const char* unregisterCall;
        std::function<void()> trigger;
        std::function<std::size_t()> held;
    };
    const Kind kinds[] = {
        {"D.XPLMRegisterDrawCallback({s}.me, {s}.me.Draw, D.xplm_Phase_Gauges, 1, 5)",
         "D.XPLMUnregisterDrawCallback({s}.me, {s}.me.Draw, D.xplm_Phase_Gauges, 1, 5)", [&] { Host().RunFrame(); },
         [&] { return Host().DrawCallbacks().size(); }},
        {"D.XPLMRegisterKeySniffer({s}.me, {s}.me.Sniff, 0, 5)", "D.XPLMUnregisterKeySniffer({s}.me, {s}.me.Sniff, 0, 5)",
         [&] { Host().PressKey('q', xplm_DownFlag, 0x51); }, [&] { return Host().KeySniffers().size(); }},
        {"{s}.hot = D.XPLMRegisterHotKey({s}.me, 0x70, 8, 'help', {s}.me.Hot, 5)",
         "D.XPLMUnregisterHotKey({s}.me, {s}.hot)", [&] { Host().PressKey(0, xplm_DownFlag, 0x70); },
         [&] { return Host().HotKeys().size(); }},
    };
    auto run = [&](std::string code, const char* script) {
        for (std::size_t at; (at = code.find("{s}")) != std::string::npos;) code.replace(at, 3, script);
        sim.Exec(code);
    };
    for (const Kind& kind : kinds) {
        SCOPED_TRACE(kind.registerCall);
        run(kind.registerCall, "A");
        run(kind.registerCall, "B");
        EXPECT_EQ(kind.held(), 2u);
        kind.trigger();
        EXPECT_EQ(sim.Eval("len(A.calls), len(B.calls)"), "(1, 1)");
        run(kind.unregisterCall, "A");
        EXPECT_EQ(kind.held(), 1u);
        kind.trigger();
        EXPECT_EQ(sim.Eval("len(A.calls), len(B.calls)"), "(1, 2)");
        run(kind.unregisterCall, "B");
        EXPECT_EQ(kind.held(), 0u);
        kind.trigger();
        EXPECT_EQ(sim.Eval("len(A.calls), len(B.calls)"), "(1, 2)");
        Calls("A");
        Calls("B");
    }
    // What the callables received.
    run(kinds[0].registerCall, "A");
    Host().RunFrame();
    EXPECT_EQ(Calls("A"), "[('draw', 45, 1, 5)]");
    sim.Exec("D.XPLMRegisterKeySniffer(A.me, A.me.Sniff, 1, 6)");
    Host().PressKey('q', xplm_DownFlag, static_cast<char>(200));
    EXPECT_EQ(Calls("A"), "[('sniff', 113, 8, 200, 6)]");
    sim.Exec("h = D.XPLMRegisterHotKey(A.me, 0x70, 8, 'help', A.me.Hot, 5)\n"
             "D.XPLMSetHotKeyCombination(h, 0x71, 9)");
    sim.Exec("k, f, d, p = [], [1, 2], [], None\nD.XPLMGetHotKeyInfo(h, k, f, d, p)");
    EXPECT_EQ(sim.Eval("k, f, d"), "([113], [9, 2], ['help'])");
    EXPECT_EQ(sim.Eval("D.XPLMCountHotKeys(), D.XPLMGetNthHotKey(0) == h, D.XPLMGetNthHotKey(1)"), "(1, True, None)");
}

// One callable may draw in several phases and on both sides of one, and sniff before
// and after windows: each is a registration of its own, undone by naming it. Windows
// go whoever destroys them.
TEST_F(DisplayTest, EachPhaseSideAndWindowIsItsOwnRegistration) {
    Start(2);
    const char* draws[] = {"D.xplm_Phase_Gauges, 1", "D.xplm_Phase_Gauges, 0", "D.xplm_Phase_Panel, 1",
                           "D.xplm_Phase_Gauges, 1"};
    for (const char* where : draws)
        EXPECT_EQ(sim.Eval(std::string("D.XPLMRegisterDrawCallback(A.me, A.me.Draw, ") + where + ", 5)"), "1");
    EXPECT_EQ(Host().DrawCallbacks().size(), 3u);
    Host().RunFrame();
    EXPECT_EQ(sim.Eval("sorted(A.calls)"), "[('draw', 40, 1, 5), ('draw', 45, 0, 5), ('draw', 45, 1, 5)]");
    Calls("A");
    EXPECT_EQ(sim.Eval("D.XPLMUnregisterDrawCallback(A.me, A.me.Draw, D.xplm_Phase_Panel, 1, 5)"), "1");
    EXPECT_EQ(sim.Eval("D.XPLMUnregisterDrawCallback(A.me, A.me.Draw, D.xplm_Phase_Panel, 1, 5)"), "0");
    EXPECT_EQ(sim.Eval("D.XPLMUnregisterDrawCallback(A.me, A.me.Draw, D.xplm_Phase_Gauges, 0, 5)"), "1");
    Host().RunFrame();
    EXPECT_EQ(Calls("A"), "[('draw', 45, 1, 5)]");
    EXPECT_EQ(registry->KindCount(CallbackKind::Draw), 1);

    sim.Exec("D.XPLMRegisterKeySniffer(A.me, A.me.Sniff, 1, 6)\nD.XPLMRegisterKeySniffer(A.me, A.me.Sniff, 0, 7)");
    EXPECT_EQ(Host().KeySniffers().size(), 2u);
    Host().PressKey('q', xplm_DownFlag, 0x51);
    EXPECT_EQ(Calls("A"), "[('sniff', 113, 8, 81, 6), ('sniff', 113, 8, 81, 7)]");
    EXPECT_EQ(sim.Eval("D.XPLMUnregisterKeySniffer(A.me, A.me.Sniff, 0, 7)"), "1");
    Host().PressKey('q', xplm_DownFlag, 0x51);
    EXPECT_EQ(Calls("A"), "[('sniff', 113, 8, 81, 6)]");

    // B destroys A's window: it leaves the screen and the registry; an ID no record
    // holds, this one now included, raises.
    sim.Exec("w = D.XPLMCreateWindow(A.me, 0, 10, 10, 0, 1, A.me.WDraw, A.me.WKey, A.me.WMouse, 0)");
    EXPECT_EQ(sim.Eval("D.XPLMDestroyWindow(B.me, w)"), "1");
    EXPECT_TRUE(Host().Windows().empty());
    EXPECT_EQ(registry->KindCount(CallbackKind::Window), 0);
    Host().RunFrame();
    EXPECT_EQ(sim.Eval("[c for c in A.calls if c[0] == 'wdraw']"), "[]");
    EXPECT_EQ(sim.Eval("D.XPLMDestroyWindow(A.me, w)"), "<error: " + sim.Eval("hex(w)") +
                                                           " is not a window made through XPLMCreateWindow>");
}

TEST_F(DisplayTest, BadArgumentsRaiseBeforeAnyHostCall) {
    Start();
    sim.Exec("w = D.XPLMCreateWindow(A.me, 0, 10, 10, 0, 1, A.me.WDraw, A.me.WKey, A.me.WMouse, 0)\n"
             "h = D.XPLMRegisterHotKey(A.me, 0x70, 8, 'help', A.me.Hot, 5)\n"
             "def raised(code):\n"
             "    try:\n"
             "        exec(code, globals())\n"
             "    except Exception as error:\n"
             "        return type(error).__name__\n");
    Host().ClearCalls();
    const std::pair<const char*, const char*> cases[] = {
        {"D.XPLMGetWindowGeometry(w, [], (), None, None)", "TypeError"},
        {"D.XPLMGetScreenSize({}, None)", "TypeError"},
        {"D.XPLMSetWindowGeometry('w', 1, 2, 3, 4)", "TypeError"},
        {"D.XPLMGetWindowIsVisible(w + 1)", "ValueError"},
        {"D.XPLMSetWindowRefCon(12345, 1)", "ValueError"},
        {"D.XPLMBringWindowToFront(-1)", "ValueError"},
        {"D.XPLMTakeKeyboardFocus(2**64)", "OverflowError"},
        {"D.XPLMGetHotKeyInfo(h + 1, None, None, None, None)", "ValueError"},
        {"D.XPLMSetHotKeyCombination(0, 1, 1)", "ValueError"},
        {"D.XPLMRegisterHotKey(A.me, 256, 8, 'x', A.me.Hot, 0)", "OverflowError"},
        {"D.XPLMRegisterHotKey(A.me, 1, 8, 'x' * 1024, A.me.Hot, 0)", "ValueError"},
        {"D.XPLMRegisterHotKey(A.me, 1, 8, 'a\\0b', A.me.Hot, 0)", "ValueError"},
        {"D.XPLMRegisterDrawCallback(A.me, A.me.Draw, 'x', 1, 0)", "TypeError"},
        {"D.XPLMCreateWindow(A.me, 0, 0, 0, 0, 1, None, None, None)", "TypeError"},
        {"D.XPLMGetNthHotKey(index=0)", "TypeError"},
    };
    for (const auto& [call, error] : cases)
        EXPECT_EQ(sim.Eval("raised(r'''" + std::string(call) + "''')"), error) << call;
    EXPECT_EQ(Host().CountCalls("XPLMRegisterHotKey") + Host().CountCalls("XPLMCreateWindow") +
                  Host().CountCalls("XPLMGetHotKeyInfo") + Host().CountCalls("XPLMSetWindowRefCon") +
                  Host().CountCalls("XPLMRegisterDrawCallback"),
              0);
    // Another script's hot key, or one never given out, is left alone.
    sim.Exec("D.XPLMUnregisterHotKey(None, h)\nD.XPLMUnregisterHotKey(A.me, 77)");
    EXPECT_EQ(Host().Windows().size(), 1u);
    EXPECT_EQ(Host().HotKeys().size(), 1u);
    // A window whose callables raise or are not callable costs a log line, not the host.
    sim.Exec("u = D.XPLMCreateWindow(A.me, 0, 10, 10, 0, 1, None, 5, A.me.Hot, 0)\nD.XPLMTakeKeyboardFocus(u)");
    Host().RunFrame();
    Host().PressKey('a', xplm_DownFlag, 0x41);
    Host().MouseDown(5, 5);
    EXPECT_EQ(CountOccurrences(sim.LogFile(), "TypeError: "), 3) << sim.LogFile();
}

TEST_F(DisplayTest, AStopRemovesWhatScriptsLeftInTheHost) {
    Start(2);
    sim.Exec("for S in (A, B):\n"
             "    D.XPLMCreateWindow(S.me, 0, 10, 10, 0, 1, S.me.WDraw, S.me.WKey, S.me.WMouse, 0)\n"
             "    D.XPLMCreateWindow(S.me, 0, 10, 10, 0, 1, S.me.WDraw, S.me.WKey, S.me.WMouse, 1)\n"
             "    D.XPLMRegisterDrawCallback(S.me, S.me.Draw, 0, 0, 0)\n"
             "    D.XPLMRegisterKeySniffer(S.me, S.me.Sniff, 1, 0)\n"
             "    D.XPLMRegisterHotKey(S.me, 0x70, 8, 'a', S.me.Hot, 0)\n"
             "    D.XPLMRegisterHotKey(S.me, 0x71, 8, 'b', S.me.Hot, 1)\n");
    EXPECT_EQ(Host().Windows().size(), 4u);
    EXPECT_EQ(Host().HotKeys().size(), 4u);
    StopPython(0);
    EXPECT_TRUE(Host().Windows().empty());
    EXPECT_TRUE(Host().DrawCallbacks().empty());
    EXPECT_TRUE(Host().KeySniffers().empty());
    EXPECT_TRUE(Host().HotKeys().empty());
    const std::string log = sim.LogFile();
    EXPECT_NE(log.find("'KV_A' left 6 host registration(s) behind at stop"), std::string::npos) << log;
    EXPECT_NE(log.find("'KV_B' left 6 host registration(s) behind at stop"), std::string::npos) << log;
    // Input after the stop reaches nothing.
    Host().RunFrame();
    Host().PressKey(0, xplm_DownFlag, 0x70);
}

}  // namespace
}  // namespace korvane
