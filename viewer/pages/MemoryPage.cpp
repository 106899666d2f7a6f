#include "MemoryPage.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <sys/stat.h>

#include "KvBarChart.h"
#include "KvCom.h"
#include "KvDayListGrid.h"
#include "KvDayList.h"
#include "KvLatchDay.h"
#include "KvNumFormat.h"
#include "KvStringGrid.h"
#include "ODBCCall.h"

namespace {
constexpr int kDateGridWidth = 110;
constexpr int kDateRowHeight = 18;
constexpr int kHourRowHeight = 16;
constexpr int kHourGridRows = kHoursPerDay + 1;
constexpr int kTitleBarHeight = 20;
constexpr int kTitleDateWidth = 110;
constexpr int kGap = 4;
constexpr int kLatchTabWidth = 127;
constexpr int kBarWidthPercent = 60;
constexpr double kLatchAxisStart = 3499;
constexpr double kLatchAxisHeadroom = 1.1;
constexpr double kBytesPerKB = 1024;
constexpr int kLatch2Page = 8;   // "Latch(2)" in pageMem
constexpr int kFirstTabRow = 5;  // pages on the upper row of tabs

// Series of every chart of this page, in stacking order.
constexpr int kUsedSeries = 0, kFreeSeries = 1;
constexpr int kGetsSeries = 0, kMissSeries = 1;
constexpr int kMissArrowAtStart = 3;
constexpr int kMissArrowRatio = 5;
constexpr int kMissArrowCounts = 50;
constexpr int kUsedArrow = 5, kFreeArrow = 25;

// Raw-table columns of the MU line.
constexpr int kColHour = 2;
constexpr int kColSharedPoolSize = 3, kColSharedPoolUse = 4;
constexpr int kColSqlExec = 5, kColSqlMiss = 6, kColLibExec = 7, kColLibMiss = 8;
constexpr int kColDicExec = 9, kColDicMiss = 10;
constexpr int kColBufSize = 11, kColBufGets = 12, kColBufMiss = 13;
constexpr int kColLogBufSize = 14, kColLogBufUse = 15;
constexpr int kColSortSize = 16, kColSortMemory = 17, kColSortDisk = 18, kColSortRows = 19;
constexpr int kColLatchCBC = 20, kColLatchLRU = 22, kColLatchLib = 24, kColLatchSP = 26;

// Sort-rate colour bands of grdSortArea.
constexpr double kSortRateRed = 90, kSortRateBlue = 95;
constexpr int kSortRateCol = 5;
constexpr int kLatchRatioCol = 3;

const QColor kNavy(0, 0, 128);
const QColor kUsedColour(0, 128, 255);
const QColor kFreeColour(255, 128, 192);
const QColor kGetsColour(0, 128, 192);
const QColor kMissColour(255, 128, 64);

const char* const kGuide = "表示する日付を選択して下さい。";
const char* const kNoFiles = "データがありません。";
const char* const kBusy = "データ更新中のため読込できませんでした。";
const char* const kNoLatchData = "指定日のデータはありません。";
const char* const kLatchTitlePad = "             ";   // thirteen blanks

QString U(const char* text) { return QString::fromUtf8(text); }

QString HourLabel(int hour) { return QString::asprintf("%2d:00", hour) + U("～59"); }
std::string GridHourLabel(int hour) { return "  " + HourLabel(hour).toStdString(); }

QString NavyStyle() { return QString("background: %1; color: white;").arg(kNavy.name()); }

// Navy bar with the white date label at its left and the page's title.
QFrame* TitleBar(QWidget* parent, QLabel*& dateLabel, const char* dateName, const char* title) {
    auto* bar = new QFrame(parent);
    bar->setFixedHeight(kTitleBarHeight);
    bar->setStyleSheet(NavyStyle());
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(kGap, 0, kGap, 0);
    dateLabel = new QLabel(bar);
    dateLabel->setObjectName(dateName);
    dateLabel->setFixedWidth(kTitleDateWidth);
    auto* caption = new QLabel(U(title), bar);
    caption->setAlignment(Qt::AlignCenter);
    row->addWidget(dateLabel);
    row->addWidget(caption, 1);
    row->addSpacing(kTitleDateWidth);   // keeps the title centred on the bar
    return bar;
}

QWidget* TitledPage(QWidget* parent, const char* name, QFrame* titleBar, QWidget* content) {
    auto* page = new QWidget(parent);
    page->setObjectName(name);
    titleBar->setParent(page);
    content->setParent(page);
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(titleBar);
    column->addWidget(content, 1);
    return page;
}

TKvMarks MarksOf(bool visible, TKvMarks::TStyle style, const QColor& text, const QColor& back, int arrow) {
    TKvMarks marks;
    marks.Visible = visible;
    marks.Style = style;
    marks.Text = text;
    marks.Back = back;
    marks.ArrowLength = arrow;
    return marks;
}

TKvStringGrid* HourGrid(const char* name, QWidget* parent) {
    auto* grid = new TKvStringGrid(name, 1, 1, parent);
    grid->SetRowSelect(true);
    return grid;
}

// Text colour of a grdSortArea row from its "ｿｰﾄ率(%)" text.
QColor SortRateColour(const std::string& rate) {
    if (rate.empty()) return Qt::black;
    const double value = StrToFloatOrZero(rate);
    if (value < kSortRateRed) return QColor(255, 0, 0);
    if (value < kSortRateBlue) return QColor(0, 0, 255);
    return Qt::black;
}

bool FileExists(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0;
}
}  // namespace

TMemoryPage::TMemoryPage(TViewerContext& ctx, QWidget* parent)
    : TKvLivePage(ctx, parent),
      grdMUDate2(std::make_unique<TStringTable>(1, 0, 1, 2)),
      grdFetMem(std::make_unique<TStringTable>(1, 0, kMUColumns, 1)) {
    setObjectName("tabMemory");
    grdMUDate = new TKvStringGrid("grdMUDate", 1, 0, this);
    grdMUDate->setFixedWidth(kDateGridWidth);
    grdMUDate->SetRowSelect(true);
    grdMUDate->OnSelectCell = [this](int, int row) {
        grdMUDateSelectCell(row);
        return true;
    };

    pageMem = new QTabWidget(this);
    pageMem->setObjectName("pageMem");
    QWidget* tabs = BuildPageTabs();
    SetUpDrawing();
    SetLatchMarks(true, kMissArrowAtStart);

    auto* right = new QVBoxLayout();
    right->setContentsMargins(0, 0, 0, 0);
    right->setSpacing(0);
    right->addWidget(tabs);
    right->addWidget(pageMem, 1);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, kGap, 0, 0);
    layout->setSpacing(kGap);
    layout->addWidget(grdMUDate);
    layout->addLayout(right, 1);

    connect(pageMem, &QTabWidget::currentChanged, this, [this](int index) {
        if (QAbstractButton* button = pageButtons_->button(index)) button->setChecked(true);
        pageMemChange();
    });
}

TMemoryPage::~TMemoryPage() = default;

// Nine pages do not fit one row of tabs beside the date list: two rows of
// tab buttons stand in for the page control's own bar.
QWidget* TMemoryPage::BuildPageTabs() {
    pageMem->tabBar()->hide();
    pageMem->setDocumentMode(true);

    chartSharedPool = BuildUsageChart("chartSharedPool", "seriesSharePUsed", "MAX使用量", "seriesSharePFree");
    ChartLogBuf = BuildUsageChart("ChartLogBuf", "seriesLogBufUsed", "使用量", "seriesLogBufFree");
    grdSQLArea = HourGrid("grdSQLArea", this);
    grdLibCache = HourGrid("grdLibCache", this);
    grdDicCache = HourGrid("grdDicCache", this);
    grdBlockBuf = HourGrid("grdBlockBuf", this);
    grdSortArea = HourGrid("grdSortArea", this);
    grdLatch2 = new TKvStringGrid("grdLatch2", 1, 0, this);
    grdLatch2->SetRowSelect(true);

    struct TPageSpec {
        const char* Name;
        const char* Caption;
        QWidget* Page;
    };
    const TPageSpec pages[] = {
        {"tabSharedPool", "Shared_Pool",
         TitledPage(pageMem, "tabSharedPool", TitleBar(this, lblMUSPDate, "lblMUSPDate", "Shared_Pool (使用率)"),
                    chartSharedPool)},
        {"tabSQLArea", "SQL Area",
         TitledPage(pageMem, "tabSQLArea", TitleBar(this, lblMUSADate, "lblMUSADate", "SQL AREA (HIT率)"), grdSQLArea)},
        {"tabLibCache", "LibraryCache",
         TitledPage(pageMem, "tabLibCache", TitleBar(this, lblMULCDate, "lblMULCDate", "Library Cashe (HIT率)"),
                    grdLibCache)},
        {"tabDicCache", "DictionaryCache",
         TitledPage(pageMem, "tabDicCache", TitleBar(this, lblMUDCDate, "lblMUDCDate", "Dictionary Cashe (HIT率)"),
                    grdDicCache)},
        {"tabBlockBuf", "DB_Block_Buf",
         TitledPage(pageMem, "tabBlockBuf", TitleBar(this, lblMUBBDate, "lblMUBBDate", "DB_Block_Buffer (HIT率)"),
                    grdBlockBuf)},
        {"tabLogBuf", "Log_Buf",
         TitledPage(pageMem, "tabLogBuf", TitleBar(this, lblMULBDate, "lblMULBDate", "Log_Buffer (使用率)"),
                    ChartLogBuf)},
        {"tabSortArea", "SortArea",
         TitledPage(pageMem, "tabSortArea", TitleBar(this, lblMUSRDate, "lblMUSRDate", "Sort Area"), grdSortArea)},
        {"tabLatch1", "Latch(1)", BuildLatch1Page()},
        {"tabLatch2", "Latch(2)",
         TitledPage(pageMem, "tabLatch2", TitleBar(this, lblMUL2Date, "lblMUL2Date", "Latch実行数"), grdLatch2)},
    };

    auto* bar = new QWidget(this);
    bar->setObjectName("pageMemTabs");
    bar->setStyleSheet(
        "QPushButton { border: 1px solid #a0a0a0; border-bottom: none; background: #e6e6e6;"
        " padding: 2px 6px; margin-right: 1px; }"
        "QPushButton:checked { background: white; }"
        "QPushButton:hover { background: #d6e6f6; }");
    auto* rows = new QVBoxLayout(bar);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(0);
    QHBoxLayout* row = nullptr;
    pageButtons_ = new QButtonGroup(this);
    pageButtons_->setExclusive(true);
    int index = 0;
    for (const TPageSpec& spec : pages) {
        pageMem->addTab(spec.Page, spec.Caption);
        if (index == 0 || index == kFirstTabRow) {
            row = new QHBoxLayout();
            row->setSpacing(0);
            rows->addLayout(row);
        }
        auto* button = new QPushButton(spec.Caption, bar);
        button->setCheckable(true);
        button->setFocusPolicy(Qt::NoFocus);
        row->addWidget(button);
        pageButtons_->addButton(button, index);
        ++index;
    }
    for (int r = 0; r < rows->count(); ++r)
        if (auto* line = qobject_cast<QHBoxLayout*>(rows->itemAt(r)->layout())) line->addStretch(1);
    pageButtons_->button(0)->setChecked(true);
    connect(pageButtons_, &QButtonGroup::idClicked, this, [this](int id) { pageMem->setCurrentIndex(id); });
    return bar;
}

TKvBarChart* TMemoryPage::BuildUsageChart(const char* chartName, const char* usedName, const char* usedTitle,
                                          const char* freeName) {
    auto* chart = new TKvBarChart(this, true);
    chart->setObjectName(chartName);
    chart->AddSeries(usedName, U(usedTitle), kUsedColour);
    chart->AddSeries(freeName, U("未使用"), kFreeColour);
    chart->SetMarks(kUsedSeries, MarksOf(true, TKvMarks::ShowValue, Qt::white, kUsedColour, kUsedArrow));
    chart->SetMarks(kFreeSeries, MarksOf(true, TKvMarks::ShowValue, Qt::black, kFreeColour, kFreeArrow));
    chart->SetBottomAutomatic(true);
    chart->SetBottomTitle(U("(KB)"));
    chart->SetLegendVisible(true);
    chart->SetTitle(QString());
    chart->SetBarWidthPercent(kBarWidthPercent);
    return chart;
}

QWidget* TMemoryPage::BuildLatchChartPage(TKvBarChart*& chart, const char* chartName, const char* title,
                                          const char* getsName, const char* missName) {
    chart = new TKvBarChart(this, true);
    chart->setObjectName(chartName);
    chart->AddSeries(getsName, "Gets", kGetsColour);
    chart->AddSeries(missName, "Misses", kMissColour);
    chart->SetMarks(kGetsSeries, MarksOf(false, TKvMarks::ShowValue, Qt::white, kGetsColour, kMissArrowAtStart));
    chart->SetMarks(kMissSeries, MarksOf(true, TKvMarks::ShowLabel, Qt::black, kMissColour, kMissArrowAtStart));
    chart->SetBottomAutomatic(false);
    chart->SetBottomRange(0, kLatchAxisStart);
    chart->SetBottomTitle(U("(回数)"));
    chart->SetLegendVisible(true);
    chart->SetTitle(QString());
    chart->SetBarWidthPercent(kBarWidthPercent);

    auto* bar = new QLabel(U(kLatchTitlePad) + U(title), this);
    bar->setTextFormat(Qt::PlainText);
    bar->setFixedHeight(kTitleBarHeight);
    bar->setStyleSheet(NavyStyle());
    auto* page = new QWidget(pageLatch);
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    bar->setParent(page);
    chart->setParent(page);
    column->addWidget(bar);
    column->addWidget(chart, 1);
    return page;
}

QWidget* TMemoryPage::BuildLatch1Page() {
    auto* page = new QWidget(pageMem);
    page->setObjectName("tabLatch1");
    pnlMUL1Date = new QLabel(page);
    pnlMUL1Date->setObjectName("pnlMUL1Date");
    pnlMUL1Date->setFixedSize(kTitleDateWidth, kTitleBarHeight);
    pnlMUL1Date->setAlignment(Qt::AlignCenter);
    pnlMUL1Date->setStyleSheet(NavyStyle());
    btnChgMark = new QPushButton(U("Miss比率/回数 表示切替(&M)"), page);
    btnChgMark->setObjectName("btnChgMark");
    connect(btnChgMark, &QPushButton::clicked, this, [this] { btnChgMarkClick(); });

    pageLatch = new QTabWidget(page);
    pageLatch->setObjectName("pageLatch");
    pageLatch->setTabPosition(QTabWidget::South);
    // The style sheet's width excludes the padding: the tab as a whole is
    // kLatchTabWidth wide, so the four tabs fit beside the day list.
    constexpr int kTabPadding = 2;
    pageLatch->setStyleSheet(QString("QTabBar::tab { width: %1px; padding: 2px %2px; margin: 0px; }")
                                 .arg(kLatchTabWidth - 2 * kTabPadding)
                                 .arg(kTabPadding));
    pageLatch->tabBar()->setUsesScrollButtons(false);
    struct TLatchSpec {
        const char* Tab;
        const char* Caption;
        TKvBarChart** Chart;
        const char* ChartName;
        const char* Title;
        const char* Gets;
        const char* Miss;
    };
    const TLatchSpec latches[] = {
        {"tabLCachBufC", "Cache Buf Chain", &ChartLCachBufChain, "ChartLCachBufChain",
         "Latch実行数 -- Cache Buffer Chain --", "seriesLCBCGets", "seriesLCBCMiss"},
        {"tabLCachBufI", "Cache Buf IRU", &chartLCachBufIRU, "chartLCachBufIRU",
         "Latch実行数 -- Cache Buffer IRU Chain --", "seriesLCBIGets", "seriesLCBIMiss"},
        {"tabLLibCache", "Lib Cache", &chartLLibCache, "chartLLibCache", "Latch実行数 -- Library Cashe --",
         "seriesLLCGets", "seriesLLCMiss"},
        {"tabLSharedPool", "Shared Pool", &chartLSharedPool, "chartLSharedPool", "Latch実行数 -- Shared Pool --",
         "seriesLSPGets", "seriesLSPMiss"},
    };
    for (const TLatchSpec& spec : latches) {
        QWidget* tab = BuildLatchChartPage(*spec.Chart, spec.ChartName, spec.Title, spec.Gets, spec.Miss);
        tab->setObjectName(spec.Tab);
        pageLatch->addTab(tab, spec.Caption);
    }

    auto* top = new QHBoxLayout();
    top->setContentsMargins(0, 0, 0, 0);
    top->addWidget(pnlMUL1Date);
    top->addStretch(1);
    top->addWidget(btnChgMark);
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(kGap);
    column->addLayout(top);
    column->addWidget(pageLatch, 1);
    return page;
}

void TMemoryPage::SetUpDrawing() {
    // Hourly grids: numbers only (the hour column is fixed).
    for (TKvStringGrid* grid : {grdSQLArea, grdLibCache, grdDicCache, grdBlockBuf})
        grid->OnDrawCell = [](int, int, TKvStringGrid::CellStyle& style) { style.RightAlign = true; };
    grdSortArea->OnDrawCell = [this](int, int row, TKvStringGrid::CellStyle& style) {
        style.RightAlign = true;
        style.Text = SortRateColour(grdSortArea->Cell(kSortRateCol, row));
    };
    grdLatch2->OnDrawCell = [this](int col, int row, TKvStringGrid::CellStyle& style) {
        style.RightAlign = col != 0;
        if (StrToFloatOrZero(grdLatch2->Cell(kLatchRatioCol, row)) > 0) style.Text = QColor(255, 0, 0);
    };
}

void TMemoryPage::InitMainForm() {
    SetUpGrid(*grdMUDate, {{"Date", 89}}, kDateRowHeight);
    grdMUDate->SetRowCount(2);
    const std::vector<TKvColumnSpec> hitColumns = {
        {"時間帯", 85}, {"Excute(回)", 143}, {"Miss(回)", 146}, {"Hit(%)", 141}};
    SetUpGrid(*grdSQLArea, hitColumns, kHourRowHeight);
    SetUpGrid(*grdLibCache, hitColumns, kHourRowHeight);
    SetUpGrid(*grdDicCache, hitColumns, kHourRowHeight);
    SetUpGrid(*grdBlockBuf,
              {{"時間帯", 85}, {"Size(MB)", 108}, {"Excute(回)", 108}, {"Miss(回)", 107}, {"Hit(%)", 107}},
              kHourRowHeight);
    SetUpGrid(*grdSortArea,
              {{"時間帯", 85},
               {"Size(Byte)", 88},
               {"Memory(回)", 85},
               {"Disk(回)", 85},
               {"Rows(行数)", 85},
               {"ｿｰﾄ率(%)", 85}},
              kHourRowHeight);
    for (TKvStringGrid* grid : {grdSQLArea, grdLibCache, grdDicCache, grdBlockBuf, grdSortArea}) {
        grid->SetRowCount(kHourGridRows);
        for (int h = 0; h < kHoursPerDay; ++h) grid->SetCell(0, h + 1, GridHourLabel(h));
    }
    SetUpGrid(*grdLatch2, {{"Latch", 289}, {"Get(回)", 66}, {"Miss(回)", 66}, {"比率(%)", 66}}, kHourRowHeight);
    grdLatch2->SetRowCount(2);

    {
        const QSignalBlocker block(pageMem);
        pageMem->setCurrentIndex(0);
        pageButtons_->button(0)->setChecked(true);
    }
    pageLatch->setCurrentIndex(0);
    loadedMUDate_.clear();
    readProblem_.clear();
    latchProblem_.clear();
    for (QLabel* label : {lblMUSPDate, lblMUSADate, lblMULCDate, lblMUDCDate, lblMUBBDate, lblMULBDate,
                          lblMUSRDate, pnlMUL1Date, lblMUL2Date})
        label->clear();
}

QString TMemoryPage::Guide() const {
    QString text;
    for (const QString& problem : {readProblem_, latchProblem_})
        if (!problem.isEmpty()) text += problem + "  ";
    return text + U(kGuide);
}

std::vector<TKvPage::SortableGrid> TMemoryPage::SortableGrids() const {
    // The hourly grids carry the popup for the width fit only.
    return {{grdMUDate, 0},   {grdSQLArea, 0},  {grdLibCache, 0}, {grdDicCache, 0},
            {grdBlockBuf, 0}, {grdSortArea, 0}, {grdLatch2, 1}};
}

void TMemoryPage::LoadPage(bool detailOnly) {
    if (!detailOnly) LoadMUDateList();
    const int row = grdMUDate->Row();
    const std::string day = grdMUDate2->Cell(0, row);
    // Without any day the latch grid keeps what it showed, like the other views.
    if (!day.empty()) ShowLatchDay(day, grdMUDate->CellText(0, row));
}

void TMemoryPage::LoadMUDateList() {
    ClearMessage();
    readProblem_.clear();
    const bool newestFirst = SortCol(0) == -1 || SortDir(0) == "DESC";
    if (FillDayList(*grdMUDate, *grdMUDate2, ctx_.DataDir, "MU", newestFirst) == 0) {
        SetMessage(U(kNoFiles));
        return;
    }
    if (ReadMUFile(grdMUDate2->Cell(0, 1))) ShowMUDay(grdMUDate->CellText(0, 1));
}

bool TMemoryPage::ReadMUFile(const std::string& day) {
    std::string content;
    if (!ReadWholeFileLocked(MakeDatFileName(ctx_.DataDir, "", "MU", day), content)) {
        // Kept for the guide: the views still show the day read before.
        readProblem_ = U(kBusy);
        SetMessage(readProblem_);
        return false;
    }
    const TStatTable table = ReadStatRecords(content, TStatLayout::MU);
    grdFetMem->SetRowCount(1);
    grdFetMem->SetColCount(kMUColumns);
    grdFetMem->SetRowCount(static_cast<int>(table.Rows.size()) + 1);
    for (size_t i = 0; i < table.Rows.size(); ++i)
        for (int c = 0; c < kMUColumns; ++c) grdFetMem->SetCell(c, static_cast<int>(i) + 1, table.Rows[i][c]);
    loadedMUDate_ = day;
    readProblem_ = QString::fromStdString(StatReadMessage(table.Report));
    if (!readProblem_.isEmpty()) SetMessage(readProblem_);
    return true;
}

namespace {
// Raw-table access of the walks below.
struct TRawTable {
    const TStringTable& Table;
    int LastRow() const { return Table.RowCount() - 1; }
    bool HourIs(int row, int hour) const {
        return row >= 1 && row <= LastRow() && Table.Cell(kColHour, row) == std::to_string(hour);
    }
    double Num(int col, int row) const { return StrToFloatOrZero(Table.Cell(col, row)); }
};
}  // namespace

void TMemoryPage::ShowMUDay(const QString& label) {
    for (QLabel* date : {lblMUSPDate, lblMUSADate, lblMULCDate, lblMUDCDate, lblMUBBDate, lblMULBDate,
                         lblMUSRDate, pnlMUL1Date})
        date->setText(label);
    ShowUsageChart(*chartSharedPool, kColSharedPoolSize, kColSharedPoolUse);
    ShowUsageChart(*ChartLogBuf, kColLogBufSize, kColLogBufUse);
    ShowHitGrid(*grdSQLArea, kColSqlExec, kColSqlMiss);
    ShowHitGrid(*grdLibCache, kColLibExec, kColLibMiss);
    ShowHitGrid(*grdDicCache, kColDicExec, kColDicMiss);
    ShowBlockBufGrid();
    ShowSortAreaGrid();
    ShowLatchChart(*ChartLCachBufChain, kColLatchCBC, kColLatchCBC + 1);
    ShowLatchChart(*chartLCachBufIRU, kColLatchLRU, kColLatchLRU + 1);
    ShowLatchChart(*chartLLibCache, kColLatchLib, kColLatchLib + 1);
    ShowLatchChart(*chartLSharedPool, kColLatchSP, kColLatchSP + 1);
}

// Hours 23 down to 0 against the rows from the last upwards: hour 0 ends
// up as the top bar.
void TMemoryPage::ShowUsageChart(TKvBarChart& chart, int sizeCol, int useCol) {
    const TRawTable raw{*grdFetMem};
    chart.Clear(kUsedSeries);
    chart.Clear(kFreeSeries);
    int r = raw.LastRow();
    for (int h = kHoursPerDay - 1; h >= 0; --h) {
        const QString hour = HourLabel(h);
        if (!raw.HourIs(r, h)) {
            chart.AddNull(kUsedSeries, hour);
            chart.AddNull(kFreeSeries, hour);
            continue;
        }
        const double size = raw.Num(sizeCol, r);
        const double use = raw.Num(useCol, r);
        const double used = RoundHalfEven(use / kBytesPerKB);
        const double unused = RoundHalfEven((size - use) / kBytesPerKB);
        const double total = RoundHalfEven(size / kBytesPerKB);
        if (used > 0) chart.Add(kUsedSeries, used, hour);
        else chart.AddNull(kUsedSeries, hour);
        if (unused > 0) chart.Add(kFreeSeries, unused, QString::fromStdString(FormatGrouped(total)));
        else chart.AddNull(kFreeSeries, hour);
        if (r > 1) --r;
    }
    chart.Refresh();
}

namespace {
// Hours 0 to 23 against the rows from the first downwards; fill(row, r)
// writes grid row `row` from raw row r, a missing hour empties the row.
template <class Fill>
void WalkHours(TKvStringGrid& grid, const TRawTable& raw, Fill fill) {
    int r = 1;
    for (int h = 0; h < kHoursPerDay; ++h) {
        const int row = h + 1;
        if (!raw.HourIs(r, h)) {
            for (int c = 1; c < grid.ColCount(); ++c) grid.SetCell(c, row, "");
            continue;
        }
        fill(row, r);
        if (r < raw.LastRow()) ++r;
    }
}

// Hit ratio in percent, "0.00".
std::string HitText(double executions, double misses) {
    return FormatTwoDecimals((1 - misses / executions) * 100);
}
}  // namespace

void TMemoryPage::ShowHitGrid(TKvStringGrid& grid, int execCol, int missCol) {
    const TRawTable raw{*grdFetMem};
    WalkHours(grid, raw, [&](int row, int r) {
        const double executions = raw.Num(execCol, r);
        const double misses = raw.Num(missCol, r);
        if (executions != 0) {
            grid.SetCell(1, row, FormatGrouped(executions));
            grid.SetCell(2, row, FormatGrouped(misses));
            grid.SetCell(3, row, HitText(executions, misses));
        } else {
            for (int c = 1; c <= 3; ++c) grid.SetCell(c, row, "0");
        }
    });
}

void TMemoryPage::ShowBlockBufGrid() {
    const TRawTable raw{*grdFetMem};
    TKvStringGrid& grid = *grdBlockBuf;
    WalkHours(grid, raw, [&](int row, int r) {
        grid.SetCell(1, row, FormatGrouped(raw.Num(kColBufSize, r) / kBytesPerKB / kBytesPerKB));
        const double gets = raw.Num(kColBufGets, r);
        const double misses = raw.Num(kColBufMiss, r);
        if (gets != 0) {
            grid.SetCell(2, row, FormatGrouped(gets));
            grid.SetCell(3, row, FormatGrouped(misses));
            grid.SetCell(4, row, HitText(gets, misses));
        } else {
            for (int c = 2; c <= 4; ++c) grid.SetCell(c, row, "0");
        }
    });
}

void TMemoryPage::ShowSortAreaGrid() {
    const TRawTable raw{*grdFetMem};
    TKvStringGrid& grid = *grdSortArea;
    WalkHours(grid, raw, [&](int row, int r) {
        const double memory = raw.Num(kColSortMemory, r);
        const double disk = raw.Num(kColSortDisk, r);
        grid.SetCell(1, row, FormatGrouped(raw.Num(kColSortSize, r)));
        grid.SetCell(2, row, FormatGrouped(memory));
        grid.SetCell(3, row, FormatGrouped(disk));
        grid.SetCell(4, row, FormatGrouped(raw.Num(kColSortRows, r)));
        grid.SetCell(kSortRateCol, row,
                     memory + disk != 0 ? FormatTwoDecimals(memory / (memory + disk) * 100) : std::string());
    });
}

void TMemoryPage::ShowLatchChart(TKvBarChart& chart, int getsCol, int missCol) {
    const TRawTable raw{*grdFetMem};
    chart.Clear(kGetsSeries);
    chart.Clear(kMissSeries);
    double largest = 0;
    int r = raw.LastRow();
    for (int h = kHoursPerDay - 1; h >= 0; --h) {
        const QString hour = HourLabel(h);
        if (!raw.HourIs(r, h)) {
            chart.AddNull(kGetsSeries, hour);
            chart.AddNull(kMissSeries, hour);
            continue;
        }
        const double gets = raw.Num(getsCol, r);
        const double misses = raw.Num(missCol, r);
        largest = std::max(largest, gets + misses);
        chart.Add(kGetsSeries, gets, hour);
        const std::string ratio = gets != 0 ? FormatTwoDecimals(misses / gets * 100) : "0.00";
        chart.Add(kMissSeries, misses, QString::fromStdString(ratio + "%"));
        if (r > 1) --r;
    }
    // The axis only grows, so that days compare at one scale.
    const double wanted = largest * kLatchAxisHeadroom;
    if (wanted > chart.BottomMaximum()) chart.SetBottomRange(0, wanted);
    chart.Refresh();
}

void TMemoryPage::ShowLatchDay(const std::string& day, const QString& label) {
    ClearMessage();
    latchProblem_.clear();
    lblMUL2Date->setText(label);
    grdLatch2->SetRowCount(2);
    grdLatch2->ClearData();
    grdLatch2->SetRow(1);

    const std::string path = MakeDatFileName(ctx_.DataDir, "", "ML", day);
    if (!FileExists(path)) {
        SetMessage(U(kNoLatchData));
        return;
    }
    std::string content;
    if (!ReadWholeFileLocked(path, content)) {
        SetMessage(U(kBusy));
        return;
    }
    const TLatchEntries latches = BuildLatchEntries(content, SortCol(1));
    if (latches.Skipped) {
        TStatReadReport report;
        report.Skipped = latches.Skipped;
        latchProblem_ = QString::fromStdString(StatReadMessage(report));
    }
    if (latches.Entries.empty()) {
        SetMessage(latchProblem_.isEmpty() ? U(kNoLatchData) : latchProblem_ + "  " + U(kNoLatchData));
        return;
    }
    const int count = static_cast<int>(latches.Entries.size());
    const bool descending = SortDir(1) == "DESC";
    grdLatch2->SetRowCount(count + 1);
    for (int i = 0; i < count; ++i) {
        const TLatchRow row = SplitLatchEntry(latches.Entries[static_cast<size_t>(descending ? count - 1 - i : i)]);
        grdLatch2->SetCell(0, i + 1, row.Name);
        grdLatch2->SetCell(1, i + 1, row.Gets);
        grdLatch2->SetCell(2, i + 1, row.Misses);
        grdLatch2->SetCell(3, i + 1, row.Ratio);
    }
    grdLatch2->SetRow(1);
    if (!latchProblem_.isEmpty()) SetMessage(latchProblem_);
}

bool TMemoryPage::LatchPageShowing() const { return pageMem->currentIndex() == kLatch2Page; }

void TMemoryPage::ShowRowDay(int row) {
    const std::string day = grdMUDate2->Cell(0, row);
    const QString label = grdMUDate->CellText(0, row);
    if (LatchPageShowing()) {
        ShowLatchDay(day, label);
        return;
    }
    // The hourly views follow the selected day only when one of them shows.
    if (loadedMUDate_ != day && ReadMUFile(day)) ShowMUDay(label);
}

void TMemoryPage::grdMUDateSelectCell(int row) {
    if (row == grdMUDate->Row() || grdMUDate->CellText(0, row).isEmpty()) return;
    ShowRowDay(row);
}

void TMemoryPage::pageMemChange() {
    ClearMessage();
    const int row = grdMUDate->Row();
    if (grdMUDate->CellText(0, row).isEmpty()) return;
    ShowRowDay(row);
}

std::array<TKvBarChart*, 4> TMemoryPage::LatchCharts() const {
    return {ChartLCachBufChain, chartLCachBufIRU, chartLLibCache, chartLSharedPool};
}

bool TMemoryPage::LatchMarksShowRatio() const {
    return ChartLCachBufChain->Marks(kMissSeries).Style == TKvMarks::ShowLabel;
}

void TMemoryPage::SetLatchMarks(bool ratio, int missArrowLength) {
    for (TKvBarChart* chart : LatchCharts()) {
        TKvMarks gets = chart->Marks(kGetsSeries);
        gets.Visible = !ratio;
        chart->SetMarks(kGetsSeries, gets);
        TKvMarks misses = chart->Marks(kMissSeries);
        misses.Style = ratio ? TKvMarks::ShowLabel : TKvMarks::ShowValue;
        misses.ArrowLength = missArrowLength;
        chart->SetMarks(kMissSeries, misses);
        chart->Refresh();
    }
}

void TMemoryPage::btnChgMarkClick() {
    if (LatchMarksShowRatio()) SetLatchMarks(false, kMissArrowCounts);
    else SetLatchMarks(true, kMissArrowRatio);
}
