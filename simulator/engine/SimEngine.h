// The simulated Oracle instance: an SQLite file per data source that plays
// the V$ and dictionary views, a workload model that grows the counters
// with the clock, and an Oracle-dialect layer over SQLite.
//
// The ODBC driver (simulator/driver) is a thin shell over this interface;
// tests may also use it directly to read the instance's counters.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace sim {

// An Oracle-style failure: SQLSTATE, native code (ORA number) and the
// message text "ORA-nnnnn: ...".
struct SimError : std::runtime_error {
    SimError(std::string sqlState, int nativeError, const std::string& message)
        : std::runtime_error(message), SqlState(std::move(sqlState)), NativeError(nativeError) {}
    std::string SqlState;
    int NativeError;
};

// Settings of one data source (from odbc.ini keys or a connection string).
// Every key is optional; see SimConfig.cpp for names and defaults.
struct SimConfig {
    std::string DataSource;       // DSN name, for messages
    std::string Database;         // path of the instance's SQLite file
    std::map<std::string, std::string> Keys;  // all keys as given, upper-cased names

    std::string Get(const std::string& key, const std::string& dflt = "") const;
    long GetInt(const std::string& key, long dflt) const;
};

// ODBC SQL type codes of result columns (SQL_VARCHAR, SQL_NUMERIC, ...).
struct SimColumn {
    std::string Name;          // as Oracle would report it (upper case unless quoted)
    int16_t SqlType = 12;      // SQL_VARCHAR
    uint64_t ColumnSize = 0;   // characters, or precision for numbers
    int16_t DecimalDigits = 0;
    bool Nullable = true;
};

// A result (or a statement without one: Columns empty, RowsAffected set).
class SimCursor {
public:
    virtual ~SimCursor() = default;
    virtual const std::vector<SimColumn>& Columns() const = 0;
    // Moves to the next row; false at the end. May throw SimError.
    virtual bool Next() = 0;
    // Value of column i (0-based) of the current row as Oracle's text form;
    // std::nullopt for NULL.
    virtual std::optional<std::string> Value(size_t i) const = 0;
    virtual long RowsAffected() const = 0;
};

// One connected session of the instance.
class SimSession {
public:
    virtual ~SimSession() = default;
    // Describes a statement without running it (for SQLPrepare +
    // SQLNumResultCols before SQLExecute). Parameters count as NULL.
    virtual std::vector<SimColumn> Describe(const std::string& oracleSql) = 0;
    // Runs a statement with its positional parameters (nullopt = NULL).
    virtual std::unique_ptr<SimCursor> Execute(
        const std::string& oracleSql, const std::vector<std::optional<std::string>>& params) = 0;
    virtual void Commit() = 0;
    virtual void Rollback() = 0;
    virtual void SetAutoCommit(bool on) = 0;
    virtual std::string Banner() const = 0;   // first V$VERSION banner
    virtual std::string User() const = 0;     // upper case
    virtual bool IsDba() const = 0;
};

// Opens a session: checks user and password (ORA-01017, SQLSTATE 28000),
// applies refused-connection faults, creates or upgrades the instance file
// and advances the workload to the current time.
std::unique_ptr<SimSession> Connect(const SimConfig& config, const std::string& user,
                                    const std::string& password);

// The instance's clock: the wall clock (so faketime moves it too).
std::chrono::system_clock::time_point Now();

}  // namespace sim
