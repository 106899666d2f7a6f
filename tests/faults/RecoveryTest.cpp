// How the collector comes through a fault, with a scripted instance: an hour
// cut off by a lost connection, closed late or left out, midnight after an
// outage, a link that drops again at once, a refused logon at start, a
// failure repeated at every tick, an instance restart.
#include "CollectorFixture.h"
#include "KvgCatchUp.h"
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
    void DropAcrossTheHourChange(long lateSeconds);
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

// The database goes away at 10:40 and is back lateSeconds after 11:00; the
// host's memory is sampled before and during the outage.
void RecoveryTest::DropAcrossTheHourChange(long lateSeconds)
{
    sched_.Settings.Interval[samORCUR] = 60;
    TickAt(At(10, 20));
    Grow();
    host_.MemKB = 700 * 1024;
    TickAt(At(10, 30));
    db_.Down = true;
    host_.MemKB = 300 * 1024;
    TickAt(At(10, 50));
    TickAt(At(11, 0, 3));  // the hour step finds no database
    TickAt(At(11, 0, 0) + kCatchUpSeconds / 2);
    Grow();
    db_.Down = false;
    TickAt(At(11, 0, 0) + lateSeconds);
    Grow();
    TickAt(At(12, 0, 3));
}

TEST_F(RecoveryTest, AHourWhoseChangeFellInAnOutageIsClosedWithinTheCatchUpWindow)
{
    DropAcrossTheHourChange(kCatchUpSeconds);
    EXPECT_EQ(Hours("MU20001015.dat"), (std::vector<int>{10, 11}));
    const auto mu = ReadLines("MU20001015.dat");
    EXPECT_EQ(NumAt(mu[0], 349, 20), 200) << "growth from 10:20 to the reading at 11:05";
    EXPECT_EQ(NumAt(mu[1], 349, 20), 100);
    EXPECT_EQ(ErrLog().size(), 2u) << "lost and reconnected, nothing left out";
}

TEST_F(RecoveryTest, AHourWhoseChangeFellInALongerOutageIsLeftOutAndLogged)
{
    DropAcrossTheHourChange(kCatchUpSeconds + 1);
    EXPECT_EQ(Hours("MU20001015.dat"), (std::vector<int>{11})) << "no line carries another hour's growth";
    EXPECT_EQ(NumAt(ReadLines("MU20001015.dat")[0], 349, 20), 100) << "growth since 11:05:01";
    EXPECT_EQ(Entries("<<MUHourMU(2000101510)>> hour left out of the MU and ML files: its closing reading "
                      "was due by 2000/10/15 11:05:00, but the database could not be reached since "
                      "2000/10/15 11:00:03"), 1);
    EXPECT_EQ(ErrLog().size(), 3u);
    for (const std::string& l : ReadLines("ML20001015.dat"))
        EXPECT_EQ(NumAt(l, 66, 20), 1000) << "hour 11 only: " << l;

    // The operating-rate line of every hour is written at its change, the
    // database or not: no client machines known, the samples of the whole hour.
    EXPECT_EQ(Hours("OR20001015.dat"), (std::vector<int>{10, 11}));
    const auto orLines = ReadLines("OR20001015.dat");
    EXPECT_EQ(NumAt(orLines[0], 49, 3), 0);
    EXPECT_EQ(NumAt(orLines[0], 72, 20), 700);
    EXPECT_EQ(NumAt(orLines[0], 92, 20), 300);
    EXPECT_EQ(NumAt(orLines[1], 49, 3), 2);
}

// With CMNKD = 1 the first tick of a day purges the day before; the last
// hour of that day, closed in the same tick after a reconnect, stays.
TEST_F(RecoveryTest, TheLastHourOfADayClosedAfterAnOutageOutlivesThatDaysPurge)
{
    sched_.Settings.CMNKD = 1;
    sched_.Settings.Interval[samMUSDP] = 5;  // a statement at every tick
    clock_.Set(At(22, 20));
    TickAt(At(22, 20));
    Grow();
    TickAt(At(23, 0, 3));
    Grow();
    db_.Down = true;
    TickAt(At(23, 59, 58));
    EXPECT_TRUE(sched_.Disconnected());
    db_.Down = false;
    TickAt(MakeLocalTime(2000, 10, 16, 0, 0, 6));  // reconnects, purges, closes hour 23

    EXPECT_EQ(Hours("MU20001015.dat"), (std::vector<int>{23})) << "hour 22 purged, hour 23 kept";
    EXPECT_EQ(NumAt(ReadLines("MU20001015.dat")[0], 349, 20), 100);
    EXPECT_EQ(Hours("OR20001015.dat"), (std::vector<int>{23}));
    EXPECT_TRUE(std::filesystem::exists(Data("ML20001015.dat")));
    EXPECT_FALSE(std::filesystem::exists(Data("MU20001016.dat")));
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
