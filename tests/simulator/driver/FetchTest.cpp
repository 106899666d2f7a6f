// Fetching: forward and scrolling fetches, rowsets with column-wise and
// row-wise binding, row status arrays, bookmarks.
#include "OdbcTestSupport.h"

#include <cstring>

using namespace kelvtest;

namespace {

constexpr const char* kNumbers = "SELECT N, NAME, NOTE FROM NUMBERS";  // 10 rows, N = 1..10

class FetchTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_ODBC_OK(conn.DriverConnect(FakeConnectionString("fetch")), SQL_HANDLE_DBC, conn.Dbc());
        stmt = conn.NewStatement();
    }
    void OpenScrollable() {
        ASSERT_ODBC_OK(SQLSetStmtAttr(stmt, SQL_ATTR_CURSOR_TYPE, (SQLPOINTER)SQL_CURSOR_STATIC, 0), SQL_HANDLE_STMT, stmt);
        ASSERT_ODBC_OK(SQLExecDirect(stmt, (SQLCHAR*)kNumbers, SQL_NTS), SQL_HANDLE_STMT, stmt);
        ASSERT_ODBC_OK(SQLBindCol(stmt, 1, SQL_C_SLONG, &number, 0, &numberIndicator), SQL_HANDLE_STMT, stmt);
    }
    // N of the row fetched by a scroll, or -1 when no row came back.
    long Scroll(SQLSMALLINT orientation, SQLLEN offset = 0) {
        number = -1;
        const SQLRETURN rc = SQLFetchScroll(stmt, orientation, offset);
        if (rc == SQL_NO_DATA)
            return -1;
        EXPECT_TRUE(SQL_SUCCEEDED(rc)) << DescribeDiagnostics(SQL_HANDLE_STMT, stmt);
        return number;
    }

    Connection conn;
    Handle stmt;
    SQLINTEGER number = 0;
    SQLLEN numberIndicator = 0;
};

}  // namespace

TEST_F(FetchTest, ForwardFetchEndsWithNoData) {
    ASSERT_ODBC_OK(SQLExecDirect(stmt, (SQLCHAR*)kNumbers, SQL_NTS), SQL_HANDLE_STMT, stmt);
    ASSERT_ODBC_OK(SQLBindCol(stmt, 1, SQL_C_SLONG, &number, 0, &numberIndicator), SQL_HANDLE_STMT, stmt);
    for (int expected = 1; expected <= 10; ++expected) {
        ASSERT_EQ(SQL_SUCCESS, SQLFetch(stmt));
        EXPECT_EQ(expected, number);
        EXPECT_EQ(4, numberIndicator);
    }
    EXPECT_EQ(SQL_NO_DATA, SQLFetch(stmt));
    EXPECT_EQ(SQL_NO_DATA, SQLFetch(stmt));
}

TEST_F(FetchTest, ForwardOnlyCursorRefusesScrolling) {
    ASSERT_ODBC_OK(SQLExecDirect(stmt, (SQLCHAR*)kNumbers, SQL_NTS), SQL_HANDLE_STMT, stmt);
    EXPECT_EQ(SQL_ERROR, SQLFetchScroll(stmt, SQL_FETCH_FIRST, 0));
    EXPECT_EQ("HY106", Diagnostics(SQL_HANDLE_STMT, stmt).at(0).State);
    EXPECT_ODBC_OK(SQLFetchScroll(stmt, SQL_FETCH_NEXT, 0), SQL_HANDLE_STMT, stmt);
}

TEST_F(FetchTest, StaticCursorScrollsEveryWay) {
    OpenScrollable();
    EXPECT_EQ(10, Scroll(SQL_FETCH_LAST));
    EXPECT_EQ(9, Scroll(SQL_FETCH_PRIOR));
    EXPECT_EQ(1, Scroll(SQL_FETCH_FIRST));
    EXPECT_EQ(-1, Scroll(SQL_FETCH_PRIOR));   // before the start
    EXPECT_EQ(1, Scroll(SQL_FETCH_NEXT));     // and back to the first row
    EXPECT_EQ(4, Scroll(SQL_FETCH_ABSOLUTE, 4));
    EXPECT_EQ(8, Scroll(SQL_FETCH_ABSOLUTE, -3));
    EXPECT_EQ(6, Scroll(SQL_FETCH_RELATIVE, -2));
    EXPECT_EQ(7, Scroll(SQL_FETCH_RELATIVE, 1));
    EXPECT_EQ(-1, Scroll(SQL_FETCH_ABSOLUTE, 11));  // after the end
    EXPECT_EQ(10, Scroll(SQL_FETCH_PRIOR));
    EXPECT_EQ(-1, Scroll(SQL_FETCH_ABSOLUTE, 0));
    EXPECT_EQ(-1, Scroll(SQL_FETCH_ABSOLUTE, -20));
}

TEST_F(FetchTest, ColumnWiseRowsetFillsArraysAndStatus) {
    constexpr SQLULEN kRowset = 4;
    SQLINTEGER numbers[kRowset] = {0};
    SQLLEN numberLengths[kRowset] = {0};
    char names[kRowset][8];
    SQLLEN nameLengths[kRowset] = {0};
    SQLUSMALLINT status[kRowset] = {0};
    SQLULEN fetched = 0;
    ASSERT_ODBC_OK(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, (SQLPOINTER)kRowset, 0), SQL_HANDLE_STMT, stmt);
    ASSERT_ODBC_OK(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_STATUS_PTR, status, 0), SQL_HANDLE_STMT, stmt);
    ASSERT_ODBC_OK(SQLSetStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0), SQL_HANDLE_STMT, stmt);
    ASSERT_ODBC_OK(SQLExecDirect(stmt, (SQLCHAR*)kNumbers, SQL_NTS), SQL_HANDLE_STMT, stmt);
    ASSERT_ODBC_OK(SQLBindCol(stmt, 1, SQL_C_SLONG, numbers, 0, numberLengths), SQL_HANDLE_STMT, stmt);
    ASSERT_ODBC_OK(SQLBindCol(stmt, 2, SQL_C_CHAR, names, sizeof names[0], nameLengths), SQL_HANDLE_STMT, stmt);

    ASSERT_EQ(SQL_SUCCESS, SQLFetch(stmt));
    EXPECT_EQ(4u, fetched);
    EXPECT_EQ((std::vector<SQLINTEGER>{1, 2, 3, 4}), std::vector<SQLINTEGER>(numbers, numbers + 4));
    EXPECT_STREQ("row4", names[3]);
    ASSERT_EQ(SQL_SUCCESS, SQLFetch(stmt));
    ASSERT_EQ(SQL_SUCCESS, SQLFetch(stmt));
    // The last rowset holds rows 9 and 10 only.
    EXPECT_EQ(2u, fetched);
    EXPECT_EQ(10, numbers[1]);
    EXPECT_EQ(SQL_ROW_SUCCESS, status[1]);
    EXPECT_EQ(SQL_ROW_NOROW, status[2]);
    EXPECT_EQ(SQL_ROW_NOROW, status[3]);
    EXPECT_EQ(SQL_NO_DATA, SQLFetch(stmt));
}

TEST_F(FetchTest, RowWiseBindingWritesIntoRecords) {
    struct Record {
        SQLINTEGER N;
        SQLLEN NLength;
        char Note[6];
        SQLLEN NoteLength;
    };
    Record records[3];
    std::memset(records, 0, sizeof records);
    ASSERT_ODBC_OK(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_BIND_TYPE, (SQLPOINTER)sizeof(Record), 0), SQL_HANDLE_STMT, stmt);
    ASSERT_ODBC_OK(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, (SQLPOINTER)3, 0), SQL_HANDLE_STMT, stmt);
    ASSERT_ODBC_OK(SQLExecDirect(stmt, (SQLCHAR*)kNumbers, SQL_NTS), SQL_HANDLE_STMT, stmt);
    ASSERT_ODBC_OK(SQLBindCol(stmt, 1, SQL_C_SLONG, &records[0].N, 0, &records[0].NLength), SQL_HANDLE_STMT, stmt);
    ASSERT_ODBC_OK(SQLBindCol(stmt, 3, SQL_C_CHAR, records[0].Note, sizeof records[0].Note, &records[0].NoteLength),
                   SQL_HANDLE_STMT, stmt);
    ASSERT_EQ(SQL_SUCCESS, SQLFetch(stmt));
    EXPECT_EQ(1, records[0].N);
    EXPECT_EQ(2, records[1].N);
    EXPECT_EQ(3, records[2].N);
    EXPECT_STREQ("odd", records[0].Note);
    EXPECT_EQ(SQL_NULL_DATA, records[1].NoteLength);
    EXPECT_EQ(3, records[2].NoteLength);
}

// The query component packs each value and its indicator back to back, so
// indicators land on odd addresses.
TEST_F(FetchTest, PackedRecordTakesIndicatorsAtOddAddresses) {
    constexpr SQLLEN kNoteSize = 5;
    constexpr size_t kSlot = sizeof(SQLLEN);
    alignas(SQLLEN) char record[sizeof(SQLINTEGER) + kSlot + kNoteSize + kSlot + 1];
    std::memset(record, 0x7F, sizeof record);
    char* const n = record;
    char* const nLength = n + sizeof(SQLINTEGER);
    char* const note = nLength + kSlot;
    char* const noteLength = note + kNoteSize;
    ASSERT_EQ(reinterpret_cast<uintptr_t>(noteLength) % alignof(SQLLEN), 1u);
    ASSERT_ODBC_OK(SQLExecDirect(stmt, (SQLCHAR*)kNumbers, SQL_NTS), SQL_HANDLE_STMT, stmt);
    ASSERT_ODBC_OK(SQLBindCol(stmt, 1, SQL_C_SLONG, n, 0, reinterpret_cast<SQLLEN*>(nLength)),
                   SQL_HANDLE_STMT, stmt);
    ASSERT_ODBC_OK(SQLBindCol(stmt, 3, SQL_C_CHAR, note, kNoteSize, reinterpret_cast<SQLLEN*>(noteLength)),
                   SQL_HANDLE_STMT, stmt);
    auto indicatorAt = [](const char* at) {
        SQLLEN value = 0;
        std::memcpy(&value, at, sizeof value);
        return value;
    };

    ASSERT_EQ(SQL_SUCCESS, SQLFetch(stmt));
    SQLINTEGER first = 0;
    std::memcpy(&first, n, sizeof first);
    EXPECT_EQ(1, first);
    EXPECT_EQ(4, indicatorAt(nLength));
    EXPECT_STREQ("odd", note);
    EXPECT_EQ(3, indicatorAt(noteLength));
    ASSERT_EQ(SQL_SUCCESS, SQLFetch(stmt));
    EXPECT_EQ(SQL_NULL_DATA, indicatorAt(noteLength));
    EXPECT_EQ(0x7F, record[sizeof record - 1]);  // nothing written past the record
}

TEST_F(FetchTest, BoundValueTooLongIsCutWithWarning) {
    char name[4];
    SQLLEN length = 0;
    ASSERT_ODBC_OK(SQLExecDirect(stmt, (SQLCHAR*)kNumbers, SQL_NTS), SQL_HANDLE_STMT, stmt);
    ASSERT_ODBC_OK(SQLBindCol(stmt, 2, SQL_C_CHAR, name, sizeof name, &length), SQL_HANDLE_STMT, stmt);
    EXPECT_EQ(SQL_SUCCESS_WITH_INFO, SQLFetch(stmt));
    EXPECT_STREQ("row", name);
    EXPECT_EQ(4, length);
    EXPECT_EQ("01004", Diagnostics(SQL_HANDLE_STMT, stmt).at(0).State);
}

TEST_F(FetchTest, NullIntoBoundColumnWithoutIndicatorIsAnError) {
    char note[8];
    ASSERT_ODBC_OK(SQLExecDirect(stmt, (SQLCHAR*)kNumbers, SQL_NTS), SQL_HANDLE_STMT, stmt);
    ASSERT_ODBC_OK(SQLBindCol(stmt, 3, SQL_C_CHAR, note, sizeof note, nullptr), SQL_HANDLE_STMT, stmt);
    EXPECT_ODBC_OK(SQLFetch(stmt), SQL_HANDLE_STMT, stmt);  // row 1 has a note
    EXPECT_EQ(SQL_ERROR, SQLFetch(stmt));                    // row 2 has NULL
    EXPECT_EQ("22002", Diagnostics(SQL_HANDLE_STMT, stmt).at(0).State);
}

TEST_F(FetchTest, ExtendedFetchUsesTheRowsetSizeOption) {
    SQLINTEGER numbers[2] = {0};
    SQLLEN lengths[2] = {0};
    SQLULEN rows = 0;
    SQLUSMALLINT status[2] = {0};
    ASSERT_ODBC_OK(SQLSetStmtAttr(stmt, SQL_ATTR_CURSOR_TYPE, (SQLPOINTER)SQL_CURSOR_STATIC, 0), SQL_HANDLE_STMT, stmt);
    ASSERT_ODBC_OK(SQLSetStmtAttr(stmt, SQL_ROWSET_SIZE, (SQLPOINTER)2, 0), SQL_HANDLE_STMT, stmt);
    ASSERT_ODBC_OK(SQLExecDirect(stmt, (SQLCHAR*)kNumbers, SQL_NTS), SQL_HANDLE_STMT, stmt);
    ASSERT_ODBC_OK(SQLBindCol(stmt, 1, SQL_C_SLONG, numbers, 0, lengths), SQL_HANDLE_STMT, stmt);
    ASSERT_ODBC_OK(SQLExtendedFetch(stmt, SQL_FETCH_LAST, 0, &rows, status), SQL_HANDLE_STMT, stmt);
    EXPECT_EQ(2u, rows);
    EXPECT_EQ(9, numbers[0]);
    EXPECT_EQ(10, numbers[1]);
    ASSERT_ODBC_OK(SQLExtendedFetch(stmt, SQL_FETCH_ABSOLUTE, 3, &rows, status), SQL_HANDLE_STMT, stmt);
    EXPECT_EQ(3, numbers[0]);
    EXPECT_EQ(4, numbers[1]);
}

TEST_F(FetchTest, BookmarksFetchTheMarkedRow) {
    ASSERT_ODBC_OK(SQLSetStmtAttr(stmt, SQL_ATTR_USE_BOOKMARKS, (SQLPOINTER)SQL_UB_ON, 0), SQL_HANDLE_STMT, stmt);
    OpenScrollable();
    SQLINTEGER bookmark = 0;
    SQLLEN bookmarkLength = 0;
    ASSERT_ODBC_OK(SQLBindCol(stmt, 0, SQL_C_BOOKMARK, &bookmark, sizeof bookmark, &bookmarkLength), SQL_HANDLE_STMT, stmt);
    EXPECT_EQ(6, Scroll(SQL_FETCH_ABSOLUTE, 6));
    const SQLINTEGER saved = bookmark;
    EXPECT_EQ(1, Scroll(SQL_FETCH_FIRST));
    ASSERT_ODBC_OK(SQLSetStmtAttr(stmt, SQL_ATTR_FETCH_BOOKMARK_PTR, (SQLPOINTER)&saved, 0), SQL_HANDLE_STMT, stmt);
    EXPECT_EQ(6, Scroll(SQL_FETCH_BOOKMARK, 0));
    EXPECT_EQ(8, Scroll(SQL_FETCH_BOOKMARK, 2));
}

TEST_F(FetchTest, MaxRowsLimitsTheResult) {
    ASSERT_ODBC_OK(SQLSetStmtAttr(stmt, SQL_ATTR_MAX_ROWS, (SQLPOINTER)4, 0), SQL_HANDLE_STMT, stmt);
    ASSERT_ODBC_OK(SQLExecDirect(stmt, (SQLCHAR*)kNumbers, SQL_NTS), SQL_HANDLE_STMT, stmt);
    EXPECT_EQ(4u, FetchAllText(stmt).size());
}

TEST_F(FetchTest, EndOfTransactionClosesTheCursor) {
    ASSERT_ODBC_OK(SQLExecDirect(stmt, (SQLCHAR*)kNumbers, SQL_NTS), SQL_HANDLE_STMT, stmt);
    ASSERT_ODBC_OK(SQLFetch(stmt), SQL_HANDLE_STMT, stmt);
    ASSERT_ODBC_OK(SQLEndTran(SQL_HANDLE_DBC, conn.Dbc(), SQL_COMMIT), SQL_HANDLE_DBC, conn.Dbc());
    EXPECT_EQ(SQL_ERROR, SQLFetch(stmt));
}

TEST_F(FetchTest, RetrieveDataOffMovesWithoutFillingBuffers) {
    ASSERT_ODBC_OK(SQLSetStmtAttr(stmt, SQL_ATTR_RETRIEVE_DATA, (SQLPOINTER)SQL_RD_OFF, 0), SQL_HANDLE_STMT, stmt);
    ASSERT_ODBC_OK(SQLExecDirect(stmt, (SQLCHAR*)kNumbers, SQL_NTS), SQL_HANDLE_STMT, stmt);
    number = -7;
    ASSERT_ODBC_OK(SQLBindCol(stmt, 1, SQL_C_SLONG, &number, 0, &numberIndicator), SQL_HANDLE_STMT, stmt);
    ASSERT_EQ(SQL_SUCCESS, SQLFetch(stmt));
    EXPECT_EQ(-7, number);
    // The row is still there for SQLGetData.
    SQLINTEGER value = 0;
    SQLLEN indicator = 0;
    ASSERT_EQ(SQL_SUCCESS, SQLGetData(stmt, 1, SQL_C_SLONG, &value, 0, &indicator));
    EXPECT_EQ(1, value);
}

TEST_F(FetchTest, RowsetOffsetPointerShiftsEveryBinding) {
    SQLINTEGER numbers[4] = {0};
    SQLULEN offset = 0;
    ASSERT_ODBC_OK(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_BIND_TYPE, (SQLPOINTER)sizeof(SQLINTEGER), 0), SQL_HANDLE_STMT, stmt);
    ASSERT_ODBC_OK(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_BIND_OFFSET_PTR, &offset, 0), SQL_HANDLE_STMT, stmt);
    ASSERT_ODBC_OK(SQLExecDirect(stmt, (SQLCHAR*)kNumbers, SQL_NTS), SQL_HANDLE_STMT, stmt);
    ASSERT_ODBC_OK(SQLBindCol(stmt, 1, SQL_C_SLONG, numbers, 0, nullptr), SQL_HANDLE_STMT, stmt);
    ASSERT_EQ(SQL_SUCCESS, SQLFetch(stmt));
    offset = 2 * sizeof(SQLINTEGER);
    ASSERT_EQ(SQL_SUCCESS, SQLFetch(stmt));
    EXPECT_EQ(1, numbers[0]);
    EXPECT_EQ(0, numbers[1]);
    EXPECT_EQ(2, numbers[2]);
}
