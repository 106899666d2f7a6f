#include "SimCursorImpl.h"

#include "NlsSession.h"
#include "OracleLexer.h"
#include "OracleText.h"
#include "SqlErrors.h"
#include "SqliteHandle.h"

#include <cstdlib>

namespace sim {

namespace {

// ODBC SQL type codes.
constexpr int16_t kSqlChar = 1;
constexpr int16_t kSqlDecimal = 3;
constexpr int16_t kSqlVarchar = 12;
constexpr int16_t kSqlLongVarchar = -1;
constexpr int16_t kSqlTimestamp = 93;
constexpr uint64_t kNumberPrecision = 38;
constexpr uint64_t kVarcharMax = 4000;
constexpr uint64_t kDateSize = 19;
constexpr uint64_t kLongSize = 2147483647;

// Size in parentheses of a declared type: VARCHAR2(30) -> 30.
uint64_t DeclaredSize(const std::string& decl, uint64_t dflt) {
    auto open = decl.find('(');
    if (open == std::string::npos) return dflt;
    long n = std::strtol(decl.c_str() + open + 1, nullptr, 10);
    return n > 0 ? static_cast<uint64_t>(n) : dflt;
}

int16_t DeclaredScale(const std::string& decl) {
    auto comma = decl.find(',');
    return comma == std::string::npos ? 0 : static_cast<int16_t>(std::strtol(decl.c_str() + comma + 1, nullptr, 10));
}

SimColumn ColumnFromDecl(const std::string& name, const std::string& declared) {
    SimColumn c;
    c.Name = name;
    std::string decl = UpperAscii(declared);
    if (decl.rfind("NUMBER", 0) == 0 || decl.rfind("INT", 0) == 0 || decl.rfind("DEC", 0) == 0 ||
        decl.rfind("NUMERIC", 0) == 0 || decl.rfind("FLOAT", 0) == 0 || decl.rfind("REAL", 0) == 0 ||
        decl.rfind("SMALLINT", 0) == 0 || decl.rfind("DOUBLE", 0) == 0) {
        c.SqlType = kSqlDecimal;
        c.ColumnSize = DeclaredSize(decl, kNumberPrecision);
        c.DecimalDigits = DeclaredScale(decl);
    } else if (decl.rfind("DATE", 0) == 0 || decl.rfind("TIMESTAMP", 0) == 0) {
        c.SqlType = kSqlTimestamp;
        c.ColumnSize = kDateSize;
    } else if (decl.rfind("CHAR", 0) == 0 || decl.rfind("NCHAR", 0) == 0) {
        c.SqlType = kSqlChar;
        c.ColumnSize = DeclaredSize(decl, 1);
    } else if (decl.rfind("LONG", 0) == 0 || decl.rfind("CLOB", 0) == 0 || decl.rfind("TEXT", 0) == 0) {
        c.SqlType = kSqlLongVarchar;
        c.ColumnSize = kLongSize;
    } else {
        c.SqlType = kSqlVarchar;
        c.ColumnSize = DeclaredSize(decl, kVarcharMax);
    }
    return c;
}

}  // namespace

std::vector<SimColumn> DescribeColumns(sqlite3_stmt* stmt, bool hasRow) {
    std::vector<SimColumn> cols;
    int n = sqlite3_column_count(stmt);
    for (int i = 0; i < n; ++i) {
        const char* name = sqlite3_column_name(stmt, i);
        const char* decl = sqlite3_column_decltype(stmt, i);
        if (decl) {
            cols.push_back(ColumnFromDecl(name ? name : "", decl));
            continue;
        }
        // An expression: its type follows the value of the first row.
        int type = hasRow ? sqlite3_column_type(stmt, i) : SQLITE_NULL;
        SimColumn c;
        c.Name = name ? name : "";
        if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) {
            c.SqlType = kSqlDecimal;
            c.ColumnSize = kNumberPrecision;
        } else if (hasRow && type == SQLITE_TEXT && ParseDateText(reinterpret_cast<const char*>(sqlite3_column_text(stmt, i)))) {
            c.SqlType = kSqlTimestamp;
            c.ColumnSize = kDateSize;
        } else {
            c.SqlType = kSqlVarchar;
            c.ColumnSize = kVarcharMax;
        }
        cols.push_back(c);
    }
    return cols;
}

std::optional<std::string> OracleValue(sqlite3_stmt* stmt, int i) {
    switch (sqlite3_column_type(stmt, i)) {
        case SQLITE_NULL: return std::nullopt;
        case SQLITE_INTEGER: return std::to_string(sqlite3_column_int64(stmt, i));
        case SQLITE_FLOAT: return FormatOracleNumber(sqlite3_column_double(stmt, i));
        default: {
            const unsigned char* text = sqlite3_column_text(stmt, i);
            int len = sqlite3_column_bytes(stmt, i);
            if (!text || len == 0) return std::nullopt;  // Oracle has no empty strings
            return std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(len));
        }
    }
}

StatementCursor::StatementCursor(sqlite3* db, sqlite3_stmt* stmt, std::shared_ptr<SessionHealth> health,
                                 std::optional<SimError> fetchWarning, std::optional<bool> firstStepHadRow,
                                 char decimalCharacter)
    : db_(db), stmt_(stmt), health_(std::move(health)), fetchWarning_(std::move(fetchWarning)),
      decimalCharacter_(decimalCharacter) {
    // Rows changed by this statement alone (DDL changes none).
    const int64_t changesBefore = sqlite3_total_changes64(db_);
    try {
        if (firstStepHadRow) {
            pendingRow_ = *firstStepHadRow;
            done_ = !pendingRow_;
        } else {
            pendingRow_ = Step();
        }
    } catch (...) {
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
        throw;
    }
    columns_ = DescribeColumns(stmt_, pendingRow_);
    if (columns_.empty()) {
        while (pendingRow_) pendingRow_ = Step();
        rowsAffected_ = static_cast<long>(sqlite3_total_changes64(db_) - changesBefore);
        fetchWarning_.reset();
    } else {
        rowsAffected_ = -1;
    }
}

StatementCursor::~StatementCursor() { sqlite3_finalize(stmt_); }

bool StatementCursor::Step() {
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    done_ = true;
    if (rc == SQLITE_DONE) return false;
    ThrowSqliteError(db_, rc, "");
}

bool StatementCursor::Next() {
    health_->Check();
    if (pendingRow_) {
        pendingRow_ = false;
        onRow_ = true;
        return true;
    }
    if (done_ || columns_.empty()) {
        onRow_ = false;
        return false;
    }
    onRow_ = Step();
    if (!onRow_) sqlite3_reset(stmt_);  // release the read snapshot at the end
    return onRow_;
}

std::optional<std::string> StatementCursor::Value(size_t i) const {
    if (!onRow_ || i >= columns_.size()) return std::nullopt;
    std::optional<std::string> value = OracleValue(stmt_, static_cast<int>(i));
    // Numbers reach the client as text in the session's NLS form.
    if (value && sqlite3_column_type(stmt_, static_cast<int>(i)) == SQLITE_FLOAT)
        return WithDecimalCharacter(std::move(*value), decimalCharacter_);
    return value;
}

}  // namespace sim
