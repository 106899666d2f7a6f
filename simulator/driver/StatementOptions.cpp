#include "StatementOptions.h"

namespace kelvsim {

namespace {
void Changed(Diagnostics& diag) {
    diag.Add("01S02", "Option value changed");
}
}  // namespace

bool SetStatementOption(StatementDefaults& options, Diagnostics& diag, SQLINTEGER attribute, SQLULEN value) {
    switch (attribute) {
    case SQL_ATTR_CURSOR_TYPE:
        if (value == SQL_CURSOR_FORWARD_ONLY || value == SQL_CURSOR_STATIC) {
            options.CursorType = value;
        } else if (value == SQL_CURSOR_KEYSET_DRIVEN || value == SQL_CURSOR_DYNAMIC) {
            // Results are buffered, so every scrollable cursor is a static one.
            options.CursorType = SQL_CURSOR_STATIC;
            Changed(diag);
        } else {
            throw OdbcFailure("HY024", "Invalid attribute value");
        }
        return true;
    case SQL_ATTR_CONCURRENCY:
        if (value == SQL_CONCUR_READ_ONLY || value == SQL_CONCUR_LOCK) {
            options.Concurrency = value;
        } else if (value == SQL_CONCUR_ROWVER || value == SQL_CONCUR_VALUES) {
            options.Concurrency = SQL_CONCUR_LOCK;
            Changed(diag);
        } else {
            throw OdbcFailure("HY024", "Invalid attribute value");
        }
        return true;
    case SQL_ATTR_USE_BOOKMARKS:
        if (value != SQL_UB_OFF && value != SQL_UB_ON && value != SQL_UB_VARIABLE)
            throw OdbcFailure("HY024", "Invalid attribute value");
        options.UseBookmarks = value;
        return true;
    case SQL_ROWSET_SIZE:
        if (value == 0)
            throw OdbcFailure("HY024", "Invalid attribute value");
        options.RowsetSize = value;
        return true;
    case SQL_ATTR_RETRIEVE_DATA:
        if (value != SQL_RD_ON && value != SQL_RD_OFF)
            throw OdbcFailure("HY024", "Invalid attribute value");
        options.RetrieveData = value;
        return true;
    case SQL_ATTR_MAX_ROWS:
        options.MaxRows = value;
        return true;
    case SQL_ATTR_MAX_LENGTH:
        options.MaxLength = value;
        return true;
    case SQL_ATTR_QUERY_TIMEOUT:
        options.QueryTimeout = value;
        return true;
    case SQL_ATTR_NOSCAN:
        if (value != SQL_NOSCAN_OFF && value != SQL_NOSCAN_ON)
            throw OdbcFailure("HY024", "Invalid attribute value");
        options.NoScan = value;
        return true;
    case SQL_ATTR_ASYNC_ENABLE:
        if (value != SQL_ASYNC_ENABLE_OFF) {
            Changed(diag);
        }
        options.Async = SQL_ASYNC_ENABLE_OFF;
        return true;
    case SQL_ATTR_SIMULATE_CURSOR:
        options.SimulateCursor = value;
        return true;
    case SQL_ATTR_KEYSET_SIZE:
        options.KeysetSize = value;
        return true;
    default:
        return false;
    }
}

bool GetStatementOption(const StatementDefaults& options, SQLINTEGER attribute, SQLULEN& value) {
    switch (attribute) {
    case SQL_ATTR_CURSOR_TYPE: value = options.CursorType; return true;
    case SQL_ATTR_CONCURRENCY: value = options.Concurrency; return true;
    case SQL_ATTR_USE_BOOKMARKS: value = options.UseBookmarks; return true;
    case SQL_ROWSET_SIZE: value = options.RowsetSize; return true;
    case SQL_ATTR_RETRIEVE_DATA: value = options.RetrieveData; return true;
    case SQL_ATTR_MAX_ROWS: value = options.MaxRows; return true;
    case SQL_ATTR_MAX_LENGTH: value = options.MaxLength; return true;
    case SQL_ATTR_QUERY_TIMEOUT: value = options.QueryTimeout; return true;
    case SQL_ATTR_NOSCAN: value = options.NoScan; return true;
    case SQL_ATTR_ASYNC_ENABLE: value = options.Async; return true;
    case SQL_ATTR_SIMULATE_CURSOR: value = options.SimulateCursor; return true;
    case SQL_ATTR_KEYSET_SIZE: value = options.KeysetSize; return true;
    default: return false;
    }
}

}  // namespace kelvsim
