// Connecting: SQLConnect, SQLDriverConnect, refused logins, SQLGetInfo and
// SQLGetFunctions as the driver manager passes them on.
#include "OdbcTestSupport.h"

#include <cstring>

using namespace kelvtest;

namespace {

std::string InfoText(SQLHDBC dbc, SQLUSMALLINT type) {
    char buffer[256] = {0};
    SQLSMALLINT length = 0;
    EXPECT_EQ(SQL_SUCCESS, SQLGetInfo(dbc, type, buffer, sizeof buffer, &length));
    EXPECT_EQ(static_cast<size_t>(length), std::strlen(buffer));
    return buffer;
}

}  // namespace

TEST(DriverConnect, ConnectsWithDataSourceUserAndPassword) {
    Connection conn;
    ASSERT_ODBC_OK(conn.Connect(kFakeDsn), SQL_HANDLE_DBC, conn.Dbc());
    EXPECT_EQ("SYSTEM", InfoText(conn.Dbc(), SQL_USER_NAME));
    EXPECT_EQ(kFakeDsn, InfoText(conn.Dbc(), SQL_DATA_SOURCE_NAME));
}

TEST(DriverConnect, WrongPasswordFailsWithOracleLoginError) {
    Connection conn;
    EXPECT_EQ(SQL_ERROR, conn.Connect(kFakeDsn, "system", "wrong"));
    const auto diags = Diagnostics(SQL_HANDLE_DBC, conn.Dbc());
    ASSERT_FALSE(diags.empty());
    EXPECT_EQ("28000", diags[0].State);
    EXPECT_EQ(1017, diags[0].Native);
    EXPECT_NE(std::string::npos, diags[0].Message.find("ORA-01017: invalid username/password; logon denied"));
    // A refused connection leaves the handle reusable.
    EXPECT_ODBC_OK(conn.Connect(kFakeDsn), SQL_HANDLE_DBC, conn.Dbc());
}

TEST(DriverConnect, RefusedConnectionFaultIsReported) {
    Connection conn;
    EXPECT_EQ(SQL_ERROR, conn.Connect(kFakeDownDsn));
    const auto diags = Diagnostics(SQL_HANDLE_DBC, conn.Dbc());
    ASSERT_FALSE(diags.empty());
    EXPECT_EQ("08001", diags[0].State);
    EXPECT_EQ(12541, diags[0].Native);
}

TEST(DriverConnect, ConnectionStringCompletesWithUserAndExtraKeys) {
    Connection conn;
    std::string completed;
    ASSERT_ODBC_OK(conn.DriverConnect(std::string("DSN=") + kFakeDsn + ";UID=system;PWD=manager;Banner={Test; banner}",
                                      &completed),
                   SQL_HANDLE_DBC, conn.Dbc());
    EXPECT_EQ(std::string("DSN=") + kFakeDsn + ";UID=system;PWD=manager;BANNER={Test; banner};", completed);
    // The key of the connection string reached the instance.
    Handle stmt = conn.NewStatement();
    ASSERT_ODBC_OK(SQLExecDirect(stmt, (SQLCHAR*)"SELECT BANNER FROM V$VERSION", SQL_NTS), SQL_HANDLE_STMT, stmt);
    const auto rows = FetchAllText(stmt);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ("Test; banner", rows[0][0]);
}

TEST(DriverConnect, CompletedStringIsCutToTheBufferWithTruncationWarning) {
    Connection conn;
    const std::string text = FakeConnectionString("truncate");
    unsigned char out[21];
    std::memset(out, kSentinel, sizeof out);
    SQLSMALLINT length = 0;
    const SQLRETURN rc = SQLDriverConnect(conn.Dbc(), nullptr, (SQLCHAR*)text.c_str(), SQL_NTS, out, 20, &length,
                                          SQL_DRIVER_NOPROMPT);
    EXPECT_EQ(SQL_SUCCESS_WITH_INFO, rc);
    EXPECT_EQ(19u, std::strlen(reinterpret_cast<char*>(out)));
    EXPECT_EQ(kSentinel, out[20]);
    EXPECT_GT(length, 19);
    const auto diags = Diagnostics(SQL_HANDLE_DBC, conn.Dbc());
    ASSERT_FALSE(diags.empty());
    EXPECT_EQ("01004", diags[0].State);
    SQLDisconnect(conn.Dbc());
}

TEST(DriverConnect, WrongPasswordInConnectionStringFails) {
    Connection conn;
    EXPECT_EQ(SQL_ERROR, conn.DriverConnect(std::string("DSN=") + kFakeDsn + ";UID=system;PWD=nope"));
    const auto diags = Diagnostics(SQL_HANDLE_DBC, conn.Dbc());
    ASSERT_FALSE(diags.empty());
    EXPECT_EQ("28000", diags[0].State);
}

TEST(DriverInfo, ReportsDriverAndDatabaseFacts) {
    Connection conn;
    ASSERT_ODBC_OK(conn.Connect(kFakeDsn), SQL_HANDLE_DBC, conn.Dbc());
    EXPECT_EQ("03.00", InfoText(conn.Dbc(), SQL_DRIVER_ODBC_VER));
    EXPECT_EQ("Oracle", InfoText(conn.Dbc(), SQL_DBMS_NAME));
    EXPECT_EQ("10.02.0000", InfoText(conn.Dbc(), SQL_DBMS_VER));

    SQLUINTEGER directions = 0;
    ASSERT_EQ(SQL_SUCCESS, SQLGetInfo(conn.Dbc(), SQL_FETCH_DIRECTION, &directions, sizeof directions, nullptr));
    // Next, first, last, prior, absolute, relative and bookmark.
    EXPECT_EQ(0xBFu, directions);

    SQLUSMALLINT commit = 99;
    ASSERT_EQ(SQL_SUCCESS, SQLGetInfo(conn.Dbc(), SQL_CURSOR_COMMIT_BEHAVIOR, &commit, sizeof commit, nullptr));
    EXPECT_EQ(SQL_CB_CLOSE, commit);
    SQLUSMALLINT txn = 0;
    ASSERT_EQ(SQL_SUCCESS, SQLGetInfo(conn.Dbc(), SQL_TXN_CAPABLE, &txn, sizeof txn, nullptr));
    EXPECT_NE(SQL_TC_NONE, txn);
    SQLUINTEGER getData = 0;
    ASSERT_EQ(SQL_SUCCESS, SQLGetInfo(conn.Dbc(), SQL_GETDATA_EXTENSIONS, &getData, sizeof getData, nullptr));
    EXPECT_TRUE(getData & SQL_GD_ANY_COLUMN);
    SQLUSMALLINT maxColumnName = 0;
    ASSERT_EQ(SQL_SUCCESS, SQLGetInfo(conn.Dbc(), SQL_MAX_COLUMN_NAME_LEN, &maxColumnName, sizeof maxColumnName, nullptr));
    EXPECT_EQ(30, maxColumnName);
}

TEST(DriverInfo, TextInfoIsCutToTheBuffer) {
    Connection conn;
    ASSERT_ODBC_OK(conn.Connect(kFakeDsn), SQL_HANDLE_DBC, conn.Dbc());
    unsigned char buffer[5];
    std::memset(buffer, kSentinel, sizeof buffer);
    SQLSMALLINT length = 0;
    EXPECT_EQ(SQL_SUCCESS_WITH_INFO, SQLGetInfo(conn.Dbc(), SQL_DBMS_NAME, buffer, 4, &length));
    EXPECT_STREQ("Ora", reinterpret_cast<char*>(buffer));
    EXPECT_EQ(kSentinel, buffer[4]);
    EXPECT_EQ(6, length);
}

TEST(DriverInfo, UnknownInfoTypeIsRefused) {
    Connection conn;
    ASSERT_ODBC_OK(conn.Connect(kFakeDsn), SQL_HANDLE_DBC, conn.Dbc());
    SQLUINTEGER value = 0;
    EXPECT_EQ(SQL_ERROR, SQLGetInfo(conn.Dbc(), 9999, &value, sizeof value, nullptr));
    const auto diags = Diagnostics(SQL_HANDLE_DBC, conn.Dbc());
    ASSERT_FALSE(diags.empty());
    EXPECT_EQ("HY096", diags[0].State);
}

TEST(DriverInfo, FunctionListMatchesWhatTheDriverOffers) {
    Connection conn;
    ASSERT_ODBC_OK(conn.Connect(kFakeDsn), SQL_HANDLE_DBC, conn.Dbc());
    auto has = [&](SQLUSMALLINT id) {
        SQLUSMALLINT supported = 99;
        EXPECT_EQ(SQL_SUCCESS, SQLGetFunctions(conn.Dbc(), id, &supported));
        return supported == SQL_TRUE;
    };
    for (SQLUSMALLINT id : {SQL_API_SQLEXTENDEDFETCH, SQL_API_SQLFETCHSCROLL, SQL_API_SQLBINDPARAMETER,
                            SQL_API_SQLDRIVERCONNECT, SQL_API_SQLTABLES, SQL_API_SQLCOLUMNS, SQL_API_SQLSTATISTICS,
                            SQL_API_SQLGETTYPEINFO, SQL_API_SQLPROCEDURES, SQL_API_SQLPROCEDURECOLUMNS,
                            SQL_API_SQLNUMPARAMS, SQL_API_SQLMORERESULTS, SQL_API_SQLNATIVESQL})
        EXPECT_TRUE(has(id)) << "function " << id;
    for (SQLUSMALLINT id : {SQL_API_SQLSETPOS, SQL_API_SQLBULKOPERATIONS, SQL_API_SQLFOREIGNKEYS,
                            SQL_API_SQLPRIMARYKEYS, SQL_API_SQLPUTDATA, SQL_API_SQLPARAMDATA})
        EXPECT_FALSE(has(id)) << "function " << id;
}
