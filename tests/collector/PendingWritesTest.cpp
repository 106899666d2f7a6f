// Writes a reader keeps back: the latch totals wait like the hourly lines,
// an unreadable latch file is left alone, and the end of the program gives
// every kept write a last, bounded try before its figures go to the error log.
#include <cerrno>

#include "CollectorFixture.h"
#include "HeldByReader.h"

namespace {

using kelvtest::HeldByReader;

constexpr int kDate = 20001015;
const char* const kMLName = "ML20001015.dat";
const char* const kMUName = "MU20001015.dat";

class PendingWritesTest : public CollectorTest {
protected:
    TStatFiles files_{""};
    int pauses_ = 0;
    std::function<void()> atPause_;

    void SetUp() override
    {
        CollectorTest::SetUp();
        files_ = TStatFiles(dataDir_.string());
        files_.SleepFn = [this](int) {
            ++pauses_;
            if (atPause_) atPause_();
        };
    }
    static std::vector<TLatchGrowth> Growth(double gets, double misses)
    {
        return {{"cache buffers chains", gets, misses}, {"library cache", gets * 2, misses * 2}};
    }
    long long TotalGets(const std::string& latch) const
    {
        for (const std::string& l : ReadLines(kMLName))
            if (l.rfind(latch + " ", 0) == 0) return NumAt(l, 66, 20);
        return -1;
    }
    int Entries(const std::string& piece) const
    {
        int n = 0;
        for (const std::string& l : ErrLog()) n += l.find(piece) != std::string::npos;
        return n;
    }
};

TEST_F(PendingWritesTest, LatchTotalsWaitForAReaderAndLoseNoGrowth)
{
    ASSERT_TRUE(files_.AddLatchGrowth(kDate, Growth(100, 1)));
    {
        HeldByReader viewer(Data(kMLName));
        ASSERT_TRUE(viewer.Held());
        EXPECT_FALSE(files_.AddLatchGrowth(kDate, Growth(30, 3)));
        EXPECT_FALSE(files_.AddLatchGrowth(kDate, Growth(5, 0)));  // queues behind the first
        for (int tick = 0; tick < 10; ++tick) files_.RetryPending();
        EXPECT_EQ(files_.PendingCount(), 2u);
        EXPECT_EQ(TotalGets("cache buffers chains"), 100);
    }
    files_.RetryPending();
    EXPECT_EQ(files_.PendingCount(), 0u);
    EXPECT_EQ(TotalGets("cache buffers chains"), 135);
    EXPECT_EQ(TotalGets("library cache"), 270);
    EXPECT_TRUE(ErrLog().empty()) << "a wait that ends is no failure";
}

TEST_F(PendingWritesTest, LatchTotalsHeldTooLongAreGivenUpWithTheirFiguresInTheLog)
{
    ASSERT_TRUE(files_.AddLatchGrowth(kDate, {}));  // the day's file, still empty
    HeldByReader viewer(Data(kMLName));
    ASSERT_TRUE(viewer.Held());
    EXPECT_FALSE(files_.AddLatchGrowth(kDate, Growth(30, 3)));
    for (int tick = 1; tick < TStatFiles::kPendingTickLimit; ++tick) files_.RetryPending();
    EXPECT_EQ(files_.PendingCount(), 1u) << "kept up to the last tick";
    EXPECT_TRUE(ErrLog().empty());
    files_.RetryPending();
    EXPECT_EQ(files_.PendingCount(), 0u);
    const std::string file = Data(kMLName);
    EXPECT_EQ(Entries("<<MUUpdML(20001015)>> " + file + BuildMLLine("cache buffers chains", 30, 3)), 1);
    EXPECT_EQ(Entries("<<MUUpdML(20001015)>> " + file + BuildMLLine("library cache", 60, 6)), 1);
    EXPECT_EQ(ErrLog().size(), 2u);
}

// A latch file that exists but cannot be read would otherwise be replaced
// by one hour's growth: it is left alone, the growth waits, the log says so once.
TEST_F(PendingWritesTest, AnUnreadableLatchFileIsLeftAloneAndItsGrowthWaits)
{
    std::filesystem::create_directory(Data(kMLName));
    EXPECT_FALSE(files_.AddLatchGrowth(kDate, Growth(30, 3)));
    for (int tick = 0; tick < 10; ++tick) files_.RetryPending();
    EXPECT_TRUE(std::filesystem::is_directory(Data(kMLName)));
    ASSERT_EQ(ErrLog().size(), 1u) << "logged once, not at every try";
    EXPECT_NE(ErrLog()[0].find("<<MUUpdML(20001015)>> " + Data(kMLName) + " cannot be read"), std::string::npos);
    EXPECT_NE(ErrLog()[0].find("Is a directory"), std::string::npos) << "the system's reason";

    // The day's totals come back: the kept growth is added to them.
    std::filesystem::remove(Data(kMLName));
    std::ofstream(Data(kMLName), std::ios::binary) << BuildMLLine("cache buffers chains", 1000, 10) << "\r\n";
    files_.RetryPending();
    EXPECT_EQ(files_.PendingCount(), 0u);
    EXPECT_EQ(TotalGets("cache buffers chains"), 1030);
    EXPECT_EQ(TotalGets("library cache"), 60);

    // A new spell of the same failure is logged again.
    files_.ReadFn = [](const std::string&, std::string&) {
        errno = EACCES;
        return false;
    };
    EXPECT_FALSE(files_.AddLatchGrowth(kDate, Growth(1, 0)));
    ASSERT_EQ(ErrLog().size(), 2u);
    EXPECT_NE(ErrLog()[1].find("Permission denied"), std::string::npos) << ErrLog()[1];
    EXPECT_EQ(TotalGets("cache buffers chains"), 1030);
}

TEST_F(PendingWritesTest, AMissingLatchFileStartsTheDaysTotals)
{
    EXPECT_TRUE(files_.AddLatchGrowth(kDate, Growth(30, 3)));
    EXPECT_EQ(TotalGets("library cache"), 60);
    EXPECT_TRUE(ErrLog().empty());
}

// The end of the program: the kept writes are tried for a bounded time; each
// one still refused goes to the error log as an append failure does.
TEST_F(PendingWritesTest, TheLastTryLogsEveryWriteStillRefused)
{
    files_.AppendHourLine("MU", "MUInsMU", kDate, 9, "09line");
    files_.AddLatchGrowth(kDate, {});
    HeldByReader mu(Data(kMUName));
    ASSERT_TRUE(mu.Held());
    HeldByReader ml(Data(kMLName));
    ASSERT_TRUE(ml.Held());
    EXPECT_FALSE(files_.AppendHourLine("MU", "MUInsMU", kDate, 10, "10line"));
    EXPECT_FALSE(files_.AppendHourLine("MU", "MUInsMU", kDate, 11, "11line"));
    EXPECT_FALSE(files_.AddLatchGrowth(kDate, Growth(30, 3)));
    pauses_ = 0;
    files_.LastTry();

    EXPECT_EQ(pauses_, TStatFiles::kLastTryAttempts - 1) << "bounded";
    EXPECT_EQ(files_.PendingCount(), 0u);
    const std::string muFile = Data(kMUName);
    EXPECT_EQ(Entries("<<MUInsMU(2000101510)>> " + muFile + "10line"), 1);
    EXPECT_EQ(Entries("<<MUInsMU(2000101511)>> " + muFile + "11line"), 1);
    EXPECT_EQ(Entries("<<MUUpdML(20001015)>> " + Data(kMLName) + BuildMLLine("cache buffers chains", 30, 3)), 1);
    EXPECT_EQ(ErrLog().size(), 4u);
    EXPECT_EQ(ReadLines(kMUName).size(), 1u);
}

TEST_F(PendingWritesTest, TheLastTryWritesWhatTheReaderLetsGoOfInOrder)
{
    files_.AppendHourLine("MU", "MUInsMU", kDate, 9, "09line");
    HeldByReader mu(Data(kMUName));
    ASSERT_TRUE(mu.Held());
    files_.AppendHourLine("MU", "MUInsMU", kDate, 10, "10line");
    files_.AppendHourLine("MU", "MUInsMU", kDate, 11, "11line");
    pauses_ = 0;
    atPause_ = [&] {
        if (pauses_ == 3) mu.Release();
    };
    files_.LastTry();
    EXPECT_EQ(ReadLines(kMUName), (std::vector<std::string>{"09line", "10line", "11line"}));
    EXPECT_EQ(pauses_, 3) << "no try after the last write";
    EXPECT_TRUE(ErrLog().empty());
}

}  // namespace
