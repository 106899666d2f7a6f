// Connection attributes and the end of transactions.
#include "Handles.h"
#include "StatementOptions.h"
#include "TextBuffers.h"

using namespace kelvsim;

namespace {

SQLUINTEGER AsUInteger(SQLPOINTER value) {
    return static_cast<SQLUINTEGER>(reinterpret_cast<SQLULEN>(value));
}

void SwitchAutoCommit(Connection& conn, SQLUINTEGER mode) {
    if (mode != SQL_AUTOCOMMIT_ON && mode != SQL_AUTOCOMMIT_OFF)
        throw OdbcFailure("HY024", "Invalid attribute value");
    if (conn.Connected() && mode != conn.AutoCommit) {
        sim::SimSession& session = conn.LiveSession();
        // Switching autocommit on ends the open transaction with a commit.
        if (mode == SQL_AUTOCOMMIT_ON)
            session.Commit();
        session.SetAutoCommit(mode == SQL_AUTOCOMMIT_ON);
    }
    conn.AutoCommit = mode;
}

void EndTransaction(Connection& conn, SQLSMALLINT completion) {
    sim::SimSession& session = conn.LiveSession();
    if (conn.AutoCommit == SQL_AUTOCOMMIT_OFF) {
        if (completion == SQL_COMMIT)
            session.Commit();
        else
            session.Rollback();
    }
    // Cursors close at the end of a transaction (SQL_CB_CLOSE); prepared
    // statements stay prepared.
    for (Statement* stmt : conn.Statements)
        stmt->CloseCursor();
}

}  // namespace

extern "C" {

SQLRETURN SQL_API SQLSetConnectAttr(SQLHDBC connectionHandle, SQLINTEGER attribute, SQLPOINTER value,
                                    SQLINTEGER stringLength) {
    return Guarded<Connection>(connectionHandle, [&](Connection& conn) -> SQLRETURN {
        if (SetStatementOption(conn.StmtDefaults, conn.Diag, attribute, reinterpret_cast<SQLULEN>(value)))
            return SuccessOrInfo(conn);
        switch (attribute) {
        case SQL_ATTR_AUTOCOMMIT:
            SwitchAutoCommit(conn, AsUInteger(value));
            break;
        case SQL_ATTR_ACCESS_MODE:
            if (AsUInteger(value) != SQL_MODE_READ_ONLY && AsUInteger(value) != SQL_MODE_READ_WRITE)
                throw OdbcFailure("HY024", "Invalid attribute value");
            conn.AccessMode = AsUInteger(value);
            break;
        case SQL_ATTR_LOGIN_TIMEOUT:
            conn.LoginTimeout = AsUInteger(value);
            break;
        case SQL_ATTR_CONNECTION_TIMEOUT:
            conn.ConnectionTimeout = AsUInteger(value);
            break;
        case SQL_ATTR_TXN_ISOLATION:
            if (AsUInteger(value) != SQL_TXN_READ_COMMITTED && AsUInteger(value) != SQL_TXN_SERIALIZABLE)
                throw OdbcFailure("HYC00", "Optional feature not implemented");
            conn.TxnIsolation = AsUInteger(value);
            break;
        case SQL_ATTR_PACKET_SIZE:
            if (conn.Connected())
                throw OdbcFailure("HY011", "Attribute cannot be set now");
            conn.PacketSize = AsUInteger(value);
            break;
        case SQL_ATTR_TRACE:
            conn.Trace = AsUInteger(value);
            break;
        case SQL_ATTR_TRACEFILE:
            conn.TraceFile = InputText(static_cast<SQLCHAR*>(value), stringLength);
            break;
        case SQL_ATTR_ODBC_CURSORS:
            conn.OdbcCursors = AsUInteger(value);
            break;
        case SQL_ATTR_QUIET_MODE:
            conn.QuietMode = AsUInteger(value);
            break;
        case SQL_ATTR_CURRENT_CATALOG:
            conn.CurrentCatalog = InputText(static_cast<SQLCHAR*>(value), stringLength);
            break;
        case SQL_ATTR_CONNECTION_DEAD:
        case SQL_ATTR_AUTO_IPD:
            throw OdbcFailure("HY092", "Invalid attribute/option identifier");
        default:
            throw OdbcFailure("HY092", "Invalid attribute/option identifier");
        }
        return SuccessOrInfo(conn);
    });
}

SQLRETURN SQL_API SQLGetConnectAttr(SQLHDBC connectionHandle, SQLINTEGER attribute, SQLPOINTER value,
                                    SQLINTEGER bufferLength, SQLINTEGER* stringLength) {
    return Guarded<Connection>(connectionHandle, [&](Connection& conn) -> SQLRETURN {
        SQLULEN option = 0;
        if (GetStatementOption(conn.StmtDefaults, attribute, option)) {
            if (value)
                *static_cast<SQLULEN*>(value) = option;
            if (stringLength)
                *stringLength = sizeof(SQLULEN);
            return SQL_SUCCESS;
        }
        SQLUINTEGER number = 0;
        switch (attribute) {
        case SQL_ATTR_AUTOCOMMIT: number = conn.AutoCommit; break;
        case SQL_ATTR_ACCESS_MODE: number = conn.AccessMode; break;
        case SQL_ATTR_LOGIN_TIMEOUT: number = conn.LoginTimeout; break;
        case SQL_ATTR_CONNECTION_TIMEOUT: number = conn.ConnectionTimeout; break;
        case SQL_ATTR_TXN_ISOLATION: number = conn.TxnIsolation; break;
        case SQL_ATTR_PACKET_SIZE: number = conn.PacketSize; break;
        case SQL_ATTR_TRACE: number = conn.Trace; break;
        case SQL_ATTR_ODBC_CURSORS: number = conn.OdbcCursors; break;
        case SQL_ATTR_QUIET_MODE: number = conn.QuietMode; break;
        case SQL_ATTR_AUTO_IPD: number = SQL_FALSE; break;
        case SQL_ATTR_CONNECTION_DEAD:
            number = (!conn.Connected() || conn.Lost) ? SQL_CD_TRUE : SQL_CD_FALSE;
            break;
        case SQL_ATTR_TRACEFILE:
            CopyOutText(conn.Diag, conn.TraceFile, value, bufferLength, stringLength);
            return SuccessOrInfo(conn);
        case SQL_ATTR_CURRENT_CATALOG:
            CopyOutText(conn.Diag, conn.CurrentCatalog, value, bufferLength, stringLength);
            return SuccessOrInfo(conn);
        default:
            throw OdbcFailure("HY092", "Invalid attribute/option identifier");
        }
        if (value)
            *static_cast<SQLUINTEGER*>(value) = number;
        if (stringLength)
            *stringLength = sizeof(SQLUINTEGER);
        return SQL_SUCCESS;
    });
}

SQLRETURN SQL_API SQLEndTran(SQLSMALLINT handleType, SQLHANDLE handle, SQLSMALLINT completionType) {
    auto checkCompletion = [&] {
        if (completionType != SQL_COMMIT && completionType != SQL_ROLLBACK)
            throw OdbcFailure("HY012", "Invalid transaction operation code");
    };
    if (handleType == SQL_HANDLE_DBC) {
        return Guarded<Connection>(handle, [&](Connection& conn) -> SQLRETURN {
            checkCompletion();
            EndTransaction(conn, completionType);
            return SQL_SUCCESS;
        });
    }
    if (handleType == SQL_HANDLE_ENV) {
        return Guarded<Environment>(handle, [&](Environment& env) -> SQLRETURN {
            checkCompletion();
            for (Connection* conn : env.Connections)
                if (conn->Connected())
                    EndTransaction(*conn, completionType);
            return SQL_SUCCESS;
        });
    }
    return SQL_INVALID_HANDLE;
}

}  // extern "C"
