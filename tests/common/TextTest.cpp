// Fixed-width fields and date arithmetic.
#include "KvText.h"

#include <ctime>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {

std::time_t LocalTime(int y, int mo, int d, int h, int mi, int s) {
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = s;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

}  // namespace

TEST(FixedWidth, PadRightFillsOrCuts) {
    EXPECT_EQ(PadRight("abc", 5), "abc  ");
    EXPECT_EQ(PadRight("abcdef", 4), "abcd");
    EXPECT_EQ(PadRight("", 3), "   ");
    EXPECT_EQ(PadRight("abc", 0), "");
    EXPECT_EQ(PadRight("abc", -2), "");
}

TEST(FixedWidth, ZeroPadTrimsJustifiesAndKeepsTheLastDigits) {
    EXPECT_EQ(ZeroPad(" 42 ", 5), "00042");
    EXPECT_EQ(ZeroPad("123456", 4), "3456");
    EXPECT_EQ(ZeroPad("-5", 4), "00-5");
    EXPECT_EQ(ZeroPad("-12345", 4), "2345");
    EXPECT_EQ(ZeroPad("", 3), "000");
    EXPECT_EQ(ZeroPad("1 2", 5), "00102");
    EXPECT_EQ(ZeroPad("7", 0), "");
}

TEST(FixedWidth, TrimAndUpperCaseLeaveMultiByteCharactersAlone) {
    EXPECT_EQ(Trim(" \t\r\nab c\x01 "), "ab c");
    EXPECT_EQ(Trim("\x83\x74"), "\x83\x74");
    EXPECT_EQ(UpperCase("oracle 8i"), "ORACLE 8I");
    EXPECT_EQ(UpperCase("\xE3\x81\x82" "a"), "\xE3\x81\x82" "A");  // UTF-8
    EXPECT_EQ(UpperCaseShiftJis("\x83\x74x"), "\x83\x74X");
    EXPECT_EQ(UpperCaseShiftJis("\xB1" "x"), "\xB1" "X");  // half-width kana is one byte
}

TEST(DateArithmetic, AddDaysCrossesMonthsYearsAndLeapDays) {
    EXPECT_EQ(AddDaysToDate("20010301", -1), "20010228");
    EXPECT_EQ(AddDaysToDate("20000301", -1), "20000229");  // 2000 is a leap year
    EXPECT_EQ(AddDaysToDate("19000301", -1), "19000228");  // 1900 is not
    EXPECT_EQ(AddDaysToDate("20240228", 1), "20240229");
    EXPECT_EQ(AddDaysToDate("20001231", 1), "20010101");
    EXPECT_EQ(AddDaysToDate("20010101", -1), "20001231");
    EXPECT_EQ(AddDaysToDate("20010315", 0), "20010315");
    EXPECT_EQ(AddDaysToDate("20010315", -100), "20001205");
    EXPECT_EQ(AddDaysToDate("20010315", 365), "20020315");
}

TEST(DateArithmetic, BadDatesAreRejected) {
    EXPECT_THROW(AddDaysToDate("20010230", 1), std::invalid_argument);
    EXPECT_THROW(AddDaysToDate("2001031", 1), std::invalid_argument);
    EXPECT_THROW(AddDaysToDate("2001031x", 1), std::invalid_argument);
    EXPECT_THROW(AddDaysToDate("20011301", 1), std::invalid_argument);
    EXPECT_THROW(DiffDays(20010229, 20010101), std::invalid_argument);
}

TEST(DateArithmetic, DiffDaysIsAbsolute) {
    EXPECT_EQ(DiffDays(20010315, 20010315), 0);
    EXPECT_EQ(DiffDays(20010301, 20010228), 1);
    EXPECT_EQ(DiffDays(20010228, 20010301), 1);
    EXPECT_EQ(DiffDays(20000301, 20000228), 2);
    EXPECT_EQ(DiffDays(20010101, 20001231), 1);
    EXPECT_EQ(DiffDays(20020101, 20010101), 365);
}

TEST(DateArithmetic, DiffSecondsIsAbsoluteAcrossMidnight) {
    EXPECT_EQ(DiffSeconds(LocalTime(2001, 3, 15, 10, 0, 8), LocalTime(2001, 3, 15, 10, 0, 0)), 8);
    EXPECT_EQ(DiffSeconds(LocalTime(2001, 3, 15, 10, 0, 0), LocalTime(2001, 3, 15, 10, 0, 8)), 8);
    EXPECT_EQ(DiffSeconds(LocalTime(2001, 3, 16, 0, 0, 5), LocalTime(2001, 3, 15, 23, 59, 55)), 10);
    EXPECT_EQ(DiffSeconds(LocalTime(2001, 1, 1, 0, 0, 0), LocalTime(2000, 12, 31, 0, 0, 0)), 86400);
}

TEST(DateArithmetic, FormatDateAndDateAsInt) {
    const std::time_t t = LocalTime(2001, 3, 15, 9, 5, 3);
    EXPECT_EQ(FormatDate(t, "%Y%m%d"), "20010315");
    EXPECT_EQ(FormatDate(t, "%y/%m/%d %H:%M:%S"), "01/03/15 09:05:03");
    EXPECT_EQ(DateAsInt(t), 20010315);
}

// The data-source order of the login: punctuation before digits before
// letters, letter case ignored, a name before its own longer forms.
TEST(NameOrder, PunctuationBeforeDigitsBeforeLettersWithoutCase) {
    auto before = [](const char* a, const char* b) { return CompareTextNoCase(a, b) < 0; };
    EXPECT_TRUE(before("ORA_PROD", "ORA1"));
    EXPECT_TRUE(before("ORA1", "ORAPROD"));
    EXPECT_TRUE(before("ORA_PROD", "ORAPROD"));
    EXPECT_TRUE(before("ora-prod", "ORA_PROD")) << "within punctuation, by character code";
    EXPECT_TRUE(before("ORA 1", "ORA_1")) << "a blank is punctuation too";
    EXPECT_TRUE(before("alpha", "BETA"));
    EXPECT_TRUE(before("ALPHA", "beta"));
    EXPECT_TRUE(before("ORA10", "ORA9")) << "digits compare one by one";
    EXPECT_TRUE(before("ORA", "ORA_"));
    EXPECT_TRUE(before("ORAZ", "ORA\xC3\xA9")) << "bytes of other scripts after the letters";
    EXPECT_EQ(CompareTextNoCase("Ora_Prod", "ORA_PROD"), 0);
    EXPECT_EQ(CompareTextNoCase("", ""), 0);
    EXPECT_GT(CompareTextNoCase("ORAPROD", "ORA_PROD"), 0);
    // "[" and "_" follow "Z" in ASCII; here they come before every letter.
    EXPECT_TRUE(before("[", "A"));
    EXPECT_TRUE(before("_", "0"));
}
