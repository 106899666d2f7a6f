// The events of an events workload, read through the instance's views at
// pinned times: each moves its ratio across the line a DBA watches, only in
// its own hours, and a steady data source keeps none of them.
#include "SimTestSupport.h"

#include <chrono>
#include <string>

using namespace simtest;
using Clock = std::chrono::system_clock;

namespace {

// 2026-11-30 is a Monday; 2026-11-29 a Sunday (UTC).
constexpr int64_t kMonday = 1795996800;
constexpr int64_t kSunday = kMonday - 86400;
constexpr int64_t kWeek = 7 * 86400;
constexpr double kSortRed = 90, kSortBlue = 95;
constexpr double kBufferHitLow = 90;
constexpr double kSqlAreaHitLow = 99;
constexpr double kDictionaryHitLow = 85;
// A latch ratio below this shows as 0.00 %: the latch grid draws it black.
constexpr double kLatchRatioShownAsZero = 0.005;

Clock::time_point At(int64_t unix) { return Clock::time_point(std::chrono::seconds(unix)); }

class WorkloadEvents : public InstanceFixture {
protected:
    void SetUp() override {
        InstanceFixture::SetUp();
        events_ = Config(10, {{"STARTTIME", std::to_string(kSunday - kWeek)}, {"WORKLOAD", "events"}});
        steady_ = Config(10, {{"STARTTIME", std::to_string(kSunday - kWeek)}});
    }

    // Growth of a counter over hour `hour` of the day starting at `day`.
    int64_t Growth(const sim::SimConfig& c, const std::string& view, const std::string& name,
                   const std::string& column, int64_t day, int hour) const {
        const int64_t from = day + hour * 3600 + 30;
        auto at = [&](int64_t t) {
            return name.empty() ? sim::CounterSumAt(c, view, column, At(t)) : sim::CounterAt(c, view, name, At(t), column);
        };
        return at(from + 3600) - at(from);
    }
    double SortRate(const sim::SimConfig& c, int64_t day, int hour) const {
        const double memory = static_cast<double>(Growth(c, "V$SYSSTAT", "sorts (memory)", "VALUE", day, hour));
        const double disk = static_cast<double>(Growth(c, "V$SYSSTAT", "sorts (disk)", "VALUE", day, hour));
        return memory / (memory + disk) * 100;
    }
    double BufferHit(const sim::SimConfig& c, int64_t day, int hour) const {
        const double logical = static_cast<double>(Growth(c, "V$SYSSTAT", "db block gets", "VALUE", day, hour) +
                                                   Growth(c, "V$SYSSTAT", "consistent gets", "VALUE", day, hour));
        const double physical = static_cast<double>(Growth(c, "V$SYSSTAT", "physical reads", "VALUE", day, hour));
        return (1 - physical / logical) * 100;
    }
    double Hit(const sim::SimConfig& c, const std::string& view, const std::string& name, const std::string& gets,
               const std::string& misses, int64_t day, int hour) const {
        return (1 - static_cast<double>(Growth(c, view, name, misses, day, hour)) /
                        static_cast<double>(Growth(c, view, name, gets, day, hour))) *
               100;
    }
    // Misses per 100 gets of a latch, immediate ones included, over `hours` hours.
    double LatchRatio(const sim::SimConfig& c, const std::string& latch, int64_t day, int hour, int hours = 1) const {
        double gets = 0, misses = 0;
        for (int h = hour; h < hour + hours; ++h) {
            gets += static_cast<double>(Growth(c, "V$LATCH", latch, "GETS", day, h) +
                                        Growth(c, "V$LATCH", latch, "IMMEDIATE_GETS", day, h));
            misses += static_cast<double>(Growth(c, "V$LATCH", latch, "MISSES", day, h) +
                                          Growth(c, "V$LATCH", latch, "IMMEDIATE_MISSES", day, h));
        }
        return misses / gets * 100;
    }

    sim::SimConfig events_, steady_;
};

TEST_F(WorkloadEvents, NightlyBatchSortsOnDiskAndReadsFromDisk) {
    // Monday's batch runs 01:00 to 04:00 and peaks in its middle hour.
    EXPECT_LT(SortRate(events_, kMonday, 2), kSortRed);
    for (int shoulder : {1, 3}) {
        EXPECT_GE(SortRate(events_, kMonday, shoulder), kSortRed) << shoulder;
        EXPECT_LT(SortRate(events_, kMonday, shoulder), kSortBlue) << shoulder;
    }
    for (int quiet : {0, 4}) EXPECT_GE(SortRate(events_, kMonday, quiet), kSortBlue) << quiet;
    for (int hour = 1; hour <= 3; ++hour) EXPECT_LT(BufferHit(events_, kMonday, hour), kBufferHitLow) << hour;
    EXPECT_GT(BufferHit(events_, kMonday, 4), kBufferHitLow + 5);
    // Sunday's batch starts an hour later: at 01:00 nothing runs yet.
    EXPECT_GE(SortRate(events_, kSunday, 1), kSortBlue);
    EXPECT_LT(SortRate(events_, kSunday, 3), kSortRed);
}

TEST_F(WorkloadEvents, MorningStormLogsOnNewMachinesAndMissesInTheDictionary) {
    const int64_t afterStorm = kMonday + 9 * 3600 + 5 * 60;
    const long steadyMachines = sim::LoginMachinesAt(steady_, At(afterStorm));
    EXPECT_GE(sim::LoginMachinesAt(events_, At(afterStorm)), steadyMachines + 15);
    EXPECT_LE(sim::LoginMachinesAt(events_, At(kMonday + 12 * 3600)), steadyMachines);
    // No storm on a Sunday.
    EXPECT_LE(sim::LoginMachinesAt(events_, At(kSunday + 9 * 3600 + 5 * 60)), steadyMachines);

    EXPECT_LT(Hit(events_, "V$ROWCACHE", "", "GETS", "GETMISSES", kMonday, 8), kDictionaryHitLow);
    EXPECT_GT(Hit(events_, "V$ROWCACHE", "", "GETS", "GETMISSES", kMonday, 7), kDictionaryHitLow + 5);
    EXPECT_GT(Growth(events_, "V$SYSSTAT", "logons cumulative", "VALUE", kMonday, 8),
              10 * Growth(steady_, "V$SYSSTAT", "logons cumulative", "VALUE", kMonday, 8));
}

TEST_F(WorkloadEvents, SharedPoolPressureReloadsAndFillsThePool) {
    // Monday's pressure hour is 14:00.
    const double before = Hit(events_, "V$LIBRARYCACHE", "SQL AREA", "PINS", "RELOADS", kMonday, 13);
    const double during = Hit(events_, "V$LIBRARYCACHE", "SQL AREA", "PINS", "RELOADS", kMonday, 14);
    EXPECT_GE(before, kSqlAreaHitLow);
    EXPECT_LT(during, kSqlAreaHitLow - 2);
    EXPECT_GE(Hit(events_, "V$LIBRARYCACHE", "SQL AREA", "PINS", "RELOADS", kMonday, 15), kSqlAreaHitLow);
    EXPECT_LT(Hit(events_, "V$LIBRARYCACHE", "", "PINS", "RELOADS", kMonday, 14),
              Hit(events_, "V$LIBRARYCACHE", "", "PINS", "RELOADS", kMonday, 13) - 2);

    const double pool = std::stod(sim::ParameterValue(events_, "shared_pool_size"));
    auto freeAt = [&](int64_t t) { return static_cast<double>(sim::CounterAt(events_, "V$SGASTAT", "free memory", At(t))); };
    EXPECT_LE(freeAt(kMonday + 14 * 3600 + 1800), pool * 0.03);
    EXPECT_GT(freeAt(kMonday + 13 * 3600 + 1800), pool * 0.07);
    // The library cache and shared pool latches miss while it lasts.
    EXPECT_GE(LatchRatio(events_, "library cache", kMonday, 14), 0.5);
    EXPECT_LT(LatchRatio(events_, "library cache", kMonday, 13), kLatchRatioShownAsZero);
}

TEST_F(WorkloadEvents, HotLatchMissesInItsHoursAndColoursItsDay) {
    // Monday: "cache buffers chains" is hot from 10:00 to 12:00.
    EXPECT_GT(LatchRatio(events_, "cache buffers chains", kMonday, 10), 1.0);
    EXPECT_GT(LatchRatio(events_, "cache buffers chains", kMonday, 11), 0.5);
    EXPECT_LT(LatchRatio(events_, "cache buffers chains", kMonday, 12), kLatchRatioShownAsZero);
    // Over the whole day the hot latch shows a ratio above 0.00, a quiet one
    // stays at 0.00 though it misses now and then.
    EXPECT_GE(LatchRatio(events_, "cache buffers chains", kMonday, 0, 24), 0.01);
    EXPECT_LT(LatchRatio(events_, "cache buffers lru chain", kMonday, 0, 24), kLatchRatioShownAsZero);
    int64_t quietMisses = 0;
    for (int h = 0; h < 24; ++h) quietMisses += Growth(events_, "V$LATCH", "cache buffers lru chain", "MISSES", kMonday, h);
    EXPECT_GT(quietMisses, 0);
    // Sunday has no hot latch.
    EXPECT_LT(LatchRatio(events_, "cache buffers chains", kSunday, 0, 24), kLatchRatioShownAsZero);
}

TEST_F(WorkloadEvents, SteadyDataSourceKeepsItsConstantRatiosAndQuietHoursAgree) {
    // Without the knob the batch, the storm and the pressure hour never happen.
    EXPECT_GT(SortRate(steady_, kMonday, 2), 99);
    EXPECT_GT(BufferHit(steady_, kMonday, 2), 96);
    EXPECT_GT(Hit(steady_, "V$LIBRARYCACHE", "SQL AREA", "PINS", "RELOADS", kMonday, 14), 99.5);
    // In an hour without events both workloads do the same work.
    for (const char* stat : {"db block gets", "physical reads", "sorts (memory)", "sorts (disk)", "user commits"})
        EXPECT_EQ(Growth(events_, "V$SYSSTAT", stat, "VALUE", kMonday, 5),
                  Growth(steady_, "V$SYSSTAT", stat, "VALUE", kMonday, 5))
            << stat;
}

}  // namespace
