#include "SqliteHandle.h"

#include "SimEngine.h"
#include "SqlErrors.h"

#include <mutex>

namespace sim {

namespace {

// Two processes (viewer and collector) share the file; a writer waits for
// the other by a number of short naps (about 15 s in all) rather than by
// the clock, so a sped-up fake clock does not cut the wait short.
constexpr int kBusyAttempts = 3000;
constexpr int kShortNapMs = 1;
constexpr int kNapMs = 5;
constexpr int kShortNaps = 10;

int WaitWhileBusy(void*, int attempt) {
    if (attempt >= kBusyAttempts) return 0;
    sqlite3_sleep(attempt < kShortNaps ? kShortNapMs : kNapMs);
    return 1;
}

// SQLite counts every allocation under one process-wide lock unless told not
// to; with many connections working in parallel that lock is where they meet.
// It can only be told before its first use in the process; later it refuses,
// which costs nothing but the speed.
void StopCountingMemory() {
    static std::once_flag once;
    std::call_once(once, [] { sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0); });
}

}  // namespace

void ThrowSqliteError(sqlite3* db, int rc, const std::string& context) {
    const char* msg = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    throw MapSqliteError(rc, msg ? msg : "", context);
}

SqliteDb::SqliteDb(const std::string& path) {
    StopCountingMemory();
    int rc = sqlite3_open_v2(path.c_str(), &db_,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        std::string msg = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
        sqlite3_close(db_);
        db_ = nullptr;
        throw SimError("08001", 12154, "ORA-12154: TNS:could not resolve service name (" + msg + ")");
    }
    sqlite3_busy_handler(db_, WaitWhileBusy, nullptr);
    // An unknown "NAME" must be an unknown column, never a string literal.
    sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    sqlite3_extended_result_codes(db_, 0);
}

SqliteDb::~SqliteDb() { sqlite3_close_v2(db_); }

void SqliteDb::Exec(const std::string& sql) {
    char* err = nullptr;
    int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &err);
    if (rc != SQLITE_OK) {
        std::string msg = err ? err : sqlite3_errstr(rc);
        sqlite3_free(err);
        throw MapSqliteError(rc, msg, sql);
    }
}

std::optional<std::string> SqliteDb::QueryText(const std::string& sql) {
    SqliteStmt stmt(db_, sql);
    if (!stmt.Step() || stmt.IsNull(0)) return std::nullopt;
    return stmt.Text(0);
}

int64_t SqliteDb::QueryInt(const std::string& sql, int64_t dflt) {
    SqliteStmt stmt(db_, sql);
    if (!stmt.Step() || stmt.IsNull(0)) return dflt;
    return stmt.Int(0);
}

bool SqliteDb::InTransaction() const { return sqlite3_get_autocommit(db_) == 0; }

SqliteStmt::SqliteStmt(sqlite3* db, const std::string& sql) : db_(db) {
    int rc = sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &stmt_, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
        ThrowSqliteError(db, rc, sql);
    }
}

SqliteStmt::~SqliteStmt() { sqlite3_finalize(stmt_); }

SqliteStmt& SqliteStmt::Bind(int index, int64_t value) {
    sqlite3_bind_int64(stmt_, index, value);
    return *this;
}
SqliteStmt& SqliteStmt::Bind(int index, double value) {
    sqlite3_bind_double(stmt_, index, value);
    return *this;
}
SqliteStmt& SqliteStmt::Bind(int index, const std::string& value) {
    sqlite3_bind_text(stmt_, index, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
    return *this;
}
SqliteStmt& SqliteStmt::BindNull(int index) {
    sqlite3_bind_null(stmt_, index);
    return *this;
}

bool SqliteStmt::Step() {
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    ThrowSqliteError(db_, rc, sqlite3_sql(stmt_) ? sqlite3_sql(stmt_) : "");
}

void SqliteStmt::Run() {
    while (Step()) {
    }
    Reset();
}

void SqliteStmt::Reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

std::string SqliteStmt::Text(int col) const {
    const unsigned char* text = sqlite3_column_text(stmt_, col);
    int len = sqlite3_column_bytes(stmt_, col);
    return text ? std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(len)) : std::string();
}

SqliteTxn::SqliteTxn(SqliteDb& db) : db_(db) {
    db_.Exec("BEGIN IMMEDIATE");
    open_ = true;
}

SqliteTxn::~SqliteTxn() {
    if (open_) sqlite3_exec(db_.Get(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void SqliteTxn::Commit() {
    db_.Exec("COMMIT");
    open_ = false;
}

}  // namespace sim
