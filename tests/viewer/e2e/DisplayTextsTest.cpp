// The expected texts are only as good as their formatter: its roundings and
// separators, case by case.
#include <gtest/gtest.h>

#include "DisplayTexts.h"

using namespace e2e;

TEST(DisplayTexts, ThousandsRoundHalvesAwayFromZeroAndGroupByThree)
{
    EXPECT_EQ(Thousands(0), "0");
    EXPECT_EQ(Thousands(999), "999");
    EXPECT_EQ(Thousands(1000), "1,000");
    EXPECT_EQ(Thousands(1234567), "1,234,567");
    EXPECT_EQ(Thousands(999.5), "1,000");
    EXPECT_EQ(Thousands(2.5), "3");
    EXPECT_EQ(Thousands(-1234.4), "-1,234");
    EXPECT_EQ(Thousands(-0.4), "0");
    EXPECT_EQ(Thousands(123456789012345.0), "123,456,789,012,345");
}

TEST(DisplayTexts, TwoDecimalsRoundTheWrittenDecimalValue)
{
    EXPECT_EQ(TwoDecimals(0), "0.00");
    EXPECT_EQ(TwoDecimals(100), "100.00");
    EXPECT_EQ(TwoDecimals(99.875), "99.88");
    EXPECT_EQ(TwoDecimals(99.625), "99.63");
    EXPECT_EQ(TwoDecimals(1.005), "1.01");
    EXPECT_EQ(TwoDecimals(99.994999), "99.99");
    EXPECT_EQ(TwoDecimals(99.995), "100.00");
    EXPECT_EQ(TwoDecimals(0.004), "0.00");
    EXPECT_EQ(TwoDecimals(-5.555), "-5.56");
}

TEST(DisplayTexts, KilobytesRoundHalvesToEven)
{
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(3.5), 4);
    EXPECT_EQ(RoundHalfEven(3072.4), 3072);
    EXPECT_EQ(RoundHalfEven(3072.6), 3073);
    EXPECT_EQ(RoundHalfEven(0), 0);
}

TEST(DisplayTexts, HourAndDayLabels)
{
    EXPECT_EQ(ChartHourLabel(5), " 5:00～59");
    EXPECT_EQ(ChartHourLabel(23), "23:00～59");
    EXPECT_EQ(GridHourLabel(0), "   0:00～59");
    EXPECT_EQ(DayDisplayText("20261204"), "26/12/04(金)");
    EXPECT_EQ(DayDisplayText("20000101"), "00/01/01(土)");
}
