// Version detection and the collector's checkpoint history refresh against
// the simulated instance, one private instance file per test.
#include "KvOracle.h"
#include "ODBCCall.h"
#include "TempDir.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>

namespace {

class CheckPointSimTest : public ::testing::Test {
protected:
    TTempDir dir;
    std::string driver;

    void SetUp() override {
        const char* path = std::getenv("KELV_SIM_DRIVER");
        if (!path || !Exists(path))
            GTEST_SKIP() << "simulated instance driver not built";
        driver = path;
    }

    std::unique_ptr<TQueryODBC> Instance(const std::string& knobs) {
        auto q = std::make_unique<TQueryODBC>();
        q->SetDriverConnect(true);
        q->SetUserID("system");
        q->SetPassword("manager");
        q->SetConnectInfo("DRIVER=" + driver + ";DATABASE=" + dir.File("inst.db") + ";" + knobs);
        return q;
    }

    std::vector<std::string> HistoryLines() const {
        const std::string text = ReadBytes(dir.File("ChkeckPoint.dat"));
        std::vector<std::string> lines;
        size_t pos = 0;
        while (pos < text.size()) {
            const size_t end = text.find("\r\n", pos);
            if (end == std::string::npos) {
                ADD_FAILURE() << "unterminated last line";
                break;
            }
            lines.push_back(text.substr(pos, end - pos));
            pos = end + 2;
        }
        return lines;
    }
};

bool AllDigits(const std::string& s) {
    return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

TEST_F(CheckPointSimTest, VersionsSevenEightAndTenAreDetected) {
    for (int version : {7, 8, 10}) {
        TTempDir own;
        auto q = std::make_unique<TQueryODBC>();
        q->SetDriverConnect(true);
        q->SetUserID("system");
        q->SetPassword("manager");
        q->SetConnectInfo("DRIVER=" + driver + ";DATABASE=" + own.File("inst.db") +
                          ";VERSION=" + std::to_string(version));
        const OracleVersionInfo info = CheckOracleVersion(*q);
        EXPECT_EQ(info.Version, version) << info.Banner;
        EXPECT_NE(info.Banner.find("Oracle"), std::string::npos);
    }
}

TEST_F(CheckPointSimTest, NewestDaysFirstInTheModernForm) {
    auto q = Instance("VERSION=10;LOGHISTORYDAYS=30");
    int version = 0;
    ASSERT_TRUE(RefreshCheckPointFile(*q, dir.Path(), version));
    EXPECT_EQ(version, 10);
    const std::vector<std::string> lines = HistoryLines();
    ASSERT_GE(lines.size(), 2u);
    std::string previous = "99999999";
    for (const std::string& line : lines) {
        ASSERT_EQ(line.size(), 17u) << line;
        const std::string date = line.substr(2, 8);
        EXPECT_EQ(line.substr(0, 2), "  ");
        EXPECT_TRUE(AllDigits(date)) << line;
        EXPECT_LT(date, previous) << "newest day first";
        previous = date;
        EXPECT_EQ(line.substr(10, 2), "  ");
        EXPECT_GT(std::atoi(line.substr(12).c_str()), 0) << line;
    }
}

TEST_F(CheckPointSimTest, OracleSevenWritesMonthDayYear) {
    auto q = Instance("VERSION=7;LOGHISTORYDAYS=5");
    int version = 0;
    ASSERT_TRUE(RefreshCheckPointFile(*q, dir.Path(), version));
    EXPECT_EQ(version, 7);
    const std::vector<std::string> lines = HistoryLines();
    ASSERT_FALSE(lines.empty());
    for (const std::string& line : lines) {
        ASSERT_EQ(line.size(), 17u);
        EXPECT_EQ(line[4], '/') << line;
        EXPECT_EQ(line[7], '/') << line;
    }
}

TEST_F(CheckPointSimTest, AtMostTheNewest1001Days) {
    auto q = Instance("VERSION=10;LOGHISTORYDAYS=1100");
    int version = 10;  // already known: no detection
    ASSERT_TRUE(RefreshCheckPointFile(*q, dir.Path(), version));
    EXPECT_EQ(HistoryLines().size(), 1001u);
}

TEST_F(CheckPointSimTest, UnsupportedVersionLeavesTheFileAlone) {
    auto q = Instance("VERSION=10");
    const std::string old = "  20010101      1\r\n";
    WriteBytes(dir.File("ChkeckPoint.dat"), old);
    int version = 6;
    EXPECT_FALSE(RefreshCheckPointFile(*q, dir.Path(), version));
    EXPECT_EQ(version, 6);
    EXPECT_EQ(ReadBytes(dir.File("ChkeckPoint.dat")), old);
}

TEST_F(CheckPointSimTest, UnreadableBannerLeavesTheVersionAtZero) {
    auto q = Instance("VERSION=10;BANNER=Oracle Database Free Release");
    const OracleVersionInfo info = CheckOracleVersion(*q);
    EXPECT_EQ(info.Version, 0);
    int version = 0;
    EXPECT_FALSE(RefreshCheckPointFile(*q, dir.Path(), version));
    EXPECT_FALSE(Exists(dir.File("ChkeckPoint.dat")));
}
