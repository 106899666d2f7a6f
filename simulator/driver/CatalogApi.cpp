// The catalog functions: each opens a driver-made result on the statement.
#include "Catalog.h"
#include "StatementExec.h"
#include "TextBuffers.h"

using namespace kelvsim;

namespace {

Pattern Argument(SQLCHAR* text, SQLSMALLINT length) {
    if (!text)
        return std::nullopt;
    return InputText(text, length);
}

template <class Build>
SQLRETURN RunCatalog(SQLHSTMT statementHandle, Build&& build) {
    return Guarded<Statement>(statementHandle, [&](Statement& stmt) -> SQLRETURN {
        RequireNoCursor(stmt);
        return OpenDriverResult(stmt, build(*stmt.Conn));
    });
}

}  // namespace

extern "C" {

SQLRETURN SQL_API SQLTables(SQLHSTMT statementHandle, SQLCHAR* catalogName, SQLSMALLINT nameLength1,
                            SQLCHAR* schemaName, SQLSMALLINT nameLength2, SQLCHAR* tableName,
                            SQLSMALLINT nameLength3, SQLCHAR* tableType, SQLSMALLINT nameLength4) {
    return RunCatalog(statementHandle, [&](Connection& conn) {
        return ListTables(conn, Argument(catalogName, nameLength1), Argument(schemaName, nameLength2),
                          Argument(tableName, nameLength3), Argument(tableType, nameLength4));
    });
}

SQLRETURN SQL_API SQLColumns(SQLHSTMT statementHandle, SQLCHAR* catalogName, SQLSMALLINT nameLength1,
                             SQLCHAR* schemaName, SQLSMALLINT nameLength2, SQLCHAR* tableName,
                             SQLSMALLINT nameLength3, SQLCHAR* columnName, SQLSMALLINT nameLength4) {
    return RunCatalog(statementHandle, [&](Connection& conn) {
        return ListColumns(conn, Argument(catalogName, nameLength1), Argument(schemaName, nameLength2),
                           Argument(tableName, nameLength3), Argument(columnName, nameLength4));
    });
}

SQLRETURN SQL_API SQLStatistics(SQLHSTMT statementHandle, SQLCHAR* catalogName, SQLSMALLINT nameLength1,
                                SQLCHAR* schemaName, SQLSMALLINT nameLength2, SQLCHAR* tableName,
                                SQLSMALLINT nameLength3, SQLUSMALLINT unique, SQLUSMALLINT reserved) {
    return RunCatalog(statementHandle, [&](Connection& conn) {
        if (unique != SQL_INDEX_UNIQUE && unique != SQL_INDEX_ALL)
            throw OdbcFailure("HY100", "Uniqueness option type out of range");
        if (reserved != SQL_ENSURE && reserved != SQL_QUICK)
            throw OdbcFailure("HY101", "Accuracy option type out of range");
        if (!tableName)
            throw OdbcFailure("HY009", "Invalid use of null pointer");
        Argument(catalogName, nameLength1);
        return ListStatistics(conn, Argument(schemaName, nameLength2), Argument(tableName, nameLength3));
    });
}

SQLRETURN SQL_API SQLGetTypeInfo(SQLHSTMT statementHandle, SQLSMALLINT dataType) {
    return RunCatalog(statementHandle, [&](Connection& conn) { return ListTypes(conn, dataType); });
}

SQLRETURN SQL_API SQLProcedures(SQLHSTMT statementHandle, SQLCHAR* catalogName, SQLSMALLINT nameLength1,
                                SQLCHAR* schemaName, SQLSMALLINT nameLength2, SQLCHAR* procName,
                                SQLSMALLINT nameLength3) {
    return RunCatalog(statementHandle, [&](Connection& conn) {
        Argument(catalogName, nameLength1);
        Argument(schemaName, nameLength2);
        Argument(procName, nameLength3);
        return ListProcedures(conn);
    });
}

SQLRETURN SQL_API SQLProcedureColumns(SQLHSTMT statementHandle, SQLCHAR* catalogName, SQLSMALLINT nameLength1,
                                      SQLCHAR* schemaName, SQLSMALLINT nameLength2, SQLCHAR* procName,
                                      SQLSMALLINT nameLength3, SQLCHAR* columnName, SQLSMALLINT nameLength4) {
    return RunCatalog(statementHandle, [&](Connection& conn) {
        Argument(catalogName, nameLength1);
        Argument(schemaName, nameLength2);
        Argument(procName, nameLength3);
        Argument(columnName, nameLength4);
        return ListProcedureColumns(conn);
    });
}

}  // extern "C"
