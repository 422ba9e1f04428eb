// The widget modules as scripts use them, against the headless host's widget library.
#include "core/core_state.h"
#include "core/python_lifecycle.h"
#include "registry/callback_dispatch.h"
#include "tests/support/core_session.h"

#include <XPWidgets.h>

#include <gtest/gtest.h>

#include <string>

namespace korvane {
namespace {

using testing::CountOccurrences;

// `heard` collects (tag, message, widget, extra) from the recorders below.
const char* kScript = R"(
import XPWidgets as W, XPWidgetDefs as D, XPStandardWidgets as S, XPWidgetUtils as U
me = None
class Korvane:
    def XPluginStart(self):
        global me
        me = self
        return ('W', 'kv.' + __name__, 'widgets')
    def XPluginEnable(self):
        return 1
    def XPluginDisable(self):
        pass
    def XPluginStop(self):
        pass
    def XPluginReceiveMessage(self, sender, message, param):
        pass
    def MakeDialog(self):
        ids = []
        U.XPUCreateWidgets([[0, 400, 300, 200, 1, 'dialog', 1, U.NO_PARENT, S.xpWidgetClass_MainWindow],
                            [20, 300, 120, 280, 1, 'child', 0, 0, S.xpWidgetClass_Button]], 2, 0, ids)
        return W.XPCreateWidget(400, 400, 500, 300, 1, 'lone', 1, 0, S.xpWidgetClass_MainWindow)
)";

class WidgetsTest : public testing::CoreSession {
protected:
    void SetUp() override {
        CoreSession::SetUp();
        sim.AddScript("KV_A", kScript);
        sim.AddScript("KV_B", kScript);
        StartPython(1);
        sim.Exec("import sys, XPWidgets as W, XPWidgetDefs as D, XPStandardWidgets as S, XPWidgetUtils as U\n"
                 "A = sys.modules['KV_A']\n"
                 "B = sys.modules['KV_B']\n"
                 "heard = []\n"
                 "def recorder(tag, answer=0, quiet=(D.xpMsg_Draw, D.xpMsg_Paint)):\n"
                 "    def handler(message, widget, param1, param2):\n"
                 "        if message not in quiet:\n"
                 "            heard.append((tag, message))\n"
                 "        return answer\n"
                 "    return handler\n"
                 "def raises(call):\n"
                 "    try:\n"
                 "        call()\n"
                 "    except Exception as error:\n"
                 "        return type(error).__name__\n");
    }
    void* Widget(const std::string& expression) {
        return reinterpret_cast<void*>(std::stoull(Eval(expression)));
    }
    PyRef Object(const char* expression) {
        PyObject* globals = PyModule_GetDict(PyImport_AddModule("__main__"));
        return PyRef::Steal(PyRun_String(expression, Py_eval_input, globals, globals));
    }
    std::string Heard() {
        std::string heard = Eval("heard");
        sim.Exec("heard.clear()");
        return heard;
    }
};

TEST_F(WidgetsTest, EveryConstantHasItsValue) {
    sim.Exec(R"(
expected = {
    "XPWidgetDefs": """
        xpProperty_Refcon=0 xpProperty_Dragging=1 xpProperty_DragXOff=2 xpProperty_DragYOff=3
        xpProperty_Hilited=4 xpProperty_Object=5 xpProperty_Clip=6 xpProperty_Enabled=7
        xpProperty_UserStart=10000 xpMode_Direct=0 xpMode_UpChain=1 xpMode_Recursive=2
        xpMode_DirectAllCallbacks=3 xpMode_Once=4 xpWidgetClass_None=0 xpMsg_None=0 xpMsg_Create=1
        xpMsg_Destroy=2 xpMsg_Paint=3 xpMsg_Draw=4 xpMsg_KeyPress=5 xpMsg_KeyTakeFocus=6
        xpMsg_KeyLoseFocus=7 xpMsg_MouseDown=8 xpMsg_MouseDrag=9 xpMsg_MouseUp=10 xpMsg_Reshape=11
        xpMsg_ExposedChanged=12 xpMsg_AcceptChild=13 xpMsg_LoseChild=14 xpMsg_AcceptParent=15 xpMsg_Shown=16
        xpMsg_Hidden=17 xpMsg_DescriptorChanged=18 xpMsg_PropertyChanged=19 xpMsg_UserStart=10000
    """,
    "XPStandardWidgets": """
        xpWidgetClass_MainWindow=1 xpMainWindowStyle_MainWindow=0 xpMainWindowStyle_Translucent=1
        xpProperty_MainWindowType=1100 xpProperty_MainWindowHasCloseBoxes=1200
        xpMessage_CloseButtonPushed=1200 xpWidgetClass_SubWindow=2 xpSubWindowStyle_SubWindow=0
        xpSubWindowStyle_Screen=2 xpSubWindowStyle_ListView=3 xpProperty_SubWindowType=1200
        xpWidgetClass_Button=3 xpPushButton=0 xpRadioButton=1 xpWindowCloseBox=3 xpLittleDownArrow=5
        xpLittleUpArrow=6 xpButtonBehaviorPushButton=0 xpButtonBehaviorCheckBox=1
        xpButtonBehaviorRadioButton=2 xpProperty_ButtonType=1300 xpProperty_ButtonBehavior=1301
        xpProperty_ButtonState=1302 xpMsg_PushButtonPressed=1300 xpMsg_ButtonStateChanged=1301
        xpWidgetClass_TextField=4 xpTextEntryField=0 xpTextTransparent=3 xpTextTranslucent=4
        xpProperty_EditFieldSelStart=1400 xpProperty_EditFieldSelEnd=1401
        xpProperty_EditFieldSelDragStart=1402 xpProperty_TextFieldType=1403 xpProperty_PasswordMode=1404
        xpProperty_MaxCharacters=1405 xpProperty_ScrollPosition=1406 xpProperty_Font=1407
        xpProperty_ActiveEditSide=1408 xpMsg_TextFieldChanged=1400 xpWidgetClass_ScrollBar=5
        xpScrollBarTypeScrollBar=0 xpScrollBarTypeSlider=1 xpProperty_ScrollBarSliderPosition=1500
        xpProperty_ScrollBarMin=1501 xpProperty_ScrollBarMax=1502 xpProperty_ScrollBarPageAmount=1503
        xpProperty_ScrollBarType=1504 xpProperty_ScrollBarSlop=1505
        xpMsg_ScrollBarSliderPositionChanged=1500 xpWidgetClass_Caption=6 xpProperty_CaptionLit=1600
        xpWidgetClass_GeneralGraphics=7 xpShip=4 xpILSGlideScope=5 xpMarkerLeft=6 xp_Airport=7 xpNDB=8
        xpVOR=9 xpRadioTower=10 xpAircraftCarrier=11 xpFire=12 xpMarkerRight=13 xpCustomObject=14
        xpCoolingTower=15 xpSmokeStack=16 xpBuilding=17 xpPowerLine=18 xpVORWithCompassRose=19
        xpOilPlatform=21 xpOilPlatformSmall=22 xpWayPoint=23 xpProperty_GeneralGraphicsType=1700
        xpWidgetClass_Progress=8 xpProperty_ProgressPosition=1800 xpProperty_ProgressMin=1801
        xpProperty_ProgressMax=1802
    """,
    "XPUIGraphics": """
        xpWindow_Help=0 xpWindow_MainWindow=1 xpWindow_SubWindow=2 xpWindow_Screen=4 xpWindow_ListView=5
        xpElement_TextField=6 xpElement_CheckBox=9 xpElement_CheckBoxLit=10 xpElement_WindowCloseBox=14
        xpElement_WindowCloseBoxPressed=15 xpElement_PushButton=16 xpElement_PushButtonLit=17
        xpElement_OilPlatform=24 xpElement_OilPlatformSmall=25 xpElement_Ship=26 xpElement_ILSGlideScope=27
        xpElement_MarkerLeft=28 xpElement_Airport=29 xpElement_Waypoint=30 xpElement_NDB=31 xpElement_VOR=32
        xpElement_RadioTower=33 xpElement_AircraftCarrier=34 xpElement_Fire=35 xpElement_MarkerRight=36
        xpElement_CustomObject=37 xpElement_CoolingTower=38 xpElement_SmokeStack=39 xpElement_Building=40
        xpElement_PowerLine=41 xpElement_CopyButtons=45 xpElement_CopyButtonsWithEditingGrid=46
        xpElement_EditingGrid=47 xpElement_ScrollBar=48 xpElement_VORWithCompassRose=49 xpElement_Zoomer=51
        xpElement_TextFieldMiddle=52 xpElement_LittleDownArrow=53 xpElement_LittleUpArrow=54
        xpElement_WindowDragBar=61 xpElement_WindowDragBarSmooth=62 xpTrack_ScrollBar=0 xpTrack_Slider=1
        xpTrack_Progress=2
    """,
    "XPWidgetUtils": """
        NO_PARENT=-1 PARAM_PARENT=-2
    """,
}
wrong = []
for module, text in expected.items():
    values = dict(pair.split('=') for pair in text.split())
    for name, value in values.items():
        if getattr(sys.modules[module], name, None) != int(value):
            wrong.append((module, name))
    )");
    EXPECT_EQ(Eval("wrong"), "[]");
    EXPECT_EQ(Eval("[len(v.split()) for v in expected.values()]"), "[36, 76, 44, 2]");
    // Element numbers and general-graphics types are separate numberings.
    EXPECT_EQ(Eval("(sys.modules['XPUIGraphics'].xpElement_Ship, S.xpShip)"), "(26, 4)");
}


TEST_F(WidgetsTest, CustomWidgetsHearCreateFirstThenTheirInputAndStructuresReadOnlyMeanwhile) {
    sim.Exec(R"(
log, held = [], []
def custom(message, widget, param1, param2):
    if message == D.xpMsg_Create:
        log.append(('create', param1, param2))
    elif message in (D.xpMsg_MouseDown, D.xpMsg_MouseUp):
        log.append(('mouse', message, D.KV_GetMouseState(param1)))
        held.append(param1)
    elif message == D.xpMsg_KeyPress:
        log.append(('key', D.KV_GetKeyState(param1)))
    elif message == D.xpMsg_Draw:
        log.append('draw') if 'draw' not in log else None
    # Not painting itself lets the library send it xpMsg_Draw.
    return 0 if message == D.xpMsg_Paint else 1
w = W.XPCreateCustomWidget(A.me, 100, 300, 200, 200, 1, 'custom', 1, 0, custom)
at_return = list(log)
# A callable added later hears the create message alone, with 1, whatever made the widget.
added = []
adder = lambda message, widget, param1, param2: added.append((message, param1)) or 0
plain = W.XPCreateWidget(0, 50, 50, 0, 1, 'plain', 1, 0, S.xpWidgetClass_Caption)
for widget in (w, plain):
    W.XPAddWidgetCallback(A.me, widget, adder)
)");
    EXPECT_EQ(Eval("at_return"), "[('create', 0, 0)]");
    EXPECT_EQ(Eval("(added, log == at_return)"), "([(1, 1), (1, 1)], True)");
    sim.Exec("added.clear()");
    sim.Host().MouseClick(150, 250);
    EXPECT_EQ(Eval("W.XPSetKeyboardFocus(w) == w"), "True");
    sim.Host().PressKey(static_cast<char>(200), xplm_DownFlag, static_cast<char>(200));
    sim.Host().RunFrame();
    EXPECT_EQ(Eval("log[1:]"), "[('mouse', 8, (150, 250, 0)), ('mouse', 10, (150, 250, 0)), ('key', (-56, 8, -56)), "
                               "'draw']");
    // Outside its message a parameter is just a number: nothing reads memory for it,
    // and no script may send the host a structure pointer it did not receive.
    for (const char* call : {"D.KV_GetMouseState(held[0])", "D.KV_GetMouseState(0)", "D.KV_GetKeyState(held[0])",
                             "D.KV_GetWidgetGeometryChange(12345)",
                             "W.XPSendMessageToWidget(w, D.xpMsg_MouseDown, D.xpMode_Direct, 12345, 0)",
                             "U.XPUDragWidget(D.xpMsg_MouseDrag, w, 64, 0, 0, 10, 10, 0)"})
        EXPECT_EQ(Eval(std::string("raises(lambda: ") + call + ")"), "ValueError") << call;
    EXPECT_EQ(HostCalls("XPUDragWidget"), 0);
}

TEST_F(WidgetsTest, AnsweringOneKeepsTheMessageFromTheClassFunction) {
    sim.Exec(R"(
ids = []
U.XPUCreateWidgets([[0, 400, 300, 200, 1, 'window', 1, U.NO_PARENT, S.xpWidgetClass_MainWindow],
                    [20, 300, 120, 280, 1, 'OK', 0, 0, S.xpWidgetClass_Button]], 2, 0, ids)
window, button = ids
eat = True
W.XPAddWidgetCallback(A.me, button, lambda m, w, p1, p2: int(eat and m in (D.xpMsg_MouseDown, D.xpMsg_MouseUp)))
W.XPAddWidgetCallback(A.me, window, recorder('window', quiet=range(1300)))
)");
    sim.Host().MouseClick(50, 290);
    EXPECT_EQ(Heard(), "[]");
    sim.Exec("eat = False");
    sim.Host().MouseClick(50, 290);
    EXPECT_EQ(Heard(), "[('window', 1300)]");

    // Of two callables on one widget, the newer one that handles the message keeps it
    // from the older ones, as the host keeps it from its class function.
    sim.Exec("W.XPAddWidgetCallback(A.me, window, recorder('older'))\n"
             "W.XPAddWidgetCallback(A.me, window, recorder('newer', answer=1))\n"
             "heard.clear()");
    sim.Host().MouseClick(50, 290);
    EXPECT_EQ(Heard(), "[('newer', 1300)]");
}

TEST_F(WidgetsTest, OneCallableServesManyWidgetsAndObjectsBelongToTheirScript) {
    sim.Exec(R"(
one = W.XPCreateWidget(0, 100, 50, 0, 1, 'one', 1, 0, S.xpWidgetClass_MainWindow)
two = W.XPCreateCustomWidget(A.me, 0, 100, 50, 0, 1, 'two', 1, 0, recorder('own'))
shared = recorder('shared')
for widget in (one, two, one):
    W.XPAddWidgetCallback(A.me, widget, shared)
heard.clear()
for widget in (one, two):
    W.XPSendMessageToWidget(widget, D.xpMsg_UserStart, D.xpMode_Direct, 1, 0)
o = object()
W.SetWidgetObject(A.me, one, o)
W.SetWidgetObject(A.me, two, o)
)");
    // The newest callable has the message first; the same pair twice is heard once.
    EXPECT_EQ(Heard(), "[('shared', 10000), ('shared', 10000), ('own', 10000)]");
    EXPECT_EQ(Eval("(W.GetWidgetObject(A.me, one) is o, W.GetWidgetObject(A.me, two) is o)"), "(True, True)");
    EXPECT_EQ(Eval("W.GetWidgetObject(B.me, one)"), "None");
    sim.Exec("W.SetWidgetObject(A.me, one, 'other')");
    EXPECT_EQ(Eval("(W.GetWidgetObject(A.me, one), W.GetWidgetObject(A.me, two) is o)"), "('other', True)");
}

TEST_F(WidgetsTest, DestroyedWidgetsLeaveNoEntryAndHearNothingMore) {
    sim.Exec(R"(
root = W.XPCreateCustomWidget(A.me, 0, 100, 100, 0, 1, 'root', 1, 0, recorder('root'))
child = W.XPCreateCustomWidget(A.me, 10, 90, 90, 10, 1, 'child', 0, root, recorder('child'))
leaf = W.XPCreateWidget(20, 80, 80, 20, 1, 'leaf', 0, child, S.xpWidgetClass_Caption)
W.XPAddWidgetCallback(B.me, leaf, recorder('leaf'))
W.SetWidgetObject(A.me, leaf, 'kept')
W.SetWidgetObject(B.me, root, 'kept')
)");
    void* tree[] = {Widget("root"), Widget("child"), Widget("leaf")};
    // A destroy message a script sends destroys nothing: the widget keeps its callable.
    sim.Exec("heard.clear()\nW.XPSendMessageToWidget(child, D.xpMsg_Destroy, D.xpMode_Direct, 0, 0)");
    EXPECT_EQ(Heard(), "[('child', 2)]");
    EXPECT_NE(registry->FindWidgetOwner(tree[1]), nullptr);
    sim.Exec("W.XPDestroyWidget(A.me, root, 1)");
    EXPECT_EQ(Heard(), "[]");
    for (void* widget : tree) {
        EXPECT_EQ(registry->FindWidgetOwner(widget), nullptr);
        EXPECT_EQ(dispatch::UserWidgetCallback(xpMsg_UserStart, widget, 0, 0), 0);
    }
    EXPECT_EQ(Eval("(W.GetWidgetObject(A.me, leaf), W.GetWidgetObject(B.me, root))"), "(None, None)");
    EXPECT_EQ(Heard(), "[]");

    // Destroyed by the host itself: the callables hear of it once, then nothing more,
    // and a later widget with that handle has only its own callables.
    sim.Exec("lone = W.XPCreateCustomWidget(A.me, 0, 100, 100, 0, 1, 'lone', 1, 0, recorder('lone'))");
    void* lone = Widget("lone");
    sim.Exec("heard.clear()");
    XPDestroyWidget(lone, 1);
    EXPECT_EQ(Heard(), "[('lone', 2)]");
    EXPECT_EQ(registry->FindWidgetOwner(lone), nullptr);
    CallbackEntry entry;
    entry.callable = Object("recorder('fresh')");
    entry.handle = lone;
    registry->AddEntry(CallbackKind::WidgetCallback, Object("B.me").get(), std::move(entry));
    dispatch::UserWidgetCallback(xpMsg_UserStart, lone, 0, 0);
    EXPECT_EQ(Heard(), "[('fresh', 10000)]");
}

TEST_F(WidgetsTest, MalformedTablesRaiseBeforeAnyWidgetIsMade) {
    sim.Exec(R"(
good = [0, 100, 50, 0, 1, 'ok', 1, U.NO_PARENT, S.xpWidgetClass_MainWindow]
def attempt(table, count, ids=None):
    try:
        U.XPUCreateWidgets(table, count, 0, [] if ids is None else ids)
    except (TypeError, ValueError) as error:
        return '%s: %s' % (type(error).__name__, error)
results = [attempt([good], 2), attempt([good], -1), attempt([good, tuple(good)], 2), attempt([good[:8]], 1),
           attempt([good, good[:3] + ['x'] + good[4:]], 2), attempt([good[:5] + [5] + good[6:]], 1),
           attempt((good,), 1), attempt([good], 1, ids=())]
)");
    // Container indices name an earlier row, NO_PARENT or PARAM_PARENT; anything else
    // (past the table, the row itself, a later row, another negative) makes nothing.
    sim.Exec(R"(
child = lambda container: good[:6] + [0, container, S.xpWidgetClass_Caption]
bad_containers = [attempt([good, child(0), child(7)], 3), attempt([good, child(1)], 2),
                  attempt([good, child(2), child(0)], 3), attempt([good, child(-5)], 2)]
)");
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(Eval("bad_containers[" + std::to_string(i) + "]").rfind("ValueError: XPUCreateWidgets() definition ", 0),
                  0u)
            << Eval("bad_containers");
    EXPECT_EQ(HostCalls("XPUCreateWidgets"), 0);
    EXPECT_EQ(HostCalls("XPCreateWidget"), 0);
    const char* expected[] = {"ValueError: XPUCreateWidgets() count 2", "ValueError: XPUCreateWidgets() count -1",
                              "TypeError: XPUCreateWidgets() definition 1 must be a list",
                              "ValueError: XPUCreateWidgets() definition 0 must hold 9 items",
                              "TypeError: XPUCreateWidgets() definition 1: item 3",
                              "TypeError: XPUCreateWidgets() definition 0: item 5 must be a str", "TypeError",
                              "TypeError"};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(Eval("results[" + std::to_string(i) + "]").rfind(expected[i], 0), 0u) << Eval("results");
    // Handles are appended, in table order, to whatever the list held.
    sim.Exec("ids = [99]\nresult = U.XPUCreateWidgets([good, good[:6] + [0, 0, S.xpWidgetClass_Caption]], 2, 0, ids)");
    EXPECT_EQ(Eval("(result, len(ids), ids[0], W.XPGetParentWidget(ids[2]) == ids[1])"), "((1,), 3, 99, True)");
    EXPECT_EQ(Eval("U.XPUCreateWidgets([], 0, 0, ids), len(ids)"), "((1,), 3)");
    sim.Exec("ids = []\nU.XPUCreateWidgets([good, child(U.NO_PARENT), child(U.PARAM_PARENT), child(0)], 4, 0, ids)");
    EXPECT_EQ(Eval("[W.XPGetParentWidget(i) for i in ids[1:]] == [0, 0, ids[0]]"), "True");
}

// The "exists" argument: None or an int asks for nothing, a list learns the answer.
TEST_F(WidgetsTest, PropertiesTellWhetherTheyExistThroughAResultList) {
    sim.Exec("w = W.XPCreateWidget(0, 100, 100, 0, 1, 'w', 1, 0, S.xpWidgetClass_MainWindow)\n"
             "W.XPSetWidgetProperty(w, D.xpProperty_UserStart, 42)\n"
             "has, lacks = [], [7]");
    EXPECT_EQ(Eval("(W.XPGetWidgetProperty(w, D.xpProperty_UserStart, None), "
                   "W.XPGetWidgetProperty(w, D.xpProperty_UserStart, 0), "
                   "W.XPGetWidgetProperty(w, D.xpProperty_UserStart, has), "
                   "W.XPGetWidgetProperty(w, D.xpProperty_UserStart + 1, lacks), has, lacks)"),
              "(42, 42, 42, 0, [1], [0])");
    EXPECT_EQ(Eval("raises(lambda: W.XPGetWidgetProperty(w, D.xpProperty_UserStart, ()))"), "TypeError");
}

// Widgets made by functions without `self` belong to the script that made them: the
// one whose code called, else the one whose callback was running.
TEST_F(WidgetsTest, WidgetsMadeWithoutSelfArePutDownToTheirScript) {
    sim.Exec("A.me.MakeDialog()\n"
             "import XPLMProcessing as P\n"
             "def later(since, loop, counter, refcon):\n"
             "    W.XPCreateWidget(0, 100, 100, 0, 1, 'later', 1, 0, S.xpWidgetClass_MainWindow)\n"
             "    return 0\n"
             "P.XPLMRegisterFlightLoopCallback(B.me, later, -1.0, 0)");
    sim.Host().RunFrame();
    sim.Exec("P.XPLMUnregisterFlightLoopCallback(B.me, later, 0)");
    ASSERT_EQ(sim.Host().RootWidgets().size(), 3u);
    StopPython(0);
    EXPECT_TRUE(sim.Host().RootWidgets().empty());
    std::string log = sim.LogFile();
    EXPECT_EQ(CountOccurrences(log, "'KV_A' left 3 host registration(s) behind"), 1) << log;
    EXPECT_EQ(CountOccurrences(log, "'KV_B' left 1 host registration(s) behind"), 1) << log;
    EXPECT_EQ(CountOccurrences(log, "XPWidgets"), 0) << log;
}

TEST_F(WidgetsTest, DescriptorsTakeOnlyTheRoomTheirTextNeedsWhateverTheMaximum) {
    sim.Exec("w = W.XPCreateWidget(0, 100, 50, 0, 1, 'abc', 1, 0, S.xpWidgetClass_MainWindow)");
    sim.Host().ClearCalls();
    EXPECT_EQ(Eval("(lambda out: (W.XPGetWidgetDescriptor(w, out, 2 ** 31 - 1), out))([])"), "(3, ['abc'])");
    EXPECT_EQ(Eval("(lambda out: (W.XPGetWidgetDescriptor(w, out, 2), out))([])"), "(3, ['ab'])");
    EXPECT_EQ(Eval("W.XPGetWidgetDescriptor(w, None, 2 ** 31 - 1)"), "3");
    // The host is asked for the length first, then given room for no more than that.
    std::vector<std::string> calls = Details("XPGetWidgetDescriptor");
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_NE(calls[1].find("buffer=ptr max=3"), std::string::npos) << calls[1];
    EXPECT_NE(calls[3].find("buffer=ptr max=2"), std::string::npos) << calls[3];
    sim.Exec("W.XPDestroyWidget(A.me, w, 1)");
}

TEST_F(WidgetsTest, AStopDestroysTheWidgetsScriptsLeftOpen) {
    sim.Exec(R"(
ids = []
U.XPUCreateWidgets([[0, 400, 300, 200, 1, 'left open', 1, U.NO_PARENT, S.xpWidgetClass_MainWindow],
                    [20, 300, 120, 280, 1, 'child', 0, 0, S.xpWidgetClass_Button]], 2, 0, ids)
inner = W.XPCreateCustomWidget(A.me, 10, 290, 110, 270, 1, 'inner', 0, ids[0], recorder('inner'))
gone = W.XPCreateCustomWidget(B.me, 0, 100, 100, 0, 1, 'gone', 1, 0, recorder('gone'))
W.XPDestroyWidget(B.me, gone, 1)
)");
    ASSERT_EQ(sim.Host().RootWidgets().size(), 1u);
    StopPython(0);
    EXPECT_TRUE(sim.Host().RootWidgets().empty());
    EXPECT_EQ(registry->RecordCount(), 0);
    std::string log = sim.LogFile();
    EXPECT_EQ(CountOccurrences(log, "'module XPWidgets' left 2 host registration(s) behind"), 1) << log;
    EXPECT_EQ(CountOccurrences(log, "'KV_A' left 1 host registration(s) behind"), 1) << log;
    EXPECT_EQ(CountOccurrences(log, "'KV_B' left"), 0) << log;
}

}  // namespace
}  // namespace korvane
