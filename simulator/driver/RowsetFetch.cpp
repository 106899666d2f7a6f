#include "RowsetFetch.h"

#include "ValueConvert.h"
#include "WideText.h"

#include <cstring>

namespace kelvsim {

namespace {

// The row with this index exists, within SQL_ATTR_MAX_ROWS.
bool RowExists(Statement& stmt, size_t index) {
    if (stmt.Attr.MaxRows > 0 && index >= stmt.Attr.MaxRows)
        return false;
    return stmt.Result->HasRow(index);
}

size_t TotalRows(Statement& stmt) {
    size_t total = stmt.Result->CountAll();
    if (stmt.Attr.MaxRows > 0 && total > stmt.Attr.MaxRows)
        total = stmt.Attr.MaxRows;
    return total;
}

struct Target {
    bool BeforeStart = false;
    bool AfterEnd = false;
    size_t Start = 0;
};

SQLLEN ReadBookmark(const Statement& stmt, SQLLEN fromArgument, bool fromAttribute) {
    if (!fromAttribute)
        return fromArgument;
    if (!stmt.Attr.FetchBookmark)
        throw OdbcFailure("HY111", "Invalid bookmark value");
    SQLINTEGER bookmark = 0;
    std::memcpy(&bookmark, stmt.Attr.FetchBookmark, sizeof bookmark);
    return bookmark;
}

// Where the requested rowset starts, following the ODBC scrolling rules.
Target Locate(Statement& stmt, const FetchRequest& request, size_t size) {
    Target t;
    const auto signedStart = static_cast<long long>(stmt.RowsetStart);
    auto at = [&](long long start) {
        if (start < 0) {
            t.BeforeStart = true;
        } else if (!RowExists(stmt, static_cast<size_t>(start))) {
            t.AfterEnd = true;
        } else {
            t.Start = static_cast<size_t>(start);
        }
        return t;
    };
    switch (request.Orientation) {
    case SQL_FETCH_NEXT:
        if (stmt.Position == CursorPosition::BeforeStart)
            return at(0);
        if (stmt.Position == CursorPosition::AfterEnd) {
            t.AfterEnd = true;
            return t;
        }
        return at(signedStart + static_cast<long long>(stmt.LastRowsetSize));
    case SQL_FETCH_FIRST:
        return at(0);
    case SQL_FETCH_LAST: {
        const auto total = static_cast<long long>(TotalRows(stmt));
        if (total == 0) {
            t.AfterEnd = true;
            return t;
        }
        return at(std::max(0LL, total - static_cast<long long>(size)));
    }
    case SQL_FETCH_PRIOR:
        if (stmt.Position == CursorPosition::BeforeStart) {
            t.BeforeStart = true;
            return t;
        }
        if (stmt.Position == CursorPosition::AfterEnd) {
            const auto total = static_cast<long long>(TotalRows(stmt));
            return at(total == 0 ? -1 : std::max(0LL, total - static_cast<long long>(size)));
        }
        if (signedStart == 0) {
            t.BeforeStart = true;
            return t;
        }
        return at(std::max(0LL, signedStart - static_cast<long long>(size)));
    case SQL_FETCH_ABSOLUTE: {
        const auto offset = static_cast<long long>(request.Offset);
        if (offset == 0) {
            t.BeforeStart = true;
            return t;
        }
        if (offset > 0)
            return at(offset - 1);
        const auto total = static_cast<long long>(TotalRows(stmt));
        if (-offset > total) {
            // Before the start, unless the rowset still reaches the first row.
            return -offset > static_cast<long long>(size) ? at(-1) : at(0);
        }
        return at(total + offset);
    }
    case SQL_FETCH_RELATIVE: {
        const auto offset = static_cast<long long>(request.Offset);
        if (stmt.Position == CursorPosition::BeforeStart)
            return offset > 0 ? at(offset - 1) : at(-1);
        if (stmt.Position == CursorPosition::AfterEnd) {
            const auto total = static_cast<long long>(TotalRows(stmt));
            return offset < 0 ? at(total + offset) : at(total);
        }
        const long long start = signedStart + offset;
        if (start < 0)
            return -offset > static_cast<long long>(size) ? at(-1) : at(0);
        return at(start);
    }
    case SQL_FETCH_BOOKMARK: {
        const SQLLEN bookmark = ReadBookmark(stmt, request.Offset, request.BookmarkFromAttribute);
        if (stmt.Attr.UseBookmarks == SQL_UB_OFF)
            throw OdbcFailure("HY106", "Fetch type out of range");
        if (bookmark < 1 || !RowExists(stmt, static_cast<size_t>(bookmark - 1)))
            throw OdbcFailure("HY111", "Invalid bookmark value");
        const long long start =
            static_cast<long long>(bookmark - 1) + (request.BookmarkFromAttribute ? request.Offset : 0);
        return at(start);
    }
    default:
        throw OdbcFailure("HY106", "Fetch type out of range");
    }
}

char* Address(SQLPOINTER base, SQLULEN bindType, size_t elementSize, size_t row, SQLULEN* offset) {
    char* address = static_cast<char*>(base);
    if (offset)
        address += *offset;
    address += row * (bindType == SQL_BIND_BY_COLUMN ? elementSize : bindType);
    return address;
}

// Callers may pack records (value, then indicator, then the next value), so
// an indicator is not necessarily aligned: write it bytewise like the values.
void PutIndicator(char* indicator, SQLLEN value) {
    std::memcpy(indicator, &value, sizeof value);
}

// Writes one row into the bound columns; returns false when a value was cut.
SQLUSMALLINT WriteBoundRow(Statement& stmt, size_t rowIndex, size_t rowInSet) {
    const Row& row = stmt.Result->RowAt(rowIndex);
    const auto& columns = stmt.Result->Columns();
    SQLUSMALLINT status = SQL_ROW_SUCCESS;
    const SQLULEN bindType = stmt.Attr.RowBindType;
    for (const auto& [number, bound] : stmt.BoundColumns) {
        char* indicator = nullptr;
        if (bound.Indicator)
            indicator = Address(bound.Indicator, bindType, sizeof(SQLLEN), rowInSet, stmt.Attr.RowBindOffset);
        if (number == 0) {
            // Bookmark column: the 1-based row number.
            if (bound.Target) {
                const auto bookmark = static_cast<SQLINTEGER>(rowIndex + 1);
                std::memcpy(Address(bound.Target, bindType, sizeof bookmark, rowInSet, stmt.Attr.RowBindOffset),
                            &bookmark, sizeof bookmark);
            }
            if (indicator)
                PutIndicator(indicator, sizeof(SQLINTEGER));
            continue;
        }
        if (number > columns.size())
            continue;
        const auto& value = row[number - 1];
        const SQLSMALLINT cType = bound.CType == SQL_C_DEFAULT ? DefaultCType(columns[number - 1].SqlType) : bound.CType;
        const size_t elementSize =
            IsVariableLengthCType(cType) ? static_cast<size_t>(bound.BufferLength) : FixedCTypeSize(cType);
        if (!value) {
            if (!indicator) {
                stmt.Diag.Add("22002", "Indicator variable required but not supplied");
                status = SQL_ROW_ERROR;
                continue;
            }
            PutIndicator(indicator, SQL_NULL_DATA);
            continue;
        }
        if (!bound.Target) {
            if (indicator)
                PutIndicator(indicator, static_cast<SQLLEN>(cType == SQL_C_WCHAR ? WideByteLength(*value)
                                                                                 : value->size()));
            continue;
        }
        char* target = Address(bound.Target, bindType, elementSize, rowInSet, stmt.Attr.RowBindOffset);
        bool truncated = false;
        size_t consumed = 0;
        try {
            SQLLEN length = ConvertValue(stmt.Diag, *value, columns[number - 1].SqlType, cType, target,
                                         bound.BufferLength, 0, truncated, consumed);
            if (stmt.Attr.MaxLength > 0 && IsVariableLengthCType(cType) &&
                static_cast<SQLULEN>(length) > stmt.Attr.MaxLength)
                length = static_cast<SQLLEN>(stmt.Attr.MaxLength);
            if (indicator)
                PutIndicator(indicator, length);
        } catch (const OdbcFailure& failure) {
            stmt.Diag.Add(failure.SqlState, failure.what(), failure.NativeError);
            status = SQL_ROW_ERROR;
            continue;
        }
        if (truncated) {
            stmt.Diag.Add("01004", "String data, right truncated");
            if (status == SQL_ROW_SUCCESS)
                status = SQL_ROW_SUCCESS_WITH_INFO;
        }
    }
    return status;
}

}  // namespace

SQLRETURN FetchRowset(Statement& stmt, const FetchRequest& request) {
    if (!stmt.CursorOpen())
        throw OdbcFailure("24000", "Invalid cursor state");
    stmt.Conn->LiveSession();
    if (request.Orientation != SQL_FETCH_NEXT && stmt.Attr.CursorType == SQL_CURSOR_FORWARD_ONLY)
        throw OdbcFailure("HY106", "Fetch type out of range");
    const size_t size = request.RowsetSize == 0 ? 1 : static_cast<size_t>(request.RowsetSize);
    stmt.ResetGetData();

    const Target target = Locate(stmt, request, size);
    if (request.RowsFetched)
        *request.RowsFetched = 0;
    if (target.BeforeStart || target.AfterEnd) {
        stmt.Position = target.BeforeStart ? CursorPosition::BeforeStart : CursorPosition::AfterEnd;
        stmt.RowsetRows = 0;
        if (request.RowStatus)
            for (size_t i = 0; i < size; ++i)
                request.RowStatus[i] = SQL_ROW_NOROW;
        return SQL_NO_DATA;
    }

    stmt.Position = CursorPosition::OnRowset;
    stmt.RowsetStart = target.Start;
    stmt.LastRowsetSize = size;
    if (stmt.Attr.CursorType == SQL_CURSOR_FORWARD_ONLY)
        stmt.Result->ForgetBefore(target.Start);

    size_t fetched = 0;
    bool anyError = false;
    bool allError = true;
    for (size_t i = 0; i < size; ++i) {
        if (!RowExists(stmt, target.Start + i)) {
            if (request.RowStatus)
                request.RowStatus[i] = SQL_ROW_NOROW;
            continue;
        }
        ++fetched;
        SQLUSMALLINT status = SQL_ROW_SUCCESS;
        if (stmt.Attr.RetrieveData == SQL_RD_ON)
            status = WriteBoundRow(stmt, target.Start + i, i);
        anyError = anyError || status == SQL_ROW_ERROR;
        allError = allError && status == SQL_ROW_ERROR;
        if (request.RowStatus)
            request.RowStatus[i] = status;
    }
    stmt.RowsetRows = fetched;
    if (request.RowsFetched)
        *request.RowsFetched = fetched;
    if (auto warning = stmt.Result->FetchWarning())
        stmt.Diag.AddSimError(*warning);
    if (anyError && allError && size == 1)
        return SQL_ERROR;
    return SuccessOrInfo(stmt);
}

}  // namespace kelvsim
