#include "OdbcTestSupport.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace kelvtest {

namespace {
constexpr int kMaxDiagRecords = 20;
constexpr int kTextBufferSize = 4096;
}  // namespace

std::vector<DiagEntry> Diagnostics(SQLSMALLINT handleType, SQLHANDLE handle) {
    std::vector<DiagEntry> entries;
    for (SQLSMALLINT i = 1; i <= kMaxDiagRecords; ++i) {
        SQLCHAR state[6] = {0};
        SQLINTEGER native = 0;
        SQLCHAR message[1024] = {0};
        SQLSMALLINT length = 0;
        if (!SQL_SUCCEEDED(SQLGetDiagRec(handleType, handle, i, state, &native, message, sizeof message, &length)))
            break;
        entries.push_back({reinterpret_cast<char*>(state), native, reinterpret_cast<char*>(message)});
    }
    return entries;
}

std::string DescribeDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle) {
    std::ostringstream out;
    for (const auto& entry : Diagnostics(handleType, handle))
        out << "[" << entry.State << "/" << entry.Native << "] " << entry.Message << "; ";
    return out.str();
}

Connection::Connection(SQLINTEGER odbcVersion) {
    SQLHANDLE env = SQL_NULL_HANDLE;
    if (SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env) != SQL_SUCCESS)
        throw std::runtime_error("cannot allocate an environment");
    Env_ = Handle(SQL_HANDLE_ENV, env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(static_cast<SQLLEN>(odbcVersion)), 0);
    SQLHANDLE dbc = SQL_NULL_HANDLE;
    if (SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc) != SQL_SUCCESS)
        throw std::runtime_error("cannot allocate a connection");
    Dbc_ = Handle(SQL_HANDLE_DBC, dbc);
}

Connection::~Connection() {
    if (Connected)
        SQLDisconnect(Dbc_.Get());
}

SQLRETURN Connection::Connect(const std::string& dsn, const std::string& user, const std::string& password) {
    const SQLRETURN rc = SQLConnect(Dbc_.Get(), (SQLCHAR*)dsn.c_str(), SQL_NTS, (SQLCHAR*)user.c_str(), SQL_NTS,
                                    (SQLCHAR*)password.c_str(), SQL_NTS);
    Connected = Connected || SQL_SUCCEEDED(rc);
    return rc;
}

SQLRETURN Connection::DriverConnect(const std::string& text, std::string* completed) {
    SQLCHAR out[1024] = {0};
    SQLSMALLINT outLength = 0;
    const SQLRETURN rc = SQLDriverConnect(Dbc_.Get(), nullptr, (SQLCHAR*)text.c_str(), SQL_NTS, out, sizeof out,
                                          &outLength, SQL_DRIVER_NOPROMPT);
    Connected = Connected || SQL_SUCCEEDED(rc);
    if (completed)
        *completed = reinterpret_cast<char*>(out);
    return rc;
}

Handle Connection::NewStatement() {
    SQLHANDLE stmt = SQL_NULL_HANDLE;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, Dbc_.Get(), &stmt)))
        throw std::runtime_error("cannot allocate a statement: " + Errors());
    return Handle(SQL_HANDLE_STMT, stmt);
}

std::string InstancePath(const std::string& instanceName) {
    const char* dir = std::getenv("KELV_FAKE_DATA");
    return std::string(dir ? dir : "/tmp") + "/" + instanceName + ".db";
}

std::string FakeConnectionString(const std::string& instanceName) {
    return std::string("DSN=") + kFakeDsn + ";UID=system;PWD=manager;DATABASE=" + InstancePath(instanceName);
}

std::vector<std::vector<std::string>> FetchAllText(SQLHSTMT stmt) {
    std::vector<std::vector<std::string>> rows;
    SQLSMALLINT columns = 0;
    if (!SQL_SUCCEEDED(SQLNumResultCols(stmt, &columns)))
        return rows;
    while (SQL_SUCCEEDED(SQLFetch(stmt))) {
        std::vector<std::string> row;
        for (SQLUSMALLINT c = 1; c <= columns; ++c) {
            char buffer[kTextBufferSize];
            SQLLEN indicator = 0;
            SQLGetData(stmt, c, SQL_C_CHAR, buffer, sizeof buffer, &indicator);
            row.push_back(indicator == SQL_NULL_DATA ? "<NULL>" : std::string(buffer));
        }
        rows.push_back(row);
    }
    SQLFreeStmt(stmt, SQL_CLOSE);
    return rows;
}

bool RealInstanceAvailable() {
    const char* driver = std::getenv("KELV_SIM_DRIVER");
    struct stat info {};
    return driver && stat(driver, &info) == 0 && std::getenv("KELV_ORIGINAL_ODBCINI") != nullptr;
}

}  // namespace kelvtest
