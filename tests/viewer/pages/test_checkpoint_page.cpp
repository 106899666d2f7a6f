#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QProxyStyle>
#include <QScrollBar>
#include <QLabel>
#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <QApplication>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QChartView>
#include <QGraphicsView>

#include "../GridClicks.h"
#include "CheckPointPage.h"
#include "KvOracle.h"
#include "PageFixture.h"

namespace {

FakeResult Days(int n) {
    FakeResult r;
    r.Columns = {"F_SEQ", "F_DSP", "F_DATE", "F_CNT"};
    for (int i = 0; i < n; ++i) {
        char date[16];
        std::snprintf(date, sizeof date, "2026%04d", i);
        r.Rows.push_back({std::to_string(i), "26/" + std::to_string(i), date, std::to_string(i % 50)});
    }
    return r;
}

FakeResult Hours(std::vector<std::pair<std::string, std::string>> hours) {
    FakeResult r;
    r.Columns = {"F_TIME", "COUNT(*)"};
    for (auto& [h, c] : hours) r.Rows.push_back({h, c});
    return r;
}

std::string ReadAll(const std::string& path) {
    QFile f(QString::fromStdString(path));
    if (!f.open(QIODevice::ReadOnly)) return "<missing>";
    return f.readAll().toStdString();
}

struct CheckPointPageTest : ::testing::Test {
    QTemporaryDir dir;
    std::string FilePath() const { return dir.path().toStdString() + "/" + kCheckPointFileName; }
};

}  // namespace

TEST_F(CheckPointPageTest, DaysAreListedAndWrittenToTheHistoryFile) {
    PageHarness<TCheckPointPage> h(10, 8192, dir.path().toStdString());
    h.rows->Answer("F_SEQ", Days(3));
    h.rows->Answer("F_TIME", Hours({{"13", "7"}, {"02", "3"}}));
    h.page->LoadPage(false);
    auto& g = *h.page->grdDate;
    ASSERT_EQ(g.RowCount(), 4);
    EXPECT_EQ(g.Cell(0, 1), "26/0");
    EXPECT_EQ(g.Cell(1, 3), "2");
    EXPECT_EQ(h.page->grdDate2->Cell(0, 2), "20260001");
    EXPECT_EQ(ReadAll(FilePath()), "  20260000      0\r\n  20260001      1\r\n  20260002      2\r\n");
    // The first day is charted, its key bound as the parameter.
    EXPECT_EQ(h.rows->Log.back().Params, std::vector<std::string>{"20260000"});
    EXPECT_EQ(h.page->BarValue(13), 7);
    EXPECT_EQ(h.page->BarValue(2), 3);
    EXPECT_EQ(h.page->BarValue(0), 0);
    EXPECT_EQ(h.page->BarLabel(5), QString::fromUtf8(" 5:00～59"));
    EXPECT_EQ(h.LastMessage(), QString::fromUtf8("時間帯ごとの回数を表示するには日付を選択して下さい。"));
}

TEST_F(CheckPointPageTest, NoDaysLeavesOneEmptyRowNoFileAndZeroBars) {
    PageHarness<TCheckPointPage> h(10, 8192, dir.path().toStdString());
    h.rows->Answer("F_SEQ", Days(2));
    h.page->LoadPage(false);
    ASSERT_EQ(ReadAll(FilePath()).size(), 2u * 19);
    h.rows->Answer("F_SEQ", Days(0));
    h.page->LoadPage(false);
    EXPECT_EQ(h.page->grdDate->RowCount(), 2);
    EXPECT_EQ(h.page->grdDate->Cell(0, 1), "");
    EXPECT_EQ(h.page->grdDate->Cell(1, 1), "");
    EXPECT_EQ(ReadAll(FilePath()).size(), 2u * 19);   // the old file stays
    for (int hour = 0; hour < 24; ++hour) EXPECT_EQ(h.page->BarValue(hour), 0);
    EXPECT_TRUE(h.page->lblCPDate->text().isEmpty());
}

TEST_F(CheckPointPageTest, AtMost1001DaysAreListedAndWritten) {
    PageHarness<TCheckPointPage> h(10, 8192, dir.path().toStdString());
    h.rows->Answer("F_SEQ", Days(1005));
    h.page->LoadPage(false);
    EXPECT_EQ(h.page->grdDate->RowCount(), 1002);
    EXPECT_EQ(h.page->grdDate2->RowCount(), 1002);
    EXPECT_EQ(ReadAll(FilePath()).size(), 1001u * 19);
}

TEST_F(CheckPointPageTest, VersionSevenUsesTextDates) {
    PageHarness<TCheckPointPage> h(7, 2048, dir.path().toStdString());
    FakeResult days = Days(0);
    days.Rows.push_back({"5", "26/12/07(MON)", "12/07/26", "4"});
    h.rows->Answer("F_SEQ", days);
    h.page->LoadPage(false);
    EXPECT_EQ(h.rows->Log[0].Sql, CheckPointDaysSql(7) + " ORDER BY F_SEQ DESC ");
    EXPECT_EQ(h.rows->Log[1].Sql, CheckPointHoursSql(7));
    EXPECT_EQ(ReadAll(FilePath()), "  12/07/26      4\r\n");
}

TEST_F(CheckPointPageTest, SortChoiceOrdersTheListAndTheFile) {
    PageHarness<TCheckPointPage> h(10, 8192, dir.path().toStdString());
    h.ctx.Sort.SortCol[0][0] = 1;
    h.ctx.Sort.SortDir[0][0] = "DESC";
    h.rows->Answer("F_SEQ", Days(1));
    h.page->LoadPage(false);
    EXPECT_NE(h.rows->Log[0].Sql.find(" ORDER BY F_CNT DESC, F_SEQ DESC"), std::string::npos);
}

TEST_F(CheckPointPageTest, WriteFailureIsReportedAndTheLoadGoesOn) {
    PageHarness<TCheckPointPage> h(10, 8192, dir.path().toStdString() + "/no-such-dir");
    h.rows->Answer("F_SEQ", Days(2));
    h.rows->Answer("F_TIME", Hours({{"01", "2"}}));
    h.page->LoadPage(false);
    EXPECT_EQ(h.page->grdDate->RowCount(), 3);
    EXPECT_EQ(h.page->BarValue(1), 2);   // the chart was still loaded
    EXPECT_TRUE(h.LastMessage().contains(QString::fromUtf8("書き込めませんでした")));
    EXPECT_TRUE(h.page->Guide().contains(QString::fromUtf8("書き込めませんでした")));
    EXPECT_TRUE(h.errors.empty());
    // A later successful write clears the report.
    h.ctx.DataDir = dir.path().toStdString();
    h.page->LoadPage(false);
    EXPECT_FALSE(h.page->Guide().contains(QString::fromUtf8("書き込めませんでした")));
}

TEST_F(CheckPointPageTest, HistoryFileIsReplacedNotAppended) {
    PageHarness<TCheckPointPage> h(10, 8192, dir.path().toStdString());
    h.rows->Answer("F_SEQ", Days(5));
    h.page->LoadPage(false);
    struct stat before {};
    ASSERT_EQ(stat(FilePath().c_str(), &before), 0);
    h.rows->Answer("F_SEQ", Days(1));
    h.page->LoadPage(false);
    struct stat after {};
    ASSERT_EQ(stat(FilePath().c_str(), &after), 0);
    EXPECT_EQ(ReadAll(FilePath()), "  20260000      0\r\n");
    EXPECT_NE(before.st_ino, after.st_ino);   // a new file renamed over the old one
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1);   // no temporary left
}

TEST_F(CheckPointPageTest, DatabaseErrorKeepsFileAndChart) {
    PageHarness<TCheckPointPage> h(10, 8192, dir.path().toStdString());
    h.rows->Answer("F_SEQ", Days(2));
    h.rows->Answer("F_TIME", Hours({{"04", "9"}}));
    h.page->LoadPage(false);
    FakeResult failing = Days(0);
    failing.FailOnRun = true;
    h.rows->Answer("F_SEQ", failing);
    h.page->LoadPage(false);
    ASSERT_EQ(h.errors.size(), 1u);
    EXPECT_EQ(h.page->BarValue(4), 9);
    EXPECT_EQ(ReadAll(FilePath()).size(), 2u * 19);
}

TEST_F(CheckPointPageTest, BusyHourGrowsTheAxisAndMarksTheMaximumYellow) {
    PageHarness<TCheckPointPage> h(10, 8192, dir.path().toStdString());
    EXPECT_EQ(h.page->cmbMax->currentText(), "50");
    EXPECT_EQ(h.page->AxisMax(), 50);
    h.rows->Answer("F_SEQ", Days(2));
    h.rows->Answer("F_TIME", Hours({{"23", "80"}, {"10", "12"}}));
    h.page->LoadPage(false);
    EXPECT_EQ(h.page->AxisMax(), 80);
    EXPECT_TRUE(h.page->CmbMaxHighlighted());
    // The next chart load goes back to the chosen maximum and white.
    h.rows->Answer("F_TIME", Hours({{"10", "12"}}));
    h.page->LoadCheckPointHours(2);
    EXPECT_EQ(h.page->AxisMax(), 50);
    EXPECT_FALSE(h.page->CmbMaxHighlighted());
    EXPECT_EQ(h.rows->Log.back().Params, std::vector<std::string>{"20260001"});
}

TEST_F(CheckPointPageTest, ChoosingAMaximumSetsTheAxisWithoutReloading) {
    PageHarness<TCheckPointPage> h(10, 8192, dir.path().toStdString());
    const size_t sent = h.rows->Log.size();
    QStringList items;
    for (int i = 0; i < h.page->cmbMax->count(); ++i) items << h.page->cmbMax->itemText(i);
    EXPECT_EQ(items, (QStringList{"10", "50", "100", "500", "1000", "1500", "2000"}));
    h.page->cmbMax->setCurrentIndex(4);
    emit h.page->cmbMax->activated(4);
    EXPECT_EQ(h.page->AxisMax(), 1000);
    EXPECT_EQ(h.rows->Log.size(), sent);
}

TEST_F(CheckPointPageTest, SelectingAnotherDayChartsIt) {
    PageHarness<TCheckPointPage> h(10, 8192, dir.path().toStdString());
    h.page->resize(655, 540);
    h.page->show();
    h.rows->Answer("F_SEQ", Days(3));
    h.page->LoadPage(false);
    const size_t sent = h.rows->Log.size();
    gridclicks::ClickRow(*h.page->grdDate, 1);   // the current row again: nothing
    EXPECT_EQ(h.rows->Log.size(), sent);
    gridclicks::ClickRow(*h.page->grdDate, 3);
    EXPECT_EQ(h.rows->Log.back().Params, std::vector<std::string>{"20260002"});
    EXPECT_EQ(h.page->lblCPDate->text(), "26/2");
}

// The bars go by the hour in each row, not by the order the rows came in
// (a linguistic sort on the database's side may order them its own way).
TEST_F(CheckPointPageTest, HoursInAnyOrderGiveTheSameBars) {
    PageHarness<TCheckPointPage> h(10, 8192, dir.path().toStdString());
    h.rows->Answer("F_SEQ", Days(1));
    h.rows->Answer("F_TIME", Hours({{"02", "3"}, {"13", "7"}, {"00", "1"}, {"23", "5"}}));
    h.page->LoadPage(false);
    for (int hour = 0; hour < 24; ++hour) {
        const int expected = hour == 0 ? 1 : hour == 2 ? 3 : hour == 13 ? 7 : hour == 23 ? 5 : 0;
        EXPECT_EQ(h.page->BarValue(hour), expected) << hour;
    }
}

TEST_F(CheckPointPageTest, AFetchFailureKeepsTheBarsOfTheHoursReadSoFar) {
    PageHarness<TCheckPointPage> h(10, 8192, dir.path().toStdString());
    h.rows->Answer("F_SEQ", Days(1));
    FakeResult hours = Hours({{"20", "4"}, {"13", "7"}, {"05", "2"}});
    hours.FailAfterRows = 2;
    h.rows->Answer("F_TIME", hours);
    h.page->LoadPage(false);
    ASSERT_EQ(h.errors.size(), 1u);
    EXPECT_EQ(h.page->BarValue(20), 4);
    EXPECT_EQ(h.page->BarValue(13), 7);
    EXPECT_EQ(h.page->BarValue(14), 0);
    EXPECT_EQ(h.page->BarValue(12), -1) << "no bar below the last hour read";
    EXPECT_EQ(h.page->BarValue(5), -1);
}
namespace {

// A style that draws scroll bars of a chosen width.
class TScrollBarWidthStyle : public QProxyStyle {
public:
    explicit TScrollBarWidthStyle(int extent) : QProxyStyle("Fusion"), extent_(extent) {}
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
        return metric == PM_ScrollBarExtent ? extent_ : QProxyStyle::pixelMetric(metric, option, widget);
    }

private:
    int extent_;
};

}  // namespace

TEST_F(CheckPointPageTest, CountStaysInViewBesideTheScrollBar) {
    constexpr int kDesignedWidth = 151;
    for (int extent : {12, 17, 40}) {
        SCOPED_TRACE("scroll bar of " + std::to_string(extent) + " pixels");
        TScrollBarWidthStyle style(extent);
        PageHarness<TCheckPointPage> h(10, 8192, dir.path().toStdString());
        TKvStringGrid& g = *h.page->grdDate;
        g.verticalScrollBar()->setStyle(&style);
        h.page->InitMainForm();
        h.rows->Answer("F_SEQ", Days(60));
        h.rows->Answer("F_TIME", Hours({}));
        h.page->resize(663, 500);
        h.page->show();
        h.page->LoadPage(false);
        QApplication::processEvents();
        ASSERT_TRUE(g.verticalScrollBar()->isVisible());
        // Both columns fit beside the bar: nothing to scroll sideways.
        EXPECT_GE(g.viewport()->width(), g.ColWidth(0) + g.ColWidth(1));
        EXPECT_FALSE(g.horizontalScrollBar()->isVisible());
        // Where the designed width has room for the bar, it is kept.
        if (extent + 2 * g.frameWidth() + g.ColWidth(0) + g.ColWidth(1) <= kDesignedWidth) {
            EXPECT_EQ(g.width(), kDesignedWidth);
        }
    }
}

// Texts the chart draws: tick labels and the bars' counts.
QStringList DrawnTexts(QGraphicsView& view) {
    QStringList texts;
    for (QGraphicsItem* item : view.scene()->items())
        if (auto* text = dynamic_cast<QGraphicsTextItem*>(item); text && text->isVisible())
            texts << text->toPlainText();
    return texts;
}

// Each tick's label is the count at the tick ("10", never "12" for 12.5), and
// a bar as long as the axis keeps its count whole inside the chart.
TEST_F(CheckPointPageTest, TickLabelsAreExactAndTheLongestBarsCountIsWhole) {
    PageHarness<TCheckPointPage> h(10, 8192, dir.path().toStdString());
    h.page->resize(655, 540);
    h.page->show();
    h.rows->Answer("F_SEQ", Days(2));
    h.rows->Answer("F_TIME", Hours({{"10", "3"}}));
    h.page->LoadPage(false);
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
    QStringList texts = DrawnTexts(*h.page->ChartCnt);
    for (const char* tick : {"0", "10", "20", "30", "40", "50"}) EXPECT_TRUE(texts.contains(tick)) << tick;
    EXPECT_FALSE(texts.contains("12"));
    EXPECT_FALSE(texts.contains("37"));

    h.rows->Answer("F_TIME", Hours({{"12", "1234"}, {"10", "3"}}));
    gridclicks::ClickRow(*h.page->grdDate, 2);
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
    EXPECT_EQ(h.page->AxisMax(), 1234);
    const QRectF inside = h.page->ChartCnt->mapToScene(h.page->ChartCnt->viewport()->rect()).boundingRect();
    bool found = false;
    for (QGraphicsItem* item : h.page->ChartCnt->scene()->items())
        if (auto* text = dynamic_cast<QGraphicsTextItem*>(item); text && text->toPlainText() == "1234") {
            found = true;
            EXPECT_TRUE(inside.contains(text->sceneBoundingRect()));
            EXPECT_LT(text->sceneBoundingRect().right(), h.page->ChartCnt->width());
        }
    EXPECT_TRUE(found);
}
