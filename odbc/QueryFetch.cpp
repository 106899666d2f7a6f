// Fetching rows: text rows into RowValues, raw rows into a caller's record,
// scrolling fetches, single values, and the links notified per row.
#include "QueryImpl.h"

SQLRETURN TQueryODBC::Impl::setStmtOption(const char* step2, const char* step3, SQLUSMALLINT option2,
                                          SQLINTEGER attr3, SQLULEN value) {
    SQLHSTMT h = stmt.get();
    const SQLRETURN rc = call(step(step2, step3), [&] {
        return odbc3() ? SQLSetStmtAttr(h, attr3, reinterpret_cast<SQLPOINTER>(value), 0)
                       : SQLSetStmtOption(h, option2, value);
    });
    if (rc == SQL_ERROR) collectErrors(h);
    return rc;
}

bool TQueryODBC::Impl::setRowset(SQLULEN size, bool rowWise) {
    // Without row-wise binding the driver would lay several rows out column
    // by column, over the record: then no rowset at all.
    if (rowWise && setStmtOption("SetStmtOption (BIND_TYPE)", "SetStmtAttr(RowBindType)", SQL_BIND_TYPE,
                                 SQL_ATTR_ROW_BIND_TYPE, rowRecordSize) == SQL_ERROR)
        return false;
    if (setStmtOption("SetStmtOption (ROWSET_SIZE)", "SetStmtOption (RowArraySize)", SQL_ROWSET_SIZE,
                      SQL_ATTR_ROW_ARRAY_SIZE, size) == SQL_ERROR)
        return false;
    driverRowset = size;
    return true;
}

// The driver must never fetch more rows than the caller's memory holds (the
// record, the row-status array): one row without a rowset size, so a larger
// size still in force is taken back. False when the driver refused that.
bool TQueryODBC::Impl::limitRowset() {
    const SQLULEN allowed = rowsetSize > 0 ? static_cast<SQLULEN>(rowsetSize) : 1;
    if (driverRowset <= allowed || !stmt) return true;
    return setRowset(allowed, false);
}

bool TQueryODBC::Impl::applyRowsetSize() {
    if (!executed || !stmt) return true;
    if (rowsetSize > 0 && rowsetSize != rowsetInForce) {
        setRowset(static_cast<SQLULEN>(rowsetSize), true);
        rowsetInForce = rowsetSize;
    }
    return limitRowset();
}

SQLRETURN TQueryODBC::Impl::scrollFetch() {
    SQLHSTMT h = stmt.get();
    SQLUSMALLINT* status = self->FetchRowStatus;
    if (rowsetSize > 0 && !status) {
        setPending(kMsgRowStatusRequired);
        return kFetchRefused;
    }
    if (!status) status = &ownRowStatus;

    if (lastBoundRecord) {
        const int wanted = self->NoRetrieveData ? 0 : 1;
        if (wanted != retrieveDataInForce) {
            setStmtOption("SetStmtOption (RetrieveData)", "SetStmtAttr(RetrieveData)", SQL_RETRIEVE_DATA,
                          SQL_ATTR_RETRIEVE_DATA, wanted ? SQL_RD_ON : SQL_RD_OFF);
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
            // FetchOffset holds the bookmark, as for ExtendedFetch.
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
    if (driverRowset > 1 && !limitRowset()) return kFetchRefused;
    if (fetchScroll) return scrollFetch();
    SQLHSTMT h = stmt.get();
    return call("Fetch", [&] { return SQLFetch(h); });
}

void TQueryODBC::Impl::endOfResult() {
    if (fetchScroll && self->FetchOrientation == SQL_FETCH_PRIOR)
        atBeginning = true;
    else
        atEnd = true;
    freeByCursorState();
}

// The one reading of a value as text, for Fetch and grid loading alike:
// SQLGetData as SQL_C_CHAR into the text buffer, NULL as NullStrings, a
// value longer than the buffer cut to it. False on a driver error (collected).
bool TQueryODBC::Impl::readColumnText(int n, std::string& out, bool* isNull) {
    // Looked up per value: an event handler may have resized the buffer.
    char* buf = textBuf.data();
    const SQLLEN bufLen = static_cast<SQLLEN>(textBuf.size());
    SQLHSTMT h = stmt.get();
    SQLLEN indicator = 0;
    const SQLRETURN rc = call("GetData", [&] {
        return SQLGetData(h, static_cast<SQLUSMALLINT>(n), SQL_C_CHAR, buf, bufLen, &indicator);
    });
    if (rc == SQL_ERROR || rc == SQL_INVALID_HANDLE) {
        collectErrors(h);
        return false;
    }
    if (rc == SQL_NO_DATA) {
        out.clear();
    } else if (indicator == SQL_NULL_DATA) {
        out.assign(nullStrings);
        if (isNull) *isNull = true;
    } else {
        const SQLLEN maxText = bufLen - 1;
        SQLLEN len = indicator == SQL_NO_TOTAL || indicator > maxText ? maxText : indicator;
        out.assign(buf, static_cast<size_t>(len < 0 ? 0 : len));
    }
    return true;
}

// One SQLGetData per column; the strings of rowValues are reused, so a row
// costs no allocation beyond longer texts. On an error the values not read
// are left empty, never those of the row before.
bool TQueryODBC::Impl::readRowValues() {
    const size_t wanted = static_cast<size_t>(columnCount) + 1;
    if (rowValues.size() != wanted) rowValues.resize(wanted);
    for (size_t n = 1; n < wanted; ++n) {
        if (!readColumnText(static_cast<int>(n), rowValues[n])) {
            for (size_t rest = n; rest < wanted; ++rest) rowValues[rest].clear();
            return false;
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
        if (m.canRead()) {
            // Item 0 only ever holds the label: set it once.
            if (m.rowValues.empty()) m.rowValues.emplace_back(kRowLabel);
            const SQLRETURN rc = m.fetchOne();
            if (rc == SQL_SUCCESS) {
                result = true;
                m.atBeginning = false;
                bool complete = true;
                if (NoRetrieveData)
                    labelOnly(m.rowValues);
                else
                    complete = m.readRowValues();
                // A row whose values could not all be read is not announced.
                if (complete) {
                    if (OnFetchData) OnFetchData(this, qoFetchRow);
                    if (!m.links.empty()) NotifyFetchLinks();
                }
            } else {
                labelOnly(m.rowValues);
                if (rc == SQL_NO_DATA) {
                    m.endOfResult();
                } else {
                    if (rc == SQL_SUCCESS_WITH_INFO) m.fetchedWithInfo = true;
                    if (rc != kFetchRefused) m.collectErrors(m.stmt.get());
                }
            }
        }
    }
    m.raisePending();
    return result;
}

bool TQueryODBC::Impl::bindRecord(void* record) {
    char* base = static_cast<char*>(record);
    SQLHSTMT h = stmt.get();
    lastBoundRecord = nullptr;
    for (int n = 1; n <= columnCount; ++n) {
        const ColumnDesc& c = columns[static_cast<size_t>(n - 1)];
        char* value = base + c.Offset;
        auto* indicator = reinterpret_cast<SQLLEN*>(value + c.BufferLength);
        const SQLRETURN rc = call("BindCol", [&] {
            return SQLBindCol(h, static_cast<SQLUSMALLINT>(n), SQL_C_DEFAULT, value, c.BufferLength, indicator);
        });
        if (!SQL_SUCCEEDED(rc)) {
            collectErrors(h);
            return false;
        }
    }
    lastBoundRecord = record;
    return true;
}

bool TQueryODBC::Impl::fetchIntoRecord(void* record) {
    if (!applyRowsetSize()) return false;
    if ((self->RebindAlways || record != lastBoundRecord) && columnCount > 0 && !bindRecord(record)) return false;
    const SQLRETURN rc = fetchOne();
    if (rc == SQL_NO_DATA) {
        endOfResult();
        return false;
    }
    if (!SQL_SUCCEEDED(rc)) {
        if (rc != kFetchRefused && stmt) collectErrors(stmt.get());
        return false;
    }
    atBeginning = false;
    if (rc == SQL_SUCCESS_WITH_INFO) {
        fetchedWithInfo = true;
        // A warning alone is a success; a value cut short is reported.
        if (driverReportedCut(stmt.get())) collectErrors(stmt.get());
    }
    if (self->OnFetchData) self->OnFetchData(self, qoFetchRec);
    return true;
}

bool TQueryODBC::FetchToRec(void* record) {
    Impl& m = *d;
    bool result = false;
    {
        WaitScope wait(m);
        if (!record)
            m.setPending(kMsgNullRecord);
        else if (m.stmt && m.executed)
            result = m.fetchIntoRecord(record);
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
