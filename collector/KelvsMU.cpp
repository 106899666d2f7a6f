#include "KelvsMU.h"

#include <algorithm>
#include <deque>
#include <map>
#include <stdexcept>
#include <type_traits>

#include "KvCom.h"
#include "KvgClock.h"
#include "KvgLines.h"

namespace mu_sql {
const char* const kSqlArea =
    " SELECT  PINS, RELOADS     FROM  V$LIBRARYCACHE   WHERE  NAMESPACE =  ? ";
const char* const kLibraryCache =
    " SELECT  SUM(PINS)        AS EXCT,   SUM(RELOADS)     AS MISS     FROM  V$LIBRARYCACHE ";
const char* const kDictionaryCache =
    " SELECT  SUM(GETS)        AS EXCT,   SUM(GETMISSES)   AS MISS     FROM  V$ROWCACHE ";
const char* const kSgaValue = " SELECT  VALUE    FROM  V$SGA   WHERE  UPPER(NAME) = ? ";
const char* const kBufferReads =
    " SELECT  A.VALUE + B.VALUE AS EXCT,   C.VALUE           AS MISS     FROM  V$SYSSTAT A, "
    "V$SYSSTAT B, V$SYSSTAT C   WHERE  A.NAME = 'db block gets'       AND  B.NAME = 'consistent "
    "gets'     AND  C.NAME = 'physical reads'  ";
const char* const kParameter = " SELECT * FROM V$PARAMETER  WHERE NAME = ? ";
const char* const kSorts = " SELECT NAME, VALUE    FROM V$SYSSTAT   WHERE NAME LIKE '%sort%' ";
const char* const kLatches =
    " SELECT NAME,         GETS   + IMMEDIATE_GETS   AS GETS,         MISSES + IMMEDIATE_MISSES "
    "AS MISS     FROM V$LATCH                             ORDER BY NAME ";
const char* const kSharedPool =
    " SELECT V$SGASTAT.BYTES     AS FREE,         V$PARAMETER.VALUE   AS SHDP     FROM "
    "V$SGASTAT, V$PARAMETER         WHERE V$SGASTAT.NAME   = 'free memory'          AND "
    "V$PARAMETER.NAME = 'shared_pool_size' ";
// From version 8 on every pool has its own 'free memory' row: the shared
// pool's is the one that goes with shared_pool_size.
const char* const kSharedPoolOfPool =
    " SELECT V$SGASTAT.BYTES     AS FREE,         V$PARAMETER.VALUE   AS SHDP     FROM "
    "V$SGASTAT, V$PARAMETER         WHERE V$SGASTAT.NAME   = 'free memory'          AND "
    "V$SGASTAT.POOL   = 'shared pool'          AND V$PARAMETER.NAME = 'shared_pool_size' ";
// Under automatic memory shared_pool_size reads 0 (or a minimum set by
// hand): the pool's real size is its current size.
const char* const kSharedPoolCurrentSize =
    " SELECT CURRENT_SIZE FROM V$SGA_DYNAMIC_COMPONENTS   WHERE COMPONENT = 'shared pool' ";
const char* const kLogBuffer = " SELECT BYTES FROM V$SGASTAT   WHERE UPPER(NAME) = ? ";
}  // namespace mu_sql

namespace {
const std::string kParamSqlArea = "SQL AREA";
const std::string kParamDatabaseBuffers = "DATABASE BUFFERS";
const std::string kParamRedoBuffers = "REDO BUFFERS";
const std::string kParamSortAreaSize = "sort_area_size";
const std::string kParamLogBuffer = "LOG_BUFFER";
const char* const kHourContext = "MUReadMU_Hour";
const char* const kCountersWentBackText =
    "the instance's counters went back (restarted within the hour): their growth is written as 0";
const char* const kNoPoolSizeText =
    "the shared pool's size is not known (shared_pool_size below its free memory and no current size): no sample";
constexpr int kFirstPoolVersion = 8;          // V$SGASTAT has a POOL column
constexpr int kFirstDynamicSgaVersion = 9;    // V$SGA_DYNAMIC_COMPONENTS exists

// A figure that is not a number (a NULL column reads as "<Null>"): the
// reading of its item has failed and is no baseline for any growth.
class TBadFigure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::string NotANumberText(const std::string& what, const std::string& text)
{
    return what + " read as \"" + text + "\", not a number: this reading is not used";
}

double Figure(ICollectorDb& db, const std::string& column)
{
    const std::string text = db.Field(column);
    double value = 0;
    if (!ParseFigure(text, value)) throw TBadFigure(NotANumberText(column, text));
    return value;
}

// The latches whose counters the MU line holds.
struct TNamedLatch {
    const char* Name;
    TLatchPair TMURecord::*Pair;
    unsigned Item;
};
const TNamedLatch kNamedLatches[] = {
    {"cache buffers chains", &TMURecord::CacheBuffersChains, muLatchCacheBuffersChains},
    {"cache buffers lru chain", &TMURecord::CacheBuffersLruChain, muLatchCacheBuffersLruChain},
    {"library cache", &TMURecord::LibraryCache, muLatchLibraryCache},
    {"shared pool", &TMURecord::SharedPool, muLatchSharedPool},
};

bool ParseLatch(const TLatchRow& row, TLatchPair& pair)
{
    return ParseFigure(row.Gets, pair.Gets) && ParseFigure(row.Misses, pair.Misses);
}
}  // namespace

void TMemoryUsageUnit::ResetMU()
{
    prev_ = TMURecord();
    grdCR_ML_.clear();
    grdSV_ML_.clear();
}

template <typename Body>
void TMemoryUsageUnit::ReadItem(TMURecord& record, unsigned item, const char* key, Body body)
{
    if (db_.ConnectionLost()) return;  // nothing more to learn from this connection
    try {
        // A body may return what it could not use of a reading it kept.
        std::string problem;
        if constexpr (std::is_void_v<decltype(body())>)
            body();
        else
            problem = body();
        record.ValidItems |= item;
        if (problem.empty())
            errors_.Succeeded(kHourContext, key);
        else
            errors_.Failed(kHourContext, key, problem);
    } catch (const TBadFigure& e) {
        errors_.Failed(kHourContext, key, e.what());
    } catch (const TDbError& e) {
        // A lost connection is the scheduler's to report, once.
        if (!e.IsConnectionLoss()) errors_.Failed(kHourContext, key, e.ErrorMessage);
    }
}

void TMemoryUsageUnit::ReadMU_Hour(TMURecord& r, TLatchTable& current)
{
    ReadItem(r, muItemSA, "SA", [&] {
        db_.Run(mu_sql::kSqlArea, &kParamSqlArea);
        if (db_.Fetch()) {
            r.SqlAreaPins = Figure(db_, "PINS");
            r.SqlAreaReloads = Figure(db_, "RELOADS");
        }
    });
    ReadItem(r, muItemLC, "LC", [&] {
        db_.Run(mu_sql::kLibraryCache);
        if (db_.Fetch()) {
            r.LibCachePins = Figure(db_, "EXCT");
            r.LibCacheReloads = Figure(db_, "MISS");
        }
    });
    ReadItem(r, muItemDC, "DC", [&] {
        db_.Run(mu_sql::kDictionaryCache);
        if (db_.Fetch()) {
            r.DictGets = Figure(db_, "EXCT");
            r.DictGetMisses = Figure(db_, "MISS");
        }
    });
    ReadItem(r, muItemBBs, "BBs", [&] {
        db_.Run(mu_sql::kSgaValue, &kParamDatabaseBuffers);
        if (db_.Fetch()) r.DatabaseBuffers = Figure(db_, "VALUE");
    });
    ReadItem(r, muItemBB, "BB", [&] {
        db_.Run(mu_sql::kBufferReads);
        if (db_.Fetch()) {
            r.LogicalReads = Figure(db_, "EXCT");
            r.PhysicalReads = Figure(db_, "MISS");
        }
    });
    ReadItem(r, muItemLB, "LB", [&] {
        db_.Run(mu_sql::kSgaValue, &kParamRedoBuffers);
        if (db_.Fetch()) r.RedoBuffers = Figure(db_, "VALUE");
    });
    ReadItem(r, muItemSRs, "SRs", [&] {
        db_.Run(mu_sql::kParameter, &kParamSortAreaSize);
        if (db_.Fetch()) r.SortAreaSize = Figure(db_, "VALUE");
    });
    ReadItem(r, muItemSR, "SR", [&] {
        db_.Run(mu_sql::kSorts);
        while (db_.Fetch()) {
            const std::string name = db_.Field("NAME");
            double* target = nullptr;
            if (name.find("memory") != std::string::npos)
                target = &r.SortsMemory;
            else if (name.find("disk") != std::string::npos)
                target = &r.SortsDisk;
            else if (name.find("rows") != std::string::npos)
                target = &r.RowsSorted;
            if (target) *target = Figure(db_, "VALUE");
        }
    });
    ReadItem(r, muItemLA, "LA", [&] {
        db_.Run(mu_sql::kLatches);
        TLatchTable loaded;
        db_.LoadLatchGrid(loaded);
        current = std::move(loaded);  // a failed load leaves the table as it was
        // A latch of the line whose counters are not numbers has no growth
        // this hour; the others are kept.
        std::string problem;
        for (const TLatchRow& row : current) {
            for (const TNamedLatch& named : kNamedLatches) {
                if (row.Name != named.Name) continue;
                TLatchPair pair;
                if (ParseLatch(row, pair)) {
                    r.*named.Pair = pair;
                    r.ValidItems |= named.Item;
                } else if (problem.empty()) {
                    problem = NotANumberText("latch \"" + row.Name + "\"", row.Gets + " " + row.Misses);
                }
            }
        }
        return problem;
    });
}

void TMemoryUsageUnit::HourMU(std::time_t now)
{
    TMURecord fresh;
    fresh.Date = LocalDateInt(now);
    fresh.Hour = LocalHour(now);
    TLatchTable current = grdCR_ML_;
    ReadMU_Hour(fresh, current);

    if (db_.ConnectionLost()) {
        // Readings of a dropped connection are no figures. The hour in
        // progress stays as it was, first reading, maxima and all: the
        // scheduler closes it at a later tick, or leaves it out when that
        // tick comes too late (KvgCatchUp.h).
        return;
    }
    const bool latchesRead = (fresh.ValidItems & muItemLA) != 0;
    if (!latchesRead) current = grdCR_ML_;
    grdCR_ML_ = std::move(current);

    if (prev_.Date > 0) {
        // A failed write loses this hour's figures, never the next hour's baseline.
        const std::string detail = std::to_string(prev_.Date) + std::to_string(prev_.Hour);
        if (CountersWentBack(prev_, fresh)) WriteErrLog("MUHourMU", detail, kCountersWentBackText);
        try {
            InsMU(fresh);
        } catch (const std::exception& e) {
            WriteErrLog("MUInsMU", detail, e.what());
        }
        UpdML();
    }
    prev_ = fresh;
    prev_.SharedPoolSize = 0;
    prev_.SharedPoolUsedMax = 0;
    prev_.RedoBuffers = 0;
    prev_.LogBufferMax = 0;
    // After a failed latch reading there is no baseline for the next hour:
    // latches found only in the current table contribute nothing.
    grdSV_ML_ = latchesRead ? grdCR_ML_ : TLatchTable();
}

bool TMemoryUsageUnit::InsMU(const TMURecord& fresh)
{
    return files_.AppendHourLine("MU", "MUInsMU", prev_.Date, prev_.Hour,
                                 BuildMULine(prev_, fresh));
}

bool TMemoryUsageUnit::UpdML()
{
    // Pairs on exact, case-sensitive names, whatever order the instance
    // sorted the names in (a linguistic NLS_SORT orders them its own way);
    // a name listed twice pairs in the order listed.
    std::map<std::string, std::deque<const TLatchRow*>> savedByName;
    for (const TLatchRow& saved : grdSV_ML_) savedByName[saved.Name].push_back(&saved);
    std::vector<TLatchGrowth> growth;
    for (const TLatchRow& cur : grdCR_ML_) {
        auto found = savedByName.find(cur.Name);
        if (found == savedByName.end() || found->second.empty()) continue;
        const TLatchRow& saved = *found->second.front();
        found->second.pop_front();
        TLatchPair now, before;
        // A latch without numbers at either end has no known growth.
        if (!ParseLatch(cur, now) || !ParseLatch(saved, before)) continue;
        const double getsDelta = now.Gets - before.Gets;
        const double missesDelta = now.Misses - before.Misses;
        // A counter that went back (the instance restarted within the hour)
        // has no known growth: it adds 0, never a negative total.
        if (getsDelta > 0 || missesDelta > 0)
            growth.push_back({cur.Name, std::max(0.0, getsDelta), std::max(0.0, missesDelta)});
    }
    return files_.AddLatchGrowth(prev_.Date, std::move(growth));
}

template <typename Body>
void TMemoryUsageUnit::Sample(const char* context, const char* key, Body body)
{
    if (db_.ConnectionLost()) return;
    try {
        body();
        errors_.Succeeded(context, key);
    } catch (const TBadFigure& e) {
        errors_.Failed(context, key, e.what());
    } catch (const TDbError& e) {
        if (!e.IsConnectionLoss()) errors_.Failed(context, key, e.ErrorMessage);
    }
}

bool TMemoryUsageUnit::ReadSharedPool(double& size, double& free)
{
    const bool pools = oracleVersion_ && *oracleVersion_ >= kFirstPoolVersion;
    db_.Run(pools ? mu_sql::kSharedPoolOfPool : mu_sql::kSharedPool);
    if (!db_.Fetch()) return false;
    // A parameter without a value falls back to the current size below; free
    // memory without one is a failed sample.
    size = TextToNumber(db_.Field("SHDP"));
    free = Figure(db_, "FREE");
    if (size > free) return true;
    // The parameter is not the pool's size (0 under automatic memory).
    const bool knownOld = oracleVersion_ && *oracleVersion_ > 0 && *oracleVersion_ < kFirstDynamicSgaVersion;
    if (knownOld) return size > 0 && size >= free;
    db_.Run(mu_sql::kSharedPoolCurrentSize);
    if (db_.Fetch()) size = std::max(size, TextToNumber(db_.Field("CURRENT_SIZE")));
    return size > 0 && size >= free;
}

void TMemoryUsageUnit::SampleMU_SP()
{
    Sample("MUReadMU_SP", "SP", [&] {
        double size = 0, free = 0;
        if (!ReadSharedPool(size, free)) {
            if (size > 0 || free > 0) throw TBadFigure(kNoPoolSizeText);
            return;
        }
        const double used = size - free;
        if (used > prev_.SharedPoolUsedMax) prev_.SharedPoolUsedMax = used;
        prev_.SharedPoolSize = size;
    });
}

void TMemoryUsageUnit::SampleMU_LB()
{
    Sample("MUReadMU_LB", "LB", [&] {
        db_.Run(mu_sql::kLogBuffer, &kParamLogBuffer);
        if (!db_.Fetch()) return;
        const double bytes = Figure(db_, "BYTES");
        if (bytes > prev_.LogBufferMax) prev_.LogBufferMax = bytes;
    });
}

void TMemoryUsageUnit::DelMU(int cutoff) { files_.Purge("MU", "MUDelMU", cutoff); }
void TMemoryUsageUnit::DelML(int cutoff) { files_.Purge("ML", "MUDelML", cutoff); }
