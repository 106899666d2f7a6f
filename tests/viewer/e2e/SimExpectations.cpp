#include "SimExpectations.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <functional>
#include <set>

#include "CollectorHarness.h"
#include "KvPlatform.h"
#include "StatFiles.h"

namespace fs = std::filesystem;

const std::array<const char*, 4> kNamedLatches = {"cache buffers chains", "cache buffers lru chain",
                                                  "library cache", "shared pool"};

namespace {

using kelvtest::AtMinute;
using kelvtest::MinuteOf;
using Minute = int64_t;
using TCounter = std::function<int64_t(Minute)>;

// Simulated minutes after an hour change within which its tick has read
// (a third of a real second at this speed, for a busy machine).
constexpr Minute kReadWindowMinutes = 15;
constexpr int64_t kNoMemorySample = 999999999;

// The simulator's answers, each asked once.
class TSimReader {
public:
    explicit TSimReader(const sim::SimConfig& config) : config_(config) {}

    TCounter Row(const std::string& view, const std::string& name, const std::string& column)
    {
        return [this, view, name, column](Minute m) {
            return Cached(view + "|" + name + "|" + column, m,
                          [&] { return sim::CounterAt(config_, view, name, AtMinute(m), column); });
        };
    }
    TCounter Sum(const std::string& view, const std::string& column)
    {
        return [this, view, column](Minute m) {
            return Cached(view + "|SUM|" + column, m,
                          [&] { return sim::CounterSumAt(config_, view, column, AtMinute(m)); });
        };
    }
    TCounter Latch(const std::string& name, bool misses)
    {
        TCounter plain = Row("V$LATCH", name, misses ? "MISSES" : "GETS");
        TCounter immediate = Row("V$LATCH", name, misses ? "IMMEDIATE_MISSES" : "IMMEDIATE_GETS");
        return [plain, immediate](Minute m) { return plain(m) + immediate(m); };
    }
    TCounter Logins()
    {
        return [this](Minute m) {
            return Cached("LOGINS", m, [&] { return int64_t{sim::LoginMachinesAt(config_, AtMinute(m))}; });
        };
    }

private:
    int64_t Cached(const std::string& key, Minute m, const std::function<int64_t()>& ask)
    {
        auto& byMinute = cache_[key];
        auto it = byMinute.find(m);
        if (it != byMinute.end()) return it->second;
        return byMinute[m] = ask();
    }
    const sim::SimConfig& config_;
    std::map<std::string, std::map<Minute, int64_t>> cache_;
};

// One MU line of the run, in time order.
struct THourSlot {
    std::string Day;
    std::string Line;
    int Hour = 0;
    Minute Start = 0;
};

// A counter of a statement read at each hour change, its MU field and
// where its growth goes in the expectation.
struct TCounterField {
    int Position;
    TCounter Counter;
    std::function<int64_t&(TMUHour&)> Ref;
};

std::string HourName(const THourSlot& s)
{
    return s.Day + " hour " + std::to_string(s.Hour);
}

int64_t Growth(const TCounter& c, Minute from, Minute to)
{
    return std::max<int64_t>(0, c(to) - c(from));
}

// Reading minute of one statement at every hour change of a chain of
// consecutive hours (boundary k starts hour k; boundary n ends the last),
// such that every counter's growth equals the file. Empty when none fits;
// `why` then names the first hour that no reading explains.
std::vector<Minute> ResolveReadings(const std::vector<THourSlot>& hours, const std::vector<TCounterField>& fields,
                                    Minute firstFrom, std::string& why)
{
    const size_t n = hours.size();
    auto fits = [&](size_t k, Minute a, Minute b) {
        for (const TCounterField& f : fields)
            if (Growth(f.Counter, a, b) != FieldNumber(hours[k].Line, f.Position, mu::kNumberWidth)) return false;
        return true;
    };
    // The first reading may run past the hour its tick saw begin: then the
    // next tick reads in the same minute and the first hour grew by nothing.
    std::vector<std::vector<Minute>> candidates(n + 1);
    for (Minute m = firstFrom; m <= hours[0].Start + 60 + kReadWindowMinutes; ++m) candidates[0].push_back(m);
    for (size_t k = 1; k <= n; ++k)
        for (Minute m = 0; m <= kReadWindowMinutes; ++m) candidates[k].push_back(hours[k - 1].Start + 60 + m);

    for (size_t k = 0; k < n; ++k) {
        std::vector<Minute> kept;
        for (Minute b : candidates[k + 1])
            if (std::any_of(candidates[k].begin(), candidates[k].end(), [&](Minute a) { return fits(k, a, b); }))
                kept.push_back(b);
        if (kept.empty()) {
            why = HourName(hours[k]);
            return {};
        }
        candidates[k + 1] = kept;
    }
    for (size_t k = n; k-- > 0;) {
        std::vector<Minute> kept;
        for (Minute a : candidates[k])
            if (std::any_of(candidates[k + 1].begin(), candidates[k + 1].end(), [&](Minute b) { return fits(k, a, b); }))
                kept.push_back(a);
        candidates[k] = kept;
    }
    std::vector<Minute> picked{candidates[0].front()};
    for (size_t k = 0; k < n; ++k)
        for (Minute b : candidates[k + 1])
            if (fits(k, picked.back(), b)) {
                picked.push_back(b);
                break;
            }
    return picked;
}

// A level read in a window of minutes: the file's figure when the instance
// gave it at one of them, else the instance's figure at the window's start.
int64_t Level(const std::function<int64_t(Minute)>& value, Minute from, Minute to, int64_t inFile,
              const std::string& what, std::vector<std::string>& problems)
{
    for (Minute m = from; m <= to; ++m)
        if (value(m) == inFile) return inFile;
    problems.push_back(what + ": file holds " + std::to_string(inFile) + ", instance gives " +
                       std::to_string(value(from)));
    return value(from);
}

std::vector<TCounterField> FieldsOf(TSimReader& sim, const std::string& item)
{
    std::vector<TCounterField> f;
    auto ref = [](int64_t TMUHour::*member) { return [member](TMUHour& h) -> int64_t& { return h.*member; }; };
    if (item == "SA") {
        f.push_back({mu::kSqlPins, sim.Row("V$LIBRARYCACHE", "SQL AREA", "PINS"), ref(&TMUHour::SqlPins)});
        f.push_back({mu::kSqlReloads, sim.Row("V$LIBRARYCACHE", "SQL AREA", "RELOADS"), ref(&TMUHour::SqlReloads)});
    } else if (item == "LC") {
        f.push_back({mu::kLibPins, sim.Sum("V$LIBRARYCACHE", "PINS"), ref(&TMUHour::LibPins)});
        f.push_back({mu::kLibReloads, sim.Sum("V$LIBRARYCACHE", "RELOADS"), ref(&TMUHour::LibReloads)});
    } else if (item == "DC") {
        f.push_back({mu::kDicGets, sim.Sum("V$ROWCACHE", "GETS"), ref(&TMUHour::DicGets)});
        f.push_back({mu::kDicMisses, sim.Sum("V$ROWCACHE", "GETMISSES"), ref(&TMUHour::DicMisses)});
    } else if (item == "BB") {
        TCounter block = sim.Row("V$SYSSTAT", "db block gets", "VALUE");
        TCounter consistent = sim.Row("V$SYSSTAT", "consistent gets", "VALUE");
        f.push_back({mu::kLogicalReads, [block, consistent](Minute m) { return block(m) + consistent(m); },
                     ref(&TMUHour::LogicalReads)});
        f.push_back({mu::kPhysicalReads, sim.Row("V$SYSSTAT", "physical reads", "VALUE"), ref(&TMUHour::PhysicalReads)});
    } else if (item == "SR") {
        f.push_back({mu::kRowsSorted, sim.Row("V$SYSSTAT", "sorts (rows)", "VALUE"), ref(&TMUHour::RowsSorted)});
        f.push_back({mu::kSortsMemory, sim.Row("V$SYSSTAT", "sorts (memory)", "VALUE"), ref(&TMUHour::SortsMemory)});
        f.push_back({mu::kSortsDisk, sim.Row("V$SYSSTAT", "sorts (disk)", "VALUE"), ref(&TMUHour::SortsDisk)});
    } else if (item == "LA") {
        for (size_t i = 0; i < kNamedLatches.size(); ++i) {
            f.push_back({mu::kLatchGets + mu::kLatchStride * static_cast<int>(i), sim.Latch(kNamedLatches[i], false),
                         [i](TMUHour& h) -> int64_t& { return h.LatchGets[i]; }});
            f.push_back({mu::kLatchGets + mu::kNumberWidth + mu::kLatchStride * static_cast<int>(i), sim.Latch(kNamedLatches[i], true),
                         [i](TMUHour& h) -> int64_t& { return h.LatchMisses[i]; }});
        }
    }
    return f;
}

// Chains of consecutive hours among the MU lines of the run.
std::vector<std::vector<THourSlot>> HourChains(const TCollectorRun& run, std::vector<std::string>& problems)
{
    std::vector<std::vector<THourSlot>> chains;
    for (const std::string& day : run.Days) {
        for (const std::string& line : ReadStatLines(run.Data / ("MU" + day + ".dat"))) {
            if (line.size() != static_cast<size_t>(mu::kLength) ||
                line.find_first_not_of("0123456789") != std::string::npos) {
                problems.push_back("MU" + day + ": damaged line \"" + line + "\"");
                continue;
            }
            THourSlot slot{day, line, static_cast<int>(FieldNumber(line, mu::kHour, 2)), 0};
            slot.Start = MinuteOf(day, slot.Hour);
            if (chains.empty() || chains.back().back().Start + 60 != slot.Start) {
                if (!chains.empty()) problems.push_back("hours missing before " + HourName(slot));
                chains.emplace_back();
            }
            chains.back().push_back(slot);
        }
    }
    return chains;
}

void ExpectLatchTotals(const TCollectorRun& run, TSimReader& sim, const std::vector<THourSlot>& hours,
                       const std::vector<Minute>& readings, TExpectedRun& out)
{
    const std::vector<std::string> latches = sim::LatchNamesOf(run.Config);
    for (const std::string& day : run.Days) {
        // The day's growth runs from the reading that starts its first hour
        // to the one that ends its last.
        size_t first = hours.size(), last = 0;
        for (size_t k = 0; k < hours.size(); ++k)
            if (hours[k].Day == day) {
                first = std::min(first, k);
                last = k + 1;
            }
        if (first == hours.size()) continue;
        auto& totals = out.ML[day];
        for (const std::string& name : latches) {
            TLatchTotal t{name.substr(0, ml::kNameWidth),
                          Growth(sim.Latch(name, false), readings[first], readings[last]),
                          Growth(sim.Latch(name, true), readings[first], readings[last])};
            if (t.Gets > 0 || t.Misses > 0) totals.push_back(t);
        }
    }
}

std::string Zero(int64_t v, int width)
{
    std::string text = std::to_string(v < 0 ? -v : v);
    if (v < 0) text = "-" + text;
    if (text.size() >= static_cast<size_t>(width)) return text.substr(text.size() - width);
    std::string field(static_cast<size_t>(width) - text.size(), '0');
    return field + text;
}

}  // namespace

TExpectedRun ExpectFromSimulator(const TCollectorRun& run)
{
    TExpectedRun out;
    TSimReader sim(run.Config);
    const int64_t sharedPool = std::stoll(sim::ParameterValue(run.Config, "shared_pool_size"));
    const int64_t sortArea = std::stoll(sim::ParameterValue(run.Config, "sort_area_size"));
    TCounter freeMemory = sim.Row("V$SGASTAT", "free memory", "BYTES");
    TCounter logBuffer = sim.Row("V$SGASTAT", "log_buffer", "BYTES");
    TCounter dbBuffers = sim.Row("V$SGA", "Database Buffers", "VALUE");
    TCounter redoBuffers = sim.Row("V$SGA", "Redo Buffers", "VALUE");
    TCounter logins = sim.Logins();

    bool firstChain = true;
    for (const std::vector<THourSlot>& hours : HourChains(run, out.Problems)) {
        const Minute firstFrom = firstChain ? run.StartMinute : hours.front().Start;
        firstChain = false;
        std::vector<TMUHour> expected(hours.size());
        for (size_t k = 0; k < hours.size(); ++k) expected[k].Hour = hours[k].Hour;

        for (const char* item : {"LA", "SA", "LC", "DC", "BB", "SR"}) {
            const std::vector<TCounterField> fields = FieldsOf(sim, item);
            std::string why;
            std::vector<Minute> readings = ResolveReadings(hours, fields, firstFrom, why);
            if (readings.empty()) {
                out.Problems.push_back(std::string("item ") + item + ": no reading of the instance gives the growth of " + why);
                readings.push_back(firstFrom);
                for (const THourSlot& h : hours) readings.push_back(h.Start + 60);
            }
            for (size_t k = 0; k < hours.size(); ++k)
                for (const TCounterField& f : fields)
                    f.Ref(expected[k]) = Growth(f.Counter, readings[k], readings[k + 1]);
            if (std::string(item) == "LA") ExpectLatchTotals(run, sim, hours, readings, out);
        }

        for (size_t k = 0; k < hours.size(); ++k) {
            const THourSlot& s = hours[k];
            TMUHour& e = expected[k];
            const Minute end = s.Start + 60, late = end + kReadWindowMinutes;
            const Minute from = k == 0 ? firstFrom : s.Start;
            const std::string where = HourName(s);
            e.SharedPoolSize = sharedPool;
            if (FieldNumber(s.Line, mu::kSharedPoolSize, mu::kNumberWidth) != sharedPool)
                out.Problems.push_back(where + ": shared pool size");
            e.SharedPoolUsed = Level([&](Minute m) { return sharedPool - freeMemory(m); }, from, late,
                                     FieldNumber(s.Line, mu::kSharedPoolUsed, mu::kNumberWidth), where + ": shared pool used",
                                     out.Problems);
            e.LogBufferMax = Level(logBuffer, from, late, FieldNumber(s.Line, mu::kLogBuffer, mu::kNumberWidth),
                                   where + ": log buffer", out.Problems);
            e.DbBuffers = Level(dbBuffers, end, late, FieldNumber(s.Line, mu::kDbBuffers, mu::kNumberWidth),
                                where + ": database buffers", out.Problems);
            e.RedoBuffers = Level(redoBuffers, end, late, FieldNumber(s.Line, mu::kRedoBuffers, mu::kNumberWidth),
                                  where + ": redo buffers", out.Problems);
            e.SortAreaSize = sortArea;
            out.MU[s.Day].push_back(e);
        }
    }

    // Operating rate: logins from the instance; the host's memory from
    // /proc as the collector saw it, so only its bounds are checked.
    const int64_t installed = std::llround(static_cast<double>(TotalPhysicalMemory()) / 1024.0 / 1024.0);
    for (const std::string& day : run.Days) {
        for (const std::string& line : ReadStatLines(run.Data / ("OR" + day + ".dat"))) {
            if (line.size() != static_cast<size_t>(orl::kLength) ||
                line.find_first_not_of("0123456789") != std::string::npos) {
                out.Problems.push_back("OR" + day + ": damaged line \"" + line + "\"");
                continue;
            }
            TORHour h;
            h.Hour = static_cast<int>(FieldNumber(line, orl::kHour, 2));
            const std::string where = "OR " + day + " hour " + std::to_string(h.Hour);
            const Minute end = MinuteOf(day, h.Hour) + 60;
            // The collector's own session may count as one more machine.
            const int64_t inFile = FieldNumber(line, orl::kLogins, 3);
            h.Logins = Level([&](Minute m) { return logins(m) + (inFile == logins(m) + 1 ? 1 : 0); }, end,
                             end + kReadWindowMinutes, inFile, where + ": logins", out.Problems);
            h.Installed = installed;
            if (FieldNumber(line, orl::kInstalled, orl::kMemoryWidth) != installed)
                out.Problems.push_back(where + ": installed memory " + line.substr(orl::kInstalled - 1, orl::kMemoryWidth));
            h.MemMax = FieldNumber(line, orl::kMemMax, orl::kMemoryWidth);
            h.MemMin = FieldNumber(line, orl::kMemMin, orl::kMemoryWidth);
            const bool noSample = h.MemMax == 0 && h.MemMin == kNoMemorySample;
            if (!noSample && !(h.MemMin > 0 && h.MemMin <= h.MemMax && h.MemMax <= installed))
                out.Problems.push_back(where + ": memory in use " + std::to_string(h.MemMin) + ".." +
                                       std::to_string(h.MemMax));
            out.OR[day].push_back(h);
        }
    }
    return out;
}

std::string ExpectedMULine(const TMUHour& h)
{
    constexpr int w = mu::kNumberWidth;
    constexpr int kReservedWidth = 6;   // the reserved 6-character fields, written as zeros
    auto reserved = [](int fields) { return std::string(static_cast<size_t>(fields * kReservedWidth), '0'); };
    std::string l = Zero(h.Hour, 2) + Zero(h.SharedPoolSize, w) + Zero(h.SharedPoolUsed, w) + reserved(6) +
                    Zero(h.DbBuffers, w) + reserved(2) + Zero(h.RedoBuffers, w) + Zero(h.LogBufferMax, w) +
                    Zero(h.SortAreaSize, w) + reserved(3);
    for (size_t i = 0; i < kNamedLatches.size(); ++i) l += Zero(h.LatchGets[i], w) + Zero(h.LatchMisses[i], w);
    for (int64_t v : {h.SqlPins, h.SqlReloads, h.LibPins, h.LibReloads, h.DicGets, h.DicMisses, h.LogicalReads,
                      h.PhysicalReads, h.SortsMemory, h.SortsDisk, h.RowsSorted})
        l += Zero(v, w);
    return l;
}

std::string ExpectedORLine(const TORHour& h)
{
    constexpr int w = orl::kMemoryWidth;
    // Statement counts (4 x 10) and CPU figures (2 x 3) before the logins,
    // page-outs (10) after the memory: reserved, zeros.
    return Zero(h.Hour, 2) + std::string(4 * 10 + 2 * 3, '0') + Zero(h.Logins, 3) + Zero(h.Installed, w) +
           Zero(h.MemMax, w) + Zero(h.MemMin, w) + std::string(10, '0');
}

std::string ExpectedMLLine(const TLatchTotal& t)
{
    std::string name = t.Name;
    name.resize(ml::kNameWidth, ' ');
    return name + "=" + Zero(t.Gets, mu::kNumberWidth) + Zero(t.Misses, mu::kNumberWidth);
}
