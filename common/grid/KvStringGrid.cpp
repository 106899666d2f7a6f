#include "KvStringGrid.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMouseEvent>
#include <QScrollBar>

#include <algorithm>

#include "KvGridDelegate.h"
#include "KvGridHeader.h"
#include "KvStringGridModel.h"

namespace {
constexpr int kInitialCols = 5;
constexpr int kInitialRows = 5;
constexpr int kDefaultColWidth = 64;
constexpr int kDefaultRowHeight = 18;
}  // namespace

// Lets the grid's owner refuse a move of the current cell before it happens.
class KvGridSelectionModel : public QItemSelectionModel {
public:
    KvGridSelectionModel(TKvStringGrid* grid, QAbstractItemModel* model)
        : QItemSelectionModel(model, grid), grid_(grid) {}
    void setCurrentIndex(const QModelIndex& index, QItemSelectionModel::SelectionFlags command) override {
        if (index.isValid() && index != currentIndex() && !grid_->AllowMove(index)) return;
        QItemSelectionModel::setCurrentIndex(index, command);
    }

private:
    TKvStringGrid* grid_;
};

TKvStringGrid::TKvStringGrid(const QString& name, int fixedRows, int fixedCols, QWidget* parent)
    : QTableView(parent),
      model_(new KvStringGridModel(fixedRows, fixedCols, kInitialCols, kInitialRows, this)),
      defaultColWidth_(kDefaultColWidth) {
    setObjectName(name);
    setModel(model_);
    QItemSelectionModel* defaultSelection = selectionModel();
    setSelectionModel(new KvGridSelectionModel(this, model_));
    delete defaultSelection;
    setItemDelegate(new KvGridDelegate(this));
    setHorizontalHeader(new KvGridHeader(this));

    // The current row is the highlight; Qt's own selection stays unused.
    setSelectionMode(QAbstractItemView::NoSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalScrollBar()->setTracking(true);

    QHeaderView* vh = verticalHeader();
    vh->hide();
    vh->setMinimumSectionSize(1);
    vh->setSectionResizeMode(QHeaderView::Fixed);  // uniform rows: 100,000 rows stay cheap
    QHeaderView* hh = horizontalHeader();
    hh->setSectionResizeMode(QHeaderView::Interactive);
    hh->setSectionsClickable(false);
    hh->setHighlightSections(false);
    hh->setMinimumSectionSize(1);
    hh->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    hh->setStretchLastSection(false);
    hh->setVisible(model_->HeaderRows() > 0);
    SetDefaultRowHeight(kDefaultRowHeight);

    widths_.assign(model_->GridColCount(), defaultColWidth_);
    ApplyWidths();
    connect(hh, &QHeaderView::sectionResized, this, [this](int col, int, int size) {
        if (col >= 0 && col < static_cast<int>(widths_.size())) widths_[col] = size;
    });
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this] { viewport()->update(); });
    // The heading row is the header widget: a press or a right-click there
    // belongs to the grid as much as one on a cell.
    hh->viewport()->installEventFilter(this);
    if (model_->FixedCols() > 0) BuildFixedColumnView();
}

void TKvStringGrid::BuildFixedColumnView() {
    fixedView_ = new QTableView(this);
    fixedView_->setObjectName(objectName() + "Fixed");
    fixedView_->setModel(model_);
    fixedView_->setSelectionModel(selectionModel());
    fixedView_->setItemDelegate(new KvGridDelegate(this));
    fixedView_->setHorizontalHeader(new KvGridHeader(fixedView_));
    fixedView_->setFocusPolicy(Qt::NoFocus);
    fixedView_->setFrameShape(QFrame::NoFrame);
    fixedView_->setSelectionMode(QAbstractItemView::NoSelection);
    fixedView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    fixedView_->setWordWrap(false);
    fixedView_->setCornerButtonEnabled(false);
    fixedView_->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    fixedView_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    fixedView_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QHeaderView* vh = fixedView_->verticalHeader();
    vh->hide();
    vh->setMinimumSectionSize(1);
    vh->setSectionResizeMode(QHeaderView::Fixed);
    QHeaderView* hh = fixedView_->horizontalHeader();
    hh->setSectionResizeMode(QHeaderView::Fixed);
    hh->setSectionsClickable(false);
    hh->setHighlightSections(false);
    hh->setMinimumSectionSize(1);
    hh->setDefaultAlignment(horizontalHeader()->defaultAlignment());
    hh->setHidden(horizontalHeader()->isHidden());
    viewport()->stackUnder(fixedView_);
    fixedView_->viewport()->installEventFilter(this);
    hh->viewport()->installEventFilter(this);
    // One vertical position for both views.
    connect(verticalScrollBar(), &QScrollBar::valueChanged, fixedView_->verticalScrollBar(), &QScrollBar::setValue);
    connect(fixedView_->verticalScrollBar(), &QScrollBar::valueChanged, verticalScrollBar(), &QScrollBar::setValue);
    connect(model_, &QAbstractItemModel::columnsInserted, this, [this] { SyncFixedColumnView(); });
    SyncFixedColumnView();
}

void TKvStringGrid::SyncFixedColumnView() {
    if (!fixedView_) return;
    for (int c = 0; c < ColCount(); ++c) {
        fixedView_->setColumnHidden(c, c >= FixedCols());
        if (c < FixedCols()) fixedView_->setColumnWidth(c, ColWidth(c));
    }
    fixedView_->verticalHeader()->setDefaultSectionSize(verticalHeader()->defaultSectionSize());
    fixedView_->horizontalHeader()->setFixedHeight(horizontalHeader()->height());
    PlaceFixedColumnView();
}

void TKvStringGrid::PlaceFixedColumnView() {
    if (!fixedView_) return;
    const int frame = frameWidth();
    const int headerHeight = horizontalHeader()->isHidden() ? 0 : horizontalHeader()->height();
    fixedView_->setGeometry(frame, frame, std::min(FixedWidth(), viewport()->width()),
                            headerHeight + viewport()->height());
}

void TKvStringGrid::resizeEvent(QResizeEvent* e) {
    QTableView::resizeEvent(e);
    PlaceFixedColumnView();
}

void TKvStringGrid::updateGeometries() {
    QTableView::updateGeometries();
    PlaceFixedColumnView();
}

void TKvStringGrid::scrollTo(const QModelIndex& index, ScrollHint hint) {
    const int sideways = horizontalScrollBar()->value();
    QTableView::scrollTo(index, hint);
    if (!fixedView_ || !index.isValid()) return;
    if (index.column() < FixedCols()) {
        horizontalScrollBar()->setValue(sideways);   // the fixed cells are always in view
        return;
    }
    // A column scrolled in under the fixed ones comes out from under them.
    const int covered = FixedWidth() - visualRect(index).left();
    if (covered > 0) horizontalScrollBar()->setValue(horizontalScrollBar()->value() - covered);
}

void TKvStringGrid::RecordMouseDown(const QPoint& globalPos) {
    const QPoint pos = viewport()->mapFromGlobal(globalPos);
    mouseDownX_ = pos.x();
    if (OnMouseDown) OnMouseDown(this, pos.x(), pos.y());
}

bool TKvStringGrid::eventFilter(QObject* watched, QEvent* event) {
    const bool heading = watched == horizontalHeader()->viewport();
    const bool fixed = fixedView_ && (watched == fixedView_->viewport() ||
                                      watched == fixedView_->horizontalHeader()->viewport());
    if (heading || fixed) {
        if (event->type() == QEvent::MouseButtonPress) {
            auto* e = static_cast<QMouseEvent*>(event);
            RecordMouseDown(e->globalPosition().toPoint());
            // The left button still drags column borders; the others only open menus.
            if (e->button() != Qt::LeftButton) return true;
        } else if (event->type() == QEvent::ContextMenu && contextMenuPolicy() == Qt::CustomContextMenu) {
            auto* e = static_cast<QContextMenuEvent*>(event);
            emit customContextMenuRequested(viewport()->mapFromGlobal(e->globalPos()));
            return true;
        }
    }
    return QTableView::eventFilter(watched, event);
}

TKvStringGrid::~TKvStringGrid() = default;

int TKvStringGrid::FixedRows() const { return model_->FixedRows(); }
int TKvStringGrid::FixedCols() const { return model_->FixedCols(); }
int TKvStringGrid::RowCount() const { return model_->GridRowCount(); }
int TKvStringGrid::ColCount() const { return model_->GridColCount(); }

void TKvStringGrid::SetRowCount(int rows) { model_->SetGridRowCount(rows); }

void TKvStringGrid::SetColCount(int cols) {
    model_->SetGridColCount(cols);
    widths_.resize(model_->GridColCount(), defaultColWidth_);
    ApplyWidths();
}

std::string TKvStringGrid::Cell(int col, int row) const { return std::string(model_->CellBytes(col, row)); }

void TKvStringGrid::SetCell(int col, int row, const std::string& text) {
    model_->SetCell(col, row, std::string_view(text));
}

QString TKvStringGrid::CellText(int col, int row) const { return model_->Cell(col, row); }
void TKvStringGrid::SetCellText(int col, int row, const QString& text) { model_->SetCell(col, row, text); }

int TKvStringGrid::ColWidth(int col) const {
    if (col < 0 || col >= static_cast<int>(widths_.size())) return 0;
    return widths_[col];
}

void TKvStringGrid::SetColWidth(int col, int width) {
    if (col < 0 || col >= static_cast<int>(widths_.size())) return;
    widths_[col] = std::max(0, width);
    horizontalHeader()->resizeSection(col, widths_[col]);
    if (col < FixedCols()) SyncFixedColumnView();
}

void TKvStringGrid::ApplyWidths() {
    for (int c = 0; c < static_cast<int>(widths_.size()); ++c) horizontalHeader()->resizeSection(c, widths_[c]);
    SyncFixedColumnView();
}

int TKvStringGrid::TextWidth(const std::string& text) const {
    return fontMetrics().horizontalAdvance(QString::fromStdString(text));
}

void TKvStringGrid::Repaint() {
    model_->FlushChanges();
    viewport()->update();
}

void TKvStringGrid::FlushChanges() { model_->FlushChanges(); }

size_t TKvStringGrid::TextBytes() const { return model_->TextBytes(); }
size_t TKvStringGrid::StorageBytes() const { return model_->StorageBytes(); }

int TKvStringGrid::GridRowOfModelRow(int modelRow) const { return model_->GridRowOf(modelRow); }

int TKvStringGrid::Row() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? model_->GridRowOf(current.row()) : FixedRows();
}

void TKvStringGrid::SetRow(int row) {
    if (row < FixedRows() || row >= RowCount()) return;
    model_->FlushChanges();  // the row may not be announced to the view yet
    const QModelIndex current = currentIndex();
    int col = current.isValid() ? current.column() : FixedCols();
    col = std::min(std::max(col, FixedCols()), ColCount() - 1);
    if (col < 0) return;
    const QModelIndex target = model_->index(model_->ModelRowOf(row), col);
    settingRow_ = true;
    selectionModel()->setCurrentIndex(target, QItemSelectionModel::NoUpdate);
    settingRow_ = false;
    scrollTo(target);
    viewport()->update();
}

void TKvStringGrid::SetDefaultRowHeight(int pixels) {
    pixels = std::max(1, pixels);
    verticalHeader()->setDefaultSectionSize(pixels);
    horizontalHeader()->setFixedHeight(pixels + 1);
    SyncFixedColumnView();
}

void TKvStringGrid::SetRowSelect(bool wholeRow) {
    setSelectionBehavior(wholeRow ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
}

void TKvStringGrid::ClearData() { model_->ClearData(); }

int TKvStringGrid::ColumnAtX(int x) const {
    if (x < FixedWidth()) return -1;
    const int col = columnAt(x);
    return col < FixedCols() ? -1 : col;
}

int TKvStringGrid::FixedWidth() const {
    int width = 0;
    for (int c = 0; c < FixedCols() && c < ColCount(); ++c) width += ColWidth(c);
    return width;
}

bool TKvStringGrid::AllowMove(const QModelIndex& to) {
    if (settingRow_) return true;
    const int col = to.column();
    const int row = model_->GridRowOf(to.row());
    if (col < FixedCols() || row < FixedRows()) return false;  // fixed cells are never current
    return OnSelectCell ? OnSelectCell(col, row) : true;
}

void TKvStringGrid::mousePressEvent(QMouseEvent* e) {
    RecordMouseDown(e->globalPosition().toPoint());
    // Only the left button moves the current row; the right one opens menus.
    if (e->button() == Qt::LeftButton)
        QTableView::mousePressEvent(e);
    else
        e->accept();
}

void TKvStringGrid::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton)
        QTableView::mouseDoubleClickEvent(e);
    else
        e->accept();
}
