// Transactions: autocommit, commit and rollback through SQLEndTran, and
// the rollback of uncommitted work at disconnect.
#include "OdbcTestSupport.h"

using namespace kelvtest;

namespace {

class TransactionTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string text = FakeConnectionString(::testing::UnitTest::GetInstance()->current_test_info()->name());
        ASSERT_ODBC_OK(writer.DriverConnect(text), SQL_HANDLE_DBC, writer.Dbc());
        ASSERT_ODBC_OK(reader.DriverConnect(text), SQL_HANDLE_DBC, reader.Dbc());
        Run(writer, "DELETE FROM T");
    }
    static void Run(Connection& conn, const char* sql) {
        Handle stmt = conn.NewStatement();
        ASSERT_ODBC_OK(SQLExecDirect(stmt, (SQLCHAR*)sql, SQL_NTS), SQL_HANDLE_STMT, stmt);
    }
    static size_t VisibleRows(Connection& conn) {
        Handle stmt = conn.NewStatement();
        EXPECT_ODBC_OK(SQLExecDirect(stmt, (SQLCHAR*)"SELECT V FROM T", SQL_NTS), SQL_HANDLE_STMT, stmt);
        return FetchAllText(stmt).size();
    }
    void ManualCommit(Connection& conn) {
        ASSERT_ODBC_OK(SQLSetConnectAttr(conn.Dbc(), SQL_ATTR_AUTOCOMMIT, (SQLPOINTER)SQL_AUTOCOMMIT_OFF, 0),
                       SQL_HANDLE_DBC, conn.Dbc());
    }

    Connection writer;
    Connection reader;
};

}  // namespace

TEST_F(TransactionTest, AutocommitMakesEachChangeVisibleAtOnce) {
    Run(writer, "INSERT INTO T VALUES ('a')");
    EXPECT_EQ(1u, VisibleRows(reader));
}

TEST_F(TransactionTest, ManualCommitHoldsChangesUntilCommit) {
    ManualCommit(writer);
    SQLUINTEGER mode = 99;
    ASSERT_ODBC_OK(SQLGetConnectAttr(writer.Dbc(), SQL_ATTR_AUTOCOMMIT, &mode, 0, nullptr), SQL_HANDLE_DBC, writer.Dbc());
    EXPECT_EQ(SQL_AUTOCOMMIT_OFF, mode);
    Run(writer, "INSERT INTO T VALUES ('a')");
    Run(writer, "INSERT INTO T VALUES ('b')");
    EXPECT_EQ(2u, VisibleRows(writer));
    EXPECT_EQ(0u, VisibleRows(reader));
    ASSERT_ODBC_OK(SQLEndTran(SQL_HANDLE_DBC, writer.Dbc(), SQL_COMMIT), SQL_HANDLE_DBC, writer.Dbc());
    EXPECT_EQ(2u, VisibleRows(reader));
}

TEST_F(TransactionTest, RollbackDiscardsChanges) {
    ManualCommit(writer);
    Run(writer, "INSERT INTO T VALUES ('a')");
    ASSERT_ODBC_OK(SQLEndTran(SQL_HANDLE_DBC, writer.Dbc(), SQL_ROLLBACK), SQL_HANDLE_DBC, writer.Dbc());
    EXPECT_EQ(0u, VisibleRows(writer));
    EXPECT_EQ(0u, VisibleRows(reader));
}

TEST_F(TransactionTest, SwitchingAutocommitOnCommitsTheOpenTransaction) {
    ManualCommit(writer);
    Run(writer, "INSERT INTO T VALUES ('a')");
    ASSERT_ODBC_OK(SQLSetConnectAttr(writer.Dbc(), SQL_ATTR_AUTOCOMMIT, (SQLPOINTER)SQL_AUTOCOMMIT_ON, 0),
                   SQL_HANDLE_DBC, writer.Dbc());
    EXPECT_EQ(1u, VisibleRows(reader));
}

TEST_F(TransactionTest, DisconnectRollsBackUncommittedWork) {
    {
        Connection temporary;
        ASSERT_ODBC_OK(temporary.DriverConnect(FakeConnectionString("DisconnectRollsBackUncommittedWork")),
                       SQL_HANDLE_DBC, temporary.Dbc());
        ManualCommit(temporary);
        Run(temporary, "INSERT INTO T VALUES ('lost')");
    }
    EXPECT_EQ(0u, VisibleRows(reader));
}

TEST_F(TransactionTest, EnvironmentWideCommitReachesEveryConnection) {
    ManualCommit(writer);
    Run(writer, "INSERT INTO T VALUES ('a')");
    ASSERT_ODBC_OK(SQLEndTran(SQL_HANDLE_ENV, writer.Env(), SQL_COMMIT), SQL_HANDLE_ENV, writer.Env());
    EXPECT_EQ(1u, VisibleRows(reader));
}

TEST_F(TransactionTest, UnknownCompletionTypeIsRefused) {
    EXPECT_EQ(SQL_ERROR, SQLEndTran(SQL_HANDLE_DBC, writer.Dbc(), 7));
}

TEST(ConnectionAttributes, ReadOnlyModeAndTimeoutsRoundTrip) {
    Connection conn;
    ASSERT_ODBC_OK(SQLSetConnectAttr(conn.Dbc(), SQL_ATTR_LOGIN_TIMEOUT, (SQLPOINTER)15, 0), SQL_HANDLE_DBC, conn.Dbc());
    ASSERT_ODBC_OK(conn.Connect(kFakeDsn), SQL_HANDLE_DBC, conn.Dbc());
    ASSERT_ODBC_OK(SQLSetConnectAttr(conn.Dbc(), SQL_ATTR_ACCESS_MODE, (SQLPOINTER)SQL_MODE_READ_ONLY, 0),
                   SQL_HANDLE_DBC, conn.Dbc());
    SQLUINTEGER value = 0;
    ASSERT_ODBC_OK(SQLGetConnectAttr(conn.Dbc(), SQL_ATTR_ACCESS_MODE, &value, 0, nullptr), SQL_HANDLE_DBC, conn.Dbc());
    EXPECT_EQ(SQL_MODE_READ_ONLY, value);
    ASSERT_ODBC_OK(SQLGetConnectAttr(conn.Dbc(), SQL_ATTR_LOGIN_TIMEOUT, &value, 0, nullptr), SQL_HANDLE_DBC, conn.Dbc());
    EXPECT_EQ(15u, value);
    char readOnly[4] = {0};
    ASSERT_ODBC_OK(SQLGetInfo(conn.Dbc(), SQL_DATA_SOURCE_READ_ONLY, readOnly, sizeof readOnly, nullptr),
                   SQL_HANDLE_DBC, conn.Dbc());
    EXPECT_STREQ("Y", readOnly);
}

TEST(ConnectionAttributes, StatementDefaultsSetOnTheConnectionReachNewStatements) {
    Connection conn;
    ASSERT_ODBC_OK(conn.Connect(kFakeDsn), SQL_HANDLE_DBC, conn.Dbc());
    ASSERT_ODBC_OK(SQLSetConnectAttr(conn.Dbc(), SQL_ATTR_CURSOR_TYPE, (SQLPOINTER)SQL_CURSOR_STATIC, 0),
                   SQL_HANDLE_DBC, conn.Dbc());
    Handle stmt = conn.NewStatement();
    SQLULEN type = 0;
    ASSERT_ODBC_OK(SQLGetStmtAttr(stmt, SQL_ATTR_CURSOR_TYPE, &type, 0, nullptr), SQL_HANDLE_STMT, stmt);
    EXPECT_EQ(SQL_CURSOR_STATIC, type);
}
