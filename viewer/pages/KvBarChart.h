// Horizontal (stacked) bar chart of the statistics pages: series of points
// added one by one, each with a value and a label text, some of them empty
// (a gap in the stack); marks drawn next to the bars showing either the
// point's value or its label. Built on a QChartView; marks are text items
// placed over the plot, since the chart library writes only values.
#pragma once

#include <QChartView>
#include <QColor>
#include <QString>

#include <memory>
#include <utility>
#include <vector>

class QChart;
class QBarCategoryAxis;
class QValueAxis;
class QAbstractBarSeries;
class QBarSet;
class QGraphicsItem;
class QGraphicsRectItem;
class QGraphicsSimpleTextItem;

// Step between the value axis's ticks for a span: 1, 2, 2.5 or 5 times a
// power of ten, about six ticks over the span, so that every tick's label
// is the exact value at the tick.
double AxisTickStep(double span);

struct TKvBarPoint {
    double Value = 0;
    QString Label;
    bool Empty = false;   // no bar, no mark; the category still has its label
};

struct TKvMarks {
    enum TStyle { ShowValue, ShowLabel };
    bool Visible = false;
    TStyle Style = ShowValue;
    QColor Text = Qt::black;
    QColor Back = Qt::white;   // the mark's box
    int ArrowLength = 8;       // distance in pixels from the bar end to the mark
};

class TKvBarChart : public QChartView {
    Q_OBJECT
public:
    // stacked: the series are stacked in the order they were added;
    // otherwise side by side.
    explicit TKvBarChart(QWidget* parent = nullptr, bool stacked = true);
    ~TKvBarChart() override;

    // Returns the series index. name: object name (e.g. "seriesSharePUsed").
    int AddSeries(const QString& name, const QString& title, const QColor& colour);
    int SeriesCount() const;
    int SeriesIndex(const QString& name) const;   // -1 when unknown
    QString SeriesTitle(int series) const;

    void Clear(int series);
    // Appends a point; the first point is the bottom bar. The category axis
    // shows the labels of the first series' points.
    void Add(int series, double value, const QString& label);
    void AddNull(int series, const QString& label);
    int PointCount(int series) const;
    TKvBarPoint Point(int series, int index) const;

    void SetMarks(int series, const TKvMarks& marks);
    TKvMarks Marks(int series) const;
    // Text of a point's mark as drawn ("" when hidden or empty point);
    // values are written "#,##0".
    QString MarkText(int series, int index) const;

    // Bottom (value) axis.
    void SetBottomAutomatic(bool automatic);   // automatic: fits the largest stack
    // Where the automatic axis ends for a largest stack of `largest` (> 0):
    // at a tick step above it, with room for the mark right of the bar.
    static double AxisMaximumAbove(double largest);
    void SetBottomRange(double minimum, double maximum);
    double BottomMinimum() const;
    double BottomMaximum() const;
    void SetBottomTitle(const QString& title);
    void SetBottomMinorTicks(int count);
    // Left (category) axis: fixed 0..count-1 categories.
    void SetLegendVisible(bool visible);   // at the top
    void SetTitle(const QString& title);   // "" hides it
    void SetBarWidthPercent(int percent);
    // Title, legend and value-axis texts at this size (a low chart needs
    // small ones to leave its axis labels room).
    void SetTextPixelSize(int pixels);

    // Redraws bars, categories and marks from the points (called by the
    // mutators; cheap enough to call after every change of a whole series).
    void Refresh();
    // Middle of a point's bar in the view's coordinates (where a click hits it).
    QPoint BarCentre(int series, int index) const;

signals:
    // A press on a bar of that series.
    void SeriesClicked(int series);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    struct TSeries;
    struct TMarkItem {
        QGraphicsRectItem* Box;   // the mark's box; its text is a child
        int Series, Index;
    };
    bool Valid(int series) const;
    bool Stacked() const;
    int CategoryCount() const;
    std::pair<double, double> CategoryExtent(int index) const;
    void UpdateAxis();
    void SetValueRange(double minimum, double maximum);
    void Changed();
    void ScheduleRefresh();
    void RebuildItems();
    void PlaceMarks();
    void ApplyMargins();
    std::vector<std::unique_ptr<TSeries>> series_;
    QChart* chart_;
    QAbstractBarSeries* bars_;
    QBarCategoryAxis* axisCategories_;
    QValueAxis* axisValues_;
    bool automatic_ = true;
    bool refreshPending_ = false;
    int leftMargin_ = 0;     // the category texts
    qreal markRoom_ = 0;     // right of the plot, for marks beyond the axis end
    std::vector<QGraphicsItem*> items_;   // categories and marks, owned by the chart
    std::vector<QGraphicsSimpleTextItem*> categoryItems_;
    std::vector<TMarkItem> markItems_;
};
