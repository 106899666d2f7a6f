// Table model behind TKvStringGrid: every cell of the grid, fixed ones
// included, addressed (col, row). The first fixed row is not a model row:
// it is the horizontal header. Further rows map one to one onto model rows.
#pragma once

#include <QAbstractTableModel>
#include <QString>

#include <string_view>

#include "KvCellStore.h"

class KvStringGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    KvStringGridModel(int fixedRows, int fixedCols, int cols, int rows, QObject* parent = nullptr);

    int FixedRows() const { return fixedRows_; }
    int FixedCols() const { return fixedCols_; }
    // Grid rows hidden in the header (1 with a heading row, else 0).
    int HeaderRows() const { return fixedRows_ > 0 ? 1 : 0; }
    int GridRowOf(int modelRow) const { return modelRow + HeaderRows(); }
    int ModelRowOf(int gridRow) const { return gridRow - HeaderRows(); }

    int GridRowCount() const { return store_.Rows(); }
    int GridColCount() const { return store_.Cols(); }
    void SetGridRowCount(int rows);
    void SetGridColCount(int cols);
    // Cells are held as UTF-8; the view stays valid until the next change.
    std::string_view CellBytes(int col, int row) const { return store_.Get(col, row); }
    QString Cell(int col, int row) const;
    // Text that is not valid UTF-8 (or starts with a byte order mark) is
    // stored as QString decodes it: invalid sequences become U+FFFD.
    void SetCell(int col, int row, std::string_view utf8);
    void SetCell(int col, int row, const QString& text);
    // Bytes of text held, and heap the cell storage keeps.
    size_t TextBytes() const { return store_.TextBytes(); }
    size_t StorageBytes() const { return store_.StorageBytes(); }
    // Empties every non-fixed cell.
    void ClearData();
    // Announces rows added since the last flush and sends the change
    // notices collected meanwhile.
    void FlushChanges();

    // QAbstractItemModel
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    void StoreCell(int col, int row, std::string_view utf8);
    void NoteChange(int col, int modelRow);
    void QueueFlush();

    int fixedRows_;
    int fixedCols_;
    KvCellStore store_;
    // Rows the views know of. A grid filled row by row grows far faster when
    // new rows are announced in one batch rather than one insert per row.
    int announcedRows_ = 0;
    // Pending dataChanged range (model coordinates); empty when minRow_ < 0.
    int minRow_ = -1, maxRow_ = -1, minCol_ = -1, maxCol_ = -1;
    bool flushQueued_ = false;
};
