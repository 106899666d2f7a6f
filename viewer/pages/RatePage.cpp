#include "RatePage.h"

#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "KvBarChart.h"
#include "KvCom.h"
#include "KvDayListGrid.h"
#include "KvDayList.h"
#include "KvFonts.h"
#include "KvHourLabel.h"
#include "KvNumFormat.h"
#include "KvStatRecords.h"
#include "KvText.h"
#include "ODBCCall.h"

namespace {
constexpr int kTopMargin = 10;
constexpr int kGap = 5;
constexpr int kDateGridWidth = 110;
constexpr int kDateColWidth = 90;
constexpr int kDateRowHeight = 18;
constexpr int kSqlColWidth = 100;
constexpr int kSqlRowHeight = 16;
constexpr int kSqlRows = kHoursPerDay + 1;
constexpr int kBandHeight = 22;
constexpr int kBarWidthPercent = 60;
constexpr int kCpuAxisMax = 100;
constexpr int kPageOutAxisMax = 40;
constexpr int kMaxPanelWidth = 116, kMaxPanelHeight = 23, kMaxPanelMargin = 5;
constexpr int kNoMemorySampleMin = 999999999;   // the collector's lowest figure before any sample
const char* const kMaxItems[] = {"10", "50", "100", "500", "1000", "1500", "2000"};

// Raw-table columns (OR layout).
constexpr int colHour = 2, colSelect = 3, colDelete = 6, colCpuMax = 7, colCpuMin = 8, colLogins = 9,
              colInstalled = 10, colMemMax = 11, colMemMin = 12, colPageOuts = 13;

// Pages of pageRate, in tab order.
enum { tabORSQLcnt, tabORCPU, tabORLoginC, tabORMemUse, tabORPageOut };

const char* const kGuide = "表示する日付を選択して下さい。";
const char* const kNoData = "データがありません。";
const char* const kBusy = "データ更新中のため読込できませんでした。";

const QColor kOrange(255, 128, 64);
const QColor kAqua(0, 255, 255);
const QColor kLightAqua(128, 255, 255);
const QColor kBlue(0, 128, 255);
const QColor kPink(255, 128, 192);
const QColor kMarkBack(255, 255, 225);

QString ChartHourLabel(int hour) { return QString::fromStdString(HourLabel(hour)); }

// The walk from the last row upwards: the pointer moves only past a matching row.
class THourWalk {
public:
    explicit THourWalk(const TStringTable& table) : table_(table), row_(table.RowCount() - 1) {}
    int RowOf(int hour) {
        if (row_ < 1 || table_.Cell(colHour, row_) != std::to_string(hour)) return 0;
        const int found = row_;
        if (row_ > 1) --row_;
        return found;
    }

private:
    const TStringTable& table_;
    int row_;
};

TKvMarks MarksShowing(TKvMarks::TStyle style) {
    TKvMarks marks;
    marks.Visible = true;
    marks.Style = style;
    marks.Back = kMarkBack;
    return marks;
}

TKvBarChart* MakeChart(const char* name, bool stacked, QWidget* parent) {
    auto* chart = new TKvBarChart(parent, stacked);
    chart->setObjectName(name);
    return chart;
}

void AddSeries(TKvBarChart* chart, const char* name, const char* title, const QColor& colour,
               TKvMarks::TStyle marks) {
    const int s = chart->AddSeries(name, QString::fromUtf8(title), colour);
    chart->SetMarks(s, MarksShowing(marks));
}

QComboBox* MakeMaxCombo(const char* name, QWidget* parent) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(name);
    for (const char* item : kMaxItems) combo->addItem(item);
    combo->setCurrentIndex(-1);
    return combo;
}

// Grey band with the navy title bar: the date label at the left, the caption beside it.
QWidget* MakeTitleBand(const char* caption, const char* labelName, QLabel*& dateLabel, QWidget* parent) {
    auto* band = new QFrame(parent);
    band->setFixedHeight(kBandHeight);
    band->setStyleSheet("QFrame { background: #c0c0c0; }");
    auto* bar = new QFrame(band);
    bar->setStyleSheet("QFrame { background: navy; } QLabel { color: white; background: transparent; }");
    auto* bandLayout = new QHBoxLayout(band);
    bandLayout->setContentsMargins(2, 2, 2, 2);
    bandLayout->addWidget(bar);
    auto* barLayout = new QHBoxLayout(bar);
    barLayout->setContentsMargins(4, 0, 4, 0);
    dateLabel = new QLabel(bar);
    dateLabel->setObjectName(labelName);
    dateLabel->setMinimumWidth(110);
    auto* title = new QLabel(QString::fromUtf8(caption), bar);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    barLayout->addWidget(dateLabel);
    barLayout->addWidget(title, 1);
    return band;
}

QWidget* MakeTab(QWidget* band, QWidget* view) {
    auto* tab = new QWidget();
    auto* layout = new QVBoxLayout(tab);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(band);
    layout->addWidget(view, 1);
    return tab;
}

void PaintCombo(QComboBox* combo, bool yellow) {
    combo->setStyleSheet(yellow ? "QComboBox { background: rgb(255, 255, 0); }"
                                : "QComboBox { background: white; }");
}
}  // namespace

TRatePage::TRatePage(TViewerContext& ctx, QWidget* parent)
    : TKvLivePage(ctx, parent),
      grddateKa2(std::make_unique<TStringTable>(1, 0, 1, 2)),
      grdCont(std::make_unique<TStringTable>(1, 0, kORColumns, 2)) {
    setObjectName("tabRate");
    grdDateKa = new TKvStringGrid("grdDateKa", 1, 0, this);
    grdDateKa->setFixedWidth(kDateGridWidth);
    grdDateKa->ConnectSelectCell(this, &TRatePage::grdDateKaSelectCell);
    grdDateKa->ConnectDrawCell(this, &TRatePage::grdDateKaDrawCell);
    BuildViews();

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, kTopMargin, 0, 0);
    layout->setSpacing(kGap);
    layout->addWidget(grdDateKa);
    layout->addWidget(pageRate, 1);
}

TRatePage::~TRatePage() = default;

void TRatePage::BuildViews() {
    pageRate = new QTabWidget(this);
    pageRate->setObjectName("pageRate");
    pageRate->tabBar()->setExpanding(false);

    grdSqlCnt = new TKvStringGrid("grdSqlCnt", 1, 1);
    pageRate->addTab(MakeTab(MakeTitleBand("ＳＱＬ発行数", "lblORSQL_Date", lblORSQL_Date, nullptr), grdSqlCnt),
                     QString::fromUtf8("ＳＱＬ発行数"));

    ChartRateCPU = MakeChart("ChartRateCPU", true, nullptr);
    ChartRateCPU->SetTitle(QString::fromUtf8("時間帯別ＣＰＵ使用率"));
    ChartRateCPU->SetLegendVisible(false);
    ChartRateCPU->SetBottomRange(0, kCpuAxisMax);
    ChartRateCPU->SetBottomTitle(QString::fromUtf8("(％)"));
    AddSeries(ChartRateCPU, "sCpu_Per", "", kOrange, TKvMarks::ShowValue);
    AddSeries(ChartRateCPU, "sCpu_PerS", "", kAqua, TKvMarks::ShowValue);
    pageRate->addTab(MakeTab(MakeTitleBand("ＣＰＵ使用率", "lblORCPU_Date", lblORCPU_Date, nullptr), ChartRateCPU),
                     QString::fromUtf8("ＣＰＵ使用率"));

    ChartCntLog = MakeChart("ChartCntLog", true, nullptr);
    ChartCntLog->SetBarWidthPercent(kBarWidthPercent);
    ChartCntLog->SetTitle(QString());
    ChartCntLog->SetLegendVisible(true);
    ChartCntLog->SetBottomAutomatic(true);
    ChartCntLog->SetBottomTitle(QString::fromUtf8("(台数)"));
    AddSeries(ChartCntLog, "sLog_cnt", "ログイン数", kOrange, TKvMarks::ShowValue);
    cmbLogMax = MakeMaxCombo("cmbLogMax", ChartCntLog);
    cmbLogMax->hide();
    connect(cmbLogMax, &QComboBox::activated, this, &TRatePage::cmbLogMaxChange);
    pageRate->addTab(MakeTab(MakeTitleBand("ログイン数", "lblORLog_Date", lblORLog_Date, nullptr), ChartCntLog),
                     QString::fromUtf8("ログイン数"));

    ChartRateFMem = MakeChart("ChartRateFMem", true, nullptr);
    ChartRateFMem->SetBarWidthPercent(kBarWidthPercent);
    ChartRateFMem->SetTitle(QString());
    ChartRateFMem->SetLegendVisible(true);
    ChartRateFMem->SetBottomAutomatic(true);
    ChartRateFMem->SetBottomTitle("(MB)");
    AddSeries(ChartRateFMem, "sSpa_Mem", "Ｍｉｎ", kLightAqua, TKvMarks::ShowValue);
    AddSeries(ChartRateFMem, "sSpa_MemS", "Ｍａｘ", kBlue, TKvMarks::ShowLabel);
    AddSeries(ChartRateFMem, "sSpa_Sys", "実装", kPink, TKvMarks::ShowLabel);
    pageRate->addTab(MakeTab(MakeTitleBand("メモリ使用量", "lblORMem_Date", lblORMem_Date, nullptr), ChartRateFMem),
                     QString::fromUtf8("メモリ使用率"));

    ChartCntPage = MakeChart("ChartCntPage", false, nullptr);
    ChartCntPage->SetTitle(QString::fromUtf8("時間帯別ページアウト回数"));
    ChartCntPage->SetLegendVisible(false);
    ChartCntPage->SetBottomRange(0, kPageOutAxisMax);
    ChartCntPage->SetBottomTitle(QString::fromUtf8("(回数)"));
    AddSeries(ChartCntPage, "sPage_out", "", kOrange, TKvMarks::ShowValue);
    pnlPagMax_ = new QFrame(ChartCntPage);
    pnlPagMax_->setObjectName("pnlPagMax");
    pnlPagMax_->setFixedSize(kMaxPanelWidth, kMaxPanelHeight);
    auto* maxLayout = new QHBoxLayout(pnlPagMax_);
    maxLayout->setContentsMargins(0, 0, 0, 0);
    maxLayout->setSpacing(2);
    auto* caption = new QLabel(QString::fromUtf8("最大"), pnlPagMax_);
    caption->setFrameShape(QFrame::Panel);
    caption->setAlignment(Qt::AlignCenter);
    cmbPagmax = MakeMaxCombo("cmbPagmax", pnlPagMax_);
    maxLayout->addWidget(caption);
    maxLayout->addWidget(cmbPagmax, 1);
    connect(cmbPagmax, &QComboBox::activated, this, &TRatePage::cmbPagmaxChange);
    ChartCntPage->installEventFilter(this);
    pageRate->addTab(MakeTab(MakeTitleBand("ページアウト", "lblORPage_Date", lblORPage_Date, nullptr), ChartCntPage),
                     QString::fromUtf8("ページアウト"));

    const char* const tabNames[] = {"tabORSQLcnt", "tabORCPU", "tabORLoginC", "tabORMemUse", "tabORPageOut"};
    for (int i = 0; i < pageRate->count(); ++i) pageRate->widget(i)->setObjectName(tabNames[i]);
    SetLogMaxYellow(false);
    SetPagMaxYellow(false);
}

bool TRatePage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ChartCntPage && event->type() == QEvent::Resize) PlaceMaxPanel();
    return TKvLivePage::eventFilter(watched, event);
}

void TRatePage::PlaceMaxPanel() {
    pnlPagMax_->move(ChartCntPage->width() - pnlPagMax_->width() - kMaxPanelMargin,
                     ChartCntPage->height() - pnlPagMax_->height() - kMaxPanelMargin);
}

void TRatePage::InitMainForm() {
    SetUpGrid(*grdDateKa, {{"Date", kDateColWidth}}, kDateRowHeight);
    grdDateKa->SetRowCount(2);
    SetUpGrid(*grdSqlCnt,
              {{"時間帯", kSqlColWidth}, {"SELECT(回)", kSqlColWidth}, {"INSERT(回)", kSqlColWidth},
               {"UPDATE(回)", kSqlColWidth}, {"DELETE(回)", kSqlColWidth}},
              kSqlRowHeight);
    grdSqlCnt->SetRowCount(kSqlRows);
    for (int h = 0; h < kHoursPerDay; ++h) grdSqlCnt->SetCell(0, h + 1, GridHourLabel(h));

    // The collector writes zeros into the statement, CPU and page-out
    // fields: those pages stay hidden.
    pageRate->setTabVisible(tabORSQLcnt, false);
    pageRate->setTabVisible(tabORCPU, false);
    pageRate->setTabVisible(tabORPageOut, false);
    pageRate->setTabVisible(tabORMemUse, ctx_.IsWinNT);
    pageRate->setCurrentIndex(tabORLoginC);

    for (QLabel* label : {lblORSQL_Date, lblORLog_Date, lblORCPU_Date, lblORMem_Date, lblORPage_Date})
        label->clear();
}

QString TRatePage::Guide() const {
    const QString guide = QString::fromUtf8(kGuide);
    return readProblem_.isEmpty() ? guide : readProblem_ + "  " + guide;
}

std::vector<TKvPage::SortableGrid> TRatePage::SortableGrids() const { return {{grdDateKa, 0}, {grdSqlCnt, 0}}; }

void TRatePage::LoadPage(bool) { LoadORDateList(); }

void TRatePage::LoadORDateList() {
    ClearMessage();
    readProblem_.clear();
    const bool newestFirst = SortCol(0) == -1 || SortDir(0) == "DESC";
    if (FillDayList(*grdDateKa, *grddateKa2, ctx_.DataDir, "OR", newestFirst) == 0) {
        SetMessage(QString::fromUtf8(kNoData));
        return;
    }
    if (ReadORFile(grddateKa2->Cell(0, 1))) ShowORDay(grdDateKa->CellText(0, 1));
}

bool TRatePage::ReadORFile(const std::string& day) {
    std::string content;
    if (!ReadWholeFileLocked(StatFileOfDay(ctx_.DataDir, "OR", day), content)) {
        readProblem_ = QString::fromUtf8(kBusy);
        SetMessage(readProblem_);
        return false;
    }
    const TStatTable table = ReadStatRecords(content, TStatLayout::OR);
    // Row 1 stays (empty) when the file holds no record: no hour has one.
    const int rows = std::max(2, static_cast<int>(table.Rows.size()) + 1);
    grdCont->Clear();
    grdCont->SetColCount(kORColumns);
    grdCont->SetRowCount(rows);
    for (size_t i = 0; i < table.Rows.size(); ++i)
        for (int c = 0; c < kORColumns && c < static_cast<int>(table.Rows[i].size()); ++c)
            grdCont->SetCell(c, static_cast<int>(i) + 1, table.Rows[i][c]);
    readProblem_ = QString::fromStdString(StatReadMessage(table.Report));
    if (!readProblem_.isEmpty()) SetMessage(readProblem_);
    return true;
}

void TRatePage::ShowORDay(const QString& label) {
    ShowSqlCounts(label);
    ShowCpuChart(label);
    ShowLoginChart(label);
    ShowMemoryChart(label);
    ShowPageOutChart(label);
}

double TRatePage::Figure(int row, int col) const {
    return row > 0 ? StrToFloatOrZero(grdCont->Cell(col, row)) : 0;
}

int TRatePage::SearchHourRow(int hour) const {
    if (Trim(grdCont->Cell(colHour, 1)).empty()) return 0;
    const std::string text = std::to_string(hour);
    for (int r = grdCont->RowCount() - 1; r >= 1; --r)
        if (grdCont->Cell(colHour, r) == text) return r;
    return 0;
}

void TRatePage::ShowSqlCounts(const QString& label) {
    lblORSQL_Date->setText(label);
    grdSqlCnt->ClearData();
    for (int h = 0; h < kHoursPerDay; ++h) {
        const int r = SearchHourRow(h);
        for (int c = colSelect; c <= colDelete; ++c)
            grdSqlCnt->SetCell(c - colSelect + 1, h + 1, r ? grdCont->Cell(c, r) : "0");
    }
}

void TRatePage::ShowCpuChart(const QString& label) {
    lblORCPU_Date->setText(label);
    const int low = ChartRateCPU->SeriesIndex("sCpu_Per"), high = ChartRateCPU->SeriesIndex("sCpu_PerS");
    ChartRateCPU->Clear(low);
    ChartRateCPU->Clear(high);
    for (int h = kHoursPerDay - 1; h >= 0; --h) {
        const int r = SearchHourRow(h);
        const double p = Figure(r, colCpuMin), q = Figure(r, colCpuMax);
        if (p != 0) ChartRateCPU->Add(low, p, ChartHourLabel(h));
        else ChartRateCPU->AddNull(low, ChartHourLabel(h));
        if (q != 0) ChartRateCPU->Add(high, q, " ");
        else ChartRateCPU->AddNull(high, " ");
    }
}

void TRatePage::ShowLoginChart(const QString& label) {
    lblORLog_Date->setText(label);
    SetLogMaxYellow(false);
    const int s = ChartCntLog->SeriesIndex("sLog_cnt");
    ChartCntLog->Clear(s);
    double largest = 0;
    THourWalk walk(*grdCont);
    for (int h = kHoursPerDay - 1; h >= 0; --h) {
        const int r = walk.RowOf(h);
        if (!r) {
            ChartCntLog->AddNull(s, ChartHourLabel(h));
            continue;
        }
        const double n = Figure(r, colLogins);
        ChartCntLog->Add(s, n, ChartHourLabel(h));
        largest = std::max(largest, n);
    }
    if (largest > ChartCntLog->BottomMaximum()) {
        // Up to the next tick step, as the automatic axis would: the top
        // bar and its mark stay inside the chart.
        ChartCntLog->SetBottomRange(ChartCntLog->BottomMinimum(), TKvBarChart::AxisMaximumAbove(largest));
        SetLogMaxYellow(true);
    } else if (ChartCntLog->BottomMaximum() < loginAxisPeak_) {
        // The axis fitted itself to a quieter day: keep the scale of the
        // busiest day shown, so that days compare at a glance.
        ChartCntLog->SetBottomRange(ChartCntLog->BottomMinimum(), loginAxisPeak_);
    }
    loginAxisPeak_ = std::max(loginAxisPeak_, ChartCntLog->BottomMaximum());
}

void TRatePage::ShowMemoryChart(const QString& label) {
    lblORMem_Date->setText(label);
    const int minimum = ChartRateFMem->SeriesIndex("sSpa_Mem");
    const int maximum = ChartRateFMem->SeriesIndex("sSpa_MemS");
    const int system = ChartRateFMem->SeriesIndex("sSpa_Sys");
    for (int s : {minimum, maximum, system}) ChartRateFMem->Clear(s);
    THourWalk walk(*grdCont);
    for (int h = kHoursPerDay - 1; h >= 0; --h) {
        const int r = walk.RowOf(h);
        const double installed = Figure(r, colInstalled);
        const double largest = Figure(r, colMemMax);
        const double smallest = Figure(r, colMemMin);
        // An hour without a sample keeps the collector's start figures
        // (largest 0, smallest 999999999): no bar rather than a negative one.
        const bool sampled = r && smallest <= largest && smallest < kNoMemorySampleMin;
        if (!sampled) {
            ChartRateFMem->AddNull(minimum, ChartHourLabel(h));
            ChartRateFMem->AddNull(maximum, " ");
            ChartRateFMem->AddNull(system, " ");
            continue;
        }
        ChartRateFMem->Add(minimum, smallest, ChartHourLabel(h));
        ChartRateFMem->Add(maximum, largest - smallest, QString::number(std::llround(largest)));
        // An unknown installed size (0) would stack a negative part.
        if (installed >= largest)
            ChartRateFMem->Add(system, installed - largest, QString::number(std::llround(installed)));
        else
            ChartRateFMem->AddNull(system, " ");
    }
}

void TRatePage::ShowPageOutChart(const QString& label) {
    lblORPage_Date->setText(label);
    SetPagMaxYellow(false);
    const int s = ChartCntPage->SeriesIndex("sPage_out");
    ChartCntPage->Clear(s);
    double largest = 0;
    for (int h = kHoursPerDay - 1; h >= 0; --h) {
        const double v = Figure(SearchHourRow(h), colPageOuts);
        largest = std::max(largest, v);
        if (v != 0) ChartCntPage->Add(s, v, ChartHourLabel(h));
        else ChartCntPage->AddNull(s, ChartHourLabel(h));
    }
    if (largest > ChartCntPage->BottomMaximum()) {
        ChartCntPage->SetBottomRange(ChartCntPage->BottomMinimum(), largest);
        SetPagMaxYellow(true);
    }
}

bool TRatePage::grdDateKaSelectCell(int, int row) {
    if (row == grdDateKa->Row() || grdDateKa->CellText(0, row).isEmpty()) return true;
    if (ReadORFile(grddateKa2->Cell(0, row))) ShowORDay(grdDateKa->CellText(0, row));
    return true;
}

void TRatePage::grdDateKaDrawCell(int, int, TKvStringGrid::CellStyle& style) const {
    // Black, left-aligned; the grid paints the current row aqua.
    style.Text = Qt::black;
    style.RightAlign = false;
}

void TRatePage::cmbPagmaxChange() {
    if (cmbPagmax->currentIndex() < 0) return;
    ChartCntPage->SetBottomRange(0, cmbPagmax->currentText().toInt());
}

void TRatePage::cmbLogMaxChange() {
    if (cmbLogMax->currentIndex() < 0) return;
    ChartCntLog->SetBottomRange(0, cmbLogMax->currentText().toInt());
    loginAxisPeak_ = ChartCntLog->BottomMaximum();   // the user's choice is the new scale
}

void TRatePage::SetLogMaxYellow(bool yellow) {
    logMaxYellow_ = yellow;
    PaintCombo(cmbLogMax, yellow);
}

void TRatePage::SetPagMaxYellow(bool yellow) {
    pagMaxYellow_ = yellow;
    PaintCombo(cmbPagmax, yellow);
}
