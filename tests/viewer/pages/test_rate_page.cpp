#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTabWidget>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "../GridClicks.h"
#include "KvBarChart.h"
#include "KvgLines.h"
#include "ODBCCall.h"
#include "PageFixture.h"
#include "RatePage.h"

namespace {

const QString kBusy = QString::fromUtf8("データ更新中のため読込できませんでした。");
const QString kGuide = QString::fromUtf8("表示する日付を選択して下さい。");

struct THour {
    int Hour;
    int Logins = 0;
    int Installed = 2048, Largest = 1500, Smallest = 900;
    int PageOuts = 0;
};

// A line as the collector writes it; page-outs are patched in, since the
// collector leaves that reserved field at zero.
std::string Line(const THour& h) {
    TORRecord record;
    record.Logins = h.Logins;
    record.InstalledMemory = h.Installed;
    record.MemUseMax = h.Largest;
    record.MemUseMin = h.Smallest;
    std::string line = BuildORLine(h.Hour, record);
    line.replace(kORLineLength - 10, 10, NumberField(h.PageOuts, 10));
    return line;
}

QString Label(int hour) { return QString::asprintf("%2d:00", hour) + QString::fromUtf8("～59"); }
// Points run from hour 23 (index 0, the bottom bar) to hour 0.
int PointOf(int hour) { return 23 - hour; }

struct RatePageTest : ::testing::Test {
    QTemporaryDir dir;
    std::unique_ptr<PageHarness<TRatePage>> h;
    TRatePage* page = nullptr;

    void SetUp() override { MakePage(); }
    void MakePage() {
        h = std::make_unique<PageHarness<TRatePage>>(10, 8192, dir.path().toStdString());
        page = h->page.get();
        // On screen, so that the tests click as the user does.
        page->resize(660, 560);
        page->show();
    }
    std::string PathOf(const std::string& day) const { return dir.path().toStdString() + "/OR" + day + ".dat"; }
    void WriteText(const std::string& day, const std::string& text) {
        QFile f(QString::fromStdString(PathOf(day)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text.data(), static_cast<qint64>(text.size()));
    }
    void Write(const std::string& day, const std::vector<THour>& hours) {
        std::string text;
        for (const THour& hour : hours) text += Line(hour) + "\r\n";
        WriteText(day, text);
    }
    TKvBarChart& Logins() { return *page->ChartCntLog; }
    TKvBarChart& Memory() { return *page->ChartRateFMem; }
    TKvBarChart& PageOuts() { return *page->ChartCntPage; }
    // A user's click on a row of the date list.
    void Select(int row) { gridclicks::ClickRow(*page->grdDateKa, row); }
    void Choose(QComboBox* combo, const char* item) {
        combo->setCurrentIndex(combo->findText(item));
        emit combo->activated(combo->currentIndex());
    }
};

}  // namespace

TEST_F(RatePageTest, StartUpShowsTheLoginPageAndHidesTheReservedOnes) {
    QTabWidget* tabs = page->pageRate;
    ASSERT_EQ(tabs->count(), 5);
    const QStringList captions = {"ＳＱＬ発行数", "ＣＰＵ使用率", "ログイン数", "メモリ使用率", "ページアウト"};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(tabs->tabText(i), captions[i]);
    EXPECT_FALSE(tabs->isTabVisible(0));
    EXPECT_FALSE(tabs->isTabVisible(1));
    EXPECT_TRUE(tabs->isTabVisible(3));
    EXPECT_FALSE(tabs->isTabVisible(4));
    EXPECT_EQ(tabs->currentIndex(), 2);
    EXPECT_TRUE(page->cmbLogMax->isHidden());
    EXPECT_EQ(page->grdDateKa->CellText(0, 0), "Date");
    EXPECT_EQ(page->grdSqlCnt->CellText(0, 1), QString::fromUtf8("   0:00～59"));
    EXPECT_EQ(page->grdSqlCnt->CellText(4, 0), "DELETE(回)");
    EXPECT_EQ(PageOuts().BottomMaximum(), 40);
    EXPECT_EQ(page->Guide(), kGuide);

    // Outside the NT family the memory page is not offered.
    TViewerContext ctx;
    ctx.IsWinNT = false;
    TRatePage other(ctx);
    other.InitMainForm();
    EXPECT_FALSE(other.pageRate->isTabVisible(3));
    EXPECT_EQ(other.pageRate->currentIndex(), 2);
}

TEST_F(RatePageTest, RecordedHoursGetBarsOthersEmptyPoints) {
    std::vector<THour> hours;
    for (int hour = 8; hour <= 18; ++hour) hours.push_back({hour, hour == 12 ? 0 : hour * 2});
    Write("20261204", hours);
    page->LoadPage(false);
    EXPECT_EQ(page->grdDateKa->CellText(0, 1), QString::fromUtf8("26/12/04(金)"));
    EXPECT_EQ(page->lblORLog_Date->text(), QString::fromUtf8("26/12/04(金)"));
    EXPECT_EQ(page->grdCont->Cell(2, 1), "8");
    EXPECT_EQ(page->grdCont->RowCount(), 12);

    const int s = Logins().SeriesIndex("sLog_cnt");
    ASSERT_EQ(Logins().PointCount(s), 24);
    for (int hour = 0; hour < 24; ++hour) {
        const TKvBarPoint p = Logins().Point(s, PointOf(hour));
        EXPECT_EQ(p.Label, Label(hour));
        EXPECT_EQ(p.Empty, hour < 8 || hour > 18) << hour;
    }
    EXPECT_EQ(Logins().Point(s, PointOf(9)).Value, 18);
    // No logins is a zero-length bar with its mark, not a gap.
    EXPECT_EQ(Logins().MarkText(s, PointOf(12)), "0");
    EXPECT_EQ(Logins().MarkText(s, PointOf(3)), "");
    EXPECT_FALSE(page->LogMaxHighlighted());
    EXPECT_GE(Logins().BottomMaximum(), 36);
    // Statement counts of unrecorded hours read "0".
    EXPECT_EQ(page->grdSqlCnt->CellText(1, 1), "0");
    EXPECT_EQ(page->grdSqlCnt->CellText(1, 10), "0000000000");
}

// A day stored only as "or20261204.dat" is listed and opened, not
// reported busy every time it is chosen.
TEST_F(RatePageTest, ADayStoredInLowerCaseIsOpenedAsListed) {
    Write("20261204", {{9, 17}});
    QFile::rename(QString::fromStdString(PathOf("20261204")), dir.filePath("or20261204.DAT"));
    Write("20261203", {{9, 5}});
    page->LoadPage(false);
    ASSERT_EQ(page->grddateKa2->Cell(0, 1), "20261204");
    const int s = Logins().SeriesIndex("sLog_cnt");
    EXPECT_EQ(Logins().Point(s, PointOf(9)).Value, 17);
    EXPECT_EQ(page->Guide(), kGuide);
    Select(2);
    Select(1);
    EXPECT_EQ(Logins().Point(s, PointOf(9)).Value, 17);
    EXPECT_EQ(page->Guide(), kGuide);
}

TEST_F(RatePageTest, MemoryBarStacksToTheInstalledSize) {
    Write("20261204", {{10, 3, 2048, 1500, 900}, {11, 3, 2048, 0, 999999999}, {12, 3, 0, 700, 500}});
    page->LoadPage(false);
    const int mn = Memory().SeriesIndex("sSpa_Mem"), mx = Memory().SeriesIndex("sSpa_MemS"),
              sys = Memory().SeriesIndex("sSpa_Sys");
    EXPECT_EQ(Memory().SeriesTitle(mx), QString::fromUtf8("Ｍａｘ"));
    const int p = PointOf(10);
    EXPECT_EQ(Memory().Point(mn, p).Value, 900);
    EXPECT_EQ(Memory().Point(mx, p).Value, 600);
    EXPECT_EQ(Memory().Point(sys, p).Value, 548);
    EXPECT_EQ(Memory().MarkText(mn, p), "900");
    EXPECT_EQ(Memory().MarkText(mx, p), "1500");
    EXPECT_EQ(Memory().MarkText(sys, p), "2048");
    EXPECT_GE(Memory().BottomMaximum(), 2048);
    // An hour without a memory sample is a gap, not a negative bar.
    for (int s : {mn, mx, sys}) EXPECT_TRUE(Memory().Point(s, PointOf(11)).Empty) << s;
    EXPECT_EQ(Memory().Point(mn, PointOf(11)).Label, Label(11));
    // Nor does an unknown installed size stack below zero.
    EXPECT_EQ(Memory().Point(mx, PointOf(12)).Value, 200);
    EXPECT_TRUE(Memory().Point(sys, PointOf(12)).Empty);
    EXPECT_EQ(Memory().BottomMinimum(), 0);
}

TEST_F(RatePageTest, PageOutMaximumFollowsTheChoiceAndLargerDays) {
    Write("20261203", {{1, 0, 2048, 1500, 900, 7}});
    Write("20261204", {{1, 0, 2048, 1500, 900, 2500}, {2, 0, 2048, 1500, 900, 30}});
    page->LoadPage(false);   // newest first: the 2500 day
    EXPECT_EQ(PageOuts().BottomMaximum(), 2500);
    EXPECT_TRUE(page->PagMaxHighlighted());
    Choose(page->cmbPagmax, "2000");
    EXPECT_EQ(PageOuts().BottomMinimum(), 0);
    EXPECT_EQ(PageOuts().BottomMaximum(), 2000);
    Select(2);
    EXPECT_FALSE(page->PagMaxHighlighted());
    EXPECT_EQ(PageOuts().BottomMaximum(), 2000);
    const int s = PageOuts().SeriesIndex("sPage_out");
    EXPECT_EQ(PageOuts().Point(s, PointOf(1)).Value, 7);
    EXPECT_TRUE(PageOuts().Point(s, PointOf(2)).Empty);
    Select(1);
    EXPECT_TRUE(page->PagMaxHighlighted());
    EXPECT_EQ(PageOuts().BottomMaximum(), 2500);
    Select(2);
    EXPECT_FALSE(page->PagMaxHighlighted());
    EXPECT_EQ(PageOuts().BottomMaximum(), 2500) << "kept until chosen again";
}

// A busier day than the chosen scale raises the axis to a tick step above
// its largest count, as the automatic axis would: the top bar and its mark
// never touch the chart's edge.
TEST_F(RatePageTest, LoginMaximumRaisedAboveAChosenOne) {
    Write("20261204", {{5, 25}});
    Write("20261203", {{5, 4}});
    Choose(page->cmbLogMax, "10");
    EXPECT_EQ(Logins().BottomMaximum(), 10);
    page->LoadPage(false);
    EXPECT_TRUE(page->LogMaxHighlighted());
    EXPECT_EQ(Logins().BottomMaximum(), 30);
    Select(2);
    EXPECT_FALSE(page->LogMaxHighlighted());
    EXPECT_EQ(Logins().BottomMaximum(), 30);
}

TEST_F(RatePageTest, ALargestCountOnATickStepStillEndsBelowTheAxisEnd) {
    for (const int largest : {11, 50, 100, 500}) {   // the field holds three digits
        Write("20261204", {{5, largest}});
        Choose(page->cmbLogMax, "10");
        page->LoadPage(false);
        const double top = Logins().BottomMaximum();
        EXPECT_GT(top, largest * 1.1) << largest << ": room for the mark right of the bar";
        EXPECT_LE(top, largest * 1.5) << largest << ": the bars still fill the chart";
        EXPECT_TRUE(page->LogMaxHighlighted());
    }
}

// With the automatic axis a quiet day after a busy one keeps the busy
// day's scale, as the chosen and raised maxima do.
TEST_F(RatePageTest, LoginAxisIsNotLoweredByAQuieterDay) {
    Write("20261204", {{5, 50}});
    Write("20261203", {{5, 2}});
    page->LoadPage(false);
    const double busy = Logins().BottomMaximum();
    EXPECT_GE(busy, 50);
    Select(2);
    EXPECT_EQ(Logins().Point(Logins().SeriesIndex("sLog_cnt"), PointOf(5)).Value, 2);
    EXPECT_EQ(Logins().BottomMaximum(), busy);
    EXPECT_FALSE(page->LogMaxHighlighted());
}

TEST_F(RatePageTest, NoFilesKeepsTheViewsAndSaysSo) {
    page->LoadPage(false);
    EXPECT_EQ(h->LastMessage(), QString::fromUtf8("データがありません。"));
    EXPECT_EQ(page->grdDateKa->RowCount(), 2);
    EXPECT_EQ(page->grdDateKa->CellText(0, 1), "");
    EXPECT_EQ(Logins().PointCount(0), 0);
    EXPECT_EQ(page->Guide(), kGuide);
    // Files that only look alike are no days.
    WriteText("2026120", "x");
    QFile(dir.filePath("ORnotadate.dat")).open(QIODevice::WriteOnly);
    page->LoadPage(false);
    EXPECT_EQ(page->grdDateKa->CellText(0, 1), "");
}

TEST_F(RatePageTest, ALockedFileIsReportedAndTheShownDayKept) {
    Write("20261203", {{3, 9}});
    Write("20261204", {{3, 5}});
    page->LoadPage(false);
    const int s = Logins().SeriesIndex("sLog_cnt");
    ASSERT_EQ(Logins().Point(s, PointOf(3)).Value, 5);
    const int fd = ::open(PathOf("20261203").c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    Select(2);
    EXPECT_EQ(h->LastMessage(), kBusy);
    EXPECT_EQ(Logins().Point(s, PointOf(3)).Value, 5);
    EXPECT_EQ(page->lblORLog_Date->text(), QString::fromUtf8("26/12/04(金)"));
    EXPECT_EQ(page->grdCont->Cell(9, 1), "005") << "raw table unchanged";
    // A reload whose first day is busy says so before the guide.
    h->ctx.Sort.SortCol[pgRate][0] = 0;   // ascending: the locked day first
    page->LoadPage(false);
    EXPECT_EQ(page->Guide(), kBusy + "  " + kGuide);
    ::flock(fd, LOCK_UN);
    ::close(fd);
    Select(2);
    Select(1);
    EXPECT_EQ(Logins().Point(s, PointOf(3)).Value, 9) << "selecting again retries";
    EXPECT_EQ(page->Guide(), kGuide);
}

TEST_F(RatePageTest, DamagedLinesAreSkippedAndReported) {
    std::string text = Line({1, 7}) + "\r\n" + Line({2, 8}).substr(0, 60) + "\r\n" + Line({3, 9}) + "\r\n";
    std::string bad = Line({4, 1});
    bad[50] = 'x';   // a logins digit
    text += bad + "\r\n";
    WriteText("20261204", text);
    page->LoadPage(false);
    const int s = Logins().SeriesIndex("sLog_cnt");
    EXPECT_EQ(Logins().Point(s, PointOf(1)).Value, 7);
    EXPECT_TRUE(Logins().Point(s, PointOf(2)).Empty);
    EXPECT_EQ(Logins().Point(s, PointOf(3)).Value, 9);
    EXPECT_EQ(Logins().Point(s, PointOf(4)).Value, 0);
    const QString message = h->LastMessage();
    EXPECT_TRUE(message.contains(QString::fromUtf8("データファイルに異常があります"))) << message.toStdString();
    EXPECT_TRUE(page->Guide().startsWith(message));
    EXPECT_TRUE(page->Guide().endsWith(kGuide));
}

TEST_F(RatePageTest, ManyDaysAreListedNewestFirstOrAscendingFromTheSlot) {
    QDate day(2024, 1, 1);
    std::vector<std::string> days;
    for (int i = 0; i < 999; ++i, day = day.addDays(1)) {
        days.push_back(day.toString("yyyyMMdd").toStdString());
        QFile(QString::fromStdString(PathOf(days.back()))).open(QIODevice::WriteOnly);
    }
    Write(days.back(), {{0, 1}});
    page->LoadPage(false);
    ASSERT_EQ(page->grdDateKa->RowCount(), 1000);
    EXPECT_EQ(page->grddateKa2->Cell(0, 1), days.back());
    EXPECT_EQ(page->grddateKa2->Cell(0, 999), days.front());
    EXPECT_EQ(page->grdDateKa->CellText(0, 999), QString::fromUtf8("24/01/01(月)"));
    EXPECT_EQ(Logins().Point(0, PointOf(0)).Value, 1);

    h->ctx.Sort.SortCol[pgRate][0] = 0;
    h->ctx.Sort.SortDir[pgRate][0] = "";
    page->LoadPage(false);
    EXPECT_EQ(page->grddateKa2->Cell(0, 1), days.front());
    EXPECT_EQ(page->grddateKa2->Cell(0, 999), days.back());
    // An empty file is a day without records: every hour a gap.
    for (int i = 0; i < 24; ++i) EXPECT_TRUE(Logins().Point(0, i).Empty);
    h->ctx.Sort.SortDir[pgRate][0] = "DESC";
    page->LoadPage(false);
    EXPECT_EQ(page->grddateKa2->Cell(0, 1), days.back());
}

TEST_F(RatePageTest, DateListDrawsBlackLeftAlignedAndIgnoresEmptyRows) {
    Write("20261204", {{3, 5}});
    page->LoadPage(false);
    const auto style = StyleOf(*page->grdDateKa, 0, 1);
    EXPECT_EQ(style.Text, QColor(Qt::black));
    EXPECT_FALSE(style.RightAlign);
    const size_t before = h->messages.size();
    Select(1);   // the current row: nothing read
    EXPECT_EQ(h->messages.size(), before);
}
