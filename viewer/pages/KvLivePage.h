// Common ground of the pages that query the database live: the row source,
// error reporting, grid set-up and the fill loop that grows a grid while
// fetching. Message boxes go through the viewer's dialogs (KvViewerDialogs.h).
#pragma once

#include <QColor>
#include <QString>

#include <memory>
#include <string>
#include <vector>

#include "KvPage.h"
#include "KvRowSource.h"

class EODBCError;
class TKvStringGrid;

// Colour values of the viewer: blue * 65536 + green * 256 + red.
QColor ColourValue(int value);

struct TKvColumnSpec {
    const char* Heading;
    int Width;
};

class TKvLivePage : public TKvPage {
public:
    TKvLivePage(TViewerContext& ctx, QWidget* parent);
    ~TKvLivePage() override;

    // Replaces qryODBC as the source of rows (tests, benchmark).
    void SetRowSource(std::shared_ptr<TKvRowSource> rows) { rows_ = std::move(rows); }

protected:
    TKvRowSource& Rows();
    void ShowError(const EODBCError& e);
    void ClearMessage();
    void SetMessage(const QString& text);
    int SortCol(int slot) const { return ctx_.Sort.SortCol[PageIndex()][slot]; }
    const std::string& SortDir(int slot) const { return ctx_.Sort.SortDir[PageIndex()][slot]; }

    // Headings in row 0, column widths and the row height.
    static void SetUpGrid(TKvStringGrid& grid, const std::vector<TKvColumnSpec>& columns,
                          int rowHeight);

private:
    std::shared_ptr<TKvRowSource> rows_;
};

// Fills data rows 1..n of a grid while rows are fetched. The grid grows in
// steps ahead of the rows (not one row per fetch) and gets its exact size
// at Finish; if the fetch fails, the rows already filled stay and the grid
// is never smaller than before.
class TKvGridFill {
public:
    explicit TKvGridFill(TKvStringGrid& grid);
    ~TKvGridFill();
    // Row number of the next row to fill (1-based), growing the grid.
    int NextRow();
    int Filled() const { return filled_; }
    // At least one row: exactly Filled() + 1 rows. No row: the grid is left
    // as it was, or cut to one empty data row when clearWhenEmpty.
    void Finish(bool clearWhenEmpty);

private:
    TKvStringGrid& grid_;
    int rowsBefore_;
    int filled_ = 0;
    bool finished_ = false;
};

// Empties a grid to its heading and one empty data row, current row 1.
void ClearToOneRow(TKvStringGrid& grid);
