// SQLGetDiagRec and SQLGetDiagField over the records of a handle.
#include "Handles.h"
#include "TextBuffers.h"

#include <cstring>

using namespace kelvsim;

namespace {

HandleBase* FindByType(SQLSMALLINT handleType, SQLHANDLE handle) {
    switch (handleType) {
    case SQL_HANDLE_ENV: return FindHandle(handle, HandleKind::Environment);
    case SQL_HANDLE_DBC: return FindHandle(handle, HandleKind::Connection);
    case SQL_HANDLE_STMT: return FindHandle(handle, HandleKind::Statement);
    case SQL_HANDLE_DESC: return FindHandle(handle, HandleKind::Descriptor);
    default: return nullptr;
    }
}

// Class origin: ISO 9075 for the standard classes, ODBC 3.0 for the rest.
std::string OriginOf(const std::string& state) {
    static const char* const odbcClasses[] = {"01S", "07S", "08S", "21S", "25S", "42S", "HY", "IM"};
    for (const char* prefix : odbcClasses)
        if (state.compare(0, std::strlen(prefix), prefix) == 0)
            return "ODBC 3.0";
    return "ISO 9075";
}

std::string ServerName(HandleBase& handle) {
    if (handle.Kind == HandleKind::Connection)
        return static_cast<Connection&>(handle).DataSource;
    if (handle.Kind == HandleKind::Statement)
        return static_cast<Statement&>(handle).Conn->DataSource;
    return {};
}

template <class T>
void PutNumber(SQLPOINTER target, T value) {
    if (target)
        std::memcpy(target, &value, sizeof value);
}

}  // namespace

extern "C" {

SQLRETURN SQL_API SQLGetDiagRec(SQLSMALLINT handleType, SQLHANDLE handle, SQLSMALLINT recNumber,
                                SQLCHAR* sqlState, SQLINTEGER* nativeError, SQLCHAR* messageText,
                                SQLSMALLINT bufferLength, SQLSMALLINT* textLength) {
    HandleBase* object = FindByType(handleType, handle);
    if (!object)
        return SQL_INVALID_HANDLE;
    if (recNumber <= 0 || bufferLength < 0)
        return SQL_ERROR;
    if (static_cast<size_t>(recNumber) > object->Diag.Count())
        return SQL_NO_DATA;
    const DiagRecord& record = object->Diag.At(static_cast<size_t>(recNumber) - 1);
    if (sqlState) {
        std::memcpy(sqlState, record.SqlState.c_str(), 5);
        sqlState[5] = '\0';
    }
    if (nativeError)
        *nativeError = record.NativeError;
    // Truncation here is reported by the return code only: the records
    // themselves must not change while they are being read.
    Diagnostics scratch;
    const bool complete = CopyOutText(scratch, record.Message, messageText, bufferLength, textLength);
    return complete ? SQL_SUCCESS : SQL_SUCCESS_WITH_INFO;
}

SQLRETURN SQL_API SQLGetDiagField(SQLSMALLINT handleType, SQLHANDLE handle, SQLSMALLINT recNumber,
                                  SQLSMALLINT diagIdentifier, SQLPOINTER diagInfo, SQLSMALLINT bufferLength,
                                  SQLSMALLINT* stringLength) {
    HandleBase* object = FindByType(handleType, handle);
    if (!object)
        return SQL_INVALID_HANDLE;
    Diagnostics scratch;
    auto text = [&](const std::string& value) {
        if (bufferLength < 0)
            return SQL_ERROR;
        return CopyOutText(scratch, value, diagInfo, bufferLength, stringLength) ? SQL_SUCCESS
                                                                                 : SQL_SUCCESS_WITH_INFO;
    };
    // Header fields.
    switch (diagIdentifier) {
    case SQL_DIAG_NUMBER:
        PutNumber<SQLINTEGER>(diagInfo, static_cast<SQLINTEGER>(object->Diag.Count()));
        return SQL_SUCCESS;
    case SQL_DIAG_RETURNCODE:
        PutNumber<SQLRETURN>(diagInfo, object->Diag.LastReturn);
        return SQL_SUCCESS;
    case SQL_DIAG_ROW_COUNT:
    case SQL_DIAG_CURSOR_ROW_COUNT:
        if (handleType != SQL_HANDLE_STMT)
            return SQL_ERROR;
        PutNumber<SQLLEN>(diagInfo, object->Diag.RowCount);
        return SQL_SUCCESS;
    case SQL_DIAG_DYNAMIC_FUNCTION:
        if (handleType != SQL_HANDLE_STMT)
            return SQL_ERROR;
        return text("");
    case SQL_DIAG_DYNAMIC_FUNCTION_CODE:
        if (handleType != SQL_HANDLE_STMT)
            return SQL_ERROR;
        PutNumber<SQLINTEGER>(diagInfo, SQL_DIAG_UNKNOWN_STATEMENT);
        return SQL_SUCCESS;
    default:
        break;
    }
    // Record fields.
    if (recNumber <= 0)
        return SQL_ERROR;
    if (static_cast<size_t>(recNumber) > object->Diag.Count())
        return SQL_NO_DATA;
    const DiagRecord& record = object->Diag.At(static_cast<size_t>(recNumber) - 1);
    switch (diagIdentifier) {
    case SQL_DIAG_SQLSTATE: return text(record.SqlState);
    case SQL_DIAG_NATIVE: PutNumber<SQLINTEGER>(diagInfo, record.NativeError); return SQL_SUCCESS;
    case SQL_DIAG_MESSAGE_TEXT: return text(record.Message);
    case SQL_DIAG_CLASS_ORIGIN: return text(OriginOf(record.SqlState.substr(0, 2)));
    case SQL_DIAG_SUBCLASS_ORIGIN: return text(OriginOf(record.SqlState));
    case SQL_DIAG_CONNECTION_NAME: return text("");
    case SQL_DIAG_SERVER_NAME: return text(ServerName(*object));
    case SQL_DIAG_COLUMN_NUMBER: PutNumber<SQLINTEGER>(diagInfo, SQL_COLUMN_NUMBER_UNKNOWN); return SQL_SUCCESS;
    case SQL_DIAG_ROW_NUMBER: PutNumber<SQLLEN>(diagInfo, SQL_ROW_NUMBER_UNKNOWN); return SQL_SUCCESS;
    default: return SQL_ERROR;
    }
}

}  // extern "C"
