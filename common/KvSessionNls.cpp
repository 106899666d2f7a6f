#include "KvSessionNls.h"

#include "ODBCCall.h"

namespace {
constexpr SQLSMALLINT kMessageSize = 512;

TSessionNlsRefusal DiagnosticOf(SQLHSTMT stmt)
{
    SQLCHAR state[6] = {0};
    SQLCHAR message[kMessageSize + 1] = {0};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    TSessionNlsRefusal refusal;
    if (SQL_SUCCEEDED(SQLGetDiagRec(SQL_HANDLE_STMT, stmt, 1, state, &native, message, kMessageSize, &length))) {
        refusal.SQLState = reinterpret_cast<char*>(state);
        refusal.Message = reinterpret_cast<char*>(message);
    }
    if (refusal.Message.empty()) refusal.Message = "the session settings were refused";
    return refusal;
}
}  // namespace

bool SetSessionNls(TQueryODBC& query, TSessionNlsRefusal& refusal)
{
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, query.ConnHandle(), &stmt))) {
        refusal = {"HY000", "no statement for the session settings"};
        return false;
    }
    const SQLRETURN rc = SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>(kSessionNlsSql)), SQL_NTS);
    const bool ok = SQL_SUCCEEDED(rc);
    if (!ok) refusal = DiagnosticOf(stmt);
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return ok;
}

void SetSessionNlsAfterConnect(TQueryODBC& query, TSessionNlsRefused onRefused)
{
    query.AfterConnect = [onRefused = std::move(onRefused)](TQueryODBC* sender) {
        TSessionNlsRefusal refusal;
        if (!SetSessionNls(*sender, refusal) && onRefused) onRefused(refusal);
    };
}
