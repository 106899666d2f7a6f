// Preparing and executing statements, describing result columns, and freeing
// statements.
#include "QueryImpl.h"

#include <climits>

namespace {

const char* const kCatalogTexts[] = {
    "GetSQLTablesInfomation",       "GetSQLColumnsInfomation",          "GetSQLStatisticsInfomation",
    "GetSQLGetTypeInfoInfomation",  "GetSQLProcedureColumnsInfomation", "GetSQLProceduresInfomation"};

constexpr SQLSMALLINT kFirstIntervalType = 101;
constexpr SQLSMALLINT kLastIntervalType = 113;

int32_t clampLength(SQLLEN len) {
    if (len < 0) return 0;
    if (len > INT32_MAX - 1) return INT32_MAX - 1;
    return static_cast<int32_t>(len);
}

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
    for (int i = 0; i < 6; ++i)
        if (sqlText == kCatalogTexts[i]) catalogKind = static_cast<CatalogKind>(i + 1);
    return true;
}

bool TQueryODBC::Impl::ensureConnected() {
    if (!connected) self->Connect();
    return connected;
}

bool TQueryODBC::Impl::allocStatement() {
    SQLRETURN rc = odbc3() ? call("AllocHandle(Stmt)", [&] { return SQLAllocHandle(SQL_HANDLE_STMT, hdbc, stmt.out()); })
                           : call("AllocStmt", [&] { return SQLAllocStmt(hdbc, stmt.out()); });
    if (!SQL_SUCCEEDED(rc)) {
        collectErrors();
        stmt.release();  // nothing was allocated
        return false;
    }
    if (!cursorName.empty())
        call("SetCursorName", [&] {
            return SQLSetCursorName(stmt.get(), (SQLCHAR*)cursorName.c_str(), SQL_NTS);
        });
    return true;
}

void TQueryODBC::Impl::freeStatement(int option) {
    if (!stmt) return;
    SQLRETURN rc;
    SQLHSTMT h = stmt.get();
    if (option == SQL_DROP) {
        stmt.release();
        rc = odbc3() ? call("FreeHandle(Stmt)", [&] { return SQLFreeHandle(SQL_HANDLE_STMT, h); })
                     : call("FreeStmt", [&] { return SQLFreeStmt(h, SQL_DROP); });
        if (rc != SQL_SUCCESS) collectErrors();
    } else {
        rc = call("FreeStmt", [&] { return SQLFreeStmt(h, static_cast<SQLUSMALLINT>(option)); });
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

void TQueryODBC::FreeStatements(int mode) {
    if (mode == 0)
        d->freeStatement(SQL_DROP);
    else if (mode == 1)
        d->freeStatement(SQL_CLOSE);
    if (d->immStmt) {
        SQLHSTMT h = d->immStmt.release();
        SQLRETURN rc = d->odbc3() ? d->call("FreeHandle(Stmt)", [&] { return SQLFreeHandle(SQL_HANDLE_STMT, h); })
                                  : d->call("FreeStmt", [&] { return SQLFreeStmt(h, SQL_DROP); });
        if (rc != SQL_SUCCESS) d->collectErrors();
    }
}

void TQueryODBC::Impl::describeColumns() {
    columns.assign(static_cast<size_t>(columnCount), ColumnDesc());
    rowRecordSize = 0;
    const bool v35 = odbcVersion == ODBC35;
    const char* stepName3 = "ColAttribute";
    const char* stepName2 = "ColAttributes";
    SQLHSTMT h = stmt.get();
    auto numAttr = [&](SQLUSMALLINT col, SQLUSMALLINT id2, SQLUSMALLINT id3, SQLLEN& value) {
        value = 0;
        SQLRETURN rc = call(step(stepName2, stepName3), [&] {
            return odbc3() ? SQLColAttribute(h, col, id3, nullptr, 0, nullptr, &value)
                           : SQLColAttributes(h, col, id2, nullptr, 0, nullptr, &value);
        });
        if (!SQL_SUCCEEDED(rc)) collectErrors(h);
        return SQL_SUCCEEDED(rc);
    };

    for (int n = 1; n <= columnCount; ++n) {
        ColumnDesc& c = columns[static_cast<size_t>(n - 1)];
        const SQLUSMALLINT col = static_cast<SQLUSMALLINT>(n);
        c.Offset = rowRecordSize;

        SQLCHAR name[kColumnNameSize + 1] = {0};
        SQLSMALLINT nameLen = 0;
        SQLRETURN rc = call(step(stepName2, stepName3), [&] {
            return odbc3() ? SQLColAttribute(h, col, SQL_DESC_NAME, name, kColumnNameSize, &nameLen, nullptr)
                           : SQLColAttributes(h, col, SQL_COLUMN_NAME, name, kColumnNameSize, &nameLen, nullptr);
        });
        if (!SQL_SUCCEEDED(rc)) {
            collectErrors(h);
            return;
        }
        c.Name.assign(reinterpret_cast<char*>(name));

        SQLLEN type = 0;
        if (!numAttr(col, SQL_COLUMN_TYPE, SQL_DESC_CONCISE_TYPE, type)) return;
        c.SqlType = static_cast<SQLSMALLINT>(type);
        if (charAsWChar && odbc3()) {
            if (c.SqlType == SQL_CHAR) c.SqlType = SQL_WCHAR;
            else if (c.SqlType == SQL_VARCHAR) c.SqlType = SQL_WVARCHAR;
            else if (c.SqlType == SQL_LONGVARCHAR) c.SqlType = SQL_WLONGVARCHAR;
        }

        const SQLSMALLINT t = c.SqlType;
        SQLLEN len = 0;
        if (t == SQL_NUMERIC || t == SQL_DECIMAL) {
            if (!numAttr(col, SQL_COLUMN_PRECISION, v35 ? SQL_DESC_PRECISION : SQL_COLUMN_PRECISION, c.Precision) ||
                !numAttr(col, SQL_COLUMN_SCALE, v35 ? SQL_DESC_SCALE : SQL_COLUMN_SCALE, c.Scale))
                return;
            c.BufferLength = clampLength(c.Precision + 2) + 1;
        } else if (t == SQL_INTEGER || t == SQL_REAL) {
            c.BufferLength = 4;
        } else if (t == SQL_SMALLINT) {
            c.BufferLength = 2;
        } else if (t == SQL_FLOAT || t == SQL_DOUBLE) {
            c.BufferLength = 8;
        } else if (t == SQL_DATE || t == SQL_TIME || t == SQL_TYPE_DATE || t == SQL_TYPE_TIME) {
            c.BufferLength = 6;
        } else if (t == SQL_TIMESTAMP || t == SQL_TYPE_TIMESTAMP) {
            c.BufferLength = 16;
        } else if (t >= kFirstIntervalType && t <= kLastIntervalType) {
            c.BufferLength = 34;
        } else if (t == SQL_BIT || t == SQL_TINYINT) {
            c.BufferLength = 1;
        } else if (t == SQL_BIGINT) {
            c.BufferLength = 20 + 1;
        } else {
            if (!numAttr(col, SQL_COLUMN_LENGTH, v35 ? SQL_DESC_OCTET_LENGTH : SQL_COLUMN_LENGTH, len)) return;
            c.BufferLength = clampLength(len);
            if (t == SQL_LONGVARCHAR || t == SQL_WLONGVARCHAR || t == SQL_LONGVARBINARY) {
                if (c.BufferLength > self->MaxLongData) c.BufferLength = self->MaxLongData;
                if (t != SQL_LONGVARBINARY && self->MaxLongVarChar > 0 && self->MaxLongVarChar < c.BufferLength)
                    c.BufferLength = self->MaxLongVarChar;
            }
            if (IsCharSqlType(t) || mappedCType(t, 0) == SQL_C_CHAR) c.BufferLength += 1;
        }

        c.Numeric = IsNumericSqlType(t);
        if (c.Numeric) {
            SQLLEN isUnsigned = 0;
            if (!numAttr(col, SQL_COLUMN_UNSIGNED, SQL_DESC_UNSIGNED, isUnsigned)) return;
            c.Unsigned = isUnsigned == SQL_TRUE;
        }
        if (!readOnly) {
            SQLLEN updatable = SQL_ATTR_READWRITE_UNKNOWN;
            if (!numAttr(col, SQL_COLUMN_UPDATABLE, SQL_DESC_UPDATABLE, updatable)) return;
            c.Updatable = updatable != SQL_ATTR_READONLY;
        }
        rowRecordSize += static_cast<size_t>(c.BufferLength) + kIndicatorSize;
    }

    textBuf.assign(static_cast<size_t>(fetchBufSize) + 1, '\0');
    if (odbc3()) {
        SQLRETURN rc = call("SetStmtAttr(RowsFetchedPtr)", [&] {
            return SQLSetStmtAttr(h, SQL_ATTR_ROWS_FETCHED_PTR, &rowsFetched, 0);
        });
        if (!SQL_SUCCEEDED(rc)) collectErrors(h);
    }
}

void TQueryODBC::Prepare() {
    Impl& m = *d;
    if (BeforePrepare) BeforePrepare(this);
    {
        WaitScope wait(m);
        if (m.statementCheck() && m.ensureConnected()) {
            m.freeStatement(SQL_DROP);
            if (m.allocStatement()) {
                SQLRETURN rc = m.call("Prepare", [&] {
                    return SQLPrepare(m.stmt.get(), (SQLCHAR*)m.sqlText.c_str(), SQL_NTS);
                });
                if (!SQL_SUCCEEDED(rc)) {
                    m.collectErrors(m.stmt.get());
                    m.freeStatement(SQL_DROP);
                } else {
                    m.prepared = true;
                    if (m.paramCount == 0) {
                        SQLSMALLINT cols = 0;
                        rc = m.call("NumResultCols", [&] { return SQLNumResultCols(m.stmt.get(), &cols); });
                        if (!SQL_SUCCEEDED(rc)) {
                            m.collectErrors(m.stmt.get());
                            m.freeStatement(SQL_DROP);
                        } else {
                            m.columnCount = cols;
                            if (cols > 0) {
                                m.describeColumns();
                                if (m.errorPending) m.freeStatement(SQL_DROP);
                            }
                        }
                    }
                }
            }
        }
    }
    m.raisePending();
    if (AfterPrepare) AfterPrepare(this);
    m.workPending = true;
}

void TQueryODBC::Execute() {
    Impl& m = *d;
    if (BeforeExec) BeforeExec(this);
    {
        WaitScope wait(m);
        if (m.statementCheck() && m.ensureConnected()) {
            SQLRETURN rc = SQL_ERROR;
            bool run = true;
            if (m.prepared && m.stmt) {
                if (m.paramCount > 0 && !m.bindParameters()) run = false;
                if (run) {
                    if (m.cursorState == qoKeep && m.columnCount > 0) m.freeStatement(SQL_CLOSE);
                    rc = m.call("Execute", [&] { return SQLExecute(m.stmt.get()); });
                }
            } else {
                m.freeStatement(SQL_DROP);
                if (!m.allocStatement()) {
                    rc = SQL_ERROR;   // already collected
                } else if (m.catalogKind != kNoCatalog) {
                    rc = m.runCatalogCall();
                } else if (m.paramCount > 0 && !m.bindParameters()) {
                    run = false;
                } else {
                    rc = m.call("ExecDirect", [&] {
                        return SQLExecDirect(m.stmt.get(), (SQLCHAR*)m.sqlText.c_str(), SQL_NTS);
                    });
                }
            }
            if (run) {
                // SQL_NO_DATA: a searched UPDATE or DELETE that touched no row.
                if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) {
                    if (m.stmt) m.collectErrors(m.stmt.get());
                    m.freeStatement(SQL_DROP);
                } else {
                    m.executed = true;
                    m.atBeginning = true;
                    if (m.columnCount == 0) {
                        SQLSMALLINT cols = 0;
                        if (SQL_SUCCEEDED(m.call("NumResultCols",
                                                 [&] { return SQLNumResultCols(m.stmt.get(), &cols); })) &&
                            cols > 0) {
                            m.columnCount = cols;
                            m.describeColumns();
                        }
                    }
                    if (m.errorPending && m.columnCount > 0) {
                        m.freeStatement(SQL_DROP);
                    } else {
                        if (m.columnCount == 0) {
                            SQLLEN rows = 0;
                            SQLRETURN rrc = m.call("RowCount", [&] { return SQLRowCount(m.stmt.get(), &rows); });
                            if (!SQL_SUCCEEDED(rrc))
                                m.collectErrors(m.stmt.get());
                            else
                                m.rowCount = static_cast<long>(rows);
                            if (m.cursorState != qoKeep) m.freeByCursorState();
                        }
                        m.notifyState(qoStateExecuted);
                    }
                }
            } else if (m.stmt && !m.prepared) {
                m.freeStatement(SQL_DROP);
            }
        }
    }
    m.raisePending();
    if (AfterExec) AfterExec(this);
    if (m.grid) LoadGrid(m.grid);
    m.workPending = true;
}

void TQueryODBC::ExecDirect(const std::string& sql) {
    Impl& m = *d;
    WaitScope wait(m);
    if (!m.ensureConnected()) return;
    m.rowCount = 0;
    if (!m.immStmt) {
        SQLRETURN rc = m.odbc3()
                           ? m.call("AllocHandle(Stmt)", [&] { return SQLAllocHandle(SQL_HANDLE_STMT, m.hdbc, m.immStmt.out()); })
                           : m.call("AllocStmt", [&] { return SQLAllocStmt(m.hdbc, m.immStmt.out()); });
        if (!SQL_SUCCEEDED(rc)) {
            m.immStmt.release();
            m.collectErrors();
            m.raisePending();
            return;
        }
    }
    const std::string text = m.nullConvert ? ConvertNullMarkers(sql, m.nullStrings) : sql;
    SQLHSTMT h = m.immStmt.get();
    SQLRETURN rc = m.call("ExecDirect", [&] { return SQLExecDirect(h, (SQLCHAR*)text.c_str(), SQL_NTS); });
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) {
        m.collectErrors(h);
    } else {
        SQLLEN rows = 0;
        rc = m.call("RowCount", [&] { return SQLRowCount(h, &rows); });
        if (!SQL_SUCCEEDED(rc))
            m.collectErrors(h);
        else
            m.rowCount = static_cast<long>(rows);
        // Leave the immediate statement ready for the next text.
        m.call("FreeStmt", [&] { return SQLFreeStmt(h, SQL_CLOSE); });
    }
    m.raisePending();
    m.workPending = true;
}
