#include <gtest/gtest.h>

#include "KvNumFormat.h"

TEST(StrToFloatOrZero, ReadsPlainDecimalTexts) {
    EXPECT_DOUBLE_EQ(StrToFloatOrZero("1234"), 1234);
    EXPECT_DOUBLE_EQ(StrToFloatOrZero(" -12.5 "), -12.5);
    EXPECT_DOUBLE_EQ(StrToFloatOrZero(".5"), 0.5);
    EXPECT_DOUBLE_EQ(StrToFloatOrZero("1E3"), 1000);
}

TEST(StrToFloatOrZero, AnythingElseIsZero) {
    for (const char* t : {"", " ", "<Null>", "abc", "12x", "1,234", "inf", "nan", "0x10", "1e", "-", "."})
        EXPECT_EQ(StrToFloatOrZero(t), 0) << t;
    EXPECT_EQ(StrToFloatOrZero("1e999"), 0);   // out of range
}

TEST(RoundHalfEven, TiesGoToTheEvenNeighbour) {
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(3.5), 4);
    EXPECT_EQ(RoundHalfEven(-2.5), -2);
    EXPECT_EQ(RoundHalfEven(2.4999), 2);
    EXPECT_EQ(RoundHalfEven(2.5001), 3);
    EXPECT_EQ(RoundHalfEven(1536.0 / 1024), 2);      // 1.5
    EXPECT_EQ(RoundHalfEven(2560.0 / 1024), 2);      // 2.5
}

TEST(FormatGrouped, SeparatesThousandsAndRoundsAwayFromZero) {
    EXPECT_EQ(FormatGrouped(0), "0");
    EXPECT_EQ(FormatGrouped(999), "999");
    EXPECT_EQ(FormatGrouped(1000), "1,000");
    EXPECT_EQ(FormatGrouped(65536.0 / 1024), "64");
    EXPECT_EQ(FormatGrouped(10485760.0 / 1024), "10,240");
    EXPECT_EQ(FormatGrouped(1234567890), "1,234,567,890");
    EXPECT_EQ(FormatGrouped(2.5), "3");
    EXPECT_EQ(FormatGrouped(999.5), "1,000");
    EXPECT_EQ(FormatGrouped(-1234.4), "-1,234");
    EXPECT_EQ(FormatGrouped(-0.4), "0");
    EXPECT_EQ(FormatGrouped(-0.0), "0");
    EXPECT_EQ(FormatGrouped(-1000000), "-1,000,000");
    EXPECT_EQ(FormatGrouped(1e20), "100,000,000,000,000,000,000");
}

TEST(FormatInteger, NoSeparators) {
    EXPECT_EQ(FormatInteger(12345), "12345");
    EXPECT_EQ(FormatInteger(0.5), "1");
    EXPECT_EQ(FormatInteger(-7), "-7");
}

TEST(FormatTwoDecimals, TwoPlacesAtLeastOneIntegerDigit) {
    EXPECT_EQ(FormatTwoDecimals(0), "0.00");
    EXPECT_EQ(FormatTwoDecimals(12.3456), "12.35");
    EXPECT_EQ(FormatTwoDecimals(0.125), "0.13");     // decimal tie, away from zero
    EXPECT_EQ(FormatTwoDecimals(99.999), "100.00");
    EXPECT_EQ(FormatTwoDecimals(1234.5), "1234.50");
    EXPECT_EQ(FormatTwoDecimals(100.0 / 3), "33.33");
    // Rounded once, at the second place: just below a tie stays below it.
    EXPECT_EQ(FormatTwoDecimals(0.694996), "0.69");
    EXPECT_EQ(FormatTwoDecimals(69.4996 / 100), "0.69");
    EXPECT_EQ(FormatTwoDecimals(0.695), "0.70");     // the tie the text shows
    EXPECT_EQ(FormatTwoDecimals(1.0049999), "1.00");
    EXPECT_EQ(FormatTwoDecimals(1e20 / 3), "33333333333333300000.00");
    EXPECT_EQ(FormatGrouped(2.5), "3");
    EXPECT_EQ(FormatGrouped(1234567.4999), "1,234,567");
}
