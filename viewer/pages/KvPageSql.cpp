#include "KvPageSql.h"

#include <cctype>

#include "KvOracle.h"
#include "KvText.h"

namespace kvsql {

namespace {

bool PlainDigits(const std::string& s) {
    if (s.empty()) return false;
    for (char c : s)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

// The direction as it may reach a statement: "DESC" or nothing. The text
// comes from outside the statement builders; anything else sorts ascending.
std::string SortDirection(const std::string& requested) {
    return UpperCase(Trim(requested)) == "DESC" ? "DESC" : "";
}

}  // namespace

std::string CheckPointDaysOrder(int sortCol, const std::string& requested) {
    const std::string dir = SortDirection(requested);
    switch (sortCol) {
    case 0: return " ORDER BY F_SEQ " + dir;
    case 1: return " ORDER BY F_CNT " + dir + ", F_SEQ " + dir;
    default: return " ORDER BY F_SEQ DESC ";
    }
}

std::string CheckPointDays(int oracleVersion, int sortCol, const std::string& dir) {
    return CheckPointDaysSql(oracleVersion) + CheckPointDaysOrder(sortCol, dir);
}

std::string TableSpaces(int sortCol, const std::string& requested) {
    const std::string dir = SortDirection(requested);
    std::string sql = " SELECT TABLESPACE_NAME FROM DBA_DATA_FILES  GROUP BY TABLESPACE_NAME ";
    if (sortCol == 0) return sql + " ORDER BY TABLESPACE_NAME " + dir;
    return sql + " ORDER BY TABLESPACE_NAME ";
}

std::string DataFiles(int sortCol, const std::string& requested) {
    const std::string d = SortDirection(requested);
    static const char* const kKeys[] = {nullptr, "BYTES", "STATUS", "AUTOEXTENSIBLE",
                                        "MAXBYTES", "INCREMENT_BY"};
    std::string order;
    if (sortCol >= 1 && sortCol <= 5)
        order = std::string(" ORDER BY ") + kKeys[sortCol] + " " + d + ", TABLESPACE_NAME " + d +
                ", FILE_NAME " + d;
    else
        order = " ORDER BY TABLESPACE_NAME " + d + ", FILE_NAME " + d;
    return " SELECT * FROM DBA_DATA_FILES    WHERE TABLESPACE_NAME = ? " + order;
}

std::string FileUsage(int blockSize) {
    return std::string(
               " SELECT *    FROM (        SELECT D.TABLESPACE_NAME                TSPACE,   "
               "                D.FILE_ID                        FILE_ID,                  "
               "D.FILE_NAME                      FILE_NAME,                NVL(ROUND((D.BYTES / ") +
           std::to_string(blockSize) +
           " )), 0)  ORA_BLKS,   "
           "              NVL(ROUND(SUM(E.BLOCKS)),    0)  TOT_USED    "
           "         FROM SYS.DBA_EXTENTS E, SYS.DBA_DATA_FILES D "
           "        WHERE D.FILE_ID = E.FILE_ID(+) "
           "       GROUP BY D.TABLESPACE_NAME, D.FILE_ID, D.FILE_NAME, D.BYTES "
           "       ) "
           " WHERE FILE_NAME = ?    ";
}

std::string Parameters(int sortCol, const std::string& requested) {
    const std::string d = SortDirection(requested);
    static const char* const kKeys[] = {nullptr, nullptr, nullptr, "ISDEFAULT",
                                        "ISSES_MODIFIABLE", "ISSYS_MODIFIABLE",
                                        "ISMODIFIED", "ISADJUSTED"};
    std::string order;
    if (sortCol == 1) order = " ORDER BY NAME " + d;
    else if (sortCol == 2) order = " ORDER BY TYPE, VALUE " + d + ", NAME ";
    else if (sortCol >= 3 && sortCol <= 7)
        order = std::string(" ORDER BY ") + kKeys[sortCol] + " " + d + ", NAME ";
    else order = " ORDER BY NUM " + d;
    return " SELECT * FROM V$PARAMETER " + order;
}

std::string LogFiles(int sortCol, const std::string& requested) {
    const std::string d = SortDirection(requested);
    static const char* const kKeys[] = {nullptr, "STATUS1", "BYTES", "ARCHIVED", "MEMBER", "STATUS2"};
    std::string order;
    if (sortCol >= 1 && sortCol <= 5)
        order = std::string(" ORDER BY ") + kKeys[sortCol] + " " + d + ", GROUPNO ";
    else order = " ORDER BY GROUPNO " + d;
    return " SELECT NVL(V$LOG.GROUP#,         0) AS GROUPNO,     NVL(V$LOG.BYTES,          0) AS "
           "BYTES,     NVL(V$LOG.ARCHIVED,   ' ') AS ARCHIVED,  NVL(V$LOG.STATUS,     ' ') AS "
           "STATUS1,   NVL(V$LOGFILE.MEMBER, ' ') AS MEMBER,   NVL(V$LOGFILE.STATUS, ' ') AS "
           "STATUS2     FROM V$LOG, V$LOGFILE  WHERE V$LOG.GROUP# = V$LOGFILE.GROUP# " + order;
}

std::string Extents(bool onlyExtended, int sortCol, const std::string& requested) {
    const std::string d = SortDirection(requested);
    static const char* const kKeys[] = {nullptr, nullptr, nullptr, "FST_EXT", "NXT_EXT", "TOT_EXT",
                                        "TOT_BLKS"};
    std::string order;
    switch (sortCol) {
    case 0: order = " ORDER BY T_SPACE " + d + ",          TYPE, OBJECT_NAME "; break;
    case 1: order = " ORDER BY TYPE " + d + ", T_SPACE,       OBJECT_NAME "; break;
    case 2: order = " ORDER BY OBJECT_NAME " + d; break;
    case 3: case 4: case 5: case 6:
        order = std::string(" ORDER BY ") + kKeys[sortCol] + " " + d + ", T_SPACE, TYPE, OBJECT_NAME ";
        break;
    default: order = " ORDER BY TOT_EXT DESC              , T_SPACE, TYPE, OBJECT_NAME "; break;
    }
    const std::string filter = onlyExtended ? "  AND S.EXTENTS > 1 " : "";
    return "SELECT  S.TABLESPACE_NAME                   T_SPACE,  S.SEGMENT_TYPE                      "
           "TYPE,     S.SEGMENT_NAME                      OBJECT_NAME,   NVL(NVL(T.INITIAL_EXTENT, "
           "I.INITIAL_EXTENT), R.INITIAL_EXTENT)  FST_EXT,  NVL(NVL(T.NEXT_EXTENT,    I.NEXT_EXTENT),"
           "    R.INITIAL_EXTENT)  NXT_EXT,  S.EXTENTS - 1                       TOT_EXT,  S.BLOCKS  "
           "                          TOT_BLKS  FROM  SYS.DBA_ROLLBACK_SEGS   R,                    "
           "SYS.DBA_INDEXES         I,                    SYS.DBA_TABLES          T,               "
           "     SYS.DBA_SEGMENTS        S                     WHERE  S.OWNER             =   "
           "T.OWNER          (+)    AND  S.SEGMENT_NAME      =   T.TABLE_NAME     (+)    AND  "
           "S.TABLESPACE_NAME   =   T.TABLESPACE_NAME(+)    AND  S.OWNER             =   I.OWNER  "
           "        (+)    AND  S.SEGMENT_NAME      =   I.INDEX_NAME     (+)    AND  "
           "S.TABLESPACE_NAME   =   I.TABLESPACE_NAME(+)    AND  S.OWNER             =   R.OWNER  "
           "        (+)    AND  S.SEGMENT_NAME      =   R.SEGMENT_NAME   (+)    AND  "
           "S.TABLESPACE_NAME   =   R.TABLESPACE_NAME(+) " + filter + order;
}

std::string Sessions(int sortCol, const std::string& requested) {
    const std::string d = SortDirection(requested);
    static const char* const kKeys[] = {nullptr, "STATUS", "USERNAME", "SCHEMANAME", "OSUSER",
                                        "MACHINE", "PROGRAM"};
    std::string order;
    if (sortCol >= 1 && sortCol <= 6)
        order = std::string(" ORDER BY ") + kKeys[sortCol] + " " + d + ", SID ";
    else if (sortCol == 7) order = " ORDER BY SERIAL# " + d;
    else order = " ORDER BY SID " + d;
    return " SELECT NVL(SID,           0 )  SID,                NVL(STATUS,     ' ')  STATUS,       "
           "      NVL(USERNAME,   ' ')  USERNAME,           NVL(SCHEMANAME, ' ')  SCHEMANAME,      "
           "   NVL(OSUSER,     ' ')  OSUSER,             NVL(MACHINE,    ' ')  MACHINE,            "
           "NVL(PROGRAM,    ' ')  PROGRAM,            NVL(SERIAL#,        0)  SERIAL#,            "
           "NVL(TYPE,       ' ')  TYPE           FROM V$SESSION " + order;
}

std::optional<std::string> KillSession(const std::string& sid, const std::string& serial) {
    if (!PlainDigits(sid) || !PlainDigits(serial)) return std::nullopt;
    return " ALTER SYSTEM KILL SESSION '" + sid + "," + serial + "' ";
}

std::string Segments(bool tables, bool indexes, int sortCol, const std::string& requested) {
    const std::string d = SortDirection(requested);
    std::string filter;
    if (tables && indexes) filter = " WHERE SEGMENT_TYPE IN ('TABLE', 'INDEX') ";
    else if (tables) filter = " WHERE SEGMENT_TYPE = 'TABLE' ";
    else if (indexes) filter = " WHERE SEGMENT_TYPE = 'INDEX' ";
    else filter = " WHERE SEGMENT_TYPE NOT IN ('TABLE', 'INDEX') ";
    std::string order;
    switch (sortCol) {
    case 0: order = " ORDER BY OWNER " + d + "      , TABLESPACE_NAME, SEGMENT_TYPE, SEGMENT_NAME "; break;
    case 1: order = " ORDER BY TABLESPACE_NAME " + d + ",OWNER,                  SEGMENT_TYPE, SEGMENT_NAME "; break;
    case 2: order = " ORDER BY SEGMENT_TYPE " + d + ",OWNER, TABLESPACE_NAME,               SEGMENT_NAME "; break;
    case 3: order = " ORDER BY SEGMENT_NAME " + d + ",OWNER, TABLESPACE_NAME, SEGMENT_TYPE               "; break;
    case 4: order = " ORDER BY BYTES " + d + ",OWNER, TABLESPACE_NAME, SEGMENT_TYPE, SEGMENT_NAME "; break;
    case 5: order = " ORDER BY BLOCKS " + d + ",OWNER, TABLESPACE_NAME, SEGMENT_TYPE, SEGMENT_NAME "; break;
    default: order = " ORDER BY OWNER, TABLESPACE_NAME, SEGMENT_TYPE, SEGMENT_NAME"; break;
    }
    return " SELECT OWNER,        TABLESPACE_NAME,        SEGMENT_TYPE,           SEGMENT_NAME,    "
           "       BYTES,                  BLOCKS             FROM SYS.DBA_SEGMENTS " + filter + order;
}

// Locally managed tablespaces keep no FET$ rows: their free extents come
// from DBA_FREE_SPACE, figured as the dictionary-managed ones are, and the
// union is sorted as one list.
const char* const kLocallyManagedFreeSpace =
    " UNION ALL SELECT SUBSTRB(D.TABLESPACE_NAME, 1, 20), D.BLOCKS, F.FREE, F.FREE / D.BLOCKS * 100,   "
    "F.PIECES, F.BIGGEST, F.SMALLEST, F.AVERAGE, F.DEAD   FROM ( SELECT TABLESPACE_NAME, SUM(BLOCKS) "
    "BLOCKS FROM SYS.DBA_DATA_FILES GROUP BY TABLESPACE_NAME ) D, ( SELECT TABLESPACE_NAME, "
    "SUM(BLOCKS) FREE, COUNT(*) PIECES, MAX(BLOCKS) BIGGEST, MIN(BLOCKS) SMALLEST, ROUND(AVG(BLOCKS)) "
    "AVERAGE, SUM( DECODE( SIGN(BLOCKS - 5), -1, BLOCKS, 0) ) DEAD FROM SYS.DBA_FREE_SPACE GROUP BY "
    "TABLESPACE_NAME ) F WHERE D.TABLESPACE_NAME = F.TABLESPACE_NAME AND D.TABLESPACE_NAME NOT IN ( "
    "SELECT FT.NAME FROM SYS.TS$ FT, SYS.FET$ FE WHERE FT.TS# = FE.TS# ) ";

std::string FreeSpace(int sortCol, const std::string& requested) {
    const std::string d = SortDirection(requested);
    static const char* const kKeys[] = {nullptr, "BLOCKS", "FREE", "FREEP", "PIECES", "BIGGEST",
                                        "SMALLEST", "AVERAGE", "DEAD"};
    std::string order;
    if (sortCol == 0) order = " ORDER BY TSPACE " + d;
    else if (sortCol >= 1 && sortCol <= 8)
        order = std::string(" ORDER BY ") + kKeys[sortCol] + " " + d + ", TSPACE ";
    else order = " ORDER BY TSPACE ";
    return "SELECT SUBSTRB(TS.NAME, 1, 20) TSPACE,   BLOCKS                  BLOCKS,   FREE         "
           "           FREE,     FREE / BLOCKS * 100     FREEP,    PIECES                  PIECES,  "
           " BIGGEST                 BIGGEST,  SMALLEST                SMALLEST, AVERAGE            "
           "     AVERAGE,  DEAD                    DEAD      FROM SYS.TS$ TS, ( SELECT TF.TS#, "
           "SUM(TF.BLOCKS)                                      BLOCKS FROM SYS.FILE$ TF GROUP BY "
           "TF.TS# ) TF, ( SELECT F.TS#, SUM(F.LENGTH)                                       FREE, "
           "COUNT(*)                                            PIECES, MAX(F.LENGTH)              "
           "                         BIGGEST, MIN(F.LENGTH)                                       "
           "SMALLEST, ROUND(AVG(F.LENGTH))                                AVERAGE, SUM( DECODE( "
           "SIGN(F.LENGTH - 5), -1, F.LENGTH, 0) ) DEAD FROM SYS.FET$ F GROUP BY F.TS# ) F WHERE "
           "TS.TS#  =  F.TS# AND TS.TS#  =  TF.TS# " + std::string(kLocallyManagedFreeSpace) + order;
}

}  // namespace kvsql
