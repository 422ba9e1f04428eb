// The headless host's widget library on its own, called as a plug-in calls it.
#include "host/driver.h"

#include <XPLMDisplay.h>
#include <XPStandardWidgets.h>
#include <XPWidgetUtils.h>
#include <XPWidgets.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace korvane {
namespace {

// What every recording callback saw: "tag:message" and the parameters when asked.
std::vector<std::string> seen;
std::map<std::pair<int, XPWidgetMessage>, int> answers;  // what a tag returns for a message
XPMouseState_t lastMouse{};
XPKeyState_t lastKey{};
XPWidgetGeometryChange_t lastChange{};
intptr_t lastParent = -1;

template <int Tag>
int Recorder(XPWidgetMessage message, XPWidgetID, intptr_t param1, intptr_t param2) {
    if (message == xpMsg_Paint || message == xpMsg_Draw || message >= xpMsg_UserStart || message == xpMsg_Create ||
        message == xpMsg_Destroy || message == xpMsg_PropertyChanged || message == xpMsg_Reshape)
        seen.push_back(std::to_string(Tag) + ":" + std::to_string(message) + ":" + std::to_string(param1) +
                       (message == xpMsg_PropertyChanged ? ":" + std::to_string(param2) : ""));
    else
        seen.push_back(std::to_string(Tag) + ":" + std::to_string(message));
    if (message >= xpMsg_MouseDown && message <= xpMsg_MouseUp) lastMouse = *reinterpret_cast<XPMouseState_t*>(param1);
    if (message == xpMsg_KeyPress) lastKey = *reinterpret_cast<XPKeyState_t*>(param1);
    if (message == xpMsg_Reshape) lastChange = *reinterpret_cast<XPWidgetGeometryChange_t*>(param2);
    if (message == xpMsg_AcceptParent) lastParent = param1;
    auto answer = answers.find({Tag, message});
    return answer == answers.end() ? 0 : answer->second;
}

std::string Seen() {
    std::string text;
    for (const std::string& entry : seen) text += (text.empty() ? "" : " ") + entry;
    seen.clear();
    return text;
}

class WidgetLibraryTest : public ::testing::Test {
protected:
    WidgetLibraryTest() : root_(host::MakeTemporaryFolder("korvane-widgets-")), host(root_) {
        seen.clear();
        answers.clear();
    }
    ~WidgetLibraryTest() override { std::filesystem::remove_all(root_); }

    template <int Tag>
    XPWidgetID Make(int left, int top, int right, int bottom, XPWidgetID container, const char* name = "") {
        return XPCreateCustomWidget(left, top, right, bottom, 1, name, container ? 0 : 1, container, Recorder<Tag>);
    }

    std::filesystem::path root_;
    host::HeadlessHost host;
};

TEST_F(WidgetLibraryTest, DispatchModesReachCallbacksNewestFirstAndStopWhereHandled) {
    XPWidgetID a = Make<0>(0, 100, 100, 0, nullptr);
    XPWidgetID b = Make<1>(10, 90, 90, 10, a);
    XPWidgetID c = Make<2>(20, 80, 80, 20, b);
    // Creation: xpMsg_Create with param1 0 (a new widget), then the placement messages.
    EXPECT_EQ(Seen(), "0:1:0 1:1:0 1:15 0:13 2:1:0 2:15 1:13");
    // An added callback alone hears xpMsg_Create, with 1: it joins an existing widget.
    XPAddWidgetCallback(c, Recorder<3>);
    XPAddWidgetCallback(c, Recorder<4>);
    EXPECT_EQ(Seen(), "3:1:1 4:1:1");
    const int kMsg = xpMsg_UserStart;

    EXPECT_EQ(XPSendMessageToWidget(c, kMsg, xpMode_Direct, 0, 0), 0);
    EXPECT_EQ(Seen(), "4:10000:0 3:10000:0 2:10000:0");
    EXPECT_EQ(XPSendMessageToWidget(c, kMsg, xpMode_UpChain, 0, 0), 0);
    EXPECT_EQ(Seen(), "4:10000:0 3:10000:0 2:10000:0 1:10000:0 0:10000:0");
    EXPECT_EQ(XPSendMessageToWidget(c, kMsg, xpMode_Once, 0, 0), 0);
    EXPECT_EQ(Seen(), "4:10000:0");
    EXPECT_EQ(XPSendMessageToWidget(a, kMsg, xpMode_Recursive, 7, 0), 0);
    EXPECT_EQ(Seen(), "0:10000:7 1:10000:7 4:10000:7 3:10000:7 2:10000:7");

    answers[{3, kMsg}] = 1;
    answers[{1, kMsg}] = 1;
    EXPECT_EQ(XPSendMessageToWidget(c, kMsg, xpMode_Direct, 0, 0), 1);
    EXPECT_EQ(Seen(), "4:10000:0 3:10000:0");
    EXPECT_EQ(XPSendMessageToWidget(c, kMsg, xpMode_DirectAllCallbacks, 0, 0), 1);
    EXPECT_EQ(Seen(), "4:10000:0 3:10000:0 2:10000:0");
    answers.erase({3, kMsg});
    EXPECT_EQ(XPSendMessageToWidget(c, kMsg, xpMode_UpChain, 0, 0), 1);
    EXPECT_EQ(Seen(), "4:10000:0 3:10000:0 2:10000:0 1:10000:0");
    // A recursive message goes everywhere whoever handles it.
    EXPECT_EQ(XPSendMessageToWidget(a, kMsg, xpMode_Recursive, 0, 0), 1);
    EXPECT_EQ(Seen(), "0:10000:0 1:10000:0 4:10000:0 3:10000:0 2:10000:0");
}

TEST_F(WidgetLibraryTest, StateChangesAreAnnouncedAndReadBack) {
    XPWidgetID a = Make<0>(0, 100, 100, 0, nullptr, "Main");
    XPWidgetID b = Make<1>(50, 150, 150, 50, a, "Hello");
    Seen();

    XPSetWidgetProperty(b, xpProperty_UserStart + 1, -42);
    EXPECT_EQ(Seen(), "1:19:10001:-42");
    int exists = -1;
    EXPECT_EQ(XPGetWidgetProperty(b, xpProperty_UserStart + 1, &exists), -42);
    EXPECT_EQ(exists, 1);
    EXPECT_EQ(XPGetWidgetProperty(b, xpProperty_Hilited, &exists), 0);
    EXPECT_EQ(exists, 0);

    XPSetWidgetDescriptor(b, "Howdy");
    EXPECT_EQ(Seen(), "1:18");
    char buffer[8] = "xxxxxxx";
    EXPECT_EQ(XPGetWidgetDescriptor(b, buffer, 3), 5);  // cut without a terminator, as strncpy
    EXPECT_EQ(std::string(buffer), "Howxxxx");
    EXPECT_EQ(XPGetWidgetDescriptor(b, buffer, 8), 5);
    EXPECT_EQ(std::string(buffer), "Howdy");
    EXPECT_EQ(XPGetWidgetDescriptor(b, nullptr, 0), 5);
    EXPECT_EQ(host.FindWidget("Howdy"), b);

    // A reshape goes up the chain naming the widget reshaped; the change counts from the top left.
    XPSetWidgetGeometry(b, 40, 160, 170, 60);
    EXPECT_EQ(Seen(), "1:11:" + std::to_string(reinterpret_cast<intptr_t>(b)) + " 0:11:" +
                          std::to_string(reinterpret_cast<intptr_t>(b)));
    EXPECT_EQ(lastChange.dx, -10);
    EXPECT_EQ(lastChange.dy, 10);
    EXPECT_EQ(lastChange.dwidth, 30);
    EXPECT_EQ(lastChange.dheight, 0);
    int l = 0, t = 0, r = 0, bo = 0;
    XPGetWidgetExposedGeometry(b, &l, &t, &r, &bo);
    EXPECT_EQ(std::vector<int>({l, t, r, bo}), std::vector<int>({40, 100, 100, 60}));
    EXPECT_EQ(XPGetWidgetForLocation(a, 70, 70, 1, 1), b);
    EXPECT_EQ(XPGetWidgetForLocation(a, 20, 20, 1, 1), a);
    EXPECT_EQ(XPGetWidgetForLocation(a, 120, 120, 1, 1), nullptr);  // outside the container

    XPHideWidget(a);
    EXPECT_EQ(Seen(), "0:17");
    EXPECT_EQ(XPIsWidgetVisible(b), 0);  // its parent is hidden
    EXPECT_EQ(XPGetWidgetForLocation(a, 70, 70, 1, 1), nullptr);
    EXPECT_EQ(XPGetWidgetForLocation(a, 70, 70, 1, 0), b);
    XPShowWidget(a);
    XPHideWidget(b);
    EXPECT_EQ(Seen(), "0:16 1:17 0:17");  // up the chain
    EXPECT_EQ(XPGetWidgetForLocation(a, 70, 70, 1, 1), a);

    // Drawing: paint, then draw, then the visible children above.
    XPShowWidget(b);
    Seen();
    host.RunFrame();
    EXPECT_EQ(Seen(), "0:3:0 0:4:0 1:3:0 1:4:0");
    XPHideWidget(b);
    Seen();
    host.RunFrame();
    EXPECT_EQ(Seen(), "0:3:0 0:4:0");
    EXPECT_TRUE(host.CountCalls("XPSetWidgetGeometry") == 1 && host.CountCalls("XPHideWidget") == 3);
}

TEST_F(WidgetLibraryTest, DestroyedWidgetsLeaveStaleHandlesThatAreIgnoredAndRecordsThatAreReused) {
    XPWidgetID a = Make<0>(0, 100, 100, 0, nullptr);
    XPWidgetID b = Make<1>(10, 90, 90, 10, a);
    XPWidgetID c = Make<2>(20, 80, 80, 20, b);
    XPWidgetID d = Make<3>(20, 80, 80, 20, a);
    Seen();

    XPDestroyWidget(b, 0);  // its child stays, without a parent
    EXPECT_EQ(Seen(), "1:2:0");
    EXPECT_EQ(XPGetParentWidget(c), nullptr);
    EXPECT_EQ(XPCountChildWidgets(a), 1);
    EXPECT_EQ(XPGetNthChildWidget(a, 0), d);
    // The last record freed is the first reused.
    XPWidgetID e = Make<4>(0, 10, 10, 0, a);
    EXPECT_EQ(e, b);
    Seen();

    XPDestroyWidget(a, 1);
    EXPECT_EQ(Seen(), "3:2:1 4:2:1 0:2:0");
    EXPECT_TRUE(host.RootWidgets().empty());
    EXPECT_FALSE(host.Widget(d).has_value());
    EXPECT_EQ(host.Widget(c)->parent, nullptr);

    // A stale handle, or one the library never gave out, names no widget.
    int local = 0;
    for (XPWidgetID stale : {a, d, static_cast<XPWidgetID>(&local)}) {
        XPSetWidgetGeometry(stale, 1, 2, 3, 4);
        XPSetWidgetProperty(stale, 1, 1);
        XPAddWidgetCallback(stale, Recorder<9>);
        XPPlaceWidgetWithin(c, stale);
        XPDestroyWidget(stale, 1);
        int left = -1, exists = -1;
        char text[4] = "abc";
        XPGetWidgetGeometry(stale, &left, nullptr, nullptr, nullptr);
        EXPECT_EQ(left, 0);
        EXPECT_EQ(XPSendMessageToWidget(stale, xpMsg_UserStart, xpMode_Recursive, 0, 0), 0);
        EXPECT_EQ(XPGetWidgetProperty(stale, 1, &exists), 0);
        EXPECT_EQ(exists, 0);
        EXPECT_EQ(XPGetWidgetDescriptor(stale, text, 4), 0);
        EXPECT_EQ(XPCountChildWidgets(stale) + XPIsWidgetVisible(stale) + XPIsWidgetInFront(stale), 0);
        EXPECT_EQ(XPFindRootWidget(stale), nullptr);
        EXPECT_EQ(XPSetKeyboardFocus(stale), nullptr);
    }
    EXPECT_EQ(Seen(), "");
    EXPECT_EQ(host.Widget(c)->parent, nullptr);
}

TEST_F(WidgetLibraryTest, MouseAndKeysFollowTheWindowOrderAndTheFocus) {
    XPWidgetID back = Make<0>(0, 100, 100, 0, nullptr, "back");
    XPWidgetID front = Make<1>(50, 150, 150, 50, nullptr, "front");
    XPWidgetID field = Make<2>(60, 140, 140, 60, front);
    answers[{1, xpMsg_MouseDown}] = 1;
    answers[{0, xpMsg_MouseDown}] = 1;
    EXPECT_EQ(host.RootWidgets(), (std::vector<XPWidgetID>{back, front}));
    Seen();

    // The deepest widget under the point first, then up the chain; drag and up follow the taker.
    host.MouseDown(70, 70);
    host.MouseDrag(75, 72);
    host.MouseUp(80, 74);
    EXPECT_EQ(Seen(), "2:8 1:8 1:9 1:10");
    EXPECT_EQ(lastMouse.x, 80);
    EXPECT_EQ(lastMouse.y, 74);
    // A click on the back root reaches it where it lies: raising it is its own choice.
    host.MouseClick(20, 20);
    EXPECT_EQ(Seen(), "0:8 0:10");
    EXPECT_EQ(XPIsWidgetInFront(field), 1);
    EXPECT_EQ(XPIsWidgetInFront(back), 0);

    // Focus: refused, then taken; keys go to it and up its chain.
    EXPECT_EQ(XPSetKeyboardFocus(field), nullptr);
    EXPECT_EQ(Seen(), "2:6");
    answers[{2, xpMsg_KeyTakeFocus}] = 1;
    EXPECT_EQ(XPSetKeyboardFocus(field), field);
    Seen();
    static int windowKeys = 0;
    XPLMWindowID plain = XPLMCreateWindow(500, 600, 600, 500, 1, nullptr,
                                          [](XPLMWindowID, char, XPLMKeyFlags, char, void*, int) { ++windowKeys; },
                                          nullptr, nullptr);
    XPLMTakeKeyboardFocus(plain);
    host.MouseClick(550, 550);  // a plain window's click leaves the widgets alone
    answers[{1, xpMsg_KeyPress}] = 1;
    host.PressKey('q', xplm_DownFlag, 'Q');
    EXPECT_EQ(Seen(), "2:5 1:5");
    EXPECT_EQ(lastKey.key, 'q');
    EXPECT_EQ(lastKey.vkey, 'Q');
    EXPECT_EQ(windowKeys, 0);
    answers.erase({1, xpMsg_KeyPress});
    host.PressKey('w', xplm_DownFlag, 'W');  // nobody takes it: on to the focused window
    EXPECT_EQ(windowKeys, 1);
    Seen();

    // Losing the focus passes it to the nearest parent that takes it.
    XPLoseKeyboardFocus(field);
    EXPECT_EQ(Seen(), "1:6 2:7");
    EXPECT_EQ(XPGetWidgetWithFocus(), nullptr);
    answers[{1, xpMsg_KeyTakeFocus}] = 1;
    XPSetKeyboardFocus(field);
    XPLoseKeyboardFocus(field);
    EXPECT_EQ(host.WidgetWithFocus(), front);
    EXPECT_NE(host.WidgetReport().find("\"front\""), std::string::npos);
}

// A root that comes forward on a click behind, eating that click, as the SDK's windows do.
template <int Tag>
int SelectingRoot(XPWidgetMessage message, XPWidgetID widget, intptr_t param1, intptr_t param2) {
    if (XPUSelectIfNeeded(message, widget, param1, param2, 1)) {
        seen.push_back(std::to_string(Tag) + ":eaten");
        return 1;
    }
    return Recorder<Tag>(message, widget, param1, param2);
}

TEST_F(WidgetLibraryTest, TheFrontIsTheTopmostShownWindowAndAClickBehindIsEatenByTheSelection) {
    XPWidgetID back = XPCreateCustomWidget(0, 100, 100, 0, 1, "back", 1, nullptr, SelectingRoot<0>);
    XPWidgetID front = XPCreateCustomWidget(50, 150, 150, 50, 1, "front", 1, nullptr, SelectingRoot<1>);
    XPWidgetID inner = Make<2>(10, 90, 40, 60, back);
    answers[{0, xpMsg_MouseDown}] = 1;
    answers[{1, xpMsg_MouseDown}] = 1;
    Seen();

    // The first click behind raises the window and goes no further; the next one acts.
    host.MouseClick(20, 20);
    EXPECT_EQ(Seen(), "0:eaten 0:10");
    EXPECT_EQ(XPIsWidgetInFront(inner), 1);
    EXPECT_EQ(host.RootWidgets(), (std::vector<XPWidgetID>{front, back}));
    host.MouseClick(20, 80);
    EXPECT_EQ(Seen(), "2:8 0:8 0:10");

    // A hidden window is never in front: the topmost shown one is, window or widget.
    XPHideWidget(back);
    EXPECT_EQ(XPIsWidgetInFront(back), 0);
    EXPECT_EQ(XPIsWidgetInFront(front), 1);
    XPLMWindowID plain = XPLMCreateWindow(0, 10, 10, 0, 0, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(XPLMIsWindowInFront(plain), 0);
    EXPECT_EQ(XPIsWidgetInFront(front), 1);
    XPLMSetWindowIsVisible(plain, 1);
    EXPECT_EQ(XPLMIsWindowInFront(plain), 1);
    EXPECT_EQ(XPIsWidgetInFront(front), 0);
    XPLMSetWindowIsVisible(plain, 0);
    XPHideWidget(front);
    EXPECT_EQ(XPIsWidgetInFront(front) + XPLMIsWindowInFront(plain), 0);
}

TEST_F(WidgetLibraryTest, CreateDestroyAndParentMessagesReachEveryCallbackConcerned) {
    XPWidgetID root = Make<0>(0, 100, 100, 0, nullptr);
    XPWidgetID child = Make<1>(10, 90, 90, 10, root);
    XPAddWidgetCallback(child, Recorder<2>);
    EXPECT_EQ(Seen(), "0:1:0 1:1:0 1:15 0:13 2:1:1");

    // Taken from its parent, a widget hears that its parent is now none.
    XPPlaceWidgetWithin(child, nullptr);
    EXPECT_EQ(Seen(), "0:14 2:15 1:15");
    EXPECT_EQ(lastParent, 0);
    XPPlaceWidgetWithin(child, root);
    EXPECT_EQ(Seen(), "2:15 1:15 0:13");
    EXPECT_EQ(lastParent, reinterpret_cast<intptr_t>(root));

    // Every callback hears of the widget's end, even after one handled it.
    answers[{2, xpMsg_Destroy}] = 1;
    XPDestroyWidget(root, 1);
    EXPECT_EQ(Seen(), "2:2:1 1:2:1 0:2:0");
}

// A window dragged by its top ten pixels, keeping its children in place.
int DraggedWindow(XPWidgetMessage message, XPWidgetID widget, intptr_t param1, intptr_t param2) {
    if (XPUFixedLayout(message, widget, param1, param2)) return 1;
    int left = 0, top = 0, right = 0;
    XPGetWidgetGeometry(widget, &left, &top, &right, nullptr);
    return XPUDragWidget(message, widget, param1, param2, left, top, right, top - 10);
}

TEST_F(WidgetLibraryTest, UtilitiesBuildTablesMoveAndDragWidgets) {
    XPWidgetID holder = Make<0>(0, 500, 500, 0, nullptr);
    const XPWidgetCreate_t table[] = {
        {10, 300, 300, 10, 1, "Dialog", 1, NO_PARENT, xpWidgetClass_MainWindow},
        {20, 290, 100, 270, 1, "Label", 0, 0, xpWidgetClass_Caption},
        {30, 280, 110, 260, 1, "Held", 0, PARAM_PARENT, xpWidgetClass_Button},
    };
    XPWidgetID ids[3] = {};
    XPUCreateWidgets(table, 0, holder, ids);
    EXPECT_EQ(ids[0], nullptr);
    XPUCreateWidgets(table, 3, holder, ids);
    EXPECT_TRUE(host.Widget(ids[0])->root);
    EXPECT_EQ(host.Widget(ids[1])->parent, ids[0]);
    EXPECT_EQ(host.Widget(ids[2])->parent, holder);
    EXPECT_EQ(host.Widget(ids[2])->widgetClass, xpWidgetClass_Button);
    EXPECT_EQ(host.FindWidget("Held"), ids[2]);

    XPWidgetID window = XPCreateCustomWidget(100, 200, 200, 100, 1, "win", 1, nullptr, DraggedWindow);
    XPWidgetID child = Make<5>(110, 180, 150, 150, window);
    XPWidgetID other = Make<6>(600, 700, 700, 600, nullptr);
    EXPECT_EQ(XPUSelectIfNeeded(xpMsg_MouseDown, window, 0, 0, 1), 1);
    EXPECT_EQ(XPIsWidgetInFront(window), 1);
    EXPECT_EQ(XPUSelectIfNeeded(xpMsg_MouseDown, window, 0, 0, 1), 0);
    EXPECT_EQ(XPIsWidgetInFront(other), 0);

    // A press in the title bar drags the window; its child follows.
    host.MouseDown(120, 195);
    host.MouseDrag(130, 185);
    host.MouseUp(140, 185);
    auto geometry = [&](XPWidgetID widget) {
        auto view = host.Widget(widget);
        return std::vector<int>{view->left, view->top, view->right, view->bottom};
    };
    EXPECT_EQ(geometry(window), (std::vector<int>{120, 190, 220, 90}));
    EXPECT_EQ(geometry(child), (std::vector<int>{130, 170, 170, 140}));
    EXPECT_EQ(host.Widget(window)->properties.at(xpProperty_Dragging), 0);
    host.MouseDown(200, 100);  // below the title bar: no drag
    host.MouseDrag(250, 50);
    host.MouseUp(250, 50);
    EXPECT_EQ(geometry(window), (std::vector<int>{120, 190, 220, 90}));
    XPUMoveWidgetBy(child, -5, 5);
    EXPECT_EQ(geometry(child), (std::vector<int>{125, 175, 165, 145}));

    // Parameters that are not those of a message being dispatched are not read.
    XPMouseState_t stray{150, 185, 0, 0};
    XPWidgetGeometryChange_t strayChange{5, 5, 0, 0};
    EXPECT_EQ(XPUDragWidget(xpMsg_MouseDown, window, reinterpret_cast<intptr_t>(&stray), 0, 0, 999, 999, 0), 0);
    EXPECT_EQ(XPUFixedLayout(xpMsg_Reshape, window, reinterpret_cast<intptr_t>(window),
                             reinterpret_cast<intptr_t>(&strayChange)),
              0);
    EXPECT_EQ(XPUDragWidget(xpMsg_MouseDown, window, 12345, 0, 0, 999, 999, 0), 0);

    answers[{5, xpMsg_KeyTakeFocus}] = 1;
    XPSetKeyboardFocus(child);
    EXPECT_EQ(XPUDefocusKeyboard(xpMsg_MouseDown, window, 0, 0, 0), 0);
    EXPECT_EQ(XPGetWidgetWithFocus(), nullptr);
}

}  // namespace
}  // namespace korvane
