// The memory tab on the run's data directory: every cell and bar of every
// day shows what the instance's counters imply for its hour.
#include <QLabel>
#include <QTabWidget>

#include <algorithm>
#include <map>
#include <memory>

#include "DisplayTexts.h"
#include "../GridClicks.h"
#include "E2ESupport.h"
#include "KvPage.h"
#include "KvStringGrid.h"
#include "MemoryPage.h"
#include "PageChecks.h"

using namespace e2e;

namespace {

constexpr int kSQLAreaPage = 1;
constexpr int kLatch2Page = 8;
constexpr double kLatchAxisStart = 3499;

// Grid texts of an hour's executions, misses and hit ratio.
std::vector<std::string> HitTexts(double executions, double misses)
{
    if (executions == 0) return {"0", "0", "0"};
    return {Thousands(executions), Thousands(misses), TwoDecimals((1 - misses / executions) * 100)};
}

class MemoryPageE2E : public TCollectorRunTest {
protected:
    void SetUp() override
    {
        TCollectorRunTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ctx_.DataDir = Run().Data.string();
        ctx_.SetMessage = [this](const QString& text) {
            if (!text.isEmpty()) messages_.push_back(text.toStdString());
        };
        page_ = std::make_unique<TMemoryPage>(ctx_);
        page_->resize(1000, 700);
        page_->InitMainForm();
        page_->show();
        page_->LoadPage(false);
    }
    void TearDown() override
    {
        // Clean files: nothing to report on the way.
        for (const std::string& m : messages_) ADD_FAILURE() << "message panel: " << m;
    }

    // Days newest first, as the list shows them.
    std::vector<std::string> DaysShown() const
    {
        std::vector<std::string> days = Run().Days;
        std::reverse(days.begin(), days.end());
        return days;
    }
    // The user clicks row `row` of the date list.
    void SelectDay(int row) { gridclicks::ClickRow(*page_->grdMUDate, row); }
    // The user clicks the tab button of a page of pageMem.
    void ShowMemPage(int index)
    {
        ASSERT_TRUE(gridclicks::ClickButton(page_->findChild<QWidget*>("pageMemTabs"), page_->pageMem->tabText(index)));
    }
    std::map<int, TMUHour> HoursOf(const std::string& day) const
    {
        std::map<int, TMUHour> hours;
        if (Expected().MU.count(day))
            for (const TMUHour& h : Expected().MU.at(day)) hours[h.Hour] = h;
        return hours;
    }

    void ExpectHourlyViews(const std::string& day);
    void ExpectLatchGrid(const std::string& day);

    TViewerContext ctx_;
    std::unique_ptr<TMemoryPage> page_;
    std::vector<std::string> messages_;
    double largestLatchStack_[4] = {0, 0, 0, 0};
};

void ExpectHitRow(const TKvStringGrid& grid, int hour, double executions, double misses)
{
    const auto texts = HitTexts(executions, misses);
    for (int c = 1; c <= 3; ++c) ExpectCell(grid, c, hour + 1, texts[static_cast<size_t>(c - 1)]);
}

void ExpectUsageBars(const TKvBarChart& chart, const char* usedSeries, const char* freeSeries, int hour,
                     double size, double use)
{
    const std::string label = ChartHourLabel(hour);
    const int64_t used = RoundHalfEven(use / 1024);
    const int64_t unused = RoundHalfEven((size - use) / 1024);
    const int64_t total = RoundHalfEven(size / 1024);
    if (used > 0)
        ExpectBar(chart, usedSeries, hour, static_cast<double>(used), label);
    else
        ExpectEmptyBar(chart, usedSeries, hour, label);
    if (unused > 0)
        ExpectBar(chart, freeSeries, hour, static_cast<double>(unused), Thousands(static_cast<double>(total)));
    else
        ExpectEmptyBar(chart, freeSeries, hour, label);
}

void MemoryPageE2E::ExpectHourlyViews(const std::string& day)
{
    SCOPED_TRACE("memory tab, day " + day);
    const std::string label = DayDisplayText(day);
    for (QLabel* date : {page_->lblMUSPDate, page_->lblMUSADate, page_->lblMULCDate, page_->lblMUDCDate,
                         page_->lblMUBBDate, page_->lblMULBDate, page_->lblMUSRDate, page_->pnlMUL1Date})
        EXPECT_EQ(date->text().toStdString(), label) << date->objectName().toStdString();

    const auto hours = HoursOf(day);
    ASSERT_FALSE(hours.empty());
    struct TLatchChart {
        TKvBarChart* Chart;
        const char* Gets;
        const char* Misses;
    };
    const TLatchChart latchCharts[4] = {{page_->ChartLCachBufChain, "seriesLCBCGets", "seriesLCBCMiss"},
                                        {page_->chartLCachBufIRU, "seriesLCBIGets", "seriesLCBIMiss"},
                                        {page_->chartLLibCache, "seriesLLCGets", "seriesLLCMiss"},
                                        {page_->chartLSharedPool, "seriesLSPGets", "seriesLSPMiss"}};
    TKvStringGrid* hourGrids[] = {page_->grdSQLArea, page_->grdLibCache, page_->grdDicCache, page_->grdBlockBuf,
                                  page_->grdSortArea};

    for (int hour = 0; hour < 24; ++hour) {
        SCOPED_TRACE("hour " + std::to_string(hour));
        const int row = hour + 1;
        for (TKvStringGrid* grid : hourGrids) ExpectCell(*grid, 0, row, GridHourLabel(hour));
        auto it = hours.find(hour);
        if (it == hours.end()) {
            // No line for the hour: empty cells, empty points.
            for (TKvStringGrid* grid : hourGrids)
                for (int c = 1; c < grid->ColCount(); ++c) ExpectCell(*grid, c, row, "");
            const std::string hourLabel = ChartHourLabel(hour);
            for (const char* s : {"seriesSharePUsed", "seriesSharePFree"})
                ExpectEmptyBar(*page_->chartSharedPool, s, hour, hourLabel);
            for (const char* s : {"seriesLogBufUsed", "seriesLogBufFree"})
                ExpectEmptyBar(*page_->ChartLogBuf, s, hour, hourLabel);
            for (const TLatchChart& c : latchCharts) {
                ExpectEmptyBar(*c.Chart, c.Gets, hour, hourLabel);
                ExpectEmptyBar(*c.Chart, c.Misses, hour, hourLabel);
            }
            continue;
        }
        const TMUHour& h = it->second;
        ExpectHitRow(*page_->grdSQLArea, hour, h.SqlPins, h.SqlReloads);
        ExpectHitRow(*page_->grdLibCache, hour, h.LibPins, h.LibReloads);
        ExpectHitRow(*page_->grdDicCache, hour, h.DicGets, h.DicMisses);

        ExpectCell(*page_->grdBlockBuf, 1, row, Thousands(static_cast<double>(h.DbBuffers) / 1024 / 1024));
        const auto buffer = HitTexts(h.LogicalReads, h.PhysicalReads);
        for (int c = 2; c <= 4; ++c) ExpectCell(*page_->grdBlockBuf, c, row, buffer[static_cast<size_t>(c - 2)]);

        const double sorts = static_cast<double>(h.SortsMemory + h.SortsDisk);
        ExpectCell(*page_->grdSortArea, 1, row, Thousands(h.SortAreaSize));
        ExpectCell(*page_->grdSortArea, 2, row, Thousands(h.SortsMemory));
        ExpectCell(*page_->grdSortArea, 3, row, Thousands(h.SortsDisk));
        ExpectCell(*page_->grdSortArea, 4, row, Thousands(h.RowsSorted));
        ExpectCell(*page_->grdSortArea, 5, row, sorts != 0 ? TwoDecimals(h.SortsMemory / sorts * 100) : "");

        ExpectUsageBars(*page_->chartSharedPool, "seriesSharePUsed", "seriesSharePFree", hour,
                        static_cast<double>(h.SharedPoolSize), static_cast<double>(h.SharedPoolUsed));
        ExpectUsageBars(*page_->ChartLogBuf, "seriesLogBufUsed", "seriesLogBufFree", hour,
                        static_cast<double>(h.RedoBuffers), static_cast<double>(h.LogBufferMax));

        for (size_t i = 0; i < 4; ++i) {
            const double g = static_cast<double>(h.LatchGets[i]), m = static_cast<double>(h.LatchMisses[i]);
            const std::string ratio = (g != 0 ? TwoDecimals(m / g * 100) : "0.00") + "%";
            ExpectBar(*latchCharts[i].Chart, latchCharts[i].Gets, hour, g, ChartHourLabel(hour));
            ExpectBar(*latchCharts[i].Chart, latchCharts[i].Misses, hour, m, ratio);
            ExpectMark(*latchCharts[i].Chart, latchCharts[i].Misses, hour, ratio);
            largestLatchStack_[i] = std::max(largestLatchStack_[i], g + m);
        }
    }
    // The latch axes hold the largest stack of every day shown so far.
    for (size_t i = 0; i < 4; ++i)
        EXPECT_GE(latchCharts[i].Chart->BottomMaximum(), std::max(kLatchAxisStart, largestLatchStack_[i] * 1.1))
            << latchCharts[i].Chart->objectName().toStdString();
}

void MemoryPageE2E::ExpectLatchGrid(const std::string& day)
{
    SCOPED_TRACE("latch totals, day " + day);
    EXPECT_EQ(page_->lblMUL2Date->text().toStdString(), DayDisplayText(day));
    std::vector<TLatchTotal> totals = Expected().ML.count(day) ? Expected().ML.at(day) : std::vector<TLatchTotal>{};
    ASSERT_FALSE(totals.empty());
    auto upper = [](std::string s) {
        for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return s;
    };
    std::sort(totals.begin(), totals.end(),
              [&](const TLatchTotal& a, const TLatchTotal& b) { return upper(a.Name) < upper(b.Name); });
    const TKvStringGrid& grid = *page_->grdLatch2;
    ASSERT_EQ(grid.RowCount(), static_cast<int>(totals.size()) + 1);
    for (size_t i = 0; i < totals.size(); ++i) {
        const TLatchTotal& t = totals[i];
        const int row = static_cast<int>(i) + 1;
        const double g = static_cast<double>(t.Gets), m = static_cast<double>(t.Misses);
        ExpectCell(grid, 0, row, t.Name);
        ExpectCell(grid, 1, row, Thousands(g));
        ExpectCell(grid, 2, row, Thousands(m));
        ExpectCell(grid, 3, row, g != 0 ? TwoDecimals(m / g * 100) : "0.00");
    }
}

TEST_F(MemoryPageE2E, EveryDayShowsTheInstancesFigures)
{
    const std::vector<std::string> days = DaysShown();
    ASSERT_EQ(page_->grdMUDate->RowCount(), static_cast<int>(days.size()) + 1);
    for (size_t i = 0; i < days.size(); ++i) {
        EXPECT_EQ(page_->grdMUDate->Cell(0, static_cast<int>(i) + 1), DayDisplayText(days[i]));
        EXPECT_EQ(page_->grdMUDate2->Cell(0, static_cast<int>(i) + 1), days[i]);
    }
    // The load shows the newest day; its latch totals too.
    ExpectHourlyViews(days.front());
    ShowMemPage(kLatch2Page);
    ExpectLatchGrid(days.front());

    for (size_t i = 1; i < days.size(); ++i) {
        ShowMemPage(kSQLAreaPage);
        SelectDay(static_cast<int>(i) + 1);
        ExpectHourlyViews(days[i]);
        ShowMemPage(kLatch2Page);
        ExpectLatchGrid(days[i]);
    }
}

TEST_F(MemoryPageE2E, HourlyViewsFollowADayChosenOnTheLatchTotals)
{
    const std::vector<std::string> days = DaysShown();
    ShowMemPage(kLatch2Page);
    for (size_t i = 1; i < days.size(); ++i) {
        SelectDay(static_cast<int>(i) + 1);
        ExpectLatchGrid(days[i]);
    }
    // Back on an hourly page, the views catch up with the last day chosen.
    ShowMemPage(0);
    ExpectHourlyViews(days.back());
    ShowMemPage(kLatch2Page);
    SelectDay(1);
    ExpectLatchGrid(days.front());
    ShowMemPage(kSQLAreaPage);
    ExpectHourlyViews(days.front());
}

}  // namespace
