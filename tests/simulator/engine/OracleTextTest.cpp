// Oracle's number and date texts and the format masks.
#include "OracleText.h"
#include "SimEngine.h"

#include <gtest/gtest.h>

using namespace sim;

namespace {

TEST(OracleNumbers, ShownWithoutTrailingZerosAndLeadingZero) {
    EXPECT_EQ(FormatOracleNumber(3.5), "3.5");
    EXPECT_EQ(FormatOracleNumber(12.0), "12");
    EXPECT_EQ(FormatOracleNumber(0.5), ".5");
    EXPECT_EQ(FormatOracleNumber(-0.25), "-.25");
    EXPECT_EQ(FormatOracleNumber(0), "0");
    EXPECT_EQ(FormatOracleNumber(1e20), "100000000000000000000");
    EXPECT_EQ(FormatOracleNumber(1.0 / 3), ".333333333333333");
    EXPECT_EQ(FormatOracleNumber(0.0000125), ".0000125");
}

TEST(OracleDates, MasksOfTheCheckpointViews) {
    OraDate d{2026, 12, 6, 9, 5, 7};  // a Sunday
    EXPECT_EQ(FormatDateMask(d, "YY/MM/DD(DY)"), "26/12/06(SUN)");
    EXPECT_EQ(FormatDateMask(d, "YYYYMMDD"), "20261206");
    EXPECT_EQ(FormatDateMask(d, "HH24"), "09");
    EXPECT_EQ(FormatDateMask(d, "MM/DD/YY HH24:MI:SS"), "12/06/26 09:05:07");
    EXPECT_EQ(FormatDateMask(d, "Dy DD-MON-YYYY HH:MI AM"), "Sun 06-DEC-2026 09:05 AM");
    EXPECT_EQ(FormatDateMask(OraDate{2024, 2, 29, 23, 0, 0}, "DY"), "THU");
    EXPECT_THROW(FormatDateMask(d, "QQ"), SimError);
}

TEST(OracleDates, ParsingByMaskAndFixedText) {
    OraDate d = ParseDateMask("12/06/26", "MM/DD/YY", 2026);
    EXPECT_EQ(FormatDateText(d), "2026-12-06 00:00:00");
    EXPECT_EQ(FormatDateText(ParseDateMask("06-DEC-2026 13:14:15", "DD-MON-YYYY HH24:MI:SS", 2026)), "2026-12-06 13:14:15");
    EXPECT_THROW(ParseDateMask("13/40/26", "MM/DD/YY", 2026), SimError);
    EXPECT_THROW(ParseDateMask("02/30/26", "MM/DD/YY", 2026), SimError);
    EXPECT_THROW(ParseDateMask("12/06/26x", "MM/DD/YY", 2026), SimError);
    ASSERT_TRUE(ParseDateText("2026-12-06 13:14:15"));
    EXPECT_FALSE(ParseDateText("2026-13-06 13:14:15"));
    EXPECT_FALSE(ParseDateText("12/06/26"));
    EXPECT_EQ(FormatDateText(DateFromUnix(UnixFromDate(OraDate{1999, 12, 31, 23, 59, 59}) + 1)), "2000-01-01 00:00:00");
}

}  // namespace
