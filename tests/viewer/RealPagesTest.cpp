// The main window with its real pages, fed by scripted rows and real files,
// driven by the user's keys and clicks: Esc on the session page wherever the
// focus is, the popup from a grid's heading, the tablespace chart at the
// window's smallest size, the hourly grids' fixed column, F9 on the memory
// tab when no day is left.
#include <gtest/gtest.h>

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QGraphicsTextItem>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <fstream>
#include <set>

#include "FakeRows.h"
#include "GridClicks.h"
#include "KelvsU1.h"
#include "KvBarChart.h"
#include "KvDayList.h"
#include "KvLivePage.h"
#include "KvPages.h"
#include "KvSortPopup.h"
#include "KvgLines.h"
#include "MemoryPage.h"
#include "SessionPage.h"
#include "TableSpacePage.h"
#include "ViewerTestSupport.h"

namespace {

FakeResult Table(std::vector<std::string> cols, std::vector<std::vector<std::string>> rows) {
    FakeResult r;
    r.Columns = std::move(cols);
    r.Rows = std::move(rows);
    return r;
}

class RealPages : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(data_.isValid());
        const std::set<int> real = {pgMemory, pgTableSpace, pgSegment, pgSession};
        auto rows = rows_;
        window_ = std::make_unique<TfrmKVS>(nullptr, [real, rows](TKvPageIndex index, TViewerContext& ctx,
                                                                  QWidget* parent) -> TKvPage* {
            if (!real.count(index)) return new TFakePage(index, ctx, parent);
            TKvPage* page = CreateViewerPage(index, ctx, parent);
            if (auto* live = dynamic_cast<TKvLivePage*>(page)) live->SetRowSource(rows);
            return page;
        });
        window_->Context().DataDir = data_.path().toStdString();
        window_->Context().OracleVersion = 10;
        for (int i = 0; i < kPageCount; ++i) window_->Page(i)->InitMainForm();
        window_->show();
        window_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
    }
    template <class Page>
    Page& P(int index) { return *dynamic_cast<Page*>(window_->Page(index)); }
    void ClickTab(int index) { gridclicks::ClickTab(window_->PageCtrl()->tabBar(), index); }
    void Settle() {
        for (int i = 0; i < 5; ++i) QApplication::processEvents();
    }
    std::string DataPath(const std::string& name) const { return data_.path().toStdString() + "/" + name; }
    void WriteLines(const std::string& name, const std::vector<std::string>& lines) {
        std::ofstream out(DataPath(name), std::ios::binary | std::ios::trunc);
        for (const std::string& line : lines) out << line << "\r\n";
    }
    // A day of the memory tab: every hour, counters growing from zero.
    void WriteMemoryDay(const std::string& day) {
        std::vector<std::string> lines;
        for (int h = 0; h < 24; ++h) {
            TMURecord prev, fresh;
            prev.ValidItems = fresh.ValidItems = ~0u;
            prev.Hour = h;
            prev.SharedPoolSize = 8'388'608;
            prev.SharedPoolUsedMax = 4'194'304;
            fresh.SqlAreaPins = 1000 + h;
            fresh.SqlAreaReloads = 10;
            lines.push_back(BuildMULine(prev, fresh));
        }
        WriteLines("MU" + day + ".dat", lines);
        WriteLines("ML" + day + ".dat", {BuildMLLine("library cache", 200, 2)});
    }

    QTemporaryDir data_;
    std::shared_ptr<FakeRows> rows_ = std::make_shared<FakeRows>();
    TScriptedDialogs dialogs_;
    std::unique_ptr<TfrmKVS> window_;
};

const std::vector<std::string> kSessionCols = {"SID",    "STATUS",  "USERNAME", "SCHEMANAME", "OSUSER",
                                               "MACHINE", "PROGRAM", "SERIAL#",  "TYPE"};

// After F9 the focus is on the reload button, outside the page: Esc still
// answers the cut button while the session page shows, and nowhere else.
TEST_F(RealPages, EscOnTheSessionPageAnswersTheCutButtonWhereverTheFocusIs) {
    rows_->Answer("V$SESSION", Table(kSessionCols, {{"7", "ACTIVE", "SCOTT", "SCOTT", "dba", "pc01", "app", "41", "USER"},
                                                    {"1234", "INACTIVE", "HR", "HR", "dba", "pc02", "x", "567", "USER"}}));
    ClickTab(pgSession);
    TSessionPage& page = P<TSessionPage>(pgSession);
    ASSERT_EQ(page.grdSes->Cell(0, 2), "1,234");

    gridclicks::ClickRow(*page.grdSes, 2);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F9);   // reloads; row 1 is current again
    auto* reload = window_->findChild<QPushButton*>("cmdFunc9");
    ASSERT_EQ(QApplication::focusWidget(), reload);

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    ASSERT_EQ(dialogs_.questions, QStringList({"指定したセッションを切断します。"}));
    EXPECT_EQ(rows_->Log.back().Sql, " ALTER SYSTEM KILL SESSION '7,41' ");
    EXPECT_EQ(window_->Message(), QString("セッションを切断しました。"));

    // On another page the key does nothing, whatever has the focus.
    ClickTab(pgLogFile);
    const size_t sent = rows_->Log.size();
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : window_.get(), Qt::Key_Escape);
    QTest::keyClick(window_->findChild<QPushButton*>("cmdFunc9"), Qt::Key_Escape);
    EXPECT_EQ(dialogs_.questions.size(), 1);
    EXPECT_EQ(rows_->Log.size(), sent);
}

// A kill the database refuses is told in a plain box, not an information box.
TEST_F(RealPages, ARefusedKillIsToldInAPlainBox) {
    rows_->Answer("V$SESSION", Table(kSessionCols, {{"7", "ACTIVE", "SCOTT", "SCOTT", "dba", "pc01", "app", "41", "USER"}}));
    FakeResult refused;
    refused.FailOnRun = true;
    rows_->Answer("KILL SESSION", refused);
    ClickTab(pgSession);
    QTest::mouseClick(P<TSessionPage>(pgSession).btnCut, Qt::LeftButton);
    EXPECT_EQ(dialogs_.messages, QStringList({"切断できません。"}));
    EXPECT_TRUE(dialogs_.errors.isEmpty());
}

// On the segments page, a right-click on "Size(KB)" sorts by it.
TEST_F(RealPages, TheSegmentHeadingOpensThePopupForItsColumn) {
    rows_->Answer("DBA_SEGMENTS", Table({"OWNER", "TABLESPACE_NAME", "SEGMENT_TYPE", "SEGMENT_NAME", "BYTES", "BLOCKS"},
                                        {{"SCOTT", "USERS", "TABLE", "EMP", "65536", "8"}}));
    ClickTab(pgSegment);
    TKvStringGrid& grid = *window_->findChild<TKvStringGrid*>("grdSeg");
    ASSERT_EQ(grid.Cell(4, 0), "Size(KB)");
    gridclicks::RightClickHeading(grid, gridclicks::HeadingX(grid, 4));
    ASSERT_TRUE(gridclicks::ChooseFromMenu(window_->SortPopup().popMenu(), window_->SortPopup().popDes()));
    EXPECT_NE(rows_->Log.back().Sql.find(" ORDER BY BYTES DESC,OWNER, TABLESPACE_NAME"), std::string::npos)
        << rows_->Log.back().Sql;
}

// Texts a chart draws (axis labels and titles, marks, legend).
QStringList ChartTexts(QGraphicsView& chart) {
    QStringList texts;
    for (QGraphicsItem* item : chart.scene()->items()) {
        if (!item->isVisible()) continue;
        if (auto* rich = dynamic_cast<QGraphicsTextItem*>(item)) texts << rich->toPlainText();
        if (auto* plain = dynamic_cast<QGraphicsSimpleTextItem*>(item)) texts << plain->text();
    }
    return texts;
}

// The usage chart is 174 pixels high: its axis labels, axis title and marks
// must still be whole, with large block counts, at the smallest window.
TEST_F(RealPages, TheUsageChartsTextsAreWholeAtTheSmallestWindow) {
    rows_->Answer("GROUP BY TABLESPACE_NAME", Table({"TABLESPACE_NAME"}, {{"USERS"}}));
    rows_->Answer("WHERE TABLESPACE_NAME = ?",
                  Table({"FILE_NAME", "BYTES", "STATUS", "AUTOEXTENSIBLE", "MAXBYTES", "INCREMENT_BY"},
                        {{"/u01/users01.dbf", "12945367040", "AVAILABLE", "NO", "0", "0"}}));
    rows_->Answer("ORA_BLKS", Table({"ORA_BLKS", "TOT_USED"}, {{"1580245", "1234567"}}));
    for (const QSize size : {QSize(300, 200), QSize(663, 372), QSize(663, 627)}) {
        window_->resize(size);
        ClickTab(pgTableSpace);
        QTest::keyClick(window_.get(), Qt::Key_F9);
        Settle();
        TTableSpacePage& page = P<TTableSpacePage>(pgTableSpace);
        TKvBarChart& chart = *page.ChartUse;
        // The page gives the chart its whole height: nothing of it is cut off.
        EXPECT_EQ(chart.height(), 174);
        EXPECT_TRUE(page.rect().contains(QRect(chart.mapTo(&page, QPoint(0, 0)), chart.size())))
            << "the chart reaches past its page at " << size.width() << "x" << size.height();
        const QStringList texts = ChartTexts(chart);
        for (const QString& text : texts)
            EXPECT_FALSE(text.contains("...") || text.contains(QChar(0x2026))) << text.toStdString();
        EXPECT_TRUE(texts.contains("(Block)"));
        EXPECT_TRUE(texts.contains("0"));
        EXPECT_TRUE(texts.contains("1,234,567")) << "used blocks, #,##0";
        EXPECT_TRUE(texts.contains("345,678")) << "free blocks, #,##0";
        // And inside the chart: no digit is cut at its edge.
        const QRectF inside = chart.mapToScene(chart.viewport()->rect()).boundingRect();
        for (QGraphicsItem* item : chart.scene()->items())
            if (item->isVisible() && dynamic_cast<QGraphicsTextItem*>(item))
                EXPECT_TRUE(inside.contains(item->sceneBoundingRect()))
                    << dynamic_cast<QGraphicsTextItem*>(item)->toPlainText().toStdString();
    }
}

// Scrolled sideways, an hourly grid keeps its hour column in place.
TEST_F(RealPages, TheHourColumnStaysWhenAnHourlyGridScrollsSideways) {
    WriteMemoryDay("20261204");
    ClickTab(pgMemory);
    TMemoryPage& page = P<TMemoryPage>(pgMemory);
    ASSERT_TRUE(gridclicks::ClickButton(&page, "SQL Area"));
    TKvStringGrid& grid = *page.grdSQLArea;
    // The user drags the border of "Hit(%)" far to the right.
    QHeaderView* header = grid.horizontalHeader();
    const int border = grid.columnViewportPosition(3) + grid.columnWidth(3) - 1;
    const QPoint from(border, header->height() / 2);
    QTest::mousePress(header->viewport(), Qt::LeftButton, {}, from);
    QTest::mouseMove(header->viewport(), from + QPoint(400, 0));
    QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, from + QPoint(400, 0));
    Settle();
    QScrollBar* sideways = grid.horizontalScrollBar();
    ASSERT_GT(sideways->maximum(), 0) << "the grid is wider than its view now";

    const int fixedWidth = grid.ColWidth(0);
    const QImage before = grid.grab().toImage();
    QTest::mouseClick(sideways, Qt::LeftButton, {}, QPoint(sideways->width() - 30, sideways->height() / 2));
    Settle();
    ASSERT_GT(sideways->value(), 0);
    const QImage after = grid.grab().toImage();
    const QRect hourColumn(0, 0, fixedWidth, grid.viewport()->height());
    EXPECT_EQ(before.copy(hourColumn), after.copy(hourColumn)) << "the hour column moved";
    const QRect figures(fixedWidth + 5, 0, grid.viewport()->width() - fixedWidth - 10, grid.viewport()->height());
    EXPECT_NE(before.copy(figures), after.copy(figures)) << "the figures did not scroll";
    // Each hour label stays beside its own row, under the heading "時間帯".
    auto* hours = grid.findChild<QTableView*>("grdSQLAreaFixed");
    ASSERT_NE(hours, nullptr);
    EXPECT_TRUE(hours->horizontalHeader()->isVisible());
    EXPECT_EQ(hours->horizontalHeader()->height(), grid.horizontalHeader()->height());
    for (int row : {1, 12, 24}) {
        const QModelIndex label = grid.model()->index(row - 1, 0), figure = grid.model()->index(row - 1, 1);
        const int labelTop = hours->viewport()->mapTo(&grid, hours->visualRect(label).topLeft()).y();
        const int figureTop = grid.viewport()->mapTo(&grid, grid.visualRect(figure).topLeft()).y();
        EXPECT_EQ(labelTop, figureTop) << "row " << row;
    }
    // A right-click on the hour column finds no column to sort or fit.
    gridclicks::RightClickCells(grid, fixedWidth / 2);
    EXPECT_EQ(TKvSortPopup::GetMouseCol(grid), -1);
    window_->SortPopup().popMenu()->hide();
}

// F9 with no MU file left: the latch totals and their date go too.
TEST_F(RealPages, F9WithNoDayLeftEmptiesTheLatchTotals) {
    WriteMemoryDay("20261204");
    ClickTab(pgMemory);
    TMemoryPage& page = P<TMemoryPage>(pgMemory);
    ASSERT_EQ(page.grdLatch2->Cell(0, 1), "library cache");
    ASSERT_EQ(page.lblMUL2Date->text(), QString::fromStdString(DayLabel("20261204")));

    QFile::remove(QString::fromStdString(DataPath("MU20261204.dat")));
    QTest::keyClick(window_.get(), Qt::Key_F9);
    EXPECT_EQ(page.grdMUDate->CellText(0, 1), QString());
    EXPECT_EQ(page.grdLatch2->RowCount(), 2);
    EXPECT_EQ(page.grdLatch2->Cell(0, 1), "");
    EXPECT_EQ(page.lblMUL2Date->text(), QString());
    EXPECT_EQ(window_->Message(), QString("表示する日付を選択して下さい。"));
}

// The boxes the user really sees: answers each message box that opens,
// Yes where it asks, and notes its icon and text.
class TBoxWatcher {
public:
    TBoxWatcher() {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible()) return;
            Seen.push_back({box->icon(), box->text()});
            QAbstractButton* answer = box->button(QMessageBox::Yes);
            if (!answer) answer = box->button(QMessageBox::Ok);
            QTest::mouseClick(answer, Qt::LeftButton);
        });
        timer_.start();
    }
    std::vector<std::pair<QMessageBox::Icon, QString>> Seen;

private:
    QTimer timer_;
};

// One seam for every box of the viewer: the page's question comes with the
// warning icon, its "切断できません。" as a plain box, as the window's own.
TEST(ViewerBoxes, TheSessionPagesBoxesAreTheWindowsOwnKinds) {
    TViewerContext ctx;
    auto rows = std::make_shared<FakeRows>();
    rows->Answer("V$SESSION", Table(kSessionCols, {{"7", "ACTIVE", "SCOTT", "SCOTT", "dba", "pc01", "app", "41", "USER"}}));
    FakeResult refused;
    refused.FailOnRun = true;
    rows->Answer("KILL SESSION", refused);
    TSessionPage page(ctx);
    page.SetRowSource(rows);
    page.InitMainForm();
    page.resize(660, 400);
    page.show();
    page.LoadPage(false);

    TBoxWatcher boxes;
    QTest::mouseClick(page.btnCut, Qt::LeftButton);
    ASSERT_EQ(boxes.Seen.size(), 2u);
    EXPECT_EQ(boxes.Seen[0].first, QMessageBox::Warning);
    EXPECT_EQ(boxes.Seen[0].second, QString("指定したセッションを切断します。"));
    EXPECT_EQ(boxes.Seen[1].first, QMessageBox::NoIcon);
    EXPECT_EQ(boxes.Seen[1].second, QString("切断できません。"));
}

}  // namespace
