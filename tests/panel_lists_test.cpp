// Feeding the panel's lists: long texts are cut into at most three lines, and lines
// wait as pending text until the panel exists.
#include "ui/panel_lists.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

using Lines = std::vector<std::string>;

TEST(SplitListLine, ShortTextsStayWhole) {
    EXPECT_EQ(SplitListLine("abc def"), Lines{"abc def"});
    EXPECT_EQ(SplitListLine(std::string(45, 'x')), Lines{std::string(45, 'x')});
}

TEST(SplitListLine, TextWithoutBlanksIsCutEvery45Characters) {
    std::string text = std::string(45, 'a') + std::string(45, 'b') + std::string(10, 'c');
    EXPECT_EQ(SplitListLine(text), (Lines{std::string(45, 'a'), std::string(45, 'b'), std::string(10, 'c')}));
}

TEST(SplitListLine, BreaksAtTheLastBlankAndDropsIt) {
    std::string first = std::string(30, 'a') + " " + std::string(10, 'b');  // 41 characters
    std::string text = first + " " + std::string(20, 'c');
    EXPECT_EQ(SplitListLine(text), (Lines{first, std::string(20, 'c')}));
}

TEST(SplitListLine, ABlankRightAtTheCutStartsTheNextLine) {
    std::string text = std::string(45, 'a') + " tail";
    EXPECT_EQ(SplitListLine(text), (Lines{std::string(45, 'a'), " tail"}));
    // An earlier blank does not win over the one at the cut.
    text = "ab " + std::string(42, 'c') + " tail words";
    EXPECT_EQ(SplitListLine(text), (Lines{"ab " + std::string(42, 'c'), " tail words"}));
}

std::string Repeat(const std::string& piece, int times) {
    std::string text;
    while (times-- > 0) text += piece;
    return text;
}

TEST(SplitListLine, WidthCountsCharactersAndCutsOnlyBetweenThem) {
    EXPECT_EQ(SplitListLine(Repeat("\u00e9", 45)), Lines{Repeat("\u00e9", 45)});
    EXPECT_EQ(SplitListLine(std::string(44, 'a') + "\u20ac" + Repeat("\U0001F600", 10)),
              (Lines{std::string(44, 'a') + "\u20ac", Repeat("\U0001F600", 10)}));
    std::string first = Repeat("\u00e4", 30);
    EXPECT_EQ(SplitListLine(first + " " + Repeat("\u00f6", 20)), (Lines{first, Repeat("\u00f6", 20)}));
    // Bytes that are no UTF-8 (text the host gave undecoded) count one each.
    EXPECT_EQ(SplitListLine(std::string(50, '\xff')), (Lines{std::string(45, '\xff'), std::string(5, '\xff')}));
}

TEST(SplitListLine, TheThirdLineIsNotCutFurther) {
    std::string text(200, 'z');
    Lines lines = SplitListLine(text);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[2].size(), 110u);
}

TEST(PendingText, LinesWaitWithSeparatorsUntilTheLimit) {
    AddToPrintList("hello");
    AddToPrintList(std::string(50, 'x'));
    EXPECT_EQ(PrintPendingText(), "hello;" + std::string(45, 'x') + ";xxxxx;");
    EXPECT_EQ(DisplayPendingText(), "");

    while (PrintPendingText().size() < 8000) AddToPrintList(std::string(40, 'y'));
    std::size_t full = PrintPendingText().size();
    AddToPrintList("lost");
    EXPECT_EQ(PrintPendingText().size(), full);
}

}  // namespace
}  // namespace korvane
