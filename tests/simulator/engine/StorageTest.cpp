// The storage dictionary is consistent with itself, at the default size and
// at the large sizes the viewer is tested with.
#include "SimTestSupport.h"

#include <map>

using namespace simtest;

namespace {

class Storage : public InstanceFixture {};

void ExpectFilesCoveredExactly(sim::SimSession& s) {
    // Every block after the header is in exactly one extent or free piece.
    Result pieces = Query(*&s, "SELECT FILE_ID F, BLOCK_ID B, BLOCKS L FROM DBA_EXTENTS UNION ALL "
                               "SELECT FILE# F, BLOCK# B, LENGTH L FROM FET$ ORDER BY F, B");
    Result files = Query(s, "SELECT FILE_ID, BLOCKS FROM DBA_DATA_FILES ORDER BY FILE_ID");
    std::map<std::string, double> next;
    for (size_t r = 0; r < pieces.Rows.size(); ++r) {
        const std::string f = pieces.At(r, "F");
        double expected = next.count(f) ? next[f] : 2;
        ASSERT_EQ(Number(pieces.At(r, "B")), expected) << "file " << f;
        next[f] = expected + Number(pieces.At(r, "L"));
    }
    for (size_t r = 0; r < files.Rows.size(); ++r)
        EXPECT_EQ(next[files.At(r, "FILE_ID")], Number(files.At(r, "BLOCKS")) + 1) << files.At(r, "FILE_ID");
}

TEST_F(Storage, DictionaryViewsAgree) {
    auto s = sim::Connect(Config(10), "system", "manager");
    ExpectFilesCoveredExactly(*s);
    Result mismatch = Query(*s, "SELECT COUNT(*) FROM DBA_SEGMENTS S WHERE S.BLOCKS <> (SELECT SUM(E.BLOCKS) FROM "
                                "DBA_EXTENTS E WHERE E.OWNER = S.OWNER AND E.SEGMENT_NAME = S.SEGMENT_NAME) OR "
                                "S.EXTENTS <> (SELECT COUNT(*) FROM DBA_EXTENTS E WHERE E.OWNER = S.OWNER AND "
                                "E.SEGMENT_NAME = S.SEGMENT_NAME)");
    EXPECT_EQ(mismatch.At(0, "COUNT(*)"), "0");
    Result tsBlocks = Query(*s, "SELECT COUNT(*) FROM TS$ T WHERE (SELECT SUM(BLOCKS) FROM FILE$ F WHERE F.TS# = T.TS#) "
                                "<> (SELECT SUM(BLOCKS) FROM DBA_DATA_FILES D WHERE D.TABLESPACE_NAME = T.NAME)");
    EXPECT_EQ(tsBlocks.At(0, "COUNT(*)"), "0");
    Result empty = Query(*s, "SELECT COUNT(*) FROM DBA_DATA_FILES D WHERE NOT EXISTS "
                             "(SELECT 1 FROM DBA_EXTENTS E WHERE E.FILE_ID = D.FILE_ID)");
    EXPECT_GE(Number(empty.At(0, "COUNT(*)")), 1);
}

TEST_F(Storage, LargeInstanceWithHundredThousandSegmentsAndThreeYearsOfHistory) {
    auto s = sim::Connect(Config(8, {{"SEGMENTS", "100000"}, {"LOGHISTORYDAYS", "1100"}, {"TABLESPACES", "12"}}),
                          "system", "manager");
    EXPECT_EQ(Query(*s, "SELECT COUNT(*) FROM DBA_SEGMENTS").At(0, "COUNT(*)"), "100000");
    EXPECT_EQ(Query(*s, "SELECT COUNT(*) FROM DBA_TABLESPACES").At(0, "COUNT(*)"), "12");
    Result days = Query(*s, "SELECT COUNT(*) FROM (SELECT TO_CHAR(FIRST_TIME, 'YYYYMMDD') D FROM V$LOGHIST "
                            "GROUP BY TO_CHAR(FIRST_TIME, 'YYYYMMDD'))");
    EXPECT_GT(Number(days.At(0, "COUNT(*)")), 1001);
    ExpectFilesCoveredExactly(*s);
}

TEST_F(Storage, DifferentSizesOnOneDataSourceDoNotDisturbEachOther) {
    auto plain = sim::Connect(Config(10), "system", "manager");
    auto small = sim::Connect(Config(10, {{"SEGMENTS", "50"}}), "system", "manager");
    EXPECT_EQ(Query(*small, "SELECT COUNT(*) FROM DBA_SEGMENTS").At(0, "COUNT(*)"), "50");
    auto larger = sim::Connect(Config(10, {{"SEGMENTS", "80"}, {"LATCHES", "70"}}), "system", "manager");
    EXPECT_EQ(Query(*larger, "SELECT COUNT(*) FROM DBA_SEGMENTS").At(0, "COUNT(*)"), "80");
    EXPECT_EQ(Query(*larger, "SELECT COUNT(*) FROM V$LATCH").At(0, "COUNT(*)"), "70");
    // The sessions opened earlier still see their own instances.
    EXPECT_EQ(Query(*small, "SELECT COUNT(*) FROM DBA_SEGMENTS").At(0, "COUNT(*)"), "50");
    EXPECT_EQ(Query(*plain, "SELECT COUNT(*) FROM DBA_SEGMENTS").At(0, "COUNT(*)"), "400");
}

TEST_F(Storage, BannerCanBeOverriddenForUnreadableVersions) {
    auto s = sim::Connect(Config(10, {{"BANNER", "Kelv Test Database"}}), "system", "manager");
    EXPECT_TRUE(Query(*s, "SELECT BANNER FROM V$VERSION  WHERE UPPER(BANNER) LIKE ? ", {std::string("%ORACLE%")}).Rows.empty());
    EXPECT_EQ(s->Banner(), "Kelv Test Database");
}

}  // namespace
