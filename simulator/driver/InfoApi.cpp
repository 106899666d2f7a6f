// SQLGetInfo: what the driver and the simulated instance can do.
#include "Handles.h"
#include "TextBuffers.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <variant>

using namespace kelvsim;

namespace {

constexpr const char* kDriverName = "libKelvSimOracle.so";
constexpr const char* kDriverVersion = "01.00.0000";
constexpr const char* kDriverOdbcVersion = "03.00";
constexpr const char* kDbmsName = "Oracle";
constexpr const char* kDefaultDbmsVersion = "10.02.0000";
constexpr SQLUSMALLINT kMaxIdentifierLength = 30;  // Oracle's limit for names

using InfoValue = std::variant<std::string, SQLUSMALLINT, SQLUINTEGER>;

// "10.02.0000" style version from the Version key of the data source.
std::string DbmsVersion(const Connection& conn) {
    const std::string version = conn.Config.Get("VERSION", "");
    if (version.empty())
        return kDefaultDbmsVersion;
    int major = std::atoi(version.c_str());
    if (major <= 0)
        return kDefaultDbmsVersion;
    char text[32];
    std::snprintf(text, sizeof text, "%02d.%02d.0000", major, major >= 10 ? 2 : (major == 8 ? 1 : 3));
    return text;
}

constexpr SQLUINTEGER kFetchDirections = SQL_FD_FETCH_NEXT | SQL_FD_FETCH_FIRST | SQL_FD_FETCH_LAST |
                                         SQL_FD_FETCH_PRIOR | SQL_FD_FETCH_ABSOLUTE | SQL_FD_FETCH_RELATIVE |
                                         SQL_FD_FETCH_BOOKMARK;
constexpr SQLUINTEGER kScrollFetchOrientations = SQL_CA1_NEXT | SQL_CA1_ABSOLUTE | SQL_CA1_RELATIVE |
                                                 SQL_CA1_BOOKMARK;

bool Lookup(Connection& conn, SQLUSMALLINT type, InfoValue& out) {
    switch (type) {
    // Driver and data source.
    case SQL_DRIVER_NAME: out = std::string(kDriverName); return true;
    case SQL_DRIVER_VER: out = std::string(kDriverVersion); return true;
    case SQL_DRIVER_ODBC_VER: out = std::string(kDriverOdbcVersion); return true;
    case SQL_ODBC_VER: out = std::string("03.52.0000"); return true;
    case SQL_DBMS_NAME: out = std::string(kDbmsName); return true;
    case SQL_DBMS_VER: out = DbmsVersion(conn); return true;
    case SQL_DATA_SOURCE_NAME: out = conn.DataSource; return true;
    case SQL_SERVER_NAME: out = conn.Config.DataSource; return true;
    case SQL_DATABASE_NAME: out = std::string(); return true;
    case SQL_USER_NAME: out = conn.UserName; return true;
    case SQL_DATA_SOURCE_READ_ONLY:
        out = std::string(conn.AccessMode == SQL_MODE_READ_ONLY ? "Y" : "N");
        return true;
    case SQL_ACCESSIBLE_TABLES: out = std::string("N"); return true;
    case SQL_ACCESSIBLE_PROCEDURES: out = std::string("N"); return true;
    case SQL_SEARCH_PATTERN_ESCAPE: out = std::string("\\"); return true;
    case SQL_IDENTIFIER_QUOTE_CHAR: out = std::string("\""); return true;
    case SQL_SPECIAL_CHARACTERS: out = std::string("$#"); return true;
    case SQL_CATALOG_NAME_SEPARATOR: out = std::string("@"); return true;
    case SQL_CATALOG_TERM: out = std::string(); return true;
    case SQL_CATALOG_NAME: out = std::string("N"); return true;
    case SQL_SCHEMA_TERM: out = std::string("Owner"); return true;
    case SQL_TABLE_TERM: out = std::string("Table"); return true;
    case SQL_PROCEDURE_TERM: out = std::string("Procedure"); return true;
    case SQL_PROCEDURES: out = std::string("Y"); return true;
    case SQL_EXPRESSIONS_IN_ORDERBY: out = std::string("Y"); return true;
    case SQL_ORDER_BY_COLUMNS_IN_SELECT: out = std::string("N"); return true;
    case SQL_COLUMN_ALIAS: out = std::string("Y"); return true;
    case SQL_LIKE_ESCAPE_CLAUSE: out = std::string("Y"); return true;
    case SQL_MULT_RESULT_SETS: out = std::string("N"); return true;
    case SQL_MULTIPLE_ACTIVE_TXN: out = std::string("Y"); return true;
    case SQL_NEED_LONG_DATA_LEN: out = std::string("N"); return true;
    case SQL_OUTER_JOINS: out = std::string("Y"); return true;
    case SQL_ROW_UPDATES: out = std::string("N"); return true;
    case SQL_MAX_ROW_SIZE_INCLUDES_LONG: out = std::string("Y"); return true;
    case SQL_INTEGRITY: out = std::string("N"); return true;
    case SQL_DESCRIBE_PARAMETER: out = std::string("N"); return true;
    case SQL_KEYWORDS: out = std::string("ACCESS,AUDIT,CLUSTER,COMMENT,COMPRESS,EXCLUSIVE,FILE,IDENTIFIED,"
                                         "INCREMENT,INITIAL,LOCK,LONG,MAXEXTENTS,MINUS,MODE,NOAUDIT,NOCOMPRESS,"
                                         "NOWAIT,NUMBER,OFFLINE,ONLINE,PCTFREE,RAW,RENAME,RESOURCE,ROW,ROWID,"
                                         "ROWNUM,ROWS,SHARE,SIZE,START,SUCCESSFUL,SYNONYM,SYSDATE,UID,"
                                         "VALIDATE,VARCHAR2");
        return true;
    case SQL_COLLATION_SEQ: out = std::string(); return true;

    // Fetching and cursors.
    case SQL_FETCH_DIRECTION: out = kFetchDirections; return true;
    case SQL_SCROLL_OPTIONS: out = SQLUINTEGER(SQL_SO_FORWARD_ONLY | SQL_SO_STATIC); return true;
    case SQL_SCROLL_CONCURRENCY: out = SQLUINTEGER(SQL_SCCO_READ_ONLY | SQL_SCCO_LOCK); return true;
    case SQL_STATIC_SENSITIVITY: out = SQLUINTEGER(0); return true;
    case SQL_GETDATA_EXTENSIONS:
        out = SQLUINTEGER(SQL_GD_ANY_COLUMN | SQL_GD_ANY_ORDER | SQL_GD_BOUND | SQL_GD_BLOCK);
        return true;
    case SQL_BOOKMARK_PERSISTENCE: out = SQLUINTEGER(SQL_BP_SCROLL | SQL_BP_CLOSE); return true;
    case SQL_LOCK_TYPES: out = SQLUINTEGER(0); return true;
    case SQL_POS_OPERATIONS: out = SQLUINTEGER(0); return true;
    case SQL_POSITIONED_STATEMENTS: out = SQLUINTEGER(0); return true;
    case SQL_FORWARD_ONLY_CURSOR_ATTRIBUTES1: out = SQLUINTEGER(SQL_CA1_NEXT); return true;
    case SQL_FORWARD_ONLY_CURSOR_ATTRIBUTES2: out = SQLUINTEGER(SQL_CA2_READ_ONLY_CONCURRENCY); return true;
    case SQL_STATIC_CURSOR_ATTRIBUTES1: out = kScrollFetchOrientations; return true;
    case SQL_STATIC_CURSOR_ATTRIBUTES2: out = SQLUINTEGER(SQL_CA2_READ_ONLY_CONCURRENCY); return true;
    case SQL_DYNAMIC_CURSOR_ATTRIBUTES1:
    case SQL_DYNAMIC_CURSOR_ATTRIBUTES2:
    case SQL_KEYSET_CURSOR_ATTRIBUTES1:
    case SQL_KEYSET_CURSOR_ATTRIBUTES2:
        out = SQLUINTEGER(0);
        return true;
    case SQL_CURSOR_COMMIT_BEHAVIOR: out = SQLUSMALLINT(SQL_CB_CLOSE); return true;
    case SQL_CURSOR_ROLLBACK_BEHAVIOR: out = SQLUSMALLINT(SQL_CB_CLOSE); return true;
    case SQL_CURSOR_SENSITIVITY: out = SQLUINTEGER(SQL_INSENSITIVE); return true;
    case SQL_ASYNC_MODE: out = SQLUINTEGER(SQL_AM_NONE); return true;
    case SQL_MAX_ASYNC_CONCURRENT_STATEMENTS: out = SQLUINTEGER(0); return true;
    case SQL_ACTIVE_ENVIRONMENTS: out = SQLUSMALLINT(0); return true;
    case SQL_MAX_DRIVER_CONNECTIONS: out = SQLUSMALLINT(0); return true;
    case SQL_MAX_CONCURRENT_ACTIVITIES: out = SQLUSMALLINT(0); return true;
    case SQL_BATCH_SUPPORT: out = SQLUINTEGER(0); return true;
    case SQL_BATCH_ROW_COUNT: out = SQLUINTEGER(0); return true;
    case SQL_PARAM_ARRAY_ROW_COUNTS: out = SQLUINTEGER(SQL_PARC_NO_BATCH); return true;
    case SQL_PARAM_ARRAY_SELECTS: out = SQLUINTEGER(SQL_PAS_NO_SELECT); return true;

    // Transactions.
    case SQL_TXN_CAPABLE: out = SQLUSMALLINT(SQL_TC_DDL_COMMIT); return true;
    case SQL_DEFAULT_TXN_ISOLATION: out = SQLUINTEGER(SQL_TXN_READ_COMMITTED); return true;
    case SQL_TXN_ISOLATION_OPTION:
        out = SQLUINTEGER(SQL_TXN_READ_COMMITTED | SQL_TXN_SERIALIZABLE);
        return true;

    // Limits.
    case SQL_MAX_COLUMN_NAME_LEN:
    case SQL_MAX_CURSOR_NAME_LEN:
    case SQL_MAX_SCHEMA_NAME_LEN:
    case SQL_MAX_TABLE_NAME_LEN:
    case SQL_MAX_PROCEDURE_NAME_LEN:
    case SQL_MAX_USER_NAME_LEN:
    case SQL_MAX_IDENTIFIER_LEN:
        out = kMaxIdentifierLength;
        return true;
    case SQL_MAX_CATALOG_NAME_LEN: out = SQLUSMALLINT(0); return true;
    case SQL_MAX_COLUMNS_IN_TABLE: out = SQLUSMALLINT(1000); return true;
    case SQL_MAX_COLUMNS_IN_SELECT: out = SQLUSMALLINT(1000); return true;
    case SQL_MAX_COLUMNS_IN_INDEX: out = SQLUSMALLINT(32); return true;
    case SQL_MAX_COLUMNS_IN_GROUP_BY: out = SQLUSMALLINT(0); return true;
    case SQL_MAX_COLUMNS_IN_ORDER_BY: out = SQLUSMALLINT(0); return true;
    case SQL_MAX_TABLES_IN_SELECT: out = SQLUSMALLINT(0); return true;
    case SQL_MAX_STATEMENT_LEN: out = SQLUINTEGER(65535); return true;
    case SQL_MAX_ROW_SIZE: out = SQLUINTEGER(0); return true;
    case SQL_MAX_CHAR_LITERAL_LEN: out = SQLUINTEGER(4000); return true;
    case SQL_MAX_BINARY_LITERAL_LEN: out = SQLUINTEGER(4000); return true;
    case SQL_MAX_INDEX_SIZE: out = SQLUINTEGER(0); return true;

    // SQL conformance.
    case SQL_ODBC_API_CONFORMANCE: out = SQLUSMALLINT(SQL_OAC_LEVEL1); return true;
    case SQL_ODBC_SQL_CONFORMANCE: out = SQLUSMALLINT(SQL_OSC_MINIMUM); return true;
    case SQL_ODBC_SAG_CLI_CONFORMANCE: out = SQLUSMALLINT(SQL_OSCC_COMPLIANT); return true;
    case SQL_SQL_CONFORMANCE: out = SQLUINTEGER(SQL_SC_SQL92_ENTRY); return true;
    case SQL_ODBC_INTERFACE_CONFORMANCE: out = SQLUINTEGER(SQL_OIC_CORE); return true;
    case SQL_CONCAT_NULL_BEHAVIOR: out = SQLUSMALLINT(SQL_CB_NON_NULL); return true;
    case SQL_CORRELATION_NAME: out = SQLUSMALLINT(SQL_CN_ANY); return true;
    case SQL_FILE_USAGE: out = SQLUSMALLINT(SQL_FILE_NOT_SUPPORTED); return true;
    case SQL_GROUP_BY: out = SQLUSMALLINT(SQL_GB_GROUP_BY_CONTAINS_SELECT); return true;
    case SQL_IDENTIFIER_CASE: out = SQLUSMALLINT(SQL_IC_UPPER); return true;
    case SQL_QUOTED_IDENTIFIER_CASE: out = SQLUSMALLINT(SQL_IC_SENSITIVE); return true;
    case SQL_NON_NULLABLE_COLUMNS: out = SQLUSMALLINT(SQL_NNC_NON_NULL); return true;
    case SQL_NULL_COLLATION: out = SQLUSMALLINT(SQL_NC_HIGH); return true;
    case SQL_CATALOG_LOCATION: out = SQLUSMALLINT(0); return true;
    case SQL_CATALOG_USAGE: out = SQLUINTEGER(0); return true;
    case SQL_SCHEMA_USAGE:
        out = SQLUINTEGER(SQL_SU_DML_STATEMENTS | SQL_SU_TABLE_DEFINITION | SQL_SU_INDEX_DEFINITION |
                          SQL_SU_PRIVILEGE_DEFINITION);
        return true;
    case SQL_SUBQUERIES:
        out = SQLUINTEGER(SQL_SQ_COMPARISON | SQL_SQ_EXISTS | SQL_SQ_IN | SQL_SQ_QUANTIFIED |
                          SQL_SQ_CORRELATED_SUBQUERIES);
        return true;
    case SQL_UNION: out = SQLUINTEGER(SQL_U_UNION | SQL_U_UNION_ALL); return true;
    case SQL_OJ_CAPABILITIES: out = SQLUINTEGER(SQL_OJ_LEFT | SQL_OJ_NOT_ORDERED); return true;
    case SQL_ALTER_TABLE: out = SQLUINTEGER(SQL_AT_ADD_COLUMN | SQL_AT_DROP_COLUMN); return true;
    case SQL_NUMERIC_FUNCTIONS:
        out = SQLUINTEGER(SQL_FN_NUM_ABS | SQL_FN_NUM_CEILING | SQL_FN_NUM_FLOOR | SQL_FN_NUM_MOD |
                          SQL_FN_NUM_ROUND | SQL_FN_NUM_SIGN | SQL_FN_NUM_SQRT | SQL_FN_NUM_TRUNCATE);
        return true;
    case SQL_STRING_FUNCTIONS:
        out = SQLUINTEGER(SQL_FN_STR_CONCAT | SQL_FN_STR_LCASE | SQL_FN_STR_LENGTH | SQL_FN_STR_LTRIM |
                          SQL_FN_STR_REPLACE | SQL_FN_STR_RTRIM | SQL_FN_STR_SUBSTRING | SQL_FN_STR_UCASE);
        return true;
    case SQL_SYSTEM_FUNCTIONS: out = SQLUINTEGER(SQL_FN_SYS_IFNULL | SQL_FN_SYS_USERNAME); return true;
    case SQL_TIMEDATE_FUNCTIONS: out = SQLUINTEGER(SQL_FN_TD_NOW | SQL_FN_TD_CURDATE); return true;
    case SQL_CONVERT_FUNCTIONS: out = SQLUINTEGER(0); return true;
    case SQL_TIMEDATE_ADD_INTERVALS:
    case SQL_TIMEDATE_DIFF_INTERVALS:
    case SQL_DATETIME_LITERALS:
    case SQL_AGGREGATE_FUNCTIONS:
    case SQL_DDL_INDEX:
    case SQL_DROP_TABLE:
    case SQL_DROP_VIEW:
    case SQL_CREATE_TABLE:
    case SQL_CREATE_VIEW:
    case SQL_INSERT_STATEMENT:
    case SQL_INDEX_KEYWORDS:
    case SQL_INFO_SCHEMA_VIEWS:
    case SQL_SQL92_PREDICATES:
    case SQL_SQL92_RELATIONAL_JOIN_OPERATORS:
    case SQL_SQL92_VALUE_EXPRESSIONS:
    case SQL_SQL92_STRING_FUNCTIONS:
    case SQL_SQL92_NUMERIC_VALUE_FUNCTIONS:
    case SQL_SQL92_DATETIME_FUNCTIONS:
    case SQL_SQL92_FOREIGN_KEY_DELETE_RULE:
    case SQL_SQL92_FOREIGN_KEY_UPDATE_RULE:
    case SQL_SQL92_GRANT:
    case SQL_SQL92_REVOKE:
    case SQL_SQL92_ROW_VALUE_CONSTRUCTOR:
    case SQL_STANDARD_CLI_CONFORMANCE:
        out = SQLUINTEGER(0);
        return true;
    case SQL_CONVERT_BIGINT:
    case SQL_CONVERT_BINARY:
    case SQL_CONVERT_BIT:
    case SQL_CONVERT_CHAR:
    case SQL_CONVERT_DATE:
    case SQL_CONVERT_DECIMAL:
    case SQL_CONVERT_DOUBLE:
    case SQL_CONVERT_FLOAT:
    case SQL_CONVERT_INTEGER:
    case SQL_CONVERT_LONGVARBINARY:
    case SQL_CONVERT_LONGVARCHAR:
    case SQL_CONVERT_NUMERIC:
    case SQL_CONVERT_REAL:
    case SQL_CONVERT_SMALLINT:
    case SQL_CONVERT_TIME:
    case SQL_CONVERT_TIMESTAMP:
    case SQL_CONVERT_TINYINT:
    case SQL_CONVERT_VARBINARY:
    case SQL_CONVERT_VARCHAR:
        out = SQLUINTEGER(0);
        return true;
    default:
        return false;
    }
}

}  // namespace

extern "C" SQLRETURN SQL_API SQLGetInfo(SQLHDBC connectionHandle, SQLUSMALLINT infoType, SQLPOINTER infoValue,
                                        SQLSMALLINT bufferLength, SQLSMALLINT* stringLength) {
    return Guarded<Connection>(connectionHandle, [&](Connection& conn) -> SQLRETURN {
        InfoValue value;
        if (!Lookup(conn, infoType, value))
            throw OdbcFailure("HY096", "Information type out of range");
        if (const auto* text = std::get_if<std::string>(&value)) {
            if (bufferLength < 0)
                throw OdbcFailure("HY090", "Invalid string or buffer length");
            CopyOutText(conn.Diag, *text, infoValue, bufferLength, stringLength);
            return SuccessOrInfo(conn);
        }
        if (const auto* small = std::get_if<SQLUSMALLINT>(&value)) {
            if (infoValue)
                std::memcpy(infoValue, small, sizeof *small);
            if (stringLength)
                *stringLength = sizeof *small;
        } else {
            const auto& number = std::get<SQLUINTEGER>(value);
            if (infoValue)
                std::memcpy(infoValue, &number, sizeof number);
            if (stringLength)
                *stringLength = sizeof number;
        }
        return SQL_SUCCESS;
    });
}
