// Every statement the viewer and the collector send, run against the
// instance of each version family, with the columns they read.
#include "SimTestSupport.h"

#include <set>

using namespace simtest;

namespace {

const char* const kLibSqlArea = " SELECT  PINS, RELOADS     FROM  V$LIBRARYCACHE   WHERE  NAMESPACE =  ? ";
const char* const kLibSum = " SELECT  SUM(PINS)        AS EXCT,   SUM(RELOADS)     AS MISS     FROM  V$LIBRARYCACHE ";
const char* const kRowCacheSum = " SELECT  SUM(GETS)        AS EXCT,   SUM(GETMISSES)   AS MISS     FROM  V$ROWCACHE ";
const char* const kSga = " SELECT  VALUE    FROM  V$SGA   WHERE  UPPER(NAME) = ? ";
const char* const kBuffers =
    " SELECT  A.VALUE + B.VALUE AS EXCT,   C.VALUE           AS MISS     FROM  V$SYSSTAT A, V$SYSSTAT B, V$SYSSTAT C   "
    "WHERE  A.NAME = 'db block gets'       AND  B.NAME = 'consistent gets'     AND  C.NAME = 'physical reads'  ";
const char* const kParameter = " SELECT * FROM V$PARAMETER  WHERE NAME = ? ";
const char* const kSorts = " SELECT NAME, VALUE    FROM V$SYSSTAT   WHERE NAME LIKE '%sort%' ";
const char* const kLatches =
    " SELECT NAME,         GETS   + IMMEDIATE_GETS   AS GETS,         MISSES + IMMEDIATE_MISSES AS MISS     FROM "
    "V$LATCH                             ORDER BY NAME ";
const char* const kSharedPool =
    " SELECT V$SGASTAT.BYTES     AS FREE,         V$PARAMETER.VALUE   AS SHDP     FROM V$SGASTAT, V$PARAMETER         "
    "WHERE V$SGASTAT.NAME   = 'free memory'          AND V$PARAMETER.NAME = 'shared_pool_size' ";
const char* const kLogBuffer = " SELECT BYTES FROM V$SGASTAT   WHERE UPPER(NAME) = ? ";
const char* const kLogins =
    " SELECT COUNT(*) FROM (         SELECT COUNT(*) FROM V$SESSION         WHERE MACHINE IS NOT NULL         AND TYPE "
    "<> ?         GROUP BY MACHINE        ) ";
const char* const kBanner = "SELECT BANNER FROM V$VERSION  WHERE UPPER(BANNER) LIKE ? ";
const char* const kDays8 =
    " SELECT MIN(SEQUENCE#)                        F_SEQ,   TO_CHAR(FIRST_TIME, 'YY/MM/DD(DY)') F_DSP,   "
    "TO_CHAR(FIRST_TIME, 'YYYYMMDD')     F_DATE,  COUNT(*)                              F_CNT     FROM V$LOGHIST  "
    "GROUP BY TO_CHAR(FIRST_TIME, 'YY/MM/DD(DY)'),  TO_CHAR(FIRST_TIME, 'YYYYMMDD')      ";
const char* const kDays7 =
    " SELECT MIN(SEQUENCE#)                       F_SEQ,    TO_CHAR(TO_DATE(SUBSTR(FIRST_TIME, 1, 8), 'MM/DD/YY'), "
    "'YY/MM/DD(DY)') F_DSP,   SUBSTR(FIRST_TIME, 1, 8)             F_DATE,   COUNT(*)                             "
    "F_CNT     FROM V$LOGHIST  GROUP BY SUBSTR(FIRST_TIME, 7, 2) || '/' ||   SUBSTR(FIRST_TIME, 1, 2) || '/' ||   "
    "SUBSTR(FIRST_TIME, 4, 2),   SUBSTR(FIRST_TIME, 1, 8)  ";
const char* const kHours8 =
    " SELECT TO_CHAR(FIRST_TIME, 'HH24') F_TIME, COUNT(*)    FROM V$LOGHIST                                    WHERE "
    "TO_CHAR(FIRST_TIME, 'YYYYMMDD') = ?   GROUP BY  TO_CHAR(FIRST_TIME, 'HH24')   ORDER BY F_TIME DESC ";
const char* const kHours7 =
    " SELECT SUBSTR(FIRST_TIME, 10, 2)    F_TIME, COUNT(*)    FROM V$LOGHIST                                    WHERE "
    "SUBSTR(FIRST_TIME,  1, 8) = ?   GROUP BY   SUBSTR(FIRST_TIME, 10, 2)   ORDER BY F_TIME DESC ";
const char* const kTablespaces = " SELECT TABLESPACE_NAME FROM DBA_DATA_FILES  GROUP BY TABLESPACE_NAME ";
const char* const kDataFiles = " SELECT * FROM DBA_DATA_FILES    WHERE TABLESPACE_NAME = ? ";
const char* const kLogFiles =
    " SELECT NVL(V$LOG.GROUP#,         0) AS GROUPNO,     NVL(V$LOG.BYTES,          0) AS BYTES,     "
    "NVL(V$LOG.ARCHIVED,   ' ') AS ARCHIVED,  NVL(V$LOG.STATUS,     ' ') AS STATUS1,   NVL(V$LOGFILE.MEMBER, ' ') AS "
    "MEMBER,   NVL(V$LOGFILE.STATUS, ' ') AS STATUS2     FROM V$LOG, V$LOGFILE  WHERE V$LOG.GROUP# = V$LOGFILE.GROUP# ";
const char* const kExtents =
    "SELECT  S.TABLESPACE_NAME                   T_SPACE,  S.SEGMENT_TYPE                      TYPE,     "
    "S.SEGMENT_NAME                      OBJECT_NAME,   NVL(NVL(T.INITIAL_EXTENT, I.INITIAL_EXTENT), R.INITIAL_EXTENT)  "
    "FST_EXT,  NVL(NVL(T.NEXT_EXTENT,    I.NEXT_EXTENT),    R.INITIAL_EXTENT)  NXT_EXT,  S.EXTENTS - 1                  "
    "     TOT_EXT,  S.BLOCKS                            TOT_BLKS  FROM  SYS.DBA_ROLLBACK_SEGS   R,                    "
    "SYS.DBA_INDEXES         I,                    SYS.DBA_TABLES          T,                    SYS.DBA_SEGMENTS     "
    "   S                     WHERE  S.OWNER             =   T.OWNER          (+)    AND  S.SEGMENT_NAME      =   "
    "T.TABLE_NAME     (+)    AND  S.TABLESPACE_NAME   =   T.TABLESPACE_NAME(+)    AND  S.OWNER             =   I.OWNER "
    "         (+)    AND  S.SEGMENT_NAME      =   I.INDEX_NAME     (+)    AND  S.TABLESPACE_NAME   =   "
    "I.TABLESPACE_NAME(+)    AND  S.OWNER             =   R.OWNER          (+)    AND  S.SEGMENT_NAME      =   "
    "R.SEGMENT_NAME   (+)    AND  S.TABLESPACE_NAME   =   R.TABLESPACE_NAME(+) ";
const char* const kSessions =
    " SELECT NVL(SID,           0 )  SID,                NVL(STATUS,     ' ')  STATUS,             NVL(USERNAME,   ' ') "
    " USERNAME,           NVL(SCHEMANAME, ' ')  SCHEMANAME,         NVL(OSUSER,     ' ')  OSUSER,             "
    "NVL(MACHINE,    ' ')  MACHINE,            NVL(PROGRAM,    ' ')  PROGRAM,            NVL(SERIAL#,        0)  "
    "SERIAL#,            NVL(TYPE,       ' ')  TYPE           FROM V$SESSION ";
const char* const kSegments =
    " SELECT OWNER,        TABLESPACE_NAME,        SEGMENT_TYPE,           SEGMENT_NAME,           BYTES,             "
    "     BLOCKS             FROM SYS.DBA_SEGMENTS ";
const char* const kFreeSpace =
    "SELECT SUBSTRB(TS.NAME, 1, 20) TSPACE,   BLOCKS                  BLOCKS,   FREE                    FREE,     FREE "
    "/ BLOCKS * 100     FREEP,    PIECES                  PIECES,   BIGGEST                 BIGGEST,  SMALLEST         "
    "       SMALLEST, AVERAGE                 AVERAGE,  DEAD                    DEAD      FROM SYS.TS$ TS, ( SELECT "
    "TF.TS#, SUM(TF.BLOCKS)                                      BLOCKS FROM SYS.FILE$ TF GROUP BY TF.TS# ) TF, ( "
    "SELECT F.TS#, SUM(F.LENGTH)                                       FREE, COUNT(*)                                  "
    "          PIECES, MAX(F.LENGTH)                                       BIGGEST, MIN(F.LENGTH)                      "
    "                 SMALLEST, ROUND(AVG(F.LENGTH))                                AVERAGE, SUM( DECODE( "
    "SIGN(F.LENGTH - 5), -1, F.LENGTH, 0) ) DEAD FROM SYS.FET$ F GROUP BY F.TS# ) F WHERE TS.TS#  =  F.TS# AND TS.TS#  "
    "=  TF.TS# ";

std::string FileUsage(int blockSize) {
    return std::string(" SELECT *    FROM (        SELECT D.TABLESPACE_NAME                TSPACE,                   "
                       "D.FILE_ID                        FILE_ID,                  D.FILE_NAME                      "
                       "FILE_NAME,                NVL(ROUND((D.BYTES / ") +
           std::to_string(blockSize) + " )), 0)  ORA_BLKS,   " + "              NVL(ROUND(SUM(E.BLOCKS)),    0)  TOT_USED    " +
           "         FROM SYS.DBA_EXTENTS E, SYS.DBA_DATA_FILES D " + "        WHERE D.FILE_ID = E.FILE_ID(+) " +
           "       GROUP BY D.TABLESPACE_NAME, D.FILE_ID, D.FILE_NAME, D.BYTES " + "       ) " + " WHERE FILE_NAME = ?    ";
}

class ProgramStatements : public InstanceFixture, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        InstanceFixture::SetUp();
        config_ = Config(GetParam(), {{"LOGHISTORYDAYS", "20"}});
        session_ = ConnectDba(config_);
    }
    int Version() const { return GetParam(); }
    sim::SimConfig config_;
    std::unique_ptr<sim::SimSession> session_;
};

TEST_P(ProgramStatements, ConnectionCheckAndVersionBanner) {
    Result one = Query(*session_, "SELECT 1 FROM DUAL ");
    ASSERT_EQ(one.Columns, std::vector<std::string>{"1"});
    EXPECT_EQ(one.At(0, "1"), "1");

    Result banner = Query(*session_, kBanner, {std::string("%ORACLE%")});
    ASSERT_EQ(banner.Rows.size(), 1u);
    const std::string text = banner.At(0, "BANNER");
    const char* expected = Version() == 7   ? "Oracle7 Server Release 7.3.4.0.0 - Production"
                           : Version() == 8 ? "Oracle8i Enterprise Edition Release 8.1.7.0.0 - Production"
                                            : "Oracle Database 10g Enterprise Edition Release 10.2.0.1.0 - Production";
    EXPECT_EQ(text, expected);
    EXPECT_GE(Query(*session_, "SELECT * FROM V$VERSION").Rows.size(), 4u);
}

TEST_P(ProgramStatements, MemoryUsageItems) {
    Result sa = Query(*session_, kLibSqlArea, {std::string("SQL AREA")});
    ASSERT_EQ(sa.Rows.size(), 1u);
    EXPECT_GT(Number(sa.At(0, "PINS")), Number(sa.At(0, "RELOADS")));

    Result lc = Query(*session_, kLibSum);
    EXPECT_EQ(lc.Columns, (std::vector<std::string>{"EXCT", "MISS"}));
    EXPECT_GE(Number(lc.At(0, "EXCT")), Number(sa.At(0, "PINS")));

    Result dc = Query(*session_, kRowCacheSum);
    EXPECT_GT(Number(dc.At(0, "EXCT")), Number(dc.At(0, "MISS")));
    EXPECT_GT(Number(dc.At(0, "MISS")), 0);

    Result buffers = Query(*session_, kSga, {std::string("DATABASE BUFFERS")});
    ASSERT_EQ(buffers.Rows.size(), 1u);
    Result blockSize = Query(*session_, kParameter, {std::string("db_block_size")});
    ASSERT_EQ(blockSize.Rows.size(), 1u);
    EXPECT_EQ(blockSize.At(0, "VALUE"), Version() == 7 ? "2048" : "8192");
    EXPECT_EQ(static_cast<long long>(Number(buffers.At(0, "VALUE"))) % static_cast<long long>(Number(blockSize.At(0, "VALUE"))), 0);
    EXPECT_GT(Number(Query(*session_, kSga, {std::string("REDO BUFFERS")}).At(0, "VALUE")), 0);

    Result bb = Query(*session_, kBuffers);
    ASSERT_EQ(bb.Rows.size(), 1u);
    EXPECT_GT(Number(bb.At(0, "EXCT")), Number(bb.At(0, "MISS")));

    Result sortArea = Query(*session_, kParameter, {std::string("sort_area_size")});
    EXPECT_EQ(sortArea.Columns.front(), "NUM");
    EXPECT_EQ(sortArea.At(0, "VALUE"), "65536");

    Result sorts = Query(*session_, kSorts);
    std::set<std::string> names;
    for (size_t r = 0; r < sorts.Rows.size(); ++r) names.insert(sorts.At(r, "NAME"));
    EXPECT_EQ(names, (std::set<std::string>{"sorts (memory)", "sorts (disk)", "sorts (rows)"}));

    Result latches = Query(*session_, kLatches);
    EXPECT_EQ(latches.Columns, (std::vector<std::string>{"NAME", "GETS", "MISS"}));
    std::set<std::string> latchNames;
    for (size_t r = 0; r < latches.Rows.size(); ++r) {
        latchNames.insert(latches.At(r, "NAME"));
        if (r > 0) {
            EXPECT_LT(latches.At(r - 1, "NAME"), latches.At(r, "NAME"));
        }
    }
    for (const char* required : {"cache buffers chains", "cache buffers lru chain", "library cache", "shared pool"})
        EXPECT_TRUE(latchNames.count(required)) << required;

    Result sp = Query(*session_, kSharedPool);
    ASSERT_EQ(sp.Rows.size(), 1u);
    EXPECT_GT(Number(sp.At(0, "SHDP")), Number(sp.At(0, "FREE")));
    EXPECT_GT(Number(sp.At(0, "FREE")), 0);

    Result lb = Query(*session_, kLogBuffer, {std::string("LOG_BUFFER")});
    ASSERT_EQ(lb.Rows.size(), 1u);
    EXPECT_EQ(lb.At(0, "BYTES"), Query(*session_, kParameter, {std::string("log_buffer")}).At(0, "VALUE"));
}

TEST_P(ProgramStatements, LoginMachinesCountsDistinctClientMachines) {
    Result logins = Query(*session_, kLogins, {std::string("BACKGROUND")});
    ASSERT_EQ(logins.Rows.size(), 1u);
    ASSERT_EQ(logins.Columns, std::vector<std::string>{"COUNT(*)"});
    Result machines = Query(*session_,
                          "SELECT COUNT(DISTINCT MACHINE) AS N FROM V$SESSION WHERE TYPE = 'USER' AND MACHINE IS NOT NULL");
    EXPECT_EQ(logins.At(0, "COUNT(*)"), machines.At(0, "N"));
    EXPECT_GE(Number(logins.At(0, "COUNT(*)")), 2);  // this program's host and at least one workstation
}

TEST_P(ProgramStatements, CheckpointHistoryByDayAndHour) {
    const bool v7 = Version() < 8;
    Result days = Query(*session_, std::string(v7 ? kDays7 : kDays8) + " ORDER BY F_SEQ DESC ");
    ASSERT_EQ(days.Columns, (std::vector<std::string>{"F_SEQ", "F_DSP", "F_DATE", "F_CNT"}));
    ASSERT_GE(days.Rows.size(), 15u);
    for (size_t r = 1; r < days.Rows.size(); ++r)
        EXPECT_GT(Number(days.At(r - 1, "F_SEQ")), Number(days.At(r, "F_SEQ")));
    const std::string dsp = days.At(1, "F_DSP");
    ASSERT_EQ(dsp.size(), 13u) << dsp;  // YY/MM/DD(DY)
    EXPECT_EQ(dsp[2], '/');
    EXPECT_EQ(dsp.substr(8), dsp.substr(8, 1) + dsp.substr(9, 3) + ")");
    EXPECT_TRUE(std::set<std::string>({"SUN", "MON", "TUE", "WED", "THU", "FRI", "SAT"}).count(dsp.substr(9, 3))) << dsp;
    const std::string key = days.At(1, "F_DATE");
    if (v7) {
        ASSERT_EQ(key.size(), 8u);
        EXPECT_EQ(key[2], '/');
        EXPECT_EQ(dsp.substr(0, 2), key.substr(6, 2));
    } else {
        ASSERT_EQ(key.size(), 8u);
        EXPECT_EQ(dsp.substr(0, 2), key.substr(2, 2));
        EXPECT_EQ(dsp.substr(3, 2), key.substr(4, 2));
    }

    Result hours = Query(*session_, v7 ? kHours7 : kHours8, {key});
    ASSERT_GE(hours.Rows.size(), 1u);
    ASSERT_EQ(hours.Columns.size(), 2u);
    EXPECT_EQ(hours.Columns[0], "F_TIME");
    long total = 0;
    for (size_t r = 0; r < hours.Rows.size(); ++r) {
        const std::string h = hours.At(r, "F_TIME");
        EXPECT_EQ(h.size(), 2u);
        if (r > 0) {
            EXPECT_GT(hours.At(r - 1, "F_TIME"), h);
        }
        total += static_cast<long>(Number(*hours.Rows[r][1]));
    }
    EXPECT_EQ(std::to_string(total), days.At(1, "F_CNT"));
}

TEST_P(ProgramStatements, TablespacesFilesAndUsage) {
    Result ts = Query(*session_, std::string(kTablespaces) + " ORDER BY TABLESPACE_NAME DESC");
    ASSERT_GE(ts.Rows.size(), 5u);
    EXPECT_GT(ts.At(0, "TABLESPACE_NAME"), ts.At(1, "TABLESPACE_NAME"));

    Result files = Query(*session_, std::string(kDataFiles) + " ORDER BY TABLESPACE_NAME , FILE_NAME ", {std::string("USERS")});
    ASSERT_EQ(files.Rows.size(), 2u);
    std::vector<std::string> expected = {"FILE_NAME", "FILE_ID", "TABLESPACE_NAME", "BYTES", "BLOCKS", "STATUS"};
    if (Version() >= 8) {
        EXPECT_GE(files.ColumnIndex("AUTOEXTENSIBLE"), 0);
        EXPECT_GE(files.ColumnIndex("MAXBYTES"), 0);
        EXPECT_GE(files.ColumnIndex("INCREMENT_BY"), 0);
        files.Columns.resize(6);
    }
    EXPECT_EQ(files.Columns, expected);

    int blockSize = Version() == 7 ? 2048 : 8192;
    for (size_t r = 0; r < files.Rows.size(); ++r) {
        Result usage = Query(*session_, FileUsage(blockSize), {files.At(r, "FILE_NAME")});
        ASSERT_EQ(usage.Rows.size(), 1u);
        EXPECT_EQ(usage.Columns, (std::vector<std::string>{"TSPACE", "FILE_ID", "FILE_NAME", "ORA_BLKS", "TOT_USED"}));
        EXPECT_EQ(usage.At(0, "ORA_BLKS"), files.At(r, "BLOCKS"));
        EXPECT_LE(Number(usage.At(0, "TOT_USED")), Number(usage.At(0, "ORA_BLKS")));
    }
    // The second USERS file has no extent at all: used 0 through the outer join.
    Result spare = Query(*session_, FileUsage(blockSize), {files.At(1, "FILE_NAME")});
    EXPECT_EQ(spare.At(0, "TOT_USED"), "0");
}

TEST_P(ProgramStatements, ParametersAndRedoLogs) {
    Result params = Query(*session_, " SELECT * FROM V$PARAMETER  ORDER BY TYPE, VALUE DESC, NAME ");
    EXPECT_EQ(params.Columns,
              (std::vector<std::string>{"NUM", "NAME", "TYPE", "VALUE", "ISDEFAULT", "ISSES_MODIFIABLE",
                                        "ISSYS_MODIFIABLE", "ISMODIFIED", "ISADJUSTED", "DESCRIPTION"}));
    EXPECT_GT(params.Rows.size(), 20u);
    std::set<std::string> types;
    for (size_t r = 0; r < params.Rows.size(); ++r) types.insert(params.At(r, "TYPE"));
    EXPECT_EQ(types, (std::set<std::string>{"1", "2", "3", "4"}));

    Result logs = Query(*session_, std::string(kLogFiles) + " ORDER BY GROUPNO ");
    EXPECT_EQ(logs.Columns, (std::vector<std::string>{"GROUPNO", "BYTES", "ARCHIVED", "STATUS1", "MEMBER", "STATUS2"}));
    ASSERT_EQ(logs.Rows.size(), Version() == 7 ? 3u : 6u);
    int current = 0;
    for (size_t r = 0; r < logs.Rows.size(); ++r) {
        if (logs.At(r, "STATUS1") == "CURRENT") {
            ++current;
            EXPECT_EQ(logs.At(r, "ARCHIVED"), "NO");
        }
        EXPECT_EQ(logs.At(r, "STATUS2"), " ");
    }
    EXPECT_EQ(current, Version() == 7 ? 1 : 2);
}

TEST_P(ProgramStatements, ExtentsSessionsSegmentsAndFreeSpace) {
    Result ext = Query(*session_, std::string(kExtents) + "  AND S.EXTENTS > 1 " +
                                    " ORDER BY TOT_EXT DESC              , T_SPACE, TYPE, OBJECT_NAME ");
    ASSERT_GT(ext.Rows.size(), 5u);
    EXPECT_EQ(ext.Columns, (std::vector<std::string>{"T_SPACE", "TYPE", "OBJECT_NAME", "FST_EXT", "NXT_EXT", "TOT_EXT", "TOT_BLKS"}));
    EXPECT_GE(Number(ext.At(0, "TOT_EXT")), 100);  // some segment has grown to well over 100 extents
    Result all = Query(*session_, std::string(kExtents) + " ORDER BY TOT_EXT DESC              , T_SPACE, TYPE, OBJECT_NAME ");
    bool clusterWithoutExtentSize = false, tableWithSize = false;
    for (size_t r = 0; r < all.Rows.size(); ++r) {
        EXPECT_GE(Number(all.At(r, "TOT_EXT")), 0);
        if (all.At(r, "TYPE") == "CLUSTER" && all.At(r, "FST_EXT") == "<NULL>") clusterWithoutExtentSize = true;
        if (all.At(r, "TYPE") == "TABLE" && Number(all.At(r, "FST_EXT")) > 0) tableWithSize = true;
    }
    EXPECT_TRUE(clusterWithoutExtentSize);
    EXPECT_TRUE(tableWithSize);

    Result ses = Query(*session_, std::string(kSessions) + " ORDER BY SERIAL# DESC");
    EXPECT_EQ(ses.Columns, (std::vector<std::string>{"SID", "STATUS", "USERNAME", "SCHEMANAME", "OSUSER", "MACHINE",
                                                     "PROGRAM", "SERIAL#", "TYPE"}));
    int background = 0, user = 0;
    for (size_t r = 0; r < ses.Rows.size(); ++r) {
        if (ses.At(r, "TYPE") == "BACKGROUND") {
            ++background;
            EXPECT_EQ(ses.At(r, "USERNAME"), " ");
        } else {
            EXPECT_EQ(ses.At(r, "TYPE"), "USER");
            ++user;
        }
    }
    EXPECT_GE(background, 5);
    EXPECT_GE(user, 2);

    Result seg = Query(*session_, std::string(kSegments) + " WHERE SEGMENT_TYPE IN ('TABLE', 'INDEX') " +
                                    " ORDER BY BYTES DESC,OWNER, TABLESPACE_NAME, SEGMENT_TYPE, SEGMENT_NAME ");
    ASSERT_GT(seg.Rows.size(), 10u);
    EXPECT_GE(Number(seg.At(0, "BYTES")), Number(seg.At(1, "BYTES")));
    Result other = Query(*session_, std::string(kSegments) + " WHERE SEGMENT_TYPE NOT IN ('TABLE', 'INDEX') " +
                                      " ORDER BY OWNER, TABLESPACE_NAME, SEGMENT_TYPE, SEGMENT_NAME");
    std::set<std::string> otherTypes;
    for (size_t r = 0; r < other.Rows.size(); ++r) otherTypes.insert(other.At(r, "SEGMENT_TYPE"));
    EXPECT_EQ(otherTypes, (std::set<std::string>{"CLUSTER", "ROLLBACK", "TEMPORARY"}));

    Result free = Query(*session_, std::string(kFreeSpace) + " ORDER BY TSPACE ");
    EXPECT_EQ(free.Columns, (std::vector<std::string>{"TSPACE", "BLOCKS", "FREE", "FREEP", "PIECES", "BIGGEST",
                                                      "SMALLEST", "AVERAGE", "DEAD"}));
    ASSERT_GE(free.Rows.size(), 4u);
    bool fragmented = false;
    for (size_t r = 0; r < free.Rows.size(); ++r) {
        EXPECT_NE(free.At(r, "TSPACE"), "TOOLS");  // full: no free extent
        double freep = Number(free.At(r, "FREEP"));
        EXPECT_NEAR(freep, Number(free.At(r, "FREE")) / Number(free.At(r, "BLOCKS")) * 100, 1e-6);
        if (Number(free.At(r, "DEAD")) > 0 && Number(free.At(r, "SMALLEST")) < 5) fragmented = true;
    }
    EXPECT_TRUE(fragmented);
}

TEST_P(ProgramStatements, KillAndFlushStatements) {
    Result before = Query(*session_, kSharedPool);
    EXPECT_EQ(ErrorOf(*session_, " ALTER SYSTEM FLUSH SHARED_POOL "), 0);
    Result after = Query(*session_, kSharedPool);
    EXPECT_GE(Number(after.At(0, "FREE")), Number(before.At(0, "FREE")));
    EXPECT_GT(Number(after.At(0, "FREE")), Number(after.At(0, "SHDP")) * 0.7);

    Result ses = Query(*session_, std::string(kSessions) + " ORDER BY SID ");
    std::string sid, serial;
    for (size_t r = 0; r < ses.Rows.size(); ++r)
        if (ses.At(r, "TYPE") == "USER" && std::stol(ses.At(r, "SID")) < 200) {
            sid = ses.At(r, "SID");
            serial = ses.At(r, "SERIAL#");
            break;
        }
    ASSERT_FALSE(sid.empty());
    EXPECT_EQ(ErrorOf(*session_, " ALTER SYSTEM KILL SESSION '" + sid + "," + serial + "' "), 0);
    Result gone = Query(*session_, "SELECT COUNT(*) FROM V$SESSION WHERE SID = ? AND SERIAL# = ?", {sid, serial});
    EXPECT_EQ(gone.At(0, "COUNT(*)"), "0");
    EXPECT_EQ(ErrorOf(*session_, " ALTER SYSTEM KILL SESSION '" + sid + "," + serial + "' "), 30);
}

TEST_P(ProgramStatements, LatchSnapshotIntoUserTable) {
    Query(*session_, "CREATE TABLE KVMEMLA (MLDATE VARCHAR2(8), MLLATCH VARCHAR2(64), MLGET NUMBER, MLMISS NUMBER)");
    Result ins = Query(*session_,
                     "INSERT INTO KVMEMLA  (   MLDATE,        MLLATCH,       MLGET,         MLMISS        )  SELECT   ?,  "
                     "          NAME,        GETS   + IMMEDIATE_GETS,  MISSES + IMMEDIATE_MISSES  FROM V$LATCH ",
                     {std::string("20261207")});
    Result count = Query(*session_, "SELECT COUNT(*) FROM V$LATCH");
    EXPECT_EQ(std::to_string(ins.RowsAffected), count.At(0, "COUNT(*)"));
}

INSTANTIATE_TEST_SUITE_P(Versions, ProgramStatements, ::testing::Values(7, 8, 10));

}  // namespace
