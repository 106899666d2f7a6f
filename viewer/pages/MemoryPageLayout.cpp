// The memory page's widgets: the day list, the nine pages of pageMem with
// their charts and grids, the latch charts' page control, and how the
// cells of its grids are drawn.
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

#include "KvBarChart.h"
#include "KvHourLabel.h"
#include "KvNumFormat.h"
#include "KvStringGrid.h"
#include "ODBCCall.h"

namespace {
constexpr int kDateGridWidth = 110;
constexpr int kDateColWidth = 89;
constexpr int kDateRowHeight = 18;
constexpr int kHourRowHeight = 16;
constexpr int kHourGridRows = kHoursPerDay + 1;
constexpr int kTitleBarHeight = 20;
constexpr int kTitleDateWidth = 110;
constexpr int kGap = 4;
constexpr int kLatchTabWidth = 127;
constexpr int kBarWidthPercent = 60;
constexpr double kLatchAxisStart = 3499;
constexpr int kFirstTabRow = 5;  // pages on the upper row of tabs
constexpr int kUsedArrow = 5, kFreeArrow = 25;

// Sort-rate colour bands of grdSortArea.
constexpr double kSortRateRed = 90, kSortRateBlue = 95;

const QColor kNavy(0, 0, 128);
const QColor kUsedColour(0, 128, 255);
const QColor kFreeColour(255, 128, 192);
const QColor kGetsColour(0, 128, 192);
const QColor kMissColour(255, 128, 64);
const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 255);

const char* const kLatchTitlePad = "             ";   // thirteen blanks

QString U(const char* text) { return QString::fromUtf8(text); }

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
    if (value < kSortRateRed) return kRed;
    if (value < kSortRateBlue) return kBlue;
    return Qt::black;
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

    pageMem = new QTabWidget(this);
    pageMem->setObjectName("pageMem");
    QWidget* tabs = BuildPageTabs();
    ConnectHandlers();
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
    connect(pageButtons_, &QButtonGroup::idClicked, pageMem, &QTabWidget::setCurrentIndex);
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

void TMemoryPage::ConnectHandlers() {
    grdMUDate->ConnectSelectCell(this, &TMemoryPage::grdMUDateSelectCell);
    grdMUDate->ConnectDrawCell(this, &TMemoryPage::grdMUDateDrawCell);
    for (TKvStringGrid* grid : {grdSQLArea, grdLibCache, grdDicCache, grdBlockBuf, grdSortArea, grdLatch2})
        grid->ConnectDrawCell(this, &TMemoryPage::prcMUgridDrawCell);
    connect(pageMem, &QTabWidget::currentChanged, this, &TMemoryPage::ShowPageButton);
    connect(pageMem, &QTabWidget::currentChanged, this, &TMemoryPage::pageMemChange);
    connect(btnChgMark, &QPushButton::clicked, this, &TMemoryPage::btnChgMarkClick);
}

void TMemoryPage::ShowPageButton(int index) {
    if (QAbstractButton* button = pageButtons_->button(index)) button->setChecked(true);
}

void TMemoryPage::grdMUDateDrawCell(int, int, TKvStringGrid::CellStyle& style) const {
    // Black, from the left; the grid paints the current row aqua.
    style.Text = Qt::black;
    style.RightAlign = false;
}

void TMemoryPage::prcMUgridDrawCell(const TKvStringGrid& grid, int col, int row,
                                    TKvStringGrid::CellStyle& style) const {
    style.Text = Qt::black;
    style.RightAlign = true;
    if (&grid == grdSortArea) {
        style.Text = SortRateColour(grid.Cell(kSortRateCol, row));
    } else if (&grid == grdLatch2) {
        style.RightAlign = col != 0;
        if (StrToFloatOrZero(grid.Cell(kLatchRatioCol, row)) > 0) style.Text = kRed;
    }
}

void TMemoryPage::InitMainForm() {
    SetUpGrid(*grdMUDate, {{"Date", kDateColWidth}}, kDateRowHeight);
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

std::vector<TKvPage::SortableGrid> TMemoryPage::SortableGrids() const {
    // The hourly grids carry the popup for the width fit only.
    return {{grdMUDate, 0},   {grdSQLArea, 0},  {grdLibCache, 0}, {grdDicCache, 0},
            {grdBlockBuf, 0}, {grdSortArea, 0}, {grdLatch2, 1}};
}
