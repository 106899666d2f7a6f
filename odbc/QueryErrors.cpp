// Collecting ODBC diagnostics into the pending error and raising EODBCError.
#include "QueryImpl.h"

#include <algorithm>
#include <cstdio>
#include <vector>

EODBCError::EODBCError(const TqoErrorInfo& info)
    : std::runtime_error(info.ErrorMessage),
      ODBCFunction(info.ODBCFunction),
      SQLState(info.SQLState),
      NativeError(info.NativeError),
      ErrorMessage(info.ErrorMessage) {}

namespace {

struct DiagRecord {
    std::string state;
    SQLINTEGER native = 0;
    std::string message;
};

// ODBC 2: SQLError hands out each record once; a message longer than the
// buffer arrives cut (SQL_SUCCESS_WITH_INFO) and the loop still goes on, so
// no later record is lost.
// The primary record as SQLGetDiagRec numbers it, read before SQLError
// consumes the records; false when the driver manager cannot tell.
bool primaryRecord(SQLHENV env, SQLHDBC dbc, SQLHSTMT stmt, DiagRecord& primary) {
    SQLSMALLINT type = SQL_HANDLE_ENV;
    SQLHANDLE handle = env;
    if (stmt != SQL_NULL_HSTMT) {
        type = SQL_HANDLE_STMT;
        handle = stmt;
    } else if (dbc != SQL_NULL_HDBC) {
        type = SQL_HANDLE_DBC;
        handle = dbc;
    }
    SQLCHAR state[6] = {0};
    SQLCHAR message[kSqlErrorMessageSize + 1] = {0};
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLGetDiagRec(type, handle, 1, state, &primary.native, message,
                                     kSqlErrorMessageSize, &length)))
        return false;
    // States differ between the two calls (ODBC 2 and 3 codes): match on the text.
    const int shown = length < 0 ? 0 : std::min<int>(length, kSqlErrorMessageSize - 1);
    primary.message.assign(reinterpret_cast<char*>(message), static_cast<size_t>(shown));
    return true;
}

std::vector<DiagRecord> readSqlError(SQLHENV env, SQLHDBC dbc, SQLHSTMT stmt) {
    DiagRecord primary;
    const bool knowPrimary = primaryRecord(env, dbc, stmt, primary);
    std::vector<DiagRecord> records;
    for (int i = 0; i < kMaxSqlErrorRecords; ++i) {
        SQLCHAR state[6] = {0};
        SQLINTEGER native = 0;
        SQLCHAR message[kSqlErrorMessageSize + 1] = {0};
        SQLSMALLINT length = 0;
        SQLRETURN rc = SQLError(env, dbc, stmt, state, &native, message, kSqlErrorMessageSize,
                                &length);
        if (!SQL_SUCCEEDED(rc)) break;
        int shown = length < 0 ? 0 : (length >= kSqlErrorMessageSize ? kSqlErrorMessageSize - 1 : length);
        records.push_back({std::string(reinterpret_cast<char*>(state), 5), native,
                           std::string(reinterpret_cast<char*>(message), static_cast<size_t>(shown))});
    }
    // Depending on how the driver reports, the driver manager hands SQLError
    // records out in the driver's order or newest first. The primary error
    // must come first: it gives the state and native code.
    auto isPrimary = [&primary](const DiagRecord& r) {
        return r.native == primary.native && r.message == primary.message;
    };
    const bool reversed = knowPrimary ? records.size() > 1 && !isPrimary(records.front()) &&
                                            isPrimary(records.back())
                                      : true;
    if (reversed) std::reverse(records.begin(), records.end());
    return records;
}

// ODBC 3: records 1..10; a message longer than the buffer is read again whole.
std::vector<DiagRecord> readDiagRec(SQLSMALLINT type, SQLHANDLE handle) {
    std::vector<DiagRecord> records;
    for (SQLSMALLINT rec = 1; rec <= kMaxDiagRecords; ++rec) {
        SQLCHAR state[6] = {0};
        SQLINTEGER native = 0;
        std::vector<SQLCHAR> message(kDiagMessageSize, 0);
        SQLSMALLINT length = 0;
        SQLRETURN rc = SQLGetDiagRec(type, handle, rec, state, &native, message.data(),
                                     static_cast<SQLSMALLINT>(message.size()), &length);
        if (!SQL_SUCCEEDED(rc)) break;
        if (length >= static_cast<SQLSMALLINT>(message.size())) {
            message.assign(static_cast<size_t>(length) + 1, 0);
            rc = SQLGetDiagRec(type, handle, rec, state, &native, message.data(),
                               static_cast<SQLSMALLINT>(message.size()), &length);
            if (!SQL_SUCCEEDED(rc)) break;
        }
        size_t shown = length < 0 ? 0 : std::min<size_t>(static_cast<size_t>(length), message.size() - 1);
        records.push_back({std::string(reinterpret_cast<char*>(state), 5), native,
                           std::string(reinterpret_cast<char*>(message.data()), shown)});
    }
    return records;
}

std::string cutAtNul(std::string s) {
    auto nul = s.find('\0');
    if (nul != std::string::npos) s.resize(nul);
    return s;
}

}  // namespace

void TQueryODBC::Impl::collectErrors(SQLHSTMT hstmt) {
    std::vector<DiagRecord> records;
    if (odbc3()) {
        if (hstmt != SQL_NULL_HSTMT)
            records = readDiagRec(SQL_HANDLE_STMT, hstmt);
        else if (hdbc != SQL_NULL_HDBC)
            records = readDiagRec(SQL_HANDLE_DBC, hdbc);
        else if (henv != SQL_NULL_HENV)
            records = readDiagRec(SQL_HANDLE_ENV, henv);
    } else {
        if (hstmt != SQL_NULL_HSTMT)
            records = readSqlError(SQL_NULL_HENV, SQL_NULL_HDBC, hstmt);
        else if (hdbc != SQL_NULL_HDBC)
            records = readSqlError(SQL_NULL_HENV, hdbc, SQL_NULL_HSTMT);
        else if (henv != SQL_NULL_HENV)
            records = readSqlError(henv, SQL_NULL_HDBC, SQL_NULL_HSTMT);
    }
    const std::string function = std::string("SQL") + stepName;
    for (const DiagRecord& r : records) {
        std::string state = cutAtNul(r.state);
        if (exceptionOn) {
            if (errFunction.empty()) errFunction = function;
            if (errState.empty()) errState = state;
            if (errNative == 0) errNative = r.native;
            if (!errMessage.empty()) errMessage += kErrorSeparator;
            errMessage += r.message;
            errorPending = true;
        } else {
            char head[512];
            std::snprintf(head, sizeof head, kMsgErrorBoxFormat, function.c_str(), state.c_str(),
                          static_cast<int>(r.native));
            QueryUI().ShowMessage(head + r.message);
        }
    }
}

// The component's own check replaces what is pending: it says what stopped
// the operation, with no driver's function or state beside it.
void TQueryODBC::Impl::setPending(const std::string& message) {
    takePending();
    errMessage = message;
    errorPending = true;
}

TqoErrorInfo TQueryODBC::Impl::takePending() {
    TqoErrorInfo info{std::move(errFunction), std::move(errState), errNative, std::move(errMessage)};
    errorPending = false;
    errFunction.clear();
    errState.clear();
    errNative = 0;
    errMessage.clear();
    return info;
}

void TQueryODBC::Impl::addPending(const TqoErrorInfo& info) {
    if (info.ErrorMessage.empty() && info.ODBCFunction.empty()) return;
    if (errFunction.empty()) errFunction = info.ODBCFunction;
    if (errState.empty()) errState = info.SQLState;
    if (errNative == 0) errNative = info.NativeError;
    if (!errMessage.empty() && !info.ErrorMessage.empty()) errMessage += kErrorSeparator;
    errMessage += info.ErrorMessage;
    errorPending = true;
}

// Whether the last call on the statement cut a value (SQLSTATE 01004).
// SQLGetDiagRec leaves the records in place for collectErrors.
bool TQueryODBC::Impl::driverReportedCut(SQLHSTMT hstmt) const {
    for (SQLSMALLINT rec = 1; rec <= kMaxDiagRecords; ++rec) {
        SQLCHAR state[6] = {0};
        SQLCHAR message[kDiagMessageSize] = {0};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        if (!SQL_SUCCEEDED(SQLGetDiagRec(SQL_HANDLE_STMT, hstmt, rec, state, &native, message, kDiagMessageSize,
                                         &length)))
            return false;
        if (std::string(reinterpret_cast<char*>(state)) == kStateCut) return true;
    }
    return false;
}

void TQueryODBC::Impl::raisePending() {
    if (!errorPending) return;
    TqoErrorInfo info = takePending();
    if (!exceptionOn) {
        // Without exceptions the component's own checks are shown like the
        // driver's records, so the caller still learns about them.
        QueryUI().ShowMessage(info.ErrorMessage);
        return;
    }
    throw EODBCError(info);
}

void TQueryODBC::Impl::raiseMessage(const std::string& text) {
    throw EODBCError(TqoErrorInfo{kNoFunction, kNoState, 0, kQueryPrefix + text});
}

void TQueryODBC::Impl::beginWait() const {
    if (sqlWaitCursor) QueryUI().BeginWait();
}

void TQueryODBC::Impl::endWait() const {
    if (sqlWaitCursor) QueryUI().EndWait();
}

void TQueryODBC::RaiseError(SQLHSTMT handle) {
    d->stepName = kUserCallStep;
    d->collectErrors(handle);
    d->raisePending();
}
