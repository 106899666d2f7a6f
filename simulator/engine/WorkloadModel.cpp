#include "WorkloadModel.h"

#include "Catalog.h"
#include "WorkloadEvents.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace sim {

namespace {

constexpr int kHoursPerWeek = 168;
constexpr int kMinutesPerHour = 60;
constexpr int64_t kWeightScale = 1000;
// Per-mille load of each hour of a weekday (UTC): night batch, office peaks.
constexpr std::array<int64_t, 24> kWeekdayProfile = {220, 180, 160, 140, 140, 170, 300, 600,
                                                     1100, 1400, 1500, 1450, 1000, 1300, 1500, 1450,
                                                     1250, 950, 700, 520, 420, 360, 300, 250};
constexpr int64_t kWeekendPercent = 35;
constexpr int64_t kSessionMinLength = 20;
constexpr int64_t kSessionLengthSpread = 160;
constexpr int64_t kMaxSerial = 65000;

struct WeekTable {
    std::array<int64_t, kHoursPerWeek> Weight{};
    std::array<int64_t, kHoursPerWeek + 1> Prefix{};  // minutes-weighted sums before each hour
};

const WeekTable& Week() {
    static const WeekTable table = [] {
        WeekTable t;
        for (int h = 0; h < kHoursPerWeek; ++h) {
            int weekday = WeekdayOfEpochHour(h);
            int64_t w = kWeekdayProfile[static_cast<size_t>(h % 24)];
            if (weekday == 0 || weekday == 6) w = std::max<int64_t>(60, w * kWeekendPercent / 100);
            t.Weight[static_cast<size_t>(h)] = w;
            t.Prefix[static_cast<size_t>(h + 1)] = t.Prefix[static_cast<size_t>(h)] + w * kMinutesPerHour;
        }
        return t;
    }();
    return table;
}

int64_t FloorDiv(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// Column multipliers (per mille of the counter's rate) and bases.
struct ColumnShape {
    int64_t RatePermille;
    int64_t BasePermille;
};

ColumnShape ShapeOf(CounterFamily family, int column, uint64_t seed) {
    int64_t jitter = static_cast<int64_t>(seed % 400);  // 0..399 per mille of variation
    switch (family) {
        case CounterFamily::SysStat: return {1000, 1000};
        case CounterFamily::Latch:
            switch (column) {
                case kGets: return {1000, 1000};
                case kMisses: return {2 + jitter / 40, 3};
                case kSleeps: return {1 + jitter / 100, 1};
                case kImmediateGets: return {120 + jitter / 2, 150};
                case kImmediateMisses: return {1 + jitter / 200, 1};
                case kSpinGets: return {1 + jitter / 80, 2};
            }
            break;
        case CounterFamily::LibraryCache:
            switch (column) {
                case kLcGets: return {1000, 1000};
                case kLcGetHits: return {930 + jitter / 8, 900};
                case kLcPins: return {2600 + jitter * 3, 2400};
                case kLcPinHits: return {2540 + jitter * 3, 2300};
                case kLcReloads: return {4 + jitter / 50, 5};
                case kLcInvalidations: return {1 + jitter / 150, 1};
            }
            break;
        case CounterFamily::RowCache:
            switch (column) {
                case kRcGets: return {1000, 1000};
                case kRcGetMisses: return {40 + jitter / 10, 80};
                case kRcModifications: return {8 + jitter / 40, 5};
                default: return {0, 0};
            }
    }
    return {0, 0};
}

// Growth rate and base of a row of a counter family, before the column shape.
CounterDef RowDef(CounterFamily family, int index) {
    uint64_t h = Mix(static_cast<uint64_t>(family), static_cast<uint64_t>(index), 17);
    switch (family) {
        case CounterFamily::SysStat: {
            static const std::vector<SysStatDef> stats = SysStats();
            if (index >= 0 && index < static_cast<int>(stats.size())) return stats[static_cast<size_t>(index)].Counter;
            return {"", 0, 0};
        }
        case CounterFamily::Latch:
            // The cache latches are the busiest ones.
            if (index == 0) return {"", 52000, 180000};
            if (index == 1) return {"", 7000, 9000};
            if (index == 2) return {"", 31000, 52000};
            if (index == 3) return {"", 12000, 21000};
            return {"", static_cast<int64_t>(h % 9000) + 100, static_cast<int64_t>(h % 6000) + 20};
        case CounterFamily::LibraryCache:
            if (index == 0) return {"", 8000, 2600};  // SQL AREA
            if (index == 1) return {"", 3000, 900};   // TABLE/PROCEDURE
            return {"", static_cast<int64_t>(h % 1500), static_cast<int64_t>(h % 300) + 1};
        case CounterFamily::RowCache:
            return {"", static_cast<int64_t>(h % 4000) + 50, static_cast<int64_t>(h % 1200) + 10};
    }
    return {"", 0, 0};
}

// One key per counter (family, row, column) of the event rates.
uint64_t CounterKey(int family, int index, int column) {
    return static_cast<uint64_t>(family) << 40 | static_cast<uint64_t>(index) << 16 | static_cast<uint64_t>(column);
}

// Row index of a name among a family's rows, -1 when the instance has no such row.
int RowIndexOf(const std::vector<std::string>& names, const std::string& name) {
    auto it = std::find(names.begin(), names.end(), name);
    return it == names.end() ? -1 : static_cast<int>(it - names.begin());
}

std::vector<std::string> RowNames(CounterFamily family, const SimKnobs& knobs) {
    switch (family) {
        case CounterFamily::SysStat: {
            std::vector<std::string> names;
            for (const SysStatDef& s : SysStats()) names.push_back(s.Name);
            return names;
        }
        case CounterFamily::Latch: return LatchNames(knobs.Latches);
        case CounterFamily::LibraryCache: return LibraryNamespaces(knobs.Version);
        case CounterFamily::RowCache: return RowCacheParameters(knobs.Version);
    }
    return {};
}

}  // namespace

uint64_t Mix(uint64_t a, uint64_t b, uint64_t c) {
    uint64_t x = a * 0x9E3779B97F4A7C15ULL ^ (b + 0x632BE59BD9B4E019ULL) * 0xC2B2AE3D27D4EB4FULL ^
                 (c + 0x165667B19E3779F9ULL) * 0x27D4EB2F165667C5ULL;
    x ^= x >> 31;
    x *= 0xBF58476D1CE4E5B9ULL;
    x ^= x >> 29;
    x *= 0x94D049BB133111EBULL;
    x ^= x >> 32;
    return x;
}

int64_t HourWeight(int64_t epochHour) {
    int64_t h = ((epochHour % kHoursPerWeek) + kHoursPerWeek) % kHoursPerWeek;
    return Week().Weight[static_cast<size_t>(h)];
}

int64_t CumulativeWeight(int64_t minute) {
    const WeekTable& w = Week();
    int64_t hour = FloorDiv(minute, kMinutesPerHour);
    int64_t week = FloorDiv(hour, kHoursPerWeek);
    int64_t hourInWeek = hour - week * kHoursPerWeek;
    int64_t minuteInHour = minute - hour * kMinutesPerHour;
    return week * w.Prefix[kHoursPerWeek] + w.Prefix[static_cast<size_t>(hourInWeek)] +
           minuteInHour * w.Weight[static_cast<size_t>(hourInWeek)];
}

WorkloadModel::WorkloadModel(const SimKnobs& knobs, int64_t startUnix, int64_t flushUnix)
    : knobs_(knobs), startMinute_(FloorDiv(startUnix, 60)), flushMinute_(FloorDiv(std::max(startUnix, flushUnix), 60)) {
    if (!knobs_.WorkloadEvents) return;
    for (const EventEffect& effect : EventEffects()) {
        const int index = RowIndexOf(RowNames(static_cast<CounterFamily>(effect.Family), knobs_), effect.Name);
        if (index < 0) continue;
        eventRates_[CounterKey(effect.Family, index, effect.Column)].emplace_back(static_cast<int>(effect.Event),
                                                                                  effect.RatePerMinute);
    }
}

int64_t WorkloadModel::EventGrowth(CounterFamily family, int index, int column, int64_t minute) const {
    auto it = eventRates_.find(CounterKey(static_cast<int>(family), index, column));
    if (it == eventRates_.end() || minute <= startMinute_) return 0;
    int64_t growth = 0;
    for (const auto& [event, rate] : it->second) {
        const auto e = static_cast<WorkloadEvent>(event);
        growth += rate * (CumulativeEventWork(e, minute) - CumulativeEventWork(e, startMinute_)) / kEventWorkScale;
    }
    return growth;
}

int64_t WorkloadModel::Work(int64_t minute) const {
    if (minute <= startMinute_) return 0;
    return CumulativeWeight(minute) - CumulativeWeight(startMinute_);
}

int64_t WorkloadModel::Counter(CounterFamily family, int index, int column, int64_t minute) const {
    CounterDef def = RowDef(family, index);
    ColumnShape shape = ShapeOf(family, column, Mix(static_cast<uint64_t>(family), static_cast<uint64_t>(index),
                                                    static_cast<uint64_t>(column)));
    if (family == CounterFamily::RowCache && (column == kRcCount || column == kRcUsage)) {
        int64_t count = 20 + static_cast<int64_t>(Mix(99, static_cast<uint64_t>(index)) % 400);
        return column == kRcCount ? count : count * 9 / 10;
    }
    int64_t base = def.Base * shape.BasePermille / kWeightScale;
    if (knobs_.WorkloadEvents && family == CounterFamily::Latch && (column == kMisses || column == kImmediateMisses)) {
        // Misses come from the events; otherwise only a trickle of plain misses.
        if (column == kImmediateMisses) return base;
        const int64_t getsBase = def.Base * ShapeOf(family, kGets, 0).BasePermille / kWeightScale;
        return base + (Counter(family, index, kGets, minute) - getsBase) / kQuietGetsPerMiss +
               EventGrowth(family, index, column, minute);
    }
    int64_t rate = def.RatePerMin * shape.RatePermille;  // per minute at weight 1000, times 1000
    // Work is weight per mille times minutes; divide both scales away.
    return base + rate * Work(minute) / (kWeightScale * kWeightScale) + EventGrowth(family, index, column, minute);
}

int64_t WorkloadModel::SharedPoolUsed(int64_t minute) const {
    const int64_t pool = knobs_.SharedPoolSize;
    const int64_t floorBytes = pool / 5;      // dictionary and fixed structures right after a flush
    const int64_t ceilingBytes = pool * 92 / 100;
    int64_t since = std::max<int64_t>(0, minute - flushMinute_);
    // Fills towards the ceiling (half-way after about two busy hours) with a small wobble.
    int64_t grow = (ceilingBytes - floorBytes) * since / (since + 120);
    int64_t wobble = static_cast<int64_t>(Mix(5, static_cast<uint64_t>(minute)) % static_cast<uint64_t>(pool / 100 + 1));
    const int64_t used = std::min(ceilingBytes, floorBytes + grow + wobble);
    if (knobs_.WorkloadEvents && EventStrength(WorkloadEvent::SharedPoolPressure, FloorDiv(minute, kMinutesPerHour)) > 0)
        return std::max(used, pool * kPressurePoolPercent / 100 + wobble);
    return used;
}

int64_t WorkloadModel::SharedPoolFree(int64_t minute) const { return knobs_.SharedPoolSize - SharedPoolUsed(minute); }

std::vector<std::string> WorkloadModel::SgaStatNames() const {
    return {"free memory", "db_block_buffers", "log_buffer", "fixed_sga", "sql area", "library cache",
            "dictionary cache", "miscellaneous"};
}

int64_t WorkloadModel::SgaStatBytes(int index, int64_t minute) const {
    int64_t used = SharedPoolUsed(minute);
    switch (index) {
        case 0: return SharedPoolFree(minute);
        case 1: return DbBlockBuffers(knobs_) * knobs_.BlockSize;
        case 2: return LogBufferBytes(knobs_);
        case 3: return SgaOf(knobs_).FixedSize;
        case 4: return used * 45 / 100;
        case 5: return used * 25 / 100;
        case 6: return used * 12 / 100;
        case 7: return used - used * 45 / 100 - used * 25 / 100 - used * 12 / 100;
    }
    return 0;
}

int WorkloadModel::SlotCount() const {
    return static_cast<int>(knobs_.Sessions) + (knobs_.WorkloadEvents ? kStormSessions : 0);
}

int64_t WorkloadModel::SlotLength(int slot) const {
    return kSessionMinLength + static_cast<int64_t>(Mix(11, static_cast<uint64_t>(slot)) % kSessionLengthSpread);
}

bool WorkloadModel::SlotPresent(int slot, int64_t minute) const {
    if (minute < startMinute_) return false;
    if (IsStormSlot(slot)) return StormSessionPresent(slot - static_cast<int>(knobs_.Sessions), minute);
    if (slot == 0) return true;  // one client stays logged on all day
    int64_t length = SlotLength(slot);
    int64_t block = (minute - startMinute_) / length;
    int64_t percent = 35 + 55 * HourWeight(FloorDiv(minute, 60)) / 1500;
    return static_cast<int64_t>(Mix(static_cast<uint64_t>(startMinute_), static_cast<uint64_t>(slot),
                                    static_cast<uint64_t>(block)) % 100) < percent;
}

int64_t WorkloadModel::SlotSerial(int slot, int64_t minute) const {
    int64_t block = slot == 0 ? 0 : (minute - startMinute_) / SlotLength(slot);
    if (IsStormSlot(slot)) block = FloorDiv(minute, 24 * kMinutesPerHour);  // a new logon every storm
    return 1 + static_cast<int64_t>(Mix(static_cast<uint64_t>(startMinute_) + 7, static_cast<uint64_t>(slot),
                                        static_cast<uint64_t>(block)) % kMaxSerial);
}

bool WorkloadModel::SlotActive(int slot, int64_t minute) const {
    return Mix(13, static_cast<uint64_t>(slot), static_cast<uint64_t>(minute)) % 4 == 0;
}

std::string WorkloadModel::SlotMachine(int slot) const {
    char buf[32];
    // Each storm session comes from a machine that is seen only in the storm.
    const long machine = IsStormSlot(slot) ? knobs_.Machines + (slot - knobs_.Sessions) : slot % knobs_.Machines;
    std::snprintf(buf, sizeof buf, "WS%03ld", machine + 1);
    return buf;
}

std::string WorkloadModel::SlotUser(int slot) const {
    static const char* const kUsers[] = {"SCOTT", "APPUSER", "REPORTER", "BATCH", "SYSTEM"};
    return kUsers[static_cast<size_t>(slot) % 5];
}

std::string WorkloadModel::SlotProgram(int slot) const {
    static const char* const kPrograms[] = {"ORDERS.EXE", "REPORTS.EXE", "STOCK.EXE", "batchjob@apphost", "KELVAPP.EXE"};
    return kPrograms[static_cast<size_t>(slot / 2) % 5];
}

std::string WorkloadModel::SlotOsUser(int slot) const {
    char buf[32];
    std::snprintf(buf, sizeof buf, "user%02d", slot % 40 + 1);
    return buf;
}

}  // namespace sim
