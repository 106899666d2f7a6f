// The events of a working week that a data source with "Workload = events"
// adds to the steady hour-of-day profile: a nightly batch, a morning logon
// storm, an hour of shared-pool pressure and a hot latch. Each is fixed by
// weekday and hour (UTC), so every figure stays a function of the minute.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace sim {

enum class WorkloadEvent { NightlyBatch = 0, LogonStorm = 1, SharedPoolPressure = 2, HotLatch = 3 };
inline constexpr int kWorkloadEventCount = 4;
inline constexpr std::array<WorkloadEvent, kWorkloadEventCount> kWorkloadEvents = {
    WorkloadEvent::NightlyBatch, WorkloadEvent::LogonStorm, WorkloadEvent::SharedPoolPressure,
    WorkloadEvent::HotLatch};

// Event strength is per mille. An event grows its counters in proportion to
// the hour's profile weight as well, so that an event moves a ratio as far
// on a quiet weekend as on a busy weekday: at full strength in an hour of
// weight 1000 a counter grows by its event rate per minute.
inline constexpr int64_t kEventFullStrength = 1000;
inline constexpr int64_t kEventWorkScale = kEventFullStrength * 1000;

// Weekday (0 = Sunday) of an hour since the Unix epoch.
int WeekdayOfEpochHour(int64_t epochHour);
// Strength of an event in an hour since the Unix epoch (0 when it is quiet).
int64_t EventStrength(WorkloadEvent event, int64_t epochHour);
// Strength times profile weight, summed over every whole minute before
// `minute` (from the epoch), in units of kEventWorkScale per full minute.
int64_t CumulativeEventWork(WorkloadEvent event, int64_t minute);

// Extra growth per minute at full strength, by counter name: a V$SYSSTAT
// NAME, a V$LATCH NAME, a V$LIBRARYCACHE NAMESPACE or a V$ROWCACHE PARAMETER,
// and the column number of WorkloadModel.h.
struct EventEffect {
    WorkloadEvent Event;
    int Family;           // CounterFamily
    const char* Name;
    int Column;
    int64_t RatePerMinute;
};
const std::vector<EventEffect>& EventEffects();

// Sessions that log on in the morning storm, each from a machine of its own.
inline constexpr int kStormSessions = 20;
// Whether storm session i (0-based) is logged on at a minute.
bool StormSessionPresent(int i, int64_t minute);

// The shared pool in use during a pressure hour: nearly full.
inline constexpr int64_t kPressurePoolPercent = 97;

// Busy latches stay almost free of misses outside the hot-latch event: one
// miss per this many gets, which the viewer shows as a ratio of 0.00.
inline constexpr int64_t kQuietGetsPerMiss = 250000;

}  // namespace sim
