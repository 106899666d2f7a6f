// The client's language settings: numbers written with the session's
// decimal character, ORDER BY under a linguistic sort, and ALTER SESSION
// SET NLS_... changing both for the session alone.
#include "SimTestSupport.h"

#include <algorithm>

using namespace simtest;

namespace {

class Nls : public InstanceFixture {
protected:
    // Enough latches to list the two whose names have capitals.
    sim::SimConfig German() const {
        return Config(19, {{"NLSLANG", "GERMAN_GERMANY.WE8ISO8859P1"}, {"LATCHES", kLatches}});
    }
    static constexpr const char* kLatches = "70";
    static std::vector<std::string> LatchNames(sim::SimSession& s) {
        const Result r = Query(s, " SELECT NAME FROM V$LATCH ORDER BY NAME ");
        std::vector<std::string> names;
        for (size_t i = 0; i < r.Rows.size(); ++i) names.push_back(r.At(i, "NAME"));
        return names;
    }
    static size_t IndexOf(const std::vector<std::string>& names, const std::string& name) {
        return static_cast<size_t>(std::find(names.begin(), names.end(), name) - names.begin());
    }
};

TEST_F(Nls, AGermanClientReadsDecimalCommasAndWholeNumbersUnchanged) {
    auto s = ConnectDba(German());
    const Result r = Query(*s, "SELECT 7 / 2 AS HALF, 7 AS WHOLE, -1 / 4 AS QUARTER, '1.5' AS TXT FROM DUAL");
    EXPECT_EQ(r.At(0, "HALF"), "3,5");
    EXPECT_EQ(r.At(0, "WHOLE"), "7");
    EXPECT_EQ(r.At(0, "QUARTER"), "-,25");
    EXPECT_EQ(r.At(0, "TXT"), "1.5") << "character data stays as stored";
    // An American client of the same instance sees points.
    auto american = ConnectDba(Config(19, {{"NLSLANG", "AMERICAN_AMERICA.US7ASCII"}}));
    EXPECT_EQ(Query(*american, "SELECT 7 / 2 AS HALF FROM DUAL").At(0, "HALF"), "3.5");
}

TEST_F(Nls, ALinguisticSortOrdersByLettersWhateverTheirCase) {
    auto binary = ConnectDba(Config(19, {{"LATCHES", kLatches}}));
    const auto inBytes = LatchNames(*binary);
    // In byte order every upper-case name comes before all lower-case ones.
    EXPECT_LT(IndexOf(inBytes, "SQL memory manager latch"), IndexOf(inBytes, "active checkpoint queue latch"));

    auto german = ConnectDba(German());
    const auto linguistic = LatchNames(*german);
    ASSERT_EQ(linguistic.size(), inBytes.size());
    EXPECT_GT(IndexOf(linguistic, "SQL memory manager latch"), IndexOf(linguistic, "sort extent pool"));
    EXPECT_LT(IndexOf(linguistic, "SQL memory manager latch"), IndexOf(linguistic, "temporary table state object allocation"));
    // Punctuation counts only after the letters: SYS_DICT before SYSTEM.
    const Result owners = Query(*german, " SELECT SEGMENT_NAME FROM SYS.DBA_SEGMENTS WHERE OWNER = 'SYS' "
                                         " AND SEGMENT_NAME IN ('SYSTEM', 'SYS_DICT_00000') ORDER BY SEGMENT_NAME ");
    ASSERT_EQ(owners.Rows.size(), 2u);
    EXPECT_EQ(owners.At(0, "SEGMENT_NAME"), "SYS_DICT_00000");
    const Result descending = Query(*german, " SELECT SEGMENT_NAME FROM SYS.DBA_SEGMENTS WHERE OWNER = 'SYS' "
                                             " AND SEGMENT_NAME IN ('SYSTEM', 'SYS_DICT_00000') ORDER BY 1 DESC ");
    EXPECT_EQ(descending.At(0, "SEGMENT_NAME"), "SYSTEM");
}

TEST_F(Nls, AlterSessionSetsTheSessionBackToPointAndBinaryAlone) {
    auto s = ConnectDba(German());
    auto other = ConnectDba(German());
    EXPECT_EQ(ErrorOf(*s, "ALTER SESSION SET NLS_NUMERIC_CHARACTERS = '.,' NLS_SORT = BINARY"), 0);
    EXPECT_EQ(Query(*s, "SELECT 7 / 2 AS HALF FROM DUAL").At(0, "HALF"), "3.5");
    auto names = LatchNames(*s);
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
    EXPECT_EQ(Query(*other, "SELECT 7 / 2 AS HALF FROM DUAL").At(0, "HALF"), "3,5") << "other sessions keep theirs";

    // One setting at a time, and by territory or language.
    EXPECT_EQ(ErrorOf(*s, "ALTER SESSION SET NLS_TERRITORY = GERMANY"), 0);
    EXPECT_EQ(Query(*s, "SELECT 1 / 2 AS H FROM DUAL").At(0, "H"), ",5");
    EXPECT_EQ(ErrorOf(*s, "alter session set nls_numeric_characters = '.,'"), 0);
    EXPECT_EQ(Query(*s, "SELECT 1 / 2 AS H FROM DUAL").At(0, "H"), ".5");
    EXPECT_EQ(ErrorOf(*s, "ALTER SESSION SET NLS_SORT = 'GERMAN'"), 0);
    names = LatchNames(*s);
    EXPECT_FALSE(std::is_sorted(names.begin(), names.end()));
    // Other ALTER SESSION statements are taken and change nothing here.
    EXPECT_EQ(ErrorOf(*s, "ALTER SESSION SET NLS_DATE_FORMAT = 'YYYY-MM-DD'"), 0);
}

TEST_F(Nls, BadValuesAreRefusedAndChangeNothing) {
    auto s = ConnectDba(German());
    for (const char* bad : {"ALTER SESSION SET NLS_NUMERIC_CHARACTERS = '..'",
                            "ALTER SESSION SET NLS_NUMERIC_CHARACTERS = '.'",
                            "ALTER SESSION SET NLS_NUMERIC_CHARACTERS = '1,'",
                            "ALTER SESSION SET NLS_NUMERIC_CHARACTERS = '.,' NLS_SORT = KLINGON"})
        EXPECT_EQ(ErrorOf(*s, bad), 12705) << bad;
    EXPECT_EQ(ErrorOf(*s, "ALTER SESSION SET NLS_SORT ="), 922);
    EXPECT_EQ(Query(*s, "SELECT 7 / 2 AS HALF FROM DUAL").At(0, "HALF"), "3,5") << "a refused statement sets nothing";
}

TEST_F(Nls, ACompoundQueryStillSortsByItsColumnNames) {
    auto s = ConnectDba(German());
    const Result r = Query(*s, "SELECT NAME N FROM TS$ WHERE NAME LIKE 'T%' UNION ALL SELECT NAME FROM TS$ "
                               "WHERE NAME LIKE 'S%' ORDER BY N DESC");
    ASSERT_EQ(r.Rows.size(), 3u);
    EXPECT_EQ(r.At(0, "N"), "TOOLS");
    EXPECT_EQ(r.At(2, "N"), "SYSTEM");
}

}  // namespace
