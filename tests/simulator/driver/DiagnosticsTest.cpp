// Diagnostics: Oracle error stacks as several records, diagnostic fields,
// the lost connection and warnings on fetch.
#include "OdbcTestSupport.h"

#include <cstring>

using namespace kelvtest;

namespace {

class DiagnosticsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_ODBC_OK(conn.DriverConnect(FakeConnectionString("diagnostics")), SQL_HANDLE_DBC, conn.Dbc());
        stmt = conn.NewStatement();
    }
    Connection conn;
    Handle stmt;
};

}  // namespace

TEST_F(DiagnosticsTest, OracleErrorStackGivesOneRecordPerError) {
    EXPECT_EQ(SQL_ERROR, SQLExecDirect(stmt, (SQLCHAR*)"FAIL2", SQL_NTS));
    const auto diags = Diagnostics(SQL_HANDLE_STMT, stmt);
    ASSERT_EQ(2u, diags.size());
    EXPECT_EQ("42000", diags[0].State);
    EXPECT_EQ(942, diags[0].Native);
    EXPECT_EQ("ORA-00942: table or view does not exist", diags[0].Message);
    EXPECT_EQ(6512, diags[1].Native);
    EXPECT_EQ("ORA-06512: at line 1", diags[1].Message);
}

TEST_F(DiagnosticsTest, DiagnosticFieldsDescribeTheRecords) {
    EXPECT_EQ(SQL_ERROR, SQLExecDirect(stmt, (SQLCHAR*)"FAIL2", SQL_NTS));
    SQLINTEGER count = 0;
    ASSERT_EQ(SQL_SUCCESS, SQLGetDiagField(SQL_HANDLE_STMT, stmt, 0, SQL_DIAG_NUMBER, &count, 0, nullptr));
    EXPECT_EQ(2, count);
    SQLINTEGER native = 0;
    ASSERT_EQ(SQL_SUCCESS, SQLGetDiagField(SQL_HANDLE_STMT, stmt, 2, SQL_DIAG_NATIVE, &native, 0, nullptr));
    EXPECT_EQ(6512, native);
    char state[6] = {0};
    SQLSMALLINT length = 0;
    ASSERT_EQ(SQL_SUCCESS, SQLGetDiagField(SQL_HANDLE_STMT, stmt, 1, SQL_DIAG_SQLSTATE, state, sizeof state, &length));
    EXPECT_STREQ("42000", state);
    EXPECT_EQ(SQL_NO_DATA, SQLGetDiagField(SQL_HANDLE_STMT, stmt, 3, SQL_DIAG_SQLSTATE, state, sizeof state, &length));
}

TEST_F(DiagnosticsTest, MessageIsCutToTheBuffer) {
    EXPECT_EQ(SQL_ERROR, SQLExecDirect(stmt, (SQLCHAR*)"FAIL2", SQL_NTS));
    unsigned char message[11];
    std::memset(message, kSentinel, sizeof message);
    SQLCHAR state[6];
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    EXPECT_EQ(SQL_SUCCESS_WITH_INFO, SQLGetDiagRec(SQL_HANDLE_STMT, stmt, 1, state, &native, message, 10, &length));
    EXPECT_STREQ("ORA-00942", reinterpret_cast<char*>(message));
    EXPECT_EQ(kSentinel, message[10]);
    EXPECT_EQ(39, length);
    // Reading did not change the records.
    EXPECT_EQ(2u, Diagnostics(SQL_HANDLE_STMT, stmt).size());
}

TEST_F(DiagnosticsTest, NextCallClearsTheRecords) {
    EXPECT_EQ(SQL_ERROR, SQLExecDirect(stmt, (SQLCHAR*)"FAIL2", SQL_NTS));
    ASSERT_ODBC_OK(SQLExecDirect(stmt, (SQLCHAR*)"SELECT 1 FROM DUAL", SQL_NTS), SQL_HANDLE_STMT, stmt);
    EXPECT_TRUE(Diagnostics(SQL_HANDLE_STMT, stmt).empty());
}

TEST_F(DiagnosticsTest, LostConnectionFailsEveryLaterCall) {
    EXPECT_EQ(SQL_ERROR, SQLExecDirect(stmt, (SQLCHAR*)"LOSE", SQL_NTS));
    auto diags = Diagnostics(SQL_HANDLE_STMT, stmt);
    ASSERT_FALSE(diags.empty());
    EXPECT_EQ("08S01", diags[0].State);
    EXPECT_EQ(3113, diags[0].Native);

    EXPECT_EQ(SQL_ERROR, SQLExecDirect(stmt, (SQLCHAR*)"SELECT 1 FROM DUAL", SQL_NTS));
    diags = Diagnostics(SQL_HANDLE_STMT, stmt);
    ASSERT_FALSE(diags.empty());
    EXPECT_EQ("08S01", diags[0].State);

    SQLUINTEGER dead = SQL_CD_FALSE;
    ASSERT_ODBC_OK(SQLGetConnectAttr(conn.Dbc(), SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr), SQL_HANDLE_DBC, conn.Dbc());
    EXPECT_EQ(SQL_CD_TRUE, dead);
    EXPECT_EQ(SQL_ERROR, SQLEndTran(SQL_HANDLE_DBC, conn.Dbc(), SQL_COMMIT));
    // Disconnecting a lost connection still succeeds and frees it.
    stmt.Reset();
    EXPECT_ODBC_OK(SQLDisconnect(conn.Dbc()), SQL_HANDLE_DBC, conn.Dbc());
}

TEST_F(DiagnosticsTest, ErrorWhileReadingRowsFailsTheFetch) {
    ASSERT_ODBC_OK(SQLExecDirect(stmt, (SQLCHAR*)"SELECT BROKEN FROM NUMBERS", SQL_NTS), SQL_HANDLE_STMT, stmt);
    EXPECT_ODBC_OK(SQLFetch(stmt), SQL_HANDLE_STMT, stmt);
    EXPECT_EQ(SQL_ERROR, SQLFetch(stmt));
    const auto diags = Diagnostics(SQL_HANDLE_STMT, stmt);
    ASSERT_FALSE(diags.empty());
    EXPECT_EQ("HY000", diags[0].State);
    EXPECT_EQ(1013, diags[0].Native);
}

TEST(FetchWarning, EveryFetchSucceedsWithInformation) {
    Connection conn;
    ASSERT_ODBC_OK(conn.Connect(kFakeInfoDsn), SQL_HANDLE_DBC, conn.Dbc());
    Handle stmt = conn.NewStatement();
    ASSERT_ODBC_OK(SQLExecDirect(stmt, (SQLCHAR*)"SELECT N, NAME, NOTE FROM NUMBERS", SQL_NTS), SQL_HANDLE_STMT, stmt);
    EXPECT_EQ(SQL_SUCCESS_WITH_INFO, SQLFetch(stmt));
    const auto diags = Diagnostics(SQL_HANDLE_STMT, stmt);
    ASSERT_EQ(1u, diags.size());
    EXPECT_EQ("01000", diags[0].State);
    EXPECT_EQ(24347, diags[0].Native);
    // The row itself arrived.
    char buffer[16];
    SQLLEN indicator = 0;
    ASSERT_EQ(SQL_SUCCESS, SQLGetData(stmt, 2, SQL_C_CHAR, buffer, sizeof buffer, &indicator));
    EXPECT_STREQ("row1", buffer);
}

TEST(ErrorStack, KnobAddsTheLineRecordAfterTheOracleError) {
    Connection conn;
    ASSERT_ODBC_OK(conn.DriverConnect(FakeConnectionString("errorstack") + ";ErrorStack=1"), SQL_HANDLE_DBC, conn.Dbc());
    Handle stmt = conn.NewStatement();
    EXPECT_EQ(SQL_ERROR, SQLExecDirect(stmt, (SQLCHAR*)"SELECT * FROM NOWHERE", SQL_NTS));
    const auto diags = Diagnostics(SQL_HANDLE_STMT, stmt);
    ASSERT_EQ(2u, diags.size());
    EXPECT_EQ("ORA-00942: table or view does not exist", diags[0].Message);
    EXPECT_EQ(942, diags[0].Native);
    EXPECT_EQ("ORA-06512: at line 1", diags[1].Message);
    EXPECT_EQ(6512, diags[1].Native);
    // A lost connection or a warning gets no such line.
    EXPECT_EQ(SQL_ERROR, SQLExecDirect(stmt, (SQLCHAR*)"LOSE", SQL_NTS));
    EXPECT_EQ(1u, Diagnostics(SQL_HANDLE_STMT, stmt).size());
}

TEST(ErrorStack, WithoutTheKnobAnErrorHasOneRecord) {
    Connection conn;
    ASSERT_ODBC_OK(conn.DriverConnect(FakeConnectionString("errorstack")), SQL_HANDLE_DBC, conn.Dbc());
    Handle stmt = conn.NewStatement();
    EXPECT_EQ(SQL_ERROR, SQLExecDirect(stmt, (SQLCHAR*)"SELECT * FROM NOWHERE", SQL_NTS));
    EXPECT_EQ(1u, Diagnostics(SQL_HANDLE_STMT, stmt).size());
}
