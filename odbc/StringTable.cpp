// The grid interface's attachment bookkeeping and the in-memory grid.
#include "QueryImpl.h"

#include <algorithm>

namespace {
constexpr int kDefaultColWidth = 64;
constexpr int kPixelsPerByte = 7;
}  // namespace

TStringGridIntf::~TStringGridIntf() {
    // Components must not keep a dangling Grid.
    std::vector<TQueryODBC*> queries;
    queries.swap(attachedQueries_);
    for (TQueryODBC* q : queries)
        if (q->d->grid == this) q->d->grid = nullptr;
}

void TStringGridIntf::AttachQuery(TQueryODBC* q) {
    if (std::find(attachedQueries_.begin(), attachedQueries_.end(), q) == attachedQueries_.end())
        attachedQueries_.push_back(q);
}

void TStringGridIntf::DetachQuery(TQueryODBC* q) {
    attachedQueries_.erase(std::remove(attachedQueries_.begin(), attachedQueries_.end(), q),
                           attachedQueries_.end());
}

TStringTable::TStringTable(int fixedRows, int fixedCols, int cols, int rows)
    : fixedRows_(std::max(0, fixedRows)), fixedCols_(std::max(0, fixedCols)), cols_(std::max(0, cols)) {
    SetRowCount(rows);
    widths_.assign(static_cast<size_t>(cols_), kDefaultColWidth);
}

void TStringTable::SetRowCount(int rows) {
    cells_.resize(static_cast<size_t>(std::max(0, rows)),
                  std::vector<std::string>(static_cast<size_t>(cols_)));
}

void TStringTable::SetColCount(int cols) {
    cols_ = std::max(0, cols);
    for (auto& row : cells_) row.resize(static_cast<size_t>(cols_));
    widths_.resize(static_cast<size_t>(cols_), kDefaultColWidth);
}

std::string TStringTable::Cell(int col, int row) const {
    if (row < 0 || col < 0 || row >= RowCount() || col >= cols_) return std::string();
    return cells_[static_cast<size_t>(row)][static_cast<size_t>(col)];
}

void TStringTable::SetCell(int col, int row, const std::string& text) {
    if (row < 0 || col < 0 || row >= RowCount() || col >= cols_) return;
    cells_[static_cast<size_t>(row)][static_cast<size_t>(col)] = text;
}

int TStringTable::ColWidth(int col) const {
    if (col < 0 || col >= cols_) return 0;
    return widths_[static_cast<size_t>(col)];
}

void TStringTable::SetColWidth(int col, int width) {
    if (col < 0 || col >= cols_) return;
    widths_[static_cast<size_t>(col)] = width;
}

int TStringTable::TextWidth(const std::string& text) const {
    return static_cast<int>(text.size()) * kPixelsPerByte;
}

void TStringTable::Clear() {
    for (auto& row : cells_)
        for (auto& cell : row) cell.clear();
}
