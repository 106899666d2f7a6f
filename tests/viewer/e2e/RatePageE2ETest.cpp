// The operating-rate tab on the run's data directory: logins per hour as the
// instance counted them, host memory as the collector recorded it.
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
#include "PageChecks.h"
#include "RatePage.h"

using namespace e2e;

namespace {

constexpr int kLoginPage = 2;
constexpr int kMemoryPage = 3;
constexpr int64_t kNoMemorySample = 999999999;

class RatePageE2E : public TCollectorRunTest {
protected:
    void SetUp() override
    {
        TCollectorRunTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ctx_.DataDir = Run().Data.string();
        ctx_.IsWinNT = true;
        ctx_.SetMessage = [this](const QString& text) {
            if (!text.isEmpty()) messages_.push_back(text.toStdString());
        };
        page_ = std::make_unique<TRatePage>(ctx_);
        page_->resize(1000, 700);
        page_->InitMainForm();
        page_->show();
        page_->LoadPage(false);
    }
    void TearDown() override
    {
        for (const std::string& m : messages_) ADD_FAILURE() << "message panel: " << m;
    }
    // The user clicks row `row` of the date list.
    void SelectDay(int row) { gridclicks::ClickRow(*page_->grdDateKa, row); }
    void ExpectDay(const std::string& day);

    TViewerContext ctx_;
    std::unique_ptr<TRatePage> page_;
    std::vector<std::string> messages_;
    double largestLogins_ = 0;
};

void RatePageE2E::ExpectDay(const std::string& day)
{
    SCOPED_TRACE("rate tab, day " + day);
    const std::string label = DayDisplayText(day);
    EXPECT_EQ(page_->lblORLog_Date->text().toStdString(), label);
    EXPECT_EQ(page_->lblORMem_Date->text().toStdString(), label);
    std::map<int, TORHour> hours;
    if (Expected().OR.count(day))
        for (const TORHour& h : Expected().OR.at(day)) hours[h.Hour] = h;
    ASSERT_FALSE(hours.empty());

    const TKvBarChart& logins = *page_->ChartCntLog;
    const TKvBarChart& memory = *page_->ChartRateFMem;
    for (int hour = 0; hour < 24; ++hour) {
        SCOPED_TRACE("hour " + std::to_string(hour));
        const std::string hourLabel = ChartHourLabel(hour);
        auto it = hours.find(hour);
        if (it == hours.end()) {
            ExpectEmptyBar(logins, "sLog_cnt", hour, hourLabel);
            ExpectEmptyBar(memory, "sSpa_Mem", hour, hourLabel);
            ExpectEmptyBar(memory, "sSpa_MemS", hour, " ");
            ExpectEmptyBar(memory, "sSpa_Sys", hour, " ");
            continue;
        }
        const TORHour& h = it->second;
        // A zero count still gets its bar and mark.
        ExpectBar(logins, "sLog_cnt", hour, static_cast<double>(h.Logins), hourLabel);
        largestLogins_ = std::max(largestLogins_, static_cast<double>(h.Logins));

        if (h.MemMax == 0 && h.MemMin == kNoMemorySample) {
            // No sample in the hour: left open how to draw it, but never a
            // bar of 999999999.
            EXPECT_TRUE(memory.Point(memory.SeriesIndex("sSpa_Mem"), PointOfHour(hour)).Empty);
            continue;
        }
        ExpectBar(memory, "sSpa_Mem", hour, static_cast<double>(h.MemMin), hourLabel);
        ExpectBar(memory, "sSpa_MemS", hour, static_cast<double>(h.MemMax - h.MemMin), std::to_string(h.MemMax));
        ExpectMark(memory, "sSpa_MemS", hour, std::to_string(h.MemMax));
        ExpectBar(memory, "sSpa_Sys", hour, static_cast<double>(h.Installed - h.MemMax), std::to_string(h.Installed));
        ExpectMark(memory, "sSpa_Sys", hour, std::to_string(h.Installed));
    }
    // The axis reaches the largest count of every day shown so far.
    EXPECT_GE(logins.BottomMaximum(), largestLogins_);
}

TEST_F(RatePageE2E, EveryDayShowsLoginsAndHostMemory)
{
    std::vector<std::string> days = Run().Days;
    std::reverse(days.begin(), days.end());
    ASSERT_EQ(page_->grdDateKa->RowCount(), static_cast<int>(days.size()) + 1);
    for (size_t i = 0; i < days.size(); ++i) {
        EXPECT_EQ(page_->grdDateKa->Cell(0, static_cast<int>(i) + 1), DayDisplayText(days[i]));
        EXPECT_EQ(page_->grddateKa2->Cell(0, static_cast<int>(i) + 1), days[i]);
    }
    EXPECT_EQ(page_->pageRate->currentIndex(), kLoginPage);
    EXPECT_TRUE(page_->pageRate->isTabVisible(kMemoryPage));

    ExpectDay(days.front());
    for (size_t i = 1; i < days.size(); ++i) {
        SelectDay(static_cast<int>(i) + 1);
        ExpectDay(days[i]);
    }
    // Back to the newest day: every selection reads the file again.
    SelectDay(1);
    ExpectDay(days.front());
}

}  // namespace
