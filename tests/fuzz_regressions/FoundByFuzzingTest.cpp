// Faults the fuzzers found, spelled out.
#include "KvPageSql.h"
#include "QueryImpl.h"

#include <gtest/gtest.h>

namespace {

using kelv_odbc::ConvertNullMarkers;

TEST(FoundByFuzzing, QuotedMarkerFollowedByDoubledQuoteStaysALiteral) {
    EXPECT_EQ(ConvertNullMarkers("SELECT '<Null>'''", "<Null>"), "SELECT '<Null>'''");
    EXPECT_EQ(ConvertNullMarkers("VALUES ('<Null>''s', '<Null>')", "<Null>"),
              "VALUES ('<Null>''s', NULL)");
}

TEST(FoundByFuzzing, MarkerAfterAnEscapedQuoteIsInsideTheLiteral) {
    EXPECT_EQ(ConvertNullMarkers("SELECT '''<Null>', <Null>", "<Null>"), "SELECT '''<Null>', NULL");
    EXPECT_EQ(ConvertNullMarkers("SELECT 'a''<Null>''b'", "<Null>"), "SELECT 'a''<Null>''b'");
}

TEST(FoundByFuzzing, SortDirectionOtherThanDescNeverReachesTheStatement) {
    const std::string injected = "DESC; DROP TABLE T --";
    EXPECT_EQ(kvsql::Sessions(1, injected), kvsql::Sessions(1, ""));
    EXPECT_EQ(kvsql::DataFiles(-1, injected), kvsql::DataFiles(-1, ""));
    EXPECT_EQ(kvsql::CheckPointDaysOrder(1, "1,2"), kvsql::CheckPointDaysOrder(1, ""));
    EXPECT_EQ(kvsql::FreeSpace(3, " desc "), kvsql::FreeSpace(3, "DESC"));
}

}  // namespace
