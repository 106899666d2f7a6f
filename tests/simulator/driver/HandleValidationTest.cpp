// The driver's own checks, called directly (the driver manager would catch
// many of these before the driver sees them): invalid handles of every
// kind, wrong handle types, freed handles, null pointers and bad lengths.
#include "OdbcTestSupport.h"

#include <dlfcn.h>

#include <cstring>

using namespace kelvtest;

namespace {

// The driver's entry points, resolved from the module itself.
class DirectDriver : public ::testing::Test {
protected:
    void SetUp() override {
        module = dlopen(KELV_FAKE_DRIVER, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(nullptr, module) << dlerror();
    }
    void TearDown() override {
        if (module)
            dlclose(module);
    }
    template <class F>
    F* Entry(const char* name) {
        void* symbol = dlsym(module, name);
        EXPECT_NE(nullptr, symbol) << name;
        return reinterpret_cast<F*>(symbol);
    }
    // A connected driver-level connection with one statement.
    void Connect() {
        auto alloc = Entry<decltype(SQLAllocHandle)>("SQLAllocHandle");
        auto setEnv = Entry<decltype(SQLSetEnvAttr)>("SQLSetEnvAttr");
        auto driverConnect = Entry<decltype(SQLDriverConnect)>("SQLDriverConnect");
        ASSERT_EQ(SQL_SUCCESS, alloc(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env));
        ASSERT_EQ(SQL_SUCCESS, setEnv(env, SQL_ATTR_ODBC_VERSION, (SQLPOINTER)SQL_OV_ODBC3, 0));
        ASSERT_EQ(SQL_SUCCESS, alloc(SQL_HANDLE_DBC, env, &dbc));
        const std::string text = "UID=system;PWD=manager;DATABASE=" + InstancePath("direct");
        ASSERT_EQ(SQL_SUCCESS, driverConnect(dbc, nullptr, (SQLCHAR*)text.c_str(), SQL_NTS, nullptr, 0, nullptr,
                                             SQL_DRIVER_NOPROMPT));
        ASSERT_EQ(SQL_SUCCESS, alloc(SQL_HANDLE_STMT, dbc, &stmt));
    }
    void Disconnect() {
        auto freeHandle = Entry<decltype(SQLFreeHandle)>("SQLFreeHandle");
        auto disconnect = Entry<decltype(SQLDisconnect)>("SQLDisconnect");
        if (stmt)
            freeHandle(SQL_HANDLE_STMT, stmt);
        if (dbc) {
            disconnect(dbc);
            freeHandle(SQL_HANDLE_DBC, dbc);
        }
        if (env)
            freeHandle(SQL_HANDLE_ENV, env);
        stmt = dbc = env = SQL_NULL_HANDLE;
    }

    void* module = nullptr;
    SQLHANDLE env = SQL_NULL_HANDLE;
    SQLHANDLE dbc = SQL_NULL_HANDLE;
    SQLHANDLE stmt = SQL_NULL_HANDLE;
};

}  // namespace

TEST_F(DirectDriver, NullAndForeignHandlesAreInvalid) {
    auto execDirect = Entry<decltype(SQLExecDirect)>("SQLExecDirect");
    auto fetch = Entry<decltype(SQLFetch)>("SQLFetch");
    auto getInfo = Entry<decltype(SQLGetInfo)>("SQLGetInfo");
    auto diagRec = Entry<decltype(SQLGetDiagRec)>("SQLGetDiagRec");
    EXPECT_EQ(SQL_INVALID_HANDLE, execDirect(nullptr, (SQLCHAR*)"SELECT 1 FROM DUAL", SQL_NTS));
    EXPECT_EQ(SQL_INVALID_HANDLE, fetch(nullptr));
    // A pointer the driver never handed out is never read through.
    long long garbage[16] = {0};
    EXPECT_EQ(SQL_INVALID_HANDLE, fetch(garbage));
    EXPECT_EQ(SQL_INVALID_HANDLE, getInfo(garbage, SQL_DBMS_NAME, nullptr, 0, nullptr));
    EXPECT_EQ(SQL_INVALID_HANDLE, diagRec(SQL_HANDLE_STMT, garbage, 1, nullptr, nullptr, nullptr, 0, nullptr));
    EXPECT_EQ(SQL_INVALID_HANDLE, diagRec(99, garbage, 1, nullptr, nullptr, nullptr, 0, nullptr));
}

TEST_F(DirectDriver, HandleOfTheWrongKindIsInvalid) {
    Connect();
    auto fetch = Entry<decltype(SQLFetch)>("SQLFetch");
    auto getInfo = Entry<decltype(SQLGetInfo)>("SQLGetInfo");
    auto freeHandle = Entry<decltype(SQLFreeHandle)>("SQLFreeHandle");
    EXPECT_EQ(SQL_INVALID_HANDLE, fetch(dbc));
    EXPECT_EQ(SQL_INVALID_HANDLE, fetch(env));
    EXPECT_EQ(SQL_INVALID_HANDLE, getInfo(stmt, SQL_DBMS_NAME, nullptr, 0, nullptr));
    EXPECT_EQ(SQL_INVALID_HANDLE, freeHandle(SQL_HANDLE_DBC, stmt));
    EXPECT_EQ(SQL_INVALID_HANDLE, freeHandle(SQL_HANDLE_STMT, env));
    Disconnect();
}

TEST_F(DirectDriver, FreedStatementIsInvalid) {
    Connect();
    auto freeHandle = Entry<decltype(SQLFreeHandle)>("SQLFreeHandle");
    auto fetch = Entry<decltype(SQLFetch)>("SQLFetch");
    SQLHANDLE freed = stmt;
    ASSERT_EQ(SQL_SUCCESS, freeHandle(SQL_HANDLE_STMT, stmt));
    stmt = SQL_NULL_HANDLE;
    EXPECT_EQ(SQL_INVALID_HANDLE, fetch(freed));
    EXPECT_EQ(SQL_INVALID_HANDLE, freeHandle(SQL_HANDLE_STMT, freed));
    Disconnect();
}

TEST_F(DirectDriver, ConnectedHandlesCannotBeFreedOutOfOrder) {
    Connect();
    auto freeHandle = Entry<decltype(SQLFreeHandle)>("SQLFreeHandle");
    EXPECT_EQ(SQL_ERROR, freeHandle(SQL_HANDLE_DBC, dbc));
    EXPECT_EQ(SQL_ERROR, freeHandle(SQL_HANDLE_ENV, env));
    Disconnect();
}

TEST_F(DirectDriver, NullPointersAndNegativeLengthsAreRefusedCleanly) {
    Connect();
    auto execDirect = Entry<decltype(SQLExecDirect)>("SQLExecDirect");
    auto prepare = Entry<decltype(SQLPrepare)>("SQLPrepare");
    auto numCols = Entry<decltype(SQLNumResultCols)>("SQLNumResultCols");
    auto rowCount = Entry<decltype(SQLRowCount)>("SQLRowCount");
    auto describe = Entry<decltype(SQLDescribeCol)>("SQLDescribeCol");
    auto getData = Entry<decltype(SQLGetData)>("SQLGetData");
    auto fetch = Entry<decltype(SQLFetch)>("SQLFetch");
    auto bindCol = Entry<decltype(SQLBindCol)>("SQLBindCol");
    auto diagRec = Entry<decltype(SQLGetDiagRec)>("SQLGetDiagRec");
    auto getInfo = Entry<decltype(SQLGetInfo)>("SQLGetInfo");
    auto connect = Entry<decltype(SQLConnect)>("SQLConnect");

    EXPECT_EQ(SQL_ERROR, execDirect(stmt, nullptr, SQL_NTS));
    EXPECT_EQ(SQL_ERROR, prepare(stmt, (SQLCHAR*)"SELECT 1 FROM DUAL", -7));
    SQLCHAR state[6] = {0};
    ASSERT_EQ(SQL_SUCCESS, diagRec(SQL_HANDLE_STMT, stmt, 1, state, nullptr, nullptr, 0, nullptr));
    EXPECT_STREQ("HY090", reinterpret_cast<char*>(state));
    EXPECT_EQ(SQL_ERROR, diagRec(SQL_HANDLE_STMT, stmt, 0, state, nullptr, nullptr, 0, nullptr));
    EXPECT_EQ(SQL_ERROR, diagRec(SQL_HANDLE_STMT, stmt, 1, state, nullptr, nullptr, -1, nullptr));

    // Before any statement: sequence errors, not crashes.
    SQLSMALLINT columns = 0;
    EXPECT_EQ(SQL_ERROR, numCols(stmt, &columns));
    EXPECT_EQ(SQL_ERROR, fetch(stmt));
    SQLLEN count = 0;
    EXPECT_EQ(SQL_ERROR, rowCount(stmt, &count));

    ASSERT_EQ(SQL_SUCCESS, execDirect(stmt, (SQLCHAR*)"SELECT TXT, EMPTY, NOTHING FROM LONGTEXT", SQL_NTS));
    EXPECT_EQ(SQL_ERROR, numCols(stmt, nullptr));
    EXPECT_EQ(SQL_SUCCESS, describe(stmt, 1, nullptr, 0, nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(SQL_ERROR, describe(stmt, 1, nullptr, -1, nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(SQL_ERROR, bindCol(stmt, 1, SQL_C_CHAR, state, -1, nullptr));
    EXPECT_EQ(SQL_ERROR, bindCol(stmt, 1, 12345, state, sizeof state, nullptr));
    ASSERT_EQ(SQL_SUCCESS, fetch(stmt));
    SQLLEN indicator = 0;
    EXPECT_EQ(SQL_ERROR, getData(stmt, 1, SQL_C_SLONG, nullptr, 0, &indicator));
    EXPECT_EQ(SQL_ERROR, getData(stmt, 1, 12345, state, sizeof state, &indicator));
    // A zero-length request only reports the length.
    EXPECT_EQ(SQL_SUCCESS_WITH_INFO, getData(stmt, 1, SQL_C_CHAR, nullptr, 0, &indicator));
    EXPECT_EQ(1000, indicator);

    SQLSMALLINT length = 0;
    EXPECT_EQ(SQL_SUCCESS, getInfo(dbc, SQL_DBMS_NAME, nullptr, 0, &length));
    EXPECT_EQ(6, length);
    EXPECT_EQ(SQL_ERROR, getInfo(dbc, SQL_DBMS_NAME, state, -2, &length));
    // A second connect on a connected handle.
    EXPECT_EQ(SQL_ERROR, connect(dbc, nullptr, 0, nullptr, 0, nullptr, 0));
    Disconnect();
}

TEST_F(DirectDriver, StatementNeedsAnOpenConnection) {
    auto alloc = Entry<decltype(SQLAllocHandle)>("SQLAllocHandle");
    auto freeHandle = Entry<decltype(SQLFreeHandle)>("SQLFreeHandle");
    ASSERT_EQ(SQL_SUCCESS, alloc(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env));
    ASSERT_EQ(SQL_SUCCESS, alloc(SQL_HANDLE_DBC, env, &dbc));
    SQLHANDLE statement = SQL_NULL_HANDLE;
    EXPECT_EQ(SQL_ERROR, alloc(SQL_HANDLE_STMT, dbc, &statement));
    EXPECT_EQ(SQL_NULL_HANDLE, statement);
    EXPECT_EQ(SQL_INVALID_HANDLE, alloc(SQL_HANDLE_STMT, env, &statement));
    EXPECT_EQ(SQL_ERROR, alloc(SQL_HANDLE_ENV, SQL_NULL_HANDLE, nullptr));
    EXPECT_EQ(SQL_SUCCESS, freeHandle(SQL_HANDLE_DBC, dbc));
    EXPECT_EQ(SQL_SUCCESS, freeHandle(SQL_HANDLE_ENV, env));
    dbc = env = SQL_NULL_HANDLE;
}

TEST_F(DirectDriver, ReportedFunctionsAreExactlyTheExportedOnes) {
    // The driver manager hides exported functions reported missing, and
    // calls reported ones: the two lists must agree.
    static const std::pair<SQLUSMALLINT, const char*> kFunctions[] = {
        {SQL_API_SQLALLOCHANDLE, "SQLAllocHandle"}, {SQL_API_SQLFREEHANDLE, "SQLFreeHandle"},
        {SQL_API_SQLFREESTMT, "SQLFreeStmt"}, {SQL_API_SQLSETENVATTR, "SQLSetEnvAttr"},
        {SQL_API_SQLGETENVATTR, "SQLGetEnvAttr"}, {SQL_API_SQLCONNECT, "SQLConnect"},
        {SQL_API_SQLDRIVERCONNECT, "SQLDriverConnect"}, {SQL_API_SQLBROWSECONNECT, "SQLBrowseConnect"},
        {SQL_API_SQLDISCONNECT, "SQLDisconnect"}, {SQL_API_SQLGETINFO, "SQLGetInfo"},
        {SQL_API_SQLGETFUNCTIONS, "SQLGetFunctions"}, {SQL_API_SQLGETDIAGREC, "SQLGetDiagRec"},
        {SQL_API_SQLGETDIAGFIELD, "SQLGetDiagField"}, {SQL_API_SQLSETCONNECTATTR, "SQLSetConnectAttr"},
        {SQL_API_SQLGETCONNECTATTR, "SQLGetConnectAttr"}, {SQL_API_SQLSETSTMTATTR, "SQLSetStmtAttr"},
        {SQL_API_SQLGETSTMTATTR, "SQLGetStmtAttr"}, {SQL_API_SQLPREPARE, "SQLPrepare"},
        {SQL_API_SQLNUMPARAMS, "SQLNumParams"}, {SQL_API_SQLDESCRIBEPARAM, "SQLDescribeParam"},
        {SQL_API_SQLBINDPARAMETER, "SQLBindParameter"}, {SQL_API_SQLEXECUTE, "SQLExecute"},
        {SQL_API_SQLEXECDIRECT, "SQLExecDirect"}, {SQL_API_SQLNUMRESULTCOLS, "SQLNumResultCols"},
        {SQL_API_SQLDESCRIBECOL, "SQLDescribeCol"}, {SQL_API_SQLCOLATTRIBUTE, "SQLColAttribute"},
        {SQL_API_SQLROWCOUNT, "SQLRowCount"}, {SQL_API_SQLFETCH, "SQLFetch"},
        {SQL_API_SQLFETCHSCROLL, "SQLFetchScroll"}, {SQL_API_SQLEXTENDEDFETCH, "SQLExtendedFetch"},
        {SQL_API_SQLGETDATA, "SQLGetData"}, {SQL_API_SQLBINDCOL, "SQLBindCol"},
        {SQL_API_SQLSETCURSORNAME, "SQLSetCursorName"}, {SQL_API_SQLGETCURSORNAME, "SQLGetCursorName"},
        {SQL_API_SQLCLOSECURSOR, "SQLCloseCursor"}, {SQL_API_SQLCANCEL, "SQLCancel"},
        {SQL_API_SQLENDTRAN, "SQLEndTran"}, {SQL_API_SQLMORERESULTS, "SQLMoreResults"},
        {SQL_API_SQLNATIVESQL, "SQLNativeSql"}, {SQL_API_SQLTABLES, "SQLTables"},
        {SQL_API_SQLCOLUMNS, "SQLColumns"}, {SQL_API_SQLSTATISTICS, "SQLStatistics"},
        {SQL_API_SQLGETTYPEINFO, "SQLGetTypeInfo"}, {SQL_API_SQLPROCEDURES, "SQLProcedures"},
        {SQL_API_SQLPROCEDURECOLUMNS, "SQLProcedureColumns"}, {SQL_API_SQLSETPOS, "SQLSetPos"},
        {SQL_API_SQLBULKOPERATIONS, "SQLBulkOperations"}, {SQL_API_SQLPUTDATA, "SQLPutData"},
        {SQL_API_SQLPARAMDATA, "SQLParamData"}, {SQL_API_SQLFOREIGNKEYS, "SQLForeignKeys"},
        {SQL_API_SQLPRIMARYKEYS, "SQLPrimaryKeys"}, {SQL_API_SQLSPECIALCOLUMNS, "SQLSpecialColumns"},
        {SQL_API_SQLTABLEPRIVILEGES, "SQLTablePrivileges"}, {SQL_API_SQLCOLUMNPRIVILEGES, "SQLColumnPrivileges"},
        {SQL_API_SQLGETDESCFIELD, "SQLGetDescField"}, {SQL_API_SQLSETDESCFIELD, "SQLSetDescField"},
        {SQL_API_SQLGETDESCREC, "SQLGetDescRec"}, {SQL_API_SQLSETDESCREC, "SQLSetDescRec"},
        {SQL_API_SQLCOPYDESC, "SQLCopyDesc"},
    };
    Connect();
    auto getFunctions = Entry<decltype(SQLGetFunctions)>("SQLGetFunctions");
    SQLUSMALLINT bitmap[SQL_API_ODBC3_ALL_FUNCTIONS_SIZE] = {0};
    ASSERT_EQ(SQL_SUCCESS, getFunctions(dbc, SQL_API_ODBC3_ALL_FUNCTIONS, bitmap));
    for (const auto& [id, name] : kFunctions) {
        const bool reported = SQL_FUNC_EXISTS(bitmap, id) == SQL_TRUE;
        const bool exported = dlsym(module, name) != nullptr;
        EXPECT_EQ(exported, reported) << name;
    }
    Disconnect();
}
