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
// Every key is optional; SimKnobs.h and simulator/README.md list them.
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
    // Set when the fetches of this result are to succeed with information
    // (SQLSTATE 01000): the warning the driver reports on each fetch.
    virtual std::optional<SimError> FetchWarning() const { return std::nullopt; }
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
    // This session's row in V$SESSION (SID, SERIAL#).
    virtual long Sid() const { return 0; }
    virtual long Serial() const { return 0; }
};

// Opens a session: checks user and password (ORA-01017, SQLSTATE 28000),
// applies refused-connection faults, creates or upgrades the instance file
// and advances the workload to the current time.
std::unique_ptr<SimSession> Connect(const SimConfig& config, const std::string& user,
                                    const std::string& password);

// The instance's clock: the wall clock (so faketime moves it too).
std::chrono::system_clock::time_point Now();

// ---- Expected values, for tests that compare what programs recorded ----
// Every counter is a step function of the whole minute: the value a query
// returns at time t depends only on floor(t / 60 s) and the instance start.
// These functions open (or create) the configuration's instance file and
// answer exactly what a query at time t would return.

// One row's column of a counter view:
//   "V$SYSSTAT"      name = NAME,      column "VALUE" (default)
//   "V$LATCH"        name = NAME,      "GETS" (default), "MISSES", "SLEEPS", "IMMEDIATE_GETS", "IMMEDIATE_MISSES"
//   "V$LIBRARYCACHE" name = NAMESPACE, "PINS" (default), "GETS", "GETHITS", "PINHITS", "RELOADS", "INVALIDATIONS"
//   "V$ROWCACHE"     name = PARAMETER, "GETS" (default), "GETMISSES", "MODIFICATIONS", "COUNT", "USAGE"
//   "V$SGA"          name = NAME,      "VALUE"
//   "V$SGASTAT"      name = NAME,      "BYTES" ('free memory' moves with time and flushes);
//                    "pool/NAME" for one pool's row ("shared pool/free memory")
//   "V$SGA_DYNAMIC_COMPONENTS" name = COMPONENT, "CURRENT_SIZE" (default), "USER_SPECIFIED_SIZE"
// Throws SimError for an unknown view, column or name.
int64_t CounterAt(const SimConfig& config, const std::string& view, const std::string& name,
                  std::chrono::system_clock::time_point t, const std::string& column = "");
// The sum of a column over all rows of a counter view (SUM(PINS) of V$LIBRARYCACHE, ...).
int64_t CounterSumAt(const SimConfig& config, const std::string& view, const std::string& column,
                     std::chrono::system_clock::time_point t);
// V$PARAMETER value of a parameter ("" when it has none).
std::string ParameterValue(const SimConfig& config, const std::string& name);
// Distinct MACHINEs of non-background sessions at t (the collector's logins figure);
// sessions of connected programs are included as they are at the time of the call.
long LoginMachinesAt(const SimConfig& config, std::chrono::system_clock::time_point t);
// Latch names in V$LATCH order of NAME.
std::vector<std::string> LatchNamesOf(const SimConfig& config);
// The current instance start (changes with ALTER SYSTEM RESTART INSTANCE).
std::chrono::system_clock::time_point InstanceStartTime(const SimConfig& config);

}  // namespace sim
