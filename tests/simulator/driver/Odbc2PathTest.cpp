// The ODBC 2 call set of the query component, which the driver manager
// maps onto the driver's ODBC 3 entry points.
#include "OdbcTestSupport.h"

#include <cstring>

using namespace kelvtest;

namespace {

// Environment, connection and statement allocated the ODBC 2 way.
class Odbc2Test : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(SQL_SUCCESS, SQLAllocEnv(&env));
        ASSERT_EQ(SQL_SUCCESS, SQLAllocConnect(env, &dbc));
    }
    void TearDown() override {
        if (stmt != SQL_NULL_HSTMT)
            SQLFreeStmt(stmt, SQL_DROP);
        if (connected)
            SQLDisconnect(dbc);
        SQLFreeConnect(dbc);
        SQLFreeEnv(env);
    }
    void ConnectAndAllocate() {
        ASSERT_TRUE(SQL_SUCCEEDED(SQLConnect(dbc, (SQLCHAR*)kFakeDsn, SQL_NTS, (SQLCHAR*)"system", SQL_NTS,
                                             (SQLCHAR*)"manager", SQL_NTS)));
        connected = true;
        ASSERT_EQ(SQL_SUCCESS, SQLAllocStmt(dbc, &stmt));
    }
    // First record of SQLError for the statement (state, native, message).
    DiagEntry Error() {
        SQLCHAR state[6] = {0};
        SQLINTEGER native = 0;
        SQLCHAR message[256] = {0};
        SQLSMALLINT length = 0;
        SQLError(env, dbc, stmt, state, &native, message, sizeof message, &length);
        return {reinterpret_cast<char*>(state), native, reinterpret_cast<char*>(message)};
    }

    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    bool connected = false;
};

}  // namespace

TEST_F(Odbc2Test, PrepareParameterExecuteFetchAsTheComponentDoes) {
    ConnectAndAllocate();
    ASSERT_EQ(SQL_SUCCESS, SQLPrepare(stmt, (SQLCHAR*)" SELECT N, NAME, NOTE FROM NUMBERS WHERE N <= ? ", SQL_NTS));
    SQLSMALLINT columns = 0;
    ASSERT_EQ(SQL_SUCCESS, SQLNumResultCols(stmt, &columns));
    EXPECT_EQ(3, columns);
    char limit[] = "2";
    SQLLEN indicator = SQL_NTS;
    ASSERT_EQ(SQL_SUCCESS, SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_CHAR, 255, 0, limit, 0, &indicator));
    ASSERT_EQ(SQL_SUCCESS, SQLExecute(stmt));

    SQLLEN length = 0;
    char name[64] = {0};
    SQLSMALLINT nameLength = 0;
    ASSERT_EQ(SQL_SUCCESS, SQLColAttributes(stmt, 2, SQL_COLUMN_NAME, name, sizeof name, &nameLength, nullptr));
    EXPECT_STREQ("NAME", name);
    ASSERT_EQ(SQL_SUCCESS, SQLColAttributes(stmt, 2, SQL_COLUMN_LENGTH, nullptr, 0, nullptr, &length));
    EXPECT_EQ(20, length);
    ASSERT_EQ(SQL_SUCCESS, SQLColAttributes(stmt, 1, SQL_COLUMN_PRECISION, nullptr, 0, nullptr, &length));
    EXPECT_EQ(10, length);
    ASSERT_EQ(SQL_SUCCESS, SQLColAttributes(stmt, 1, SQL_COLUMN_SCALE, nullptr, 0, nullptr, &length));
    EXPECT_EQ(0, length);
    ASSERT_EQ(SQL_SUCCESS, SQLColAttributes(stmt, 1, SQL_COLUMN_TYPE, nullptr, 0, nullptr, &length));
    EXPECT_EQ(SQL_NUMERIC, length);

    int rows = 0;
    while (SQLFetch(stmt) == SQL_SUCCESS) {
        char value[513];
        SQLLEN valueLength = 0;
        ASSERT_EQ(SQL_SUCCESS, SQLGetData(stmt, 2, SQL_C_CHAR, value, sizeof value, &valueLength));
        EXPECT_EQ("row" + std::to_string(++rows), std::string(value, static_cast<size_t>(valueLength)));
    }
    EXPECT_EQ(2, rows);
}

TEST_F(Odbc2Test, DateColumnsUseTheOdbc2TypeCodes) {
    ConnectAndAllocate();
    ASSERT_EQ(SQL_SUCCESS, SQLExecDirect(stmt, (SQLCHAR*)"SELECT D, AMOUNT, WORD FROM DATES", SQL_NTS));
    SQLSMALLINT type = 0;
    ASSERT_EQ(SQL_SUCCESS, SQLDescribeCol(stmt, 1, nullptr, 0, nullptr, &type, nullptr, nullptr, nullptr));
    EXPECT_EQ(SQL_TIMESTAMP, type);
}

TEST_F(Odbc2Test, ErrorsArriveThroughSqlErrorInOrder) {
    ConnectAndAllocate();
    EXPECT_EQ(SQL_ERROR, SQLExecDirect(stmt, (SQLCHAR*)"FAIL2", SQL_NTS));
    const DiagEntry first = Error();
    EXPECT_EQ(942, first.Native);
    EXPECT_NE(std::string::npos, first.Message.find("ORA-00942"));
    const DiagEntry second = Error();
    EXPECT_EQ(6512, second.Native);
    SQLCHAR state[6] = {0};
    SQLINTEGER native = 0;
    SQLCHAR message[256];
    SQLSMALLINT length = 0;
    EXPECT_EQ(SQL_NO_DATA, SQLError(env, dbc, stmt, state, &native, message, sizeof message, &length));
}

TEST_F(Odbc2Test, WrongPasswordReportsTheLoginError) {
    EXPECT_EQ(SQL_ERROR, SQLConnect(dbc, (SQLCHAR*)kFakeDsn, SQL_NTS, (SQLCHAR*)"system", SQL_NTS,
                                    (SQLCHAR*)"bad", SQL_NTS));
    const DiagEntry error = Error();
    EXPECT_EQ("28000", error.State);
    EXPECT_EQ(1017, error.Native);
}

TEST_F(Odbc2Test, ConnectOptionsAndTransact) {
    ConnectAndAllocate();
    ASSERT_EQ(SQL_SUCCESS, SQLSetConnectOption(dbc, SQL_AUTOCOMMIT, SQL_AUTOCOMMIT_OFF));
    SQLUINTEGER mode = 99;
    ASSERT_EQ(SQL_SUCCESS, SQLGetConnectOption(dbc, SQL_AUTOCOMMIT, &mode));
    EXPECT_EQ(SQL_AUTOCOMMIT_OFF, mode);
    ASSERT_EQ(SQL_SUCCESS, SQLExecDirect(stmt, (SQLCHAR*)"DELETE FROM T", SQL_NTS));
    SQLLEN count = -5;
    ASSERT_EQ(SQL_SUCCESS, SQLRowCount(stmt, &count));
    EXPECT_GE(count, 0);
    EXPECT_EQ(SQL_SUCCESS, SQLTransact(env, dbc, SQL_ROLLBACK));
    EXPECT_EQ(SQL_SUCCESS, SQLTransact(env, dbc, SQL_COMMIT));
    EXPECT_EQ(SQL_SUCCESS, SQLSetConnectOption(dbc, SQL_ACCESS_MODE, SQL_MODE_READ_ONLY));
}

TEST_F(Odbc2Test, ExtendedFetchScrollsWithStaticCursor) {
    ASSERT_TRUE(SQL_SUCCEEDED(SQLConnect(dbc, (SQLCHAR*)kFakeDsn, SQL_NTS, (SQLCHAR*)"system", SQL_NTS,
                                         (SQLCHAR*)"manager", SQL_NTS)));
    connected = true;
    SQLUSMALLINT exists = SQL_FALSE;
    ASSERT_EQ(SQL_SUCCESS, SQLGetFunctions(dbc, SQL_API_SQLEXTENDEDFETCH, &exists));
    EXPECT_EQ(SQL_TRUE, exists);
    // As the component does: cursor type on the connection before the statement.
    EXPECT_TRUE(SQL_SUCCEEDED(SQLSetConnectOption(dbc, SQL_CURSOR_TYPE, SQL_CURSOR_STATIC)));
    ASSERT_EQ(SQL_SUCCESS, SQLAllocStmt(dbc, &stmt));
    ASSERT_EQ(SQL_SUCCESS, SQLExecDirect(stmt, (SQLCHAR*)"SELECT N, NAME, NOTE FROM NUMBERS", SQL_NTS));
    SQLULEN rows = 0;
    SQLUSMALLINT status[1] = {99};
    ASSERT_EQ(SQL_SUCCESS, SQLExtendedFetch(stmt, SQL_FETCH_LAST, 0, &rows, status));
    EXPECT_EQ(1u, rows);
    EXPECT_EQ(SQL_ROW_SUCCESS, status[0]);
    char value[16];
    SQLLEN length = 0;
    ASSERT_EQ(SQL_SUCCESS, SQLGetData(stmt, 1, SQL_C_CHAR, value, sizeof value, &length));
    EXPECT_STREQ("10", value);
    ASSERT_EQ(SQL_SUCCESS, SQLExtendedFetch(stmt, SQL_FETCH_PRIOR, 0, &rows, status));
    ASSERT_EQ(SQL_SUCCESS, SQLGetData(stmt, 1, SQL_C_CHAR, value, sizeof value, &length));
    EXPECT_STREQ("9", value);
}

TEST_F(Odbc2Test, FreeStmtCloseKeepsThePreparedStatement) {
    ConnectAndAllocate();
    ASSERT_EQ(SQL_SUCCESS, SQLPrepare(stmt, (SQLCHAR*)"SELECT 1 FROM DUAL", SQL_NTS));
    ASSERT_EQ(SQL_SUCCESS, SQLExecute(stmt));
    ASSERT_EQ(SQL_SUCCESS, SQLFreeStmt(stmt, SQL_CLOSE));
    ASSERT_EQ(SQL_SUCCESS, SQLExecute(stmt));
    EXPECT_EQ(SQL_SUCCESS, SQLFetch(stmt));
    EXPECT_EQ(SQL_SUCCESS, SQLFreeStmt(stmt, SQL_UNBIND));
    EXPECT_EQ(SQL_SUCCESS, SQLFreeStmt(stmt, SQL_DROP));
    stmt = SQL_NULL_HSTMT;
}

TEST_F(Odbc2Test, RowsetSizeOptionGivesExtendedFetchItsRowset) {
    ConnectAndAllocate();
    ASSERT_EQ(SQL_SUCCESS, SQLSetStmtOption(stmt, SQL_ROWSET_SIZE, 3));
    ASSERT_EQ(SQL_SUCCESS, SQLExecDirect(stmt, (SQLCHAR*)"SELECT N, NAME, NOTE FROM NUMBERS", SQL_NTS));
    SQLINTEGER numbers[3] = {0};
    SQLLEN lengths[3] = {0};
    ASSERT_EQ(SQL_SUCCESS, SQLBindCol(stmt, 1, SQL_C_SLONG, numbers, 0, lengths));
    SQLULEN rows = 0;
    SQLUSMALLINT status[3] = {0};
    ASSERT_EQ(SQL_SUCCESS, SQLExtendedFetch(stmt, SQL_FETCH_NEXT, 0, &rows, status));
    EXPECT_EQ(3u, rows);
    EXPECT_EQ(3, numbers[2]);
    ASSERT_EQ(SQL_SUCCESS, SQLExtendedFetch(stmt, SQL_FETCH_NEXT, 0, &rows, status));
    EXPECT_EQ(4, numbers[0]);
}
