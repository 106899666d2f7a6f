// Statements: prepare, describe, parameters, execute, row counts.
#include "OdbcTestSupport.h"

#include <cstring>

using namespace kelvtest;

namespace {

class StatementTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_ODBC_OK(conn.DriverConnect(FakeConnectionString("statements")), SQL_HANDLE_DBC, conn.Dbc());
        stmt = conn.NewStatement();
    }
    std::vector<DiagEntry> StmtDiags() const { return Diagnostics(SQL_HANDLE_STMT, stmt); }

    Connection conn;
    Handle stmt;
};

}  // namespace

TEST_F(StatementTest, PreparedStatementIsDescribedBeforeExecution) {
    ASSERT_ODBC_OK(SQLPrepare(stmt, (SQLCHAR*)"SELECT N, NAME, NOTE FROM NUMBERS WHERE N <= ?", SQL_NTS),
                   SQL_HANDLE_STMT, stmt);
    SQLSMALLINT params = 0;
    ASSERT_ODBC_OK(SQLNumParams(stmt, &params), SQL_HANDLE_STMT, stmt);
    EXPECT_EQ(1, params);
    SQLSMALLINT columns = 0;
    ASSERT_ODBC_OK(SQLNumResultCols(stmt, &columns), SQL_HANDLE_STMT, stmt);
    EXPECT_EQ(3, columns);

    char name[64];
    SQLSMALLINT nameLength = 0, type = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
    ASSERT_ODBC_OK(SQLDescribeCol(stmt, 1, (SQLCHAR*)name, sizeof name, &nameLength, &type, &size, &digits, &nullable),
                   SQL_HANDLE_STMT, stmt);
    EXPECT_STREQ("N", name);
    EXPECT_EQ(SQL_NUMERIC, type);
    EXPECT_EQ(10u, size);
    EXPECT_EQ(SQL_NO_NULLS, nullable);
    ASSERT_ODBC_OK(SQLDescribeCol(stmt, 2, (SQLCHAR*)name, sizeof name, &nameLength, &type, &size, &digits, &nullable),
                   SQL_HANDLE_STMT, stmt);
    EXPECT_STREQ("NAME", name);
    EXPECT_EQ(SQL_VARCHAR, type);
    EXPECT_EQ(20u, size);
    EXPECT_EQ(SQL_NULLABLE, nullable);
}

TEST_F(StatementTest, TextParameterWithNtsLimitsTheResult) {
    char limit[] = "3";
    SQLLEN indicator = SQL_NTS;
    ASSERT_ODBC_OK(SQLPrepare(stmt, (SQLCHAR*)"SELECT N, NAME, NOTE FROM NUMBERS WHERE N <= ?", SQL_NTS),
                   SQL_HANDLE_STMT, stmt);
    ASSERT_ODBC_OK(SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_CHAR, 255, 0, limit, 0, &indicator),
                   SQL_HANDLE_STMT, stmt);
    ASSERT_ODBC_OK(SQLExecute(stmt), SQL_HANDLE_STMT, stmt);
    EXPECT_EQ(3u, FetchAllText(stmt).size());
    // The same prepared statement runs again with a changed value.
    SQLCloseCursor(stmt);
    std::strcpy(limit, "5");
    ASSERT_ODBC_OK(SQLExecute(stmt), SQL_HANDLE_STMT, stmt);
    EXPECT_EQ(5u, FetchAllText(stmt).size());
}

TEST_F(StatementTest, ParametersKeepLengthNullAndNumericTypes) {
    char text[] = "abcdef";
    SQLLEN textLength = 3;
    SQLLEN nullIndicator = SQL_NULL_DATA;
    SQLINTEGER number = -42;
    SQLDOUBLE real = 2.5;
    ASSERT_ODBC_OK(SQLPrepare(stmt, (SQLCHAR*)"ECHO ?, ?, ?, ?", SQL_NTS), SQL_HANDLE_STMT, stmt);
    ASSERT_ODBC_OK(SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 10, 0, text, sizeof text, &textLength),
                   SQL_HANDLE_STMT, stmt);
    ASSERT_ODBC_OK(SQLBindParameter(stmt, 2, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 10, 0, text, sizeof text, &nullIndicator),
                   SQL_HANDLE_STMT, stmt);
    ASSERT_ODBC_OK(SQLBindParameter(stmt, 3, SQL_PARAM_INPUT, SQL_C_LONG, SQL_INTEGER, 0, 0, &number, 0, nullptr),
                   SQL_HANDLE_STMT, stmt);
    ASSERT_ODBC_OK(SQLBindParameter(stmt, 4, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 0, 0, &real, 0, nullptr),
                   SQL_HANDLE_STMT, stmt);
    ASSERT_ODBC_OK(SQLExecute(stmt), SQL_HANDLE_STMT, stmt);
    const auto rows = FetchAllText(stmt);
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ((std::vector<std::string>{"abc", "<NULL>", "-42", "2.5"}), rows[0]);
}

TEST_F(StatementTest, NullTerminatedParameterNeverReadsPastItsBuffer) {
    // No terminating zero inside the declared buffer length.
    char text[4] = {'w', 'x', 'y', 'z'};
    SQLLEN indicator = SQL_NTS;
    ASSERT_ODBC_OK(SQLPrepare(stmt, (SQLCHAR*)"ECHO ?", SQL_NTS), SQL_HANDLE_STMT, stmt);
    ASSERT_ODBC_OK(SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 4, 0, text, sizeof text, &indicator),
                   SQL_HANDLE_STMT, stmt);
    ASSERT_ODBC_OK(SQLExecute(stmt), SQL_HANDLE_STMT, stmt);
    const auto rows = FetchAllText(stmt);
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ("wxyz", rows[0][0]);
}

TEST_F(StatementTest, MissingParameterFailsAtExecution) {
    char value[] = "1";
    SQLLEN indicator = SQL_NTS;
    ASSERT_ODBC_OK(SQLPrepare(stmt, (SQLCHAR*)"ECHO ?, ?, ?", SQL_NTS), SQL_HANDLE_STMT, stmt);
    ASSERT_ODBC_OK(SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_CHAR, 255, 0, value, 0, &indicator),
                   SQL_HANDLE_STMT, stmt);
    ASSERT_ODBC_OK(SQLBindParameter(stmt, 3, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_CHAR, 255, 0, value, 0, &indicator),
                   SQL_HANDLE_STMT, stmt);
    EXPECT_EQ(SQL_ERROR, SQLExecute(stmt));
    ASSERT_FALSE(StmtDiags().empty());
    EXPECT_EQ("07002", StmtDiags()[0].State);
}

TEST_F(StatementTest, MarkersInLiteralsAndCommentsAreNotParameters) {
    ASSERT_ODBC_OK(SQLPrepare(stmt, (SQLCHAR*)"ECHO '?' /* ? */ -- ?\n, ?", SQL_NTS), SQL_HANDLE_STMT, stmt);
    SQLSMALLINT params = 0;
    ASSERT_ODBC_OK(SQLNumParams(stmt, &params), SQL_HANDLE_STMT, stmt);
    EXPECT_EQ(1, params);
}

TEST_F(StatementTest, ResetParametersForgetsTheBindings) {
    char value[] = "2";
    SQLLEN indicator = SQL_NTS;
    ASSERT_ODBC_OK(SQLPrepare(stmt, (SQLCHAR*)"ECHO ?", SQL_NTS), SQL_HANDLE_STMT, stmt);
    ASSERT_ODBC_OK(SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_CHAR, 255, 0, value, 0, &indicator),
                   SQL_HANDLE_STMT, stmt);
    ASSERT_ODBC_OK(SQLFreeStmt(stmt, SQL_RESET_PARAMS), SQL_HANDLE_STMT, stmt);
    EXPECT_EQ(SQL_ERROR, SQLExecute(stmt));
    EXPECT_EQ("07002", StmtDiags().at(0).State);
}

TEST_F(StatementTest, RowCountsOfChangesAndQueries) {
    ASSERT_ODBC_OK(SQLExecDirect(stmt, (SQLCHAR*)"UPDATE NUMBERS SET NAME = 'x'", SQL_NTS), SQL_HANDLE_STMT, stmt);
    SQLLEN count = 0;
    ASSERT_ODBC_OK(SQLRowCount(stmt, &count), SQL_HANDLE_STMT, stmt);
    EXPECT_EQ(3, count);
    SQLSMALLINT columns = -1;
    ASSERT_ODBC_OK(SQLNumResultCols(stmt, &columns), SQL_HANDLE_STMT, stmt);
    EXPECT_EQ(0, columns);
    // A statement without a result leaves no cursor to fetch from.
    EXPECT_EQ(SQL_ERROR, SQLFetch(stmt));
}

TEST_F(StatementTest, OpenCursorRefusesAnotherStatementUntilClosed) {
    ASSERT_ODBC_OK(SQLExecDirect(stmt, (SQLCHAR*)"SELECT N, NAME, NOTE FROM NUMBERS", SQL_NTS), SQL_HANDLE_STMT, stmt);
    EXPECT_EQ(SQL_ERROR, SQLExecDirect(stmt, (SQLCHAR*)"SELECT 1 FROM DUAL", SQL_NTS));
    EXPECT_EQ("24000", StmtDiags().at(0).State);
    ASSERT_ODBC_OK(SQLFreeStmt(stmt, SQL_CLOSE), SQL_HANDLE_STMT, stmt);
    EXPECT_ODBC_OK(SQLExecDirect(stmt, (SQLCHAR*)"SELECT 1 FROM DUAL", SQL_NTS), SQL_HANDLE_STMT, stmt);
    ASSERT_ODBC_OK(SQLCloseCursor(stmt), SQL_HANDLE_STMT, stmt);
    EXPECT_EQ(SQL_ERROR, SQLCloseCursor(stmt));
    EXPECT_EQ("24000", StmtDiags().at(0).State);
}

TEST_F(StatementTest, EmptyStatementIsAnOracleError) {
    EXPECT_EQ(SQL_ERROR, SQLExecDirect(stmt, (SQLCHAR*)"   ", SQL_NTS));
    ASSERT_FALSE(StmtDiags().empty());
    EXPECT_EQ(900, StmtDiags()[0].Native);
    EXPECT_NE(std::string::npos, StmtDiags()[0].Message.find("ORA-00900"));
}

TEST_F(StatementTest, ColumnAttributesAndTheirLimits) {
    ASSERT_ODBC_OK(SQLExecDirect(stmt, (SQLCHAR*)"SELECT D, AMOUNT, WORD FROM DATES", SQL_NTS), SQL_HANDLE_STMT, stmt);
    SQLLEN number = 0;
    ASSERT_ODBC_OK(SQLColAttribute(stmt, 2, SQL_DESC_PRECISION, nullptr, 0, nullptr, &number), SQL_HANDLE_STMT, stmt);
    EXPECT_EQ(10, number);
    ASSERT_ODBC_OK(SQLColAttribute(stmt, 2, SQL_DESC_SCALE, nullptr, 0, nullptr, &number), SQL_HANDLE_STMT, stmt);
    EXPECT_EQ(2, number);
    ASSERT_ODBC_OK(SQLColAttribute(stmt, 2, SQL_DESC_UNSIGNED, nullptr, 0, nullptr, &number), SQL_HANDLE_STMT, stmt);
    EXPECT_EQ(SQL_FALSE, number);
    ASSERT_ODBC_OK(SQLColAttribute(stmt, 3, SQL_DESC_OCTET_LENGTH, nullptr, 0, nullptr, &number), SQL_HANDLE_STMT, stmt);
    EXPECT_EQ(10, number);
    ASSERT_ODBC_OK(SQLColAttribute(stmt, 1, SQL_DESC_CONCISE_TYPE, nullptr, 0, nullptr, &number), SQL_HANDLE_STMT, stmt);
    EXPECT_EQ(SQL_TYPE_TIMESTAMP, number);
    ASSERT_ODBC_OK(SQLColAttribute(stmt, 1, SQL_DESC_TYPE, nullptr, 0, nullptr, &number), SQL_HANDLE_STMT, stmt);
    EXPECT_EQ(SQL_DATETIME, number);
    ASSERT_ODBC_OK(SQLColAttribute(stmt, 0, SQL_DESC_COUNT, nullptr, 0, nullptr, &number), SQL_HANDLE_STMT, stmt);
    EXPECT_EQ(3, number);

    unsigned char name[4];
    std::memset(name, kSentinel, sizeof name);
    SQLSMALLINT length = 0;
    EXPECT_EQ(SQL_SUCCESS_WITH_INFO, SQLColAttribute(stmt, 2, SQL_DESC_NAME, name, 3, &length, nullptr));
    EXPECT_STREQ("AM", reinterpret_cast<char*>(name));
    EXPECT_EQ(kSentinel, name[3]);
    EXPECT_EQ(6, length);

    EXPECT_EQ(SQL_ERROR, SQLColAttribute(stmt, 4, SQL_DESC_NAME, name, 3, &length, nullptr));
    EXPECT_EQ("07009", StmtDiags().at(0).State);
    SQLSMALLINT type = 0;
    EXPECT_EQ(SQL_ERROR, SQLDescribeCol(stmt, 9, nullptr, 0, nullptr, &type, nullptr, nullptr, nullptr));
    EXPECT_EQ("07009", StmtDiags().at(0).State);
}

TEST_F(StatementTest, CursorNamesAreGeneratedAndChecked) {
    char name[32] = {0};
    SQLSMALLINT length = 0;
    ASSERT_ODBC_OK(SQLGetCursorName(stmt, (SQLCHAR*)name, sizeof name, &length), SQL_HANDLE_STMT, stmt);
    EXPECT_EQ(0, std::strncmp(name, "SQL_CUR", 7));
    ASSERT_ODBC_OK(SQLSetCursorName(stmt, (SQLCHAR*)"MYCURSOR", SQL_NTS), SQL_HANDLE_STMT, stmt);
    ASSERT_ODBC_OK(SQLGetCursorName(stmt, (SQLCHAR*)name, sizeof name, &length), SQL_HANDLE_STMT, stmt);
    EXPECT_STREQ("MYCURSOR", name);
    Handle other = conn.NewStatement();
    EXPECT_EQ(SQL_ERROR, SQLSetCursorName(other, (SQLCHAR*)"mycursor", SQL_NTS));
    EXPECT_EQ("3C000", Diagnostics(SQL_HANDLE_STMT, other).at(0).State);
    EXPECT_EQ(SQL_ERROR, SQLSetCursorName(other, (SQLCHAR*)"SQL_CUR9", SQL_NTS));
    EXPECT_EQ("34000", Diagnostics(SQL_HANDLE_STMT, other).at(0).State);
}

TEST_F(StatementTest, NativeSqlAndMoreResults) {
    char out[64] = {0};
    SQLINTEGER length = 0;
    ASSERT_ODBC_OK(SQLNativeSql(conn.Dbc(), (SQLCHAR*)"SELECT 1 FROM DUAL", SQL_NTS, (SQLCHAR*)out, sizeof out, &length),
                   SQL_HANDLE_DBC, conn.Dbc());
    EXPECT_STREQ("SELECT 1 FROM DUAL", out);
    EXPECT_EQ(18, length);
    ASSERT_ODBC_OK(SQLExecDirect(stmt, (SQLCHAR*)"SELECT 1 FROM DUAL", SQL_NTS), SQL_HANDLE_STMT, stmt);
    EXPECT_EQ(SQL_NO_DATA, SQLMoreResults(stmt));
}

TEST_F(StatementTest, StatementAttributesRoundTrip) {
    SQLULEN value = 0;
    ASSERT_ODBC_OK(SQLSetStmtAttr(stmt, SQL_ATTR_CURSOR_TYPE, (SQLPOINTER)SQL_CURSOR_DYNAMIC, 0), SQL_HANDLE_STMT, stmt);
    // Dynamic cursors become static ones, with a warning.
    ASSERT_ODBC_OK(SQLGetStmtAttr(stmt, SQL_ATTR_CURSOR_TYPE, &value, 0, nullptr), SQL_HANDLE_STMT, stmt);
    EXPECT_EQ(SQL_CURSOR_STATIC, value);
    ASSERT_ODBC_OK(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, (SQLPOINTER)7, 0), SQL_HANDLE_STMT, stmt);
    ASSERT_ODBC_OK(SQLGetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, &value, 0, nullptr), SQL_HANDLE_STMT, stmt);
    EXPECT_EQ(7u, value);
    EXPECT_EQ(SQL_ERROR, SQLSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, (SQLPOINTER)0, 0));
    EXPECT_EQ("HY024", StmtDiags().at(0).State);
    ASSERT_ODBC_OK(SQLSetStmtAttr(stmt, SQL_ATTR_RETRIEVE_DATA, (SQLPOINTER)SQL_RD_OFF, 0), SQL_HANDLE_STMT, stmt);
    ASSERT_ODBC_OK(SQLGetStmtAttr(stmt, SQL_ATTR_RETRIEVE_DATA, &value, 0, nullptr), SQL_HANDLE_STMT, stmt);
    EXPECT_EQ(SQL_RD_OFF, value);
}
