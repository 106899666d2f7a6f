// Statement handles (allocated and dropped in one place for the main and the
// immediate statement), the statement check, and the column-type helpers.
#include "QueryImpl.h"

namespace {

const char* const kCatalogTexts[] = {
    "GetSQLTablesInfomation",       "GetSQLColumnsInfomation",          "GetSQLStatisticsInfomation",
    "GetSQLGetTypeInfoInfomation",  "GetSQLProcedureColumnsInfomation", "GetSQLProceduresInfomation"};

}  // namespace

bool kelv_odbc::IsNumericSqlType(SQLSMALLINT t) {
    // TINYINT, BIGINT and NUMERIC .. DOUBLE
    return t == SQL_TINYINT || t == SQL_BIGINT || (t >= SQL_NUMERIC && t <= SQL_DOUBLE);
}

bool kelv_odbc::IsCharSqlType(SQLSMALLINT t) {
    return t == SQL_CHAR || t == SQL_VARCHAR || t == SQL_LONGVARCHAR || t == SQL_WCHAR ||
           t == SQL_WVARCHAR || t == SQL_WLONGVARCHAR;
}

void TQueryODBC::Impl::notifyState(int state) {
    if (links.empty()) return;
    const std::vector<TBindColumn> snapshot = links;  // a handler may change the links
    for (const TBindColumn& link : snapshot)
        if (link.OnStateChange) link.OnStateChange(self, state);
}

bool TQueryODBC::Impl::statementCheck() {
    if (sqlText.empty()) {
        setPending(kMsgNoStatement);
        return false;
    }
    if (sqlText == kVersionQueryText) {
        QueryUI().ShowMessage(kVersionText);
        return false;
    }
    catalogKind = kNoCatalog;
    int kind = kCatTables;
    for (const char* text : kCatalogTexts) {
        if (sqlText == text) catalogKind = static_cast<CatalogKind>(kind);
        ++kind;
    }
    return true;
}

bool TQueryODBC::Impl::ensureConnected() {
    if (!connected) self->Connect();
    return connected;
}

bool TQueryODBC::Impl::allocHandle(kelv_odbc::StmtHandle& target) {
    SQLRETURN rc = odbc3() ? call("AllocHandle(Stmt)", [&] { return SQLAllocHandle(SQL_HANDLE_STMT, hdbc, target.out()); })
                           : call("AllocStmt", [&] { return SQLAllocStmt(hdbc, target.out()); });
    if (SQL_SUCCEEDED(rc)) return true;
    target.release();  // nothing was allocated
    collectErrors();
    return false;
}

void TQueryODBC::Impl::dropHandle(kelv_odbc::StmtHandle& target) {
    if (!target) return;
    SQLHSTMT h = target.release();
    SQLRETURN rc = odbc3() ? call("FreeHandle(Stmt)", [&] { return SQLFreeHandle(SQL_HANDLE_STMT, h); })
                           : call("FreeStmt", [&] { return SQLFreeStmt(h, SQL_DROP); });
    if (rc != SQL_SUCCESS) collectErrors();
}

bool TQueryODBC::Impl::allocStatement() {
    if (!allocHandle(stmt)) return false;
    ++statementSerial;
    driverRowset = 1;
    // The driver manager allows bookmark fetches by FetchScroll only on a
    // statement that was told itself; the connection's setting is not enough.
    if (hasBookmark && odbc3())
        call("SetStmtAttr(UseBookmark)", [&] {
            return SQLSetStmtAttr(stmt.get(), SQL_ATTR_USE_BOOKMARKS, reinterpret_cast<SQLPOINTER>(SQL_UB_ON), 0);
        });
    if (!cursorName.empty())
        call("SetCursorName", [&] { return SQLSetCursorName(stmt.get(), (SQLCHAR*)cursorName.c_str(), SQL_NTS); });
    return true;
}

void TQueryODBC::Impl::freeStatement(int option) {
    if (!stmt) return;
    if (option == SQL_DROP) {
        dropHandle(stmt);
    } else {
        SQLHSTMT h = stmt.get();
        SQLRETURN rc = call("FreeStmt", [&] { return SQLFreeStmt(h, static_cast<SQLUSMALLINT>(option)); });
        if (rc != SQL_SUCCESS) collectErrors(h);
    }
    executed = atBeginning = atEnd = false;
    rowsFetched = 0;
    rowsetInForce = 0;
    if (option != SQL_DROP) return;

    prepared = false;
    columnCount = 0;
    rowRecordSize = 0;
    lastBoundRecord = nullptr;
    retrieveDataInForce = -1;
    driverRowset = 1;
    rowValues.clear();
    columns.clear();
    std::vector<char>().swap(textBuf);
    // Without KeepParams the records go, so that a position the next
    // statement leaves unset is reported as not assigned.
    for (auto& p : params) {
        if (!p) continue;
        if (self->KeepParams)
            p->Bound = false;
        else
            p.reset();
    }
    if (!self->KeepParams) paramCount = 0;
}

void TQueryODBC::Impl::freeByCursorState() {
    if (cursorState == qoDrop)
        freeStatement(SQL_DROP);
    else if (cursorState == qoClose)
        freeStatement(SQL_CLOSE);
}

void TQueryODBC::Impl::freeStatements(int mode) {
    if (mode == 0)
        freeStatement(SQL_DROP);
    else if (mode == 1)
        freeStatement(SQL_CLOSE);
    dropHandle(immStmt);
}

void TQueryODBC::FreeStatements(int mode) {
    d->freeStatements(mode);
    d->raisePending();
}
