// The shared string grid: cell addressing, model consistency, current row
// and its veto, widths, and the drawing rules measured on rendered pixels.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QPainter>
#include <QTest>

#include "KvStringGrid.h"

namespace {

const QColor kAqua(0, 255, 255);

void Settle() {
    QApplication::processEvents();
    QApplication::processEvents();
}

TEST(StringGrid, CellsAreAddressedColRowIncludingFixedOnes) {
    TKvStringGrid grid("grdTest", 1, 1);
    grid.SetColCount(3);
    grid.SetRowCount(4);
    grid.SetCell(0, 0, "時間帯");
    grid.SetCell(1, 0, "Hit(%)");
    grid.SetCell(0, 2, "   1:00～59");
    grid.SetCell(2, 3, "99.5");
    EXPECT_EQ(grid.Cell(0, 0), "時間帯");
    EXPECT_EQ(grid.Cell(0, 2), "   1:00～59");
    EXPECT_EQ(grid.Cell(2, 3), "99.5");
    EXPECT_EQ(grid.CellText(1, 0), QString("Hit(%)"));
    // Row 0 is the heading shown by the header; the model holds data rows only.
    grid.FlushChanges();
    EXPECT_EQ(grid.model()->rowCount(), 3);
    EXPECT_EQ(grid.model()->headerData(1, Qt::Horizontal).toString(), QString("Hit(%)"));
    EXPECT_EQ(grid.model()->index(2, 2).data().toString(), QString("99.5"));
    // Outside the grid: empty, and writes are ignored rather than crashing.
    EXPECT_EQ(grid.Cell(3, 0), "");
    EXPECT_EQ(grid.Cell(-1, 1), "");
    grid.SetCell(7, 9, "x");
    EXPECT_EQ(grid.RowCount(), 4);
}

TEST(StringGrid, ShrinkingKeepsFixedRowsAndGrowingGivesEmptyCells) {
    TKvStringGrid grid("grdTest");
    grid.SetColCount(2);
    grid.SetRowCount(3);
    grid.SetCell(1, 2, "old");
    grid.SetRowCount(0);
    EXPECT_EQ(grid.RowCount(), 1) << "the heading row cannot go";
    grid.SetRowCount(3);
    EXPECT_EQ(grid.Cell(1, 2), "") << "rows cut away come back empty";
}

TEST(StringGrid, ClearDataEmptiesOnlyNonFixedCells) {
    TKvStringGrid grid("grdTest", 1, 1);
    grid.SetColCount(2);
    grid.SetRowCount(3);
    grid.SetCell(0, 0, "head");
    grid.SetCell(0, 1, "fixed");
    grid.SetCell(1, 1, "data");
    grid.ClearData();
    EXPECT_EQ(grid.Cell(0, 0), "head");
    EXPECT_EQ(grid.Cell(0, 1), "fixed");
    EXPECT_EQ(grid.Cell(1, 1), "");
    EXPECT_EQ(grid.RowCount(), 3);
}

TEST(StringGrid, RowsAddedOneByOneReachTheViewInOneBatch) {
    TKvStringGrid grid("grdTest");
    int inserts = 0;
    QObject::connect(grid.model(), &QAbstractItemModel::rowsInserted, [&] { ++inserts; });
    for (int r = 1; r <= 500; ++r) {
        grid.SetRowCount(r + 1);
        grid.SetCell(0, r, std::to_string(r));
    }
    EXPECT_EQ(grid.RowCount(), 501) << "the grid itself counts every row at once";
    EXPECT_EQ(grid.Cell(0, 500), "500");
    Settle();
    EXPECT_EQ(inserts, 1);
    EXPECT_EQ(grid.model()->rowCount(), 500);
    EXPECT_EQ(grid.model()->index(499, 0).data().toString(), QString("500"));
}

TEST(StringGrid, ModelStaysConsistentThroughLoadsResizesAndClears) {
    TKvStringGrid grid("grdTest", 1, 1);
    QAbstractItemModelTester tester(grid.model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    grid.SetColCount(6);
    grid.SetRowCount(1000);
    for (int r = 0; r < 1000; ++r)
        for (int c = 0; c < 6; ++c) grid.SetCell(c, r, std::to_string(r * 10 + c));
    grid.FlushChanges();
    grid.SetRowCount(10);
    grid.SetRowCount(2000);  // grows, then shrinks before the view heard of it
    grid.SetRowCount(20);
    grid.SetRow(15);
    EXPECT_EQ(grid.Row(), 15);
    grid.SetColCount(2);
    grid.ClearData();
    Settle();
    grid.SetRowCount(1);
    grid.SetColCount(8);
    Settle();
    EXPECT_EQ(grid.model()->columnCount(), 8);
    EXPECT_EQ(grid.model()->rowCount(), 0);
}

TEST(StringGrid, HundredThousandRowsLoadAndScrollToTheEnd) {
    TKvStringGrid grid("grdTest");
    grid.resize(400, 300);
    grid.SetColCount(3);
    constexpr int kRows = 100000;
    grid.SetRowCount(kRows + 1);
    for (int r = 1; r <= kRows; ++r) grid.SetCell(0, r, std::to_string(r));
    grid.show();
    Settle();
    grid.scrollToBottom();
    Settle();
    EXPECT_EQ(grid.Cell(0, kRows), std::to_string(kRows));
    const QModelIndex last = grid.model()->index(kRows - 1, 0);
    EXPECT_TRUE(grid.viewport()->rect().intersects(grid.visualRect(last)));
}

TEST(StringGrid, ColumnWidthsSurviveColumnChangesAndFollowDrags) {
    TKvStringGrid grid("grdTest");
    grid.SetColCount(3);
    grid.SetColWidth(0, 92);
    grid.SetColWidth(1, 38);
    EXPECT_EQ(grid.ColWidth(0), 92);
    EXPECT_EQ(grid.horizontalHeader()->sectionSize(1), 38);
    grid.SetColCount(4);
    EXPECT_EQ(grid.ColWidth(1), 38);
    grid.horizontalHeader()->resizeSection(1, 120);  // what a border drag does
    EXPECT_EQ(grid.ColWidth(1), 120);
    EXPECT_EQ(grid.ColWidth(9), 0);
}

TEST(StringGrid, UserMovesAskOnSelectCellAndMayBeRefused) {
    TKvStringGrid grid("grdTest");
    grid.SetColCount(2);
    grid.SetRowCount(4);
    grid.resize(300, 200);
    grid.show();
    Settle();
    std::vector<int> asked;
    bool allow = true;
    grid.OnSelectCell = [&](int, int row) {
        asked.push_back(row);
        return allow;
    };
    EXPECT_EQ(grid.Row(), 1) << "the first data row is current before any move";
    grid.SetRow(2);
    EXPECT_TRUE(asked.empty()) << "SetRow is not a user move";
    EXPECT_EQ(grid.Row(), 2);

    const QRect row3 = grid.visualRect(grid.model()->index(2, 1));
    allow = false;
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, row3.center());
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], 3);
    EXPECT_EQ(grid.Row(), 2) << "a refused move leaves the row";
    allow = true;
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, row3.center());
    EXPECT_EQ(grid.Row(), 3);
    // Typing does not jump to a matching row; the arrow keys move as usual.
    grid.SetCell(0, 1, "x");
    grid.setFocus();
    QTest::keyClick(&grid, Qt::Key_X);
    EXPECT_EQ(grid.Row(), 3);
    QTest::keyClick(&grid, Qt::Key_Up);
    EXPECT_EQ(grid.Row(), 2);
    EXPECT_EQ(asked.back(), 2);
    // The right button reports the position but never moves the row.
    const QRect row1 = grid.visualRect(grid.model()->index(0, 0));
    QTest::mousePress(grid.viewport(), Qt::RightButton, {}, row1.center());
    EXPECT_EQ(grid.Row(), 2);
    EXPECT_EQ(grid.MouseDownX(), row1.center().x());
}

TEST(StringGrid, ColumnAtXSkipsFixedColumnsAndSpaceRightOfTheLast) {
    TKvStringGrid grid("grdTest", 1, 1);
    grid.SetColCount(3);
    for (int c = 0; c < 3; ++c) grid.SetColWidth(c, 50);
    grid.resize(400, 200);
    grid.show();
    Settle();
    EXPECT_EQ(grid.ColumnAtX(10), -1) << "fixed column";
    EXPECT_EQ(grid.ColumnAtX(60), 1);
    EXPECT_EQ(grid.ColumnAtX(149), 2);
    EXPECT_EQ(grid.ColumnAtX(151), -1) << "right of the last column";
}

// Rendered cells: aqua only on the current row, text flush right with
// DrawRightText, the draw handler's colour used.
TEST(StringGrid, DrawingFollowsTheSharedRules) {
    TKvStringGrid grid("grdTest");
    grid.SetColCount(2);
    grid.SetRowCount(3);
    grid.SetColWidth(0, 80);
    grid.SetColWidth(1, 80);
    grid.SetDefaultRowHeight(18);
    grid.SetCell(0, 1, "A");
    grid.SetCell(1, 1, "1");
    grid.SetCell(1, 2, "1");
    grid.OnDrawCell = [](int col, int row, TKvStringGrid::CellStyle& style) {
        style.RightAlign = col == 1;
        if (row == 2) style.Text = QColor(255, 0, 0);
    };
    grid.resize(200, 120);
    grid.show();
    Settle();
    grid.SetRow(1);
    Settle();
    const QImage image = grid.viewport()->grab().toImage();
    const QRect current = grid.visualRect(grid.model()->index(0, 1));
    const QRect other = grid.visualRect(grid.model()->index(1, 1));
    EXPECT_EQ(QColor(image.pixel(current.left() + 3, current.bottom() - 1)), kAqua);
    EXPECT_EQ(QColor(image.pixel(other.left() + 3, other.bottom() - 1)), QColor(Qt::white));

    // Rightmost inked column of the right-aligned "1" is at the cell's right edge.
    auto rightmostInk = [&](const QRect& cell, QColor background) {
        for (int x = cell.right(); x >= cell.left(); --x)
            for (int y = cell.top(); y <= cell.bottom(); ++y)
                if (QColor(image.pixel(x, y)) != background) return x;
        return -1;
    };
    const int ink = rightmostInk(current, kAqua);
    EXPECT_GE(ink, current.right() - 2);
    bool redFound = false;
    for (int x = other.left(); x <= other.right(); ++x)
        for (int y = other.top(); y <= other.bottom(); ++y) {
            const QColor c(image.pixel(x, y));
            if (c.red() > 200 && c.green() < 80 && c.blue() < 80) redFound = true;
        }
    EXPECT_TRUE(redFound) << "the handler's text colour is used";
}

TEST(StringGrid, DrawRightTextEndsExactlyAtTheRightEdge) {
    QImage image(100, 20, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    painter.setPen(Qt::black);
    const QRect cell(10, 0, 60, 20);
    TKvStringGrid::DrawRightText(painter, cell, "888", Qt::white);
    painter.end();
    int rightmost = -1, topmost = 100;
    for (int x = 0; x < image.width(); ++x)
        for (int y = 0; y < image.height(); ++y)
            if (cell.contains(x, y) && QColor(image.pixel(x, y)) != QColor(Qt::white)) {
                rightmost = std::max(rightmost, x);
                topmost = std::min(topmost, y);
            }
    EXPECT_EQ(QColor(image.pixel(69, 19)), QColor(Qt::white)) << "background filled";
    EXPECT_EQ(QColor(image.pixel(75, 10)), QColor(Qt::black)) << "nothing outside the cell";
    EXPECT_GE(rightmost, cell.right() - 1);
    EXPECT_LE(rightmost, cell.right());
    EXPECT_GE(topmost, 2) << "text starts 2 px below the top";
}

// The viewer's Japanese font is taller (13 px text, 19 px line) than the
// 16-px rows of the hourly grids: figures must still be drawn whole, or
// "1,000.00" loses its comma and point.
TEST(StringGrid, FiguresInRowsLowerThanTheFontAreNotCut) {
    QFont font("Noto Sans Mono CJK JP");
    font.setPixelSize(13);
    auto inkOf = [&](int rowHeight, bool right) {
        QImage image(120, rowHeight + 20, QImage::Format_RGB32);
        image.fill(Qt::black);
        QPainter painter(&image);
        painter.setFont(font);
        painter.setPen(Qt::black);
        const QRect cell(0, 10, 100, rowHeight);
        if (right) {
            TKvStringGrid::DrawRightText(painter, cell, "1,234.56", Qt::white);
        } else {
            painter.fillRect(cell, Qt::white);
            TKvStringGrid::DrawLeftText(painter, cell, "1,234.56");
        }
        painter.end();
        int ink = 0;
        for (int x = 0; x < image.width(); ++x)
            for (int y = 0; y < image.height(); ++y) {
                const QColor c(image.pixel(x, y));
                if (cell.contains(x, y) && c != QColor(Qt::white)) ink += 255 - c.lightness();
            }
        return ink;
    };
    for (bool right : {false, true}) {
        const int whole = inkOf(40, right);
        ASSERT_GT(whole, 0);
        EXPECT_EQ(inkOf(16, right), whole) << (right ? "right" : "left") << " text cut in a 16-px row";
        EXPECT_EQ(inkOf(18, right), whole) << (right ? "right" : "left") << " text cut in an 18-px row";
    }
}

// The heading row is as low as the rows: its texts sit as the cells' do,
// so that a "_" below the line is drawn ("SES_Mod" does not read "SES Mod").
TEST(StringGrid, HeadingsInALowRowAreNotCut) {
    QFont font("Noto Sans Mono CJK JP");
    font.setPixelSize(13);
    // The viewer's font for the whole program, and a window with a style
    // sheet, as the viewer's tabs have one.
    const QFont before = QApplication::font();
    QApplication::setFont(font);
    QWidget window;
    window.setStyleSheet("QTabBar::tab { padding: 3px 5px; }");
    TKvStringGrid grid("grdParm", 1, 0, &window);
    grid.SetColCount(2);
    grid.SetDefaultRowHeight(17);
    grid.SetCell(0, 0, "SES_Mod");
    grid.SetCell(1, 0, "SES Mod");
    grid.SetColWidth(0, 80);
    grid.SetColWidth(1, 80);
    grid.resize(200, 100);
    window.resize(200, 100);
    window.show();
    Settle();
    const QImage heading = grid.horizontalHeader()->viewport()->grab().toImage();
    const int h = grid.horizontalHeader()->height();
    QApplication::setFont(before);
    // The underscore: pixels clearly darker in the first section than in the second.
    int inked = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < 80; ++x)
            if (QColor(heading.pixel(x + 80, y)).lightness() - QColor(heading.pixel(x, y)).lightness() > 100) ++inked;
    EXPECT_GE(inked, 4) << "the underscore is not drawn";
}

}  // namespace
