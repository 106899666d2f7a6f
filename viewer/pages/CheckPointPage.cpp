#include "CheckPointPage.h"
#include "KvFonts.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QGraphicsSimpleTextItem>
#include <QHBoxLayout>
#include <QHorizontalBarSeries>
#include <QLabel>
#include <QScrollBar>
#include <QValueAxis>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>

#include "KvBarChart.h"
#include "KvHourLabel.h"
#include "KvNumFormat.h"
#include "KvOracle.h"
#include "KvText.h"
#include "KvPageSql.h"
#include "KvStringGrid.h"
#include "ODBCCall.h"

namespace {
constexpr int kTopMargin = 10;
constexpr int kDateGridWidth = 151;
constexpr int kGap = 5;
constexpr int kRowHeight = 18;
constexpr int kHours = 24;
constexpr int kHourLabelPixels = 10;
constexpr int kHourLabelWidth = 64, kHourLabelGap = 4, kChartRightMargin = 10;
const char* const kJapaneseFace = kJapaneseFontFamily;
constexpr int kSeriesColour = 4227327;   // orange
constexpr int kMaxPanelWidth = 116, kMaxPanelHeight = 23, kMaxPanelMargin = 5;
constexpr int kDefaultMaxItem = 1;       // "50"
const char* const kMaxItems[] = {"10", "50", "100", "500", "1000", "1500", "2000"};
const char* const kGuide = "時間帯ごとの回数を表示するには日付を選択して下さい。";

constexpr int kDateCol = 0, kCountCol = 1;
}  // namespace

TCheckPointPage::TCheckPointPage(TViewerContext& ctx, QWidget* parent)
    : TKvLivePage(ctx, parent), grdDate2(std::make_unique<TStringTable>(1, 0, 1, 2)) {
    setObjectName("tabCheckPoint");
    grdDate = new TKvStringGrid("grdDate", 1, 0, this);
    grdDate->setFixedWidth(kDateGridWidth);
    grdDate->ConnectSelectCell(this, &TCheckPointPage::grdDateSelectCell);
    grdDate->ConnectDrawCell(this, &TCheckPointPage::grdDateDrawCell);
    BuildChart();

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, kTopMargin, 0, 0);
    layout->setSpacing(kGap);
    layout->addWidget(grdDate);
    layout->addWidget(ChartCnt, 1);
}

TCheckPointPage::~TCheckPointPage() = default;

void TCheckPointPage::BuildChart() {
    chart_ = new QChart();
    chart_->setTitle(QString::fromUtf8("時間帯別ﾁｪｯｸﾎﾟｲﾝﾄ回数"));
    chart_->legend()->hide();
    seriesChkPnt = new QHorizontalBarSeries();
    seriesChkPnt->setBarWidth(0.5);
    seriesChkPnt->setLabelsVisible(true);
    seriesChkPnt->setLabelsPosition(QAbstractBarSeries::LabelsOutsideEnd);
    bars_ = new QBarSet(QString());
    bars_->setColor(ColourValue(kSeriesColour));
    bars_->setBorderColor(Qt::gray);
    bars_->setLabelColor(Qt::black);
    seriesChkPnt->append(bars_);
    chart_->addSeries(seriesChkPnt);

    axisX_ = new QValueAxis();
    axisX_->setTitleText(QString::fromUtf8("(回数)"));
    axisX_->setMinorTickCount(0);
    axisX_->setLabelFormat("%d");
    // Ticks at whole steps from 0: a tick between two counts ("12" for 12.5)
    // would be labelled with the wrong number.
    axisX_->setTickType(QValueAxis::TicksDynamic);
    axisX_->setTickAnchor(0);
    axisY_ = new QBarCategoryAxis();
    // The 24 hour labels never change; only the bar values are reloaded.
    QStringList labels;
    for (int h = kHours - 1; h >= 0; --h) labels << QString::fromStdString(HourLabel(h));
    axisY_->append(labels);
    // The chart's axis cuts a label taller than its band short, and the
    // full-width "～" makes every label so: the page draws them itself.
    axisY_->setLabelsVisible(false);
    chart_->setMargins(QMargins(kHourLabelWidth, 0, kChartRightMargin, 0));
    QFont labelFont(kJapaneseFace);
    labelFont.setPixelSize(kHourLabelPixels);
    for (const QString& text : labels) {
        auto* item = new QGraphicsSimpleTextItem(text, chart_);
        item->setFont(labelFont);
        hourLabels_.push_back(item);
    }
    connect(chart_, &QChart::plotAreaChanged, this, [this] { PlaceHourLabels(); });
    chart_->addAxis(axisX_, Qt::AlignBottom);
    chart_->addAxis(axisY_, Qt::AlignLeft);
    seriesChkPnt->attachAxis(axisX_);
    seriesChkPnt->attachAxis(axisY_);

    ChartCnt = new QChartView(chart_, this);
    ChartCnt->setObjectName("ChartCnt");
    ChartCnt->setRubberBand(QChartView::NoRubberBand);

    lblCPDate = new QLabel(ChartCnt);
    lblCPDate->setObjectName("lblCPDate");
    lblCPDate->setStyleSheet("color: red; background: transparent;");
    lblCPDate->move(10, 10);
    lblCPDate->resize(200, 18);

    pnlChkMax = new QFrame(ChartCnt);
    pnlChkMax->setObjectName("pnlChkMax");
    pnlChkMax->setFixedSize(kMaxPanelWidth, kMaxPanelHeight);
    auto* maxLayout = new QHBoxLayout(pnlChkMax);
    maxLayout->setContentsMargins(0, 0, 0, 0);
    maxLayout->setSpacing(2);
    auto* caption = new QLabel(QString::fromUtf8("最大"), pnlChkMax);
    caption->setFrameShape(QFrame::Panel);
    caption->setAlignment(Qt::AlignCenter);
    cmbMax = new QComboBox(pnlChkMax);
    cmbMax->setObjectName("cmbMax");
    for (const char* item : kMaxItems) cmbMax->addItem(item);
    maxLayout->addWidget(caption);
    maxLayout->addWidget(cmbMax, 1);
    connect(cmbMax, &QComboBox::activated, this, &TCheckPointPage::cmbMaxChange);
    ChartCnt->installEventFilter(this);
    SetCmbMaxYellow(false);
}

bool TCheckPointPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ChartCnt && event->type() == QEvent::Resize) PlaceMaxPanel();
    return TKvLivePage::eventFilter(watched, event);
}

void TCheckPointPage::PlaceHourLabels() {
    const QRectF plot = chart_->plotArea();
    for (int i = 0; i < static_cast<int>(hourLabels_.size()); ++i) {
        QGraphicsSimpleTextItem* item = hourLabels_[i];
        const QPointF centre = chart_->mapToPosition(QPointF(0, i), seriesChkPnt);
        const QRectF box = item->boundingRect();
        item->setPos(plot.left() - box.width() - kHourLabelGap, centre.y() - box.height() / 2);
    }
}

void TCheckPointPage::PlaceMaxPanel() {
    pnlChkMax->move(ChartCnt->width() - pnlChkMax->width() - kMaxPanelMargin,
                    ChartCnt->height() - pnlChkMax->height() - kMaxPanelMargin);
}

void TCheckPointPage::FitDateGridWidth() {
    const int columns = grdDate->ColWidth(0) + grdDate->ColWidth(1);
    const int frame = 2 * grdDate->frameWidth();
    const int scrollBar = grdDate->verticalScrollBar()->sizeHint().width();
    grdDate->setFixedWidth(std::max(kDateGridWidth, columns + frame + scrollBar));
}

void TCheckPointPage::InitMainForm() {
    SetUpGrid(*grdDate, {{"Date", 92}, {"Count", 38}}, kRowHeight);
    FitDateGridWidth();
    grdDate->SetRowCount(2);
    cmbMax->setCurrentIndex(kDefaultMaxItem);
    SetAxisMax(SelectedMax());
}

QString TCheckPointPage::Guide() const {
    const QString guide = QString::fromUtf8(kGuide);
    return fileError_.isEmpty() ? guide : fileError_ + "  " + guide;
}

std::vector<TKvPage::SortableGrid> TCheckPointPage::SortableGrids() const { return {{grdDate, 0}}; }

void TCheckPointPage::LoadPage(bool) { LoadCheckPointDays(); }

int TCheckPointPage::SelectedMax() const { return cmbMax->currentText().toInt(); }

void TCheckPointPage::SetCmbMaxYellow(bool yellow) {
    cmbMaxYellow_ = yellow;
    cmbMax->setStyleSheet(yellow ? "QComboBox { background: yellow; }"
                                 : "QComboBox { background: white; }");
}

void TCheckPointPage::cmbMaxChange() { SetAxisMax(SelectedMax()); }

void TCheckPointPage::SetAxisMax(double max) {
    // The interval changes first when it grows, so that the axis never has
    // thousands of ticks to lay out in between.
    const double interval = AxisTickStep(max);
    if (interval > axisX_->tickInterval()) {
        axisX_->setTickInterval(interval);
        axisX_->setRange(0, max);
    } else {
        axisX_->setRange(0, max);
        axisX_->setTickInterval(interval);
    }
}

bool TCheckPointPage::grdDateSelectCell(int, int row) {
    if (row != grdDate->Row() && !grdDate->CellText(kDateCol, row).isEmpty()) LoadCheckPointHours(row);
    return true;
}

void TCheckPointPage::grdDateDrawCell(int col, int, TKvStringGrid::CellStyle& style) const {
    style.RightAlign = col == kCountCol;
}

void TCheckPointPage::LoadCheckPointDays() {
    ClearToOneRow(*grdDate);
    grdDate2->SetRowCount(2);
    grdDate2->SetCell(0, 1, "");
    int taken = 0;
    try {
        TKvRowSource& rows = Rows();
        rows.Run(kvsql::CheckPointDays(ctx_.OracleVersion, SortCol(0), SortDir(0)));
        TKvGridFill fill(*grdDate);
        while (fill.Filled() < kCheckPointMaxDays && rows.Fetch()) {
            const int r = fill.NextRow();
            grdDate->SetCell(0, r, rows.Column(2));
            grdDate->SetCell(1, r, rows.Column(4));
            if (grdDate2->RowCount() < r + 1) grdDate2->SetRowCount(r + 1);
            grdDate2->SetCell(0, r, rows.Column(3));
        }
        taken = fill.Filled();
        fill.Finish(false);
        grdDate2->SetRowCount(grdDate->RowCount());
    } catch (const EODBCError& e) {
        ShowError(e);
        return;
    }
    fileError_.clear();
    if (taken > 0) WriteHistoryFile();
    LoadCheckPointHours(1);
    SetMessage(Guide());
}

// A failure is reported and the load goes on: the data directory may not
// exist yet while the collector is still starting.
void TCheckPointPage::WriteHistoryFile() {
    std::vector<CheckPointDay> days;
    for (int r = 1; r < grdDate->RowCount(); ++r) days.push_back({grdDate2->Cell(0, r), grdDate->Cell(1, r)});
    if (WriteCheckPointFile(ctx_.DataDir, days)) return;
    const int err = errno;
    fileError_ = QString::fromUtf8("ﾁｪｯｸﾎﾟｲﾝﾄ履歴 [ %1 ] を書き込めませんでした。(%2)")
                     .arg(QString::fromStdString(ctx_.DataDir + "/" + kCheckPointFileName),
                          QString::fromLocal8Bit(std::strerror(err)));
}

void TCheckPointPage::LoadCheckPointHours(int row) {
    SetAxisMax(SelectedMax());
    bars_->remove(0, bars_->count());
    SetCmbMaxYellow(false);
    int max = 0;
    lblCPDate->setText(grdDate->CellText(0, row));
    QList<qreal> values;
    // Counts by hour label, so the bars never depend on the order the
    // database sorted the labels in.
    std::map<std::string, int> counts;
    int lowest = 0;   // the bars drawn go down to this hour
    try {
        TKvRowSource& rows = Rows();
        rows.Run(CheckPointHoursSql(ctx_.OracleVersion), {Trim(grdDate2->Cell(0, row))});
        while (rows.Fetch()) counts[rows.Column(1)] = static_cast<int>(StrToFloatOrZero(rows.Column(2)));
    } catch (const EODBCError& e) {
        ShowError(e);
        // The rows came from the latest hour down: the bars of the hours
        // read so far stay, the others are not drawn.
        lowest = kHours;
        for (const auto& [label, count] : counts) lowest = std::min(lowest, static_cast<int>(StrToFloatOrZero(label)));
    }
    for (int h = kHours - 1; h >= lowest; --h) {
        const auto found = counts.find(QString::asprintf("%2.2d", h).toStdString());
        const int value = found == counts.end() ? 0 : found->second;
        max = std::max(max, value);
        values << value;
    }
    bars_->append(values);
    if (max > axisX_->max()) {
        SetAxisMax(max);
        SetCmbMaxYellow(true);
    }
}

double TCheckPointPage::AxisMax() const { return axisX_->max(); }

double TCheckPointPage::BarValue(int hour) const {
    const int index = kHours - 1 - hour;
    return index >= 0 && index < bars_->count() ? bars_->at(index) : -1;
}

QString TCheckPointPage::BarLabel(int hour) const {
    const int index = kHours - 1 - hour;
    return index >= 0 && index < axisY_->count() ? axisY_->at(index) : QString();
}
