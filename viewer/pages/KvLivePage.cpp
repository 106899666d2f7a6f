#include "KvLivePage.h"

#include <algorithm>

#include "KvStringGrid.h"
#include "ODBCCall.h"

QColor ColourValue(int value) {
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

TKvLivePage::TKvLivePage(TViewerContext& ctx, QWidget* parent) : TKvPage(ctx, parent) {}

TKvLivePage::~TKvLivePage() = default;

TKvRowSource& TKvLivePage::Rows() {
    if (!rows_) rows_ = std::make_shared<TKvQueryRows>(*ctx_.Query);
    return *rows_;
}

void TKvLivePage::ShowError(const EODBCError& e) { ctx_.ReportODBCError(e.SQLState, e.ErrorMessage); }

void TKvLivePage::ClearMessage() { SetMessage(QString()); }

void TKvLivePage::SetMessage(const QString& text) {
    if (ctx_.SetMessage) ctx_.SetMessage(text);
}

void TKvLivePage::SetUpGrid(TKvStringGrid& grid, const std::vector<TKvColumnSpec>& columns,
                            int rowHeight) {
    grid.SetColCount(static_cast<int>(columns.size()));
    for (size_t c = 0; c < columns.size(); ++c) {
        grid.SetCell(static_cast<int>(c), 0, columns[c].Heading);  // the grid keeps UTF-8
        grid.SetColWidth(static_cast<int>(c), columns[c].Width);
    }
    grid.SetDefaultRowHeight(rowHeight);
}

namespace {
constexpr int kFirstGrowth = 64;   // rows added at the first growth; then doubled
}

TKvGridFill::TKvGridFill(TKvStringGrid& grid) : grid_(grid), rowsBefore_(grid.RowCount()) {}

TKvGridFill::~TKvGridFill() {
    // Left by an exception: keep the filled rows, never shrink below the old size.
    if (!finished_) grid_.SetRowCount(std::max(rowsBefore_, filled_ + 1));
}

int TKvGridFill::NextRow() {
    const int row = ++filled_;
    if (grid_.RowCount() < row + 1)
        grid_.SetRowCount(std::max(row + 1, std::max(kFirstGrowth, grid_.RowCount() * 2)));
    return row;
}

void TKvGridFill::Finish(bool clearWhenEmpty) {
    finished_ = true;
    if (filled_ > 0) grid_.SetRowCount(filled_ + 1);
    else if (clearWhenEmpty) ClearToOneRow(grid_);
    else grid_.SetRowCount(rowsBefore_);
}

void ClearToOneRow(TKvStringGrid& grid) {
    grid.SetRowCount(2);
    grid.ClearData();
    grid.SetRow(1);
}
