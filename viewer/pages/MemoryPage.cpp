// The memory page's data: the day list of the MU files, reading a day's MU
// and ML files, and filling the usage charts, hourly grids and latch views.
#include "MemoryPage.h"

#include <QLabel>
#include <QTabWidget>

#include <algorithm>
#include <sys/stat.h>

#include "KvBarChart.h"
#include "KvCom.h"
#include "KvDayList.h"
#include "KvDayListGrid.h"
#include "KvHourLabel.h"
#include "KvLatchDay.h"
#include "KvNumFormat.h"
#include "KvStringGrid.h"
#include "ODBCCall.h"

namespace {
constexpr double kLatchAxisHeadroom = 1.1;

// Raw-table columns of the MU line.
constexpr int kColHour = 2;
constexpr int kColSharedPoolSize = 3, kColSharedPoolUse = 4;
constexpr int kColSqlExec = 5, kColSqlMiss = 6, kColLibExec = 7, kColLibMiss = 8;
constexpr int kColDicExec = 9, kColDicMiss = 10;
constexpr int kColBufSize = 11, kColBufGets = 12, kColBufMiss = 13;
constexpr int kColLogBufSize = 14, kColLogBufUse = 15;
constexpr int kColSortSize = 16, kColSortMemory = 17, kColSortDisk = 18, kColSortRows = 19;
constexpr int kColLatchCBC = 20, kColLatchLRU = 22, kColLatchLib = 24, kColLatchSP = 26;

const char* const kGuide = "表示する日付を選択して下さい。";
const char* const kNoFiles = "データがありません。";
const char* const kBusy = "データ更新中のため読込できませんでした。";
const char* const kNoLatchData = "指定日のデータはありません。";

QString U(const char* text) { return QString::fromUtf8(text); }
QString ChartHourLabel(int hour) { return QString::fromStdString(HourLabel(hour)); }

bool FileExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}
}  // namespace

QString TMemoryPage::Guide() const {
    QString text;
    for (const QString& problem : {readProblem_, latchProblem_})
        if (!problem.isEmpty()) text += problem + "  ";
    return text + U(kGuide);
}

void TMemoryPage::LoadPage(bool detailOnly) {
    if (!detailOnly) LoadMUDateList();
    // Without any day the latch grid and its date are emptied (the other
    // views keep the day they showed).
    const int row = grdMUDate->Row();
    ShowLatchDay(grdMUDate2->Cell(0, row), grdMUDate->CellText(0, row));
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
    if (!ReadWholeFileLocked(StatFileOfDay(ctx_.DataDir, "MU", day), content)) {
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
        const QString hour = ChartHourLabel(h);
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
        const QString hour = ChartHourLabel(h);
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
    latchProblem_.clear();
    lblMUL2Date->setText(label);
    grdLatch2->SetRowCount(2);
    grdLatch2->ClearData();
    grdLatch2->SetRow(1);
    // No day at all: what the day list found stays in pnlMess.
    if (day.empty()) return;
    ClearMessage();

    const std::string path = StatFileOfDay(ctx_.DataDir, "ML", day);
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

bool TMemoryPage::grdMUDateSelectCell(int, int row) {
    if (row != grdMUDate->Row() && !grdMUDate->CellText(0, row).isEmpty()) ShowRowDay(row);
    return true;
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
