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

    kelv_odbc::EnvHandle env;
    kelv_odbc::DbcHandle dbc;
    bool ok = true;

    // Environment
    SQLRETURN rc;
    if (m.odbc3()) {
        rc = m.call("AllocHandle(Env)", [&] { return SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, env.out()); });
        if (rc == SQL_SUCCESS)
            rc = m.call("SetEnvAttr(ODBC_VERSION)", [&] {
                return SQLSetEnvAttr(env.get(), SQL_ATTR_ODBC_VERSION,
                                     reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
            });
    } else {
        rc = m.call("AllocEnv", [&] { return SQLAllocEnv(env.out()); });
    }
    if (rc != SQL_SUCCESS) {
        m.henv = env.get();
        m.collectErrors();
        m.henv = SQL_NULL_HENV;
        ok = false;
    }

    // Connection
    if (ok) {
        rc = m.odbc3() ? m.call("AllocHandle(Connect)",
                                [&] { return SQLAllocHandle(SQL_HANDLE_DBC, env.get(), dbc.out()); })
                       : m.call("AllocConnect", [&] { return SQLAllocConnect(env.get(), dbc.out()); });
        if (rc != SQL_SUCCESS) {
            m.henv = env.get();
            m.collectErrors();
            m.henv = SQL_NULL_HENV;
            ok = false;
        }
    }

    if (ok) {
        if (m.useUserName && m.userID.empty()) m.userID = operatingSystemUser();
        m.henv = env.get();
        m.hdbc = dbc.get();
        if (m.driverConnect) {
            std::string in = kelv_odbc::BuildConnectionString(m.dsName, FileDSN, m.userID, m.password, m.connectInfo);
            SQLCHAR out[kConnectOutSize + 1] = {0};
            SQLSMALLINT outLen = 0;
            rc = m.call("DriverConnect", [&] {
                return SQLDriverConnect(dbc.get(), nullptr, (SQLCHAR*)in.c_str(),
                                        static_cast<SQLSMALLINT>(in.size()), out, kConnectOutSize,
                                        &outLen, SQL_DRIVER_COMPLETE);
            });
            if (SQL_SUCCEEDED(rc)) m.connectOut.assign(reinterpret_cast<char*>(out));
        } else {
            rc = m.call("Connect", [&] {
                return SQLConnect(dbc.get(), (SQLCHAR*)m.dsName.c_str(), SQL_NTS,
                                  (SQLCHAR*)m.userID.c_str(), SQL_NTS,
                                  (SQLCHAR*)m.password.c_str(), SQL_NTS);
            });
        }

        if (SQL_SUCCEEDED(rc)) {
            m.connected = true;
            m.envOwner = std::move(env);
            m.dbcOwner = std::move(dbc);
            auto setOption = [&](const char* v2, const char* v3, SQLUSMALLINT option2,
                                 SQLINTEGER attr3, SQLULEN value) {
                return m.call(m.step(v2, v3), [&] {
                    return m.odbc3() ? SQLSetConnectAttr(m.hdbc, attr3, reinterpret_cast<SQLPOINTER>(value),
                                                         SQL_IS_UINTEGER)
                                     : SQLSetConnectOption(m.hdbc, option2, value);
                });
            };
            if (m.readOnly &&
                setOption("SetConnectOption (AccessMode)", "SetConnectAttr (AccessMode)", SQL_ACCESS_MODE,
                          SQL_ATTR_ACCESS_MODE, SQL_MODE_READ_ONLY) == SQL_ERROR)
                m.collectErrors();

            m.hasFirst = m.hasLast = m.hasPrior = m.hasAbsolute = m.hasRelative = m.hasResume =
                m.hasBookmark = false;
            if (m.fetchScroll) {
                SQLUSMALLINT exists = SQL_FALSE;
                rc = m.call("GetFunction", [&] {
                    return SQLGetFunctions(m.hdbc, m.odbc3() ? SQL_API_SQLFETCHSCROLL : SQL_API_SQLEXTENDEDFETCH,
                                           &exists);
                });
                if (!SQL_SUCCEEDED(rc)) m.collectErrors();
                m.fetchScroll = SQL_SUCCEEDED(rc) && exists == SQL_TRUE;
                if (m.fetchScroll) {
                    SQLUINTEGER mask = 0;
                    rc = m.call("GetInfo", [&] {
                        return SQLGetInfo(m.hdbc, SQL_FETCH_DIRECTION, &mask, sizeof mask, nullptr);
                    });
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
            }
            if (m.hasFirst && m.hasLast && m.hasPrior)
                setOption("SetConnectOption (CursorType)", "SetConnectAttr(CursorType)", SQL_CURSOR_TYPE,
                          SQL_ATTR_CURSOR_TYPE, m.cursorDynamic ? SQL_CURSOR_DYNAMIC : SQL_CURSOR_STATIC);
            if (LockConcurrency &&
                setOption("SetConnectOption (Concurrncy)", "SetConnectAttr(Concurrncy)", SQL_CONCURRENCY,
                          SQL_ATTR_CONCURRENCY, SQL_CONCUR_LOCK) == SQL_ERROR)
                m.collectErrors();
            if (m.hasBookmark &&
                setOption("SetConnectOption (UseBookmark)", "SetConnectAttr(UseBookmark)", SQL_USE_BOOKMARKS,
                          SQL_ATTR_USE_BOOKMARKS, SQL_UB_ON) == SQL_ERROR)
                m.collectErrors();
            if (m.transaction &&
                setOption("SetConnectOption (AutoCommit)", "SetConnectAttr(AutoCommit)", SQL_AUTOCOMMIT,
                          SQL_ATTR_AUTOCOMMIT, SQL_AUTOCOMMIT_OFF) == SQL_ERROR)
                m.collectErrors();
        } else {
            if (rc == SQL_NO_DATA)
                m.setPending(kMsgConnectCancelled);
            else
                m.collectErrors();
            m.hdbc = SQL_NULL_HDBC;
            m.henv = SQL_NULL_HENV;
            // dbc and env free themselves here, connection first.
            dbc.reset();
            env.reset();
        }
    }

    if (m.connected && m.cloneOrigin && m.clone) CloneConnect(nullptr);
    m.endWait();
    m.raisePending();
    if (!m.connected) return;
    if (AfterConnect) AfterConnect(this);
    m.notifyState(qoStateConnected);
}

void TQueryODBC::Disconnect() {
    Impl& m = *d;
    if (m.clone && !m.cloneOrigin) Impl::raiseMessage(kMsgCloneMode);
    if (!m.connected) return;

    if (BeforeDisconnect) BeforeDisconnect(this);
    m.notifyState(qoStateDisconnecting);
    m.beginWait();
    if (m.cloneOrigin && m.clone) CloneDisconnect(nullptr);
    FreeStatements(0);
    if (m.transaction && m.workPending) {
        SQLRETURN rc = m.odbc3()
                           ? m.call("EndTran", [&] { return SQLEndTran(SQL_HANDLE_DBC, m.hdbc, SQL_ROLLBACK); })
                           : m.call("Transact", [&] { return SQLTransact(m.henv, m.hdbc, SQL_ROLLBACK); });
        if (rc != SQL_SUCCESS) m.collectErrors();
        if (!SilentRollback) QueryUI().ShowMessage(kMsgAutoRollback);
    }
    m.workPending = false;

    if (m.dbcOwner) {
        SQLRETURN rc = m.call("Disconnect", [&] { return SQLDisconnect(m.hdbc); });
        if (rc != SQL_SUCCESS) m.collectErrors();
        SQLHDBC h = m.dbcOwner.release();
        rc = m.odbc3() ? m.call("FreeHandle(Connect)", [&] { return SQLFreeHandle(SQL_HANDLE_DBC, h); })
                       : m.call("FreeConnect", [&] { return SQLFreeConnect(h); });
        if (rc != SQL_SUCCESS) m.collectErrors();
        m.hdbc = SQL_NULL_HDBC;
    }
    if (m.envOwner) {
        SQLHENV h = m.envOwner.release();
        SQLRETURN rc = m.odbc3() ? m.call("FreeHandle(Env)", [&] { return SQLFreeHandle(SQL_HANDLE_ENV, h); })
                                 : m.call("FreeEnv", [&] { return SQLFreeEnv(h); });
        m.henv = SQL_NULL_HENV;
        if (rc != SQL_SUCCESS) {
            SQLHENV keep = h;
            m.henv = keep;
            m.collectErrors();
            m.henv = SQL_NULL_HENV;
        }
    }
    m.henv = SQL_NULL_HENV;
    m.hdbc = SQL_NULL_HDBC;
    m.connected = false;
    m.endWait();
    m.raisePending();
    if (AfterDisconnect) AfterDisconnect(this);
}

namespace {

void endTransaction(TQueryODBC::Impl& m, SQLSMALLINT completion) {
    m.beginWait();
    if (m.connected) {
        SQLRETURN rc = m.odbc3()
                           ? m.call("EndTran", [&] { return SQLEndTran(SQL_HANDLE_DBC, m.hdbc, completion); })
                           : m.call("Transact", [&] { return SQLTransact(m.henv, m.hdbc, completion); });
        if (rc != SQL_SUCCESS) m.collectErrors();
    }
    m.endWait();
    m.raisePending();
}

}  // namespace

void TQueryODBC::Commit() {
    if (!d->transaction) Impl::raiseMessage(kMsgCommitNeedsTrans);
    if (BeforeCommit) BeforeCommit(this);
    endTransaction(*d, SQL_COMMIT);
    if (AfterCommit) AfterCommit(this);
    d->workPending = false;
}

void TQueryODBC::Rollback() {
    if (!d->transaction) Impl::raiseMessage(kMsgRollbackNeedsTrans);
    if (BeforeRollback) BeforeRollback(this);
    endTransaction(*d, SQL_ROLLBACK);
    if (AfterRollback) AfterRollback(this);
    d->workPending = false;
}
