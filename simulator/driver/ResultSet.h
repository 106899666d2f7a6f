// An open result: rows read from the engine's cursor on demand and kept,
// so that scrolling (first, last, prior, absolute) is cheap.
#pragma once

#include "SimEngine.h"

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kelvsim {

using Row = std::vector<std::optional<std::string>>;

class ResultSet {
public:
    // Over an engine cursor (rows are read lazily).
    explicit ResultSet(std::unique_ptr<sim::SimCursor> cursor);
    // A result built by the driver itself (catalog functions).
    ResultSet(std::vector<sim::SimColumn> columns, std::vector<Row> rows);

    const std::vector<sim::SimColumn>& Columns() const { return ColumnList; }
    // The warning each fetch of this result reports, if the instance set one.
    std::optional<sim::SimError> FetchWarning() const;
    long RowsAffected() const { return Affected; }

    // True when the row with this 0-based index exists (reads up to it).
    bool HasRow(size_t index);
    // Reads every remaining row; returns the total number of rows.
    size_t CountAll();
    const Row& RowAt(size_t index) const;
    // Forward-only cursors forget the rows before index to bound memory.
    void ForgetBefore(size_t index);

private:
    bool ReadOne();

    std::unique_ptr<sim::SimCursor> Cursor;
    std::vector<sim::SimColumn> ColumnList;
    std::deque<Row> Rows;
    size_t FirstKept = 0;  // index of Rows.front()
    bool Exhausted = false;
    long Affected = -1;
};

}  // namespace kelvsim
