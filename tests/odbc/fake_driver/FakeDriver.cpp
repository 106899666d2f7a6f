// A minimal ODBC 3 driver for the query component's tests: it accepts every
// connection and answers statements by their text, so that tests can get
// diagnostics no real driver gives on demand.
//   "MULTI ERROR"    two diagnostic records (42000/100, then HY000/200), SQL_ERROR
//   "TRIPLE ERROR"   three records (42000/1, 42S02/2, HY000/3), SQL_ERROR
//   "LONG MESSAGE"   one record whose message is 600 characters long
//   "LOSE CONNECTION" 08S01; every later statement call fails the same way
//   "ROWS ..."       a result of two VARCHAR(10) columns A and B, three rows
//                    ("a1", "b1") .. ("a3", "b3"); the words after ROWS add a
//                    fault: "BAD GETDATA" (column B cannot be read), "BAD
//                    DESCRIBE" (column B cannot be described), "BAD CLOSE"
//                    (closing the cursor fails)
//   "FAIL ROLLBACK"  every later rollback of the connection fails (HY000)
//   "OUTPUT"         writes each output parameter: 42 + position into an
//                    integer, "out" into a character buffer of the bound length
//   anything else    success without result columns, one row affected
// Every SQLBindParameter is recorded for KelvFakeBinding (FakeDriver.h).
#include "FakeDriver.h"

#include <sql.h>
#include <sqlext.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

struct Diag {
    std::string state;
    SQLINTEGER native;
    std::string message;
};

struct Handle {
    SQLSMALLINT type;
    Handle* parent;
    std::vector<Diag> diags;
    bool lost = false;          // connection: the server went away
    bool failRollback = false;  // connection: SQLEndTran(SQL_ROLLBACK) fails
    std::string prepared;       // statement: prepared text
    std::string result;         // statement: the "ROWS ..." text of its open cursor
    int row = 0;                // statement: rows fetched so far
};

constexpr int kResultRows = 3;
constexpr SQLSMALLINT kResultColumns = 2;
constexpr SQLLEN kResultColumnLength = 10;

std::map<int, KelvFakeParameter> bindings;   // of the last statement bound, by position

bool hasFault(const Handle* stmt, const char* fault) {
    const std::string& text = stmt->result.empty() ? stmt->prepared : stmt->result;
    return text.find(fault) != std::string::npos;
}

void writeOutputs() {
    for (auto& [pos, p] : bindings) {
        if (p.direction != SQL_PARAM_OUTPUT && p.direction != SQL_PARAM_INPUT_OUTPUT) continue;
        if (p.cType == SQL_C_SLONG || p.cType == SQL_C_LONG) {
            const SQLINTEGER value = 42 + pos;
            if (p.value) std::memcpy(p.value, &value, sizeof value);
            if (p.indicator) *p.indicator = sizeof value;
        } else if (p.cType == SQL_C_CHAR) {
            const std::string text = "out";
            if (p.value && p.bufferLength > 0) {
                const size_t n = std::min(text.size(), static_cast<size_t>(p.bufferLength - 1));
                std::memcpy(p.value, text.data(), n);
                static_cast<char*>(p.value)[n] = 0;
            }
            if (p.indicator) *p.indicator = static_cast<SQLLEN>(text.size());
        }
    }
}

Handle* H(SQLHANDLE h) { return static_cast<Handle*>(h); }

void copyText(const std::string& text, SQLCHAR* out, SQLSMALLINT outLen, SQLSMALLINT* length) {
    if (length) *length = static_cast<SQLSMALLINT>(text.size());
    if (out && outLen > 0) {
        size_t n = std::min(text.size(), static_cast<size_t>(outLen - 1));
        std::memcpy(out, text.data(), n);
        out[n] = 0;
    }
}

Handle* connectionOf(Handle* stmt) { return stmt->parent; }

SQLRETURN run(Handle* stmt, const std::string& text) {
    stmt->diags.clear();
    Handle* dbc = connectionOf(stmt);
    if (dbc->lost) {
        stmt->diags.push_back({"08S01", 9, "[Fake]Communication link failure"});
        return SQL_ERROR;
    }
    if (text == "MULTI ERROR") {
        stmt->diags.push_back({"42000", 100, "[Fake]first problem"});
        stmt->diags.push_back({"HY000", 200, "[Fake]second problem"});
        return SQL_ERROR;
    }
    if (text == "TRIPLE ERROR") {
        stmt->diags.push_back({"42000", 1, "[Fake]one"});
        stmt->diags.push_back({"42S02", 2, "[Fake]two"});
        stmt->diags.push_back({"HY000", 3, "[Fake]three"});
        return SQL_ERROR;
    }
    if (text == "LONG MESSAGE") {
        stmt->diags.push_back({"HY000", 7, "[Fake]" + std::string(594, 'm')});
        return SQL_ERROR;
    }
    if (text == "LOSE CONNECTION") {
        dbc->lost = true;
        stmt->diags.push_back({"08S01", 9, "[Fake]Communication link failure"});
        return SQL_ERROR;
    }
    if (text == "OUTPUT") writeOutputs();
    if (text == "FAIL ROLLBACK") dbc->failRollback = true;
    if (text.rfind("ROWS", 0) == 0) {
        stmt->result = text;
        stmt->row = 0;
    }
    return SQL_SUCCESS;
}

}  // namespace

extern "C" {

SQLRETURN SQL_API SQLAllocHandle(SQLSMALLINT type, SQLHANDLE input, SQLHANDLE* output) {
    if (!output) return SQL_ERROR;
    *output = new Handle{type, H(input), {}, false, false, {}, {}, 0};
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLFreeHandle(SQLSMALLINT, SQLHANDLE handle) {
    delete H(handle);
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLFreeStmt(SQLHSTMT stmt, SQLUSMALLINT option) {
    if (option == SQL_DROP) {
        delete H(stmt);
        return SQL_SUCCESS;
    }
    if (option == SQL_CLOSE) {
        Handle* h = H(stmt);
        h->diags.clear();
        if (hasFault(h, "BAD CLOSE")) {
            h->diags.push_back({"HY000", 11, "[Fake]cannot close"});
            return SQL_ERROR;
        }
        h->result.clear();
    }
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLBindParameter(SQLHSTMT, SQLUSMALLINT number, SQLSMALLINT direction, SQLSMALLINT cType,
                                   SQLSMALLINT sqlType, SQLULEN columnSize, SQLSMALLINT digits, SQLPOINTER value,
                                   SQLLEN bufferLength, SQLLEN* indicator) {
    if (number == 1) bindings.clear();
    bindings[number] = KelvFakeParameter{direction, cType, sqlType, columnSize, digits, value, bufferLength, indicator};
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLColAttribute(SQLHSTMT stmt, SQLUSMALLINT column, SQLUSMALLINT field, SQLPOINTER text,
                                  SQLSMALLINT textLength, SQLSMALLINT* length, SQLLEN* number) {
    Handle* h = H(stmt);
    h->diags.clear();
    if (column == kResultColumns && hasFault(h, "BAD DESCRIBE")) {
        h->diags.push_back({"HY000", 12, "[Fake]cannot describe"});
        return SQL_ERROR;
    }
    if (number) *number = 0;
    switch (field) {
    case SQL_DESC_NAME:
    case SQL_COLUMN_NAME:
        copyText(column == 1 ? "A" : "B", static_cast<SQLCHAR*>(text), textLength, length);
        break;
    case SQL_DESC_CONCISE_TYPE:  // also SQL_COLUMN_TYPE
        if (number) *number = SQL_VARCHAR;
        break;
    case SQL_COLUMN_LENGTH:
    case SQL_DESC_OCTET_LENGTH:
        if (number) *number = kResultColumnLength;
        break;
    default:
        break;
    }
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLFetch(SQLHSTMT stmt) {
    Handle* h = H(stmt);
    h->diags.clear();
    if (h->result.empty() || h->row >= kResultRows) return SQL_NO_DATA;
    ++h->row;
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLGetData(SQLHSTMT stmt, SQLUSMALLINT column, SQLSMALLINT, SQLPOINTER value, SQLLEN bufferLength,
                             SQLLEN* indicator) {
    Handle* h = H(stmt);
    h->diags.clear();
    if (column == kResultColumns && hasFault(h, "BAD GETDATA")) {
        h->diags.push_back({"HY000", 13, "[Fake]cannot read"});
        return SQL_ERROR;
    }
    const std::string text = std::string(column == 1 ? "a" : "b") + std::to_string(h->row);
    copyText(text, static_cast<SQLCHAR*>(value), static_cast<SQLSMALLINT>(bufferLength), nullptr);
    if (indicator) *indicator = static_cast<SQLLEN>(text.size());
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLSetEnvAttr(SQLHENV, SQLINTEGER, SQLPOINTER, SQLINTEGER) { return SQL_SUCCESS; }
SQLRETURN SQL_API SQLSetConnectAttr(SQLHDBC, SQLINTEGER, SQLPOINTER, SQLINTEGER) { return SQL_SUCCESS; }
SQLRETURN SQL_API SQLSetStmtAttr(SQLHSTMT, SQLINTEGER, SQLPOINTER, SQLINTEGER) { return SQL_SUCCESS; }

SQLRETURN SQL_API SQLGetInfo(SQLHDBC, SQLUSMALLINT type, SQLPOINTER value, SQLSMALLINT bufLen,
                             SQLSMALLINT* length) {
    if (type == SQL_DRIVER_ODBC_VER) {
        copyText("03.00", static_cast<SQLCHAR*>(value), bufLen, length);
        return SQL_SUCCESS;
    }
    if (value) std::memset(value, 0, bufLen > 0 && bufLen < 8 ? static_cast<size_t>(bufLen) : 4);
    if (length) *length = 4;
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLConnect(SQLHDBC, SQLCHAR*, SQLSMALLINT, SQLCHAR*, SQLSMALLINT, SQLCHAR*, SQLSMALLINT) {
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLDriverConnect(SQLHDBC, SQLHWND, SQLCHAR* in, SQLSMALLINT inLen, SQLCHAR* out,
                                   SQLSMALLINT outMax, SQLSMALLINT* outLen, SQLUSMALLINT) {
    std::string text = inLen == SQL_NTS ? std::string(reinterpret_cast<char*>(in))
                                        : std::string(reinterpret_cast<char*>(in), static_cast<size_t>(inLen));
    copyText(text, out, outMax, outLen);
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLDisconnect(SQLHDBC) { return SQL_SUCCESS; }
SQLRETURN SQL_API SQLEndTran(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT completion) {
    Handle* h = H(handle);
    h->diags.clear();
    if (type == SQL_HANDLE_DBC && completion == SQL_ROLLBACK && h->failRollback) {
        h->diags.push_back({"HY000", 14, "[Fake]cannot roll back"});
        return SQL_ERROR;
    }
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLExecDirect(SQLHSTMT stmt, SQLCHAR* text, SQLINTEGER len) {
    std::string sql = len == SQL_NTS ? std::string(reinterpret_cast<char*>(text))
                                     : std::string(reinterpret_cast<char*>(text), static_cast<size_t>(len));
    return run(H(stmt), sql);
}

SQLRETURN SQL_API SQLPrepare(SQLHSTMT stmt, SQLCHAR* text, SQLINTEGER len) {
    H(stmt)->diags.clear();
    H(stmt)->prepared = len == SQL_NTS ? std::string(reinterpret_cast<char*>(text))
                                       : std::string(reinterpret_cast<char*>(text), static_cast<size_t>(len));
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLExecute(SQLHSTMT stmt) { return run(H(stmt), H(stmt)->prepared); }

SQLRETURN SQL_API SQLNumResultCols(SQLHSTMT stmt, SQLSMALLINT* count) {
    const std::string& text = H(stmt)->result.empty() ? H(stmt)->prepared : H(stmt)->result;
    if (count) *count = text.rfind("ROWS", 0) == 0 ? kResultColumns : 0;
    H(stmt)->diags.clear();
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLRowCount(SQLHSTMT, SQLLEN* count) {
    if (count) *count = 1;
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLGetDiagRec(SQLSMALLINT, SQLHANDLE handle, SQLSMALLINT rec, SQLCHAR* state,
                                SQLINTEGER* native, SQLCHAR* message, SQLSMALLINT bufLen, SQLSMALLINT* length) {
    Handle* h = H(handle);
    if (!h || rec < 1 || static_cast<size_t>(rec) > h->diags.size()) return SQL_NO_DATA;
    const Diag& d = h->diags[static_cast<size_t>(rec - 1)];
    if (state) copyText(d.state, state, 6, nullptr);
    if (native) *native = d.native;
    copyText(d.message, message, bufLen, length);
    return d.message.size() >= static_cast<size_t>(bufLen > 0 ? bufLen : 0) ? SQL_SUCCESS_WITH_INFO : SQL_SUCCESS;
}

SQLRETURN SQL_API SQLGetDiagField(SQLSMALLINT, SQLHANDLE handle, SQLSMALLINT rec, SQLSMALLINT field,
                                  SQLPOINTER value, SQLSMALLINT bufLen, SQLSMALLINT* length) {
    Handle* h = H(handle);
    if (!h) return SQL_INVALID_HANDLE;
    if (rec == 0) {
        if (field == SQL_DIAG_NUMBER) {
            if (value) *static_cast<SQLINTEGER*>(value) = static_cast<SQLINTEGER>(h->diags.size());
            return SQL_SUCCESS;
        }
        if (field == SQL_DIAG_RETURNCODE) {
            if (value) *static_cast<SQLRETURN*>(value) = h->diags.empty() ? SQL_SUCCESS : SQL_ERROR;
            return SQL_SUCCESS;
        }
        if (field == SQL_DIAG_ROW_COUNT || field == SQL_DIAG_CURSOR_ROW_COUNT) {
            if (value) *static_cast<SQLLEN*>(value) = 0;
            return SQL_SUCCESS;
        }
        return SQL_ERROR;
    }
    if (static_cast<size_t>(rec) > h->diags.size()) return SQL_NO_DATA;
    const Diag& d = h->diags[static_cast<size_t>(rec - 1)];
    switch (field) {
    case SQL_DIAG_SQLSTATE:
        copyText(d.state, static_cast<SQLCHAR*>(value), bufLen, length);
        return SQL_SUCCESS;
    case SQL_DIAG_NATIVE:
        if (value) *static_cast<SQLINTEGER*>(value) = d.native;
        return SQL_SUCCESS;
    case SQL_DIAG_MESSAGE_TEXT:
        copyText(d.message, static_cast<SQLCHAR*>(value), bufLen, length);
        return SQL_SUCCESS;
    case SQL_DIAG_CLASS_ORIGIN:
    case SQL_DIAG_SUBCLASS_ORIGIN:
        copyText("ISO 9075", static_cast<SQLCHAR*>(value), bufLen, length);
        return SQL_SUCCESS;
    case SQL_DIAG_CONNECTION_NAME:
    case SQL_DIAG_SERVER_NAME:
        copyText("", static_cast<SQLCHAR*>(value), bufLen, length);
        return SQL_SUCCESS;
    case SQL_DIAG_COLUMN_NUMBER:
    case SQL_DIAG_ROW_NUMBER:
        if (value) *static_cast<SQLLEN*>(value) = 0;
        return SQL_SUCCESS;
    default:
        return SQL_ERROR;
    }
}

const KelvFakeParameter* KelvFakeBinding(int position) {
    auto it = bindings.find(position);
    return it == bindings.end() ? nullptr : &it->second;
}

}  // extern "C"
