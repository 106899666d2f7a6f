#include "KvSortPopup.h"

#include <QAction>
#include <QMenu>

#include <algorithm>
#include <string>

#include "KvColumnWidth.h"
#include "KvStringGrid.h"

namespace {
// Grids whose rows are fixed hours: they can be widened but not sorted.
const char* const kHourGrids[] = {"grdSQLArea", "grdLibCache", "grdDicCache", "grdBlockBuf",
                                  "grdSortArea"};
// Date lists: sorted, never widened.
const char* const kDateGrids[] = {"grdMUDate", "grdDateKa"};
// Grids that sort by their first column whatever was clicked.
const char* const kWholeGridSort[] = {"grdDateKa", "grdSqlCnt"};
// Grids that "幅調整(&W)" widens.
const char* const kWidthGrids[] = {"grdDate", "grdTS", "grdParm", "grdLog", "grdExt", "grdSes",
                                   "grdSeg", "grdFet", "grdSQLArea", "grdLibCache", "grdDicCache",
                                   "grdBlockBuf", "grdSortArea", "grdLatch2"};

template <size_t N>
bool NamedIn(const TKvStringGrid* grid, const char* const (&names)[N]) {
    const QString name = grid->objectName();
    return std::any_of(std::begin(names), std::end(names), [&](const char* n) { return name == n; });
}
}  // namespace

TKvSortPopup::TKvSortPopup(TSortState& sort, std::function<int()> activePage,
                           std::function<void(bool)> loadPage, QWidget* parent)
    : QObject(parent), sort_(sort), activePage_(std::move(activePage)), loadPage_(std::move(loadPage)) {
    menu_ = new QMenu(parent);
    menu_->setObjectName("popMenu");
    asc_ = menu_->addAction("昇順(&A)");
    asc_->setObjectName("popAsc");
    des_ = menu_->addAction("降順(&D)");
    des_->setObjectName("popDes");
    menu_->addSeparator();
    wid_ = menu_->addAction("幅調整(&W)");
    wid_->setObjectName("popWid");
    connect(asc_, &QAction::triggered, this, &TKvSortPopup::popAscClick);
    connect(des_, &QAction::triggered, this, &TKvSortPopup::popDesClick);
    connect(wid_, &QAction::triggered, this, &TKvSortPopup::popWidClick);
}

void TKvSortPopup::Attach(TKvStringGrid* grid, int slot) {
    if (!grid) return;
    slots_.emplace_back(grid, slot);
    grid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(grid, &QWidget::customContextMenuRequested, this, &TKvSortPopup::OpenOnGrid);
}

void TKvSortPopup::OpenOnGrid(const QPoint& pos) {
    auto* grid = qobject_cast<TKvStringGrid*>(sender());
    if (!grid) return;
    popMenuPopup(grid);
    menu_->popup(grid->viewport()->mapToGlobal(pos));
}

void TKvSortPopup::popMenuPopup(TKvStringGrid* grid) {
    grid_ = grid;
    const bool hourGrid = NamedIn(grid, kHourGrids);
    const bool dateGrid = NamedIn(grid, kDateGrids);
    asc_->setEnabled(!hourGrid);
    des_->setEnabled(!hourGrid);
    wid_->setEnabled(!dateGrid);
}

int TKvSortPopup::SlotOf(const TKvStringGrid* grid) const {
    for (const auto& [g, slot] : slots_)
        if (g == grid) return slot;
    return 0;
}

int TKvSortPopup::GetMouseCol(const TKvStringGrid& grid) { return grid.ColumnAtX(grid.MouseDownX()); }

void TKvSortPopup::AdjustColWidth(TKvStringGrid& grid) { FitColumnWidth(grid, GetMouseCol(grid)); }

void TKvSortPopup::popAscClick() { Sort(""); }

void TKvSortPopup::popDesClick() { Sort("DESC"); }

void TKvSortPopup::Sort(const char* direction) {
    if (!grid_ || !asc_->isEnabled()) return;
    int col = 0, slot = 0;
    if (!NamedIn(grid_, kWholeGridSort)) {
        col = GetMouseCol(*grid_);
        slot = SlotOf(grid_);
    }
    if (col < 0) return;
    const int page = activePage_();
    if (page < 0 || page >= kPageCount) return;
    sort_.SortCol[page][slot] = col;
    sort_.SortDir[page][slot] = direction;
    // A choice on the second grid of a page reloads only that page's detail.
    loadPage_(slot == 1);
}

void TKvSortPopup::popWidClick() {
    if (grid_ && wid_->isEnabled() && NamedIn(grid_, kWidthGrids)) AdjustColWidth(*grid_);
}
