// Results of the instance: an SQLite statement read the Oracle way, or a
// fixed result for statements without rows.
#pragma once

#include "SimEngine.h"

#include <sqlite3.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sim {

// Shared with the session: a lost or killed session fails every later call.
struct SessionHealth {
    std::optional<SimError> Failure;
    void Check() const {
        if (Failure) throw *Failure;
    }
};

// Column descriptions from a prepared statement (first row stepped, if any).
std::vector<SimColumn> DescribeColumns(sqlite3_stmt* stmt, bool hasRow);
// The Oracle text of column i of the current row.
std::optional<std::string> OracleValue(sqlite3_stmt* stmt, int i);

class StatementCursor : public SimCursor {
public:
    // Takes ownership of a prepared and bound statement and steps it once,
    // unless it was stepped already (firstStepHadRow tells what that gave).
    // Numbers with a fraction are written with decimalCharacter.
    StatementCursor(sqlite3* db, sqlite3_stmt* stmt, std::shared_ptr<SessionHealth> health,
                    std::optional<SimError> fetchWarning, std::optional<bool> firstStepHadRow = std::nullopt,
                    char decimalCharacter = '.');
    ~StatementCursor() override;

    const std::vector<SimColumn>& Columns() const override { return columns_; }
    bool Next() override;
    std::optional<std::string> Value(size_t i) const override;
    long RowsAffected() const override { return rowsAffected_; }
    std::optional<SimError> FetchWarning() const override { return fetchWarning_; }

private:
    bool Step();

    sqlite3* db_;
    sqlite3_stmt* stmt_;
    std::shared_ptr<SessionHealth> health_;
    std::optional<SimError> fetchWarning_;
    std::vector<SimColumn> columns_;
    bool pendingRow_ = false;  // the row stepped in the constructor is not yet handed out
    bool onRow_ = false;
    bool done_ = false;
    long rowsAffected_ = 0;
    char decimalCharacter_ = '.';
};

// A result without rows (DDL, control statements) with a row count.
class EmptyCursor : public SimCursor {
public:
    explicit EmptyCursor(long rowsAffected) : rows_(rowsAffected) {}
    const std::vector<SimColumn>& Columns() const override { return columns_; }
    bool Next() override { return false; }
    std::optional<std::string> Value(size_t) const override { return std::nullopt; }
    long RowsAffected() const override { return rows_; }

private:
    std::vector<SimColumn> columns_;
    long rows_;
};

}  // namespace sim
