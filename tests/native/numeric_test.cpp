#include <gtest/gtest.h>

#include "app/numeric.h"

using namespace tamsel;

TEST(Numeric, HalvesRoundToEvenAndRangeIsChecked) {
    EXPECT_EQ(RoundHalfEven(2500.5), 2500.0);
    EXPECT_EQ(RoundHalfEven(2501.5), 2502.0);
    EXPECT_EQ(RoundHalfEven(-0.5), 0.0);
    EXPECT_EQ(RoundHalfEven(-1.5), -2.0);
    EXPECT_EQ(RoundHalfEven(1.49999), 1.0);
    EXPECT_EQ(RoundHalfEven(-2.51), -3.0);
    EXPECT_EQ(RoundToInt32(2147483647.4), 2147483647);
    EXPECT_FALSE(RoundToInt32(2147483647.5).has_value());  // ties to even: 2147483648
    EXPECT_EQ(RoundToInt32(-2147483648.5), -2147483648);
    EXPECT_FALSE(RoundToInt32(1e300).has_value());
    EXPECT_EQ(CheckedMul32(21474836, 100), 2147483600);
    EXPECT_FALSE(CheckedMul32(21474837, 100).has_value());
}
