// Version detection from the banner and the checkpoint history file.
#include "KvOracle.h"
#include "TempDir.h"

#include <gtest/gtest.h>

TEST(OracleVersion, LeadingIntegerSkipsBlanksAndStopsAtTheFirstNonDigit) {
    EXPECT_EQ(LeadingInteger("8I ENTERPRISE"), 8);
    EXPECT_EQ(LeadingInteger("  10G"), 10);
    EXPECT_EQ(LeadingInteger("-3x"), -3);
    EXPECT_EQ(LeadingInteger("+7"), 7);
    EXPECT_EQ(LeadingInteger(" DATABASE"), 0);
    EXPECT_EQ(LeadingInteger(""), 0);
    EXPECT_EQ(LeadingInteger("-"), 0);
    EXPECT_EQ(LeadingInteger("99999999999999999999"), 2147483647);
}

TEST(OracleVersion, BannerFamilies) {
    EXPECT_EQ(VersionFromBanner("Oracle8i Enterprise Edition Release 8.1.7.0.0 - Production"), 8);
    EXPECT_EQ(VersionFromBanner("Oracle7 Server Release 7.3.4.0.0 - Production"), 7);
    EXPECT_EQ(VersionFromBanner("Oracle9i Enterprise Edition Release 9.2.0.1.0 - Production"), 9);
    EXPECT_EQ(VersionFromBanner("Oracle Database 10g Enterprise Edition Release 10.2.0.1.0 - Production"), 10);
    EXPECT_EQ(VersionFromBanner("Oracle Database 19c Enterprise Edition Release 19.0.0.0.0 - Production"), 19);
    EXPECT_EQ(VersionFromBanner("oracle database 23ai Free Release 23.0.0.0.0"), 23);
}

TEST(OracleVersion, UnreadableBannersGiveZero) {
    EXPECT_EQ(VersionFromBanner(""), 0);
    EXPECT_EQ(VersionFromBanner("PL/SQL Release 8.1.7.0.0 - Production"), 0);
    EXPECT_EQ(VersionFromBanner("Oracle Database Express Edition"), 0);
    EXPECT_EQ(VersionFromBanner("ORACLE"), 0);
    EXPECT_EQ(VersionFromBanner("Oracle Database"), 0);
}

TEST(OracleVersion, LogHistoryTextsFollowTheVersion) {
    EXPECT_NE(CheckPointDaysSql(8).find("TO_CHAR(FIRST_TIME, 'YYYYMMDD')"), std::string::npos);
    EXPECT_NE(CheckPointDaysSql(7).find("SUBSTR(FIRST_TIME, 1, 8)"), std::string::npos);
    EXPECT_EQ(CheckPointDaysSql(19), CheckPointDaysSql(8));
    EXPECT_NE(CheckPointHoursSql(10).find("= ?"), std::string::npos);
    EXPECT_NE(CheckPointHoursSql(7).find("SUBSTR(FIRST_TIME,  1, 8) = ?"), std::string::npos);
}

TEST(CheckPointFile, LineIsRightAlignedAndCut) {
    EXPECT_EQ(CheckPointLine("20010315", "24"), "  20010315     24");
    EXPECT_EQ(CheckPointLine("03/15/01", "1"), "  03/15/01      1");
    EXPECT_EQ(CheckPointLine("123456789012", "1234567"), "1234567890  12345");
    EXPECT_EQ(CheckPointLine("", ""), std::string(17, ' '));
    EXPECT_EQ(CheckPointLine("20010315", "24").size(), 17u);
}

TEST(CheckPointFile, WrittenWholeWithCrLfAndAtMost1001Days) {
    TTempDir dir;
    std::vector<CheckPointDay> days;
    for (int i = 0; i < 1005; ++i)
        days.push_back({std::to_string(20010000 + i), std::to_string(i)});
    ASSERT_TRUE(WriteCheckPointFile(dir.Path(), days));
    const std::string text = ReadBytes(dir.File("ChkeckPoint.dat"));
    EXPECT_EQ(text.size(), 1001u * 19u);
    EXPECT_EQ(text.substr(0, 19), "  20010000      0\r\n");
    EXPECT_EQ(text.substr(1000 * 19), "  20011000   1000\r\n");

    ASSERT_TRUE(WriteCheckPointFile(dir.Path(), {{"20020101", "3"}}));
    EXPECT_EQ(ReadBytes(dir.File("ChkeckPoint.dat")), "  20020101      3\r\n");
}

TEST(CheckPointFile, NothingIsWrittenForNoDaysOrAMissingDirectory) {
    TTempDir dir;
    ASSERT_TRUE(WriteCheckPointFile(dir.Path(), {{"20020101", "3"}}));
    EXPECT_FALSE(WriteCheckPointFile(dir.Path(), {}));
    EXPECT_EQ(ReadBytes(dir.File("ChkeckPoint.dat")), "  20020101      3\r\n");
    EXPECT_FALSE(WriteCheckPointFile(dir.File("KLVDAT"), {{"20020101", "3"}}));
}
