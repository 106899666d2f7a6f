// Describing result columns: names, SQL types, and the buffer length each
// value takes in a FetchToRec row record.
#include "QueryImpl.h"

#include <climits>

namespace {

constexpr SQLSMALLINT kFirstIntervalType = 101;
constexpr SQLSMALLINT kLastIntervalType = 113;
constexpr int32_t kIntervalLength = 34;
constexpr int32_t kNumericExtra = 2;     // sign and decimal point
constexpr int32_t kTerminator = 1;

// The buffer lengths of the types whose values have a fixed size (BIGINT:
// 20 digits and the zero).
struct FixedLength {
    SQLSMALLINT type;
    int32_t length;
};
constexpr FixedLength kFixedLengths[] = {
    {SQL_INTEGER, 4},   {SQL_REAL, 4},      {SQL_SMALLINT, 2},   {SQL_FLOAT, 8},
    {SQL_DOUBLE, 8},    {SQL_DATE, 6},      {SQL_TIME, 6},       {SQL_TYPE_DATE, 6},
    {SQL_TYPE_TIME, 6}, {SQL_TIMESTAMP, 16}, {SQL_TYPE_TIMESTAMP, 16}, {SQL_BIT, 1},
    {SQL_TINYINT, 1},   {SQL_BIGINT, 20 + 1},
};

int32_t clampLength(SQLLEN len) {
    if (len < 0) return 0;
    if (len > INT32_MAX - 1) return INT32_MAX - 1;
    return static_cast<int32_t>(len);
}

// The length of a type whose values have a fixed size; 0 for the others.
int32_t fixedLength(SQLSMALLINT t) {
    for (const FixedLength& f : kFixedLengths)
        if (f.type == t) return f.length;
    return t >= kFirstIntervalType && t <= kLastIntervalType ? kIntervalLength : 0;
}

bool isLongType(SQLSMALLINT t) { return t == SQL_LONGVARCHAR || t == SQL_WLONGVARCHAR || t == SQL_LONGVARBINARY; }

// Types whose length in the table already holds the terminating zero.
bool lengthHasTerminator(SQLSMALLINT t) {
    return kelv_odbc::IsCharSqlType(t) || t == SQL_NUMERIC || t == SQL_DECIMAL || t == SQL_BIGINT;
}

SQLSMALLINT asWideType(SQLSMALLINT t) {
    if (t == SQL_CHAR) return SQL_WCHAR;
    if (t == SQL_VARCHAR) return SQL_WVARCHAR;
    if (t == SQL_LONGVARCHAR) return SQL_WLONGVARCHAR;
    return t;
}

// Reads the attributes of one column through SQLColAttributes (ODBC 2) or
// SQLColAttribute (ODBC 3); a failed read is collected.
class ColumnReader {
public:
    ColumnReader(TQueryODBC::Impl& m, SQLUSMALLINT col) : m_(m), col_(col), h_(m.stmt.get()) {}

    bool number(SQLUSMALLINT id2, SQLUSMALLINT id3, SQLLEN& value) {
        value = 0;
        const SQLRETURN rc = m_.call(m_.step("ColAttributes", "ColAttribute"), [&] {
            return m_.odbc3() ? SQLColAttribute(h_, col_, id3, nullptr, 0, nullptr, &value)
                              : SQLColAttributes(h_, col_, id2, nullptr, 0, nullptr, &value);
        });
        return checked(rc);
    }

    bool name(std::string& out) {
        SQLCHAR text[kColumnNameSize + 1] = {0};
        SQLSMALLINT length = 0;
        const SQLRETURN rc = m_.call(m_.step("ColAttributes", "ColAttribute"), [&] {
            return m_.odbc3() ? SQLColAttribute(h_, col_, SQL_DESC_NAME, text, kColumnNameSize, &length, nullptr)
                              : SQLColAttributes(h_, col_, SQL_COLUMN_NAME, text, kColumnNameSize, &length, nullptr);
        });
        out.assign(reinterpret_cast<char*>(text));
        return checked(rc);
    }

private:
    bool checked(SQLRETURN rc) {
        if (!SQL_SUCCEEDED(rc)) m_.collectErrors(h_);
        return SQL_SUCCEEDED(rc);
    }

    TQueryODBC::Impl& m_;
    SQLUSMALLINT col_;
    SQLHSTMT h_;
};

// The buffer length of the column by the type table; false when an
// attribute it needs could not be read.
bool readBufferLength(TQueryODBC::Impl& m, ColumnReader& read, ColumnDesc& c) {
    const SQLSMALLINT t = c.SqlType;
    const bool v35 = m.odbcVersion == ODBC35;
    if (t == SQL_NUMERIC || t == SQL_DECIMAL) {
        if (!read.number(SQL_COLUMN_PRECISION, v35 ? SQL_DESC_PRECISION : SQL_COLUMN_PRECISION, c.Precision) ||
            !read.number(SQL_COLUMN_SCALE, v35 ? SQL_DESC_SCALE : SQL_COLUMN_SCALE, c.Scale))
            return false;
        c.BufferLength = clampLength(c.Precision + kNumericExtra) + kTerminator;
    } else if (const int32_t fixed = fixedLength(t)) {
        c.BufferLength = fixed;
    } else {
        SQLLEN len = 0;
        if (!read.number(SQL_COLUMN_LENGTH, v35 ? SQL_DESC_OCTET_LENGTH : SQL_COLUMN_LENGTH, len)) return false;
        // A long column of unknown length (SQL_NO_TOTAL) is as long as any limit.
        c.BufferLength = clampLength(len < 0 && isLongType(t) ? INT32_MAX : len);
        if (isLongType(t)) {
            const TQueryODBC& q = *m.self;
            if (c.BufferLength > q.MaxLongData) c.BufferLength = q.MaxLongData;
            if (t != SQL_LONGVARBINARY && q.MaxLongVarChar > 0 && q.MaxLongVarChar < c.BufferLength)
                c.BufferLength = q.MaxLongVarChar;
        }
        if (IsCharSqlType(t)) c.BufferLength += kTerminator;
    }
    // A type read as text through the type map needs room for the zero too.
    if (!lengthHasTerminator(t) && m.mappedCType(t, 0) == SQL_C_CHAR) c.BufferLength += kTerminator;
    return true;
}

bool describeColumn(TQueryODBC::Impl& m, SQLUSMALLINT col, ColumnDesc& c) {
    ColumnReader read(m, col);
    if (!read.name(c.Name)) return false;
    // ODBC 3: the verbose type, and the concise one only where they differ
    // (dates, times, intervals). Some drivers report every character and
    // binary column with the concise type of SQL_CHAR.
    SQLLEN type = 0;
    if (!read.number(SQL_COLUMN_TYPE, SQL_DESC_TYPE, type)) return false;
    if (m.odbc3() && (type == SQL_DATETIME || type == SQL_INTERVAL) &&
        !read.number(SQL_COLUMN_TYPE, SQL_DESC_CONCISE_TYPE, type))
        return false;
    c.SqlType = static_cast<SQLSMALLINT>(type);
    if (m.charAsWChar && m.odbc3()) c.SqlType = asWideType(c.SqlType);
    if (!readBufferLength(m, read, c)) return false;

    c.Numeric = IsNumericSqlType(c.SqlType);
    if (c.Numeric) {
        SQLLEN isUnsigned = 0;
        if (!read.number(SQL_COLUMN_UNSIGNED, SQL_DESC_UNSIGNED, isUnsigned)) return false;
        c.Unsigned = isUnsigned == SQL_TRUE;
    }
    if (!m.readOnly) {
        SQLLEN updatable = SQL_ATTR_READWRITE_UNKNOWN;
        if (!read.number(SQL_COLUMN_UPDATABLE, SQL_DESC_UPDATABLE, updatable)) return false;
        c.Updatable = updatable != SQL_ATTR_READONLY;
    }
    return true;
}

}  // namespace

void TQueryODBC::Impl::describeColumns() {
    columns.assign(static_cast<size_t>(columnCount), ColumnDesc());
    rowRecordSize = 0;
    for (int n = 1; n <= columnCount; ++n) {
        ColumnDesc& c = columns[static_cast<size_t>(n - 1)];
        c.Offset = rowRecordSize;
        describeColumn(*this, static_cast<SQLUSMALLINT>(n), c);
        rowRecordSize += static_cast<size_t>(c.BufferLength) + kIndicatorSize;
        // A column that cannot be described stops the operation at once;
        // no half-described statement is left behind.
        if (errorPending) {
            freeStatement(SQL_DROP);
            raisePending();
            return;
        }
    }

    textBuf.assign(static_cast<size_t>(fetchBufSize) + 1, '\0');
    if (odbc3()) {
        SQLHSTMT h = stmt.get();
        SQLRETURN rc = call("SetStmtAttr(RowsFetchedPtr)",
                            [&] { return SQLSetStmtAttr(h, SQL_ATTR_ROWS_FETCHED_PTR, &rowsFetched, 0); });
        if (!SQL_SUCCEEDED(rc)) collectErrors(h);
    }
}

bool TQueryODBC::Impl::describeResult() {
    SQLSMALLINT cols = 0;
    SQLHSTMT h = stmt.get();
    if (!SQL_SUCCEEDED(call("NumResultCols", [&] { return SQLNumResultCols(h, &cols); }))) return false;
    columnCount = cols;
    if (cols > 0) describeColumns();
    return true;
}
