// The driver manager's list of data sources.
#include "ODBCCall.h"
#include "OdbcHandles.h"

namespace {
constexpr SQLSMALLINT kDsnNameSize = SQL_MAX_DSN_LENGTH + 1;
constexpr SQLSMALLINT kDescriptionSize = 1024;
}  // namespace

bool TConfigDSN::GetDataSources() {
    List.clear();
    kelv_odbc::EnvHandle env;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, env.out()))) return false;
    if (!SQL_SUCCEEDED(SQLSetEnvAttr(env.get(), SQL_ATTR_ODBC_VERSION,
                                     reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0)))
        return false;
    SQLUSMALLINT direction = SystemDSN ? SQL_FETCH_FIRST_SYSTEM : SQL_FETCH_FIRST_USER;
    for (;;) {
        SQLCHAR name[kDsnNameSize + 1] = {0};
        SQLCHAR description[kDescriptionSize + 1] = {0};
        SQLSMALLINT nameLen = 0, descLen = 0;
        SQLRETURN rc = SQLDataSources(env.get(), direction, name, kDsnNameSize, &nameLen, description,
                                      kDescriptionSize, &descLen);
        if (rc == SQL_NO_DATA) return true;
        if (!SQL_SUCCEEDED(rc)) return false;
        List.push_back(Entry{reinterpret_cast<char*>(name), reinterpret_cast<char*>(description)});
        direction = SQL_FETCH_NEXT;
    }
}
