#include "browser/style_length.h"

#include <gtest/gtest.h>

TEST(StyleLength, ReadsTheNumberBeforePxAsWtoiWould) {
    EXPECT_EQ(StyleLengthToInt(L"400px"), 400);
    EXPECT_EQ(StyleLengthToInt(L"400"), 400);
    EXPECT_EQ(StyleLengthToInt(L"auto"), 0);
    EXPECT_EQ(StyleLengthToInt(L"12em"), 12);
    EXPECT_EQ(StyleLengthToInt(L""), 0);
    EXPECT_EQ(StyleLengthToInt(L"  -30px"), -30);
    EXPECT_EQ(StyleLengthToInt(L"+7px"), 7);
    EXPECT_EQ(StyleLengthToInt(L"50.9px"), 50);
    EXPECT_EQ(StyleLengthToInt(L"px400"), 0);
    EXPECT_EQ(StyleLengthToInt(L"- 5"), 0);
    EXPECT_EQ(StyleLengthToInt(L"99999999999999999999px"), 2147483647);
    EXPECT_EQ(StyleLengthToInt(L"-99999999999999999999"), -2147483647 - 1);
}
