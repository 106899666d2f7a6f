#include "KvBarChart.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QBrush>
#include <QChart>
#include <QFont>
#include <QFontMetricsF>
#include <QGraphicsLayout>
#include <QGraphicsRectItem>
#include <QGraphicsSimpleTextItem>
#include <QHorizontalBarSeries>
#include <QHorizontalStackedBarSeries>
#include <QLegend>
#include <QPen>
#include <QTimer>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

#include "KvFonts.h"
#include "KvNumFormat.h"

namespace {
constexpr int kCategoryPixels = 10;
constexpr int kMarkPixels = 10;
constexpr int kCategoryGap = 4;
constexpr int kRightMargin = 10;
constexpr int kMarkPadding = 2;
constexpr qreal kMarkZ = 10;
constexpr double kHeadroom = 1.15;     // room right of the longest bar for its mark
constexpr int kTargetTicks = 6;
constexpr double kDefaultBarWidth = 0.6;
constexpr double kLeastShare = 0.1;      // of the plot's width where a bar ends
constexpr double kMostMarkRoom = 0.5;    // of the chart's width given to marks

// Smallest of 1, 2, 2.5, 5 times a power of ten that is >= value (> 0).
double NiceCeil(double value) {
    const double power = std::pow(10.0, std::floor(std::log10(value)));
    for (double step : {1.0, 2.0, 2.5, 5.0, 10.0})
        if (step * power >= value) return step * power;
    return 10 * power;
}

// value rounded up to a whole number of nice tick steps (about six of
// them): 113,049 gives 120,000, where a nice number alone would give 200,000.
double NiceMaximum(double value) {
    const double step = AxisTickStep(value);
    return std::ceil(value / step) * step;
}

}  // namespace

double AxisTickStep(double span) { return span > 0 ? NiceCeil(span / kTargetTicks) : 1; }

namespace {
QString ValueText(double value) { return QString::fromStdString(FormatGrouped(value)); }

QFont SmallFont(int pixels) {
    QFont font(kJapaneseFontFamily);
    font.setPixelSize(pixels);
    return font;
}
}  // namespace

struct TKvBarChart::TSeries {
    QString Name, Title;
    QColor Colour;
    std::vector<TKvBarPoint> Points;
    TKvMarks Marks;
    QBarSet* Set = nullptr;   // owned by the chart's bar series
};

TKvBarChart::TKvBarChart(QWidget* parent, bool stacked)
    // The view is given its chart at construction: a view made without one
    // makes a default chart that setChart() would leave to no owner.
    : QChartView(new QChart(), parent), chart_(chart()) {
    if (stacked)
        bars_ = new QHorizontalStackedBarSeries();
    else
        bars_ = new QHorizontalBarSeries();
    bars_->setBarWidth(kDefaultBarWidth);
    chart_->addSeries(bars_);
    axisValues_ = new QValueAxis();
    axisValues_->setLabelFormat("%.0f");
    axisValues_->setMinorTickCount(0);
    axisValues_->setTickType(QValueAxis::TicksDynamic);
    axisValues_->setTickAnchor(0);
    axisCategories_ = new QBarCategoryAxis();
    // The axis cuts a label taller than its band short, as the full-width
    // hour labels are: the category texts are drawn by the chart itself.
    axisCategories_->setLabelsVisible(false);
    chart_->addAxis(axisValues_, Qt::AlignBottom);
    chart_->addAxis(axisCategories_, Qt::AlignLeft);
    bars_->attachAxis(axisValues_);
    bars_->attachAxis(axisCategories_);
    chart_->legend()->setAlignment(Qt::AlignTop);
    chart_->legend()->hide();
    // No padding inside the chart's frame: in a low chart the padding takes
    // the height the axis labels need, and they are cut to "...".
    chart_->layout()->setContentsMargins(0, 0, 0, 0);
    setRubberBand(QChartView::NoRubberBand);
    setRenderHint(QPainter::Antialiasing);
    connect(chart_, &QChart::plotAreaChanged, this, [this] { PlaceMarks(); });
    UpdateAxis();
}

TKvBarChart::~TKvBarChart() = default;

int TKvBarChart::AddSeries(const QString& name, const QString& title, const QColor& colour) {
    auto owned = std::make_unique<TSeries>();
    TSeries* s = owned.get();
    s->Name = name;
    s->Title = title;
    s->Colour = colour;
    s->Marks.Back = colour;
    s->Set = new QBarSet(title);
    s->Set->setColor(colour);
    // No outline: an empty point (value 0) must leave no trace.
    s->Set->setPen(Qt::NoPen);
    bars_->append(s->Set);
    const int index = static_cast<int>(series_.size());
    connect(s->Set, &QBarSet::pressed, this, [this, index] { emit SeriesClicked(index); });
    series_.push_back(std::move(owned));
    ScheduleRefresh();
    return index;
}

int TKvBarChart::SeriesCount() const { return static_cast<int>(series_.size()); }

int TKvBarChart::SeriesIndex(const QString& name) const {
    for (size_t i = 0; i < series_.size(); ++i)
        if (series_[i]->Name == name) return static_cast<int>(i);
    return -1;
}

bool TKvBarChart::Valid(int series) const {
    return series >= 0 && series < static_cast<int>(series_.size());
}

QString TKvBarChart::SeriesTitle(int series) const {
    return Valid(series) ? series_[series]->Title : QString();
}

void TKvBarChart::Clear(int series) {
    if (!Valid(series)) return;
    series_[series]->Points.clear();
    Changed();
}

void TKvBarChart::Add(int series, double value, const QString& label) {
    if (!Valid(series)) return;
    series_[series]->Points.push_back({value, label, false});
    Changed();
}

void TKvBarChart::AddNull(int series, const QString& label) {
    if (!Valid(series)) return;
    series_[series]->Points.push_back({0, label, true});
    Changed();
}

int TKvBarChart::PointCount(int series) const {
    return Valid(series) ? static_cast<int>(series_[series]->Points.size()) : 0;
}

TKvBarPoint TKvBarChart::Point(int series, int index) const {
    if (!Valid(series) || index < 0 || index >= PointCount(series)) return {0, QString(), true};
    return series_[series]->Points[index];
}

void TKvBarChart::SetMarks(int series, const TKvMarks& marks) {
    if (!Valid(series)) return;
    series_[series]->Marks = marks;
    ScheduleRefresh();
}

TKvMarks TKvBarChart::Marks(int series) const { return Valid(series) ? series_[series]->Marks : TKvMarks{}; }

QString TKvBarChart::MarkText(int series, int index) const {
    if (!Valid(series) || index < 0 || index >= PointCount(series)) return QString();
    const TSeries& s = *series_[series];
    const TKvBarPoint& p = s.Points[index];
    if (!s.Marks.Visible || p.Empty) return QString();
    return s.Marks.Style == TKvMarks::ShowLabel ? p.Label : ValueText(p.Value);
}

void TKvBarChart::SetBottomAutomatic(bool automatic) {
    automatic_ = automatic;
    UpdateAxis();
}

double TKvBarChart::AxisMaximumAbove(double largest) { return NiceMaximum(largest * kHeadroom); }

void TKvBarChart::SetBottomRange(double minimum, double maximum) {
    automatic_ = false;
    SetValueRange(minimum, maximum);
}

double TKvBarChart::BottomMinimum() const { return axisValues_->min(); }
double TKvBarChart::BottomMaximum() const { return axisValues_->max(); }

void TKvBarChart::SetBottomTitle(const QString& title) { axisValues_->setTitleText(title); }

void TKvBarChart::SetBottomMinorTicks(int count) { axisValues_->setMinorTickCount(count); }

void TKvBarChart::SetLegendVisible(bool visible) { chart_->legend()->setVisible(visible); }

void TKvBarChart::SetTitle(const QString& title) { chart_->setTitle(title); }

void TKvBarChart::SetBarWidthPercent(int percent) { bars_->setBarWidth(percent / 100.0); }

void TKvBarChart::SetTextPixelSize(int pixels) {
    const QFont font = SmallFont(pixels);
    chart_->setTitleFont(font);
    chart_->legend()->setFont(font);
    axisValues_->setLabelsFont(font);
    axisValues_->setTitleFont(font);
}

int TKvBarChart::CategoryCount() const { return series_.empty() ? 0 : PointCount(0); }

// Lowest and highest end of the bars of one category.
std::pair<double, double> TKvBarChart::CategoryExtent(int index) const {
    double low = 0, high = 0, positive = 0, negative = 0;
    for (const auto& s : series_) {
        if (index >= static_cast<int>(s->Points.size()) || s->Points[index].Empty) continue;
        const double v = s->Points[index].Value;
        if (Stacked()) {
            (v >= 0 ? positive : negative) += v;
            low = std::min(low, negative);
            high = std::max(high, positive);
        } else {
            low = std::min(low, v);
            high = std::max(high, v);
        }
    }
    return {low, high};
}

bool TKvBarChart::Stacked() const { return bars_->type() == QAbstractSeries::SeriesTypeHorizontalStackedBar; }

void TKvBarChart::UpdateAxis() {
    if (!automatic_) return;
    double low = 0, high = 0;
    int count = 0;
    for (const auto& s : series_) count = std::max(count, static_cast<int>(s->Points.size()));
    for (int i = 0; i < count; ++i) {
        const auto [l, h] = CategoryExtent(i);
        low = std::min(low, l);
        high = std::max(high, h);
    }
    // Without bars the axis still counts in whole numbers.
    constexpr double kEmptyMaximum = 10;
    const double maximum = high > 0 ? AxisMaximumAbove(high) : kEmptyMaximum;
    const double minimum = low < 0 ? -NiceMaximum(-low * kHeadroom) : 0;
    SetValueRange(minimum, maximum);
}

void TKvBarChart::SetValueRange(double minimum, double maximum) {
    const double span = maximum - minimum;
    const double interval = span > 0 ? AxisTickStep(span) : axisValues_->tickInterval();
    // Range and tick interval change one after the other: in between, the
    // axis must not have thousands of ticks to lay out.
    if (interval > axisValues_->tickInterval()) {
        axisValues_->setTickInterval(interval);
        axisValues_->setRange(minimum, maximum);
    } else {
        axisValues_->setRange(minimum, maximum);
        axisValues_->setTickInterval(interval);
    }
}

void TKvBarChart::Changed() {
    UpdateAxis();
    ScheduleRefresh();
}

void TKvBarChart::ScheduleRefresh() {
    if (refreshPending_) return;
    refreshPending_ = true;
    // A day adds dozens of points one by one: redraw once, afterwards.
    QTimer::singleShot(0, this, [this] {
        if (refreshPending_) Refresh();
    });
}

void TKvBarChart::Refresh() {
    refreshPending_ = false;
    UpdateAxis();
    const int categories = CategoryCount();
    for (const auto& s : series_) {
        QList<qreal> values;
        for (int i = 0; i < categories; ++i) {
            const bool has = i < static_cast<int>(s->Points.size()) && !s->Points[i].Empty;
            values << (has ? s->Points[i].Value : 0.0);
        }
        s->Set->remove(0, s->Set->count());
        s->Set->append(values);
    }
    QStringList names;   // unique per category; the texts are drawn separately
    for (int i = 0; i < categories; ++i) names << QString::number(i);
    if (axisCategories_->categories() != names) axisCategories_->setCategories(names);
    RebuildItems();
    PlaceMarks();
}

void TKvBarChart::RebuildItems() {
    for (QGraphicsItem* item : items_) delete item;
    items_.clear();
    categoryItems_.clear();
    markItems_.clear();
    const QFont categoryFont = SmallFont(kCategoryPixels);
    qreal widest = 0;
    for (int i = 0; i < CategoryCount(); ++i) {
        auto* text = new QGraphicsSimpleTextItem(series_[0]->Points[i].Label, chart_);
        text->setFont(categoryFont);
        widest = std::max(widest, text->boundingRect().width());
        categoryItems_.push_back(text);
        items_.push_back(text);
    }
    const int left = categoryItems_.empty() ? 0 : static_cast<int>(std::ceil(widest)) + kCategoryGap;
    leftMargin_ = left;
    markRoom_ = 0;
    ApplyMargins();

    const QFont markFont = SmallFont(kMarkPixels);
    for (int s = 0; s < SeriesCount(); ++s) {
        const TKvMarks& marks = series_[s]->Marks;
        for (int i = 0; i < PointCount(s) && i < CategoryCount(); ++i) {
            const QString text = MarkText(s, i);
            if (text.isEmpty()) continue;
            auto* box = new QGraphicsRectItem(chart_);
            box->setBrush(marks.Back);
            box->setPen(QPen(Qt::gray));
            box->setZValue(kMarkZ);
            auto* label = new QGraphicsSimpleTextItem(text, box);
            label->setFont(markFont);
            label->setBrush(marks.Text);
            label->setPos(kMarkPadding, 0);
            const QRectF r = label->boundingRect();
            box->setRect(0, 0, r.width() + 2 * kMarkPadding, r.height());
            markItems_.push_back({box, s, i});
            items_.push_back(box);
        }
    }
}

void TKvBarChart::ApplyMargins() {
    chart_->setMargins(QMargins(leftMargin_, 0, kRightMargin + static_cast<int>(std::ceil(markRoom_)), 0));
}

void TKvBarChart::PlaceMarks() {
    if (series_.empty()) return;
    const QRectF plot = chart_->plotArea();
    const qreal chartWidth = chart_->size().width();
    qreal roomWanted = 0;   // more right margin, so that the marks fit
    // Right end of the last mark placed in each category: the marks of the
    // parts of one stack are placed in series order, and a mark never
    // covers the one before it.
    std::vector<qreal> placedRight(static_cast<size_t>(CategoryCount()), -1);
    for (int i = 0; i < static_cast<int>(categoryItems_.size()); ++i) {
        QGraphicsSimpleTextItem* item = categoryItems_[i];
        const QPointF centre = chart_->mapToPosition(QPointF(0, i), bars_);
        const QRectF box = item->boundingRect();
        item->setPos(plot.left() - box.width() - kCategoryGap, centre.y() - box.height() / 2);
    }
    const int setCount = SeriesCount();
    const double width = bars_->barWidth();
    for (const TMarkItem& mark : markItems_) {
        const TSeries& s = *series_[mark.Series];
        const double value = s.Points[mark.Index].Value;
        double end = value, y = mark.Index;
        if (Stacked()) {
            // The bar's end: the sum of this and the lower series on its side.
            end = 0;
            for (int k = 0; k <= mark.Series; ++k) {
                const TSeries& lower = *series_[k];
                if (mark.Index >= static_cast<int>(lower.Points.size()) || lower.Points[mark.Index].Empty) continue;
                const double v = lower.Points[mark.Index].Value;
                if ((v >= 0) == (value >= 0)) end += v;
            }
        } else {
            y = mark.Index - width / 2 + (mark.Series + 0.5) * width / setCount;
        }
        const QPointF at = chart_->mapToPosition(QPointF(end, y), bars_);
        const QRectF box = mark.Box->rect();
        qreal x = value >= 0 ? at.x() + s.Marks.ArrowLength : at.x() - s.Marks.ArrowLength - box.width();
        if (value >= 0 && Stacked() && mark.Index < static_cast<int>(placedRight.size()))
            x = std::max(x, placedRight[static_cast<size_t>(mark.Index)] + 1);
        const qreal overflow = x + box.width() - (chartWidth - 1);
        if (value >= 0 && overflow > 0 && plot.width() > 0) {
            // A narrower plot moves the bar's end left by its share of the width.
            const qreal share = std::max<qreal>(kLeastShare, (at.x() - plot.left()) / plot.width());
            roomWanted = std::max(roomWanted, overflow / share);
        }
        // Whatever room there is: the mark stops at the chart's edge, whole.
        x = std::max<qreal>(0, std::min<qreal>(x, chartWidth - box.width() - 1));
        mark.Box->setPos(x, at.y() - box.height() / 2);
        if (value >= 0 && mark.Index < static_cast<int>(placedRight.size()))
            placedRight[static_cast<size_t>(mark.Index)] = x + box.width();
    }
    // A long arrow off a bar near the axis end (the latch charts' counts)
    // gets room right of the plot; the chart lays out again and comes back.
    if (roomWanted > 0 && markRoom_ + roomWanted <= chartWidth * kMostMarkRoom) {
        markRoom_ += roomWanted;
        ApplyMargins();
    }
}

QPoint TKvBarChart::BarCentre(int series, int index) const {
    if (!Valid(series) || index < 0 || index >= PointCount(series)) return {};
    double start = 0;
    if (Stacked())
        for (int k = 0; k < series; ++k)
            if (index < PointCount(k) && !series_[k]->Points[index].Empty) start += series_[k]->Points[index].Value;
    const double value = series_[series]->Points[index].Value;
    double y = index;
    if (!Stacked()) y = index - bars_->barWidth() / 2 + (series + 0.5) * bars_->barWidth() / SeriesCount();
    const QPointF inChart = chart_->mapToPosition(QPointF(start + value / 2, y), bars_);
    return mapFromScene(chart_->mapToScene(inChart));
}

void TKvBarChart::resizeEvent(QResizeEvent* event) {
    QChartView::resizeEvent(event);
    markRoom_ = 0;   // measured again for the new size
    ApplyMargins();
    PlaceMarks();
}
