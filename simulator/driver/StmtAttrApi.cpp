// Statement attributes.
#include "Handles.h"
#include "StatementOptions.h"

using namespace kelvsim;

namespace {

template <class T>
T* AsPointer(SQLPOINTER value) {
    return static_cast<T*>(value);
}

void SetAttribute(Statement& stmt, SQLINTEGER attribute, SQLPOINTER value) {
    const auto number = reinterpret_cast<SQLULEN>(value);
    if (SetStatementOption(stmt.Attr, stmt.Diag, attribute, number)) {
        if (attribute == SQL_ATTR_CURSOR_TYPE)
            stmt.Attr.CursorScrollable =
                stmt.Attr.CursorType == SQL_CURSOR_FORWARD_ONLY ? SQL_NONSCROLLABLE : SQL_SCROLLABLE;
        return;
    }
    switch (attribute) {
    case SQL_ATTR_ROW_ARRAY_SIZE:
        if (number == 0)
            throw OdbcFailure("HY024", "Invalid attribute value");
        stmt.Attr.RowArraySize = number;
        return;
    case SQL_ATTR_ROW_BIND_TYPE: stmt.Attr.RowBindType = number; return;
    case SQL_ATTR_ROW_BIND_OFFSET_PTR: stmt.Attr.RowBindOffset = AsPointer<SQLULEN>(value); return;
    case SQL_ATTR_ROW_STATUS_PTR: stmt.Attr.RowStatus = AsPointer<SQLUSMALLINT>(value); return;
    case SQL_ATTR_ROWS_FETCHED_PTR: stmt.Attr.RowsFetched = AsPointer<SQLULEN>(value); return;
    case SQL_ATTR_FETCH_BOOKMARK_PTR: stmt.Attr.FetchBookmark = value; return;
    case SQL_ATTR_PARAMSET_SIZE:
        // One set of parameters per execution.
        if (number != 1)
            throw OdbcFailure("HYC00", "Optional feature not implemented");
        stmt.Attr.ParamsetSize = number;
        return;
    case SQL_ATTR_PARAM_BIND_TYPE: stmt.Attr.ParamBindType = number; return;
    case SQL_ATTR_PARAM_BIND_OFFSET_PTR: stmt.Attr.ParamBindOffset = AsPointer<SQLULEN>(value); return;
    case SQL_ATTR_PARAM_STATUS_PTR: stmt.Attr.ParamStatus = AsPointer<SQLUSMALLINT>(value); return;
    case SQL_ATTR_PARAM_OPERATION_PTR: stmt.Attr.ParamOperation = AsPointer<SQLUSMALLINT>(value); return;
    case SQL_ATTR_PARAMS_PROCESSED_PTR: stmt.Attr.ParamsProcessed = AsPointer<SQLULEN>(value); return;
    case SQL_ATTR_CURSOR_SCROLLABLE:
        if (number == SQL_NONSCROLLABLE)
            stmt.Attr.CursorType = SQL_CURSOR_FORWARD_ONLY;
        else if (number == SQL_SCROLLABLE)
            stmt.Attr.CursorType = SQL_CURSOR_STATIC;
        else
            throw OdbcFailure("HY024", "Invalid attribute value");
        stmt.Attr.CursorScrollable = number;
        return;
    case SQL_ATTR_CURSOR_SENSITIVITY:
        if (number != SQL_UNSPECIFIED && number != SQL_INSENSITIVE)
            throw OdbcFailure("HYC00", "Optional feature not implemented");
        stmt.Attr.CursorSensitivity = SQL_INSENSITIVE;
        return;
    case SQL_ATTR_METADATA_ID: stmt.Attr.MetadataId = number; return;
    case SQL_ATTR_ENABLE_AUTO_IPD: stmt.Attr.EnableAutoIpd = number; return;
    case SQL_ATTR_APP_ROW_DESC:
    case SQL_ATTR_APP_PARAM_DESC:
        // Only the implicit descriptors exist.
        if (value == nullptr || value == &stmt.AppRowDesc || value == &stmt.AppParamDesc)
            return;
        throw OdbcFailure("HYC00", "Optional feature not implemented");
    case SQL_ATTR_IMP_ROW_DESC:
    case SQL_ATTR_IMP_PARAM_DESC:
    case SQL_ATTR_ROW_NUMBER:
        throw OdbcFailure("HY017", "Invalid use of an automatically allocated descriptor handle");
    default:
        throw OdbcFailure("HY092", "Invalid attribute/option identifier");
    }
}

// Returns false when the attribute is a pointer attribute written already.
SQLULEN GetAttribute(Statement& stmt, SQLINTEGER attribute, SQLPOINTER value, bool& isPointer) {
    SQLULEN number = 0;
    isPointer = false;
    if (GetStatementOption(stmt.Attr, attribute, number))
        return number;
    auto pointer = [&](void* p) {
        isPointer = true;
        if (value)
            *static_cast<SQLPOINTER*>(value) = p;
        return SQLULEN(0);
    };
    switch (attribute) {
    case SQL_ATTR_ROW_ARRAY_SIZE: return stmt.Attr.RowArraySize;
    case SQL_ATTR_ROW_BIND_TYPE: return stmt.Attr.RowBindType;
    case SQL_ATTR_PARAMSET_SIZE: return stmt.Attr.ParamsetSize;
    case SQL_ATTR_PARAM_BIND_TYPE: return stmt.Attr.ParamBindType;
    case SQL_ATTR_CURSOR_SCROLLABLE: return stmt.Attr.CursorScrollable;
    case SQL_ATTR_CURSOR_SENSITIVITY: return stmt.Attr.CursorSensitivity;
    case SQL_ATTR_METADATA_ID: return stmt.Attr.MetadataId;
    case SQL_ATTR_ENABLE_AUTO_IPD: return stmt.Attr.EnableAutoIpd;
    case SQL_ATTR_ROW_NUMBER:
        if (stmt.Position != CursorPosition::OnRowset)
            return 0;
        return stmt.RowsetStart + 1;
    case SQL_ATTR_ROW_BIND_OFFSET_PTR: return pointer(stmt.Attr.RowBindOffset);
    case SQL_ATTR_ROW_STATUS_PTR: return pointer(stmt.Attr.RowStatus);
    case SQL_ATTR_ROWS_FETCHED_PTR: return pointer(stmt.Attr.RowsFetched);
    case SQL_ATTR_FETCH_BOOKMARK_PTR: return pointer(stmt.Attr.FetchBookmark);
    case SQL_ATTR_PARAM_BIND_OFFSET_PTR: return pointer(stmt.Attr.ParamBindOffset);
    case SQL_ATTR_PARAM_STATUS_PTR: return pointer(stmt.Attr.ParamStatus);
    case SQL_ATTR_PARAM_OPERATION_PTR: return pointer(stmt.Attr.ParamOperation);
    case SQL_ATTR_PARAMS_PROCESSED_PTR: return pointer(stmt.Attr.ParamsProcessed);
    case SQL_ATTR_APP_ROW_DESC: return pointer(&stmt.AppRowDesc);
    case SQL_ATTR_APP_PARAM_DESC: return pointer(&stmt.AppParamDesc);
    case SQL_ATTR_IMP_ROW_DESC: return pointer(&stmt.ImpRowDesc);
    case SQL_ATTR_IMP_PARAM_DESC: return pointer(&stmt.ImpParamDesc);
    default:
        throw OdbcFailure("HY092", "Invalid attribute/option identifier");
    }
}

}  // namespace

extern "C" {

SQLRETURN SQL_API SQLSetStmtAttr(SQLHSTMT statementHandle, SQLINTEGER attribute, SQLPOINTER value,
                                 SQLINTEGER /*stringLength*/) {
    return Guarded<Statement>(statementHandle, [&](Statement& stmt) -> SQLRETURN {
        if ((attribute == SQL_ATTR_CURSOR_TYPE || attribute == SQL_ATTR_CONCURRENCY ||
             attribute == SQL_ATTR_USE_BOOKMARKS || attribute == SQL_ATTR_CURSOR_SCROLLABLE) &&
            stmt.CursorOpen())
            throw OdbcFailure("24000", "Invalid cursor state");
        SetAttribute(stmt, attribute, value);
        return SuccessOrInfo(stmt);
    });
}

SQLRETURN SQL_API SQLGetStmtAttr(SQLHSTMT statementHandle, SQLINTEGER attribute, SQLPOINTER value,
                                 SQLINTEGER /*bufferLength*/, SQLINTEGER* stringLength) {
    return Guarded<Statement>(statementHandle, [&](Statement& stmt) -> SQLRETURN {
        bool isPointer = false;
        const SQLULEN number = GetAttribute(stmt, attribute, value, isPointer);
        if (isPointer) {
            if (stringLength)
                *stringLength = sizeof(SQLPOINTER);
            return SQL_SUCCESS;
        }
        if (value)
            *static_cast<SQLULEN*>(value) = number;
        if (stringLength)
            *stringLength = sizeof(SQLULEN);
        return SQL_SUCCESS;
    });
}

}  // extern "C"
