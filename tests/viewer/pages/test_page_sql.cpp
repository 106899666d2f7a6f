// The statements of the live pages: sort choices become ORDER BY texts with
// the direction right behind the first key and the tie-break keys after it.
#include <gtest/gtest.h>

#include <tuple>

#include "KvOracle.h"
#include "KvPageSql.h"

namespace {
bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}
}  // namespace

TEST(CheckPointSql, OrderFollowsSortChoice) {
    EXPECT_EQ(kvsql::CheckPointDaysOrder(-1, ""), " ORDER BY F_SEQ DESC ");
    EXPECT_EQ(kvsql::CheckPointDaysOrder(0, ""), " ORDER BY F_SEQ ");
    EXPECT_EQ(kvsql::CheckPointDaysOrder(0, "DESC"), " ORDER BY F_SEQ DESC");
    EXPECT_EQ(kvsql::CheckPointDaysOrder(1, "DESC"), " ORDER BY F_CNT DESC, F_SEQ DESC");
    EXPECT_EQ(kvsql::CheckPointDaysOrder(7, "DESC"), " ORDER BY F_SEQ DESC ");
}

TEST(CheckPointSql, VersionSevenReadsTextDates) {
    const std::string v7 = kvsql::CheckPointDays(7, -1, "");
    EXPECT_NE(v7.find("SUBSTR(FIRST_TIME, 1, 8)"), std::string::npos);
    EXPECT_TRUE(EndsWith(v7, " ORDER BY F_SEQ DESC "));
    const std::string v8 = kvsql::CheckPointDays(8, 1, "");
    EXPECT_NE(v8.find("TO_CHAR(FIRST_TIME, 'YYYYMMDD')"), std::string::npos);
    EXPECT_TRUE(EndsWith(v8, " ORDER BY F_CNT , F_SEQ "));
    EXPECT_EQ(kvsql::CheckPointDays(10, 0, ""), CheckPointDaysSql(10) + " ORDER BY F_SEQ ");
}

TEST(TableSpaceSql, NamesAndFiles) {
    EXPECT_EQ(kvsql::TableSpaces(0, "DESC"),
              " SELECT TABLESPACE_NAME FROM DBA_DATA_FILES  GROUP BY TABLESPACE_NAME  ORDER BY "
              "TABLESPACE_NAME DESC");
    EXPECT_TRUE(EndsWith(kvsql::TableSpaces(-1, ""), "GROUP BY TABLESPACE_NAME  ORDER BY TABLESPACE_NAME "));
    EXPECT_EQ(kvsql::DataFiles(1, "DESC"),
              " SELECT * FROM DBA_DATA_FILES    WHERE TABLESPACE_NAME = ?  ORDER BY BYTES DESC, "
              "TABLESPACE_NAME DESC, FILE_NAME DESC");
    EXPECT_TRUE(EndsWith(kvsql::DataFiles(5, ""), " ORDER BY INCREMENT_BY , TABLESPACE_NAME , FILE_NAME "));
    EXPECT_TRUE(EndsWith(kvsql::DataFiles(0, "DESC"), " ORDER BY TABLESPACE_NAME DESC, FILE_NAME DESC"));
    EXPECT_TRUE(EndsWith(kvsql::DataFiles(-1, ""), " ORDER BY TABLESPACE_NAME , FILE_NAME "));
    const std::string usage = kvsql::FileUsage(8192);
    EXPECT_NE(usage.find("NVL(ROUND((D.BYTES / 8192 )), 0)  ORA_BLKS"), std::string::npos);
    EXPECT_TRUE(EndsWith(usage, " WHERE FILE_NAME = ?    "));
}

TEST(ParameterAndLogSql, ValueSortsByTypeFirst) {
    EXPECT_EQ(kvsql::Parameters(2, "DESC"), " SELECT * FROM V$PARAMETER  ORDER BY TYPE, VALUE DESC, NAME ");
    EXPECT_EQ(kvsql::Parameters(1, "DESC"), " SELECT * FROM V$PARAMETER  ORDER BY NAME DESC");
    EXPECT_EQ(kvsql::Parameters(7, ""), " SELECT * FROM V$PARAMETER  ORDER BY ISADJUSTED , NAME ");
    EXPECT_EQ(kvsql::Parameters(-1, ""), " SELECT * FROM V$PARAMETER  ORDER BY NUM ");
    EXPECT_TRUE(EndsWith(kvsql::LogFiles(5, "DESC"), "V$LOGFILE.GROUP#  ORDER BY STATUS2 DESC, GROUPNO "));
    EXPECT_TRUE(EndsWith(kvsql::LogFiles(-1, ""), "V$LOGFILE.GROUP#  ORDER BY GROUPNO "));
}

TEST(ExtentSql, FilterAndOrder) {
    const std::string def = kvsql::Extents(true, -1, "");
    EXPECT_TRUE(EndsWith(def, "R.TABLESPACE_NAME(+)   AND S.EXTENTS > 1  ORDER BY TOT_EXT DESC              , "
                              "T_SPACE, TYPE, OBJECT_NAME "));
    EXPECT_TRUE(EndsWith(kvsql::Extents(false, 0, "DESC"),
                         "R.TABLESPACE_NAME(+)  ORDER BY T_SPACE DESC,          TYPE, OBJECT_NAME "));
    EXPECT_TRUE(EndsWith(kvsql::Extents(false, 6, "DESC"), " ORDER BY TOT_BLKS DESC, T_SPACE, TYPE, OBJECT_NAME "));
    EXPECT_TRUE(EndsWith(kvsql::Extents(false, 2, ""), " ORDER BY OBJECT_NAME "));
}

TEST(SessionSql, OrderAndKillStatement) {
    EXPECT_TRUE(EndsWith(kvsql::Sessions(6, "DESC"), "FROM V$SESSION  ORDER BY PROGRAM DESC, SID "));
    EXPECT_TRUE(EndsWith(kvsql::Sessions(7, "DESC"), "FROM V$SESSION  ORDER BY SERIAL# DESC"));
    EXPECT_TRUE(EndsWith(kvsql::Sessions(-1, ""), "FROM V$SESSION  ORDER BY SID "));
    EXPECT_EQ(kvsql::KillSession("1234", "56").value(), " ALTER SYSTEM KILL SESSION '1234,56' ");
}

TEST(SessionSql, KillRefusesAnythingButDigits) {
    for (auto [sid, serial] : std::vector<std::pair<std::string, std::string>>{
             {"1,234", "5"}, {"", "5"}, {"12", ""}, {"12' --", "5"}, {"12", "5,6"}, {" 12", "5"}, {"-1", "5"}})
        EXPECT_FALSE(kvsql::KillSession(sid, serial).has_value()) << sid << "/" << serial;
}

TEST(SegmentSql, TypeFilterAndOrder) {
    const std::string head = " SELECT OWNER,        TABLESPACE_NAME,        SEGMENT_TYPE,           "
                             "SEGMENT_NAME,           BYTES,                  BLOCKS             FROM SYS.DBA_SEGMENTS ";
    EXPECT_EQ(kvsql::Segments(true, false, -1, ""),
              head + " WHERE SEGMENT_TYPE = 'TABLE' " + " ORDER BY OWNER, TABLESPACE_NAME, SEGMENT_TYPE, SEGMENT_NAME");
    EXPECT_EQ(kvsql::Segments(true, true, 4, "DESC"),
              head + " WHERE SEGMENT_TYPE IN ('TABLE', 'INDEX') " +
                  " ORDER BY BYTES DESC,OWNER, TABLESPACE_NAME, SEGMENT_TYPE, SEGMENT_NAME ");
    EXPECT_NE(kvsql::Segments(false, true, -1, "").find(" WHERE SEGMENT_TYPE = 'INDEX' "), std::string::npos);
    EXPECT_NE(kvsql::Segments(false, false, -1, "").find(" WHERE SEGMENT_TYPE NOT IN ('TABLE', 'INDEX') "),
              std::string::npos);
    EXPECT_TRUE(EndsWith(kvsql::Segments(true, false, 0, "DESC"),
                         " ORDER BY OWNER DESC      , TABLESPACE_NAME, SEGMENT_TYPE, SEGMENT_NAME "));
    EXPECT_TRUE(EndsWith(kvsql::Segments(true, false, 3, ""),
                         " ORDER BY SEGMENT_NAME ,OWNER, TABLESPACE_NAME, SEGMENT_TYPE               "));
}

// The dictionary-managed tablespaces by FET$, then the locally managed
// ones by DBA_FREE_SPACE, sorted as one list.
TEST(FreeSpaceSql, Order) {
    const std::string fet = " F WHERE TS.TS#  =  F.TS# AND TS.TS#  =  TF.TS# ";
    for (auto [col, dir, order] : std::vector<std::tuple<int, std::string, std::string>>{
             {0, "", " ORDER BY TSPACE "}, {8, "DESC", " ORDER BY DEAD DESC, TSPACE "}, {-1, "DESC", " ORDER BY TSPACE "}}) {
        const std::string sql = kvsql::FreeSpace(col, dir);
        EXPECT_TRUE(EndsWith(sql, "FE.TS# ) " + order)) << sql;
        const size_t union_ = sql.find(fet + " UNION ALL SELECT SUBSTRB(D.TABLESPACE_NAME, 1, 20),");
        ASSERT_NE(union_, std::string::npos) << sql;
        EXPECT_EQ(sql.find(" ORDER BY "), sql.size() - order.size()) << "one order for the whole list";
    }
    const std::string sql = kvsql::FreeSpace(-1, "");
    EXPECT_EQ(sql.rfind("SELECT SUBSTRB(TS.NAME, 1, 20) TSPACE,", 0), 0u);
    EXPECT_NE(sql.find("SUM( DECODE( SIGN(F.LENGTH - 5), -1, F.LENGTH, 0) ) DEAD FROM SYS.FET$ F"), std::string::npos);
    EXPECT_NE(sql.find("SUM( DECODE( SIGN(BLOCKS - 5), -1, BLOCKS, 0) ) DEAD FROM SYS.DBA_FREE_SPACE"), std::string::npos);
    EXPECT_NE(sql.find("NOT IN ( SELECT FT.NAME FROM SYS.TS$ FT, SYS.FET$ FE WHERE FT.TS# = FE.TS# )"), std::string::npos);
}
