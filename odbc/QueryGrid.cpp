// Loading a result set into a string grid, and the column list.
#include "GridFormat.h"
#include "QueryImpl.h"

#include <cstdio>

namespace {

void widenTo(TStringGridIntf& grid, int col, const std::string& text) {
    const int width = grid.TextWidth(text) + kGridColumnPadding;
    if (grid.ColWidth(col) < width) grid.SetColWidth(col, width);
}

// Headings, widths and the one empty row a load starts from; the display
// format of each column (empty: none).
std::vector<std::string> prepareGrid(const TQueryODBC::Impl& m, TStringGridIntf& grid) {
    const int fixedRows = grid.FixedRows();
    const int fixedCols = grid.FixedCols();
    grid.SetColCount(m.columnCount + fixedCols);
    std::vector<std::string> formats(static_cast<size_t>(m.columnCount));
    for (int n = 1; n <= m.columnCount; ++n) {
        const ColumnDesc& c = m.columns[static_cast<size_t>(n - 1)];
        if (!m.gridFormat.empty()) formats[static_cast<size_t>(n - 1)] = GridFormatFor(m.gridFormat, c.Name);
        if (m.gridColName && fixedRows > 0) {
            grid.SetCell(fixedCols + n - 1, fixedRows - 1, c.Name);
            if (m.gridColResize) grid.SetColWidth(fixedCols + n - 1, grid.TextWidth(c.Name) + kGridColumnPadding);
        }
    }
    grid.SetRowCount(fixedRows + 1);
    for (int col = 0; col < grid.ColCount(); ++col) grid.SetCell(col, fixedRows, std::string());
    return formats;
}

// Whether grid loading goes on after row i: the question every GridInterrupt
// rows, and GridMaxRows.
bool continueLoading(TQueryODBC& q, const TQueryODBC::Impl& m, TStringGridIntf* grid, int i) {
    bool cont = true;
    if (m.gridInterrupt > 0 && i % m.gridInterrupt == 0) {
        if (q.OnGridInterrupt) {
            q.OnGridInterrupt(&q, grid, i, cont);
        } else {
            char question[256];
            std::snprintf(question, sizeof question, kMsgGridContinue, i);
            cont = QueryUI().Confirm(question);
        }
    }
    if (m.gridMaxRows > 0 && i >= m.gridMaxRows) cont = false;
    return cont;
}

}  // namespace

void TQueryODBC::LoadGrid(TStringGridIntf* grid) {
    Impl& m = *d;
    {
        WaitScope wait(m);
        if (grid && m.canRead()) {
            const std::vector<std::string> formats = prepareGrid(m, *grid);
            const int fixedRows = grid->FixedRows();
            const int fixedCols = grid->FixedCols();
            const int columns = m.columnCount;
            const unsigned serial = m.statementSerial;
            std::string text;
            for (int i = 1;; ++i) {
                const SQLRETURN rc = m.fetchOne();
                if (rc == SQL_NO_DATA) {
                    m.endOfResult();
                    break;
                }
                if (rc != SQL_SUCCESS) {
                    if (rc != kFetchRefused) m.collectErrors(m.stmt.get());
                    break;
                }
                m.atBeginning = false;
                const int row = fixedRows + i - 1;
                grid->SetRowCount(fixedRows + i);
                if (m.gridRowNumber && fixedCols > 0) grid->SetCell(fixedCols - 1, row, std::to_string(i));

                bool failed = false;
                for (int n = 1; n <= columns; ++n) {
                    const ColumnDesc& c = m.columns[static_cast<size_t>(n - 1)];
                    bool isNull = false;
                    failed = !m.readColumnText(n, text, &isNull);
                    if (failed) break;
                    const std::string& format = formats[static_cast<size_t>(n - 1)];
                    if (!format.empty() && !isNull) text = FormatGridValue(text, format, c.SqlType, c.Numeric);
                    grid->SetCell(fixedCols + n - 1, row, text);
                    if (m.gridColResize) widenTo(*grid, fixedCols + n - 1, text);
                }
                if (failed) break;

                if (m.gridColResize && ((i <= kGridRefreshEarlyRows && m.gridRefresh) || i % kGridRefreshEvery == 0))
                    grid->Repaint();
                if (OnFetchData) OnFetchData(this, qoFetchGrid);
                // A handler may have freed the statement or run another one.
                if (!m.stmt || !m.executed || m.statementSerial != serial) break;
                if (!continueLoading(*this, m, grid, i)) {
                    m.freeByCursorState();
                    break;
                }
                if (!m.stmt || !m.executed || m.statementSerial != serial) break;
            }
        }
    }
    m.raisePending();
}

void TQueryODBC::ShowColumns(TStringGridIntf* grid) {
    const Impl& m = *d;
    if (!grid || !m.stmt || m.columnCount <= 0) return;
    const int fixedRows = grid->FixedRows();
    const int fixedCols = grid->FixedCols();
    grid->SetColCount(fixedCols + 3);
    grid->SetRowCount(m.columnCount + fixedRows);
    const int headRow = fixedRows - 1;
    if (fixedRows > 0) {
        grid->SetCell(fixedCols, headRow, kShowColName);
        grid->SetCell(fixedCols + 1, headRow, kShowColLength);
        grid->SetCell(fixedCols + 2, headRow, kShowColType);
    }
    for (int n = 1; n <= m.columnCount && static_cast<size_t>(n) <= m.columns.size(); ++n) {
        const ColumnDesc& c = m.columns[static_cast<size_t>(n - 1)];
        const int row = fixedRows + n - 1;
        grid->SetCell(fixedCols, row, c.Name);
        grid->SetCell(fixedCols + 1, row, std::to_string(c.BufferLength));
        grid->SetCell(fixedCols + 2, row, std::to_string(c.SqlType));
    }
}
