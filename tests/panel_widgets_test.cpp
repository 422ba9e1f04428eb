// The panel's own widgets in the host's widget library: the list box's lines, triggers,
// scrolling and line choice, and the pop-up button with its menu.
#include "tests/support/core_session.h"
#include "ui/list_box.h"
#include "ui/panel_lists.h"
#include "ui/popup_button.h"

#include <XPStandardWidgets.h>
#include <XPUIGraphics.h>
#include <XPWidgets.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace korvane {
namespace {

using namespace ui;
using Lines = std::vector<std::string>;

// What the widgets told their owner.
struct OwnerMessage {
    XPWidgetMessage message;
    intptr_t param1, param2;
};
std::vector<OwnerMessage> ownerMessages;

int Owner(XPWidgetMessage message, XPWidgetID, intptr_t param1, intptr_t param2) {
    if (message == xpMsg_ListBoxLineChosen || message == xpMsg_PopupItemChosen)
        ownerMessages.push_back({message, param1, param2});
    return 0;
}

class PanelWidgetsTest : public testing::CoreSession {
protected:
    void SetUp() override {
        CoreSession::SetUp();
        ownerMessages.clear();
        window = XPCreateWidget(0, 768, 1024, 0, 1, "owner", 1, nullptr, xpWidgetClass_MainWindow);
        XPAddWidgetCallback(window, Owner);
    }
    void TearDown() override {
        ClosePopupMenus();
        XPDestroyWidget(window, 1);
        CoreSession::TearDown();
    }
    int Get(XPWidgetID widget, int property) { return static_cast<int>(XPGetWidgetProperty(widget, property, nullptr)); }
    void Set(XPWidgetID widget, int property, intptr_t value) { XPSetWidgetProperty(widget, property, value); }
    Lines LinesOf(XPWidgetID list) { return ListBoxLines(list)->lines; }
    void Click(int x, int y) { sim.Host().MouseClick(x, y); }

    XPWidgetID window = nullptr;
};

TEST_F(PanelWidgetsTest, ListBoxLinesFollowItsTriggers) {
    XPWidgetID list = CreateListBox(100, 400, 300, 300, 1, "one;two;three", window);
    EXPECT_EQ(LinesOf(list), (Lines{"one", "two", "three"}));
    const std::pair<int, int> created[] = {{xpProperty_ListBoxSelection, 0},   {xpProperty_ListBoxScrollMax, 3},
                                           {xpProperty_ListBoxScrollPosition, 3}, {xpProperty_ListBoxScrollMin, 0},
                                           {xpProperty_ListBoxVisibleLines, 8},  {xpProperty_ListBoxPageAmount, 8}};
    for (auto [property, value] : created) EXPECT_EQ(Get(list, property), value) << property;

    // Appending while scrolled down brings the first line back to the top.
    Set(list, xpProperty_ListBoxScrollPosition, 1);
    XPSetWidgetDescriptor(list, "four;five");
    Set(list, xpProperty_ListBoxAppendLine, 1);
    EXPECT_EQ(LinesOf(list).back(), "four;five");
    EXPECT_EQ(Get(list, xpProperty_ListBoxScrollPosition), 4);
    EXPECT_EQ(Get(list, xpProperty_ListBoxAppendLine), 0);

    // Insert and delete act at the selection and leave the scroll bar alone.
    Set(list, xpProperty_ListBoxSelection, 1);
    XPSetWidgetDescriptor(list, "inserted");
    Set(list, xpProperty_ListBoxInsertLine, 1);
    Set(list, xpProperty_ListBoxSelection, 3);
    Set(list, xpProperty_ListBoxDeleteLine, 1);
    EXPECT_EQ(LinesOf(list), (Lines{"one", "inserted", "two", "four;five"}));
    EXPECT_EQ(Get(list, xpProperty_ListBoxScrollMax), 4);
    // At or past the end, a delete finds no line.
    for (int selection : {4, 9}) {
        Set(list, xpProperty_ListBoxSelection, selection);
        Set(list, xpProperty_ListBoxDeleteLine, 1);
        EXPECT_EQ(LinesOf(list), (Lines{"one", "inserted", "two", "four;five"})) << selection;
    }

    // Separators at the end add nothing; at the start and twice in a row they make empty lines.
    XPSetWidgetDescriptor(list, "a;b;");
    Set(list, xpProperty_ListBoxSetLines, 1);
    EXPECT_EQ(LinesOf(list), (Lines{"a", "b"}));
    XPSetWidgetDescriptor(list, ";x;;y");
    Set(list, xpProperty_ListBoxSetLines, 1);
    EXPECT_EQ(LinesOf(list), (Lines{"", "x", "", "y"}));
    EXPECT_EQ(Get(list, xpProperty_ListBoxScrollMax), 4);

    Set(list, xpProperty_ListBoxClear, 1);
    EXPECT_TRUE(LinesOf(list).empty());
    EXPECT_EQ(Get(list, xpProperty_ListBoxScrollMax), 0);
    EXPECT_EQ(Get(list, xpProperty_ListBoxSelection), 0);
}

TEST_F(PanelWidgetsTest, ListBoxSelectsLinesAndScrollsByItsBar) {
    std::string text;
    for (int i = 0; i < 30; ++i) text += "line " + std::to_string(i) + ";";
    const int left = 100, top = 400, right = 300, bottom = 280;  // 10 rows
    XPWidgetID list = CreateListBox(left, top, right, bottom, 1, text.c_str(), window);

    // The third row, pressed and released: selected, in the descriptor, told to the owner.
    Click(150, top - 2 * 12 - 5);
    EXPECT_EQ(Get(list, xpProperty_ListBoxSelection), 2);
    char chosen[64] = {};
    XPGetWidgetDescriptor(list, chosen, sizeof chosen);
    EXPECT_STREQ(chosen, "line 2");
    ASSERT_EQ(ownerMessages.size(), 1u);
    EXPECT_EQ(ownerMessages[0].message, xpMsg_ListBoxLineChosen);
    EXPECT_EQ(ownerMessages[0].param1, reinterpret_cast<intptr_t>(list));
    EXPECT_EQ(ownerMessages[0].param2, 2);

    auto metrics = [&] {
        struct { int vertical, down, downPage, thumb, upPage, up; } m{};
        XPGetTrackMetrics(right - 20, bottom, right, top, Get(list, xpProperty_ListBoxScrollMin),
                          Get(list, xpProperty_ListBoxScrollMax), Get(list, xpProperty_ListBoxScrollPosition),
                          xpTrack_ScrollBar, &m.vertical, &m.down, &m.downPage, &m.thumb, &m.upPage, &m.up);
        return m;
    };
    const int barX = right - 10;
    auto position = [&] { return Get(list, xpProperty_ListBoxScrollPosition); };
    ASSERT_TRUE(metrics().vertical);
    // At the top already, the up arrow keeps the position at max.
    Click(barX, top - 1);
    EXPECT_EQ(position(), 30);
    Click(barX, bottom + 1);  // down arrow
    EXPECT_EQ(position(), 29);
    auto m = metrics();
    Click(barX, bottom + m.down + 1);  // the track below the thumb: one page down
    EXPECT_EQ(position(), 19);
    m = metrics();
    Click(barX, top - m.up - 1);  // the track above the thumb: one page up
    EXPECT_EQ(position(), 29);
    // A line clicked now counts from the first line shown.
    Click(150, top - 5);
    EXPECT_EQ(Get(list, xpProperty_ListBoxSelection), 1);

    // Dragging the thumb: the position follows the mouse as the track's room gives it.
    m = metrics();
    const int thumbMiddle = bottom + m.down + m.downPage + m.thumb / 2;
    sim.Host().MouseDown(barX, thumbMiddle);
    EXPECT_EQ(Get(list, xpProperty_ListBoxThumbDragging), 1);
    const int y = bottom + m.down + (top - bottom - m.down - m.up) / 3;
    sim.Host().MouseDrag(barX, y);
    const int half = m.thumb / 2;
    const double exact = 30.0 * (y - bottom - m.down - half) / (top - bottom - m.down - m.up - 2 * half);
    EXPECT_EQ(position(), static_cast<int>(exact + 0.5));
    sim.Host().MouseUp(barX, y);
    EXPECT_EQ(Get(list, xpProperty_ListBoxThumbDragging), 0);
}

TEST_F(PanelWidgetsTest, PanelListsFeedTheListBoxOnceItExists) {
    AddToPrintList("waiting");
    XPWidgetID print = CreateListBox(100, 400, 400, 200, 1, PrintPendingText().c_str(), window);
    SetPanelListBoxes(nullptr, print);
    AddToPrintList(std::string(45, 'a') + std::string(45, 'b') + std::string(10, 'c'));
    AddToPrintList("a b c d");
    // A text of any length reaches the list, cut into three lines.
    AddToPrintList(std::string(5000, 'z'));
    EXPECT_EQ(PrintPendingText(), "");
    Lines lines = LinesOf(print);
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[0].substr(lines[0].size() - 7), "waiting");
    EXPECT_EQ((Lines{lines[1], lines[2], lines[3], lines[4]}),
              (Lines{std::string(45, 'a'), std::string(45, 'b'), std::string(10, 'c'), "a b c d"}));
    EXPECT_EQ(lines[7].size(), 5000u - 90u);
    ClearPrintList();
    EXPECT_TRUE(LinesOf(print).empty());
    SetPanelListBoxes(nullptr, nullptr);
}

TEST_F(PanelWidgetsTest, PopupShowsTheSelectionAndPicksFromItsMenu) {
    XPWidgetID popup = CreatePopupButton(100, 400, 300, 380, 1, "A;-;(B;C", window);
    Set(popup, xpProperty_PopupSelection, 2);
    EXPECT_EQ(Get(popup, xpProperty_PopupShownStart), 4);
    EXPECT_EQ(Get(popup, xpProperty_PopupShownLength), 2);

    Click(150, 390);
    ASSERT_EQ(OpenPopupMenus().size(), 1u);
    const PopupMenu& menu = *OpenPopupMenus()[0];
    EXPECT_EQ(menu.texts, (Lines{"A", "-", "B", "C"}));
    EXPECT_EQ(menu.pickable, (std::vector<char>{1, 0, 0, 1}));
    std::vector<int> heights;
    for (std::size_t i = 0; i < 4; ++i) heights.push_back(menu.upperEdges[i] - menu.lowerEdges[i]);
    EXPECT_EQ(heights, (std::vector<int>{12, 2, 12, 12}));
    // The current item lies at the button's top left corner.
    EXPECT_EQ(menu.left, 100);
    EXPECT_EQ(menu.top + menu.upperEdges[2], 400);

    // A separator or a "(" item closes the menu and changes nothing.
    auto itemPoint = [](const PopupMenu& m, int i) {
        return std::pair{m.left + m.leftEdges[i] + 5, m.top + m.lowerEdges[i] + 1};
    };
    auto [bx, by] = itemPoint(menu, 2);
    Click(bx, by);
    EXPECT_TRUE(OpenPopupMenus().empty());
    EXPECT_EQ(Get(popup, xpProperty_PopupSelection), 2);

    Click(150, 390);
    auto [cx, cy] = itemPoint(*OpenPopupMenus()[0], 3);
    Click(cx, cy);
    EXPECT_EQ(Get(popup, xpProperty_PopupSelection), 3);
    EXPECT_EQ(Get(popup, xpProperty_PopupShownStart), 7);
    ASSERT_EQ(ownerMessages.size(), 1u);
    EXPECT_EQ(ownerMessages[0].message, xpMsg_PopupItemChosen);
    EXPECT_EQ(ownerMessages[0].param2, 3);

    // Disabled, it opens nothing.
    Set(popup, xpProperty_Enabled, 0);
    Click(150, 390);
    EXPECT_TRUE(OpenPopupMenus().empty());

    // Destroyed while its menu is open, the button takes the menu and its window along.
    Set(popup, xpProperty_Enabled, 1);
    Click(150, 390);
    ASSERT_EQ(OpenPopupMenus().size(), 1u);
    XPDestroyWidget(popup, 1);
    EXPECT_TRUE(OpenPopupMenus().empty());
    EXPECT_EQ(sim.Host().Windows().size(), 1u);  // the owner's alone
}

TEST_F(PanelWidgetsTest, LongMenusOpenInColumnsOnScreen) {
    std::string items;
    for (int i = 0; i < 120; ++i) items += "Item " + std::to_string(i) + ";";
    XPWidgetID popup = CreatePopupButton(950, 300, 1020, 280, 1, items.c_str(), window);
    Set(popup, xpProperty_PopupSelection, -1);
    Click(960, 290);
    ASSERT_EQ(OpenPopupMenus().size(), 1u);
    const PopupMenu& menu = *OpenPopupMenus()[0];
    // 60 items of 12 pixels reach 720 below the top, past the 718 a 768-pixel screen allows.
    EXPECT_EQ(menu.columnStarts.size(), 1u);
    EXPECT_EQ(menu.leftEdges[59], 0);
    EXPECT_EQ(menu.leftEdges[60], menu.columnStarts[0]);
    // Anchored at the first item (the selection is negative), then moved onto the screen.
    EXPECT_EQ(menu.right, 1014);
    EXPECT_EQ(menu.bottom, 10);
    EXPECT_EQ(menu.top, 730);

    const int x = menu.left + menu.leftEdges[5] + 5, y = menu.top + menu.lowerEdges[5] + 1;
    Click(x, y);
    EXPECT_EQ(Get(popup, xpProperty_PopupSelection), 5);
    ASSERT_EQ(ownerMessages.size(), 1u);
    EXPECT_EQ(ownerMessages[0].param2, 5);
}

}  // namespace
}  // namespace korvane
