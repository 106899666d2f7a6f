#include "KvStringGridModel.h"

#include <QMetaObject>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

// Strict UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF):
// what QString would decode without a replacement character.
bool IsValidUtf8(std::string_view text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    // Plain ASCII, the usual case, eight bytes at a time.
    constexpr uint64_t kHighBits = 0x8080808080808080ull;
    while (end - p >= 8) {
        uint64_t word;
        std::memcpy(&word, p, sizeof word);
        if (word & kHighBits) break;
        p += 8;
    }
    while (p < end) {
        const unsigned char b = *p;
        if (b < 0x80) {
            ++p;
            continue;
        }
        int more;
        unsigned lo = 0x80, hi = 0xBF;
        if (b >= 0xC2 && b <= 0xDF) more = 1;
        else if (b == 0xE0) { more = 2; lo = 0xA0; }
        else if (b == 0xED) { more = 2; hi = 0x9F; }
        else if (b >= 0xE1 && b <= 0xEF) more = 2;
        else if (b == 0xF0) { more = 3; lo = 0x90; }
        else if (b == 0xF4) { more = 3; hi = 0x8F; }
        else if (b >= 0xF1 && b <= 0xF3) more = 3;
        else return false;
        if (end - p <= more) return false;
        if (p[1] < lo || p[1] > hi) return false;
        for (int i = 2; i <= more; ++i)
            if (p[i] < 0x80 || p[i] > 0xBF) return false;
        p += more + 1;
    }
    return true;
}

}  // namespace

KvStringGridModel::KvStringGridModel(int fixedRows, int fixedCols, int cols, int rows, QObject* parent)
    : QAbstractTableModel(parent),
      fixedRows_(std::max(0, fixedRows)),
      fixedCols_(std::max(0, fixedCols)),
      store_(std::max(cols, fixedCols_), std::max(rows, fixedRows_)) {
    announcedRows_ = GridRowCount() - HeaderRows();
}

void KvStringGridModel::SetGridRowCount(int rows) {
    rows = std::max(rows, fixedRows_);
    const int old = GridRowCount();
    if (rows == old) return;
    if (rows > old) {
        store_.SetRows(rows);
        QueueFlush();
        return;
    }
    FlushChanges();
    const int modelRows = rows - HeaderRows();
    if (modelRows < announcedRows_) {
        beginRemoveRows(QModelIndex(), modelRows, announcedRows_ - 1);
        store_.SetRows(rows);
        announcedRows_ = modelRows;
        endRemoveRows();
    } else {
        store_.SetRows(rows);
    }
}

void KvStringGridModel::SetGridColCount(int cols) {
    cols = std::max(cols, fixedCols_);
    const int old = GridColCount();
    if (cols == old) return;
    FlushChanges();
    if (cols > old) {
        beginInsertColumns(QModelIndex(), old, cols - 1);
        store_.SetCols(cols);
        endInsertColumns();
    } else {
        beginRemoveColumns(QModelIndex(), cols, old - 1);
        store_.SetCols(cols);
        endRemoveColumns();
    }
}

QString KvStringGridModel::Cell(int col, int row) const {
    const std::string_view bytes = store_.Get(col, row);
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

void KvStringGridModel::SetCell(int col, int row, std::string_view utf8) {
    // QString drops a leading byte order mark: so does the grid.
    const bool byteOrderMark = utf8.size() >= 3 && utf8.compare(0, 3, "\xef\xbb\xbf") == 0;
    if (!byteOrderMark && IsValidUtf8(utf8)) {
        StoreCell(col, row, utf8);
        return;
    }
    const QByteArray decoded = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())).toUtf8();
    StoreCell(col, row, std::string_view(decoded.constData(), static_cast<size_t>(decoded.size())));
}

void KvStringGridModel::SetCell(int col, int row, const QString& text) {
    if (text.isEmpty()) {
        StoreCell(col, row, {});
        return;
    }
    const QByteArray utf8 = text.toUtf8();
    StoreCell(col, row, std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
}

void KvStringGridModel::StoreCell(int col, int row, std::string_view utf8) {
    if (!store_.Set(col, row, utf8)) return;
    if (row < HeaderRows())
        emit headerDataChanged(Qt::Horizontal, col, col);
    else
        NoteChange(col, ModelRowOf(row));
}

void KvStringGridModel::ClearData() {
    const bool any = store_.Clear(fixedCols_, fixedRows_);
    const int cols = GridColCount();
    if (any && fixedRows_ < GridRowCount() && fixedCols_ < cols) {
        NoteChange(fixedCols_, ModelRowOf(fixedRows_));
        NoteChange(cols - 1, ModelRowOf(GridRowCount() - 1));
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
    const int c0 = minCol_, c1 = std::min(maxCol_, GridColCount() - 1);
    minRow_ = maxRow_ = minCol_ = maxCol_ = -1;
    if (r0 <= r1 && c0 <= c1) emit dataChanged(index(r0, c0), index(r1, c1), {Qt::DisplayRole});
}

int KvStringGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : announcedRows_;
}

int KvStringGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : GridColCount();
}

QVariant KvStringGridModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    // Only cells being drawn come here: the one place text becomes a QString.
    if (role == Qt::DisplayRole) return Cell(index.column(), GridRowOf(index.row()));
    return {};
}

QVariant KvStringGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= GridColCount() || HeaderRows() == 0) return {};
        return Cell(section, 0);
    }
    if (section < 0 || section >= rowCount()) return {};
    return QString::number(GridRowOf(section));
}

Qt::ItemFlags KvStringGridModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;  // never editable
}
