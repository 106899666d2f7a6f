// The living instance: counters as step functions of the minute, growing
// with the workload profile, and the expected-value functions.
#include "SimTestSupport.h"
#include "WorkloadModel.h"
#include "SimKnobs.h"
#include "Catalog.h"

#include <chrono>

using namespace simtest;
using Clock = std::chrono::system_clock;

namespace {

constexpr int64_t kTwoDays = 2 * 86400;

int64_t UnixNow() { return std::chrono::duration_cast<std::chrono::seconds>(Clock::now().time_since_epoch()).count(); }
Clock::time_point At(int64_t unix) { return Clock::time_point(std::chrono::seconds(unix)); }

class Counters : public InstanceFixture {
protected:
    void SetUp() override {
        InstanceFixture::SetUp();
        start_ = UnixNow() - kTwoDays;
        config_ = Config(10, {{"STARTTIME", std::to_string(start_)}});
        session_ = ConnectDba(config_);
    }
    int64_t start_ = 0;
    sim::SimConfig config_;
    std::unique_ptr<sim::SimSession> session_;
};

TEST_F(Counters, ValuesDependOnlyOnTheWholeMinute) {
    const int64_t minuteStart = (start_ + 36 * 3600) / 60 * 60;
    for (const char* stat : {"db block gets", "consistent gets", "physical reads", "sorts (rows)"}) {
        int64_t a = sim::CounterAt(config_, "V$SYSSTAT", stat, At(minuteStart));
        EXPECT_EQ(a, sim::CounterAt(config_, "V$SYSSTAT", stat, At(minuteStart + 59))) << stat;
        EXPECT_LE(a, sim::CounterAt(config_, "V$SYSSTAT", stat, At(minuteStart + 60))) << stat;
    }
    EXPECT_LT(sim::CounterAt(config_, "V$SYSSTAT", "db block gets", At(minuteStart)),
              sim::CounterAt(config_, "V$SYSSTAT", "db block gets", At(minuteStart + 60)));
    EXPECT_EQ(sim::CounterAt(config_, "V$LATCH", "shared pool", At(minuteStart + 1), "IMMEDIATE_GETS"),
              sim::CounterAt(config_, "V$LATCH", "shared pool", At(minuteStart + 58), "IMMEDIATE_GETS"));
}

TEST_F(Counters, EveryCounterGrowsMonotonicallyAndMissesStayBelowGets) {
  for (const char* workload : {"", "events"}) {
    SCOPED_TRACE(std::string("workload ") + workload);
    sim::SimConfig config = config_;
    config.Keys["WORKLOAD"] = workload;
    sim::SimKnobs knobs = sim::ParseKnobs(config);
    sim::WorkloadModel model(knobs, start_, start_);
    struct Column {
        sim::CounterFamily Family;
        int Rows;
        std::vector<int> Columns;
    };
    const std::vector<Column> columns = {
        {sim::CounterFamily::SysStat, static_cast<int>(sim::SysStats().size()), {sim::kValue}},
        {sim::CounterFamily::Latch, static_cast<int>(knobs.Latches),
         {sim::kGets, sim::kMisses, sim::kSleeps, sim::kImmediateGets, sim::kImmediateMisses}},
        {sim::CounterFamily::LibraryCache, 8, {sim::kLcGets, sim::kLcGetHits, sim::kLcPins, sim::kLcPinHits, sim::kLcReloads}},
        {sim::CounterFamily::RowCache, 16, {sim::kRcGets, sim::kRcGetMisses, sim::kRcModifications}},
    };
    const int64_t first = start_ / 60;
    for (const Column& c : columns)
        for (int row = 0; row < c.Rows; ++row)
            for (int col : c.Columns) {
                int64_t previous = -1;
                for (int64_t m = first; m < first + 3 * 24 * 60; m += 7) {
                    int64_t v = model.Counter(c.Family, row, col, m);
                    ASSERT_GE(v, previous) << static_cast<int>(c.Family) << "/" << row << "/" << col << " minute " << m;
                    previous = v;
                }
            }
    const int64_t later = first + 24 * 60;
    for (int row = 0; row < static_cast<int>(knobs.Latches); ++row)
        EXPECT_LT(model.Counter(sim::CounterFamily::Latch, row, sim::kMisses, later),
                  model.Counter(sim::CounterFamily::Latch, row, sim::kGets, later));
    EXPECT_LT(model.Counter(sim::CounterFamily::LibraryCache, 0, sim::kLcReloads, later),
              model.Counter(sim::CounterFamily::LibraryCache, 0, sim::kLcPins, later));
  }
}

TEST_F(Counters, BusyHoursGrowFasterThanTheNight) {
    // 2026-12-02 is a Wednesday; the profile is in UTC.
    const int64_t wednesday = 1796169600;  // 2026-12-02 00:00:00 UTC
    sim::WorkloadModel model(sim::ParseKnobs(config_), wednesday - 86400, wednesday - 86400);
    auto growth = [&](int hour) {
        int64_t m = (wednesday + hour * 3600) / 60;
        return model.Counter(sim::CounterFamily::SysStat, 15, sim::kValue, m + 60) -
               model.Counter(sim::CounterFamily::SysStat, 15, sim::kValue, m);
    };
    EXPECT_GT(growth(10), 3 * growth(3));
    EXPECT_GT(growth(14), growth(20));
}

TEST_F(Counters, QueriesAgreeWithTheExpectedValueFunctions) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int64_t before = UnixNow();
        Result bb = Query(*session_, "SELECT VALUE FROM V$SYSSTAT WHERE NAME = 'db block gets'");
        Result lc = Query(*session_, "SELECT SUM(PINS) AS EXCT, SUM(RELOADS) AS MISS FROM V$LIBRARYCACHE");
        Result latch = Query(*session_, "SELECT GETS + IMMEDIATE_GETS AS G FROM V$LATCH WHERE NAME = 'cache buffers chains'");
        Result free = Query(*session_, "SELECT BYTES FROM V$SGASTAT WHERE NAME = 'free memory'");
        Result logins = Query(*session_, "SELECT COUNT(*) FROM (SELECT COUNT(*) FROM V$SESSION WHERE MACHINE IS NOT NULL "
                                         "AND TYPE <> ? GROUP BY MACHINE)", {std::string("BACKGROUND")});
        const int64_t after = UnixNow();
        if (before / 60 != after / 60) continue;  // the minute turned while querying
        EXPECT_EQ(bb.At(0, "VALUE"), std::to_string(sim::CounterAt(config_, "V$SYSSTAT", "db block gets", At(before))));
        EXPECT_EQ(lc.At(0, "EXCT"), std::to_string(sim::CounterSumAt(config_, "V$LIBRARYCACHE", "PINS", At(before))));
        EXPECT_EQ(lc.At(0, "MISS"), std::to_string(sim::CounterSumAt(config_, "V$LIBRARYCACHE", "RELOADS", At(before))));
        EXPECT_EQ(latch.At(0, "G"),
                  std::to_string(sim::CounterAt(config_, "V$LATCH", "cache buffers chains", At(before)) +
                                 sim::CounterAt(config_, "V$LATCH", "cache buffers chains", At(before), "IMMEDIATE_GETS")));
        EXPECT_EQ(free.At(0, "BYTES"), std::to_string(sim::CounterAt(config_, "V$SGASTAT", "free memory", At(before))));
        EXPECT_EQ(logins.At(0, "COUNT(*)"), std::to_string(sim::LoginMachinesAt(config_, At(before))));
        return;
    }
    FAIL() << "the minute kept turning";
}

TEST_F(Counters, ExpectedValueFunctionsRejectUnknownNames) {
    EXPECT_THROW(sim::CounterAt(config_, "V$NOTHING", "x", Clock::now()), sim::SimError);
    EXPECT_THROW(sim::CounterAt(config_, "V$LATCH", "no such latch", Clock::now()), sim::SimError);
    EXPECT_THROW(sim::CounterAt(config_, "V$LATCH", "shared pool", Clock::now(), "VALUE; DROP"), sim::SimError);
    EXPECT_EQ(sim::ParameterValue(config_, "db_block_size"), "8192");
    EXPECT_EQ(sim::LatchNamesOf(config_).size(), 40u);
}

TEST_F(Counters, RestartStartsTheCountersAgain) {
    const auto before = sim::CounterAt(config_, "V$SYSSTAT", "consistent gets", Clock::now());
    EXPECT_EQ(ErrorOf(*session_, "ALTER SYSTEM RESTART INSTANCE"), 0);
    EXPECT_GT(sim::InstanceStartTime(config_), At(start_ + 3600));
    Result after = Query(*session_, "SELECT VALUE FROM V$SYSSTAT WHERE NAME = 'consistent gets'");
    EXPECT_LT(Number(after.At(0, "VALUE")), before);
}

TEST_F(Counters, SharedPoolFillsUpAndFlushEmptiesIt) {
    const int64_t now = UnixNow();
    const int64_t pool = std::stoll(sim::ParameterValue(config_, "shared_pool_size"));
    const int64_t freeNow = sim::CounterAt(config_, "V$SGASTAT", "free memory", At(now));
    EXPECT_LT(freeNow, pool / 3);  // two days after the start the pool is mostly used
    ASSERT_EQ(ErrorOf(*session_, " ALTER SYSTEM FLUSH SHARED_POOL "), 0);
    const int64_t freeAfter = sim::CounterAt(config_, "V$SGASTAT", "free memory", At(now));
    EXPECT_GT(freeAfter, pool * 7 / 10);
    EXPECT_LT(sim::CounterAt(config_, "V$SGASTAT", "free memory", At(now + 3 * 3600)), freeAfter);
}

TEST_F(Counters, LogSwitchesAreAddedAsTimeGoesOn) {
    sim::SimKnobs knobs = sim::ParseKnobs(config_);
    Result count = Query(*session_, "SELECT COUNT(*) AS N, MAX(SEQUENCE#) AS S FROM V$LOGHIST");
    EXPECT_EQ(count.At(0, "N"), count.At(0, "S"));  // sequence numbers without gaps
    Result current = Query(*session_, "SELECT SEQUENCE# FROM V$LOG WHERE STATUS = 'CURRENT'");
    ASSERT_EQ(current.Rows.size(), 1u);
    EXPECT_EQ(Number(current.At(0, "SEQUENCE#")), Number(count.At(0, "S")) + 1);
    Result times = Query(*session_, "SELECT MIN(FIRST_TIME) AS A, MAX(FIRST_TIME) AS B FROM V$LOGHIST");
    EXPECT_LT(times.At(0, "A"), times.At(0, "B"));
    (void)knobs;
}

}  // namespace
