// The simulator's standard widget classes as a user meets them: mouse and keys go in
// through the headless host, and the owner sees the class messages sent up the chain.
#include "host/driver.h"

#include <XPStandardWidgets.h>
#include <XPUIGraphics.h>
#include <XPWidgets.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

namespace korvane {
namespace {

struct Message {
    int message;
    intptr_t param1;
    intptr_t param2;
    bool operator==(const Message&) const = default;
};

std::vector<Message> g_messages;

// Added to the window: keeps the class messages that travel up to it.
int RecordClassMessages(XPWidgetMessage message, XPWidgetID, intptr_t param1, intptr_t param2) {
    if (message >= xpMessage_CloseButtonPushed && message < xpMsg_UserStart)
        g_messages.push_back({message, param1, param2});
    return 0;
}

intptr_t Id(XPWidgetID widget) { return reinterpret_cast<intptr_t>(widget); }

class StandardWidgets : public ::testing::Test {
protected:
    StandardWidgets() {
        g_messages.clear();
        window_ = XPCreateWidget(100, 500, 400, 200, 1, "Window", 1, nullptr, xpWidgetClass_MainWindow);
        XPAddWidgetCallback(window_, RecordClassMessages);
    }
    XPWidgetID Child(int left, int top, int right, int bottom, const char* text, XPWidgetClass widgetClass) {
        return XPCreateWidget(left, top, right, bottom, 1, text, 0, window_, widgetClass);
    }
    void Click(int x, int y) {
        host_.MouseDown(x, y);
        host_.MouseUp(x, y);
    }
    void Type(char key, char virtualKey, XPLMKeyFlags flags = 0) {
        host_.PressKey(key, flags | xplm_DownFlag, virtualKey);
    }
    std::string Text(XPWidgetID widget) {
        char text[256] = {};
        XPGetWidgetDescriptor(widget, text, sizeof text);
        return text;
    }
    std::pair<intptr_t, intptr_t> Selection(XPWidgetID field) {
        return {XPGetWidgetProperty(field, xpProperty_EditFieldSelStart, nullptr),
                XPGetWidgetProperty(field, xpProperty_EditFieldSelEnd, nullptr)};
    }

    host::HeadlessHost host_{host::MakeTemporaryFolder("korvane-widgets-")};
    XPWidgetID window_ = nullptr;
};

TEST(TrackMetrics, PartsFillTheTrackAndFollowTheValue) {
    struct Case {
        int x1, y1, x2, y2, min, max, value, style;
        int vertical;
    };
    const Case cases[] = {
        {0, 0, 20, 200, 0, 10, 0, xpTrack_ScrollBar, 1},    {0, 0, 20, 200, 0, 10, 10, xpTrack_ScrollBar, 1},
        {0, 0, 300, 16, 0, 100, 37, xpTrack_ScrollBar, 0}, {300, 16, 0, 0, 0, 100, 250, xpTrack_Slider, 0},
        {0, 0, 12, 100, 5, 5, 5, xpTrack_Slider, 1},        {0, 0, 200, 12, 0, 50, 25, xpTrack_Progress, 0},
        {0, 0, 20, 30, 10, 0, 3, xpTrack_ScrollBar, 1},     {0, 0, 4, 4, 0, 10, 5, xpTrack_ScrollBar, 0},
    };
    for (const Case& c : cases) {
        int vertical, down, downPage, thumb, upPage, up;
        XPGetTrackMetrics(c.x1, c.y1, c.x2, c.y2, c.min, c.max, c.value, c.style, &vertical, &down, &downPage, &thumb,
                          &upPage, &up);
        SCOPED_TRACE(::testing::Message() << c.x1 << "," << c.y1 << "," << c.x2 << "," << c.y2 << " value "
                                          << c.value << " style " << c.style);
        const int length = c.vertical ? std::abs(c.y2 - c.y1) : std::abs(c.x2 - c.x1);
        EXPECT_EQ(vertical, c.vertical);
        EXPECT_EQ(down + downPage + thumb + upPage + up, length);
        EXPECT_TRUE(down >= 0 && downPage >= 0 && thumb >= 0 && upPage >= 0 && up >= 0);
        if (c.style != xpTrack_ScrollBar) {
            EXPECT_EQ(down + up, 0);
        }
        if (c.style == xpTrack_Progress) {
            EXPECT_EQ(thumb, 0);
        }
        if (c.min < c.max && c.value <= c.min) {
            EXPECT_EQ(downPage, 0);
        }
        if (c.min < c.max && c.value >= c.max) {
            EXPECT_EQ(upPage, 0);
        }
    }
    // A value halfway leaves as much track below the thumb as above it; nothing needs a place.
    int downPage, upPage;
    XPGetTrackMetrics(0, 0, 20, 200, 0, 10, 5, xpTrack_ScrollBar, nullptr, nullptr, &downPage, nullptr, &upPage,
                      nullptr);
    EXPECT_EQ(downPage, upPage);
}

TEST_F(StandardWidgets, PushButtonsActOnAReleaseInsideAPressBegunOnThemBoxesOnTheClick) {
    XPWidgetID push = Child(120, 480, 200, 460, "OK", xpWidgetClass_Button);
    host_.MouseDown(150, 470);
    EXPECT_EQ(XPGetWidgetProperty(push, xpProperty_Hilited, nullptr), 1);
    host_.MouseDrag(250, 470);
    EXPECT_EQ(XPGetWidgetProperty(push, xpProperty_Hilited, nullptr), 0);
    host_.MouseUp(250, 470);  // released outside: nothing
    EXPECT_TRUE(g_messages.empty());
    host_.MouseDown(150, 470);
    host_.MouseDrag(300, 470);
    host_.MouseUp(160, 465);  // back inside before the release
    EXPECT_EQ(g_messages, (std::vector<Message>{{xpMsg_PushButtonPressed, Id(push), 0}}));

    XPWidgetID check = Child(120, 440, 200, 420, "Check", xpWidgetClass_Button);
    XPSetWidgetProperty(check, xpProperty_ButtonType, xpRadioButton);
    XPSetWidgetProperty(check, xpProperty_ButtonBehavior, xpButtonBehaviorCheckBox);
    XPWidgetID radio = Child(120, 400, 200, 380, "Radio", xpWidgetClass_Button);
    XPSetWidgetProperty(radio, xpProperty_ButtonType, xpRadioButton);
    XPSetWidgetProperty(radio, xpProperty_ButtonBehavior, xpButtonBehaviorRadioButton);
    g_messages.clear();
    host_.MouseDown(130, 430);  // a box changes as it is clicked, wherever the mouse is let go
    EXPECT_EQ(XPGetWidgetProperty(check, xpProperty_ButtonState, nullptr), 1);
    host_.MouseUp(300, 300);
    Click(130, 430);
    host_.MouseDown(130, 390);
    EXPECT_EQ(XPGetWidgetProperty(radio, xpProperty_ButtonState, nullptr), 1);
    host_.MouseUp(130, 390);
    Click(130, 390);  // already chosen
    EXPECT_EQ(XPGetWidgetProperty(check, xpProperty_ButtonState, nullptr), 0);
    EXPECT_EQ(XPGetWidgetProperty(radio, xpProperty_ButtonState, nullptr), 1);
    EXPECT_EQ(g_messages, (std::vector<Message>{{xpMsg_ButtonStateChanged, Id(check), 1},
                                                {xpMsg_ButtonStateChanged, Id(check), 0},
                                                {xpMsg_ButtonStateChanged, Id(radio), 1}}));

    // Disabled, neither kind reacts; a message whose parameter is no mouse state is not read.
    g_messages.clear();
    EXPECT_EQ(XPSendMessageToWidget(push, xpMsg_MouseDown, xpMode_Direct, 8, 0), 0);
    XPSetWidgetProperty(push, xpProperty_Enabled, 0);
    XPSetWidgetProperty(check, xpProperty_Enabled, 0);
    Click(150, 470);
    Click(130, 430);
    EXPECT_TRUE(g_messages.empty());
    EXPECT_EQ(XPGetWidgetProperty(check, xpProperty_ButtonState, nullptr), 0);
}

TEST_F(StandardWidgets, TextFieldEditsWithKeysAndMouse) {
    // 140 pixels wide with 7-pixel characters; the text starts 3 pixels in.
    XPWidgetID field = Child(120, 300, 260, 280, "", xpWidgetClass_TextField);
    auto columnX = [](int column) { return 123 + 7 * column; };
    Click(columnX(0), 290);
    ASSERT_EQ(XPGetWidgetWithFocus(), field);
    for (char c : std::string("hello")) Type(c, XPLM_VK_A + (c - 'a'));
    Type('\b', XPLM_VK_BACK);
    EXPECT_EQ(Text(field), "hell");
    Type(0, XPLM_VK_LEFT);
    Type(0, XPLM_VK_HOME, xplm_ShiftFlag);  // selects "hel"
    EXPECT_EQ(Selection(field), std::make_pair(intptr_t{0}, intptr_t{3}));
    Type('J', XPLM_VK_J, xplm_ShiftFlag);
    EXPECT_EQ(Text(field), "Jl");
    Type('\r', XPLM_VK_RETURN);  // left to the owner
    Type('\t', XPLM_VK_TAB);
    EXPECT_EQ(Text(field), "Jl");
    const auto changes = std::count_if(g_messages.begin(), g_messages.end(), [&](const Message& m) {
        return m == Message{xpMsg_TextFieldChanged, Id(field), 0};
    });
    EXPECT_EQ(changes, 7);  // five letters, one erase, one replacement

    // Drag selects from where the press began; typing past the limit changes nothing.
    XPSetWidgetDescriptor(field, "abcdef");
    host_.MouseDown(columnX(4), 290);
    host_.MouseDrag(columnX(1), 290);
    host_.MouseUp(columnX(1), 290);
    EXPECT_EQ(Selection(field), std::make_pair(intptr_t{1}, intptr_t{4}));
    Type(0, XPLM_VK_DELETE);
    EXPECT_EQ(Text(field), "aef");
    XPSetWidgetProperty(field, xpProperty_MaxCharacters, 4);
    Type('x', XPLM_VK_X);
    Type('y', XPLM_VK_Y);
    EXPECT_EQ(Text(field), "axef");
    Type(0, XPLM_VK_END);
    Type('\b', XPLM_VK_BACK);
    EXPECT_EQ(Text(field), "axe");

    // The view scrolls to keep the caret in sight: 19 characters fit.
    XPSetWidgetDescriptor(field, "abcdefghijklmnopqrstuvwxyz0123");
    Type(0, XPLM_VK_END);
    EXPECT_EQ(XPGetWidgetProperty(field, xpProperty_ScrollPosition, nullptr), 11);
    Type(0, XPLM_VK_HOME);
    EXPECT_EQ(XPGetWidgetProperty(field, xpProperty_ScrollPosition, nullptr), 0);
    XPSetWidgetDescriptor(field, "axe");

    // A password shows as stars; a disabled field takes no keys.
    XPSetWidgetProperty(field, xpProperty_PasswordMode, 1);
    host_.ClearCalls();
    host_.RunFrame();
    bool stars = false;
    for (const auto& call : host_.Calls()) {
        EXPECT_EQ(call.detail.find("axe"), std::string::npos);
        stars = stars || (call.function == "XPLMDrawString" && call.detail.find("'***'") != std::string::npos);
    }
    EXPECT_TRUE(stars);
    EXPECT_EQ(XPSendMessageToWidget(field, xpMsg_KeyPress, xpMode_Direct, 8, 0), 0);
    XPSetWidgetProperty(field, xpProperty_Enabled, 0);
    Type('z', XPLM_VK_Z);
    EXPECT_EQ(Text(field), "axe");
}

TEST_F(StandardWidgets, ScrollBarStepsPagesAndDragsWithinItsRange) {
    // Vertical, 20 by 200: 20-pixel arrows at the ends and a 20-pixel thumb between them.
    XPWidgetID bar = Child(300, 450, 320, 250, "", xpWidgetClass_ScrollBar);
    XPSetWidgetProperty(bar, xpProperty_ScrollBarMin, 0);
    XPSetWidgetProperty(bar, xpProperty_ScrollBarMax, 10);
    XPSetWidgetProperty(bar, xpProperty_ScrollBarSliderPosition, 0);
    XPSetWidgetProperty(bar, xpProperty_ScrollBarPageAmount, 3);
    auto position = [&] { return XPGetWidgetProperty(bar, xpProperty_ScrollBarSliderPosition, nullptr); };
    Click(310, 440);  // up arrow
    Click(310, 260);  // down arrow
    Click(310, 260);  // already at the minimum: no change, no message
    Click(310, 400);  // above the thumb: a page up
    EXPECT_EQ(position(), 3);
    // The thumb now lies 42 pixels above the down arrow: take it 8 pixels in.
    host_.MouseDown(310, 320);
    EXPECT_EQ(XPGetWidgetProperty(bar, xpProperty_Dragging, nullptr), 1);
    host_.MouseDrag(310, 600);  // far beyond the top: held at the maximum
    EXPECT_EQ(position(), 10);
    host_.MouseDrag(310, 348);  // the thumb's foot 70 of its 140 pixels of travel up: halfway
    host_.MouseUp(310, 348);
    EXPECT_EQ(position(), 5);
    EXPECT_EQ(XPGetWidgetProperty(bar, xpProperty_Dragging, nullptr), 0);
    Click(310, 270);  // below the thumb: a page down
    Click(310, 270);
    EXPECT_EQ(position(), 0);
    const intptr_t id = Id(bar);
    const int moved = xpMsg_ScrollBarSliderPositionChanged;
    EXPECT_EQ(g_messages, (std::vector<Message>{{moved, id, 1}, {moved, id, 0}, {moved, id, 3}, {moved, id, 10},
                                                {moved, id, 5}, {moved, id, 2}, {moved, id, 0}}));

    // A horizontal slider has no arrows: its whole length is thumb travel.
    XPWidgetID slider = Child(120, 230, 240, 218, "", xpWidgetClass_ScrollBar);
    XPSetWidgetProperty(slider, xpProperty_ScrollBarType, xpScrollBarTypeSlider);
    XPSetWidgetProperty(slider, xpProperty_ScrollBarMin, -50);
    XPSetWidgetProperty(slider, xpProperty_ScrollBarMax, 50);
    XPSetWidgetProperty(slider, xpProperty_ScrollBarSliderPosition, -50);
    host_.MouseDown(125, 224);
    host_.MouseDrag(239, 224);
    host_.MouseUp(239, 224);
    EXPECT_EQ(XPGetWidgetProperty(slider, xpProperty_ScrollBarSliderPosition, nullptr), 50);
}

TEST_F(StandardWidgets, PassiveClassesDrawTheirOwnLook) {
    XPSetWidgetProperty(Child(110, 470, 390, 210, "", xpWidgetClass_SubWindow), xpProperty_SubWindowType,
                        xpSubWindowStyle_Screen);
    XPSetWidgetProperty(Child(120, 460, 140, 440, "", xpWidgetClass_GeneralGraphics), xpProperty_GeneralGraphicsType,
                        xpShip);
    XPWidgetID progress = Child(120, 430, 300, 420, "", xpWidgetClass_Progress);
    XPSetWidgetProperty(progress, xpProperty_ProgressMax, 40);
    XPSetWidgetProperty(progress, xpProperty_ProgressPosition, 30);
    host_.ClearCalls();
    host_.RunFrame();
    std::vector<std::string> drawn;
    for (const auto& call : host_.Calls())
        if (call.function.rfind("XPDraw", 0) == 0) drawn.push_back(call.function + " " + call.detail);
    EXPECT_EQ(drawn, (std::vector<std::string>{"XPDrawWindow 100 200 400 500 style=1",
                                               "XPDrawWindow 110 210 390 470 style=4",
                                               "XPDrawElement 120 440 140 460 style=26 lit=0",
                                               "XPDrawTrack 120 420 300 430 min=0 max=40 value=30 style=2 lit=0"}));
}

TEST_F(StandardWidgets, MainWindowDragsByItsTitleAndClosesOnARelease) {
    XPWidgetID button = Child(120, 400, 200, 380, "B", xpWidgetClass_Button);
    XPWidgetID panel = Child(110, 360, 390, 210, "", xpWidgetClass_SubWindow);
    XPWidgetID inside = XPCreateWidget(120, 350, 200, 330, 1, "In", 0, panel, xpWidgetClass_Button);
    host_.MouseDown(200, 495);
    host_.MouseDrag(250, 480);
    host_.MouseUp(250, 480);
    int left, top, right, bottom;
    XPGetWidgetGeometry(window_, &left, &top, &right, &bottom);
    EXPECT_EQ(std::tie(left, top, right, bottom), std::make_tuple(150, 485, 450, 185));
    XPGetWidgetGeometry(button, &left, &top, nullptr, nullptr);
    EXPECT_EQ(std::tie(left, top), std::make_tuple(170, 385));
    // Whatever lies deeper moves along, and is still where a click finds it.
    XPGetWidgetGeometry(inside, &left, &top, nullptr, nullptr);
    EXPECT_EQ(std::tie(left, top), std::make_tuple(170, 335));
    Click(180, 325);
    EXPECT_EQ(g_messages, (std::vector<Message>{{xpMsg_PushButtonPressed, Id(inside), 0}}));
    g_messages.clear();
    // A click below the title bar moves nothing.
    host_.MouseDown(300, 300);
    host_.MouseDrag(350, 350);
    host_.MouseUp(350, 350);
    XPGetWidgetGeometry(window_, &left, &top, nullptr, nullptr);
    EXPECT_EQ(std::tie(left, top), std::make_tuple(150, 485));

    // Close boxes in both top corners, 14 pixels square, 2 pixels in.
    XPSetWidgetProperty(window_, xpProperty_MainWindowHasCloseBoxes, 1);
    host_.MouseDown(440, 476);
    host_.MouseUp(300, 300);  // let go elsewhere: not closed
    EXPECT_TRUE(g_messages.empty());
    Click(440, 476);
    Click(158, 476);
    EXPECT_EQ(g_messages, (std::vector<Message>{{xpMessage_CloseButtonPushed, Id(window_), 0},
                                                {xpMessage_CloseButtonPushed, Id(window_), 0}}));
    XPGetWidgetGeometry(window_, &left, &top, nullptr, nullptr);
    EXPECT_EQ(std::tie(left, top), std::make_tuple(150, 485));
}

}  // namespace
}  // namespace korvane
