// V$LOGHIST: log switches placed by the workload profile, hour by hour, so
// the history is the same whenever it is generated.
#include "InstanceSchema.h"
#include "OracleText.h"
#include "WorkloadModel.h"

#include <algorithm>
#include <vector>

namespace sim {

namespace {

constexpr int64_t kSecondsPerHour = 3600;
constexpr int64_t kScnStart = 100000;
constexpr int64_t kScnPerSwitch = 4096;
constexpr int64_t kMaxSwitchesPerHourWeight = 1600;

int64_t FloorDiv(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// Switch times (Unix seconds, ascending) within one epoch hour.
std::vector<int64_t> SwitchesOfHour(int64_t hour) {
    int64_t weight = HourWeight(hour);
    int64_t count = (weight * 3 + static_cast<int64_t>(Mix(static_cast<uint64_t>(hour), 77) % kMaxSwitchesPerHourWeight)) /
                    kMaxSwitchesPerHourWeight;
    std::vector<int64_t> times;
    for (int64_t j = 0; j < count; ++j) {
        int64_t offset = kSecondsPerHour * (j + 1) / (count + 1) +
                         static_cast<int64_t>(Mix(static_cast<uint64_t>(hour), static_cast<uint64_t>(j), 5) % 600) - 300;
        times.push_back(hour * kSecondsPerHour + std::clamp<int64_t>(offset, 0, kSecondsPerHour - 1));
    }
    std::sort(times.begin(), times.end());
    return times;
}

int64_t Scn(int64_t seq) {
    return kScnStart + seq * kScnPerSwitch + static_cast<int64_t>(Mix(static_cast<uint64_t>(seq), 31) % 1000);
}

std::string FirstTimeText(int64_t unix, int version) {
    OraDate d = DateFromUnix(unix);
    return version == 7 ? FormatDateMask(d, "MM/DD/YY HH24:MI:SS") : FormatDateText(d);
}

void InsertSwitches(SqliteDb& db, const SimKnobs& k, int64_t fromUnix, int64_t untilUnix, int64_t firstSeq) {
    if (untilUnix <= fromUnix) return;
    SqliteStmt ins(db.Get(),
                   "INSERT OR IGNORE INTO SIM_LOGHIST (\"THREAD#\", \"SEQUENCE#\", \"FIRST_CHANGE#\", FIRST_TIME, "
                   "\"SWITCH_CHANGE#\", FIRST_UNIX) VALUES (1, ?, ?, ?, ?, ?)");
    int64_t seq = firstSeq;
    for (int64_t hour = FloorDiv(fromUnix, kSecondsPerHour); hour <= FloorDiv(untilUnix, kSecondsPerHour); ++hour) {
        for (int64_t t : SwitchesOfHour(hour)) {
            if (t <= fromUnix || t > untilUnix) continue;
            ins.Bind(1, seq).Bind(2, Scn(seq)).Bind(3, FirstTimeText(t, k.Version)).Bind(4, Scn(seq + 1)).Bind(5, t).Run();
            ++seq;
        }
    }
}

}  // namespace

void CreateLogHistory(SqliteDb& db, const SimKnobs& k, int64_t nowUnix) {
    InsertSwitches(db, k, nowUnix - k.LogHistoryDays * 86400, nowUnix, 1);
}

void AppendLogHistory(SqliteDb& db, const SimKnobs& k, int64_t fromUnix, int64_t untilUnix) {
    int64_t next = db.QueryInt("SELECT IFNULL(MAX(\"SEQUENCE#\"), 0) + 1 FROM SIM_LOGHIST", 1);
    InsertSwitches(db, k, fromUnix, untilUnix, next);
}

}  // namespace sim
