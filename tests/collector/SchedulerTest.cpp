// The tick: order of day, hour and interval work, failures that must not
// stop the collector, a dropped connection, and lines refused by a reader.
#include "CollectorFixture.h"
#include "KvgScheduler.h"

namespace {
constexpr int kTick = 8;
}

class SchedulerTest : public CollectorTest {
protected:
    TManualClock clock_{MakeLocalTime(2000, 10, 15, 10, 20, 0)};
    TStatFiles files_{""};
    TMemoryUsageUnit mu_{db_, files_};
    TOperatingRateUnit or_{db_, files_, host_};
    TCollectorScheduler sched_{clock_, db_, mu_, or_, files_};
    int errLogPurges_ = 0;
    int checkpoints_ = 0;
    std::vector<std::string> order_;

    void SetUp() override
    {
        CollectorTest::SetUp();
        files_ = TStatFiles(dataDir_.string());
        files_.SleepFn = [](int) {};
        mu_.ResetMU();
        or_.ResetOR();
        sched_.Settings = NormalizeSettings({});
        sched_.Hooks.DeleteOldErrLogs = [this] { ++errLogPurges_; order_.push_back("errlog"); };
        sched_.Hooks.RefreshCheckPoint = [this] { ++checkpoints_; order_.push_back("checkpoint"); };
        sched_.Init();
    }
    // Ticks every 8 seconds from the clock's time until (and including) end.
    void TickUntil(std::time_t end, int growPerTick = 0)
    {
        while (clock_.Now() <= end) {
            if (growPerTick) {
                counters_.Grow(growPerTick);
                ApplyCounters(db_, counters_);
            }
            sched_.Tick();
            clock_.Advance(kTick);
        }
    }
    void TickAt(int hour, int minute, int second = 0)
    {
        clock_.Set(MakeLocalTime(2000, 10, 15, hour, minute, second));
        sched_.Tick();
    }
    // The instance's counters grow by factor, as the next reading sees them.
    void Grow(TInstanceCounters& counters, double factor)
    {
        counters.Grow(factor);
        ApplyCounters(db_, counters);
    }
    size_t Count(const std::string& sql, const std::string* param = nullptr) const
    {
        return db_.Executed.count(TFakeCollectorDb::Key(sql, param));
    }
};

TEST_F(SchedulerTest, FirstTickRunsDayStepAndBaselineOnly)
{
    sched_.Settings.Interval.fill(3600);
    sched_.Tick();
    EXPECT_EQ(errLogPurges_, 1);
    EXPECT_EQ(checkpoints_, 1);
    EXPECT_EQ(mu_.MUPrev().Date, 20001015);
    EXPECT_EQ(or_.PrevDate(), 20001015);
    EXPECT_EQ(Count(mu_sql::kSharedPool), 0u);  // no interval has elapsed yet
    EXPECT_TRUE(ReadLines("MU20001015.dat").empty());
    EXPECT_EQ(sched_.LastTick(), clock_.Now());
}

TEST_F(SchedulerTest, MidnightPurgesBeforeWritingTheLastHourOfYesterday)
{
    sched_.Settings.CMNKD = 1;
    clock_.Set(MakeLocalTime(2000, 10, 15, 23, 59, 50));
    Touch("MU20001014.dat");
    Touch("OR20001014.dat");
    sched_.Tick();  // baseline of hour 23
    clock_.Set(MakeLocalTime(2000, 10, 15, 23, 59, 58));
    sched_.Tick();
    order_.clear();
    counters_.Grow(1);
    ApplyCounters(db_, counters_);
    clock_.Set(MakeLocalTime(2000, 10, 16, 0, 0, 6));
    sched_.Tick();

    EXPECT_EQ(order_, (std::vector<std::string>{"errlog", "checkpoint"}));
    EXPECT_FALSE(Exists("MU20001014.dat"));  // cutoff 20001015 - 1 day
    EXPECT_FALSE(Exists("OR20001014.dat"));
    const auto mu = ReadLines("MU20001015.dat");
    const auto orLines = ReadLines("OR20001015.dat");
    ASSERT_EQ(mu.size(), 1u);
    ASSERT_EQ(orLines.size(), 1u);
    EXPECT_EQ(At(mu[0], 1, 2), "23");
    EXPECT_EQ(At(orLines[0], 1, 2), "23");
    EXPECT_EQ(NumAt(mu[0], 349, 20), 100);
    EXPECT_TRUE(Exists("ML20001015.dat"));
    EXPECT_FALSE(Exists("MU20001016.dat"));
}

TEST_F(SchedulerTest, IntervalSamplesFollowWholeElapsedSeconds)
{
    sched_.Settings.Interval = {30, 3600, 5, 5, 5};
    const std::time_t start = clock_.Now();
    TickUntil(start + 120);  // ticks at 0, 8, ..., 120
    // 30 s interval on 8 s ticks: samples at 32, 64, 96 (each >= 30 after the last).
    EXPECT_EQ(Count(mu_sql::kSharedPool), 3u);
    const std::string lb = "LOG_BUFFER";
    EXPECT_EQ(Count(mu_sql::kLogBuffer, &lb), 0u);
    EXPECT_EQ(host_.MemCalls, 15);  // every tick but the first
}

TEST_F(SchedulerTest, ANewIntervalCountsFromTheLastSample)
{
    sched_.Settings.Interval = {3600, 3600, 3600, 3600, 3600};
    TickUntil(clock_.Now() + 1800);
    EXPECT_EQ(Count(mu_sql::kSharedPool), 0u);
    sched_.Settings.Interval[samMUSDP] = 60;
    sched_.Tick();
    EXPECT_EQ(Count(mu_sql::kSharedPool), 1u);
}

TEST_F(SchedulerTest, DaysOfTicksWriteOneLinePerHourPerDay)
{
    sched_.Settings.Interval = {300, 300, 300, 300, 300};
    clock_.Set(MakeLocalTime(2000, 10, 15, 22, 30, 0));
    TickUntil(MakeLocalTime(2000, 10, 18, 1, 0, 30), 1);
    EXPECT_EQ(ReadLines("MU20001015.dat").size(), 2u);  // hours 22 and 23
    EXPECT_EQ(ReadLines("MU20001016.dat").size(), 24u);
    EXPECT_EQ(ReadLines("OR20001017.dat").size(), 24u);
    EXPECT_EQ(ReadLines("MU20001018.dat").size(), 1u);
    const auto day = ReadLines("MU20001016.dat");
    for (int h = 0; h < 24; ++h) {
        EXPECT_EQ(NumAt(day[h], 1, 2), h);
        EXPECT_EQ(NumAt(day[h], 349, 20), 100 * 450) << "450 ticks of growth per hour";
    }
    EXPECT_EQ(checkpoints_, 4);
    const auto ml = ReadLines("ML20001016.dat");
    ASSERT_EQ(ml.size(), 4u);
    EXPECT_EQ(NumAt(ml[0], 66, 20), 24LL * 450 * 1000);
}

TEST_F(SchedulerTest, EscapingFailureIsLoggedAndTickingGoesOn)
{
    sched_.Hooks.RefreshCheckPoint = [] { throw std::runtime_error("history query broke"); };
    files_.AppendFn = [](const std::string& f, const std::string&) -> bool {
        if (f.find("/MU") != std::string::npos) throw std::runtime_error("disk on fire");
        return true;
    };
    sched_.Tick();
    EXPECT_EQ(mu_.MUPrev().Date, 20001015) << "the hour step ran after the failed day step";
    clock_.Set(MakeLocalTime(2000, 10, 15, 11, 0, 2));
    sched_.Tick();
    EXPECT_EQ(mu_.MUPrev().Hour, 11) << "a failed append does not freeze the hour";
    EXPECT_EQ(or_.PrevHour(), 11);
    EXPECT_EQ(sched_.LastTick(), clock_.Now());
    const auto log = ErrLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_NE(log[0].find("<<KVGevtTimerTimer(CheckPoint)>> history query broke"),
              std::string::npos) << log[0];
    EXPECT_NE(log[1].find("<<MUInsMU(2000101510)>> disk on fire"), std::string::npos) << log[1];
}

// A lost connection is no restart of the instance: the hour keeps its first
// reading, its maxima and its samples, and its line holds the growth from
// that reading to the closing one.
TEST_F(SchedulerTest, ALostConnectionKeepsTheHoursFirstReadingMaximaAndSamples)
{
    sched_.Settings.Interval = {5, 5, 5, 5, 5};
    sched_.Tick();  // first reading 10:20
    counters_.SpFree = 5000000;  // the hour's largest use, sampled before the drop
    Grow(counters_, 3);
    host_.MemKB = 900 * 1024;
    TickAt(10, 30);

    db_.Down = true;
    counters_.SpFree = 20000000;
    Grow(counters_, 2);
    host_.MemKB = 100 * 1024;  // the host is sampled during the outage too
    clock_.Set(MakeLocalTime(2000, 10, 15, 10, 40, 0));
    for (int i = 0; i < 5; ++i) {
        sched_.Tick();
        clock_.Advance(kTick);
    }
    EXPECT_TRUE(sched_.Disconnected());
    db_.Down = false;
    TickAt(10, 50);
    EXPECT_FALSE(sched_.Disconnected());
    Grow(counters_, 1);
    TickAt(11, 0, 3);

    const auto mu = ReadLines("MU20001015.dat");
    ASSERT_EQ(mu.size(), 1u);
    EXPECT_EQ(NumAt(mu[0], 349, 20), 100 * 6) << "SQL area pins since 10:20";
    EXPECT_EQ(NumAt(mu[0], 189, 20), 1000 * 6) << "latch gets since 10:20";
    EXPECT_EQ(NumAt(mu[0], 23, 20), 45000000) << "the largest use, sampled before the drop";
    const auto orLines = ReadLines("OR20001015.dat");
    ASSERT_EQ(orLines.size(), 1u);
    EXPECT_EQ(NumAt(orLines[0], 72, 20), 900);
    EXPECT_EQ(NumAt(orLines[0], 92, 20), 100);
    const auto ml = ReadLines("ML20001015.dat");
    ASSERT_EQ(ml.size(), 4u);
    EXPECT_EQ(NumAt(ml[0], 66, 20), 1000 * 6);
    const auto log = ErrLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_NE(log[0].find("<<KVGevtTimerTimer(Connection)>> connection to the database lost"), std::string::npos);
    EXPECT_NE(log[1].find("<<KVGevtTimerTimer(Connection)>> reconnected; the connection had been lost since "
                          "2000/10/15 10:40:00"), std::string::npos) << log[1];
}

// An instance that restarted while the collector could not reach it has
// counters below the hour's first reading: that hour has no growth, the next
// hour's growth is its own.
TEST_F(SchedulerTest, AnInstanceRestartedDuringTheOutageGivesTheHourNoGrowth)
{
    sched_.Settings.Interval.fill(3600);
    Grow(counters_, 10);
    sched_.Tick();  // first reading 10:20
    db_.Down = true;
    EXPECT_THROW(db_.Run(mu_sql::kSqlArea, nullptr), TDbError);
    TickAt(10, 30);
    db_.Down = false;
    TInstanceCounters restarted;
    Grow(restarted, 1);
    TickAt(11, 0, 3);
    Grow(restarted, 2);
    TickAt(12, 0, 3);

    const auto mu = ReadLines("MU20001015.dat");
    ASSERT_EQ(mu.size(), 2u);
    for (int pos = 189; pos <= 549; pos += 20) EXPECT_EQ(NumAt(mu[0], pos, 20), 0) << "field at " << pos;
    EXPECT_EQ(NumAt(mu[1], 349, 20), 200);
    EXPECT_EQ(NumAt(mu[1], 189, 20), 2000);
}

TEST_F(SchedulerTest, LineRefusedWhileTheViewerReadsIsWrittenLater)
{
    int refusals = 7;  // five attempts in the hour's tick, two more ticks
    auto realAppend = files_.AppendFn;
    files_.AppendFn = [&](const std::string& f, const std::string& l) {
        if (f.find("/MU") != std::string::npos && refusals > 0) {
            --refusals;
            return false;
        }
        return realAppend(f, l);
    };
    sched_.Tick();
    clock_.Set(MakeLocalTime(2000, 10, 15, 11, 0, 2));
    sched_.Tick();
    EXPECT_FALSE(Exists("MU20001015.dat"));
    EXPECT_EQ(files_.PendingCount(), 1u);
    clock_.Set(MakeLocalTime(2000, 10, 15, 12, 0, 2));  // next line queues behind it
    for (int i = 0; i < 4; ++i) {
        sched_.Tick();
        clock_.Advance(kTick);
    }
    const auto mu = ReadLines("MU20001015.dat");
    ASSERT_EQ(mu.size(), 2u);
    EXPECT_EQ(At(mu[0], 1, 2), "10");
    EXPECT_EQ(At(mu[1], 1, 2), "11");
    EXPECT_TRUE(ErrLog().empty());
}

TEST_F(SchedulerTest, LineRefusedForTooLongIsGivenUpAndLogged)
{
    files_.AppendFn = [](const std::string& f, const std::string&) {
        return f.find("/OR") != std::string::npos;
    };
    sched_.Tick();
    clock_.Set(MakeLocalTime(2000, 10, 15, 11, 0, 2));
    TickUntil(clock_.Now() + kTick * TStatFiles::kPendingTickLimit);
    EXPECT_EQ(files_.PendingCount(), 0u);
    const auto log = ErrLog();
    ASSERT_EQ(log.size(), 1u);
    const std::string file = Data("MU20001015.dat");
    EXPECT_NE(log[0].find("<<MUInsMU(2000101510)>> " + file + "10"), std::string::npos) << log[0];
}

TEST_F(SchedulerTest, PurgeFailureIsLoggedWithTheCutoff)
{
    sched_.Settings.CMNKD = 100;
    files_.PurgeFn = [](int cutoff, const std::string&, const std::string& prefix) {
        return prefix == "MU" && cutoff == 20000707 ? std::string("MU20000101.dat") : std::string();
    };
    sched_.Tick();
    const auto log = ErrLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].find("<<MUDelMU(20000707)>> MU20000101.dat"), std::string::npos) << log[0];
}
