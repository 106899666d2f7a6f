// The popup menu shared by the viewer's list grids: sort ascending or
// descending by the clicked column (the database sorts: the page's SQL gets
// a matching ORDER BY and the page reloads) and fit the column's width.
#pragma once

#include <QObject>

#include <functional>

#include "KvPage.h"

class QAction;
class QMenu;
class QWidget;
class TKvStringGrid;

class TKvSortPopup : public QObject {
public:
    // activePage: index of the active main page; loadPage: prcLoadPage.
    TKvSortPopup(TSortState& sort, std::function<int()> activePage,
                 std::function<void(bool detailOnly)> loadPage, QWidget* parent);

    // Hooks the popup and the mouse-position recording onto a grid of a page.
    void Attach(TKvStringGrid* grid, int slot);

    // popMenuPopup: remembers the grid and enables the items for it.
    void Prepare(TKvStringGrid* grid);
    void popAscClick() { Sort(""); }
    void popDesClick() { Sort("DESC"); }
    void popWidClick();

    // Column under the grid's last mouse press among its scrollable columns, or -1.
    static int GetMouseCol(const TKvStringGrid& grid);
    static void AdjustColWidth(TKvStringGrid& grid);

    QMenu* popMenu() const { return menu_; }
    QAction* popAsc() const { return asc_; }
    QAction* popDes() const { return des_; }
    QAction* popWid() const { return wid_; }

private:
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
