// Loading a result set into a string grid, and the column list.
#include "GridFormat.h"
#include "QueryImpl.h"

#include <cstdio>

namespace {

void widenTo(TStringGridIntf& grid, int col, const std::string& text) {
    const int width = grid.TextWidth(text) + kGridColumnPadding;
    if (grid.ColWidth(col) < width) grid.SetColWidth(col, width);
}

}  // namespace

void TQueryODBC::LoadGrid(TStringGridIntf* grid) {
    Impl& m = *d;
    {
        WaitScope wait(m);
        if (!grid || !m.stmt || !m.executed || m.columnCount <= 0 || m.textBuf.empty()) {
            // nothing to load
        } else {
            const int fixedRows = grid->FixedRows();
            const int fixedCols = grid->FixedCols();
            grid->SetColCount(m.columnCount + fixedCols);

            std::vector<std::string> formats(static_cast<size_t>(m.columnCount));
            for (int n = 1; n <= m.columnCount; ++n) {
                const ColumnDesc& c = m.columns[static_cast<size_t>(n - 1)];
                if (!m.gridFormat.empty()) formats[static_cast<size_t>(n - 1)] = GridFormatFor(m.gridFormat, c.Name);
                if (m.gridColName && fixedRows > 0) {
                    grid->SetCell(fixedCols + n - 1, fixedRows - 1, c.Name);
                    if (m.gridColResize)
                        grid->SetColWidth(fixedCols + n - 1, grid->TextWidth(c.Name) + kGridColumnPadding);
                }
            }
            grid->SetRowCount(fixedRows + 1);
            for (int col = 0; col < grid->ColCount(); ++col) grid->SetCell(col, fixedRows, std::string());

            SQLHSTMT h = m.stmt.get();
            char* buf = m.textBuf.data();
            const SQLLEN bufLen = static_cast<SQLLEN>(m.textBuf.size());
            std::string text;
            for (int i = 1;; ++i) {
                SQLRETURN rc = m.fetchOne();
                if (rc == SQL_NO_DATA) {
                    m.atEnd = true;
                    m.freeByCursorState();
                    break;
                }
                if (rc != SQL_SUCCESS) {
                    m.collectErrors(h);
                    break;
                }
                m.atBeginning = false;
                const int row = fixedRows + i - 1;
                grid->SetRowCount(fixedRows + i);
                if (m.gridRowNumber && fixedCols > 0) grid->SetCell(fixedCols - 1, row, std::to_string(i));

                bool failed = false;
                for (int n = 1; n <= m.columnCount; ++n) {
                    SQLLEN indicator = 0;
                    rc = m.call("GetData", [&] {
                        return SQLGetData(h, static_cast<SQLUSMALLINT>(n), SQL_C_CHAR, buf, bufLen, &indicator);
                    });
                    if (rc == SQL_ERROR || rc == SQL_INVALID_HANDLE) {
                        m.collectErrors(h);
                        failed = true;
                        break;
                    }
                    const ColumnDesc& c = m.columns[static_cast<size_t>(n - 1)];
                    if (rc == SQL_NO_DATA) {
                        text.clear();
                    } else if (indicator == SQL_NULL_DATA) {
                        text = m.nullStrings;
                    } else {
                        SQLLEN len = indicator;
                        if (len == SQL_NO_TOTAL || len > bufLen - 1) len = bufLen - 1;
                        if (len < 0) len = 0;
                        text.assign(buf, static_cast<size_t>(len));
                        const std::string& format = formats[static_cast<size_t>(n - 1)];
                        if (!format.empty()) text = FormatGridValue(text, format, c.SqlType, c.Numeric);
                    }
                    grid->SetCell(fixedCols + n - 1, row, text);
                    if (m.gridColResize) widenTo(*grid, fixedCols + n - 1, text);
                }
                if (failed) break;

                if (m.gridColResize && ((i <= kGridRefreshEarlyRows && m.gridRefresh) || i % kGridRefreshEvery == 0))
                    grid->Repaint();
                if (OnFetchData) OnFetchData(this, qoFetchGrid);

                bool cont = true;
                if (m.gridInterrupt > 0 && i % m.gridInterrupt == 0) {
                    if (OnGridInterrupt) {
                        OnGridInterrupt(this, grid, i, cont);
                    } else {
                        char question[256];
                        std::snprintf(question, sizeof question, kMsgGridContinue, i);
                        cont = QueryUI().Confirm(question);
                    }
                }
                if (m.gridMaxRows > 0 && i >= m.gridMaxRows) cont = false;
                if (!cont) {
                    m.freeByCursorState();
                    break;
                }
                // The statement may have gone with an event handler.
                if (!m.stmt) break;
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
