#include "KvStringGridModel.h"

#include <QMetaObject>

#include <algorithm>

KvStringGridModel::KvStringGridModel(int fixedRows, int fixedCols, int cols, int rows, QObject* parent)
    : QAbstractTableModel(parent),
      fixedRows_(std::max(0, fixedRows)),
      fixedCols_(std::max(0, fixedCols)),
      cols_(std::max(cols, fixedCols_)) {
    cells_.assign(std::max(rows, fixedRows_), std::vector<QString>(cols_));
    announcedRows_ = GridRowCount() - HeaderRows();
}

void KvStringGridModel::SetGridRowCount(int rows) {
    rows = std::max(rows, fixedRows_);
    const int old = GridRowCount();
    if (rows == old) return;
    if (rows > old) {
        cells_.resize(rows, std::vector<QString>(cols_));
        QueueFlush();
        return;
    }
    FlushChanges();
    const int modelRows = rows - HeaderRows();
    if (modelRows < announcedRows_) {
        beginRemoveRows(QModelIndex(), modelRows, announcedRows_ - 1);
        cells_.resize(rows);
        announcedRows_ = modelRows;
        endRemoveRows();
    } else {
        cells_.resize(rows);
    }
}

void KvStringGridModel::SetGridColCount(int cols) {
    cols = std::max(cols, fixedCols_);
    if (cols == cols_) return;
    FlushChanges();
    if (cols > cols_) {
        beginInsertColumns(QModelIndex(), cols_, cols - 1);
        cols_ = cols;
        for (auto& r : cells_) r.resize(cols_);
        endInsertColumns();
    } else {
        beginRemoveColumns(QModelIndex(), cols, cols_ - 1);
        cols_ = cols;
        for (auto& r : cells_) r.resize(cols_);
        endRemoveColumns();
    }
}

QString KvStringGridModel::Cell(int col, int row) const {
    if (col < 0 || col >= cols_ || row < 0 || row >= GridRowCount()) return {};
    return cells_[row][col];
}

void KvStringGridModel::SetCell(int col, int row, const QString& text) {
    if (col < 0 || col >= cols_ || row < 0 || row >= GridRowCount()) return;
    QString& cell = cells_[row][col];
    if (cell == text) return;
    cell = text;
    if (row < HeaderRows())
        emit headerDataChanged(Qt::Horizontal, col, col);
    else
        NoteChange(col, ModelRowOf(row));
}

void KvStringGridModel::ClearData() {
    bool any = false;
    for (int r = fixedRows_; r < GridRowCount(); ++r)
        for (int c = fixedCols_; c < cols_; ++c)
            if (!cells_[r][c].isEmpty()) {
                cells_[r][c].clear();
                any = true;
            }
    if (any && fixedRows_ < GridRowCount() && fixedCols_ < cols_) {
        NoteChange(fixedCols_, ModelRowOf(fixedRows_));
        NoteChange(cols_ - 1, ModelRowOf(GridRowCount() - 1));
    }
}

// Loading 100,000 rows cell by cell must not send 100,000 notices: changes
// are gathered into one rectangle and announced once the event loop runs
// (or at the next structural change / explicit flush).
void KvStringGridModel::NoteChange(int col, int modelRow) {
    if (minRow_ < 0) {
        minRow_ = maxRow_ = modelRow;
        minCol_ = maxCol_ = col;
    } else {
        minRow_ = std::min(minRow_, modelRow);
        maxRow_ = std::max(maxRow_, modelRow);
        minCol_ = std::min(minCol_, col);
        maxCol_ = std::max(maxCol_, col);
    }
    QueueFlush();
}

void KvStringGridModel::QueueFlush() {
    if (flushQueued_) return;
    flushQueued_ = true;
    QMetaObject::invokeMethod(this, [this] { FlushChanges(); }, Qt::QueuedConnection);
}

void KvStringGridModel::FlushChanges() {
    flushQueued_ = false;
    const int storedRows = GridRowCount() - HeaderRows();
    if (storedRows > announcedRows_) {
        beginInsertRows(QModelIndex(), announcedRows_, storedRows - 1);
        announcedRows_ = storedRows;
        endInsertRows();
    }
    if (minRow_ < 0) return;
    const int rows = rowCount();
    const int r0 = minRow_, r1 = std::min(maxRow_, rows - 1);
    const int c0 = minCol_, c1 = std::min(maxCol_, cols_ - 1);
    minRow_ = maxRow_ = minCol_ = maxCol_ = -1;
    if (r0 <= r1 && c0 <= c1) emit dataChanged(index(r0, c0), index(r1, c1), {Qt::DisplayRole});
}

int KvStringGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : announcedRows_;
}

int KvStringGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : cols_;
}

QVariant KvStringGridModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    if (role == Qt::DisplayRole)
        return cells_[GridRowOf(index.row())][index.column()];
    return {};
}

QVariant KvStringGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= cols_ || HeaderRows() == 0) return {};
        return cells_[0][section];
    }
    if (section < 0 || section >= rowCount()) return {};
    return QString::number(GridRowOf(section));
}

Qt::ItemFlags KvStringGridModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;  // never editable
}
