// SQLGetData: one column of the current row, long values in pieces.
#include "Handles.h"
#include "ValueConvert.h"

#include <cstring>

using namespace kelvsim;

extern "C" SQLRETURN SQL_API SQLGetData(SQLHSTMT statementHandle, SQLUSMALLINT columnNumber, SQLSMALLINT targetType,
                                        SQLPOINTER targetValue, SQLLEN bufferLength, SQLLEN* strLenOrInd) {
    return Guarded<Statement>(statementHandle, [&](Statement& stmt) -> SQLRETURN {
        if (!stmt.CursorOpen() || stmt.Position != CursorPosition::OnRowset || stmt.RowsetRows == 0)
            throw OdbcFailure("24000", "Invalid cursor state");
        if (bufferLength < 0)
            throw OdbcFailure("HY090", "Invalid string or buffer length");
        const auto& columns = stmt.Result->Columns();
        if (columnNumber == 0) {
            if (stmt.Attr.UseBookmarks == SQL_UB_OFF)
                throw OdbcFailure("07009", "Invalid descriptor index");
            const auto bookmark = static_cast<SQLINTEGER>(stmt.RowsetStart + 1);
            if (targetValue)
                std::memcpy(targetValue, &bookmark, sizeof bookmark);
            if (strLenOrInd)
                *strLenOrInd = sizeof bookmark;
            return SQL_SUCCESS;
        }
        if (columnNumber > columns.size())
            throw OdbcFailure("07009", "Invalid descriptor index");
        const SQLSMALLINT sqlType = columns[columnNumber - 1].SqlType;
        const SQLSMALLINT cType = targetType == SQL_C_DEFAULT ? DefaultCType(sqlType) : targetType;
        if (!IsVariableLengthCType(cType) && FixedCTypeSize(cType) == 0)
            throw OdbcFailure("HY003", "Program type out of range");

        // A new column starts over; the same column continues where the
        // previous piece ended.
        if (stmt.GetDataColumn != columnNumber) {
            stmt.GetDataColumn = columnNumber;
            stmt.GetDataOffset = 0;
            stmt.GetDataDone = false;
        }
        if (stmt.GetDataDone)
            return SQL_NO_DATA;

        const Row& row = stmt.Result->RowAt(stmt.RowsetStart);
        const auto& value = row[columnNumber - 1];
        if (!value) {
            if (!strLenOrInd)
                throw OdbcFailure("22002", "Indicator variable required but not supplied");
            *strLenOrInd = SQL_NULL_DATA;
            stmt.GetDataDone = true;
            return SQL_SUCCESS;
        }
        if (!targetValue && !(IsVariableLengthCType(cType) && bufferLength == 0))
            throw OdbcFailure("HY009", "Invalid use of null pointer");

        bool truncated = false;
        size_t consumed = 0;
        const SQLLEN length = ConvertValue(stmt.Diag, *value, sqlType, cType, targetValue, bufferLength,
                                           stmt.GetDataOffset, truncated, consumed);
        if (strLenOrInd)
            *strLenOrInd = length;
        if (IsVariableLengthCType(cType) && truncated) {
            stmt.GetDataOffset += consumed;
            stmt.Diag.Add("01004", "String data, right truncated");
            return SQL_SUCCESS_WITH_INFO;
        }
        stmt.GetDataDone = true;
        return SuccessOrInfo(stmt);
    });
}
