#include <gtest/gtest.h>

#include "app/window_placement.h"

using namespace tamsel;

TEST(WindowPlacement, AnchorsOfTheFivePointsRoundHalvesToEven) {
    const Rect32 w{1000, 500, 3001, 2000};
    EXPECT_EQ(AnchorOf(w, 2)->x, 2500);  // 2500.5
    EXPECT_EQ(AnchorOf(w, 2)->y, 1500);
    EXPECT_EQ(AnchorOf(w, 0)->x, 1000);
    EXPECT_EQ(AnchorOf(w, 1)->x, 4001);
    EXPECT_EQ(AnchorOf(w, 3)->y, 2500);
    EXPECT_EQ(AnchorOf(w, 4)->y, 2500);
    EXPECT_FALSE(AnchorOf(w, 5).has_value());
    EXPECT_FALSE(AnchorOf(w, -1).has_value());
}

TEST(WindowPlacement, WindowsGoToTheirAnchorAndStayOnTheScreen) {
    const int32_t sw = 1024 * 15, sh = 768 * 15;
    Point32 p = PlaceAtAnchor({0, 0, 4815, 3600}, 2, {7200, 5400}, sw, sh);
    EXPECT_EQ(p.x, 4792);  // 7200 - 2407.5
    EXPECT_EQ(p.y, 3600);
    p = PlaceAtAnchor({0, 0, 1500, 1200}, 4, {300, 300}, sw, sh);
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 0);
    // Wider than the screen: a left that is not negative puts the right edge on the screen's.
    p = PlaceAtAnchor({0, 0, sw + 3000, 1000}, 0, {100, 100}, sw, sh);
    EXPECT_EQ(p.x, -3000);
    p = PlaceAtAnchor({0, 0, sw + 3000, 1000}, 2, {100, 100}, sw, sh);
    EXPECT_EQ(p.x, 0);
    // Another index keeps the place, pushed inside when it sticks out.
    p = PlaceAtAnchor({900, 800, 2000, 1000}, 7, {1, 1}, sw, sh);
    EXPECT_EQ(p.x, 900);
    EXPECT_EQ(p.y, 800);
    p = PlaceAtAnchor({sw - 100, sh - 50, 2000, 1000}, 7, {1, 1}, sw, sh);
    EXPECT_EQ(p.x, sw - 2000);
    EXPECT_EQ(p.y, sh - 1000);
    p = PlaceAtAnchor({-40, 5, 2000, 1000}, 9, {1, 1}, sw, sh);
    EXPECT_EQ(p.x, 0);
}

TEST(WindowPlacement, CheckBoxesAndBooleans) {
    EXPECT_EQ(CheckToBool(1), kTrue);
    EXPECT_EQ(CheckToBool(2), kFalse);  // greyed
    EXPECT_EQ(CheckToBool(0), kFalse);
    EXPECT_EQ(BoolToCheck(kTrue), 1);
    EXPECT_EQ(BoolToCheck(1), 0);  // only -1 is True
    EXPECT_EQ(BoolToCheck(kFalse), 0);
}
