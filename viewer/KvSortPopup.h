// The popup menu shared by the viewer's list grids: sort ascending or
// descending by the clicked column (the database sorts: the page's SQL gets
// a matching ORDER BY and the page reloads) and fit the column's width.
#pragma once

#include <QObject>

#include <functional>
#include <vector>

#include "KvPage.h"

class QAction;
class QPoint;
class QMenu;
class QWidget;
class TKvStringGrid;

class TKvSortPopup : public QObject {
public:
    // activePage: index of the active main page; loadPage: prcLoadPage.
    TKvSortPopup(TSortState& sort, std::function<int()> activePage,
                 std::function<void(bool detailOnly)> loadPage, QWidget* parent);

    // Hooks the popup onto a grid of a page: a right-click on its cells or
    // on its heading row opens it for the column under the mouse.
    void Attach(TKvStringGrid* grid, int slot);

    // Remembers the grid the popup opens on and enables the items for it.
    void popMenuPopup(TKvStringGrid* grid);
    void popAscClick();
    void popDesClick();
    void popWidClick();

    // Column under the grid's last mouse press among its scrollable columns, or -1.
    static int GetMouseCol(const TKvStringGrid& grid);
    static void AdjustColWidth(TKvStringGrid& grid);

    QMenu* popMenu() const { return menu_; }
    QAction* popAsc() const { return asc_; }
    QAction* popDes() const { return des_; }
    QAction* popWid() const { return wid_; }

private:
    // customContextMenuRequested of an attached grid (pos in its viewport).
    void OpenOnGrid(const QPoint& pos);
    void Sort(const char* direction);
    int SlotOf(const TKvStringGrid* grid) const;

    TSortState& sort_;
    std::function<int()> activePage_;
    std::function<void(bool)> loadPage_;
    QMenu* menu_;
    QAction* asc_;
    QAction* des_;
    QAction* wid_;
    TKvStringGrid* grid_ = nullptr;
    std::vector<std::pair<TKvStringGrid*, int>> slots_;
};
