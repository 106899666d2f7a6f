#include "WorkloadEvents.h"

#include "WorkloadModel.h"

#include <algorithm>

namespace sim {

namespace {

constexpr int kHoursPerDay = 24;
constexpr int kDaysPerWeek = 7;
constexpr int kHoursPerWeek = kHoursPerDay * kDaysPerWeek;
constexpr int kMinutesPerHour = 60;
constexpr int kMinutesPerDay = kHoursPerDay * kMinutesPerHour;
constexpr int kNone = -1;

// What happens on each weekday (0 = Sunday), by hour of the day (UTC).
struct DayEvents {
    int BatchHour;       // the nightly batch starts
    int BatchHours;      // and runs this many hours
    int PressureHour;    // the hour of shared-pool pressure
    int HotLatchHour;    // a hot "cache buffers chains" for two hours, or kNone
    bool Storm;          // everybody logs on at the start of the office day
    int64_t Strength;    // per mille of every event's strength: some days are harder
};
constexpr DayEvents kWeek[kDaysPerWeek] = {
    {2, 3, 17, kNone, false, 800},  // Sunday
    {1, 3, 14, 10, true, 1000},     // Monday
    {2, 3, 11, 15, true, 900},      // Tuesday
    {1, 3, 15, 9, true, 950},       // Wednesday
    {2, 3, 13, 11, true, 1000},     // Thursday
    {1, 3, 16, 14, true, 1100},     // Friday
    {2, 4, 10, 3, false, 1200},     // Saturday: the weekly batch runs longer and heats the buffer chains
};

// Strength over the hours of an event: the batch ramps up, peaks and tails
// off (its middle hours all peak); the storm and the hot latch fade in
// their second hour.
constexpr int64_t kBatchFirst = 300, kBatchPeak = 1000, kBatchLast = 350;
constexpr int kStormHour = 8;
constexpr int64_t kStormPeak = 1000, kStormAfter = 250;
constexpr int64_t kPressurePeak = 1000;
constexpr int64_t kHotLatchPeak = 1000, kHotLatchAfter = 450;

// Storm sessions log on within the first minutes of the storm hour and stay
// for a while, so the next readings still see most of them.
constexpr int64_t kStormArrivalSpread = 50;
constexpr int64_t kStormMinStay = 50;
constexpr int64_t kStormStaySpread = 130;

int64_t FloorDiv(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// Strength of an event by the day's plan alone, before the day's strength.
int64_t PlannedStrength(WorkloadEvent event, const DayEvents& day, int hour) {
    switch (event) {
    case WorkloadEvent::NightlyBatch: {
        const int at = hour - day.BatchHour;
        if (at < 0 || at >= day.BatchHours) return 0;
        if (at == 0) return kBatchFirst;
        return at == day.BatchHours - 1 ? kBatchLast : kBatchPeak;
    }
    case WorkloadEvent::LogonStorm:
        if (!day.Storm) return 0;
        return hour == kStormHour ? kStormPeak : hour == kStormHour + 1 ? kStormAfter : 0;
    case WorkloadEvent::SharedPoolPressure: return hour == day.PressureHour ? kPressurePeak : 0;
    case WorkloadEvent::HotLatch:
        if (day.HotLatchHour == kNone) return 0;
        return hour == day.HotLatchHour ? kHotLatchPeak : hour == day.HotLatchHour + 1 ? kHotLatchAfter : 0;
    }
    return 0;
}

int64_t StrengthInWeekHour(WorkloadEvent event, int hourOfWeek) {
    const DayEvents& day = kWeek[WeekdayOfEpochHour(hourOfWeek)];
    return PlannedStrength(event, day, hourOfWeek % kHoursPerDay) * day.Strength / kEventFullStrength;
}

struct EventWeek {
    std::array<int64_t, kHoursPerWeek> Strength{};
    std::array<int64_t, kHoursPerWeek> Work{};        // strength times profile weight, per minute
    std::array<int64_t, kHoursPerWeek + 1> Prefix{};  // minute-weighted sums of Work before each hour
};

// The week of the epoch starts on the weekday of 1970-01-01, so hour h of
// the table is the epoch hour h modulo a week.
const EventWeek& WeekOf(WorkloadEvent event) {
    static const std::array<EventWeek, kWorkloadEventCount> weeks = [] {
        std::array<EventWeek, kWorkloadEventCount> all{};
        for (WorkloadEvent e : kWorkloadEvents) {
            EventWeek& w = all[static_cast<size_t>(e)];
            for (int h = 0; h < kHoursPerWeek; ++h) {
                const auto i = static_cast<size_t>(h);
                w.Strength[i] = StrengthInWeekHour(e, h);
                w.Work[i] = w.Strength[i] * HourWeight(h);
                w.Prefix[i + 1] = w.Prefix[i] + w.Work[i] * kMinutesPerHour;
            }
        }
        return all;
    }();
    return weeks[static_cast<size_t>(event)];
}

constexpr int kSysStat = static_cast<int>(CounterFamily::SysStat);
constexpr int kLatch = static_cast<int>(CounterFamily::Latch);
constexpr int kLibrary = static_cast<int>(CounterFamily::LibraryCache);
constexpr int kRowCache = static_cast<int>(CounterFamily::RowCache);
constexpr auto kBatch = WorkloadEvent::NightlyBatch;
constexpr auto kStorm = WorkloadEvent::LogonStorm;
constexpr auto kPressure = WorkloadEvent::SharedPoolPressure;
constexpr auto kHot = WorkloadEvent::HotLatch;

// Dictionary caches that every logon reads: a storm misses in them.
const char* const kLogonCaches[] = {"dc_users", "dc_usernames", "dc_profiles",
                                    "dc_objects", "dc_object_ids", "dc_synonyms"};
constexpr int64_t kStormCacheGets = 2200, kStormCacheMisses = 1000;

}  // namespace

int WeekdayOfEpochHour(int64_t epochHour) {
    constexpr int kEpochWeekday = 4;  // 1970-01-01 was a Thursday (0 = Sunday)
    const int64_t day = FloorDiv(epochHour, kHoursPerDay);
    return static_cast<int>(((kEpochWeekday + day) % kDaysPerWeek + kDaysPerWeek) % kDaysPerWeek);
}

int64_t EventStrength(WorkloadEvent event, int64_t epochHour) {
    const int64_t h = ((epochHour % kHoursPerWeek) + kHoursPerWeek) % kHoursPerWeek;
    return WeekOf(event).Strength[static_cast<size_t>(h)];
}

int64_t CumulativeEventWork(WorkloadEvent event, int64_t minute) {
    const EventWeek& w = WeekOf(event);
    const int64_t hour = FloorDiv(minute, kMinutesPerHour);
    const int64_t week = FloorDiv(hour, kHoursPerWeek);
    const int64_t hourInWeek = hour - week * kHoursPerWeek;
    const int64_t minuteInHour = minute - hour * kMinutesPerHour;
    return week * w.Prefix[kHoursPerWeek] + w.Prefix[static_cast<size_t>(hourInWeek)] +
           minuteInHour * w.Work[static_cast<size_t>(hourInWeek)];
}

const std::vector<EventEffect>& EventEffects() {
    static const std::vector<EventEffect> effects = [] {
        std::vector<EventEffect> e = {
            // The batch scans big tables and sorts more than the sort area holds.
            {kBatch, kSysStat, "db block gets", kValue, 32000},
            {kBatch, kSysStat, "consistent gets", kValue, 128000},
            {kBatch, kSysStat, "session logical reads", kValue, 160000},
            {kBatch, kSysStat, "physical reads", kValue, 50000},
            {kBatch, kSysStat, "physical writes", kValue, 12000},
            {kBatch, kSysStat, "sorts (memory)", kValue, 1000},
            {kBatch, kSysStat, "sorts (disk)", kValue, 340},
            {kBatch, kSysStat, "sorts (rows)", kValue, 450000},
            {kBatch, kSysStat, "table scans (long tables)", kValue, 200},
            {kBatch, kSysStat, "table scan rows gotten", kValue, 2000000},
            {kBatch, kSysStat, "db block changes", kValue, 30000},
            {kBatch, kSysStat, "redo entries", kValue, 15000},
            {kBatch, kSysStat, "redo size", kValue, 4000000},
            {kBatch, kLatch, "cache buffers chains", kGets, 60000},
            {kBatch, kLatch, "cache buffers lru chain", kGets, 20000},
            // The storm: logons, their recursive SQL and the dictionary.
            {kStorm, kSysStat, "logons cumulative", kValue, 100},
            {kStorm, kSysStat, "user calls", kValue, 3000},
            {kStorm, kSysStat, "recursive calls", kValue, 9000},
            {kStorm, kSysStat, "parse count (total)", kValue, 1500},
            {kStorm, kSysStat, "parse count (hard)", kValue, 200},
            {kStorm, kLatch, "session allocation", kGets, 3000},
            // Pressure: statements aged out of the SQL area are parsed again.
            {kPressure, kLibrary, "SQL AREA", kLcGets, 2000},
            {kPressure, kLibrary, "SQL AREA", kLcGetHits, 1400},
            {kPressure, kLibrary, "SQL AREA", kLcPins, 3000},
            {kPressure, kLibrary, "SQL AREA", kLcPinHits, 1800},
            {kPressure, kLibrary, "SQL AREA", kLcReloads, 500},
            {kPressure, kLibrary, "SQL AREA", kLcInvalidations, 50},
            {kPressure, kLibrary, "TABLE/PROCEDURE", kLcReloads, 150},
            {kPressure, kLibrary, "BODY", kLcReloads, 60},
            {kPressure, kSysStat, "parse count (total)", kValue, 1000},
            {kPressure, kSysStat, "parse count (hard)", kValue, 900},
            {kPressure, kLatch, "library cache", kGets, 20000},
            {kPressure, kLatch, "library cache", kMisses, 700},
            {kPressure, kLatch, "library cache", kSleeps, 150},
            {kPressure, kLatch, "shared pool", kGets, 8000},
            {kPressure, kLatch, "shared pool", kMisses, 300},
            {kPressure, kLatch, "shared pool", kSleeps, 60},
            // One hot block: every session spins on its buffer chain.
            {kHot, kLatch, "cache buffers chains", kGets, 30000},
            {kHot, kLatch, "cache buffers chains", kMisses, 5000},
            {kHot, kLatch, "cache buffers chains", kSleeps, 1200},
        };
        for (const char* cache : kLogonCaches) {
            e.push_back({kStorm, kRowCache, cache, kRcGets, kStormCacheGets});
            e.push_back({kStorm, kRowCache, cache, kRcGetMisses, kStormCacheMisses});
        }
        return e;
    }();
    return effects;
}

bool StormSessionPresent(int i, int64_t minute) {
    const int64_t day = FloorDiv(minute, kMinutesPerDay);
    const int64_t stormStart = day * kMinutesPerDay + kStormHour * kMinutesPerHour;
    if (!kWeek[WeekdayOfEpochHour(day * kHoursPerDay)].Storm) return false;
    const auto seed = static_cast<uint64_t>(day);
    const int64_t arrival = stormStart + static_cast<int64_t>(Mix(31, seed, static_cast<uint64_t>(i)) %
                                                              static_cast<uint64_t>(kStormArrivalSpread));
    const int64_t stay = kStormMinStay + static_cast<int64_t>(Mix(37, seed, static_cast<uint64_t>(i)) %
                                                              static_cast<uint64_t>(kStormStaySpread));
    return minute >= arrival && minute < arrival + stay;
}

}  // namespace sim
