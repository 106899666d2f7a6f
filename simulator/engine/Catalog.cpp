#include "Catalog.h"

#include "SimKnobs.h"

namespace sim {

namespace {
constexpr int64_t kLogBuffer = 163840;
constexpr int64_t kSortArea = 65536;
constexpr int64_t kDbBlockBuffers = 4000;
constexpr int64_t kFixedSga = 73888;
constexpr int64_t kLargePool = 16 * 1024 * 1024;
constexpr int64_t kLargePoolFree = 15 * 1024 * 1024 + 524288;
constexpr int64_t kJavaPool = 24 * 1024 * 1024;
constexpr int64_t kJavaPoolFree = 21 * 1024 * 1024 + 262144;
constexpr int64_t kStreamsPool = 8 * 1024 * 1024;
constexpr int64_t kStreamsPoolFree = 8 * 1024 * 1024 - 65536;
constexpr int64_t kPgaTarget = 512 * 1024 * 1024;
constexpr int64_t kGranule = 4 * 1024 * 1024;
constexpr int64_t kGranule19 = 16 * 1024 * 1024;
}  // namespace

std::vector<SysStatDef> SysStats() {
    // Rates are per minute at a busy-hour weight of 1000.
    return {
        {0, "logons cumulative", 1, {"", 12, 3}},
        {1, "logons current", 1, {"", 10, 0}},
        {2, "opened cursors cumulative", 1, {"", 400, 900}},
        {3, "opened cursors current", 1, {"", 30, 0}},
        {4, "user commits", 1, {"", 50, 420}},
        {5, "user rollbacks", 1, {"", 1, 6}},
        {6, "user calls", 1, {"", 900, 5200}},
        {7, "recursive calls", 1, {"", 4000, 7400}},
        {8, "session logical reads", 1, {"", 25000, 98000}},
        {9, "CPU used by this session", 1, {"", 300, 1400}},
        {10, "session connect time", 1, {"", 0, 0}},
        {11, "session uga memory", 1, {"", 120000, 3100}},
        {12, "session pga memory", 1, {"", 480000, 6100}},
        {13, "enqueue requests", 4, {"", 600, 1300}},
        {14, "enqueue waits", 4, {"", 2, 4}},
        {15, "db block gets", 8, {"", 6200, 24000}},
        {16, "consistent gets", 8, {"", 19000, 74000}},
        {17, "physical reads", 8, {"", 2100, 3300}},
        {18, "db block changes", 8, {"", 3200, 16000}},
        {19, "consistent changes", 8, {"", 90, 310}},
        {20, "physical writes", 8, {"", 400, 1900}},
        {21, "free buffer requested", 8, {"", 2500, 4700}},
        {22, "dirty buffers inspected", 8, {"", 3, 12}},
        {23, "redo entries", 2, {"", 1700, 8200}},
        {24, "redo size", 2, {"", 420000, 1900000}},
        {25, "redo log space requests", 2, {"", 1, 2}},
        {26, "redo writes", 2, {"", 160, 610}},
        {27, "table scans (short tables)", 64, {"", 170, 820}},
        {28, "table scans (long tables)", 64, {"", 4, 16}},
        {29, "table scan rows gotten", 64, {"", 42000, 170000}},
        {30, "table fetch by rowid", 64, {"", 5200, 21000}},
        {31, "parse count (total)", 64, {"", 380, 2700}},
        {32, "parse count (hard)", 64, {"", 95, 130}},
        {33, "execute count", 64, {"", 1100, 6900}},
        {34, "bytes sent via SQL*Net to client", 1, {"", 210000, 820000}},
        {35, "bytes received via SQL*Net from client", 1, {"", 160000, 610000}},
        {36, "sorts (memory)", 64, {"", 210, 930}},
        {37, "sorts (disk)", 64, {"", 1, 3}},
        {38, "sorts (rows)", 64, {"", 4100, 26000}},
    };
}

std::vector<std::string> LatchNames(long count) {
    static const char* const kNames[] = {
        "cache buffers chains", "cache buffers lru chain", "library cache", "shared pool",
        "active checkpoint queue latch", "cache buffer handles", "channel operations parent latch",
        "checkpoint queue latch", "dml lock allocation", "enqueue hash chains", "enqueues", "error message lists",
        "file number translation table", "global transaction", "hash table column usage latch", "job_queue_processes parameter latch",
        "ktm global data", "latch wait list", "list of block allocation", "loader state object freelist",
        "messages", "multiblock read objects", "ncodef allocation latch", "object stats modification",
        "post/wait queue", "process allocation", "process group creation", "redo allocation", "redo copy",
        "redo writing", "row cache objects", "sequence cache", "session allocation", "session idle bit",
        "session switching", "shared java pool", "simulator hash latch", "sort extent pool", "temporary table state object allocation",
        "transaction allocation", "transaction branch allocation", "undo global data", "user lock",
        "virtual circuit buffers", "virtual circuit queues", "virtual circuits", "library cache load lock",
        "library cache pin", "library cache pin allocation", "mostly latch-free SCN", "lgwr LWN SCN",
        "SQL memory manager latch", "dictionary lookup", "event group latch", "file cache latch",
        "parallel query alloc buffer", "parallel query stats", "query server process", "resmgr group change latch",
        "cost function", "archive control", "archive process latch", "begin backup scn array"};
    std::vector<std::string> names;
    const long known = static_cast<long>(sizeof(kNames) / sizeof(kNames[0]));
    for (long i = 0; i < count; ++i)
        names.push_back(i < known ? std::string(kNames[i]) : "spare latch " + std::to_string(i - known + 1));
    return names;
}

std::vector<std::string> LibraryNamespaces(int version) {
    std::vector<std::string> ns = {"SQL AREA", "TABLE/PROCEDURE", "BODY", "TRIGGER",
                                   "INDEX",    "CLUSTER",         "OBJECT", "PIPE"};
    if (version >= 10) {
        ns.push_back("JAVA SOURCE");
        ns.push_back("JAVA RESOURCE");
        ns.push_back("JAVA DATA");
    }
    return ns;
}

std::vector<std::string> RowCacheParameters(int version) {
    std::vector<std::string> p = {"dc_free_extents", "dc_used_extents", "dc_segments", "dc_tablespaces",
                                  "dc_tablespace_quotas", "dc_files", "dc_users", "dc_rollback_segments",
                                  "dc_objects", "dc_constraints", "dc_object_ids", "dc_synonyms",
                                  "dc_sequences", "dc_usernames", "dc_column_histograms", "dc_profiles"};
    if (version >= 8) {
        p.push_back("dc_histogram_defs");
        p.push_back("dc_global_oids");
    }
    return p;
}

int64_t DbBlockBuffers(const SimKnobs&) { return kDbBlockBuffers; }
int64_t LogBufferBytes(const SimKnobs&) { return kLogBuffer; }
int64_t SortAreaBytes(const SimKnobs&) { return kSortArea; }

SgaSizes SgaOf(const SimKnobs& k) {
    SgaSizes s;
    s.FixedSize = kFixedSga;
    s.DatabaseBuffers = DbBlockBuffers(k) * k.BlockSize;
    s.RedoBuffers = LogBufferBytes(k) + 8192;
    s.VariableSize = k.SharedPoolSize + 12 * 1024 * 1024 + 524288;
    return s;
}

std::vector<ParameterDef> Parameters(const SimKnobs& k) {
    auto n = [](int64_t v) { return std::to_string(v); };
    const std::string dbName = "KELV";
    std::vector<ParameterDef> p = {
        {"processes", 3, "150", false, "FALSE", "FALSE", "user processes"},
        {"sessions", 3, "170", true, "FALSE", "FALSE", "user and system sessions"},
        {"timed_statistics", 1, "TRUE", false, "TRUE", "IMMEDIATE", "maintain internal timing statistics"},
        // Under automatic memory the parameter reads 0 unless set by hand.
        {"shared_pool_size", 3, k.AutoMemory ? "0" : n(k.SharedPoolSize), k.AutoMemory, "FALSE",
         k.Version >= 9 ? "IMMEDIATE" : "FALSE", "size in bytes of shared pool"},
        {"shared_pool_reserved_size", 3, n(k.SharedPoolSize / 20), true, "FALSE", "FALSE", "size in bytes of reserved area of shared pool"},
        {"large_pool_size", 3, "0", true, "FALSE", "FALSE", "size in bytes of the large allocation pool"},
        {"db_block_buffers", 3, n(DbBlockBuffers(k)), false, "FALSE", "FALSE", "Number of database blocks cached in memory"},
        {"db_block_size", 3, n(k.BlockSize), false, "FALSE", "FALSE", "Size of database block in bytes"},
        {"log_buffer", 3, n(LogBufferBytes(k)), false, "FALSE", "FALSE", "redo circular buffer size"},
        {"log_checkpoint_interval", 3, "10000", false, "FALSE", "IMMEDIATE", "# redo blocks checkpoint threshold"},
        {"log_checkpoint_timeout", 3, "1800", true, "FALSE", "IMMEDIATE", "Maximum time interval between checkpoints in seconds"},
        {"db_files", 3, "200", true, "FALSE", "FALSE", "max allowable # db files"},
        {"db_file_multiblock_read_count", 3, "16", false, "TRUE", "IMMEDIATE", "db block to be read each IO"},
        {"sort_area_size", 3, n(SortAreaBytes(k)), false, "TRUE", "DEFERRED", "size of in-memory sort work area"},
        {"sort_area_retained_size", 3, n(SortAreaBytes(k)), true, "TRUE", "DEFERRED", "size of in-memory sort work area retained between fetch calls"},
        {"open_cursors", 3, "300", false, "FALSE", "FALSE", "max # cursors per session"},
        {"db_name", 2, dbName, false, "FALSE", "FALSE", "database name specified in CREATE DATABASE"},
        {"db_domain", 2, "WORLD", false, "FALSE", "FALSE", "directory part of global database name stored with CREATE DATABASE"},
        {"instance_name", 2, "kelv", false, "FALSE", "FALSE", "instance name supported by the instance"},
        {"control_files", 2, "/u02/oradata/KELV/control01.ctl, /u03/oradata/KELV/control02.ctl", false, "FALSE", "FALSE", "control file names list"},
        {"background_dump_dest", 2, "/u01/app/oracle/admin/KELV/bdump", false, "FALSE", "IMMEDIATE", "Detached process dump directory"},
        {"user_dump_dest", 2, "/u01/app/oracle/admin/KELV/udump", false, "FALSE", "IMMEDIATE", "User process dump directory"},
        {"compatible", 2, CompatibleOf(k.Version), false, "FALSE", "FALSE", "Database will be completely compatible with this software version"},
        {"log_archive_start", 1, "TRUE", false, "FALSE", "FALSE", "start archival process on SGA initialization"},
        {"log_archive_dest", 2, "/u04/arch/KELV", false, "FALSE", "IMMEDIATE", "archival destination text string"},
        {"rollback_segments", 2, "RBS01, RBS02, RBS03, RBS04", false, "FALSE", "FALSE", "undo segment list"},
        {"remote_login_passwordfile", 2, "EXCLUSIVE", false, "FALSE", "FALSE", "password file usage parameter"},
        {"global_names", 1, "FALSE", true, "TRUE", "IMMEDIATE", "enforce that database links have same name as remote database"},
        {"nls_language", 2, "AMERICAN", true, "TRUE", "FALSE", "NLS language name"},
        {"nls_territory", 2, "AMERICA", true, "TRUE", "FALSE", "NLS territory name"},
        {"nls_date_format", 2, "", true, "TRUE", "FALSE", "NLS Oracle date format"},
        {"optimizer_mode", 2, "CHOOSE", true, "TRUE", "IMMEDIATE", "optimizer mode"},
        {"dml_locks", 3, "748", true, "FALSE", "FALSE", "dml locks - one for each table modified in a transaction"},
        {"transactions", 3, "187", true, "FALSE", "FALSE", "max. number of concurrent active transactions"},
        {"job_queue_processes", 3, "2", false, "FALSE", "IMMEDIATE", "number of job queue slave processes"},
        {"ifile", 4, "/u01/app/oracle/admin/KELV/pfile/configKELV.ora", false, "FALSE", "FALSE", "include file in init.ora"},
    };
    // Automatic memory management, of the releases that have it.
    if (k.AutoMemory || k.Version >= 19)
        p.push_back({"sga_target", 6, k.AutoMemory ? n(SgaTargetBytes(k)) : "0", !k.AutoMemory, "FALSE", "IMMEDIATE",
                     "Target size of SGA"});
    if (k.Version >= 19) {
        p.push_back({"memory_target", 6, "0", true, "FALSE", "IMMEDIATE", "Target size of Oracle SGA and PGA memory"});
        p.push_back({"pga_aggregate_target", 6, n(kPgaTarget), false, "FALSE", "IMMEDIATE",
                     "Target size for the aggregate PGA memory consumed by the instance"});
    }
    return p;
}

std::vector<std::string> BackgroundProcesses(int version) {
    if (version == 7) return {"PMON", "DBWR", "LGWR", "SMON", "RECO", "SNP0", "ARCH"};
    if (version == 8) return {"PMON", "DBW0", "LGWR", "CKPT", "SMON", "RECO", "SNP0", "ARC0"};
    if (version == 9) return {"PMON", "DBW0", "LGWR", "CKPT", "SMON", "RECO", "CJQ0", "QMN0", "ARC0"};
    if (version == 10) return {"PMON", "PSP0", "MMAN", "DBW0", "LGWR", "CKPT", "SMON", "RECO", "CJQ0", "MMON", "MMNL", "ARC0"};
    return {"PMON", "CLMN", "PSP0", "VKTM", "GEN0", "MMAN", "DBRM", "DIA0", "DBW0", "LGWR", "CKPT",
            "SMON", "RECO", "LREG", "MMON", "MMNL", "ARC0", "CJQ0"};
}

std::string CompatibleOf(int version) {
    switch (version) {
        case 7: return "7.3.4";
        case 8: return "8.1.7";
        case 9: return "9.2.0";
        case 10: return "10.2.0.1.0";
        default: return "19.0.0";
    }
}

std::string ReleaseOf(int version) {
    switch (version) {
        case 7: return "7.3.4.0.0";
        case 8: return "8.1.7.0.0";
        case 9: return "9.2.0.1.0";
        case 10: return "10.2.0.1.0";
        default: return "19.0.0.0.0";
    }
}

int64_t SgaTargetBytes(const SimKnobs& k) {
    const SgaSizes s = SgaOf(k);
    return s.FixedSize + s.VariableSize + s.DatabaseBuffers + s.RedoBuffers;
}

std::vector<PoolDef> OtherPools(const SimKnobs& k) {
    std::vector<PoolDef> pools = {{"large pool", kLargePool, kLargePoolFree}, {"java pool", kJavaPool, kJavaPoolFree}};
    if (k.Version >= 10) pools.push_back({"streams pool", kStreamsPool, kStreamsPoolFree});
    return pools;
}

int64_t GranuleBytes(const SimKnobs& k) { return k.Version >= 19 ? kGranule19 : kGranule; }

std::vector<std::string> VersionRows(const SimKnobs& k) {
    std::vector<std::string> rows;
    if (k.Version == 7) {
        rows = {"Oracle7 Server Release 7.3.4.0.0 - Production", "PL/SQL Release 2.3.4.0.0 - Production",
                "CORE Version 3.5.4.0.0 - Production", "TNS for Solaris: Version 2.3.4.0.0 - Production",
                "NLSRTL Version 3.2.4.0.0 - Production"};
    } else if (k.Version == 8) {
        rows = {"Oracle8i Enterprise Edition Release 8.1.7.0.0 - Production", "PL/SQL Release 8.1.7.0.0 - Production",
                "CORE\t8.1.7.0.0\tProduction", "TNS for Solaris: Version 8.1.7.0.0 - Production",
                "NLSRTL Version 3.4.1.0.0 - Production"};
    } else if (k.Version == 9) {
        rows = {"Oracle9i Enterprise Edition Release 9.2.0.1.0 - Production", "PL/SQL Release 9.2.0.1.0 - Production",
                "CORE\t9.2.0.1.0\tProduction", "TNS for Linux: Version 9.2.0.1.0 - Production",
                "NLSRTL Version 9.2.0.1.0 - Production"};
    } else if (k.Version == 10) {
        rows = {"Oracle Database 10g Enterprise Edition Release 10.2.0.1.0 - Production",
                "PL/SQL Release 10.2.0.1.0 - Production", "CORE\t10.2.0.1.0\tProduction",
                "TNS for Linux: Version 10.2.0.1.0 - Production", "NLSRTL Version 10.2.0.1.0 - Production"};
    } else {
        // From 18c on the view has one row.
        rows = {"Oracle Database 19c Enterprise Edition Release 19.0.0.0.0 - Production"};
    }
    if (!k.Banner.empty()) rows[0] = k.Banner;
    return rows;
}

}  // namespace sim
