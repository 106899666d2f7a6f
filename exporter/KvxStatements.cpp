#include "KvxStatements.h"

namespace kvx_sql {
const char* const kSessions =
    " SELECT STATUS, TYPE, COUNT(*) AS SESSIONS FROM V$SESSION GROUP BY STATUS, TYPE ";
// Free space from the free extents themselves, which every kind of
// tablespace (dictionary or locally managed) lists there.
const char* const kTablespaces =
    " SELECT D.TABLESPACE_NAME, D.BYTES, NVL(F.BYTES, 0) AS FREE "
    "   FROM (SELECT TABLESPACE_NAME, SUM(BYTES) AS BYTES FROM DBA_DATA_FILES "
    "          GROUP BY TABLESPACE_NAME) D, "
    "        (SELECT TABLESPACE_NAME, SUM(BYTES) AS BYTES FROM DBA_FREE_SPACE "
    "          GROUP BY TABLESPACE_NAME) F "
    "  WHERE D.TABLESPACE_NAME = F.TABLESPACE_NAME(+) ";
const char* const kLogSwitches = " SELECT MAX(SEQUENCE#) AS SWITCHES FROM V$LOGHIST ";
}  // namespace kvx_sql
