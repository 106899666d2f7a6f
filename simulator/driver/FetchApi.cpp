// SQLBindCol and the three fetch calls.
#include "Handles.h"
#include "RowsetFetch.h"
#include "ValueConvert.h"

using namespace kelvsim;

extern "C" {

SQLRETURN SQL_API SQLBindCol(SQLHSTMT statementHandle, SQLUSMALLINT columnNumber, SQLSMALLINT targetType,
                             SQLPOINTER targetValue, SQLLEN bufferLength, SQLLEN* strLenOrInd) {
    return Guarded<Statement>(statementHandle, [&](Statement& stmt) -> SQLRETURN {
        if (bufferLength < 0)
            throw OdbcFailure("HY090", "Invalid string or buffer length");
        if (columnNumber == 0 && stmt.Attr.UseBookmarks == SQL_UB_OFF)
            throw OdbcFailure("07009", "Invalid descriptor index");
        if (!targetValue && !strLenOrInd) {
            // Unbinding a column.
            stmt.BoundColumns.erase(columnNumber);
            return SQL_SUCCESS;
        }
        if (targetType != SQL_C_DEFAULT && !IsVariableLengthCType(targetType) && FixedCTypeSize(targetType) == 0 &&
            !(columnNumber == 0 && (targetType == SQL_C_BOOKMARK || targetType == SQL_C_VARBOOKMARK)))
            throw OdbcFailure("HY003", "Program type out of range");
        if (columnNumber > 0 && (stmt.Result || stmt.Prepared)) {
            const auto& columns = stmt.ResultColumns();
            if (columnNumber > columns.size())
                throw OdbcFailure("07009", "Invalid descriptor index");
        }
        stmt.BoundColumns[columnNumber] = BoundColumn{targetType, targetValue, bufferLength, strLenOrInd};
        return SQL_SUCCESS;
    });
}

SQLRETURN SQL_API SQLFetch(SQLHSTMT statementHandle) {
    return Guarded<Statement>(statementHandle, [&](Statement& stmt) -> SQLRETURN {
        FetchRequest request;
        request.RowsetSize = stmt.Attr.RowArraySize;
        request.RowsFetched = stmt.Attr.RowsFetched;
        request.RowStatus = stmt.Attr.RowStatus;
        return FetchRowset(stmt, request);
    });
}

SQLRETURN SQL_API SQLFetchScroll(SQLHSTMT statementHandle, SQLSMALLINT fetchOrientation, SQLLEN fetchOffset) {
    return Guarded<Statement>(statementHandle, [&](Statement& stmt) -> SQLRETURN {
        FetchRequest request;
        request.Orientation = fetchOrientation;
        request.Offset = fetchOffset;
        request.RowsetSize = stmt.Attr.RowArraySize;
        request.RowsFetched = stmt.Attr.RowsFetched;
        request.RowStatus = stmt.Attr.RowStatus;
        request.BookmarkFromAttribute = true;
        return FetchRowset(stmt, request);
    });
}

SQLRETURN SQL_API SQLExtendedFetch(SQLHSTMT statementHandle, SQLUSMALLINT fetchOrientation, SQLLEN fetchOffset,
                                   SQLULEN* rowCount, SQLUSMALLINT* rowStatus) {
    return Guarded<Statement>(statementHandle, [&](Statement& stmt) -> SQLRETURN {
        FetchRequest request;
        request.Orientation = static_cast<SQLSMALLINT>(fetchOrientation);
        request.Offset = fetchOffset;
        request.RowsetSize = stmt.Attr.RowsetSize;
        request.RowsFetched = rowCount;
        request.RowStatus = rowStatus;
        return FetchRowset(stmt, request);
    });
}

}  // extern "C"
