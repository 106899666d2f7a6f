// The database out of reach while the real collector runs: a lost connection
// is no restart, so the hour keeps its first reading and its line holds the
// instance's growth between the hour's two readings; an hour whose change
// falls in an outage is closed late within the catch-up window, or left out
// and logged; the operating-rate line of every hour is written at its
// change; midnight with one day kept loses no line to the purge.
#include "CollectorRun.h"

#include <numeric>

namespace faults {
namespace {

// One simulated minute in a tenth of a real second: room to start and end
// an outage at a chosen minute.
constexpr int kOutageSpeed = 600;
// Minutes after its hour's start in which a reading at an hour change falls
// (the first tick after it, and some slack for a busy machine).
constexpr int kHourChangeMinutes = 2;
// Minutes from a minute before the planned end of an outage in which the
// first reading after it falls (the test's clock runs a little ahead).
constexpr int kOutageEndMinutes = 3;
constexpr int kLoginsPos = 49;
constexpr int kChainsGetsPos = 189;
const char* const kLost = "<<KVGevtTimerTimer(Connection)>> connection to the database lost; reconnecting";
const char* const kReconnected = "<<KVGevtTimerTimer(Connection)>> reconnected";

class CollectorOutages : public CollectorRun {
protected:
    void SetUp() override
    {
        CollectorRun::SetUp();
        Speed = kOutageSpeed;
    }
    // The database is out of reach from..until (collector time).
    void OutageBetween(std::time_t from, std::time_t until)
    {
        ASSERT_TRUE(WaitUntilCollectorTime(from));
        SetOutage(true);
        ASSERT_TRUE(WaitUntilCollectorTime(until));
        SetOutage(false);
    }
    // Until the hour's MU and OR lines are written: the latch totals are
    // updated between the two, in the tick of the hour change.
    bool WaitForHour(int hour, const std::string& day)
    {
        return WaitFor([&] { return !LineOf(Mu(day), hour).empty() && !LineOf(Or(day), hour).empty(); });
    }
    // The day's latch totals are the sums of the hours' deltas in its MU file.
    void ExpectLatchTotalsMatchTheMuLines(const std::string& day)
    {
        long long sum = 0;
        for (const std::string& l : Mu(day)) sum += FieldAt(l, kChainsGetsPos, 20);
        long long total = -1;
        for (const std::string& l : Ml(day))
            if (l.rfind("cache buffers chains ", 0) == 0) total = FieldAt(l, 66, 20);
        EXPECT_EQ(total, sum) << "cache buffers chains, " << day;
    }
};

TEST_F(CollectorOutages, ADropMidHourLeavesEveryDeltaOfTheHourExact)
{
    Start();
    // As a dropped network link does: every session dies after one statement.
    ASSERT_TRUE(WaitUntilCollectorTime(At(10, 20)));
    SetFault("DROPAFTER", "1");
    ASSERT_TRUE(WaitUntilCollectorTime(At(10, 28)));
    SetFault("DROPAFTER", "");
    ASSERT_TRUE(WaitForHour(10, day_));
    Stop();

    ExpectFilesIntact();
    const std::string line = LineOf(Mu(), 10);
    ASSERT_FALSE(line.empty());
    ExpectHourMatchesReadings(line, day_, {0, kHourChangeMinutes, 0, kHourChangeMinutes});
    EXPECT_GT(FieldAt(LineOf(Or(), 10), kLoginsPos, 3), 0);
    // Each session lasts until its second statement: every new one is lost
    // again at the next sampling, a minute later.
    const int losses = ErrLogCount({kLost, "ORA-03113"});
    EXPECT_GE(losses, 1);
    EXPECT_EQ(ErrLogCount({kReconnected}), losses);
    EXPECT_EQ(ErrLog().size(), 2u * static_cast<size_t>(losses)) << "nothing but the connection";
    ExpectLatchTotalsMatchTheMuLines(day_);
}

TEST_F(CollectorOutages, AnOutageAcrossTheHourChangeShorterThanTheCatchUpWindowClosesTheHourLate)
{
    Start();
    OutageBetween(At(10, 58), At(11, 2));
    ASSERT_TRUE(WaitForHour(11, day_));
    Stop();

    ExpectFilesIntact();
    ASSERT_FALSE(LineOf(Mu(), 10).empty()) << "hour 10 closed late, not left out";
    // Closed by the first reading after the outage, about two minutes into hour 11.
    ExpectHourMatchesReadings(LineOf(Mu(), 10), day_, {0, kHourChangeMinutes, 1, 1 + kOutageEndMinutes});
    ExpectHourMatchesReadings(LineOf(Mu(), 11), day_, {1, 1 + kOutageEndMinutes, 0, kHourChangeMinutes});
    EXPECT_EQ(FieldAt(LineOf(Or(), 10), kLoginsPos, 3), 0) << "written at 11:00 without the database";
    EXPECT_GT(FieldAt(LineOf(Or(), 11), kLoginsPos, 3), 0);
    EXPECT_EQ(ErrLogCount({kLost}), 1);
    EXPECT_EQ(ErrLogCount({kReconnected}), 1);
    EXPECT_EQ(ErrLog().size(), 2u);
    ExpectLatchTotalsMatchTheMuLines(day_);
}

TEST_F(CollectorOutages, AnOutageAcrossTheHourChangeLongerThanTheCatchUpWindowLeavesTheHourOut)
{
    Start();
    OutageBetween(At(10, 58), At(11, 8));
    ASSERT_TRUE(WaitForHour(11, day_));
    Stop();

    ExpectFilesIntact();
    EXPECT_TRUE(LineOf(Mu(), 10).empty()) << "no line with growth of another hour";
    EXPECT_EQ(ErrLogCount({"<<MUHourMU(" + day_ + "10)>> hour left out of the MU and ML files: its closing "
                           "reading was due by ", " 11:05:00, but the database could not be reached since "}),
              1);
    // Hour 11 starts at the reconnect, about 11:08.
    ExpectHourMatchesReadings(LineOf(Mu(), 11), day_, {7, 7 + kOutageEndMinutes, 0, kHourChangeMinutes});
    ASSERT_FALSE(LineOf(Or(), 10).empty()) << "the host's hour is recorded all the same";
    EXPECT_EQ(FieldAt(LineOf(Or(), 10), kLoginsPos, 3), 0);
    EXPECT_EQ(ErrLog().size(), 2u) << "lost and reconnected besides";
    ExpectLatchTotalsMatchTheMuLines(day_);
}

// With CMNKD = 1 the first tick of a day purges the day before. The last
// hour of that day, closed after an outage over midnight, stays.
TEST_F(CollectorOutages, MidnightInAnOutageWithOneDayKeptLosesNoLineToThePurge)
{
    kelvtest::WriteKelvIni(root_, "one day kept", 1);
    StartAt(22, 30);
    Start();
    ASSERT_TRUE(WaitForHour(22, day_));
    OutageBetween(At(23, 58), At(0, 2, 1));
    const std::string nextDay = kelvtest::DayText(At(0, 0, 1));
    ASSERT_TRUE(WaitForHour(0, nextDay));
    Stop();

    ASSERT_EQ(Hours(Mu()), (std::vector<int>{23})) << "hour 22 purged, hour 23 written after the purge";
    EXPECT_EQ(Hours(Or()), (std::vector<int>{23}));
    EXPECT_EQ(FieldAt(Or()[0], kLoginsPos, 3), 0) << "written at midnight without the database";
    ExpectHourMatchesReadings(Mu()[0], day_, {0, kHourChangeMinutes, 1, 1 + kOutageEndMinutes});
    ExpectLatchTotalsMatchTheMuLines(day_);
    EXPECT_EQ(Hours(Mu(nextDay)), (std::vector<int>{0}));
    ExpectFilesIntact(nextDay);
}

}  // namespace
}  // namespace faults
