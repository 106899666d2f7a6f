#include "ResultSet.h"

#include <stdexcept>

namespace kelvsim {

ResultSet::ResultSet(std::unique_ptr<sim::SimCursor> cursor) : Cursor(std::move(cursor)) {
    if (!Cursor) {
        Exhausted = true;
        return;
    }
    ColumnList = Cursor->Columns();
    Affected = Cursor->RowsAffected();
    if (ColumnList.empty())
        Exhausted = true;
}

ResultSet::ResultSet(std::vector<sim::SimColumn> columns, std::vector<Row> rows)
    : ColumnList(std::move(columns)), Rows(rows.begin(), rows.end()), Exhausted(true) {
    Affected = static_cast<long>(Rows.size());
}

std::optional<sim::SimError> ResultSet::FetchWarning() const {
    if (!Cursor)
        return std::nullopt;
    return Cursor->FetchWarning();
}

bool ResultSet::ReadOne() {
    if (Exhausted)
        return false;
    if (!Cursor->Next()) {
        Exhausted = true;
        return false;
    }
    Row row(ColumnList.size());
    for (size_t i = 0; i < ColumnList.size(); ++i)
        row[i] = Cursor->Value(i);
    Rows.push_back(std::move(row));
    return true;
}

bool ResultSet::HasRow(size_t index) {
    if (index < FirstKept)
        return false;
    while (index >= FirstKept + Rows.size())
        if (!ReadOne())
            return false;
    return true;
}

size_t ResultSet::CountAll() {
    while (ReadOne()) {
    }
    return FirstKept + Rows.size();
}

const Row& ResultSet::RowAt(size_t index) const {
    if (index < FirstKept || index >= FirstKept + Rows.size())
        throw std::out_of_range("row not buffered");
    return Rows[index - FirstKept];
}

void ResultSet::ForgetBefore(size_t index) {
    while (FirstKept < index && !Rows.empty()) {
        Rows.pop_front();
        ++FirstKept;
    }
}

}  // namespace kelvsim
