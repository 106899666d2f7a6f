// Faults of the simulated instance while the real collector runs: it keeps
// ticking, says what happened in one error-log entry (not one per tick),
// carries on when the fault ends, and loses or spoils no statistics line.
// The first MU and OR lines cover the part of an hour after the start only;
// the hours of a run depend on how fast the collector starts.
#include "CollectorRun.h"

#include <regex>

namespace faults {
namespace {

constexpr int kHourSeconds = 3600;
const char* const kLost = "<<KVGevtTimerTimer(Connection)>> connection to the database lost; reconnecting";
const char* const kReconnected = "<<KVGevtTimerTimer(Connection)>> reconnected";

using CollectorFaults = CollectorRun;

TEST_F(CollectorFaults, RefusedAtStartItWaitsForTheInstanceAndThenCollects)
{
    SetFault("FAILCONNECT", "1");
    Start();
    ASSERT_TRUE(WaitFor([&] { return !ErrLog().empty(); })) << "the refusal is logged";
    // An hour of refused attempts later: still running, nothing more logged.
    const std::time_t refusedAt = CollectorNow();
    EXPECT_TRUE(WaitFor([&] { return CollectorNow() > refusedAt + kHourSeconds; }));
    ASSERT_TRUE(Running());
    EXPECT_TRUE(Mu().empty());
    // The host's hours are recorded all the same, without client machines.
    ASSERT_FALSE(Or().empty());
    EXPECT_EQ(FieldAt(Or()[0], 49, 3), 0);
    EXPECT_GT(FieldAt(Or()[0], 72, 20), 0) << "memory in use was sampled";
    ASSERT_EQ(ErrLog().size(), 1u) << ErrLog()[0];
    EXPECT_EQ(ErrLogCount({"<<KVGLogOn(KELV_FAULTS)>> ", "ORA-12541", "connecting again"}), 1) << ErrLog()[0];

    SetFault("FAILCONNECT", "");
    ASSERT_TRUE(WaitForHourLines(3));
    Stop();
    EXPECT_EQ(ErrLogCount({kReconnected}), 1);
    EXPECT_EQ(ErrLog().size(), 2u);
    EXPECT_TRUE(std::filesystem::exists(data_ / "ChkeckPoint.dat")) << "refreshed after the late logon";
    ExpectFilesIntact();
    ExpectHourMatchesInstance(Mu()[1]);
    ExpectHourMatchesInstance(Mu()[2]);
    EXPECT_GT(FieldAt(LineOf(Or(), HourOf(Mu()[1])), 49, 3), 0) << "client machines once connected";
}

// The session settings after logon refused: logged once, and the
// collector collects on the database's own settings.
TEST_F(CollectorFaults, RefusedSessionSettingsAreLoggedAndTheCollectorGoesOn)
{
    SetFault("FAILCODE", "12705");
    SetFault("FAILSQL", "NLS_NUMERIC_CHARACTERS");
    Start();
    ASSERT_TRUE(WaitForHourLines(2));
    Stop();
    ASSERT_EQ(ErrLog().size(), 1u) << ErrLog()[0];
    EXPECT_EQ(ErrLogCount({"<<KVGLogOn(NLS)>> ", "ORA-12705"}), 1) << ErrLog()[0];
    ExpectFilesIntact();
    ExpectHourMatchesInstance(Mu()[1]);
}

TEST_F(CollectorFaults, AWrongPasswordEndsTheCollectorWithOneEntryAndTheNextStartWorks)
{
    Start("wrong");
    EXPECT_EQ(WaitForExit(60), 1);
    ASSERT_EQ(ErrLog().size(), 1u);
    EXPECT_EQ(ErrLogCount({"<<KVGLogOn(KELV_FAULTS)>> ", "ORA-01017"}), 1) << ErrLog()[0];
    EXPECT_TRUE(Mu().empty());
    EXPECT_TRUE(Or().empty());

    Start("manager");
    ASSERT_TRUE(WaitForHourLines(2));
    Stop();
    EXPECT_EQ(ErrLog().size(), 1u);
    ExpectFilesIntact();
    ExpectHourMatchesInstance(Mu()[1]);
}

TEST_F(CollectorFaults, AnInstanceRestartWithinAnHourGivesThatHourNoGrowthAndTheNextANormalOne)
{
    Start();
    ASSERT_TRUE(WaitForHourLines(2));
    const std::time_t hourStart = CollectorNow();
    ASSERT_TRUE(WaitFor([&] { return CollectorNow() > hourStart + 20 * 60; }));
    RunAtCollectorTime("ALTER SYSTEM RESTART INSTANCE");
    ASSERT_TRUE(WaitForHourLines(4));
    Stop();

    ExpectFilesIntact();
    const auto mu = Mu();
    const std::string restartHour = std::to_string(HourOf(mu[2]));
    ExpectCounterGrowthZero(mu[2]);
    ExpectHourMatchesInstance(mu[3]);  // both readings after the restart
    ASSERT_EQ(ErrLog().size(), 1u);
    EXPECT_EQ(ErrLogCount({"<<MUHourMU(" + day_ + restartHour + ")>> ", "counters went back"}), 1) << ErrLog()[0];
}

TEST_F(CollectorFaults, AConnectionLostMidHourIsLoggedOnceAndReconnected)
{
    Start();
    ASSERT_TRUE(WaitForHourLines(2));
    SetFault("DROPAFTER", "1");  // the next statement loses the session; new ones last one statement
    ASSERT_TRUE(WaitFor([&] { return ErrLogCount({kLost}) > 0; }));
    SetFault("DROPAFTER", "");
    ASSERT_TRUE(WaitForHourLines(4));
    Stop();

    EXPECT_EQ(ErrLogCount({kLost, "ORA-03113"}), 1);
    EXPECT_EQ(ErrLogCount({kReconnected}), 1);
    EXPECT_EQ(ErrLog().size(), 2u);
    ExpectFilesIntact();
    ExpectHourMatchesInstance(Mu()[3]);
}

// The session dies in the middle of the hour step: the hour just ended is
// closed after the reconnect instead of being lost.
TEST_F(CollectorFaults, AConnectionLostInTheHourStepLosesNoHour)
{
    Speed = 1000;  // room for the test to end the fault before the hour is given up
    Start();
    ASSERT_TRUE(WaitForHourLines(2));
    SetFault("FAILCODE", "3113");
    SetFault("FAILSQL", "V$ROWCACHE");  // the third statement of the next hour step
    ASSERT_TRUE(WaitFor([&] { return ErrLogCount({kLost}) > 0; }));
    SetFault("FAILSQL", "");
    SetFault("FAILCODE", "");
    ASSERT_TRUE(WaitForHourLines(4));
    Stop();

    EXPECT_EQ(ErrLogCount({kLost, "ORA-03113"}), 1);
    EXPECT_EQ(ErrLogCount({kReconnected}), 1);
    EXPECT_EQ(ErrLog().size(), 2u);
    ExpectFilesIntact();
    const auto mu = Mu();
    ExpectHourMatchesInstance(mu[2]);  // closed at the reconnect
    ExpectHourMatchesInstance(mu[3]);
}

TEST_F(CollectorFaults, EveryStatementOfAnHourStepFailingIsLoggedOncePerItem)
{
    Start();
    ASSERT_TRUE(WaitForHourLines(2));
    SetFault("FAILCODE", "4031");
    SetFault("FAILSQL", "V$");  // the next hour step and every sample up to it
    ASSERT_TRUE(WaitForHourLines(3));
    SetFault("FAILSQL", "");
    ASSERT_TRUE(WaitForHourLines(5));
    Stop();

    for (const char* item : {"SA", "LC", "DC", "BBs", "BB", "LB", "SRs", "SR", "LA"})
        EXPECT_EQ(ErrLogCount({std::string("<<MUReadMU_Hour(") + item + ")>> ORA-04031"}), 1) << item;
    EXPECT_EQ(ErrLogCount({"<<ORReadOR_Hour(Login)>> ORA-04031"}), 1);
    EXPECT_EQ(ErrLogCount({"<<MUReadMU_SP(SP)>> ORA-04031"}), 1) << "not once per sample";
    EXPECT_EQ(ErrLogCount({"<<MUReadMU_LB(LB)>> ORA-04031"}), 1);
    EXPECT_EQ(ErrLog().size(), 12u);

    ExpectFilesIntact();
    const auto mu = Mu();
    const auto orLines = Or();
    // No reading at the failed hour change: the hours on both sides of it
    // have no known growth; the one after is whole again.
    ExpectCounterGrowthZero(mu[2]);
    ExpectCounterGrowthZero(mu[3]);
    EXPECT_EQ(FieldAt(mu[2], 79, 20), 0) << "database buffers unknown at the failed hour change";
    EXPECT_EQ(FieldAt(orLines[2], 49, 3), 0) << "logins unknown at the failed hour change";
    EXPECT_GT(FieldAt(orLines[3], 49, 3), 0);
    ExpectHourMatchesInstance(mu[4]);
}

TEST_F(CollectorFaults, SlowStatementsDelayTheTicksButLoseNothing)
{
    Start();
    ASSERT_TRUE(WaitForHourLines(2));
    SetFault("SLOWMS", "20000");     // 20 simulated seconds before every statement
    ASSERT_TRUE(WaitForHourLines(4));
    SetFault("SLOWMS", "");
    ASSERT_TRUE(WaitForHourLines(5));
    Stop();

    EXPECT_TRUE(ErrLog().empty()) << "slowness is no failure";
    ExpectFilesIntact();
    const auto mu = Mu();
    constexpr int kSlowReadWindow = 10;  // the hour step's readings spread over minutes
    ExpectHourMatchesInstance(mu[2], kSlowReadWindow);
    ExpectHourMatchesInstance(mu[3], kSlowReadWindow);
    ExpectHourMatchesInstance(mu[4], kSlowReadWindow);
}

TEST_F(CollectorFaults, SeveralDiagnosticRecordsMakeOneEntryOfOneLine)
{
    ExtraKeys["ERRORSTACK"] = "1";  // statement errors carry a second record
    Start();
    ASSERT_TRUE(WaitForHourLines(2));
    SetFault("FAILSQL", "V$ROWCACHE");
    ASSERT_TRUE(WaitForHourLines(3));  // the next hour step failed
    SetFault("FAILMESSAGE", "cancelled\r\nby the test");
    ASSERT_TRUE(WaitForHourLines(4));  // and the one after with a message of two lines
    SetFault("FAILSQL", "");
    ASSERT_TRUE(WaitForHourLines(6));
    Stop();

    // Every record of the stack, in one entry of one line.
    const auto log = ErrLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(ErrLogCount({"<<MUReadMU_Hour(DC)>> ", "ORA-01013: user requested cancel of current operation",
                           " & ", "ORA-06512: at line 1"}), 1);
    EXPECT_EQ(ErrLogCount({"<<MUReadMU_Hour(DC)>> ", "ORA-01013: cancelled", "by the test", " & ",
                           "ORA-06512: at line 1"}), 1);
    const std::regex entry(R"(^\d\d/\d\d/\d\d \d\d:\d\d:\d\d <<\w+\(\w*\)>> .*)");
    for (const std::string& l : log) EXPECT_TRUE(std::regex_match(l, entry)) << l;

    ExpectFilesIntact();
    const auto mu = Mu();
    for (size_t h = 2; h <= 4; ++h) EXPECT_EQ(FieldAt(mu[h], 429, 20), 0) << "dictionary cache, line " << h;
    EXPECT_GT(FieldAt(mu[2], 389, 20), 0) << "the other items were read";
    ExpectHourMatchesInstance(mu[5]);
}

}  // namespace
}  // namespace faults
