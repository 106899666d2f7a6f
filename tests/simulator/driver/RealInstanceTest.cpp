// The shipped driver over the real instance engine (skipped when that
// driver is not built or its data source is not configured).
#include "OdbcTestSupport.h"

using namespace kelvtest;

namespace {

class RealInstanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!RealInstanceAvailable())
            GTEST_SKIP() << "the simulated instance driver is not available";
    }
};

}  // namespace

TEST_F(RealInstanceTest, BannerOfTheInstance) {
    Connection conn;
    ASSERT_ODBC_OK(conn.Connect(kRealDsn), SQL_HANDLE_DBC, conn.Dbc());
    Handle stmt = conn.NewStatement();
    ASSERT_ODBC_OK(SQLExecDirect(stmt, (SQLCHAR*)"SELECT BANNER FROM V$VERSION", SQL_NTS), SQL_HANDLE_STMT, stmt);
    const auto rows = FetchAllText(stmt);
    ASSERT_FALSE(rows.empty());
    EXPECT_NE(std::string::npos, rows[0][0].find("Oracle"));
}

TEST_F(RealInstanceTest, LoginCheckStatementWithTheOdbc2Calls) {
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    ASSERT_EQ(SQL_SUCCESS, SQLAllocEnv(&env));
    ASSERT_EQ(SQL_SUCCESS, SQLAllocConnect(env, &dbc));
    ASSERT_TRUE(SQL_SUCCEEDED(SQLConnect(dbc, (SQLCHAR*)kRealDsn, SQL_NTS, (SQLCHAR*)"system", SQL_NTS,
                                         (SQLCHAR*)"manager", SQL_NTS)));
    ASSERT_EQ(SQL_SUCCESS, SQLAllocStmt(dbc, &stmt));
    EXPECT_TRUE(SQL_SUCCEEDED(SQLPrepare(stmt, (SQLCHAR*)"SELECT 1 FROM DUAL ", SQL_NTS)));
    EXPECT_TRUE(SQL_SUCCEEDED(SQLExecute(stmt)));
    EXPECT_EQ(SQL_SUCCESS, SQLFetch(stmt));
    char value[16] = {0};
    SQLLEN length = 0;
    EXPECT_EQ(SQL_SUCCESS, SQLGetData(stmt, 1, SQL_C_CHAR, value, sizeof value, &length));
    EXPECT_STREQ("1", value);
    SQLFreeStmt(stmt, SQL_DROP);
    SQLDisconnect(dbc);
    SQLFreeConnect(dbc);
    SQLFreeEnv(env);
}

TEST_F(RealInstanceTest, WrongPasswordIsRefusedWithOracleError) {
    Connection conn;
    EXPECT_EQ(SQL_ERROR, conn.Connect(kRealDsn, "system", "not-the-password"));
    const auto diags = Diagnostics(SQL_HANDLE_DBC, conn.Dbc());
    ASSERT_FALSE(diags.empty());
    EXPECT_EQ("28000", diags[0].State);
    EXPECT_EQ(1017, diags[0].Native);
}

namespace {

// A connection to a fresh instance file of its own, with fault keys.
std::string RealWithFaults(const std::string& instanceName, const std::string& faults) {
    return std::string("DSN=") + kRealDsn + ";UID=system;PWD=manager;DATABASE=" + InstancePath(instanceName) + ";" +
           faults;
}

}  // namespace

TEST_F(RealInstanceTest, DroppedConnectionIsReportedAsLost) {
    Connection conn;
    ASSERT_ODBC_OK(conn.DriverConnect(RealWithFaults("real_drop", "DROPAFTER=1")), SQL_HANDLE_DBC, conn.Dbc());
    Handle stmt = conn.NewStatement();
    ASSERT_ODBC_OK(SQLExecDirect(stmt, (SQLCHAR*)"SELECT 1 FROM DUAL", SQL_NTS), SQL_HANDLE_STMT, stmt);
    SQLFreeStmt(stmt, SQL_CLOSE);
    EXPECT_EQ(SQL_ERROR, SQLExecDirect(stmt, (SQLCHAR*)"SELECT 1 FROM DUAL", SQL_NTS));
    const auto diags = Diagnostics(SQL_HANDLE_STMT, stmt);
    ASSERT_FALSE(diags.empty());
    EXPECT_EQ("08S01", diags[0].State);
    EXPECT_EQ(3113, diags[0].Native);
    EXPECT_NE(std::string::npos, diags[0].Message.find("ORA-03113"));
}

TEST_F(RealInstanceTest, FetchInfoFaultMakesFetchesSucceedWithInformation) {
    Connection conn;
    ASSERT_ODBC_OK(conn.DriverConnect(RealWithFaults("real_info", "FETCHINFO=1")), SQL_HANDLE_DBC, conn.Dbc());
    Handle stmt = conn.NewStatement();
    ASSERT_ODBC_OK(SQLExecDirect(stmt, (SQLCHAR*)"SELECT BANNER FROM V$VERSION", SQL_NTS), SQL_HANDLE_STMT, stmt);
    EXPECT_EQ(SQL_SUCCESS_WITH_INFO, SQLFetch(stmt));
    const auto diags = Diagnostics(SQL_HANDLE_STMT, stmt);
    ASSERT_FALSE(diags.empty());
    EXPECT_EQ("01000", diags[0].State);
}

TEST_F(RealInstanceTest, PreparedQueryWithTextParameter) {
    Connection conn;
    ASSERT_ODBC_OK(conn.Connect(kRealDsn), SQL_HANDLE_DBC, conn.Dbc());
    Handle stmt = conn.NewStatement();
    ASSERT_ODBC_OK(SQLPrepare(stmt, (SQLCHAR*)" SELECT BYTES FROM V$SGASTAT   WHERE UPPER(NAME) = ? ", SQL_NTS),
                   SQL_HANDLE_STMT, stmt);
    SQLSMALLINT columns = 0;
    ASSERT_ODBC_OK(SQLNumResultCols(stmt, &columns), SQL_HANDLE_STMT, stmt);
    EXPECT_EQ(1, columns);
    char name[] = "LOG_BUFFER";
    SQLLEN indicator = SQL_NTS;
    ASSERT_ODBC_OK(SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_CHAR, 255, 0, name, 0, &indicator),
                   SQL_HANDLE_STMT, stmt);
    ASSERT_ODBC_OK(SQLExecute(stmt), SQL_HANDLE_STMT, stmt);
    const auto rows = FetchAllText(stmt);
    ASSERT_EQ(1u, rows.size());
    EXPECT_GT(std::stol(rows[0][0]), 0);
}

// A client with a decimal comma reads "3,5" as text and 3.5 as a number.
TEST_F(RealInstanceTest, DecimalCommaOfTheSessionInTextAndNumberTargets) {
    Connection conn;
    ASSERT_ODBC_OK(conn.DriverConnect(RealWithFaults("real_nls", "VERSION=19;NLSLANG=GERMAN_GERMANY")), SQL_HANDLE_DBC,
                   conn.Dbc());
    Handle stmt = conn.NewStatement();
    ASSERT_ODBC_OK(SQLExecDirect(stmt, (SQLCHAR*)"SELECT 7 / 2, 7 / 2 FROM DUAL", SQL_NTS), SQL_HANDLE_STMT, stmt);
    ASSERT_EQ(SQL_SUCCESS, SQLFetch(stmt));
    char text[16] = {0};
    SQLLEN length = 0;
    ASSERT_ODBC_OK(SQLGetData(stmt, 1, SQL_C_CHAR, text, sizeof text, &length), SQL_HANDLE_STMT, stmt);
    EXPECT_STREQ("3,5", text);
    double number = 0;
    ASSERT_ODBC_OK(SQLGetData(stmt, 2, SQL_C_DOUBLE, &number, sizeof number, &length), SQL_HANDLE_STMT, stmt);
    EXPECT_EQ(3.5, number);
    SQLFreeStmt(stmt, SQL_CLOSE);
    // The program's own settings put the point back for this session.
    ASSERT_ODBC_OK(SQLExecDirect(stmt, (SQLCHAR*)"ALTER SESSION SET NLS_NUMERIC_CHARACTERS = '.,' NLS_SORT = BINARY",
                                 SQL_NTS),
                   SQL_HANDLE_STMT, stmt);
    SQLFreeStmt(stmt, SQL_CLOSE);
    ASSERT_ODBC_OK(SQLExecDirect(stmt, (SQLCHAR*)"SELECT 7 / 2 FROM DUAL", SQL_NTS), SQL_HANDLE_STMT, stmt);
    const auto rows = FetchAllText(stmt);
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ("3.5", rows[0][0]);
}
