// What the user does with the mouse on a grid of the viewer: a left click
// on a data row, a right click on a cell or on a column's heading, and a
// click on an item of the popup menu that the right click opened. The
// events go to the grid's viewport and header as the window system sends
// them: QTest delivers the right button's press and release, and the
// context-menu event that follows them is sent here as the window would.
#pragma once

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QAbstractButton>
#include <QMenu>
#include <QTabBar>
#include <QTest>

#include "KvStringGrid.h"

namespace gridclicks {

inline void RightClick(QWidget* widget, const QPoint& pos) {
    QTest::mouseClick(widget, Qt::RightButton, {}, pos);
    QContextMenuEvent menu(QContextMenuEvent::Mouse, pos, widget->mapToGlobal(pos));
    QApplication::sendEvent(widget, &menu);
    QApplication::processEvents();
}

// Scrolls a data row into view and returns the middle of its cell in col
// (the first scrollable column when col is -1), in viewport coordinates.
inline QPoint CellCentre(TKvStringGrid& grid, int row, int col = -1) {
    grid.FlushChanges();
    if (col < 0) col = grid.FixedCols();
    const QModelIndex index = grid.model()->index(row - grid.FixedRows(), col);
    grid.scrollTo(index);
    return grid.visualRect(index).center();
}

inline void ClickRow(TKvStringGrid& grid, int row, int col = -1) {
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, CellCentre(grid, row, col));
    QApplication::processEvents();
}

// Right click at x (viewport coordinates) on the first data row.
inline void RightClickCells(TKvStringGrid& grid, int x) {
    grid.FlushChanges();
    const int y = grid.rowViewportPosition(0) + grid.rowHeight(0) / 2;
    RightClick(grid.viewport(), QPoint(x, y));
}

// Right click at x (viewport coordinates) on the heading row.
inline void RightClickHeading(TKvStringGrid& grid, int x) {
    QHeaderView* header = grid.horizontalHeader();
    RightClick(header->viewport(), QPoint(x, header->height() / 2));
}

// The middle of a column's heading, in viewport coordinates.
inline int HeadingX(TKvStringGrid& grid, int col) {
    return grid.columnViewportPosition(col) + grid.columnWidth(col) / 2;
}

// Clicks an item of an open popup menu; false when the menu is not open or
// the item is disabled.
inline bool ChooseFromMenu(QMenu* menu, QAction* item) {
    if (!menu->isVisible() || !item->isEnabled()) {
        menu->hide();
        return false;
    }
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
    QApplication::processEvents();
    return true;
}

// Clicks the button with that caption among root's children.
inline bool ClickButton(QWidget* root, const QString& caption) {
    for (QAbstractButton* button : root->findChildren<QAbstractButton*>())
        if (button->text() == caption && button->isVisible()) {
            QTest::mouseClick(button, Qt::LeftButton);
            QApplication::processEvents();
            return true;
        }
    return false;
}

// Clicks a tab of a tab bar.
inline void ClickTab(QTabBar* tabs, int index) {
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(index).center());
    QApplication::processEvents();
}

}  // namespace gridclicks
