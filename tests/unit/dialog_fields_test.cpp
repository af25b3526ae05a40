// Numbers typed into the filter dialogs are read as strtol reads base 10.
#include <gtest/gtest.h>

#include <cstdint>

#include "ui/filter_dialog_fields.h"

namespace {

TEST(ParseNumberText, ReadsDigitsAfterWhiteSpaceAndSign)
{
    EXPECT_EQ(ParseNumberText("25"), 25);
    EXPECT_EQ(ParseNumberText("0010"), 10);
    EXPECT_EQ(ParseNumberText("  \t\n42"), 42);
    EXPECT_EQ(ParseNumberText("+7"), 7);
    EXPECT_EQ(ParseNumberText("-12"), -12);
    EXPECT_EQ(ParseNumberText("12abc34"), 12);
    EXPECT_EQ(ParseNumberText("3 4"), 3);
}

TEST(ParseNumberText, NoDigitsGiveZero)
{
    EXPECT_EQ(ParseNumberText(""), 0);
    EXPECT_EQ(ParseNumberText("   "), 0);
    EXPECT_EQ(ParseNumberText("-"), 0);
    EXPECT_EQ(ParseNumberText("abc"), 0);
    EXPECT_EQ(ParseNumberText("- 5"), 0);
    EXPECT_EQ(ParseNumberText("--5"), 0);
}

TEST(ParseNumberText, StopsAtTheLimitsOfThirtyTwoBits)
{
    EXPECT_EQ(ParseNumberText("2147483647"), INT32_MAX);
    EXPECT_EQ(ParseNumberText("2147483648"), INT32_MAX);
    EXPECT_EQ(ParseNumberText("99999999999999999999999999"), INT32_MAX);
    EXPECT_EQ(ParseNumberText("-2147483648"), INT32_MIN);
    EXPECT_EQ(ParseNumberText("-2147483649"), INT32_MIN);
    EXPECT_EQ(ParseNumberText("-99999999999999999999999999"), INT32_MIN);
    EXPECT_EQ(ParseNumberText("000000000000000000000000005"), 5);
}

}  // namespace
