// Small RAII owners of SQLite handles used throughout the engine.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>

namespace sim {

// Owns one sqlite3 connection; closes it quietly.
class SqliteDb {
public:
    explicit SqliteDb(const std::string& path);
    ~SqliteDb();
    SqliteDb(const SqliteDb&) = delete;
    SqliteDb& operator=(const SqliteDb&) = delete;

    sqlite3* Get() const { return db_; }
    // Runs one or more statements without results; throws SimError on failure.
    void Exec(const std::string& sql);
    // Runs a query and returns the first column of the first row, if any.
    std::optional<std::string> QueryText(const std::string& sql);
    int64_t QueryInt(const std::string& sql, int64_t dflt);
    bool InTransaction() const;

private:
    sqlite3* db_ = nullptr;
};

// Owns one prepared statement.
class SqliteStmt {
public:
    SqliteStmt(sqlite3* db, const std::string& sql);
    ~SqliteStmt();
    SqliteStmt(const SqliteStmt&) = delete;
    SqliteStmt& operator=(const SqliteStmt&) = delete;

    sqlite3_stmt* Get() const { return stmt_; }
    SqliteStmt& Bind(int index, int64_t value);
    SqliteStmt& Bind(int index, double value);
    SqliteStmt& Bind(int index, const std::string& value);
    SqliteStmt& BindNull(int index);
    // Steps once: true for a row, false when done; throws SimError on failure.
    bool Step();
    // Steps to completion and resets for the next round of binds.
    void Run();
    void Reset();
    int64_t Int(int col) const { return sqlite3_column_int64(stmt_, col); }
    std::string Text(int col) const;
    bool IsNull(int col) const { return sqlite3_column_type(stmt_, col) == SQLITE_NULL; }

private:
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};

// BEGIN IMMEDIATE ... COMMIT, rolled back when not committed.
class SqliteTxn {
public:
    explicit SqliteTxn(SqliteDb& db);
    ~SqliteTxn();
    SqliteTxn(const SqliteTxn&) = delete;
    SqliteTxn& operator=(const SqliteTxn&) = delete;
    void Commit();

private:
    SqliteDb& db_;
    bool open_ = false;
};

// Throws the SimError that matches an SQLite failure on this connection.
[[noreturn]] void ThrowSqliteError(sqlite3* db, int rc, const std::string& context);

}  // namespace sim
