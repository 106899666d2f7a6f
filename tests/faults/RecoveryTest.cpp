// How the collector comes through a fault, with a scripted instance: an hour
// cut off by a lost connection, a link that drops again at once, a refused
// logon at start, a failure repeated at every tick, an instance restart.
#include "CollectorFixture.h"
#include "KvgClock.h"
#include "KvgScheduler.h"

namespace {

constexpr int kTick = 8;

// Reconnects succeed while Flapping, but the link drops again at the next statement.
class TFlappingDb : public TFakeCollectorDb {
public:
    bool Flapping = false;
    bool Reconnect() override
    {
        if (!Flapping) return TFakeCollectorDb::Reconnect();
        Down = false;
        const bool ok = TFakeCollectorDb::Reconnect();
        Down = true;
        return ok;
    }
};

std::time_t At(int hour, int minute, int second = 0)
{
    return MakeLocalTime(2000, 10, 15, hour, minute, second);
}

class RecoveryTest : public CollectorTest {
protected:
    TFlappingDb db_;  // hides the fixture's: every unit here runs on this one
    TManualClock clock_{At(10, 20)};
    TStatFiles files_{""};
    TMemoryUsageUnit mu_{db_, files_};
    TOperatingRateUnit or_{db_, files_, host_};
    TCollectorScheduler sched_{clock_, db_, mu_, or_, files_};
    int checkpoints_ = 0;

    void SetUp() override
    {
        CollectorTest::SetUp();
        ApplyCounters(db_, counters_);
        files_ = TStatFiles(dataDir_.string());
        files_.SleepFn = [](int) {};
        mu_.ResetMU();
        or_.ResetOR();
        sched_.Settings = NormalizeSettings({});
        sched_.Settings.Interval.fill(3600);
        sched_.Hooks.RefreshCheckPoint = [this] { ++checkpoints_; };
        sched_.Init();
    }
    void TickAt(std::time_t t)
    {
        clock_.Set(t);
        sched_.Tick();
    }
    void Grow()
    {
        counters_.Grow(1);
        ApplyCounters(db_, counters_);
    }
    std::vector<int> Hours(const std::string& file) const
    {
        std::vector<int> hours;
        for (const std::string& l : ReadLines(file)) hours.push_back(std::stoi(l.substr(0, 2)));
        return hours;
    }
    int Entries(const std::string& piece) const
    {
        int n = 0;
        for (const std::string& l : ErrLog()) n += l.find(piece) != std::string::npos;
        return n;
    }
};

TEST_F(RecoveryTest, AnHourStepCutByALostConnectionIsClosedAtTheReconnect)
{
    TickAt(At(10, 20));
    Grow();
    TickAt(At(11, 0, 3));
    Grow();
    db_.Down = true;
    TickAt(At(12, 0, 3));  // the hour step of hour 11 breaks off
    EXPECT_TRUE(sched_.Disconnected());
    db_.Down = false;
    TickAt(At(12, 0, 11));  // reconnects and closes hour 11
    Grow();
    TickAt(At(13, 0, 3));

    EXPECT_EQ(Hours("MU20001015.dat"), (std::vector<int>{10, 11, 12}));
    EXPECT_EQ(Hours("OR20001015.dat"), (std::vector<int>{10, 11, 12}));
    const auto mu = ReadLines("MU20001015.dat");
    EXPECT_EQ(NumAt(mu[1], 349, 20), 100) << "hour 11's growth, read at the reconnect";
    EXPECT_EQ(NumAt(mu[2], 349, 20), 100);
    EXPECT_EQ(Entries("(Connection)>> connection to the database lost; reconnecting"), 1);
    EXPECT_EQ(Entries("(Connection)>> reconnected"), 1);
    EXPECT_EQ(ErrLog().size(), 2u);
}

TEST_F(RecoveryTest, AReconnectLongAfterTheHourChangeStartsAFreshHourInstead)
{
    TickAt(At(10, 20));
    TickAt(At(11, 0, 3));
    db_.Down = true;
    TickAt(At(12, 0, 3));
    db_.Down = false;
    Grow();
    TickAt(At(12, 20));  // too late to close hour 11 without hour 12 in it
    Grow();
    TickAt(At(13, 0, 3));
    EXPECT_EQ(Hours("MU20001015.dat"), (std::vector<int>{10, 12}));
    EXPECT_EQ(Hours("OR20001015.dat"), (std::vector<int>{10, 12}));
    EXPECT_EQ(NumAt(ReadLines("MU20001015.dat")[1], 349, 20), 100) << "growth since 12:20";
}

TEST_F(RecoveryTest, ALinkThatDropsAgainAtOnceLogsOneLossAndOneReconnect)
{
    sched_.Settings.Interval = {5, 5, 5, 5, 5};  // a statement at every tick
    TickAt(At(10, 20));
    db_.Down = true;
    db_.Flapping = true;
    for (std::time_t t = At(10, 30); t < At(10, 40); t += kTick) TickAt(t);
    EXPECT_GT(db_.ReconnectCount, 10);
    db_.Flapping = false;
    db_.Down = false;
    TickAt(At(10, 40));
    EXPECT_FALSE(sched_.Disconnected());
    TickAt(At(11, 0, 3));
    EXPECT_EQ(Entries("(Connection)>> connection to the database lost"), 1);
    EXPECT_EQ(Entries("(Connection)>> reconnected"), 1);
    EXPECT_EQ(ErrLog().size(), 2u);
    EXPECT_EQ(Hours("MU20001015.dat"), (std::vector<int>{10}));
}

TEST_F(RecoveryTest, ALogonRefusedAtStartIsMadeUpAtTheTicksWithTheCheckpointRefresh)
{
    db_.Down = true;
    EXPECT_THROW(db_.Run("SELECT 1 FROM DUAL ", nullptr), TDbError);  // the refused logon
    sched_.StartDisconnected();
    for (std::time_t t = At(10, 20); t < At(10, 30); t += kTick) TickAt(t);
    EXPECT_TRUE(ErrLog().empty()) << "the program logged the refusal itself";
    EXPECT_EQ(checkpoints_, 0);
    db_.Down = false;
    TickAt(At(10, 30));
    EXPECT_EQ(checkpoints_, 1) << "the refresh skipped at start and at the day change";
    EXPECT_EQ(mu_.MUPrev().Date, 20001015);
    EXPECT_EQ(ErrLog().size(), 1u);
    EXPECT_EQ(Entries("(Connection)>> reconnected"), 1);
}

TEST_F(RecoveryTest, ASamplerFailingAtEveryTickIsLoggedOnceUntilItWorksAgain)
{
    sched_.Settings.Interval = {5, 5, 5, 5, 5};
    TickAt(At(10, 20));
    db_.Fail(mu_sql::kSharedPool);
    for (std::time_t t = At(10, 21); t < At(10, 31); t += kTick) TickAt(t);
    EXPECT_EQ(Entries("<<MUReadMU_SP(SP)>> ORA-00942"), 1);
    db_.Heal();
    TickAt(At(10, 40));
    db_.Fail(mu_sql::kSharedPool);
    TickAt(At(10, 41));
    EXPECT_EQ(Entries("<<MUReadMU_SP(SP)>> ORA-00942"), 2) << "a new run of failures is logged again";
    EXPECT_EQ(ErrLog().size(), 2u);
}

TEST_F(RecoveryTest, ARestartWithinTheHourWritesNoNegativeOrHugeGrowth)
{
    counters_.Grow(5);
    counters_.Latches[3].Misses = "0";  // "shared pool" had no miss before the restart
    ApplyCounters(db_, counters_);
    mu_.HourMU(At(10, 0, 5));
    TInstanceCounters restarted;
    restarted.Latches = {{"cache buffers chains", "50", "1"}, {"cache buffers lru chain", "20", "0"},
                         {"library cache", "60", "2"}, {"shared pool", "40", "3"}};
    ApplyCounters(db_, restarted);
    mu_.HourMU(At(11, 0, 5));

    const auto mu = ReadLines("MU20001015.dat");
    ASSERT_EQ(mu.size(), 1u);
    constexpr int kSharedPoolMisses = 329;  // grew from 0 to 3 across the restart
    for (int pos = 189; pos <= 549; pos += 20)
        EXPECT_EQ(NumAt(mu[0], pos, 20), pos == kSharedPoolMisses ? 3 : 0) << "field at " << pos;
    for (const std::string& l : ReadLines("ML20001015.dat")) {
        EXPECT_EQ(l.find('-'), std::string::npos) << l;
        if (l.rfind("shared pool", 0) == 0) {
            EXPECT_EQ(NumAt(l, 66, 20), 0) << "gets went back: no growth";
            EXPECT_EQ(NumAt(l, 86, 20), 3);
        }
    }
    EXPECT_EQ(Entries("<<MUHourMU(2000101510)>> the instance's counters went back"), 1);
}

TEST(ErrLogEntry, AMessageOfSeveralLinesStaysOneEntry)
{
    const std::string line = ErrLogLine(MakeLocalTime(2001, 3, 15, 9, 5, 3), "MUReadMU_Hour", "DC",
                                        "ORA-01013: cancelled\r\nby the test & ORA-06512: at line 1");
    EXPECT_EQ(line, "01/03/15 09:05:03 <<MUReadMU_Hour(DC)>> ORA-01013: cancelled  by the test & "
                    "ORA-06512: at line 1");
}

}  // namespace
