#include "InstanceSchema.h"

#include "Catalog.h"
#include "WorkloadModel.h"

#include <string>
#include <vector>

namespace sim {

const char* const kMetaSignature = "SIGNATURE";
const char* const kMetaStart = "START";
const char* const kMetaFlush = "FLUSH";
const char* const kMetaLogHistUntil = "LOGHIST_UNTIL";

namespace {

constexpr int kFirstSlotSid = 20;
constexpr int kLogGroups = 3;
constexpr int64_t kLogFileBytes7 = 1048576;
constexpr int64_t kLogFileBytes = 52428800;
constexpr int kSchemaFormat = 4;  // bump when the layout of the tables changes

void CreateBaseTables(SqliteDb& db) {
    db.Exec(R"(
CREATE TABLE SIM_META (KEY TEXT PRIMARY KEY, VALUE TEXT);
CREATE TABLE SIM_FAULT (KEY TEXT PRIMARY KEY, VALUE TEXT);
CREATE TABLE SIM_CLIENT (SID INTEGER PRIMARY KEY, SERIAL INTEGER, USERNAME TEXT, OSUSER TEXT, MACHINE TEXT,
  PROGRAM TEXT, PID INTEGER, HOST TEXT, KILLED INTEGER NOT NULL DEFAULT 0, LOGON_TIME DATE, KILLED_AT INTEGER);
CREATE TABLE SIM_KILLED (SLOT INTEGER, SERIAL INTEGER, KILLED_AT INTEGER, PRIMARY KEY (SLOT, SERIAL));
CREATE TABLE DUAL (DUMMY VARCHAR2(1));
INSERT INTO DUAL VALUES ('X');
)");
}

void CreateCounterViews(SqliteDb& db, const SimKnobs& k) {
    db.Exec(R"(
CREATE TABLE SIM_SYSSTAT (IDX INTEGER PRIMARY KEY, "STATISTIC#" NUMBER, NAME VARCHAR2(64), CLASS NUMBER);
CREATE VIEW "V$SYSSTAT" AS SELECT "STATISTIC#", NAME, CLASS, SIM_COUNTER(1, IDX, 0) AS VALUE FROM SIM_SYSSTAT;
CREATE TABLE SIM_LATCH (IDX INTEGER PRIMARY KEY, "LATCH#" NUMBER, "LEVEL#" NUMBER, NAME VARCHAR2(64));
CREATE VIEW "V$LATCH" AS SELECT "LATCH#", "LEVEL#", NAME,
  SIM_COUNTER(2, IDX, 1) AS GETS, SIM_COUNTER(2, IDX, 2) AS MISSES, SIM_COUNTER(2, IDX, 3) AS SLEEPS,
  SIM_COUNTER(2, IDX, 4) AS IMMEDIATE_GETS, SIM_COUNTER(2, IDX, 5) AS IMMEDIATE_MISSES,
  SIM_COUNTER(2, IDX, 6) AS SPIN_GETS FROM SIM_LATCH;
CREATE TABLE SIM_LIBCACHE (IDX INTEGER PRIMARY KEY, NAMESPACE VARCHAR2(15));
CREATE VIEW "V$LIBRARYCACHE" AS SELECT NAMESPACE,
  SIM_COUNTER(3, IDX, 10) AS GETS, SIM_COUNTER(3, IDX, 11) AS GETHITS,
  ROUND(SIM_COUNTER(3, IDX, 11) * 1.0 / MAX(1, SIM_COUNTER(3, IDX, 10)), 4) AS GETHITRATIO,
  SIM_COUNTER(3, IDX, 12) AS PINS, SIM_COUNTER(3, IDX, 13) AS PINHITS,
  ROUND(SIM_COUNTER(3, IDX, 13) * 1.0 / MAX(1, SIM_COUNTER(3, IDX, 12)), 4) AS PINHITRATIO,
  SIM_COUNTER(3, IDX, 14) AS RELOADS, SIM_COUNTER(3, IDX, 15) AS INVALIDATIONS FROM SIM_LIBCACHE;
CREATE TABLE SIM_ROWCACHE (IDX INTEGER PRIMARY KEY, "CACHE#" NUMBER, TYPE VARCHAR2(11), PARAMETER VARCHAR2(32));
CREATE VIEW "V$ROWCACHE" AS SELECT "CACHE#", TYPE, NULL AS "SUBORDINATE#", PARAMETER,
  SIM_COUNTER(4, IDX, 23) AS COUNT, SIM_COUNTER(4, IDX, 24) AS USAGE, 0 AS FIXED,
  SIM_COUNTER(4, IDX, 20) AS GETS, SIM_COUNTER(4, IDX, 21) AS GETMISSES, 0 AS SCANS, 0 AS SCANMISSES,
  0 AS SCANCOMPLETES, SIM_COUNTER(4, IDX, 22) AS MODIFICATIONS, 0 AS FLUSHES FROM SIM_ROWCACHE;
)");
    {
        SqliteStmt ins(db.Get(), "INSERT INTO SIM_SYSSTAT VALUES (?, ?, ?, ?)");
        auto stats = SysStats();
        for (size_t i = 0; i < stats.size(); ++i)
            ins.Bind(1, static_cast<int64_t>(i)).Bind(2, static_cast<int64_t>(stats[i].Number)).Bind(3, stats[i].Name)
                .Bind(4, static_cast<int64_t>(stats[i].Class)).Run();
    }
    {
        SqliteStmt ins(db.Get(), "INSERT INTO SIM_LATCH VALUES (?, ?, ?, ?)");
        auto names = LatchNames(k.Latches);
        for (size_t i = 0; i < names.size(); ++i)
            ins.Bind(1, static_cast<int64_t>(i)).Bind(2, static_cast<int64_t>(i)).Bind(3, static_cast<int64_t>(i % 8))
                .Bind(4, names[i]).Run();
    }
    {
        SqliteStmt ins(db.Get(), "INSERT INTO SIM_LIBCACHE VALUES (?, ?)");
        auto ns = LibraryNamespaces(k.Version);
        for (size_t i = 0; i < ns.size(); ++i) ins.Bind(1, static_cast<int64_t>(i)).Bind(2, ns[i]).Run();
    }
    {
        SqliteStmt ins(db.Get(), "INSERT INTO SIM_ROWCACHE VALUES (?, ?, ?, ?)");
        auto ps = RowCacheParameters(k.Version);
        for (size_t i = 0; i < ps.size(); ++i)
            ins.Bind(1, static_cast<int64_t>(i)).Bind(2, static_cast<int64_t>(i)).Bind(3, std::string("PARENT"))
                .Bind(4, ps[i]).Run();
    }
}

// V$SGASTAT: the rows the workload moves, and with pools the other pools'
// rows first, as a join without a pool filter then meets them first.
void CreateSgaStat(SqliteDb& db, const SimKnobs& k) {
    db.Exec("CREATE TABLE SIM_SGASTAT (IDX INTEGER PRIMARY KEY, POOL VARCHAR2(26), NAME VARCHAR2(26), MODEL INTEGER, "
            "BYTES NUMBER);");
    const char* bytes = "CASE WHEN MODEL IS NULL THEN BYTES ELSE SIM_SGASTAT(MODEL) END AS BYTES";
    db.Exec(std::string("CREATE VIEW \"V$SGASTAT\" AS SELECT ") + (k.Version >= 8 ? "POOL, " : "") + "NAME, " + bytes +
            " FROM SIM_SGASTAT");
    SqliteStmt ins(db.Get(), "INSERT INTO SIM_SGASTAT (POOL, NAME, MODEL, BYTES) VALUES (?, ?, ?, ?)");
    if (k.SgaPools) {
        for (const PoolDef& pool : OtherPools(k)) {
            ins.Bind(1, pool.Name).Bind(2, std::string("free memory")).BindNull(3).Bind(4, pool.Free).Run();
            ins.Bind(1, pool.Name).Bind(2, std::string("miscellaneous")).BindNull(3).Bind(4, pool.Size - pool.Free).Run();
        }
    }
    WorkloadModel model(k, 0, 0);
    auto names = model.SgaStatNames();
    for (size_t i = 0; i < names.size(); ++i) {
        bool sharedPool = names[i] != "db_block_buffers" && names[i] != "log_buffer" && names[i] != "fixed_sga";
        if (sharedPool) ins.Bind(1, std::string("shared pool"));
        else ins.BindNull(1);
        ins.Bind(2, names[i]).Bind(3, static_cast<int64_t>(i)).BindNull(4).Run();
    }
}

// V$SGA_DYNAMIC_COMPONENTS: the pools' current sizes, which stay put here.
void CreateDynamicSga(SqliteDb& db, const SimKnobs& k) {
    db.Exec(R"(CREATE TABLE "V$SGA_DYNAMIC_COMPONENTS" (COMPONENT VARCHAR2(64), CURRENT_SIZE NUMBER, MIN_SIZE NUMBER,
  MAX_SIZE NUMBER, USER_SPECIFIED_SIZE NUMBER, OPER_COUNT NUMBER, LAST_OPER_TYPE VARCHAR2(13),
  LAST_OPER_MODE VARCHAR2(9), LAST_OPER_TIME DATE, GRANULE_SIZE NUMBER))");
    SqliteStmt ins(db.Get(), "INSERT INTO \"V$SGA_DYNAMIC_COMPONENTS\" VALUES (?, ?, ?, ?, ?, 0, 'STATIC', NULL, NULL, ?)");
    auto add = [&](const std::string& name, int64_t size, bool userSized) {
        ins.Bind(1, name).Bind(2, size).Bind(3, size).Bind(4, size).Bind(5, userSized ? size : 0)
            .Bind(6, GranuleBytes(k)).Run();
    };
    add("shared pool", k.SharedPoolSize, !k.AutoMemory);
    std::vector<PoolDef> pools = OtherPools(k);
    for (const PoolDef& pool : pools) add(pool.Name, k.SgaPools ? pool.Size : 0, !k.AutoMemory);
    add(k.Version >= 10 ? "DEFAULT buffer cache" : "buffer cache", SgaOf(k).DatabaseBuffers, !k.AutoMemory);
    add("KEEP buffer cache", 0, false);
    add("RECYCLE buffer cache", 0, false);
}

void CreateMemoryViews(SqliteDb& db, const SimKnobs& k) {
    db.Exec("CREATE TABLE \"V$SGA\" (NAME VARCHAR2(20), VALUE NUMBER);");
    CreateSgaStat(db, k);
    if (HasDynamicSga(k)) CreateDynamicSga(db, k);
    SgaSizes sga = SgaOf(k);
    SqliteStmt sgaIns(db.Get(), "INSERT INTO \"V$SGA\" VALUES (?, ?)");
    sgaIns.Bind(1, std::string("Fixed Size")).Bind(2, sga.FixedSize).Run();
    sgaIns.Bind(1, std::string("Variable Size")).Bind(2, sga.VariableSize).Run();
    sgaIns.Bind(1, std::string("Database Buffers")).Bind(2, sga.DatabaseBuffers).Run();
    sgaIns.Bind(1, std::string("Redo Buffers")).Bind(2, sga.RedoBuffers).Run();

    db.Exec(R"(CREATE TABLE "V$PARAMETER" (NUM NUMBER, NAME VARCHAR2(64), TYPE NUMBER, VALUE VARCHAR2(512),
  ISDEFAULT VARCHAR2(9), ISSES_MODIFIABLE VARCHAR2(5), ISSYS_MODIFIABLE VARCHAR2(9), ISMODIFIED VARCHAR2(10),
  ISADJUSTED VARCHAR2(5), DESCRIPTION VARCHAR2(64)))");
    SqliteStmt parIns(db.Get(), "INSERT INTO \"V$PARAMETER\" VALUES (?, ?, ?, ?, ?, ?, ?, 'FALSE', 'FALSE', ?)");
    auto params = Parameters(k);
    for (size_t i = 0; i < params.size(); ++i) {
        const ParameterDef& p = params[i];
        parIns.Bind(1, static_cast<int64_t>(Mix(3, i) % 7 + i * 8 + 2)).Bind(2, p.Name).Bind(3, static_cast<int64_t>(p.Type));
        if (p.Value.empty()) parIns.BindNull(4);
        else parIns.Bind(4, p.Value);
        parIns.Bind(5, std::string(p.IsDefault ? "TRUE" : "FALSE")).Bind(6, p.SesModifiable).Bind(7, p.SysModifiable)
            .Bind(8, p.Description).Run();
    }

    db.Exec("CREATE TABLE SIM_VERSION (IDX INTEGER PRIMARY KEY);"
            "CREATE VIEW \"V$VERSION\" AS SELECT SIM_BANNER(IDX) AS BANNER FROM SIM_VERSION WHERE SIM_BANNER(IDX) IS NOT NULL;");
    SqliteStmt verIns(db.Get(), "INSERT INTO SIM_VERSION VALUES (?)");
    for (size_t i = 0; i < VersionRows(k).size(); ++i) verIns.Bind(1, static_cast<int64_t>(i)).Run();
}

void CreateSessionView(SqliteDb& db, const SimKnobs& k) {
    db.Exec(R"(
CREATE TABLE SIM_SLOT (SLOT INTEGER PRIMARY KEY, SID INTEGER, USERNAME VARCHAR2(30), OSUSER VARCHAR2(30),
  MACHINE VARCHAR2(64), PROGRAM VARCHAR2(48));
CREATE TABLE SIM_BACKGROUND (SID INTEGER PRIMARY KEY, "SERIAL#" INTEGER, PROGRAM VARCHAR2(48));
CREATE VIEW "V$SESSION" AS
  SELECT B.SID AS SID, B."SERIAL#" AS "SERIAL#", 0 AS "USER#", NULL AS USERNAME, 0 AS COMMAND,
    'ACTIVE' AS STATUS, 'DEDICATED' AS SERVER, 'SYS' AS SCHEMANAME, 'oracle' AS OSUSER,
    CAST(1000 + B.SID AS TEXT) AS PROCESS, 'dbhost' AS MACHINE, 'UNKNOWN' AS TERMINAL,
    'oracle@dbhost (' || B.PROGRAM || ')' AS PROGRAM, 'BACKGROUND' AS TYPE, SIM_START_DATE() AS LOGON_TIME
  FROM SIM_BACKGROUND B
  UNION ALL
  SELECT C.SID, C.SERIAL, 5, C.USERNAME, 3, CASE WHEN C.KILLED = 0 THEN 'ACTIVE' ELSE 'KILLED' END,
    CASE WHEN C.KILLED = 0 THEN 'DEDICATED' ELSE 'PSEUDO' END, C.USERNAME, C.OSUSER, CAST(C.PID AS TEXT),
    C.MACHINE, 'pts/0', C.PROGRAM, 'USER', C.LOGON_TIME
  FROM SIM_CLIENT C WHERE C.KILLED = 0 OR SIM_KILL_LISTED(C.KILLED_AT)
  UNION ALL
  SELECT P.SID, SIM_SLOT_SERIAL(P.SLOT), 20 + P.SLOT % 5, P.USERNAME, 0,
    CASE WHEN K.SLOT IS NULL THEN SIM_SLOT_STATUS(P.SLOT) ELSE 'KILLED' END,
    CASE WHEN K.SLOT IS NULL THEN 'DEDICATED' ELSE 'PSEUDO' END,
    P.USERNAME, P.OSUSER, CAST(4000 + P.SLOT AS TEXT), P.MACHINE, 'WINDOWS', P.PROGRAM, 'USER', SIM_START_DATE()
  FROM SIM_SLOT P LEFT JOIN SIM_KILLED K ON K.SLOT = P.SLOT AND K.SERIAL = SIM_SLOT_SERIAL(P.SLOT)
  WHERE SIM_SLOT_PRESENT(P.SLOT) AND (K.SLOT IS NULL OR SIM_KILL_LISTED(K.KILLED_AT));
)");
    auto procs = BackgroundProcesses(k.Version);
    SqliteStmt bg(db.Get(), "INSERT INTO SIM_BACKGROUND VALUES (?, ?, ?)");
    for (size_t i = 0; i < procs.size(); ++i)
        bg.Bind(1, static_cast<int64_t>(i + 1)).Bind(2, static_cast<int64_t>(1)).Bind(3, procs[i]).Run();
    WorkloadModel model(k, 0, 0);
    SqliteStmt slot(db.Get(), "INSERT INTO SIM_SLOT VALUES (?, ?, ?, ?, ?, ?)");
    for (long i = 0; i < k.Sessions; ++i) {
        int s = static_cast<int>(i);
        slot.Bind(1, static_cast<int64_t>(s)).Bind(2, static_cast<int64_t>(kFirstSlotSid + s)).Bind(3, model.SlotUser(s))
            .Bind(4, model.SlotOsUser(s)).Bind(5, model.SlotMachine(s)).Bind(6, model.SlotProgram(s)).Run();
    }
}

void CreateLogViews(SqliteDb& db, const SimKnobs& k) {
    const bool v7 = k.Version == 7;
    db.Exec(std::string("CREATE TABLE SIM_LOGHIST (\"THREAD#\" NUMBER, \"SEQUENCE#\" INTEGER PRIMARY KEY, "
                        "\"FIRST_CHANGE#\" NUMBER, FIRST_TIME ") +
            (v7 ? "VARCHAR2(20)" : "DATE") + ", \"SWITCH_CHANGE#\" NUMBER, FIRST_UNIX INTEGER);" +
            "CREATE VIEW \"V$LOGHIST\" AS SELECT \"THREAD#\", \"SEQUENCE#\", \"FIRST_CHANGE#\", FIRST_TIME, "
            "\"SWITCH_CHANGE#\" FROM SIM_LOGHIST;");
    // Groups in the log cycle, and groups outside it whose state is fixed:
    // just added (UNUSED), being cleared, and the current log of a closed
    // second thread being cleared.
    db.Exec(R"(
CREATE TABLE SIM_LOGGROUP ("GROUP#" NUMBER, BYTES NUMBER, MEMBERS NUMBER);
CREATE TABLE SIM_LOGGROUP_FIXED ("GROUP#" NUMBER, "THREAD#" NUMBER, "SEQUENCE#" NUMBER, BYTES NUMBER,
  MEMBERS NUMBER, ARCHIVED VARCHAR2(3), STATUS VARCHAR2(16));
CREATE VIEW "V$LOG" AS
  SELECT "GROUP#", "THREAD#", "SEQUENCE#", BYTES, MEMBERS,
    CASE WHEN "SEQUENCE#" = CUR THEN 'NO' ELSE 'YES' END AS ARCHIVED,
    CASE WHEN "SEQUENCE#" = CUR THEN 'CURRENT' WHEN "SEQUENCE#" = CUR - 1 THEN 'ACTIVE'
         WHEN "SEQUENCE#" < 1 THEN 'UNUSED' ELSE 'INACTIVE' END AS STATUS,
    (SELECT H."FIRST_CHANGE#" FROM SIM_LOGHIST H WHERE H."SEQUENCE#" = X."SEQUENCE#") AS "FIRST_CHANGE#",
    (SELECT H.FIRST_TIME FROM SIM_LOGHIST H WHERE H."SEQUENCE#" = X."SEQUENCE#") AS FIRST_TIME
  FROM (SELECT G."GROUP#" AS "GROUP#", 1 AS "THREAD#", G.BYTES AS BYTES, G.MEMBERS AS MEMBERS, M.CUR AS CUR,
          M.CUR - ((M.CUR - G."GROUP#") % G.N + G.N) % G.N AS "SEQUENCE#"
        FROM (SELECT S.*, (SELECT COUNT(*) FROM SIM_LOGGROUP) AS N FROM SIM_LOGGROUP S) G,
             (SELECT IFNULL(MAX("SEQUENCE#"), 0) + 1 AS CUR FROM SIM_LOGHIST) M) X
  UNION ALL
  SELECT "GROUP#", "THREAD#", "SEQUENCE#", BYTES, MEMBERS, ARCHIVED, STATUS, 0, NULL FROM SIM_LOGGROUP_FIXED;
)");
    db.Exec(std::string("CREATE TABLE \"V$LOGFILE\" (\"GROUP#\" NUMBER, STATUS VARCHAR2(7), ") +
            (k.Version >= 10 ? "TYPE VARCHAR2(7), " : "") + "MEMBER VARCHAR2(513))");
    const int members = v7 ? 1 : 2;
    const int64_t bytes = v7 ? kLogFileBytes7 : kLogFileBytes;
    SqliteStmt group(db.Get(), "INSERT INTO SIM_LOGGROUP VALUES (?, ?, ?)");
    SqliteStmt file(db.Get(), k.Version >= 10 ? "INSERT INTO \"V$LOGFILE\" VALUES (?, NULL, 'ONLINE', ?)"
                                              : "INSERT INTO \"V$LOGFILE\" VALUES (?, NULL, ?)");
    auto addMembers = [&](int g) {
        for (int m = 0; m < members; ++m)
            file.Bind(1, static_cast<int64_t>(g))
                .Bind(2, "/u0" + std::to_string(2 + m) + "/oradata/KELV/redo0" + std::to_string(g) +
                             static_cast<char>('a' + m) + ".log")
                .Run();
    };
    for (int g = 1; g <= kLogGroups; ++g) {
        group.Bind(1, static_cast<int64_t>(g)).Bind(2, bytes).Bind(3, static_cast<int64_t>(members)).Run();
        addMembers(g);
    }
    if (!k.LogStatuses) return;
    struct FixedGroup {
        int Thread;
        const char* Archived;
        const char* Status;
    };
    static const FixedGroup kFixed[] = {{1, "YES", "UNUSED"}, {1, "YES", "CLEARING"}, {2, "NO", "CLEARING_CURRENT"}};
    SqliteStmt fixed(db.Get(), "INSERT INTO SIM_LOGGROUP_FIXED VALUES (?, ?, 0, ?, ?, ?, ?)");
    int g = kLogGroups;
    for (const FixedGroup& f : kFixed) {
        ++g;
        fixed.Bind(1, static_cast<int64_t>(g)).Bind(2, static_cast<int64_t>(f.Thread)).Bind(3, bytes)
            .Bind(4, static_cast<int64_t>(members)).Bind(5, std::string(f.Archived)).Bind(6, std::string(f.Status)).Run();
        addMembers(g);
    }
}

void CreateInstanceViews(SqliteDb& db, const SimKnobs& k) {
    db.Exec(std::string(R"(
CREATE VIEW "V$INSTANCE" AS SELECT 1 AS "INSTANCE_NUMBER", 'kelv' AS INSTANCE_NAME, 'dbhost' AS HOST_NAME,
  ')") + ReleaseOf(k.Version) +
            R"(' AS VERSION, SIM_START_DATE() AS STARTUP_TIME, 'OPEN' AS STATUS FROM DUAL;
CREATE VIEW "V$DATABASE" AS SELECT 1234567890 AS DBID, 'KELV' AS NAME, SIM_START_DATE() AS CREATED,
  'ARCHIVELOG' AS LOG_MODE FROM DUAL;
)");
}

}  // namespace

std::string LayoutSignature(const SimKnobs& k) {
    return "format=" + std::to_string(kSchemaFormat) + ";v=" + std::to_string(k.Version) +
           ";seg=" + std::to_string(k.Segments) + ";ext=" + std::to_string(k.ExtentsPerSegment) +
           ";ses=" + std::to_string(k.Sessions) + ";mach=" + std::to_string(k.Machines) +
           ";days=" + std::to_string(k.LogHistoryDays) + ";ts=" + std::to_string(k.Tablespaces) +
           ";latch=" + std::to_string(k.Latches) + ";blk=" + std::to_string(k.BlockSize) +
           ";pool=" + std::to_string(k.SharedPoolSize) + ";start=" + std::to_string(k.StartTime) +
           ";pools=" + std::to_string(k.SgaPools) + ";auto=" + std::to_string(k.AutoMemory) +
           ";lmt=" + std::to_string(static_cast<int>(k.Extents)) + ";logs=" + std::to_string(k.LogStatuses);
}

void DropAllObjects(SqliteDb& db) {
    std::vector<std::pair<std::string, std::string>> objects;
    {
        SqliteStmt list(db.Get(),
                        "SELECT type, name FROM sqlite_master WHERE type IN ('view', 'table') AND name NOT LIKE 'sqlite_%'");
        while (list.Step()) objects.emplace_back(list.Text(0), list.Text(1));
    }
    for (auto& obj : objects) {
        std::string quoted = "\"";
        for (char c : obj.second) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
        quoted += "\"";
        db.Exec((obj.first == "view" ? "DROP VIEW IF EXISTS " : "DROP TABLE IF EXISTS ") + quoted);
    }
}

void CreateInstance(SqliteDb& db, const SimKnobs& k, int64_t startUnix, int64_t nowUnix) {
    CreateBaseTables(db);
    CreateCounterViews(db, k);
    CreateMemoryViews(db, k);
    CreateSessionView(db, k);
    CreateLogViews(db, k);
    CreateInstanceViews(db, k);
    BuildStorage(db, k);
    CreateLogHistory(db, k, nowUnix);
    SqliteStmt meta(db.Get(), "INSERT OR REPLACE INTO SIM_META VALUES (?, ?)");
    meta.Bind(1, std::string(kMetaSignature)).Bind(2, LayoutSignature(k)).Run();
    meta.Bind(1, std::string(kMetaStart)).Bind(2, std::to_string(startUnix)).Run();
    meta.Bind(1, std::string(kMetaFlush)).Bind(2, std::to_string(startUnix)).Run();
    meta.Bind(1, std::string(kMetaLogHistUntil)).Bind(2, std::to_string(nowUnix)).Run();
}

}  // namespace sim
