#include <gtest/gtest.h>

#include "windows/scroll_area.h"

using namespace tamsel;

TEST(ScrollArea, ABarThatTakesRoomCanMakeTheOtherNeeded) {
    // Smaller than the area: no bars.
    BarChoice c = ChooseBars(6000, 4500, 4800, 3600, 255, 255);
    EXPECT_FALSE(c.horizontal);
    EXPECT_FALSE(c.vertical);
    EXPECT_EQ(c.width, 6000);
    // Wider, and only slightly less high: the horizontal bar's 255 twips make the vertical one needed.
    c = ChooseBars(6000, 4500, 6300, 4400, 255, 255);
    EXPECT_TRUE(c.horizontal);
    EXPECT_TRUE(c.vertical);
    EXPECT_EQ(c.width, 5745);
    EXPECT_EQ(c.height, 4245);
    // Wider, and low enough: the horizontal bar alone.
    c = ChooseBars(6000, 4500, 6300, 3000, 255, 255);
    EXPECT_TRUE(c.horizontal);
    EXPECT_FALSE(c.vertical);
    // Higher, and narrow enough: the vertical bar alone; slightly less wide: both.
    c = ChooseBars(6000, 4500, 5000, 9000, 255, 255);
    EXPECT_FALSE(c.horizontal);
    EXPECT_TRUE(c.vertical);
    EXPECT_EQ(c.width, 5745);
    c = ChooseBars(6000, 4500, 5900, 9000, 255, 255);
    EXPECT_TRUE(c.horizontal);
    EXPECT_TRUE(c.vertical);
    EXPECT_EQ(c.height, 4245);
}

TEST(ScrollArea, RangesAndStepsFollowThePictureAndTheArea) {
    const BarRange start;
    BarRange b = SizeBar(start, 9600, 6000);
    EXPECT_EQ(b.max, 3600);
    EXPECT_EQ(b.largeChange, 3720);  // (3600 + 120) \ (9600 \ 6000)
    EXPECT_EQ(b.smallChange, 372);
    b = SizeBar(start, 20000, 6000);
    EXPECT_EQ(b.max, 14000);
    EXPECT_EQ(b.largeChange, 4706);  // 14120 \ 3
    EXPECT_EQ(b.smallChange, 471);   // 470.6
    // Smaller than the area: Max goes negative, the steps stay (a zero quotient).
    const BarRange before{500, 77, 8, 1, 500};
    b = SizeBar(before, 3000, 6000);
    EXPECT_EQ(b.max, -3000);
    EXPECT_EQ(b.extent, 0);
    EXPECT_EQ(b.largeChange, 77);
    EXPECT_EQ(b.smallChange, 8);
    // No area left: only Max changes.
    b = SizeBar(before, 3000, 0);
    EXPECT_EQ(b.max, 3000);
    EXPECT_EQ(b.largeChange, 77);
    // A tenth that rounds to 0 (0.5 to even) leaves SmallChange alone.
    b = SizeBar(before, 3000, 5);
    EXPECT_EQ(b.largeChange, 5);  // 3115 \ 600
    EXPECT_EQ(b.smallChange, 8);
    // Max + 120 above 16 bits: the steps stay, Max itself is still in range.
    b = SizeBar(before, 38700, 6000);
    EXPECT_EQ(b.max, 32700);
    EXPECT_EQ(b.unit, 1);
    EXPECT_EQ(b.largeChange, 77);
}

TEST(ScrollArea, APictureBeyondTheBarsRangeIsStillReachableToItsEnd) {
    const BarRange b = SizeBar(BarRange{}, 40000, 6000);
    EXPECT_EQ(b.unit, 2);
    EXPECT_EQ(b.max, 17000);
    EXPECT_EQ(b.extent, 34000);
    EXPECT_EQ(b.largeChange, 2853);  // 17120 \ 6
    EXPECT_EQ(OffsetForValue(b, b.max), -34000);
    EXPECT_EQ(OffsetForValue(b, 100), -200);
    EXPECT_EQ(OffsetForValue(b, 0), 0);
    // A huge picture: the range never exceeds the bar's.
    const BarRange huge = SizeBar(BarRange{}, 2000000, 6000);
    EXPECT_LE(huge.max + 120, 32767);
    EXPECT_EQ(OffsetForValue(huge, huge.max), -1994000);
    const DragStop end = ClampDrag(huge, -5e6);
    EXPECT_EQ(end.offset, -1994000);
    EXPECT_EQ(end.value, huge.max);
}

TEST(ScrollArea, ADragStopsAtBothEdges) {
    const BarRange b = SizeBar(BarRange{}, 9600, 6000);
    DragStop s = ClampDrag(b, -5000);
    EXPECT_EQ(s.offset, -3600);
    EXPECT_EQ(s.value, 3600);
    s = ClampDrag(b, 30);
    EXPECT_EQ(s.offset, 0);
    EXPECT_EQ(s.value, 0);
    s = ClampDrag(b, -1234.5);
    EXPECT_EQ(s.offset, -1234.5);
    EXPECT_EQ(s.value, 1234);  // halves to even
    const BarRange scaled = SizeBar(BarRange{}, 40000, 6000);
    s = ClampDrag(scaled, -1001);
    EXPECT_EQ(s.value, 500);  // 500.5 bar units
}
