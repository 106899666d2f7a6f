// Preparing and executing statements: Prepare, Execute and ExecDirect.
#include "QueryImpl.h"

void TQueryODBC::Prepare() {
    Impl& m = *d;
    if (BeforePrepare) BeforePrepare(this);
    {
        WaitScope wait(m);
        if (m.statementCheck() && m.ensureConnected()) {
            m.freeStatement(SQL_DROP);
            if (m.allocStatement()) {
                SQLHSTMT h = m.stmt.get();
                const SQLRETURN rc =
                    m.call("Prepare", [&] { return SQLPrepare(h, (SQLCHAR*)m.sqlText.c_str(), SQL_NTS); });
                if (!SQL_SUCCEEDED(rc)) {
                    m.collectErrors(h);
                    m.freeStatement(SQL_DROP);
                } else {
                    m.prepared = true;
                    // With parameters set the columns are described at execution.
                    if (m.paramCount == 0 && !m.describeResult()) {
                        m.collectErrors(h);
                        m.freeStatement(SQL_DROP);
                    }
                }
            }
        }
    }
    m.raisePending();
    if (AfterPrepare) AfterPrepare(this);
    m.workPending = true;
}

// The prepared statement with its parameters; nothing when they cannot be bound.
std::optional<SQLRETURN> TQueryODBC::Impl::runPrepared() {
    if (paramCount > 0 && !bindParameters()) return std::nullopt;
    if (cursorState == qoKeep && columnCount > 0) freeStatement(SQL_CLOSE);
    SQLHSTMT h = stmt.get();
    return call("Execute", [&] { return SQLExecute(h); });
}

// The text (or catalog function) on a new statement; nothing when the
// parameters cannot be bound.
std::optional<SQLRETURN> TQueryODBC::Impl::runDirect() {
    freeStatement(SQL_DROP);
    if (!allocStatement()) return SQL_ERROR;  // collected
    if (catalogKind != kNoCatalog) return runCatalogCall();
    if (paramCount > 0 && !bindParameters()) {
        freeStatement(SQL_DROP);
        return std::nullopt;
    }
    SQLHSTMT h = stmt.get();
    return call("ExecDirect", [&] { return SQLExecDirect(h, (SQLCHAR*)sqlText.c_str(), SQL_NTS); });
}

void TQueryODBC::Impl::readRowCount(SQLHSTMT h) {
    SQLLEN rows = 0;
    if (SQL_SUCCEEDED(call("RowCount", [&] { return SQLRowCount(h, &rows); })))
        rowCount = static_cast<long>(rows);
    else
        collectErrors(h);
}

// After the statement ran: a failure drops it; a result is described; a
// statement without result columns reports its row count and is freed by
// CursorState.
void TQueryODBC::Impl::completeExecution(SQLRETURN rc) {
    // SQL_NO_DATA: a searched UPDATE or DELETE that touched no row.
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) {
        if (stmt) collectErrors(stmt.get());
        freeStatement(SQL_DROP);
        return;
    }
    executed = true;
    atBeginning = true;
    if (columnCount == 0) describeResult();  // a failure here only means no result set
    if (!stmt) return;                       // dropped by a failed description
    if (columnCount == 0) {
        readRowCount(stmt.get());
        if (cursorState != qoKeep) freeByCursorState();
    }
    notifyState(qoStateExecuted);
}

void TQueryODBC::Execute() {
    Impl& m = *d;
    if (BeforeExec) BeforeExec(this);
    {
        WaitScope wait(m);
        if (m.statementCheck() && m.ensureConnected()) {
            const std::optional<SQLRETURN> rc = m.prepared && m.stmt ? m.runPrepared() : m.runDirect();
            if (rc) m.completeExecution(*rc);
        }
    }
    m.raisePending();
    if (AfterExec) AfterExec(this);
    if (m.grid) LoadGrid(m.grid);
    m.workPending = true;
}

void TQueryODBC::ExecDirect(const std::string& sql) {
    Impl& m = *d;
    {
        WaitScope wait(m);
        if (!m.ensureConnected()) return;
        m.rowCount = 0;
        if (m.immStmt || m.allocHandle(m.immStmt)) {
            const std::string text = m.nullConvert ? ConvertNullMarkers(sql, m.nullStrings) : sql;
            SQLHSTMT h = m.immStmt.get();
            const SQLRETURN rc =
                m.call("ExecDirect", [&] { return SQLExecDirect(h, (SQLCHAR*)text.c_str(), SQL_NTS); });
            if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) {
                m.collectErrors(h);
            } else {
                m.readRowCount(h);
                // Leave the immediate statement ready for the next text.
                m.call("FreeStmt", [&] { return SQLFreeStmt(h, SQL_CLOSE); });
            }
        }
    }
    m.raisePending();
    m.workPending = true;
}
