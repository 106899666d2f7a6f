// The wide entry points a Unicode application reaches through the driver
// manager for text that may hold any character: statement texts, column
// names and labels, diagnostic messages. Each converts UTF-16 to the UTF-8
// of the narrow entry point it runs, or the narrow result back to UTF-16;
// wide lengths count characters (SQLDescribeColW, SQLGetDiagRecW) or bytes
// (SQLColAttributeW) as ODBC says.
//
// The connect functions stay narrow on purpose: the driver manager takes a
// driver that connects through SQLConnectW or SQLDriverConnectW for a
// Unicode driver and then calls nothing but W functions. Without them it
// uses the ones below where the driver has them and converts the rest.
#include "Handles.h"
#include "WideText.h"

#include <initializer_list>
#include <vector>

using namespace kelvsim;

namespace {

constexpr size_t kFirstTextBuffer = 256;

// Runs a narrow call that writes text into a buffer and reports its whole
// length, again with a larger buffer until the text fits.
template <class LengthT, class Call>
SQLRETURN NarrowText(Call&& call, std::string& text) {
    std::vector<SQLCHAR> buffer(kFirstTextBuffer);
    for (;;) {
        LengthT length = 0;
        const SQLRETURN rc = call(buffer.data(), static_cast<LengthT>(buffer.size()), &length);
        if (!SQL_SUCCEEDED(rc))
            return rc;
        const auto whole = static_cast<size_t>(length < 0 ? 0 : length);
        if (whole < buffer.size()) {
            text.assign(reinterpret_cast<const char*>(buffer.data()), whole);
            return rc;
        }
        buffer.resize(whole + 1);
    }
}

// Writes a wide result of capacityUnits units; a cut one is reported on the
// statement as ODBC's narrow functions report theirs.
SQLRETURN PutWideResult(SQLHSTMT statementHandle, SQLRETURN rc, const std::string& text, SQLWCHAR* buffer,
                        size_t capacityUnits, size_t& totalUnits) {
    if (CopyOutWide(text, buffer, capacityUnits, totalUnits))
        return rc;
    if (Statement* stmt = Lookup<Statement>(statementHandle))
        stmt->Diag.Add("01004", "String data, right truncated");
    return SQL_SUCCESS_WITH_INFO;
}

bool IsTextField(SQLUSMALLINT field) {
    for (SQLUSMALLINT text : {SQL_DESC_NAME, SQL_COLUMN_NAME, SQL_DESC_LABEL, SQL_DESC_BASE_COLUMN_NAME,
                              SQL_DESC_TYPE_NAME, SQL_DESC_LOCAL_TYPE_NAME, SQL_DESC_TABLE_NAME,
                              SQL_DESC_BASE_TABLE_NAME, SQL_DESC_SCHEMA_NAME, SQL_DESC_CATALOG_NAME,
                              SQL_DESC_LITERAL_PREFIX, SQL_DESC_LITERAL_SUFFIX})
        if (field == text)
            return true;
    return false;
}

}  // namespace

extern "C" {

SQLRETURN SQL_API SQLExecDirectW(SQLHSTMT statementHandle, SQLWCHAR* statementText, SQLINTEGER textLength) {
    // A missing text or a bad length is reported by the narrow function.
    if (!statementText || (textLength < 0 && textLength != SQL_NTS))
        return SQLExecDirect(statementHandle, reinterpret_cast<SQLCHAR*>(statementText), textLength);
    std::string text = WideInputText(statementText, textLength);
    return SQLExecDirect(statementHandle, reinterpret_cast<SQLCHAR*>(text.data()), static_cast<SQLINTEGER>(text.size()));
}

SQLRETURN SQL_API SQLPrepareW(SQLHSTMT statementHandle, SQLWCHAR* statementText, SQLINTEGER textLength) {
    if (!statementText || (textLength < 0 && textLength != SQL_NTS))
        return SQLPrepare(statementHandle, reinterpret_cast<SQLCHAR*>(statementText), textLength);
    std::string text = WideInputText(statementText, textLength);
    return SQLPrepare(statementHandle, reinterpret_cast<SQLCHAR*>(text.data()), static_cast<SQLINTEGER>(text.size()));
}

SQLRETURN SQL_API SQLDescribeColW(SQLHSTMT statementHandle, SQLUSMALLINT columnNumber, SQLWCHAR* columnName,
                                  SQLSMALLINT bufferLength, SQLSMALLINT* nameLength, SQLSMALLINT* dataType,
                                  SQLULEN* columnSize, SQLSMALLINT* decimalDigits, SQLSMALLINT* nullable) {
    if (bufferLength < 0)
        return SQLDescribeCol(statementHandle, columnNumber, nullptr, bufferLength, nameLength, dataType,
                              columnSize, decimalDigits, nullable);
    std::string name;
    SQLRETURN rc = NarrowText<SQLSMALLINT>(
        [&](SQLCHAR* buffer, SQLSMALLINT size, SQLSMALLINT* length) {
            return SQLDescribeCol(statementHandle, columnNumber, buffer, size, length, dataType, columnSize,
                                  decimalDigits, nullable);
        },
        name);
    if (!SQL_SUCCEEDED(rc))
        return rc;
    size_t units = 0;
    rc = PutWideResult(statementHandle, rc, name, columnName, static_cast<size_t>(bufferLength), units);
    if (nameLength)
        *nameLength = static_cast<SQLSMALLINT>(units);
    return rc;
}

SQLRETURN SQL_API SQLColAttributeW(SQLHSTMT statementHandle, SQLUSMALLINT columnNumber,
                                   SQLUSMALLINT fieldIdentifier, SQLPOINTER characterAttribute,
                                   SQLSMALLINT bufferLength, SQLSMALLINT* stringLength, SQLLEN* numericAttribute) {
    if (!IsTextField(fieldIdentifier) || bufferLength < 0)
        return SQLColAttribute(statementHandle, columnNumber, fieldIdentifier, characterAttribute, bufferLength,
                               stringLength, numericAttribute);
    std::string text;
    SQLRETURN rc = NarrowText<SQLSMALLINT>(
        [&](SQLCHAR* buffer, SQLSMALLINT size, SQLSMALLINT* length) {
            return SQLColAttribute(statementHandle, columnNumber, fieldIdentifier, buffer, size, length,
                                   numericAttribute);
        },
        text);
    if (!SQL_SUCCEEDED(rc))
        return rc;
    size_t units = 0;
    rc = PutWideResult(statementHandle, rc, text, static_cast<SQLWCHAR*>(characterAttribute),
                       static_cast<size_t>(bufferLength) / sizeof(SQLWCHAR), units);
    if (stringLength)
        *stringLength = static_cast<SQLSMALLINT>(units * sizeof(SQLWCHAR));
    return rc;
}

SQLRETURN SQL_API SQLGetDiagRecW(SQLSMALLINT handleType, SQLHANDLE handle, SQLSMALLINT recNumber,
                                 SQLWCHAR* sqlState, SQLINTEGER* nativeError, SQLWCHAR* messageText,
                                 SQLSMALLINT bufferLength, SQLSMALLINT* textLength) {
    if (bufferLength < 0)
        return SQLGetDiagRec(handleType, handle, recNumber, nullptr, nativeError, nullptr, bufferLength, textLength);
    SQLCHAR state[SQL_SQLSTATE_SIZE + 1] = {};
    std::string message;
    const SQLRETURN rc = NarrowText<SQLSMALLINT>(
        [&](SQLCHAR* buffer, SQLSMALLINT size, SQLSMALLINT* length) {
            return SQLGetDiagRec(handleType, handle, recNumber, state, nativeError, buffer, size, length);
        },
        message);
    if (!SQL_SUCCEEDED(rc))
        return rc;
    size_t units = 0;
    if (sqlState)
        CopyOutWide(reinterpret_cast<const char*>(state), sqlState, SQL_SQLSTATE_SIZE + 1, units);
    // As for the narrow records: a cut message shows in the return code only.
    const bool complete = CopyOutWide(message, messageText, static_cast<size_t>(bufferLength), units);
    if (textLength)
        *textLength = static_cast<SQLSMALLINT>(units);
    return complete ? rc : SQL_SUCCESS_WITH_INFO;
}

}  // extern "C"
