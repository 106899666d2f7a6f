// The colours of the memory tab, as painted on the screen from the run's
// files: a sort-area row is red under 90 %, blue under 95 %, black from
// there; a latch total is red when its ratio shows above 0.00. On an events
// workload both lines are crossed in every run; on the steady one never.
#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QTabWidget>

#include <memory>
#include <set>

#include "../GridClicks.h"
#include "CollectorHarness.h"
#include "DisplayTexts.h"
#include "E2ESupport.h"
#include "KvPage.h"
#include "KvStringGrid.h"
#include "MemoryPage.h"

using namespace e2e;

namespace {

constexpr int kSortAreaPage = 6;
constexpr int kLatch2Page = 8;
constexpr int kSortRateColumn = 5;
constexpr int kLatchRatioColumn = 3;
constexpr double kSortRed = 90, kSortBlue = 95;

enum class TInk { Black, Red, Blue };

const char* NameOf(TInk ink) { return ink == TInk::Red ? "red" : ink == TInk::Blue ? "blue" : "black"; }

// The inks of the text painted in a cell: pixels close to pure red, pure
// blue or black (the backgrounds are white and aqua).
std::set<TInk> InksOfCell(TKvStringGrid& grid, int col, int row)
{
    const QModelIndex index = grid.model()->index(row - grid.FixedRows(), col);
    grid.scrollTo(index);
    const QImage image = grid.viewport()->grab(grid.visualRect(index)).toImage();
    constexpr int kStrong = 200, kWeak = 60;
    std::set<TInk> inks;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() >= kStrong && c.green() <= kWeak && c.blue() <= kWeak) inks.insert(TInk::Red);
            else if (c.blue() >= kStrong && c.red() <= kWeak && c.green() <= kWeak) inks.insert(TInk::Blue);
            else if (c.red() <= kWeak && c.green() <= kWeak && c.blue() <= kWeak) inks.insert(TInk::Black);
        }
    return inks;
}

class MemoryColoursE2E : public TCollectorRunTest {
protected:
    void SetUp() override
    {
        TCollectorRunTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ctx_.DataDir = Run().Data.string();
        page_ = std::make_unique<TMemoryPage>(ctx_);
        page_->resize(1000, 700);
        page_->InitMainForm();
        page_->show();
        page_->LoadPage(false);
    }
    bool Events() const { return kelvtest::E2EWorkload() == "events"; }
    // Shows the day in row `row` of the date list on page `tab` of pageMem.
    void ShowDay(int row, int tab)
    {
        page_->pageMem->setCurrentIndex(tab);
        if (page_->grdMUDate->Row() != row) gridclicks::ClickRow(*page_->grdMUDate, row);
        QApplication::processEvents();
    }
    void ExpectInk(TKvStringGrid& grid, int col, int row, TInk ink)
    {
        const std::set<TInk> inks = InksOfCell(grid, col, row);
        EXPECT_TRUE(inks.count(ink)) << grid.objectName().toStdString() << " cell (" << col << ", " << row
                                     << ") is not painted " << NameOf(ink);
        for (TInk other : {TInk::Black, TInk::Red, TInk::Blue}) {
            if (other == ink) continue;
            EXPECT_FALSE(inks.count(other)) << grid.objectName().toStdString() << " cell (" << col << ", " << row
                                            << ") has " << NameOf(other) << " too";
        }
    }

    TViewerContext ctx_;
    std::unique_ptr<TMemoryPage> page_;
};

TEST_F(MemoryColoursE2E, SortAreaRowsAreColouredByTheirRate)
{
    std::set<TInk> seen;
    const int days = page_->grdMUDate->RowCount() - 1;
    for (int row = 1; row <= days; ++row) {
        ShowDay(row, kSortAreaPage);
        const std::string day = page_->grdMUDate2->Cell(0, row);
        SCOPED_TRACE("day " + day);
        for (const TMUHour& h : Expected().MU.at(day)) {
            const double sorts = static_cast<double>(h.SortsMemory + h.SortsDisk);
            if (sorts == 0) continue;
            // The rule reads the rate as the grid shows it, with two decimals.
            const double shown = std::stod(TwoDecimals(h.SortsMemory / sorts * 100));
            const TInk ink = shown < kSortRed ? TInk::Red : shown < kSortBlue ? TInk::Blue : TInk::Black;
            SCOPED_TRACE("hour " + std::to_string(h.Hour) + " rate " + std::to_string(shown));
            // The whole row takes the colour; the rate and the disk sorts show it.
            ExpectInk(*page_->grdSortArea, kSortRateColumn, h.Hour + 1, ink);
            ExpectInk(*page_->grdSortArea, 3, h.Hour + 1, ink);
            seen.insert(ink);
        }
    }
    if (Events()) {
        EXPECT_TRUE(seen.count(TInk::Red)) << "the nightly batch's peak shows no red sort rate";
        EXPECT_TRUE(seen.count(TInk::Blue)) << "the batch's first or last hour shows no blue sort rate";
    } else {
        EXPECT_EQ(seen, std::set<TInk>{TInk::Black}) << "a steady instance never colours its sort rates";
    }
}

TEST_F(MemoryColoursE2E, LatchTotalsAreRedWhereTheyMissed)
{
    for (const std::string& day : Run().WholeDays) {
        SCOPED_TRACE("day " + day);
        int row = 1;
        while (row < page_->grdMUDate->RowCount() && page_->grdMUDate2->Cell(0, row) != day) ++row;
        ShowDay(row, kLatch2Page);
        TKvStringGrid& grid = *page_->grdLatch2;
        ASSERT_GT(grid.RowCount(), 1);
        std::set<TInk> seen;
        for (int r = 1; r < grid.RowCount(); ++r) {
            const TInk ink = std::stod(grid.Cell(kLatchRatioColumn, r)) > 0 ? TInk::Red : TInk::Black;
            SCOPED_TRACE(grid.Cell(0, r) + " " + grid.Cell(kLatchRatioColumn, r));
            ExpectInk(grid, kLatchRatioColumn, r, ink);
            seen.insert(ink);
        }
        // With events only the day's busy latches are red; the steady
        // instance's latches all miss a little and are all red.
        if (Events())
            EXPECT_EQ(seen, (std::set<TInk>{TInk::Black, TInk::Red}));
        else
            EXPECT_TRUE(seen.count(TInk::Red));
    }
}

}  // namespace
