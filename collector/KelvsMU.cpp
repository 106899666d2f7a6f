#include "KelvsMU.h"

#include <algorithm>
#include <deque>
#include <map>

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
const char* const kCountersWentBackText =
    "the instance's counters went back (restarted within the hour): their growth is written as 0";
const char* const kNoPoolSizeText =
    "the shared pool's size is not known (shared_pool_size below its free memory and no current size): no sample";
constexpr int kFirstPoolVersion = 8;          // V$SGASTAT has a POOL column
constexpr int kFirstDynamicSgaVersion = 9;    // V$SGA_DYNAMIC_COMPONENTS exists
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
        body();
        record.ValidItems |= item;
        errors_.Succeeded("MUReadMU_Hour", key);
    } catch (const TDbError& e) {
        // A lost connection is the scheduler's to report, once.
        if (!e.IsConnectionLoss()) errors_.Failed("MUReadMU_Hour", key, e.ErrorMessage);
    }
}

void TMemoryUsageUnit::ReadMU_Hour(TMURecord& r, TLatchTable& current)
{
    ReadItem(r, muItemSA, "SA", [&] {
        db_.Run(mu_sql::kSqlArea, &kParamSqlArea);
        if (db_.Fetch()) {
            r.SqlAreaPins = TextToNumber(db_.Field("PINS"));
            r.SqlAreaReloads = TextToNumber(db_.Field("RELOADS"));
        }
    });
    ReadItem(r, muItemLC, "LC", [&] {
        db_.Run(mu_sql::kLibraryCache);
        if (db_.Fetch()) {
            r.LibCachePins = TextToNumber(db_.Field("EXCT"));
            r.LibCacheReloads = TextToNumber(db_.Field("MISS"));
        }
    });
    ReadItem(r, muItemDC, "DC", [&] {
        db_.Run(mu_sql::kDictionaryCache);
        if (db_.Fetch()) {
            r.DictGets = TextToNumber(db_.Field("EXCT"));
            r.DictGetMisses = TextToNumber(db_.Field("MISS"));
        }
    });
    ReadItem(r, muItemBBs, "BBs", [&] {
        db_.Run(mu_sql::kSgaValue, &kParamDatabaseBuffers);
        if (db_.Fetch()) r.DatabaseBuffers = TextToNumber(db_.Field("VALUE"));
    });
    ReadItem(r, muItemBB, "BB", [&] {
        db_.Run(mu_sql::kBufferReads);
        if (db_.Fetch()) {
            r.LogicalReads = TextToNumber(db_.Field("EXCT"));
            r.PhysicalReads = TextToNumber(db_.Field("MISS"));
        }
    });
    ReadItem(r, muItemLB, "LB", [&] {
        db_.Run(mu_sql::kSgaValue, &kParamRedoBuffers);
        if (db_.Fetch()) r.RedoBuffers = TextToNumber(db_.Field("VALUE"));
    });
    ReadItem(r, muItemSRs, "SRs", [&] {
        db_.Run(mu_sql::kParameter, &kParamSortAreaSize);
        if (db_.Fetch()) r.SortAreaSize = TextToNumber(db_.Field("VALUE"));
    });
    ReadItem(r, muItemSR, "SR", [&] {
        db_.Run(mu_sql::kSorts);
        while (db_.Fetch()) {
            const std::string name = db_.Field("NAME");
            const double value = TextToNumber(db_.Field("VALUE"));
            if (name.find("memory") != std::string::npos)
                r.SortsMemory = value;
            else if (name.find("disk") != std::string::npos)
                r.SortsDisk = value;
            else if (name.find("rows") != std::string::npos)
                r.RowsSorted = value;
        }
    });
    ReadItem(r, muItemLA, "LA", [&] {
        db_.Run(mu_sql::kLatches);
        TLatchTable loaded;
        db_.LoadLatchGrid(loaded);
        current = std::move(loaded);  // a failed load leaves the table as it was
        for (const TLatchRow& row : current) {
            TLatchPair* pair = nullptr;
            if (row.Name == "cache buffers chains") pair = &r.CacheBuffersChains;
            else if (row.Name == "cache buffers lru chain") pair = &r.CacheBuffersLruChain;
            else if (row.Name == "library cache") pair = &r.LibraryCache;
            else if (row.Name == "shared pool") pair = &r.SharedPool;
            if (pair) {
                pair->Gets = TextToNumber(row.Gets);
                pair->Misses = TextToNumber(row.Misses);
            }
        }
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
        // progress stays as it was: the scheduler closes it after the
        // reconnect, or drops it when that comes too late.
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
        try {
            UpdML();
        } catch (const std::exception& e) {
            WriteErrLog("MUUpdML", std::to_string(prev_.Date), e.what());
        }
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
    TLatchTotals totals = files_.ReadLatchTotals(prev_.Date);
    // Pairs on exact, case-sensitive names, whatever order the instance
    // sorted the names in (a linguistic NLS_SORT orders them its own way);
    // a name listed twice pairs in the order listed.
    std::map<std::string, std::deque<const TLatchRow*>> savedByName;
    for (const TLatchRow& saved : grdSV_ML_) savedByName[saved.Name].push_back(&saved);
    for (const TLatchRow& cur : grdCR_ML_) {
        auto found = savedByName.find(cur.Name);
        if (found == savedByName.end() || found->second.empty()) continue;
        const TLatchRow& saved = *found->second.front();
        found->second.pop_front();
        const double getsDelta = TextToNumber(cur.Gets) - TextToNumber(saved.Gets);
        const double missesDelta = TextToNumber(cur.Misses) - TextToNumber(saved.Misses);
        // A counter that went back (the instance restarted within the hour)
        // has no known growth: it adds 0, never a negative total.
        if (getsDelta > 0 || missesDelta > 0)
            totals.Add(cur.Name, std::max(0.0, getsDelta), std::max(0.0, missesDelta));
    }
    if (files_.WriteLatchTotals(prev_.Date, std::move(totals))) return true;
    WriteErrLog("MUUpdML", std::to_string(prev_.Date), files_.FileName("ML", prev_.Date));
    return false;
}

bool TMemoryUsageUnit::ReadSharedPool(double& size, double& free)
{
    const bool pools = oracleVersion_ && *oracleVersion_ >= kFirstPoolVersion;
    db_.Run(pools ? mu_sql::kSharedPoolOfPool : mu_sql::kSharedPool);
    if (!db_.Fetch()) return false;
    size = TextToNumber(db_.Field("SHDP"));
    free = TextToNumber(db_.Field("FREE"));
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
    if (db_.ConnectionLost()) return;
    try {
        double size = 0, free = 0;
        if (!ReadSharedPool(size, free)) {
            if (size > 0 || free > 0) errors_.Failed("MUReadMU_SP", "SP", kNoPoolSizeText);
            return;
        }
        const double used = size - free;
        if (used > prev_.SharedPoolUsedMax) prev_.SharedPoolUsedMax = used;
        prev_.SharedPoolSize = size;
        errors_.Succeeded("MUReadMU_SP", "SP");
    } catch (const TDbError& e) {
        if (!e.IsConnectionLoss()) errors_.Failed("MUReadMU_SP", "SP", e.ErrorMessage);
    }
}

void TMemoryUsageUnit::SampleMU_LB()
{
    if (db_.ConnectionLost()) return;
    try {
        db_.Run(mu_sql::kLogBuffer, &kParamLogBuffer);
        if (!db_.Fetch()) return;
        const double bytes = TextToNumber(db_.Field("BYTES"));
        if (bytes > prev_.LogBufferMax) prev_.LogBufferMax = bytes;
        errors_.Succeeded("MUReadMU_LB", "LB");
    } catch (const TDbError& e) {
        if (!e.IsConnectionLoss()) errors_.Failed("MUReadMU_LB", "LB", e.ErrorMessage);
    }
}

void TMemoryUsageUnit::DelMU(int cutoff) { files_.Purge("MU", "MUDelMU", cutoff); }
void TMemoryUsageUnit::DelML(int cutoff) { files_.Purge("ML", "MUDelML", cutoff); }
