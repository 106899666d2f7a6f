#include "TableSpacePage.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QHBoxLayout>
#include <QHorizontalStackedBarSeries>
#include <QLabel>
#include <QLegend>
#include <QValueAxis>
#include <QVBoxLayout>

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
constexpr int kChartFontPixels = 10;
constexpr int kVersionWithGrowth = 8;   // AUTOEXTENSIBLE and the sizes exist from 8
constexpr double kBytesPerKB = 1024;
const char* const kGuide = "テーブルスペースとファイルを選択して下さい。";

std::string KBText(const std::string& bytes) {
    return FormatGrouped(RoundHalfEven(StrToFloatOrZero(bytes) / kBytesPerKB));
}

// INCREMENT_BY counts database blocks, not bytes.
std::string BlocksAsKBText(const std::string& blocks, int blockSize) {
    return FormatGrouped(RoundHalfEven(StrToFloatOrZero(blocks) * blockSize / kBytesPerKB));
}
}  // namespace

TTableSpacePage::TTableSpacePage(TViewerContext& ctx, QWidget* parent) : TKvLivePage(ctx, parent) {
    setObjectName("tabTableSpace");
    grdTSN = new TKvStringGrid("grdTSN", 1, 0, this);
    grdTSN->SetRowSelect(false);
    grdTSN->setFixedWidth(kTsnWidth);
    grdTSN->OnDrawCell = [](int, int, TKvStringGrid::CellStyle& style) {
        style.Text = ColourValue(kNavy);
    };
    grdTSN->OnSelectCell = [this](int, int row) {
        if (row != grdTSN->Row()) {
            LoadDataFiles(grdTSN->Cell(0, row));
            grdTS->SetRow(1);
            LoadFileUsage(grdTS->Cell(0, grdTS->Row()));
        }
        return true;
    };

    grdTS = new TKvStringGrid("grdTS", 1, 0, this);
    grdTS->OnDrawCell = [](int col, int, TKvStringGrid::CellStyle& style) {
        style.RightAlign = col == 1 || col == 4 || col == 5;
    };
    grdTS->OnSelectCell = [this](int, int row) {
        if (grdTS->Cell(0, row).empty()) return false;
        if (row != grdTS->Row()) LoadFileUsage(grdTS->Cell(0, row));
        return true;
    };
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
    auto* chart = new QChart();
    chart->setTitle(QString::fromUtf8("テーブル使用率"));
    chart->legend()->setAlignment(Qt::AlignTop);
    // The chart is only 174 pixels high: small fonts and margins leave room
    // for the bar and its axis labels.
    QFont small = chart->titleFont();
    small.setPixelSize(kChartFontPixels);
    chart->setTitleFont(small);
    chart->legend()->setFont(small);
    chart->setMargins(QMargins(4, 0, 4, 0));
    series_ = new QHorizontalStackedBarSeries();
    seriesTSUsed = new QBarSet(QString::fromUtf8("使用領域"));
    seriesTSUsed->setColor(ColourValue(kUsedColour));
    seriesTSUsed->setLabelColor(Qt::white);
    seriesTSFree = new QBarSet(QString::fromUtf8("空き領域"));
    seriesTSFree->setColor(ColourValue(kFreeColour));
    seriesTSFree->setLabelColor(Qt::black);
    series_->append(seriesTSUsed);
    series_->append(seriesTSFree);
    series_->setLabelsVisible(true);
    series_->setLabelsFormat("@value");
    chart->addSeries(series_);
    axisX_ = new QValueAxis();
    axisX_->setTitleText("(Block)");
    axisX_->setMinorTickCount(kMinorTicks);
    axisX_->setLabelFormat("%d");
    axisX_->setLabelsFont(small);
    axisX_->setTitleFont(small);
    axisY_ = new QBarCategoryAxis();
    axisY_->append(" ");
    axisY_->setLabelsFont(small);
    chart->addAxis(axisX_, Qt::AlignBottom);
    chart->addAxis(axisY_, Qt::AlignLeft);
    series_->attachAxis(axisX_);
    series_->attachAxis(axisY_);
    ChartUse = new QChartView(chart, this);
    ChartUse->setObjectName("ChartUse");
    ChartUse->setFixedHeight(kChartHeight);
    lblBlk2 = new QLabel(ChartUse);
    lblBlk2->setObjectName("lblBlk2");
    lblBlk2->setStyleSheet("background: transparent;");
    lblBlk2->move(8, 8);
    connect(seriesTSUsed, &QBarSet::clicked, this, [this](int) { ToggleMarks(0); });
    connect(seriesTSFree, &QBarSet::clicked, this, [this](int) { ToggleMarks(1); });
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
    seriesTSUsed->remove(0, seriesTSUsed->count());
    seriesTSFree->remove(0, seriesTSFree->count());
    try {
        TKvRowSource& rows = Rows();
        rows.Run(kvsql::FileUsage(ctx_.BlockSize), {fileName});
        if (rows.Fetch()) {
            const double total = StrToFloatOrZero(rows.Field("ORA_BLKS"));
            const double used = StrToFloatOrZero(rows.Field("TOT_USED"));
            seriesTSUsed->append(used);
            seriesTSFree->append(total - used);
            axisX_->setRange(0, total > 0 ? total : 1);
            axisX_->applyNiceNumbers();
        }
    } catch (const EODBCError& e) {
        ShowError(e);
    }
}

void TTableSpacePage::ShowMarks(int seriesIndex, bool visible) {
    marks_[seriesIndex] = visible;
    QBarSet* set = seriesIndex == 0 ? seriesTSUsed : seriesTSFree;
    const QColor shown = seriesIndex == 0 ? QColor(Qt::white) : QColor(Qt::black);
    set->setLabelColor(visible ? shown : QColor(Qt::transparent));
}

void TTableSpacePage::ToggleMarks(int seriesIndex) { ShowMarks(seriesIndex, !marks_[seriesIndex]); }

bool TTableSpacePage::MarksVisible(int seriesIndex) const { return marks_[seriesIndex]; }

double TTableSpacePage::UsedBlocks() const { return seriesTSUsed->count() ? seriesTSUsed->at(0) : -1; }

double TTableSpacePage::FreeBlocks() const { return seriesTSFree->count() ? seriesTSFree->at(0) : -1; }
