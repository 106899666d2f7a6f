#include <gtest/gtest.h>

#include <QAbstractBarSeries>
#include <QApplication>
#include <QBarSet>
#include <QChart>
#include <QGraphicsRectItem>
#include <QGraphicsSimpleTextItem>

#include "KvBarChart.h"

namespace {

// Texts of the mark boxes the chart currently draws.
QStringList DrawnMarks(TKvBarChart& chart) {
    QStringList texts;
    for (QGraphicsItem* item : chart.chart()->childItems()) {
        auto* box = dynamic_cast<QGraphicsRectItem*>(item);
        if (!box) continue;
        for (QGraphicsItem* child : box->childItems())
            if (auto* text = dynamic_cast<QGraphicsSimpleTextItem*>(child)) texts << text->text();
    }
    texts.sort();
    return texts;
}

QList<qreal> BarValues(TKvBarChart& chart, int series) {
    auto* bars = static_cast<QAbstractBarSeries*>(chart.chart()->series().at(0));
    QList<qreal> values;
    QBarSet* set = bars->barSets().at(series);
    for (int i = 0; i < set->count(); ++i) values << set->at(i);
    return values;
}

struct BarChartTest : ::testing::Test {
    TKvBarChart chart;
    int low = chart.AddSeries("seriesLow", "Low", Qt::blue);
    int high = chart.AddSeries("seriesHigh", "High", Qt::red);
};

}  // namespace

TEST_F(BarChartTest, PointsKeepValuesLabelsAndEmptiness) {
    EXPECT_EQ(chart.SeriesCount(), 2);
    EXPECT_EQ(chart.SeriesIndex("seriesHigh"), high);
    EXPECT_EQ(chart.SeriesIndex("nothing"), -1);
    EXPECT_EQ(chart.SeriesTitle(low), "Low");
    chart.Add(low, 5, "a");
    chart.AddNull(low, "b");
    chart.Add(low, 0, "c");
    ASSERT_EQ(chart.PointCount(low), 3);
    EXPECT_EQ(chart.Point(low, 0).Value, 5);
    EXPECT_EQ(chart.Point(low, 1).Label, "b");
    EXPECT_TRUE(chart.Point(low, 1).Empty);
    EXPECT_FALSE(chart.Point(low, 2).Empty);
    EXPECT_EQ(chart.PointCount(high), 0);
    // Out-of-range requests are answered, not crashed on.
    EXPECT_TRUE(chart.Point(low, 7).Empty);
    EXPECT_TRUE(chart.Point(9, 0).Empty);
    EXPECT_EQ(chart.PointCount(-1), 0);
    chart.Add(9, 1, "x");
    chart.Clear(low);
    EXPECT_EQ(chart.PointCount(low), 0);
}

TEST_F(BarChartTest, EmptyPointsDrawNoBarAndNoMark) {
    chart.SetMarks(low, {true, TKvMarks::ShowValue, Qt::black, Qt::white, 5});
    chart.Add(low, 7.4, "h0");
    chart.AddNull(low, "h1");
    chart.Add(low, 0, "h2");
    chart.Refresh();
    EXPECT_EQ(chart.MarkText(low, 0), "7");
    EXPECT_EQ(chart.MarkText(low, 1), "");
    // A zero value is a point: its mark is shown.
    EXPECT_EQ(chart.MarkText(low, 2), "0");
    EXPECT_EQ(BarValues(chart, low), (QList<qreal>{7.4, 0, 0}));
    EXPECT_EQ(DrawnMarks(chart), (QStringList{"0", "7"}));
}

TEST_F(BarChartTest, SwitchingMarksKeepsThePoints) {
    chart.Add(high, 1500, "2048");
    chart.AddNull(high, " ");
    TKvMarks marks;
    EXPECT_EQ(chart.MarkText(high, 0), "");   // hidden at first
    marks.Visible = true;
    marks.Style = TKvMarks::ShowLabel;
    chart.SetMarks(high, marks);
    EXPECT_EQ(chart.MarkText(high, 0), "2048");
    marks.Style = TKvMarks::ShowValue;
    marks.ArrowLength = 50;
    chart.SetMarks(high, marks);
    EXPECT_EQ(chart.MarkText(high, 0), "1,500");
    EXPECT_EQ(chart.Marks(high).ArrowLength, 50);
    marks.Visible = false;
    chart.SetMarks(high, marks);
    chart.Refresh();
    EXPECT_EQ(chart.MarkText(high, 0), "");
    EXPECT_TRUE(DrawnMarks(chart).isEmpty());
    ASSERT_EQ(chart.PointCount(high), 2);
    EXPECT_EQ(chart.Point(high, 0).Value, 1500);
    EXPECT_EQ(chart.Point(high, 0).Label, "2048");
    EXPECT_TRUE(chart.Point(high, 1).Empty);
}

TEST_F(BarChartTest, AutomaticAxisFitsTheLargestStack) {
    chart.Add(low, 900, "h0");
    chart.Add(high, 1148, " ");
    chart.Add(low, 1000, "h1");
    chart.AddNull(high, " ");
    // An empty point counts for nothing, however large its stored value.
    EXPECT_EQ(chart.BottomMinimum(), 0);
    EXPECT_GE(chart.BottomMaximum(), 2048);
    EXPECT_LT(chart.BottomMaximum(), 2 * 2048);
    chart.Clear(high);
    chart.Clear(low);
    chart.Add(low, 30, "h0");
    EXPECT_GE(chart.BottomMaximum(), 30);
    EXPECT_LT(chart.BottomMaximum(), 100);
    // The axis ends at the next whole tick step, not at the next round
    // number: 98,304 KB must not leave half of the plot empty.
    chart.Clear(low);
    chart.Add(low, 98304, "h0");
    EXPECT_GE(chart.BottomMaximum(), 98304);
    EXPECT_LE(chart.BottomMaximum(), 98304 * 1.4);
}

TEST_F(BarChartTest, SideBySideAxisFitsTheLongestBar) {
    TKvBarChart sideBySide(nullptr, false);
    const int a = sideBySide.AddSeries("a", "A", Qt::blue);
    const int b = sideBySide.AddSeries("b", "B", Qt::red);
    sideBySide.Add(a, 300, "h0");
    sideBySide.Add(b, 400, "");
    EXPECT_GE(sideBySide.BottomMaximum(), 400);
    EXPECT_LT(sideBySide.BottomMaximum(), 700);
}

TEST_F(BarChartTest, FixedRangeIsKeptWhateverTheData) {
    chart.SetBottomRange(0, 40);
    chart.Add(low, 2500, "h0");
    chart.Refresh();
    EXPECT_EQ(chart.BottomMinimum(), 0);
    EXPECT_EQ(chart.BottomMaximum(), 40);
    chart.SetBottomRange(0, 2500);
    chart.Clear(low);
    chart.Refresh();
    EXPECT_EQ(chart.BottomMaximum(), 2500);
    chart.SetBottomAutomatic(true);
    EXPECT_LT(chart.BottomMaximum(), 2500);
}

TEST_F(BarChartTest, StackedMarksSitBeyondTheirOwnPartsEnd) {
    chart.resize(400, 300);
    chart.show();
    TKvMarks marks{true, TKvMarks::ShowValue, Qt::black, Qt::white, 5};
    chart.SetMarks(low, marks);
    chart.SetMarks(high, marks);
    chart.Add(low, 100, "h0");
    chart.Add(high, 100, " ");
    chart.Refresh();
    QApplication::processEvents();
    qreal lowX = -1, highX = -1;
    for (QGraphicsItem* item : chart.chart()->childItems()) {
        auto* box = dynamic_cast<QGraphicsRectItem*>(item);
        if (!box || box->childItems().isEmpty()) continue;
        const QString text = static_cast<QGraphicsSimpleTextItem*>(box->childItems().at(0))->text();
        (text == "100" && lowX < 0 ? lowX : highX) = box->pos().x();
    }
    const QPointF middle = chart.chart()->mapToPosition(QPointF(100, 0));
    const QPointF end = chart.chart()->mapToPosition(QPointF(200, 0));
    EXPECT_NEAR(std::min(lowX, highX), middle.x() + 5, 1);
    EXPECT_NEAR(std::max(lowX, highX), end.x() + 5, 1);
}

// The latch charts' counts mode: a mark 50 pixels off a bar that reaches
// near the fixed axis's end stays inside the chart, its digits whole, and
// clear of the mark of the part below it.
TEST_F(BarChartTest, AMarkFarOffTheLongestBarStaysInsideTheChart) {
    chart.resize(400, 300);
    chart.show();
    chart.SetMarks(low, TKvMarks{true, TKvMarks::ShowValue, Qt::white, Qt::blue, 5});
    chart.SetMarks(high, TKvMarks{true, TKvMarks::ShowValue, Qt::black, Qt::white, 50});
    chart.Add(low, 2143260, "h0");
    chart.Add(high, 24512, " ");
    chart.SetBottomRange(0, (2143260 + 24512) * 1.1);
    chart.Refresh();
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
    const QRectF inside(QPointF(0, 0), chart.chart()->size());
    std::vector<QRectF> boxes;
    for (QGraphicsItem* item : chart.chart()->childItems())
        if (auto* box = dynamic_cast<QGraphicsRectItem*>(item); box && !box->childItems().isEmpty()) {
            boxes.push_back(box->mapRectToParent(box->rect()));
            EXPECT_TRUE(inside.contains(boxes.back()))
                << static_cast<QGraphicsSimpleTextItem*>(box->childItems().at(0))->text().toStdString();
        }
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_FALSE(boxes[0].intersects(boxes[1])) << "one mark covers the other";
    EXPECT_EQ(DrawnMarks(chart), QStringList({"2,143,260", "24,512"}));
}
