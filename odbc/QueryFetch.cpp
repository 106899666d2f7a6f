// Fetching rows: text rows into RowValues, raw rows into a caller's record,
// scrolling fetches, single values, and the links notified per row.
#include "QueryImpl.h"

namespace {

bool isBackward(int orientation) { return orientation == SQL_FETCH_PRIOR; }

}  // namespace

void TQueryODBC::Impl::applyRowsetSize() {
    if (!executed || !stmt || rowsetSize <= 0 || rowsetSize == rowsetInForce) return;
    SQLHSTMT h = stmt.get();
    const SQLULEN bindType = rowRecordSize;
    const SQLULEN size = static_cast<SQLULEN>(rowsetSize);
    SQLRETURN rc = call(step("SetStmtOption (BIND_TYPE)", "SetStmtAttr(RowBindType)"), [&] {
        return odbc3() ? SQLSetStmtAttr(h, SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(bindType), 0)
                       : SQLSetStmtOption(h, SQL_BIND_TYPE, bindType);
    });
    if (rc == SQL_ERROR) collectErrors(h);
    rc = call(step("SetStmtOption (ROWSET_SIZE)", "SetStmtOption (RowArraySize)"), [&] {
        return odbc3() ? SQLSetStmtAttr(h, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(size), 0)
                       : SQLSetStmtOption(h, SQL_ROWSET_SIZE, size);
    });
    if (rc == SQL_ERROR) collectErrors(h);
    rowsetInForce = rowsetSize;
}

SQLRETURN TQueryODBC::Impl::scrollFetch() {
    SQLHSTMT h = stmt.get();
    SQLUSMALLINT* status = self->FetchRowStatus;
    if (rowsetSize > 0 && !status) {
        setPending(kMsgRowStatusRequired);
        return SQL_ERROR;
    }
    if (!status) status = &ownRowStatus;

    if (lastBoundRecord) {
        const int wanted = self->NoRetrieveData ? 0 : 1;
        if (wanted != retrieveDataInForce) {
            const SQLULEN value = wanted ? SQL_RD_ON : SQL_RD_OFF;
            SQLRETURN rc = call(step("SetStmtOption (RetrieveData)", "SetStmtAttr(RetrieveData)"), [&] {
                return odbc3() ? SQLSetStmtAttr(h, SQL_ATTR_RETRIEVE_DATA, reinterpret_cast<SQLPOINTER>(value), 0)
                               : SQLSetStmtOption(h, SQL_RETRIEVE_DATA, value);
            });
            if (rc == SQL_ERROR) collectErrors(h);
            retrieveDataInForce = wanted;
        }
    }

    int orientation = self->FetchOrientation;
    SQLLEN offset = static_cast<SQLLEN>(self->FetchOffset);
    if (odbc3()) {
        SQLRETURN rc = call("SetStmtAttr(RowStatusPtr)", [&] {
            return SQLSetStmtAttr(h, SQL_ATTR_ROW_STATUS_PTR, status, 0);
        });
        if (rc == SQL_ERROR) collectErrors(h);
        if (orientation == SQL_FETCH_BOOKMARK) {
            bookmarkValue = offset;
            rc = call("SetStmtAttr(BookmarkPtr)", [&] {
                return SQLSetStmtAttr(h, SQL_ATTR_FETCH_BOOKMARK_PTR, &bookmarkValue, 0);
            });
            if (rc == SQL_ERROR) collectErrors(h);
            self->FetchOffset = 0;
            offset = 0;
        }
    }

    for (;;) {
        SQLRETURN rc = odbc3()
            ? call("FetchScroll", [&] { return SQLFetchScroll(h, static_cast<SQLSMALLINT>(orientation), offset); })
            : call("ExtendedFetch", [&] {
                  return SQLExtendedFetch(h, static_cast<SQLUSMALLINT>(orientation), offset, &rowsFetched, status);
              });
        if (!SQL_SUCCEEDED(rc) || !self->SkipDeletedRows || rowsetSize > 1 || status[0] != SQL_ROW_DELETED)
            return rc;
        if (orientation == SQL_FETCH_NEXT || orientation == SQL_FETCH_FIRST)
            orientation = SQL_FETCH_NEXT;
        else if (orientation == SQL_FETCH_LAST || orientation == SQL_FETCH_PRIOR)
            orientation = SQL_FETCH_PRIOR;
        else
            return rc;
        offset = 0;
    }
}

SQLRETURN TQueryODBC::Impl::fetchOne() {
    if (fetchScroll) return scrollFetch();
    SQLHSTMT h = stmt.get();
    return call("Fetch", [&] { return SQLFetch(h); });
}

// One SQLGetData per column into the one text buffer; the strings of
// rowValues are reused, so a row costs no allocation beyond longer texts.
bool TQueryODBC::Impl::readRowValues() {
    SQLHSTMT h = stmt.get();
    const size_t wanted = static_cast<size_t>(columnCount) + 1;
    if (rowValues.size() != wanted) rowValues.resize(wanted);
    char* buf = textBuf.data();
    const SQLLEN bufLen = static_cast<SQLLEN>(textBuf.size());
    const SQLLEN maxText = bufLen - 1;
    for (int n = 1; n <= columnCount; ++n) {
        SQLLEN indicator = 0;
        SQLRETURN rc = call("GetData", [&] {
            return SQLGetData(h, static_cast<SQLUSMALLINT>(n), SQL_C_CHAR, buf, bufLen, &indicator);
        });
        std::string& value = rowValues[static_cast<size_t>(n)];
        if (rc == SQL_ERROR || rc == SQL_INVALID_HANDLE) {
            collectErrors(h);
            rowValues.resize(static_cast<size_t>(n));
            return false;
        }
        if (rc == SQL_NO_DATA) {
            value.clear();
        } else if (indicator == SQL_NULL_DATA) {
            value.assign(nullStrings);
        } else {
            SQLLEN len = indicator;
            if (len == SQL_NO_TOTAL || len > maxText) len = maxText;
            if (len < 0) len = 0;
            value.assign(buf, static_cast<size_t>(len));
        }
    }
    return true;
}

namespace {

void labelOnly(std::vector<std::string>& values) {
    values.resize(1);
    values[0] = kRowLabel;
}

}  // namespace

bool TQueryODBC::Fetch() {
    Impl& m = *d;
    bool result = false;
    {
        WaitScope wait(m);
        if (m.stmt && m.executed && m.columnCount > 0 && !m.textBuf.empty()) {
            // Item 0 only ever holds the label: set it once.
            if (m.rowValues.empty()) m.rowValues.emplace_back(kRowLabel);
            SQLRETURN rc = m.fetchOne();
            if (rc == SQL_NO_DATA) {
                if (m.fetchScroll && isBackward(FetchOrientation))
                    m.atBeginning = true;
                else
                    m.atEnd = true;
                labelOnly(m.rowValues);
                m.freeByCursorState();
            } else if (rc != SQL_SUCCESS) {
                if (rc == SQL_SUCCESS_WITH_INFO) m.fetchedWithInfo = true;
                labelOnly(m.rowValues);
                m.collectErrors(m.stmt.get());
            } else {
                result = true;
                m.atBeginning = false;
                if (NoRetrieveData) {
                    labelOnly(m.rowValues);
                } else if (!m.readRowValues()) {
                    // the error is pending; values read so far stay
                }
                if (!m.errorPending) {
                    if (OnFetchData) OnFetchData(this, qoFetchRow);
                    if (!m.links.empty()) NotifyFetchLinks();
                }
            }
        }
    }
    m.raisePending();
    return result;
}

bool TQueryODBC::FetchToRec(void* record) {
    Impl& m = *d;
    bool result = false;
    {
        WaitScope wait(m);
        if (!record) {
            m.setPending(kMsgNullRecord);
        } else if (m.stmt && m.executed) {
            m.applyRowsetSize();
            bool bound = true;
            if ((RebindAlways || record != m.lastBoundRecord) && m.columnCount > 0) {
                char* base = static_cast<char*>(record);
                SQLHSTMT h = m.stmt.get();
                for (int n = 1; n <= m.columnCount && bound; ++n) {
                    const ColumnDesc& c = m.columns[static_cast<size_t>(n - 1)];
                    char* value = base + c.Offset;
                    auto* indicator = reinterpret_cast<SQLLEN*>(value + c.BufferLength);
                    const SQLSMALLINT cType = m.mappedCType(c.SqlType, SQL_C_DEFAULT);
                    SQLRETURN rc = m.call("BindCol", [&] {
                        return SQLBindCol(h, static_cast<SQLUSMALLINT>(n), cType, value, c.BufferLength, indicator);
                    });
                    if (!SQL_SUCCEEDED(rc)) {
                        m.collectErrors(h);
                        bound = false;
                    }
                }
                m.lastBoundRecord = bound ? record : nullptr;
            }
            if (bound) {
                SQLRETURN rc = m.fetchOne();
                if (SQL_SUCCEEDED(rc)) {
                    m.atBeginning = false;
                    if (rc == SQL_SUCCESS_WITH_INFO) m.fetchedWithInfo = true;
                    if (OnFetchData) OnFetchData(this, qoFetchRec);
                    result = true;
                } else if (rc == SQL_NO_DATA) {
                    m.atEnd = true;
                    m.freeByCursorState();
                } else if (m.stmt) {
                    m.collectErrors(m.stmt.get());
                }
            }
        }
    }
    m.raisePending();
    return result;
}

SQLRETURN TQueryODBC::GetData(int column, void* buffer, SQLLEN& length) {
    Impl& m = *d;
    if (column < 0) Impl::raiseMessage(kMsgColumnInvalid);
    SQLRETURN rc = SQL_ERROR;
    {
        WaitScope wait(m);
        if (!m.stmt || column > m.columnCount) {
            m.setPending(kMsgColumnTooBig + std::to_string(column));
        } else {
            SQLLEN indicator = 0;
            SQLHSTMT h = m.stmt.get();
            rc = m.call("GetData", [&] {
                return SQLGetData(h, static_cast<SQLUSMALLINT>(column), SQL_C_DEFAULT, buffer, length, &indicator);
            });
            if (!SQL_SUCCEEDED(rc)) {
                m.collectErrors(h);
            } else {
                length = indicator;
                if (OnFetchData) OnFetchData(this, qoFetchData);
            }
        }
    }
    m.raisePending();
    return rc;
}

std::string TQueryODBC::FieldByName(const std::string& name) {
    const Impl& m = *d;
    if (m.stmt && m.rowValues.size() > 1) {
        const size_t last = std::min(m.rowValues.size() - 1, m.columns.size());
        for (size_t n = 1; n <= last; ++n)
            if (m.columns[n - 1].Name == name) return m.rowValues[n];
    }
    Impl::raiseMessage(kMsgColumnNotFound + name);
}

namespace {
const ColumnDesc& columnAt(const TQueryODBC::Impl& m, int n) {
    if (n < 1 || n > m.columnCount || static_cast<size_t>(n) > m.columns.size())
        TQueryODBC::Impl::raiseMessage(kMsgColumnInvalid);
    return m.columns[static_cast<size_t>(n - 1)];
}
}  // namespace

std::string TQueryODBC::ColumnName(int n) const { return columnAt(*d, n).Name; }
SQLSMALLINT TQueryODBC::ColumnType(int n) const { return columnAt(*d, n).SqlType; }
int TQueryODBC::ColumnLength(int n) const { return columnAt(*d, n).BufferLength; }
bool TQueryODBC::ColumnIsNumeric(int n) const { return columnAt(*d, n).Numeric; }

void TQueryODBC::SetFetchLink(int32_t key, TqoRowFetched handler) {
    for (TBindColumn& link : d->links)
        if (link.Key == key) {
            link.OnRowFetched = std::move(handler);
            return;
        }
    d->links.push_back(TBindColumn{key, std::move(handler), nullptr});
}

void TQueryODBC::SetStateLink(int32_t key, TqoStateChange handler) {
    for (TBindColumn& link : d->links)
        if (link.Key == key) {
            link.OnStateChange = std::move(handler);
            return;
        }
    d->links.push_back(TBindColumn{key, nullptr, std::move(handler)});
}

void TQueryODBC::RemoveLink(int32_t key) {
    auto& links = d->links;
    for (auto it = links.begin(); it != links.end(); ++it)
        if (it->Key == key) {
            links.erase(it);
            return;
        }
}

void TQueryODBC::NotifyFetchLinks() {
    if (LinksOff) return;
    // By index: a handler may add or remove links.
    for (size_t i = 0; i < d->links.size(); ++i) {
        TqoRowFetched handler = d->links[i].OnRowFetched;
        if (handler) handler(this);
    }
}
