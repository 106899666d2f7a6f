#include "TableSpacePage.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "KvBarChart.h"
#include "KvNumFormat.h"
#include "KvPageSql.h"
#include "KvStringGrid.h"
#include "ODBCCall.h"

namespace {
constexpr int kTopBand = 60;
constexpr int kTsnWidth = 149;
constexpr int kGap = 5;
constexpr int kChartHeight = 174;
constexpr int kRowHeight = 18;
constexpr int kNavy = 8388608;
constexpr int kUsedColour = 16744448;
constexpr int kFreeColour = 12615935;
constexpr int kMinorTicks = 4;
constexpr int kChartFontPixels = 10;   // the chart is low: small texts leave room for the bar
constexpr int kMarkArrow = 4;
constexpr int kVersionWithGrowth = 8;   // AUTOEXTENSIBLE and the sizes exist from 8
constexpr int kSizeCol = 1, kMaxSizeCol = 4, kIncrementCol = 5;
constexpr int kBlockLabelLeft = 8, kBlockLabelTop = 8;
const char* const kGuide = "テーブルスペースとファイルを選択して下さい。";
const char* const kOneBarLabel = " ";

std::string KBText(const std::string& bytes) {
    return FormatGrouped(RoundHalfEven(StrToFloatOrZero(bytes) / kBytesPerKB));
}

// INCREMENT_BY counts database blocks, not bytes.
std::string BlocksAsKBText(const std::string& blocks, int blockSize) {
    return FormatGrouped(RoundHalfEven(StrToFloatOrZero(blocks) * blockSize / kBytesPerKB));
}

TKvMarks ValueMarks(const QColor& text, const QColor& back) {
    TKvMarks marks;
    marks.Visible = true;
    marks.Style = TKvMarks::ShowValue;
    marks.Text = text;
    marks.Back = back;
    marks.ArrowLength = kMarkArrow;
    return marks;
}
}  // namespace

TTableSpacePage::TTableSpacePage(TViewerContext& ctx, QWidget* parent) : TKvLivePage(ctx, parent) {
    setObjectName("tabTableSpace");
    grdTSN = new TKvStringGrid("grdTSN", 1, 0, this);
    grdTSN->SetRowSelect(false);
    grdTSN->setFixedWidth(kTsnWidth);
    grdTSN->ConnectDrawCell(this, &TTableSpacePage::grdTSNDrawCell);
    grdTSN->ConnectSelectCell(this, &TTableSpacePage::grdTSNSelectCell);

    grdTS = new TKvStringGrid("grdTS", 1, 0, this);
    grdTS->ConnectDrawCell(this, &TTableSpacePage::grdTSDrawCell);
    grdTS->ConnectSelectCell(this, &TTableSpacePage::grdTSSelectCell);
    BuildChart();

    auto* right = new QVBoxLayout();
    right->setSpacing(kGap);
    right->addWidget(grdTS, 1);
    right->addWidget(ChartUse);
    auto* body = new QHBoxLayout(this);
    body->setContentsMargins(0, kTopBand, 0, 0);
    body->setSpacing(kGap);
    body->addWidget(grdTSN);
    body->addLayout(right, 1);
}

void TTableSpacePage::BuildChart() {
    ChartUse = new TKvBarChart(this, true);
    ChartUse->setObjectName("ChartUse");
    ChartUse->setFixedHeight(kChartHeight);
    ChartUse->SetTextPixelSize(kChartFontPixels);
    ChartUse->SetTitle(QString::fromUtf8("テーブル使用率"));
    ChartUse->SetLegendVisible(true);
    ChartUse->SetBottomTitle("(Block)");
    ChartUse->SetBottomMinorTicks(kMinorTicks);
    ChartUse->AddSeries("seriesTSUsed", QString::fromUtf8("使用領域"), ColourValue(kUsedColour));
    ChartUse->AddSeries("seriesTSFree", QString::fromUtf8("空き領域"), ColourValue(kFreeColour));
    ChartUse->SetMarks(kUsedSeries, ValueMarks(Qt::white, ColourValue(kUsedColour)));
    ChartUse->SetMarks(kFreeSeries, ValueMarks(Qt::black, ColourValue(kFreeColour)));
    lblBlk2 = new QLabel(ChartUse);
    lblBlk2->setObjectName("lblBlk2");
    lblBlk2->setStyleSheet("background: transparent;");
    lblBlk2->move(kBlockLabelLeft, kBlockLabelTop);
    connect(ChartUse, &TKvBarChart::SeriesClicked, this, &TTableSpacePage::ChartUseClickSeries);
}

void TTableSpacePage::InitMainForm() {
    std::vector<TKvColumnSpec> files = {{"File", 310}, {"Size(KB)", 88}, {"Status", 89},
                                        {"AutoExt", 98}, {"MaxSize(KB)", 88},
                                        {"IncrementBy(KB)", 100}};
    if (ctx_.OracleVersion < kVersionWithGrowth) files.resize(3);
    SetUpGrid(*grdTSN, {{"TableSpace", 255}}, kRowHeight);
    SetUpGrid(*grdTS, files, kRowHeight);
    grdTSN->SetRowCount(2);
    grdTS->SetRowCount(2);
    lblBlk2->setText(QString::asprintf("1Block=%dBytes", ctx_.BlockSize));
    lblBlk2->adjustSize();
}

QString TTableSpacePage::Guide() const { return QString::fromUtf8(kGuide); }

std::vector<TKvPage::SortableGrid> TTableSpacePage::SortableGrids() const {
    return {{grdTSN, 0}, {grdTS, 1}};
}

void TTableSpacePage::LoadPage(bool detailOnly) {
    if (!detailOnly) {
        LoadTableSpaces();
        return;
    }
    LoadDataFiles(grdTSN->Cell(0, grdTSN->Row()));
    LoadFileUsage(grdTS->Cell(0, 1));
}

void TTableSpacePage::LoadTableSpaces() {
    grdTSN->SetRow(1);
    int n = 0;
    try {
        TKvRowSource& rows = Rows();
        rows.Run(kvsql::TableSpaces(SortCol(0), SortDir(0)));
        TKvGridFill fill(*grdTSN);
        while (rows.Fetch()) grdTSN->SetCell(0, fill.NextRow(), rows.Field("TABLESPACE_NAME"));
        n = fill.Filled();
        fill.Finish(false);
    } catch (const EODBCError& e) {
        ShowError(e);
        return;
    }
    if (n == 0) return;
    LoadDataFiles(grdTSN->Cell(0, grdTSN->Row()));
    LoadFileUsage(grdTS->Cell(0, grdTS->Row()));
    SetMessage(Guide());
}

void TTableSpacePage::LoadDataFiles(const std::string& tablespace) {
    grdTS->SetRow(1);
    const bool growth = grdTS->ColCount() > 3;
    try {
        TKvRowSource& rows = Rows();
        rows.Run(kvsql::DataFiles(SortCol(1), SortDir(1)), {tablespace});
        TKvGridFill fill(*grdTS);
        while (rows.Fetch()) {
            const int r = fill.NextRow();
            grdTS->SetCell(0, r, rows.Field("FILE_NAME"));
            grdTS->SetCell(1, r, KBText(rows.Field("BYTES")));
            grdTS->SetCell(2, r, rows.Field("STATUS"));
            if (growth) {
                grdTS->SetCell(3, r, rows.Field("AUTOEXTENSIBLE"));
                grdTS->SetCell(4, r, KBText(rows.Field("MAXBYTES")));
                grdTS->SetCell(5, r, BlocksAsKBText(rows.Field("INCREMENT_BY"), ctx_.BlockSize));
            }
        }
        fill.Finish(false);
    } catch (const EODBCError& e) {
        ShowError(e);
    }
}

void TTableSpacePage::LoadFileUsage(const std::string& fileName) {
    ChartUse->Clear(kUsedSeries);
    ChartUse->Clear(kFreeSeries);
    try {
        TKvRowSource& rows = Rows();
        rows.Run(kvsql::FileUsage(ctx_.BlockSize), {fileName});
        if (rows.Fetch()) {
            const double total = StrToFloatOrZero(rows.Field("ORA_BLKS"));
            const double used = StrToFloatOrZero(rows.Field("TOT_USED"));
            ChartUse->Add(kUsedSeries, used, kOneBarLabel);
            ChartUse->Add(kFreeSeries, total - used, kOneBarLabel);
        }
    } catch (const EODBCError& e) {
        ShowError(e);
    }
    ChartUse->Refresh();
}

bool TTableSpacePage::grdTSNSelectCell(int, int row) {
    if (row != grdTSN->Row()) {
        LoadDataFiles(grdTSN->Cell(0, row));
        grdTS->SetRow(1);
        LoadFileUsage(grdTS->Cell(0, grdTS->Row()));
    }
    return true;
}

bool TTableSpacePage::grdTSSelectCell(int, int row) {
    if (grdTS->Cell(0, row).empty()) return false;
    if (row != grdTS->Row()) LoadFileUsage(grdTS->Cell(0, row));
    return true;
}

void TTableSpacePage::grdTSNDrawCell(int, int, TKvStringGrid::CellStyle& style) const {
    style.Text = ColourValue(kNavy);
}

void TTableSpacePage::grdTSDrawCell(int col, int, TKvStringGrid::CellStyle& style) const {
    style.RightAlign = col == kSizeCol || col == kMaxSizeCol || col == kIncrementCol;
}

void TTableSpacePage::ChartUseClickSeries(int series) {
    TKvMarks marks = ChartUse->Marks(series);
    marks.Visible = !marks.Visible;
    ChartUse->SetMarks(series, marks);
    ChartUse->Refresh();
}

bool TTableSpacePage::MarksVisible(int series) const { return ChartUse->Marks(series).Visible; }

double TTableSpacePage::UsedBlocks() const {
    return ChartUse->PointCount(kUsedSeries) ? ChartUse->Point(kUsedSeries, 0).Value : -1;
}

double TTableSpacePage::FreeBlocks() const {
    return ChartUse->PointCount(kFreeSeries) ? ChartUse->Point(kFreeSeries, 0).Value : -1;
}
