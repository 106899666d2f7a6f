// The one string grid of both programs: a fixed heading row (row 0), an
// optional fixed first column, cells addressed as (col, row) including the
// fixed ones, owner-drawn by the shared rules (aqua current row, black text
// on white, right-aligned numbers). Backed by a table model so 100,000 rows
// scroll smoothly.
#pragma once

#include <QColor>
#include <QFontMetrics>
#include <QTableView>

class QPainter;

#include <functional>
#include <string>
#include <vector>

#include "ODBCCall.h"

class KvStringGridModel;

class TKvStringGrid : public QTableView, public TStringGridIntf {
    Q_OBJECT
public:
    TKvStringGrid(const QString& name, int fixedRows = 1, int fixedCols = 0,
                  QWidget* parent = nullptr);
    ~TKvStringGrid() override;

    // TStringGridIntf (rows and columns count the fixed ones too)
    int FixedRows() const override;
    int FixedCols() const override;
    int RowCount() const override;
    void SetRowCount(int rows) override;
    int ColCount() const override;
    void SetColCount(int cols) override;
    std::string Cell(int col, int row) const override;
    void SetCell(int col, int row, const std::string& text) override;
    int ColWidth(int col) const override;
    void SetColWidth(int col, int width) override;
    int TextWidth(const std::string& text) const override;
    void Repaint() override;

    QString CellText(int col, int row) const;
    void SetCellText(int col, int row, const QString& text);

    // Current row (the selected one, 1-based data rows; fixed rows excluded).
    int Row() const;
    void SetRow(int row);
    void SetDefaultRowHeight(int pixels);
    void SetRowSelect(bool wholeRow);   // false: single cells (grdTSN)
    // Empties every non-fixed cell (keeps the row count).
    void ClearData();

    // How a non-fixed cell is drawn: the view's DrawCell handler adjusts it.
    struct CellStyle {
        QColor Text = Qt::black;
        bool RightAlign = false;
    };
    std::function<void(int col, int row, CellStyle& style)> OnDrawCell;
    // Called before the current row moves to `row`; return false to refuse.
    // Only moves by the user (mouse, keys) call it; SetRow does not.
    std::function<bool(int col, int row)> OnSelectCell;
    // Mouse press (any button) position in grid pixels, for the sort popup.
    std::function<void(TKvStringGrid* grid, int x, int y)> OnMouseDown;
    // In the coordinates of the cells' viewport; a press on the heading row
    // counts too (its y is then negative).
    int MouseDownX() const { return mouseDownX_; }

    // Connects a view's named handlers: grid->ConnectDrawCell(this, &TPage::grdXDrawCell).
    template <class Owner>
    void ConnectDrawCell(const Owner* owner, void (Owner::*handler)(int col, int row, CellStyle& style) const) {
        OnDrawCell = [owner, handler](int col, int row, CellStyle& style) { (owner->*handler)(col, row, style); };
    }
    // A handler shared by several grids is told which one draws.
    template <class Owner>
    void ConnectDrawCell(const Owner* owner,
                         void (Owner::*handler)(const TKvStringGrid& grid, int col, int row, CellStyle& style) const) {
        OnDrawCell = [owner, handler, this](int col, int row, CellStyle& style) {
            (owner->*handler)(*this, col, row, style);
        };
    }
    template <class Owner>
    void ConnectSelectCell(Owner* owner, bool (Owner::*handler)(int col, int row)) {
        OnSelectCell = [owner, handler](int col, int row) { return (owner->*handler)(col, row); };
    }

    // Column under x (viewport coordinates) among the scrollable columns,
    // or -1 over the fixed columns and right of the last column.
    int ColumnAtX(int x) const;
    // Width of the fixed columns, which stay in place when the grid scrolls sideways.
    int FixedWidth() const;

    // Shared drawing helpers (the delegate uses them; so may custom painting).
    static QColor CurrentRowColor() { return QColor(0, 255, 255); }  // aqua
    // Text 2 px right of and below the cell's top-left corner, clipped.
    static void DrawLeftText(QPainter& painter, const QRect& cell, const QString& text);
    // Cell filled with background, text 2 px below the top ending exactly at
    // the right edge (no margin); the painter's pen gives the text colour.
    static void DrawRightText(QPainter& painter, const QRect& cell, const QString& text,
                              const QColor& background);
    // Baseline of a cell's text: 2 px below the top, lifted where the row is
    // lower than the font so that the text is not cut at the cell's bottom.
    static int TextBaseline(const QRect& cell, const QFontMetrics& metrics);
    // Grid row shown by a row of the view's model (the heading row is the header).
    int GridRowOfModelRow(int modelRow) const;
    // Sends pending change notices now (normally sent when the event loop runs).
    void FlushChanges();
    // Bytes of UTF-8 text the cells hold, and heap their storage keeps.
    size_t TextBytes() const;
    size_t StorageBytes() const;

    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    // Presses and context-menu requests on the heading row and on the fixed
    // columns count as the grid's own.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void updateGeometries() override;

public:
    // Typing letters does not jump to matching rows.
    void keyboardSearch(const QString&) override {}

private:
    friend class KvGridSelectionModel;
    bool AllowMove(const QModelIndex& to);
    void ApplyWidths();
    void RecordMouseDown(const QPoint& globalPos);
    // The fixed columns are drawn by a second view laid over the left edge.
    void BuildFixedColumnView();
    void SyncFixedColumnView();
    void PlaceFixedColumnView();

    KvStringGridModel* model_;
    QTableView* fixedView_ = nullptr;
    int mouseDownX_ = -1;
    bool settingRow_ = false;  // SetRow in progress: OnSelectCell not asked
    int defaultColWidth_ = 64;
    std::vector<int> widths_;
};
