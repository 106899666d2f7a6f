// Raw records against a real driver: the buffer-length table checked against
// the driver's own description, FetchToRec with cut values and the type map,
// rowsets of several rows, a rowset size taken back, bookmark fetches.
#include "DriverFixture.h"

#include <climits>
#include <cstdint>
#include <cstring>

DriverColumn DescribeByDriver(SQLHSTMT h, SQLUSMALLINT column, TqoODBCVersion version) {
    DriverColumn c;
    SQLCHAR name[256] = {0};
    SQLSMALLINT nameLen = 0, type = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
    EXPECT_TRUE(SQL_SUCCEEDED(SQLDescribeCol(h, column, name, sizeof name, &nameLen, &type, &size, &digits, &nullable)));
    c.name = reinterpret_cast<char*>(name);
    c.type = type;
    if (version == ODBC20) {
        EXPECT_TRUE(SQL_SUCCEEDED(SQLColAttributes(h, column, SQL_COLUMN_LENGTH, nullptr, 0, nullptr, &c.length)));
        EXPECT_TRUE(SQL_SUCCEEDED(SQLColAttributes(h, column, SQL_COLUMN_PRECISION, nullptr, 0, nullptr, &c.precision)));
    } else {
        const SQLUSMALLINT lengthId = version == ODBC35 ? SQL_DESC_OCTET_LENGTH : SQL_COLUMN_LENGTH;
        const SQLUSMALLINT precisionId = version == ODBC35 ? SQL_DESC_PRECISION : SQL_COLUMN_PRECISION;
        EXPECT_TRUE(SQL_SUCCEEDED(SQLColAttribute(h, column, lengthId, nullptr, 0, nullptr, &c.length)));
        EXPECT_TRUE(SQL_SUCCEEDED(SQLColAttribute(h, column, precisionId, nullptr, 0, nullptr, &c.precision)));
    }
    return c;
}

namespace {

constexpr size_t kSlot = sizeof(SQLLEN);
constexpr char kGuard = '\x5A';
constexpr size_t kGuardBytes = 64;

// The record bytes of one column value, and its indicator.
struct RecordValue {
    const char* value;
    SQLLEN indicator;
};

RecordValue valueAt(const TQueryODBC& q, const std::vector<char>& record, int column, size_t row = 0,
                    size_t rowSize = 0) {
    size_t offset = row * rowSize;
    for (int n = 1; n < column; ++n) offset += static_cast<size_t>(q.ColumnLength(n)) + kSlot;
    RecordValue v{record.data() + offset, 0};
    std::memcpy(&v.indicator, v.value + q.ColumnLength(column), kSlot);
    return v;
}

size_t rowSizeOf(const TQueryODBC& q) {
    size_t size = 0;
    for (int n = 1; n <= q.ColumnCount(); ++n) size += static_cast<size_t>(q.ColumnLength(n)) + kSlot;
    return size;
}

// A record of `rows` rows followed by guard bytes that no driver may touch.
std::vector<char> guardedRecord(const TQueryODBC& q, size_t rows) {
    return std::vector<char>(rowSizeOf(q) * rows + kGuardBytes, kGuard);
}

bool guardIntact(const std::vector<char>& record) {
    for (size_t i = record.size() - kGuardBytes; i < record.size(); ++i)
        if (record[i] != kGuard) return false;
    return true;
}

}  // namespace

// --- the buffer-length table ------------------------------------------------------

TEST_F(QueryDriverTest, BufferLengthsFollowTheDriversDescription) {
    REQUIRE_TABLES();
    std::string ddl = "CREATE TABLE " + table_ + " (id INTEGER, txt " + profile_->textType + ", amount " +
                      profile_->decimalType + ", body " + profile_->longTextType;
    if (!profile_->longBinaryType.empty()) ddl += ", raw " + profile_->longBinaryType;
    q_->ExecDirect(ddl + ")");
    const std::string select = "SELECT * FROM " + table_;

    for (TqoODBCVersion version : {ODBC20, ODBC30, ODBC35}) {
        SCOPED_TRACE(version);
        auto q = MakeQuery(version);
        q->SetSQLText(select);
        q->Prepare();
        SQLHSTMT h = q->StmtHandle();
        ASSERT_GE(q->ColumnCount(), 4);
        for (int n = 1; n <= q->ColumnCount(); ++n) {
            const DriverColumn c = DescribeByDriver(h, static_cast<SQLUSMALLINT>(n), version);
            SCOPED_TRACE(c.name);
            EXPECT_EQ(q->ColumnName(n), c.name);
            EXPECT_EQ(q->ColumnType(n), c.type);
            int expected = 0;
            switch (c.type) {
            case SQL_INTEGER: case SQL_REAL: expected = 4; break;
            case SQL_SMALLINT: expected = 2; break;
            case SQL_FLOAT: case SQL_DOUBLE: expected = 8; break;
            case SQL_BIGINT: expected = 21; break;
            case SQL_NUMERIC: case SQL_DECIMAL: expected = static_cast<int>(c.precision) + 3; break;
            case SQL_CHAR: case SQL_VARCHAR: expected = static_cast<int>(c.length) + 1; break;
            case SQL_LONGVARCHAR:
                expected = static_cast<int>(std::min<SQLLEN>(c.length, q->MaxLongData)) + 1;
                break;
            case SQL_LONGVARBINARY:  // an unknown length (SQL_NO_TOTAL) is cut like any long one
                expected = c.length < 0 ? q->MaxLongData : static_cast<int>(std::min<SQLLEN>(c.length, q->MaxLongData));
                break;
            case SQL_BINARY: case SQL_VARBINARY: expected = static_cast<int>(c.length); break;
            default: ADD_FAILURE() << "type " << c.type << " not expected here";
            }
            EXPECT_EQ(q->ColumnLength(n), expected);
        }
        q->FreeStatements(0);
    }
}

TEST_F(QueryDriverTest, LongColumnsAreCutToMaxLongDataThenMaxLongVarChar) {
    REQUIRE_TABLES();
    std::string ddl = "CREATE TABLE " + table_ + " (body " + profile_->longTextType;
    if (!profile_->longBinaryType.empty()) ddl += ", raw " + profile_->longBinaryType;
    q_->ExecDirect(ddl + ")");
    q_->SetSQLText("SELECT * FROM " + table_);
    q_->Prepare();
    const DriverColumn body = DescribeByDriver(q_->StmtHandle(), 1, ODBC20);
    ASSERT_TRUE(body.type == SQL_LONGVARCHAR || body.type == SQL_WLONGVARCHAR) << body.type;
    const int driverLength = static_cast<int>(body.length);
    ASSERT_GT(driverLength, 2);
    const bool withBinary = !profile_->longBinaryType.empty();
    const DriverColumn raw = withBinary ? DescribeByDriver(q_->StmtHandle(), 2, ODBC20) : DriverColumn();
    const int binaryLength = static_cast<int>(raw.length);

    struct Case {
        int maxLongData, maxLongVarChar;
        int64_t text;
    };
    const Case cases[] = {
        {driverLength, 0, int64_t{driverLength} + 1},  // exactly the driver's length: not cut
        {driverLength - 1, 0, driverLength},           // one less: cut
        {driverLength - 1, driverLength - 2, driverLength - 1},  // MaxLongVarChar smaller: wins
        {driverLength - 1, driverLength, driverLength},          // MaxLongVarChar larger: no effect
        {10, 0, 11},
    };
    // A driver that gives its long columns the largest length leaves no room
    // for the zero: the first case (length + 1) cannot be stated then.
    const bool exactCaseFits = driverLength < INT32_MAX - 1;
    for (const Case& c : cases) {
        if (&c == &cases[0] && !exactCaseFits) continue;
        SCOPED_TRACE(std::to_string(c.maxLongData) + "/" + std::to_string(c.maxLongVarChar));
        q_->MaxLongData = c.maxLongData;
        q_->MaxLongVarChar = c.maxLongVarChar;
        q_->Prepare();
        EXPECT_EQ(q_->ColumnLength(1), c.text);
        if (raw.type == SQL_LONGVARBINARY) {
            EXPECT_EQ(q_->ColumnLength(2), std::min(binaryLength, c.maxLongData));  // no zero, no MaxLongVarChar
        } else if (withBinary) {
            EXPECT_EQ(q_->ColumnLength(2), binaryLength);  // a binary column that is not long is never cut
        }
    }
}

TEST_F(QueryDriverTest, FetchToRecReportsLongValuesCutShort) {
    REQUIRE_TABLES();
    q_->ExecDirect("CREATE TABLE " + table_ + " (id INTEGER, body " + profile_->longTextType + ")");
    const std::string fits(10, 'f');
    const std::string longer = std::string(10, 'c') + "cut";
    q_->ExecDirect("INSERT INTO " + table_ + " VALUES (1, '" + fits + "')");
    q_->ExecDirect("INSERT INTO " + table_ + " VALUES (2, '" + longer + "')");
    for (TqoODBCVersion version : {ODBC20, ODBC30}) {
        SCOPED_TRACE(version);
        auto q = MakeQuery(version);
        q->MaxLongData = 10;  // room for ten characters and the zero
        q->SetSQLText("SELECT id, body FROM " + table_ + " ORDER BY id");
        q->Execute();
        ASSERT_EQ(q->ColumnLength(2), 11);
        std::vector<char> record = guardedRecord(*q, 1);
        ASSERT_TRUE(q->FetchToRec(record.data()));  // exactly ten: whole, no report
        EXPECT_EQ(std::string(valueAt(*q, record, 2).value), fits);

        EODBCError e = CatchODBC([&] { q->FetchToRec(record.data()); });
        EXPECT_EQ(e.SQLState, "01004");
        EXPECT_EQ(std::string(valueAt(*q, record, 2).value), std::string(10, 'c'));
        const SQLLEN indicator = valueAt(*q, record, 2).indicator;
        EXPECT_TRUE(indicator == SQL_NO_TOTAL || indicator == static_cast<SQLLEN>(longer.size())) << indicator;
        EXPECT_TRUE(guardIntact(record));
        EXPECT_FALSE(q->FetchToRec(record.data()));

        // Without exceptions the row still arrives and the cut is shown.
        ui_->messages.clear();
        q->SetExceptionOn(false);
        q->Execute();
        EXPECT_TRUE(q->FetchToRec(record.data()));
        EXPECT_TRUE(ui_->messages.empty());
        EXPECT_TRUE(q->FetchToRec(record.data()));
        ASSERT_EQ(ui_->messages.size(), 1u);
        EXPECT_NE(ui_->messages[0].find("01004"), std::string::npos) << ui_->messages[0];
    }
}

TEST_F(QueryDriverTest, TypeMapWidensTheBufferButValuesArriveWhole) {
    REQUIRE_TABLES();
    q_->ExecDirect("CREATE TABLE " + table_ + " (id INTEGER, price " + profile_->decimalType + ")");
    q_->ExecDirect("INSERT INTO " + table_ + " VALUES (12345, 678.25)");
    q_->SetSQLText("SELECT id, price FROM " + table_);
    q_->Prepare();
    const int plainId = q_->ColumnLength(1);
    const int plainPrice = q_->ColumnLength(2);
    const SQLSMALLINT idType = q_->ColumnType(1);
    const SQLSMALLINT priceType = q_->ColumnType(2);

    q_->AddTypeMap(idType, SQL_C_CHAR);
    q_->AddTypeMap(priceType, SQL_C_CHAR);
    q_->TypeMapOn = true;
    q_->Prepare();
    // One more for the zero, unless the table's length already holds one.
    auto hasZero = [](SQLSMALLINT t) { return t == SQL_NUMERIC || t == SQL_DECIMAL || t == SQL_VARCHAR; };
    EXPECT_EQ(q_->ColumnLength(1), plainId + (hasZero(idType) ? 0 : 1));
    EXPECT_EQ(q_->ColumnLength(2), plainPrice + (hasZero(priceType) ? 0 : 1));

    q_->Execute();
    std::vector<char> record = guardedRecord(*q_, 1);
    ASSERT_TRUE(q_->FetchToRec(record.data()));  // nothing cut, nothing reported
    const RecordValue id = valueAt(*q_, record, 1);
    if (idType == SQL_INTEGER) {
        // Bound in the column's own C type: the whole number, not "123".
        int32_t value = 0;
        std::memcpy(&value, id.value, sizeof value);
        EXPECT_EQ(value, 12345);
        EXPECT_EQ(id.indicator, 4);
    } else {
        EXPECT_STREQ(id.value, "12345");
    }
    EXPECT_TRUE(guardIntact(record));

    // Text fetches are not touched by the map.
    q_->FreeStatements(1);
    q_->Execute();
    ASSERT_TRUE(q_->Fetch());
    EXPECT_EQ(q_->RowValues()[1], "12345");
    EXPECT_EQ(std::stod(q_->RowValues()[2]), 678.25);
}

// --- rowsets ---------------------------------------------------------------------------

namespace {

// A component that scrolls with this call set, or null when the driver cannot.
std::unique_ptr<TQueryODBC> scrolling(std::unique_ptr<TQueryODBC> q) {
    q->SetFetchScroll(true);
    q->Connect();
    if (!q->FetchScroll()) return nullptr;
    return q;
}

SQLULEN driverRowsetSize(SQLHSTMT h, TqoODBCVersion version) {
    SQLULEN size = 0;
    if (version == ODBC20)
        SQLGetStmtOption(h, SQL_ROWSET_SIZE, &size);
    else
        SQLGetStmtAttr(h, SQL_ATTR_ROW_ARRAY_SIZE, &size, 0, nullptr);
    return size;
}

// Asks for a rowset; false when the driver refused row-wise binding, in
// which case it must still fetch one row at a time.
bool askRowset(TQueryODBC& q, int rows, TqoODBCVersion version) {
    try {
        q.SetRowsetSize(rows);
        return true;
    } catch (const EODBCError& refused) {
        EXPECT_EQ(driverRowsetSize(q.StmtHandle(), version), 1u) << refused.ErrorMessage;
        return false;
    }
}

}  // namespace

class RowsetTest : public QueryDriverTest, public ::testing::WithParamInterface<TqoODBCVersion> {
protected:
    // A table of `rows` rows and a component that scrolls with the call set
    // under test; q stays null (the test marked skipped) when the driver cannot.
    void ScrollingOverRows(int rows, std::unique_ptr<TQueryODBC>& q) {
        if (!profile_->ddl) GTEST_SKIP() << "driver without tables";
        CreateStandardTable(rows);
        q = scrolling(MakeQuery(GetParam()));
        if (!q) GTEST_SKIP() << "driver without scrolling fetch for this call set";
    }
};

TEST_P(RowsetTest, RowsetsOfThreeRowsThenOneRowAgain) {
    const TqoODBCVersion version = GetParam();
    std::unique_ptr<TQueryODBC> q;
    ScrollingOverRows(5, q);
    if (!q) return;
    q->SetSQLText("SELECT id, name FROM " + table_ + " ORDER BY id");
    q->Execute();
    const size_t rowSize = rowSizeOf(*q);
    SQLUSMALLINT status[3] = {99, 99, 99};
    q->FetchRowStatus = status;
    if (!askRowset(*q, 3, version)) GTEST_SKIP() << "driver without row-wise binding for this call set";
    EXPECT_EQ(driverRowsetSize(q->StmtHandle(), version), 3u);

    std::vector<char> rows = guardedRecord(*q, 3);
    ASSERT_TRUE(q->FetchToRec(rows.data()));
    for (size_t r = 0; r < 3; ++r) {
        EXPECT_EQ(status[r], SQL_ROW_SUCCESS);
        EXPECT_STREQ(valueAt(*q, rows, 2, r, rowSize).value, ("name" + std::to_string(r + 1)).c_str());
    }
    ASSERT_TRUE(q->FetchToRec(rows.data()));  // rows 4 and 5, then no third row
    EXPECT_STREQ(valueAt(*q, rows, 2, 0, rowSize).value, "name4");
    EXPECT_STREQ(valueAt(*q, rows, 2, 1, rowSize).value, "name5");
    EXPECT_EQ(status[2], SQL_ROW_NOROW);
    EXPECT_TRUE(guardIntact(rows));

    // Taken back to one row: a record of one row is all the driver may fill.
    q->SetRowsetSize(0);
    q->FetchRowStatus = nullptr;
    EXPECT_EQ(driverRowsetSize(q->StmtHandle(), version), 1u);
    q->FetchOrientation = SQL_FETCH_FIRST;
    std::vector<char> one = guardedRecord(*q, 1);
    ASSERT_TRUE(q->FetchToRec(one.data()));
    EXPECT_STREQ(valueAt(*q, one, 2).value, "name1");
    EXPECT_TRUE(guardIntact(one));
    // The text fetch keeps to its single status word as well.
    q->FetchOrientation = SQL_FETCH_NEXT;
    ASSERT_TRUE(q->Fetch());
    EXPECT_EQ(q->RowValues()[2], "name2");
}

TEST_P(RowsetTest, ASizeTakenBackBetweenExecutionsOfAClosedStatement) {
    const TqoODBCVersion version = GetParam();
    std::unique_ptr<TQueryODBC> q;
    ScrollingOverRows(4, q);
    if (!q) return;
    q->SetCursorState(qoClose);  // the statement, and its driver rowset size, survive the end of the result
    q->SetSQLText("SELECT id, name FROM " + table_ + " WHERE id > ? ORDER BY id");
    q->Prepare();
    q->SetParamType(1, SQL_CHAR);
    q->SetParam(1, "0");
    q->Execute();
    SQLUSMALLINT status[4] = {};
    q->FetchRowStatus = status;
    if (!askRowset(*q, 4, version)) GTEST_SKIP() << "driver without row-wise binding for this call set";
    std::vector<char> four = guardedRecord(*q, 4);
    ASSERT_TRUE(q->FetchToRec(four.data()));
    EXPECT_FALSE(q->FetchToRec(four.data()));  // closed, still prepared

    q->SetRowsetSize(0);  // not executed now: takes effect at the next fetch
    q->FetchRowStatus = nullptr;
    q->Execute();
    std::vector<char> one = guardedRecord(*q, 1);
    ASSERT_TRUE(q->FetchToRec(one.data()));
    EXPECT_TRUE(guardIntact(one));
    EXPECT_EQ(driverRowsetSize(q->StmtHandle(), version), 1u);

    // The text fetch as well, after a size left in force by an earlier execution.
    q->FreeStatements(1);
    q->SetRowsetSize(4);
    q->FetchRowStatus = status;
    q->Execute();
    ASSERT_TRUE(q->FetchToRec(four.data()));
    q->FreeStatements(1);
    q->SetRowsetSize(0);
    q->FetchRowStatus = nullptr;
    q->Execute();
    ASSERT_TRUE(q->Fetch());
    EXPECT_EQ(q->RowValues()[1], "1");
    EXPECT_EQ(driverRowsetSize(q->StmtHandle(), version), 1u);
}

TEST_P(RowsetTest, BookmarkFetchReturnsToARow) {
    const TqoODBCVersion version = GetParam();
    std::unique_ptr<TQueryODBC> q;
    ScrollingOverRows(5, q);
    if (!q) return;
    SQLUINTEGER directions = 0;
    SQLGetInfo(q->ConnHandle(), SQL_FETCH_DIRECTION, &directions, sizeof directions, nullptr);
    if (!(directions & SQL_FD_FETCH_BOOKMARK)) GTEST_SKIP() << "driver without bookmark fetch";
    q->SetCursorState(qoKeep);
    q->SetSQLText("SELECT id, name FROM " + table_ + " ORDER BY id");
    q->Execute();
    q->FetchOrientation = SQL_FETCH_ABSOLUTE;
    q->FetchOffset = 3;
    ASSERT_TRUE(q->Fetch());
    ASSERT_EQ(q->RowValues()[2], "name3");
    SQLUINTEGER bookmark = 0;
    SQLLEN length = 0;
    ASSERT_TRUE(SQL_SUCCEEDED(
        SQLGetData(q->StmtHandle(), 0, SQL_C_BOOKMARK, &bookmark, sizeof bookmark, &length)));

    q->FetchOrientation = SQL_FETCH_FIRST;
    q->FetchOffset = 0;
    ASSERT_TRUE(q->Fetch());
    EXPECT_EQ(q->RowValues()[2], "name1");
    q->FetchOrientation = SQL_FETCH_BOOKMARK;
    q->FetchOffset = static_cast<long>(bookmark);
    ASSERT_TRUE(q->Fetch());
    EXPECT_EQ(q->RowValues()[2], "name3");
    if (version != ODBC20) {
        EXPECT_EQ(q->FetchOffset, 0);  // handed to the driver as the bookmark
    }
}

INSTANTIATE_TEST_SUITE_P(CallSets, RowsetTest, ::testing::Values(ODBC20, ODBC30),
                         [](const ::testing::TestParamInfo<TqoODBCVersion>& info) {
                             return info.param == ODBC20 ? std::string("Odbc2") : std::string("Odbc3");
                         });
