// Describing result columns: SQLNumResultCols, SQLDescribeCol, SQLColAttribute.
#include "ColumnMetrics.h"
#include "Handles.h"
#include "TextBuffers.h"

using namespace kelvsim;

namespace {

const std::vector<sim::SimColumn>& ColumnsOf(Statement& stmt) {
    if (!stmt.Result && !stmt.Prepared && !stmt.Executed)
        throw OdbcFailure("HY010", "Function sequence error");
    return stmt.ResultColumns();
}

const sim::SimColumn& ColumnAt(Statement& stmt, SQLUSMALLINT number) {
    const auto& columns = ColumnsOf(stmt);
    if (number < 1 || number > columns.size())
        throw OdbcFailure("07009", "Invalid descriptor index");
    return columns[number - 1];
}

// The bookmark column (number 0), described when bookmarks are on.
sim::SimColumn BookmarkColumn(const Statement& stmt) {
    if (stmt.Attr.UseBookmarks == SQL_UB_OFF)
        throw OdbcFailure("07009", "Invalid descriptor index");
    sim::SimColumn bookmark;
    bookmark.SqlType = SQL_INTEGER;
    bookmark.ColumnSize = 10;
    bookmark.Nullable = false;
    return bookmark;
}

}  // namespace

extern "C" {

SQLRETURN SQL_API SQLNumResultCols(SQLHSTMT statementHandle, SQLSMALLINT* columnCount) {
    return Guarded<Statement>(statementHandle, [&](Statement& stmt) -> SQLRETURN {
        if (!columnCount)
            throw OdbcFailure("HY009", "Invalid use of null pointer");
        *columnCount = static_cast<SQLSMALLINT>(ColumnsOf(stmt).size());
        return SQL_SUCCESS;
    });
}

SQLRETURN SQL_API SQLDescribeCol(SQLHSTMT statementHandle, SQLUSMALLINT columnNumber, SQLCHAR* columnName,
                                 SQLSMALLINT bufferLength, SQLSMALLINT* nameLength, SQLSMALLINT* dataType,
                                 SQLULEN* columnSize, SQLSMALLINT* decimalDigits, SQLSMALLINT* nullable) {
    return Guarded<Statement>(statementHandle, [&](Statement& stmt) -> SQLRETURN {
        if (bufferLength < 0)
            throw OdbcFailure("HY090", "Invalid string or buffer length");
        ColumnsOf(stmt);
        const sim::SimColumn column = columnNumber == 0 ? BookmarkColumn(stmt) : ColumnAt(stmt, columnNumber);
        const ColumnMetrics m = MetricsOf(column, stmt.Conn->Env->OdbcVersion);
        if (dataType)
            *dataType = m.ConciseType;
        if (columnSize)
            *columnSize = m.ColumnSize;
        if (decimalDigits)
            *decimalDigits = m.DecimalDigits;
        if (nullable)
            *nullable = column.Nullable ? SQL_NULLABLE : SQL_NO_NULLS;
        CopyOutText(stmt.Diag, column.Name, columnName, bufferLength, nameLength);
        return SuccessOrInfo(stmt);
    });
}

SQLRETURN SQL_API SQLColAttribute(SQLHSTMT statementHandle, SQLUSMALLINT columnNumber,
                                  SQLUSMALLINT fieldIdentifier, SQLPOINTER characterAttribute,
                                  SQLSMALLINT bufferLength, SQLSMALLINT* stringLength, SQLLEN* numericAttribute) {
    return Guarded<Statement>(statementHandle, [&](Statement& stmt) -> SQLRETURN {
        const auto& columns = ColumnsOf(stmt);
        auto number = [&](SQLLEN value) {
            if (numericAttribute)
                *numericAttribute = value;
            return SQL_SUCCESS;
        };
        auto text = [&](const std::string& value) {
            if (bufferLength < 0)
                throw OdbcFailure("HY090", "Invalid string or buffer length");
            CopyOutText(stmt.Diag, value, characterAttribute, bufferLength, stringLength);
            return SuccessOrInfo(stmt);
        };
        if (fieldIdentifier == SQL_DESC_COUNT || fieldIdentifier == SQL_COLUMN_COUNT)
            return number(static_cast<SQLLEN>(columns.size()));
        const sim::SimColumn column = columnNumber == 0 ? BookmarkColumn(stmt) : ColumnAt(stmt, columnNumber);
        const ColumnMetrics m = MetricsOf(column, stmt.Conn->Env->OdbcVersion);
        switch (fieldIdentifier) {
        case SQL_DESC_NAME:
        case SQL_COLUMN_NAME:
        case SQL_DESC_LABEL:
        case SQL_DESC_BASE_COLUMN_NAME:
            return text(column.Name);
        case SQL_DESC_CONCISE_TYPE: return number(m.ConciseType);
        case SQL_DESC_TYPE: return number(m.VerboseType);
        case SQL_COLUMN_LENGTH: return number(m.OctetLength);
        case SQL_DESC_OCTET_LENGTH: return number(m.OctetLength);
        case SQL_DESC_LENGTH: return number(static_cast<SQLLEN>(m.ColumnSize));
        case SQL_COLUMN_PRECISION: return number(static_cast<SQLLEN>(m.ColumnSize));
        case SQL_DESC_PRECISION: return number(m.Numeric ? static_cast<SQLLEN>(m.ColumnSize) : 0);
        case SQL_COLUMN_SCALE:
        case SQL_DESC_SCALE:
            return number(m.DecimalDigits);
        case SQL_DESC_DISPLAY_SIZE: return number(m.DisplaySize);
        case SQL_DESC_NULLABLE:
        case SQL_COLUMN_NULLABLE:
            return number(column.Nullable ? SQL_NULLABLE : SQL_NO_NULLS);
        case SQL_DESC_UNSIGNED: return number(m.Numeric ? SQL_FALSE : SQL_TRUE);
        case SQL_DESC_FIXED_PREC_SCALE: return number(SQL_FALSE);
        case SQL_DESC_UPDATABLE: return number(SQL_ATTR_READWRITE_UNKNOWN);
        case SQL_DESC_AUTO_UNIQUE_VALUE: return number(SQL_FALSE);
        case SQL_DESC_CASE_SENSITIVE: return number(m.Character ? SQL_TRUE : SQL_FALSE);
        case SQL_DESC_SEARCHABLE: return number(SQL_PRED_SEARCHABLE);
        case SQL_DESC_NUM_PREC_RADIX: return number(m.Numeric ? 10 : 0);
        case SQL_DESC_UNNAMED: return number(column.Name.empty() ? SQL_UNNAMED : SQL_NAMED);
        case SQL_DESC_TYPE_NAME: return text(m.TypeName);
        case SQL_DESC_LOCAL_TYPE_NAME: return text(m.TypeName);
        case SQL_DESC_TABLE_NAME:
        case SQL_DESC_BASE_TABLE_NAME:
        case SQL_DESC_SCHEMA_NAME:
        case SQL_DESC_CATALOG_NAME:
            return text("");
        case SQL_DESC_LITERAL_PREFIX:
        case SQL_DESC_LITERAL_SUFFIX:
            return text(m.Numeric ? "" : "'");
        default:
            throw OdbcFailure("HY091", "Invalid descriptor field identifier");
        }
    });
}

}  // extern "C"
