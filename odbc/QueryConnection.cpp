// Connecting, disconnecting and ending transactions.
#include "QueryImpl.h"

#include <pwd.h>
#include <unistd.h>

namespace {

std::string operatingSystemUser() {
    std::string name;
    if (const passwd* pw = getpwuid(geteuid())) name = pw->pw_name;
    if (name.empty())
        if (const char* env = getenv("USER")) name = env;
    if (name.size() > static_cast<size_t>(kMaxUserNameLength)) name.resize(kMaxUserNameLength);
    return name;
}

}  // namespace

std::string kelv_odbc::BuildConnectionString(const std::string& dsn, const std::string& fileDsn,
                                  const std::string& user, const std::string& password,
                                  const std::string& info) {
    std::string s;
    if (!dsn.empty())
        s = "DSN=" + dsn;
    else if (!fileDsn.empty())
        s = "FILEDSN=" + fileDsn;
    if (!user.empty()) s += ";UID=" + user;
    if (!password.empty()) s += ";PWD=" + password;
    if (!info.empty()) s += ";" + info;
    return s;
}

namespace {

// Allocates the environment (declaring ODBC 3 where asked) and the
// connection handle; false, with the errors collected, when either fails.
bool allocateHandles(TQueryODBC::Impl& m, kelv_odbc::EnvHandle& env, kelv_odbc::DbcHandle& dbc) {
    SQLRETURN rc;
    if (m.odbc3()) {
        rc = m.call("AllocHandle(Env)", [&] { return SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, env.out()); });
        if (rc == SQL_SUCCESS)
            rc = m.call("SetEnvAttr(ODBC_VERSION)", [&] {
                return SQLSetEnvAttr(env.get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
            });
    } else {
        rc = m.call("AllocEnv", [&] { return SQLAllocEnv(env.out()); });
    }
    if (rc == SQL_SUCCESS)
        rc = m.odbc3() ? m.call("AllocHandle(Connect)", [&] { return SQLAllocHandle(SQL_HANDLE_DBC, env.get(), dbc.out()); })
                       : m.call("AllocConnect", [&] { return SQLAllocConnect(env.get(), dbc.out()); });
    if (rc == SQL_SUCCESS) return true;
    m.henv = env.get();   // the diagnostics hang on the environment
    m.collectErrors();
    m.henv = SQL_NULL_HENV;
    return false;
}

// SQLDriverConnect with the built connection string, or SQLConnect.
SQLRETURN connectToDataSource(TQueryODBC::Impl& m, SQLHDBC dbc, const std::string& fileDsn) {
    if (!m.driverConnect)
        return m.call("Connect", [&] {
            return SQLConnect(dbc, (SQLCHAR*)m.dsName.c_str(), SQL_NTS, (SQLCHAR*)m.userID.c_str(), SQL_NTS,
                              (SQLCHAR*)m.password.c_str(), SQL_NTS);
        });
    const std::string in = kelv_odbc::BuildConnectionString(m.dsName, fileDsn, m.userID, m.password, m.connectInfo);
    SQLCHAR out[kConnectOutSize + 1] = {0};
    SQLSMALLINT outLen = 0;
    const SQLRETURN rc = m.call("DriverConnect", [&] {
        return SQLDriverConnect(dbc, nullptr, (SQLCHAR*)in.c_str(), static_cast<SQLSMALLINT>(in.size()), out,
                                kConnectOutSize, &outLen, SQL_DRIVER_COMPLETE);
    });
    if (SQL_SUCCEEDED(rc)) m.connectOut.assign(reinterpret_cast<char*>(out));
    return rc;
}

SQLRETURN setConnectOption(TQueryODBC::Impl& m, const char* step2, const char* step3, SQLUSMALLINT option2,
                           SQLINTEGER attr3, SQLULEN value) {
    return m.call(m.step(step2, step3), [&] {
        return m.odbc3() ? SQLSetConnectAttr(m.hdbc, attr3, reinterpret_cast<SQLPOINTER>(value), SQL_IS_UINTEGER)
                         : SQLSetConnectOption(m.hdbc, option2, value);
    });
}

// Which scrolling fetches the driver offers; FetchScroll stays on only when it has the call.
void readFetchCapabilities(TQueryODBC::Impl& m) {
    m.hasFirst = m.hasLast = m.hasPrior = m.hasAbsolute = m.hasRelative = m.hasResume = m.hasBookmark = false;
    if (!m.fetchScroll) return;
    SQLUSMALLINT exists = SQL_FALSE;
    SQLRETURN rc = m.call("GetFunction", [&] {
        return SQLGetFunctions(m.hdbc, m.odbc3() ? SQL_API_SQLFETCHSCROLL : SQL_API_SQLEXTENDEDFETCH, &exists);
    });
    if (!SQL_SUCCEEDED(rc)) m.collectErrors();
    m.fetchScroll = SQL_SUCCEEDED(rc) && exists == SQL_TRUE;
    if (!m.fetchScroll) return;
    SQLUINTEGER mask = 0;
    rc = m.call("GetInfo", [&] { return SQLGetInfo(m.hdbc, SQL_FETCH_DIRECTION, &mask, sizeof mask, nullptr); });
    if (!SQL_SUCCEEDED(rc)) {
        m.collectErrors();
        mask = 0;
    }
    m.hasFirst = mask & kFdFirst;
    m.hasLast = mask & kFdLast;
    m.hasPrior = mask & kFdPrior;
    m.hasAbsolute = mask & kFdAbsolute;
    m.hasRelative = mask & kFdRelative;
    m.hasResume = mask & kFdResume;
    m.hasBookmark = mask & kFdBookmark;
}

// The options of a new connection, in their order; SQL_ERROR is collected.
void setConnectionOptions(TQueryODBC::Impl& m, bool lockConcurrency) {
    if (m.readOnly && setConnectOption(m, "SetConnectOption (AccessMode)", "SetConnectAttr (AccessMode)",
                                       SQL_ACCESS_MODE, SQL_ATTR_ACCESS_MODE, SQL_MODE_READ_ONLY) == SQL_ERROR)
        m.collectErrors();
    readFetchCapabilities(m);
    if (m.hasFirst && m.hasLast && m.hasPrior)
        setConnectOption(m, "SetConnectOption (CursorType)", "SetConnectAttr(CursorType)", SQL_CURSOR_TYPE,
                         SQL_ATTR_CURSOR_TYPE, m.cursorDynamic ? SQL_CURSOR_DYNAMIC : SQL_CURSOR_STATIC);
    if (lockConcurrency && setConnectOption(m, "SetConnectOption (Concurrncy)", "SetConnectAttr(Concurrncy)",
                                            SQL_CONCURRENCY, SQL_ATTR_CONCURRENCY, SQL_CONCUR_LOCK) == SQL_ERROR)
        m.collectErrors();
    if (m.hasBookmark && setConnectOption(m, "SetConnectOption (UseBookmark)", "SetConnectAttr(UseBookmark)",
                                          SQL_USE_BOOKMARKS, SQL_ATTR_USE_BOOKMARKS, SQL_UB_ON) == SQL_ERROR)
        m.collectErrors();
    if (m.transaction && setConnectOption(m, "SetConnectOption (AutoCommit)", "SetConnectAttr(AutoCommit)",
                                          SQL_AUTOCOMMIT, SQL_ATTR_AUTOCOMMIT, SQL_AUTOCOMMIT_OFF) == SQL_ERROR)
        m.collectErrors();
}

}  // namespace

void TQueryODBC::Connect() {
    Impl& m = *d;
    if (m.clone && !m.cloneOrigin) Impl::raiseMessage(kMsgCloneMode);
    if (m.connected) return;

    m.beginWait();
    if (BeforeConnect) {
        m.endWait();
        BeforeConnect(this);
        m.beginWait();
    }
    {
        kelv_odbc::EnvHandle env;
        kelv_odbc::DbcHandle dbc;
        if (allocateHandles(m, env, dbc)) {
            if (m.useUserName && m.userID.empty()) m.userID = operatingSystemUser();
            m.henv = env.get();
            m.hdbc = dbc.get();
            const SQLRETURN rc = connectToDataSource(m, dbc.get(), FileDSN);
            if (SQL_SUCCEEDED(rc)) {
                m.connected = true;
                m.envOwner = std::move(env);
                m.dbcOwner = std::move(dbc);
                setConnectionOptions(m, LockConcurrency);
            } else {
                // SQL_NO_DATA: the user cancelled the driver's dialog.
                if (rc == SQL_NO_DATA)
                    m.setPending(kMsgConnectCancelled);
                else
                    m.collectErrors();
                m.hdbc = SQL_NULL_HDBC;
                m.henv = SQL_NULL_HENV;
            }
        }
        // A failed connection frees here, connection before environment.
    }
    if (m.connected && m.cloneOrigin && m.clone) CloneConnect(nullptr);
    m.endWait();
    m.raisePending();
    // Reached after a failure only without exceptions: the event marks the
    // end of the attempt, and handlers read Connected.
    if (AfterConnect) AfterConnect(this);
    m.notifyState(qoStateConnected);
}

void TQueryODBC::Impl::rollbackPendingWork() {
    if (transaction && workPending) {
        // Rollback raises what is pending at its end: keep the errors of the
        // steps before it, and its own, for the end of the disconnect.
        const TqoErrorInfo before = takePending();
        TqoErrorInfo own;
        try {
            self->Rollback();
        } catch (const EODBCError& e) {
            own = TqoErrorInfo{e.ODBCFunction, e.SQLState, e.NativeError, e.ErrorMessage};
        }
        addPending(before);
        addPending(own);
        if (!self->SilentRollback) QueryUI().ShowMessage(kMsgAutoRollback);
    }
    workPending = false;
}

void TQueryODBC::Impl::releaseConnection() {
    // Frees the connection or the environment handle; a failure is read
    // from the handle itself, which then still exists.
    auto release = [this](SQLSMALLINT type, SQLHANDLE h) {
        const bool isDbc = type == SQL_HANDLE_DBC;
        const SQLRETURN rc =
            odbc3() ? call(isDbc ? "FreeHandle(Connect)" : "FreeHandle(Env)", [&] { return SQLFreeHandle(type, h); })
                    : call(isDbc ? "FreeConnect" : "FreeEnv", [&] { return isDbc ? SQLFreeConnect(h) : SQLFreeEnv(h); });
        if (rc == SQL_SUCCESS) return;
        if (!isDbc) henv = h;
        collectErrors();
    };
    if (dbcOwner) {
        const SQLRETURN rc = call("Disconnect", [&] { return SQLDisconnect(hdbc); });
        if (rc != SQL_SUCCESS) collectErrors();
        release(SQL_HANDLE_DBC, dbcOwner.release());
        hdbc = SQL_NULL_HDBC;
    }
    if (envOwner) release(SQL_HANDLE_ENV, envOwner.release());
    henv = SQL_NULL_HENV;
    hdbc = SQL_NULL_HDBC;
    connected = false;
}

void TQueryODBC::Disconnect() {
    Impl& m = *d;
    if (m.clone && !m.cloneOrigin) Impl::raiseMessage(kMsgCloneMode);
    if (!m.connected) return;

    if (BeforeDisconnect) BeforeDisconnect(this);
    m.notifyState(qoStateDisconnecting);
    {
        WaitScope wait(m);
        if (m.cloneOrigin && m.clone) CloneDisconnect(nullptr);
        m.freeStatements(0);
        m.rollbackPendingWork();
        m.releaseConnection();
    }
    m.raisePending();
    if (AfterDisconnect) AfterDisconnect(this);
}

namespace {

// Commit and Rollback: the events around ending the transaction on the
// connection; WorkPending falls only when nothing was raised.
void endTransaction(TQueryODBC& q, TQueryODBC::Impl& m, SQLSMALLINT completion, const char* refusal,
                    const TNotifyEvent& before, const TNotifyEvent& after) {
    if (!m.transaction) TQueryODBC::Impl::raiseMessage(refusal);
    if (before) before(&q);
    {
        WaitScope wait(m);
        if (m.connected) {
            SQLRETURN rc = m.odbc3()
                               ? m.call("EndTran", [&] { return SQLEndTran(SQL_HANDLE_DBC, m.hdbc, completion); })
                               : m.call("Transact", [&] { return SQLTransact(m.henv, m.hdbc, completion); });
            if (rc != SQL_SUCCESS) m.collectErrors();
        }
    }
    m.raisePending();
    if (after) after(&q);
    m.workPending = false;
}

}  // namespace

void TQueryODBC::Commit() { endTransaction(*this, *d, SQL_COMMIT, kMsgCommitNeedsTrans, BeforeCommit, AfterCommit); }

void TQueryODBC::Rollback() {
    endTransaction(*this, *d, SQL_ROLLBACK, kMsgRollbackNeedsTrans, BeforeRollback, AfterRollback);
}
