// The collector's error log: entry form, failure handling and weekly clean-up.
#include "KvCom.h"
#include "KvText.h"
#include "TempDir.h"

#include <ctime>
#include <gtest/gtest.h>

namespace {

class ErrLogTest : public ::testing::Test {
protected:
    TTempDir dir;
    void SetUp() override { SetErrLogDir(dir.Path()); }
    void TearDown() override { SetErrLogDir(""); }
    static std::string Today() { return FormatDate(std::time(nullptr), "%Y%m%d"); }
    std::string LogOf(const std::string& date) const { return dir.File("KVErr" + date + ".LOG"); }
};

}  // namespace

TEST(ErrLogLineForm, DateTimeContextDetailMessage) {
    std::tm tm{};
    tm.tm_year = 101;
    tm.tm_mon = 2;
    tm.tm_mday = 15;
    tm.tm_hour = 9;
    tm.tm_min = 5;
    tm.tm_sec = 3;
    tm.tm_isdst = -1;
    EXPECT_EQ(ErrLogLine(std::mktime(&tm), "ORInsOR", "2001031509", "/d/OR20010315.dat0123"),
              "01/03/15 09:05:03 <<ORInsOR(2001031509)>> /d/OR20010315.dat0123");
}

TEST_F(ErrLogTest, EntriesAreAppendedToTodaysLog) {
    WriteErrLog("MUReadMU_Hour", "SA", "first");
    WriteErrLog("MUDelMU", "20010301", "second");
    const std::string text = ReadBytes(LogOf(Today()));
    const size_t firstEnd = text.find("\r\n");
    ASSERT_NE(firstEnd, std::string::npos);
    const std::string first = text.substr(0, firstEnd);
    ASSERT_EQ(first.size(), std::string("YY/MM/DD HH:NN:SS <<MUReadMU_Hour(SA)>> first").size());
    EXPECT_EQ(first.substr(18), "<<MUReadMU_Hour(SA)>> first");
    EXPECT_EQ(first[2], '/');
    EXPECT_EQ(first[11], ':');
    EXPECT_EQ(text.substr(firstEnd + 2 + 18), "<<MUDelMU(20010301)>> second\r\n");
}

TEST_F(ErrLogTest, AnUnwritableLogNeverThrows) {
    SetErrLogDir(dir.File("no/such/dir"));
    testing::internal::CaptureStderr();
    EXPECT_NO_THROW(WriteErrLog("ORInsOR", "x", "y"));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("<<ORInsOR(x)>> y"), std::string::npos);
    EXPECT_NO_THROW(DeleteOldErrLogs());
}

TEST_F(ErrLogTest, LogsOfSevenDaysAgoAndOlderArePruned) {
    const std::string today = Today();
    const std::string sevenAgo = AddDaysToDate(today, -7);
    const std::string sixAgo = AddDaysToDate(today, -6);
    const std::string lowerCaseOld = "kverr" + AddDaysToDate(today, -30) + ".log";
    WriteBytes(LogOf(sevenAgo), "x");
    WriteBytes(LogOf(sixAgo), "x");
    WriteBytes(LogOf(today), "x");
    WriteBytes(dir.File(lowerCaseOld), "x");
    WriteBytes(dir.File("KVErrabcdefgh.LOG"), "x");
    WriteBytes(dir.File("KVErr2001.LOG"), "x");
    WriteBytes(dir.File("MU19990101.dat"), "x");
    DeleteOldErrLogs();
    EXPECT_FALSE(Exists(LogOf(sevenAgo)));
    EXPECT_FALSE(Exists(dir.File(lowerCaseOld)));
    EXPECT_TRUE(Exists(LogOf(sixAgo)));
    EXPECT_TRUE(Exists(LogOf(today)));
    EXPECT_TRUE(Exists(dir.File("KVErrabcdefgh.LOG")));
    EXPECT_TRUE(Exists(dir.File("KVErr2001.LOG")));
    EXPECT_TRUE(Exists(dir.File("MU19990101.dat")));
}
