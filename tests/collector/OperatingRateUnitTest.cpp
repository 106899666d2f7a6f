// The operating-rate unit against a scripted instance and host.
#include "CollectorFixture.h"
#include "KvgClock.h"

namespace {
const std::time_t k10h20 = MakeLocalTime(2000, 10, 15, 10, 20, 0);
const std::time_t k11h00 = MakeLocalTime(2000, 10, 15, 11, 0, 6);
const std::time_t k12h00 = MakeLocalTime(2000, 10, 15, 12, 0, 3);
}  // namespace

class OperatingRateUnitTest : public CollectorTest {
protected:
    TStatFiles files_{""};
    TOperatingRateUnit or_{db_, files_, host_};
    void SetUp() override
    {
        CollectorTest::SetUp();
        files_ = TStatFiles(dataDir_.string());
    }
};

TEST_F(OperatingRateUnitTest, HourLineHasLoginsMemoryAndSampleRange)
{
    or_.ResetOR();
    or_.HourOR(k10h20);
    EXPECT_FALSE(Exists("OR20001015.dat"));
    host_.MemKB = 300 * 1024;
    or_.SampleOR_Mem();
    host_.MemKB = 100.4 * 1024;  // rounded to whole megabytes
    or_.SampleOR_Mem();
    host_.MemKB = 200 * 1024;
    or_.SampleOR_Mem();
    or_.HourOR(k11h00);
    or_.HourOR(k12h00);  // an hour without samples

    const auto lines = ReadLines("OR20001015.dat");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(At(lines[0], 1, 2), "10");
    EXPECT_EQ(At(lines[0], 49, 3), "002");
    EXPECT_EQ(NumAt(lines[0], 52, 20), 256);
    EXPECT_EQ(NumAt(lines[0], 72, 20), 300);
    EXPECT_EQ(NumAt(lines[0], 92, 20), 100);
    EXPECT_EQ(At(lines[1], 1, 2), "11");
    EXPECT_EQ(NumAt(lines[1], 72, 20), 0);
    EXPECT_EQ(NumAt(lines[1], 92, 20), 999999999);
}

TEST_F(OperatingRateUnitTest, InstalledMemoryIsTheLargestSeenSinceStart)
{
    or_.ResetOR();
    or_.HourOR(k10h20);
    host_.TotalBytes = 512.0 * 1024 * 1024;
    or_.HourOR(k11h00);
    host_.TotalBytes = 128.0 * 1024 * 1024;
    or_.HourOR(k12h00);
    const auto lines = ReadLines("OR20001015.dat");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(NumAt(lines[0], 52, 20), 512);
    EXPECT_EQ(NumAt(lines[1], 52, 20), 512);
}

TEST_F(OperatingRateUnitTest, HostWithoutMemoryFiguresWritesZerosAndNeverAsks)
{
    host_.NT = false;
    or_.ResetOR();
    or_.HourOR(k10h20);
    or_.SampleOR_Mem();
    or_.HourOR(k11h00);
    or_.HourOR(k12h00);
    EXPECT_EQ(host_.MemCalls, 0);
    for (const auto& l : ReadLines("OR20001015.dat")) {
        EXPECT_EQ(NumAt(l, 72, 20), 0);
        EXPECT_EQ(NumAt(l, 92, 20), 0);
    }
}

TEST_F(OperatingRateUnitTest, FailedLoginStatementIsLoggedAndTheLineStillWritten)
{
    or_.ResetOR();
    or_.HourOR(k10h20);
    const std::string bg = "BACKGROUND";
    db_.Fail(or_sql::kLogins, &bg);
    or_.HourOR(k11h00);
    const auto lines = ReadLines("OR20001015.dat");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(At(lines[0], 49, 3), "000");
    const auto log = ErrLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].find("<<ORReadOR_Hour(Login)>> ORA-00942"), std::string::npos);
}

TEST_F(OperatingRateUnitTest, CpuSamplesKeepTheirRange)
{
    or_.ResetOR();
    host_.Cpu = 40;
    or_.SampleOR_CPU();
    host_.Cpu = 5;
    or_.SampleOR_CPU();
    EXPECT_EQ(or_.CpuMax(), 40);
    EXPECT_EQ(or_.CpuMin(), 5);
}
