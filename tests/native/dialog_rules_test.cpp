#include <gtest/gtest.h>

#include "dialogs/dialog_rules.h"

using namespace tamsel;

TEST(DialogRules, SizeBoxesAreCorrectedWhileTyping) {
    EXPECT_EQ(CorrectedSizeText(L"0", int16_t{0}), L"1");
    EXPECT_EQ(CorrectedSizeText(L"-3", int16_t{-3}), L"1");
    EXPECT_EQ(CorrectedSizeText(L"2000", int16_t{2000}), L"1000");
    EXPECT_EQ(CorrectedSizeText(L"abc", std::nullopt), L"");
    EXPECT_EQ(CorrectedSizeText(L"12a", std::nullopt), L"");
    // Left as typed: a number in range, a fraction that rounds into it, and the empty box.
    EXPECT_EQ(CorrectedSizeText(L"1.5", int16_t{2}), std::nullopt);
    EXPECT_EQ(CorrectedSizeText(L"1000", int16_t{1000}), std::nullopt);
    EXPECT_EQ(CorrectedSizeText(L"1", int16_t{1}), std::nullopt);
    EXPECT_EQ(CorrectedSizeText(L"", std::nullopt), std::nullopt);
}

TEST(DialogRules, TilesMustMakeABitmapThatCanBeCreated) {
    EXPECT_TRUE(TileFits(2, 2, 100, 50));
    EXPECT_TRUE(TileFits(3, 1, 100, 50));
    EXPECT_FALSE(TileFits(0, 2, 100, 50));
    EXPECT_FALSE(TileFits(2, -1, 100, 50));
    EXPECT_FALSE(TileFits(1, 1, 0, 0));  // no picture
    EXPECT_TRUE(TileFits(327, 1, 100, 50));   // 32700 wide
    EXPECT_FALSE(TileFits(328, 1, 100, 50));  // 32800 wide
    EXPECT_FALSE(TileFits(32767, 32767, 100, 50));
    // Within both sides but beyond the memory limit: 32000 x 3000 x 3 bytes.
    EXPECT_FALSE(TileFits(320, 30, 100, 100));
    EXPECT_FALSE(TileFits(100, 100, 100, 100));  // 10000 x 10000 x 3 bytes: above 256 MiB
    EXPECT_TRUE(TileFits(90, 90, 100, 100));     // 9000 x 9000 x 3 bytes: below
}

TEST(DialogRules, TheVersionLineFollowsTheBuildsNumbers) {
    EXPECT_EQ(VersionLine(2, 1, 0), L"Version. 2.1.0");
    EXPECT_EQ(VersionLine(2, 10, 3), L"Version. 2.10.3");
}
