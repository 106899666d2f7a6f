// The deterministic workload of the instance. Every figure is a function of
// the whole minute (floor(t/60)), the instance start and the knobs, so any
// program can recompute exactly what a query returns at a given time.
#pragma once

#include "SimKnobs.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace sim {

enum class CounterFamily { SysStat = 1, Latch = 2, LibraryCache = 3, RowCache = 4 };

// Columns of the counter views, as stored in the views' definitions.
enum CounterColumn {
    kValue = 0,
    kGets = 1, kMisses = 2, kSleeps = 3, kImmediateGets = 4, kImmediateMisses = 5, kSpinGets = 6,
    kLcGets = 10, kLcGetHits = 11, kLcPins = 12, kLcPinHits = 13, kLcReloads = 14, kLcInvalidations = 15,
    kRcGets = 20, kRcGetMisses = 21, kRcModifications = 22, kRcCount = 23, kRcUsage = 24,
};

// Deterministic 64-bit mix of a few numbers.
uint64_t Mix(uint64_t a, uint64_t b = 0, uint64_t c = 0);

// Workload weight (per mille) of an hour since the Unix epoch: an hour-of-day
// profile (UTC) with quieter weekends.
int64_t HourWeight(int64_t epochHour);

class WorkloadModel {
public:
    WorkloadModel(const SimKnobs& knobs, int64_t startUnix, int64_t flushUnix);

    int64_t StartMinute() const { return startMinute_; }
    // Value of a counter (family, row index, column) at the whole minute.
    int64_t Counter(CounterFamily family, int index, int column, int64_t minute) const;

    // Shared pool: bytes in use / free at a minute.
    int64_t SharedPoolUsed(int64_t minute) const;
    int64_t SharedPoolFree(int64_t minute) const;
    // V$SGASTAT rows and their bytes at a minute.
    std::vector<std::string> SgaStatNames() const;
    int64_t SgaStatBytes(int index, int64_t minute) const;

    // Workload user sessions: slot i of Sessions, then the storm sessions
    // of an events workload.
    int SlotCount() const;
    bool SlotPresent(int slot, int64_t minute) const;
    int64_t SlotSerial(int slot, int64_t minute) const;
    bool SlotActive(int slot, int64_t minute) const;
    std::string SlotMachine(int slot) const;
    std::string SlotUser(int slot) const;
    std::string SlotProgram(int slot) const;
    std::string SlotOsUser(int slot) const;

private:
    // Cumulative workload weight from the start minute to a minute.
    int64_t Work(int64_t minute) const;
    int64_t SlotLength(int slot) const;
    // What the events of an events workload added to a counter since the start.
    int64_t EventGrowth(CounterFamily family, int index, int column, int64_t minute) const;
    bool IsStormSlot(int slot) const { return slot >= knobs_.Sessions; }

    SimKnobs knobs_;
    int64_t startMinute_;
    int64_t flushMinute_;
    // Event rates per minute at full strength, by counter (events workload only).
    std::unordered_map<uint64_t, std::vector<std::pair<int, int64_t>>> eventRates_;
};

// Cumulative weight of all whole minutes before `minute` (from the epoch).
int64_t CumulativeWeight(int64_t minute);

}  // namespace sim
