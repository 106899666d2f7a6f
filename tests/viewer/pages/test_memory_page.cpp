// The memory tab reading MU and ML files as the collector writes them.
#include <QApplication>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <fstream>

#include "../GridClicks.h"
#include "KvBarChart.h"
#include "KvDayList.h"
#include "KvStatRecords.h"
#include "KvgLines.h"
#include "MemoryPage.h"
#include "PageFixture.h"

namespace {

constexpr int kLatch2 = 8;
constexpr int kSQLAreaPage = 1;
const QColor kRed(255, 0, 0), kBlue(0, 0, 255), kBlack(Qt::black);

// One hour as the collector saw it: sizes and the growth of each counter.
struct THour {
    int Hour = 0;
    double SharedPoolSize = 8'388'608, SharedPoolUse = 4'194'304;
    double SqlExec = 1000, SqlMiss = 10, LibExec = 2000, LibMiss = 40, DicExec = 500, DicMiss = 5;
    double BufSize = 33'554'432, BufGets = 10'000, BufMiss = 250;
    double LogBufSize = 524'288, LogBufUse = 131'072;
    double SortSize = 65'536, SortMemory = 95, SortDisk = 5, SortRows = 1234;
    TLatchPair Latch[4] = {{1000, 10}, {2000, 0}, {300, 3}, {400, 4}};
};

std::string MULine(const THour& h) {
    TMURecord prev, fresh;
    prev.ValidItems = fresh.ValidItems = ~0u;
    prev.Hour = h.Hour;
    prev.SharedPoolSize = h.SharedPoolSize;
    prev.SharedPoolUsedMax = h.SharedPoolUse;
    prev.LogBufferMax = h.LogBufUse;
    fresh.DatabaseBuffers = h.BufSize;
    fresh.RedoBuffers = h.LogBufSize;
    fresh.SortAreaSize = h.SortSize;
    // Counters start at 0, so their growth is the fresh reading.
    fresh.SqlAreaPins = h.SqlExec;
    fresh.SqlAreaReloads = h.SqlMiss;
    fresh.LibCachePins = h.LibExec;
    fresh.LibCacheReloads = h.LibMiss;
    fresh.DictGets = h.DicExec;
    fresh.DictGetMisses = h.DicMiss;
    fresh.LogicalReads = h.BufGets;
    fresh.PhysicalReads = h.BufMiss;
    fresh.SortsMemory = h.SortMemory;
    fresh.SortsDisk = h.SortDisk;
    fresh.RowsSorted = h.SortRows;
    fresh.CacheBuffersChains = h.Latch[0];
    fresh.CacheBuffersLruChain = h.Latch[1];
    fresh.LibraryCache = h.Latch[2];
    fresh.SharedPool = h.Latch[3];
    return BuildMULine(prev, fresh);
}

std::vector<THour> Hours(int first, int last) {
    std::vector<THour> hours;
    for (int h = first; h <= last; ++h) {
        THour hour;
        hour.Hour = h;
        hours.push_back(hour);
    }
    return hours;
}

QString ChartHour(int h) { return QString::asprintf("%2d:00", h) + QString::fromUtf8("～59"); }
// Points go in from hour 23 down to hour 0.
int PointOf(int hour) { return 23 - hour; }

struct MemoryPageTest : ::testing::Test {
    QTemporaryDir dir;
    std::unique_ptr<PageHarness<TMemoryPage>> h;

    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        h = std::make_unique<PageHarness<TMemoryPage>>(10, 8192, Dir());
        // On screen, so that the tests click as the user does.
        P().resize(660, 560);
        P().show();
    }
    std::string Dir() const { return dir.path().toStdString(); }
    TMemoryPage& P() { return *h->page; }
    std::string Path(const std::string& prefix, const std::string& day) const {
        return Dir() + "/" + prefix + day + ".dat";
    }
    void WriteFile(const std::string& path, const std::vector<std::string>& lines) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        for (const std::string& line : lines) out << line << "\r\n";
    }
    void WriteMU(const std::string& day, const std::vector<THour>& hours, std::vector<std::string> extra = {}) {
        std::vector<std::string> lines;
        for (const THour& hour : hours) lines.push_back(MULine(hour));
        lines.insert(lines.end(), extra.begin(), extra.end());
        WriteFile(Path("MU", day), lines);
    }
    void WriteML(const std::string& day, const std::vector<std::tuple<std::string, double, double>>& latches) {
        std::vector<std::string> lines;
        for (const auto& [name, gets, misses] : latches) lines.push_back(BuildMLLine(name, gets, misses));
        WriteFile(Path("ML", day), lines);
    }
    // A user's click on a row of the date list.
    void SelectDay(int row) { gridclicks::ClickRow(*P().grdMUDate, row); }
    // A click on the tab button of a page of pageMem.
    void ShowMemPage(int index) {
        ASSERT_TRUE(gridclicks::ClickButton(P().findChild<QWidget*>("pageMemTabs"), P().pageMem->tabText(index)));
        ASSERT_EQ(P().pageMem->currentIndex(), index);
    }
    int RowOf(const std::string& day) {
        for (int r = 1; r < P().grdMUDate->RowCount(); ++r)
            if (P().grdMUDate2->Cell(0, r) == day) return r;
        return -1;
    }
    std::string Cell(TKvStringGrid* grid, int col, int hour) { return grid->Cell(col, hour + 1); }
};

}  // namespace

TEST_F(MemoryPageTest, AtStartTheGridsCarryHeadingsAndHourBandsAndTheLabelsAreEmpty) {
    EXPECT_EQ(P().grdSortArea->Cell(5, 0), "ｿｰﾄ率(%)");
    EXPECT_EQ(P().grdBlockBuf->ColWidth(1), 108);
    EXPECT_EQ(P().grdLatch2->Cell(3, 0), "比率(%)");
    ASSERT_EQ(P().grdSQLArea->RowCount(), 25);
    EXPECT_EQ(P().grdSQLArea->Cell(0, 1), "   0:00～59");
    EXPECT_EQ(P().grdDicCache->Cell(0, 24), "  23:00～59");
    EXPECT_TRUE(P().lblMUSPDate->text().isEmpty());
    EXPECT_TRUE(P().pnlMUL1Date->text().isEmpty());
    EXPECT_TRUE(P().LoadedMUDate().empty());
    EXPECT_EQ(P().pageMem->count(), 9);
    EXPECT_EQ(P().pageMem->tabText(kLatch2), QString("Latch(2)"));
    EXPECT_EQ(P().ChartLCachBufChain->BottomMaximum(), 3499);
    EXPECT_EQ(P().chartSharedPool->SeriesTitle(0), QString::fromUtf8("MAX使用量"));
    EXPECT_EQ(P().ChartLogBuf->SeriesTitle(1), QString::fromUtf8("未使用"));
}

TEST_F(MemoryPageTest, ADayWithHoursNineToSeventeenFillsOnlyThoseHours) {
    WriteMU("20261204", Hours(9, 17));
    WriteML("20261204", {{"cache buffers chains", 5000, 50}});
    P().LoadPage(false);

    EXPECT_EQ(P().LoadedMUDate(), "20261204");
    const QString label = QString::fromStdString(DayLabel("20261204"));
    EXPECT_EQ(P().grdMUDate->CellText(0, 1), label);
    for (QLabel* date : {P().lblMUSPDate, P().lblMUSADate, P().lblMULCDate, P().lblMUDCDate, P().lblMUBBDate,
                         P().lblMULBDate, P().lblMUSRDate, P().pnlMUL1Date, P().lblMUL2Date})
        EXPECT_EQ(date->text(), label) << date->objectName().toStdString();

    for (int hour = 0; hour < 24; ++hour) {
        const bool recorded = hour >= 9 && hour <= 17;
        for (TKvStringGrid* grid : {P().grdSQLArea, P().grdLibCache, P().grdDicCache, P().grdBlockBuf, P().grdSortArea})
            EXPECT_EQ(Cell(grid, 1, hour).empty(), !recorded) << grid->objectName().toStdString() << " " << hour;
        for (TKvBarChart* chart : {P().chartSharedPool, P().ChartLogBuf, P().chartLLibCache}) {
            ASSERT_EQ(chart->PointCount(0), 24);
            const TKvBarPoint point = chart->Point(0, PointOf(hour));
            EXPECT_EQ(point.Empty, !recorded) << hour;
            EXPECT_EQ(point.Label, ChartHour(hour));
        }
    }
    // Hit ratios and counts of a recorded hour.
    EXPECT_EQ(Cell(P().grdSQLArea, 1, 9), "1,000");
    EXPECT_EQ(Cell(P().grdSQLArea, 3, 9), "99.00");
    EXPECT_EQ(Cell(P().grdLibCache, 3, 12), "98.00");
    EXPECT_EQ(Cell(P().grdBlockBuf, 1, 12), "32");
    EXPECT_EQ(Cell(P().grdBlockBuf, 4, 12), "97.50");
    EXPECT_EQ(Cell(P().grdSortArea, 1, 17), "65,536");
    EXPECT_EQ(Cell(P().grdSortArea, 4, 17), "1,234");
    // Log buffer: 128 KB used of 512.
    EXPECT_EQ(P().ChartLogBuf->Point(0, PointOf(10)).Value, 128);
    EXPECT_EQ(P().ChartLogBuf->Point(1, PointOf(10)).Value, 384);
    EXPECT_EQ(P().ChartLogBuf->Point(1, PointOf(10)).Label, QString("512"));
    // The latch grid of the day.
    ASSERT_EQ(P().grdLatch2->RowCount(), 2);
    EXPECT_EQ(P().grdLatch2->Cell(0, 1), "cache buffers chains");
    EXPECT_EQ(P().grdLatch2->Cell(1, 1), "5,000");
    EXPECT_EQ(P().grdLatch2->Cell(3, 1), "1.00");
    EXPECT_EQ(P().Guide(), QString::fromUtf8("表示する日付を選択して下さい。"));
}

TEST_F(MemoryPageTest, ZeroCountsSortRateColoursAndSharedPoolKilobytes) {
    std::vector<THour> hours = Hours(0, 5);
    hours[0].SqlExec = 0;                               // no executions
    hours[0].BufGets = 0;                               // no gets
    hours[1].SortMemory = 9000, hours[1].SortDisk = 1000;   // 90.00
    hours[2].SortMemory = 95, hours[2].SortDisk = 5;        // 95.00
    hours[3].SortMemory = 8999, hours[3].SortDisk = 1001;   // 89.99
    hours[4].SortMemory = 0, hours[4].SortDisk = 0;         // no sorts
    hours[5].SharedPoolSize = 4'194'304, hours[5].SharedPoolUse = 3'145'728;
    hours[5].Latch[1] = {0, 0};
    hours[5].Latch[0] = {0, 7};
    WriteMU("20261204", hours);
    P().LoadPage(false);

    TKvStringGrid* sql = P().grdSQLArea;
    EXPECT_EQ(Cell(sql, 1, 0) + "|" + Cell(sql, 2, 0) + "|" + Cell(sql, 3, 0), "0|0|0");
    TKvStringGrid* buf = P().grdBlockBuf;
    EXPECT_EQ(Cell(buf, 1, 0) + "|" + Cell(buf, 2, 0) + "|" + Cell(buf, 3, 0) + "|" + Cell(buf, 4, 0), "32|0|0|0");

    TKvStringGrid* sort = P().grdSortArea;
    EXPECT_EQ(Cell(sort, 5, 1), "90.00");
    EXPECT_EQ(StyleOf(*sort, 2, 2).Text, kBlue);
    EXPECT_EQ(Cell(sort, 5, 2), "95.00");
    EXPECT_EQ(StyleOf(*sort, 1, 3).Text, kBlack);
    EXPECT_EQ(Cell(sort, 5, 3), "89.99");
    EXPECT_EQ(StyleOf(*sort, 5, 4).Text, kRed);
    EXPECT_EQ(Cell(sort, 5, 4), "");
    EXPECT_EQ(StyleOf(*sort, 5, 5).Text, kBlack);
    EXPECT_TRUE(StyleOf(*sort, 1, 5).RightAlign);

    // 4,194,304 bytes with 3,145,728 in use: 3072 KB used, 1024 KB free of 4,096.
    const TKvBarPoint used = P().chartSharedPool->Point(0, PointOf(5));
    const TKvBarPoint unused = P().chartSharedPool->Point(1, PointOf(5));
    EXPECT_EQ(used.Value, 3072);
    EXPECT_EQ(used.Label, ChartHour(5));
    EXPECT_EQ(unused.Value, 1024);
    EXPECT_EQ(unused.Label, QString("4,096"));
    // Marks and labels read alike, "#,##0".
    EXPECT_EQ(P().chartSharedPool->MarkText(1, PointOf(5)), QString("1,024"));
    EXPECT_EQ(P().chartSharedPool->MarkText(0, PointOf(5)), QString("3,072"));

    // A latch with 0 gets: both points added, the misses labelled "0.00%".
    const TKvBarPoint gets = P().chartLCachBufIRU->Point(0, PointOf(5));
    const TKvBarPoint misses = P().chartLCachBufIRU->Point(1, PointOf(5));
    EXPECT_FALSE(gets.Empty);
    EXPECT_EQ(gets.Value, 0);
    EXPECT_FALSE(misses.Empty);
    EXPECT_EQ(misses.Label, QString("0.00%"));
    EXPECT_EQ(P().ChartLCachBufChain->Point(1, PointOf(5)).Label, QString("0.00%"));
    EXPECT_EQ(P().ChartLCachBufChain->Point(1, PointOf(4)).Label, QString("1.00%"));
}

TEST_F(MemoryPageTest, UsageKilobytesRoundHalfToEven) {
    std::vector<THour> hours = Hours(3, 3);
    // 2.5 KB in use rounds to 2; 1.5 KB free rounds to 2; 4 KB in all.
    hours[0].SharedPoolSize = 4096;
    hours[0].SharedPoolUse = 2560;
    WriteMU("20261204", hours);
    P().LoadPage(false);
    EXPECT_EQ(P().chartSharedPool->Point(0, PointOf(3)).Value, 2);
    EXPECT_EQ(P().chartSharedPool->Point(1, PointOf(3)).Value, 2);
    EXPECT_EQ(P().chartSharedPool->Point(1, PointOf(3)).Label, QString("4"));
}

TEST_F(MemoryPageTest, TheLatchAxisGrowsToTheLargestHourAndIsNeverLowered) {
    std::vector<THour> big = Hours(8, 9);
    big[1].Latch[2] = {10'000, 100};   // library cache: 10,100 in one hour
    std::vector<THour> small = Hours(8, 9);
    WriteMU("20261203", small);
    WriteMU("20261204", big);
    P().LoadPage(false);   // newest first: the big day
    EXPECT_DOUBLE_EQ(P().chartLLibCache->BottomMaximum(), 10'100 * 1.1);
    EXPECT_EQ(P().chartLSharedPool->BottomMaximum(), 3499) << "404 * 1.1 stays below the start";

    SelectDay(RowOf("20261203"));
    EXPECT_EQ(P().LoadedMUDate(), "20261203");
    EXPECT_EQ(P().chartLLibCache->Point(0, PointOf(9)).Value, 300);
    EXPECT_DOUBLE_EQ(P().chartLLibCache->BottomMaximum(), 10'100 * 1.1);
}

// Letter case is ignored when days are listed: a day stored only as
// "mu20261204.DAT" is opened under that name, its latch file "ml....DAT" too.
TEST_F(MemoryPageTest, ADayStoredInLowerCaseIsOpenedAsListed) {
    std::vector<THour> hours = Hours(3, 3);
    hours[0].SqlExec = 777;
    WriteFile(Dir() + "/mu20261204.DAT", {MULine(hours[0])});
    WriteFile(Dir() + "/ml20261204.DAT", {BuildMLLine("library cache", 200, 2)});
    WriteMU("20261203", Hours(3, 3));
    P().LoadPage(false);
    ASSERT_EQ(P().grdMUDate2->Cell(0, 1), "20261204");
    EXPECT_EQ(P().LoadedMUDate(), "20261204");
    EXPECT_EQ(Cell(P().grdSQLArea, 1, 3), "777");
    EXPECT_EQ(P().grdLatch2->Cell(0, 1), "library cache");
    EXPECT_FALSE(P().Guide().contains(QString::fromUtf8("データ更新中"))) << P().Guide().toStdString();

    // Chosen again after another day, from the latch page and an hourly one.
    SelectDay(2);
    ShowMemPage(kLatch2);
    SelectDay(1);
    EXPECT_EQ(P().grdLatch2->Cell(0, 1), "library cache");
    ShowMemPage(kSQLAreaPage);
    EXPECT_EQ(P().LoadedMUDate(), "20261204");
    EXPECT_EQ(h->LastMessage(), QString());

    // Both spellings on disk: the collector's own, exact one is read.
    std::vector<THour> exact = Hours(3, 3);
    exact[0].SqlExec = 888;
    WriteMU("20261204", exact);
    P().LoadPage(false);
    EXPECT_EQ(Cell(P().grdSQLArea, 1, 3), "888");
}

TEST_F(MemoryPageTest, TheDateListIsNewestFirstUnlessSortedAscending) {
    for (const char* day : {"20261202", "20261130", "20261204"}) WriteMU(day, Hours(1, 2));
    WriteFile(Dir() + "/MUnotadate.dat", {"x"});
    P().LoadPage(false);
    ASSERT_EQ(P().grdMUDate->RowCount(), 4);
    EXPECT_EQ(P().grdMUDate2->Cell(0, 1), "20261204");
    EXPECT_EQ(P().grdMUDate2->Cell(0, 3), "20261130");
    EXPECT_EQ(P().grdMUDate->CellText(0, 3), QString::fromUtf8("26/11/30(月)"));
    EXPECT_EQ(P().LoadedMUDate(), "20261204");

    h->ctx.Sort.SortCol[pgMemory][0] = 0;
    h->ctx.Sort.SortDir[pgMemory][0] = "";
    P().LoadPage(false);
    EXPECT_EQ(P().grdMUDate2->Cell(0, 1), "20261130");
    EXPECT_EQ(P().grdMUDate->Row(), 1);
    EXPECT_EQ(P().LoadedMUDate(), "20261130");
    EXPECT_EQ(P().lblMUSADate->text(), QString::fromStdString(DayLabel("20261130")));

    h->ctx.Sort.SortDir[pgMemory][0] = "DESC";
    P().LoadPage(false);
    EXPECT_EQ(P().grdMUDate2->Cell(0, 1), "20261204");
}

TEST_F(MemoryPageTest, WithoutFilesTheListHasOneEmptyRowAndTheViewsStay) {
    WriteMU("20261204", Hours(4, 4));
    P().LoadPage(false);
    ASSERT_TRUE(QFile::remove(QString::fromStdString(Path("MU", "20261204"))));
    P().LoadPage(false);
    EXPECT_EQ(h->messages.at(h->messages.size() - 1), QString::fromUtf8("データがありません。"));
    ASSERT_EQ(P().grdMUDate->RowCount(), 2);
    EXPECT_EQ(P().grdMUDate->Cell(0, 1), "");
    EXPECT_EQ(Cell(P().grdSQLArea, 1, 4), "1,000") << "the views keep their contents";
    EXPECT_EQ(P().Guide(), QString::fromUtf8("表示する日付を選択して下さい。"));
    SelectDay(1);   // the empty row does nothing
    EXPECT_EQ(P().LoadedMUDate(), "20261204");
}

TEST_F(MemoryPageTest, ALockedFileIsReportedAndThePreviousDayStays) {
    WriteMU("20261204", Hours(6, 6));
    std::vector<THour> other = Hours(6, 6);
    other[0].SqlExec = 7777;
    WriteMU("20261203", other);
    P().LoadPage(false);
    const QString shownLabel = P().lblMUSADate->text();

    {
        // The collector appending to the file.
        const int fd = ::open(Path("MU", "20261203").c_str(), O_RDWR);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::flock(fd, LOCK_EX), 0);
        SelectDay(2);
        ::close(fd);
    }
    EXPECT_EQ(h->LastMessage(), QString::fromUtf8("データ更新中のため読込できませんでした。"));
    EXPECT_EQ(P().LoadedMUDate(), "20261204");
    EXPECT_EQ(P().lblMUSADate->text(), shownLabel);
    EXPECT_EQ(Cell(P().grdSQLArea, 1, 6), "1,000");
    // The guide after a reload must not hide that an older day is on show.
    EXPECT_TRUE(P().Guide().startsWith(QString::fromUtf8("データ更新中のため読込できませんでした。")));

    // Once the file is free, coming back to a page reads it.
    ShowMemPage(kSQLAreaPage);
    EXPECT_EQ(P().LoadedMUDate(), "20261203");
    EXPECT_EQ(Cell(P().grdSQLArea, 1, 6), "7,777");
    EXPECT_EQ(P().Guide(), QString::fromUtf8("表示する日付を選択して下さい。"));
}

TEST_F(MemoryPageTest, DamagedLinesAreSkippedAndReportedBeforeTheGuide) {
    std::string garbled = MULine(Hours(8, 8)[0]);
    garbled[50] = '-';   // inside the SQL area misses: reads as 0
    WriteMU("20261204", Hours(3, 4), {std::string(120, '1'), garbled});
    P().LoadPage(false);
    EXPECT_EQ(P().LoadedMUDate(), "20261204");
    EXPECT_EQ(Cell(P().grdSQLArea, 1, 3), "1,000");
    EXPECT_EQ(Cell(P().grdSQLArea, 1, 8), "1,000");
    const QString guide = P().Guide();
    EXPECT_TRUE(guide.startsWith(QString::fromUtf8("データファイルに異常があります"))) << guide.toStdString();
    EXPECT_TRUE(guide.endsWith(QString::fromUtf8("表示する日付を選択して下さい。"))) << guide.toStdString();
    EXPECT_TRUE(guide.contains(QString::fromUtf8("読み飛ばし 1 行"))) << guide.toStdString();

    // A clean file read afterwards clears the report.
    WriteMU("20261204", Hours(3, 4));
    P().LoadPage(false);
    EXPECT_EQ(P().Guide(), QString::fromUtf8("表示する日付を選択して下さい。"));
}

TEST_F(MemoryPageTest, TheMarkButtonSwitchesBetweenRatioAndCountsAndTheModeOutlivesTheDay) {
    WriteMU("20261204", Hours(2, 2));
    WriteMU("20261203", Hours(2, 2));
    P().LoadPage(false);
    const int point = PointOf(2);
    const auto check = [&](bool ratio, int arrow) {
        EXPECT_EQ(P().LatchMarksShowRatio(), ratio);
        for (TKvBarChart* chart :
             {P().ChartLCachBufChain, P().chartLCachBufIRU, P().chartLLibCache, P().chartLSharedPool}) {
            EXPECT_EQ(chart->Marks(0).Visible, !ratio);
            EXPECT_EQ(chart->Marks(1).ArrowLength, arrow);
            EXPECT_EQ(chart->Marks(1).Back, QColor(255, 128, 64));
        }
        EXPECT_EQ(P().ChartLCachBufChain->MarkText(1, point), ratio ? QString("1.00%") : QString("10"));
        EXPECT_EQ(P().ChartLCachBufChain->MarkText(0, point), ratio ? QString() : QString("1,000"));
    };
    check(true, 3);
    P().btnChgMark->click();
    check(false, 50);
    SelectDay(2);   // another day keeps the mode
    EXPECT_EQ(P().LoadedMUDate(), "20261203");
    check(false, 50);
    P().btnChgMarkClick();
    check(true, 5);
}

TEST_F(MemoryPageTest, HourlyViewsFollowTheSelectedDayOnlyWhenOneOfThemShows) {
    WriteMU("20261204", Hours(1, 1));
    std::vector<THour> other = Hours(1, 1);
    other[0].SqlExec = 4242;
    WriteMU("20261203", other);
    WriteML("20261204", {{"shared pool", 10, 0}});
    WriteML("20261203", {{"library cache", 200, 2}, {"cache buffers chains", 0, 0}, {"Shared pool", 50, 5}});
    P().LoadPage(false);

    ShowMemPage(kLatch2);
    SelectDay(2);
    EXPECT_EQ(P().LoadedMUDate(), "20261204") << "the MU file waits";
    EXPECT_EQ(P().lblMUL2Date->text(), QString::fromStdString(DayLabel("20261203")));
    EXPECT_EQ(P().lblMUSADate->text(), QString::fromStdString(DayLabel("20261204")));
    TKvStringGrid* latch = P().grdLatch2;
    ASSERT_EQ(latch->RowCount(), 4);
    EXPECT_EQ(latch->Cell(0, 1), "cache buffers chains");
    EXPECT_EQ(latch->Cell(3, 1), "0.00");
    EXPECT_EQ(StyleOf(*latch, 1, 1).Text, kBlack);
    EXPECT_FALSE(StyleOf(*latch, 0, 1).RightAlign);
    EXPECT_TRUE(StyleOf(*latch, 1, 1).RightAlign);
    EXPECT_EQ(latch->Cell(0, 2), "library cache");
    EXPECT_EQ(latch->Cell(3, 3), "10.00");
    EXPECT_EQ(StyleOf(*latch, 2, 3).Text, kRed);

    ShowMemPage(kSQLAreaPage);
    EXPECT_EQ(P().LoadedMUDate(), "20261203");
    EXPECT_EQ(Cell(P().grdSQLArea, 1, 1), "4,242");

    // Sorted by gets, descending: the detail reload re-reads the ML file only.
    h->ctx.Sort.SortCol[pgMemory][1] = 1;
    h->ctx.Sort.SortDir[pgMemory][1] = "DESC";
    P().LoadPage(true);
    EXPECT_EQ(latch->Cell(0, 1), "library cache");
    EXPECT_EQ(latch->Cell(0, 3), "cache buffers chains");
}

TEST_F(MemoryPageTest, AMissingOrEmptyLatchFileLeavesTheLatchGridEmpty) {
    WriteMU("20261204", Hours(1, 1));
    WriteML("20261204", {{"library cache", 200, 2}});
    WriteMU("20261203", Hours(1, 1));
    WriteMU("20261202", Hours(1, 1));
    WriteFile(Path("ML", "20261202"), {});
    P().LoadPage(false);
    ASSERT_EQ(P().grdLatch2->Cell(0, 1), "library cache");
    ShowMemPage(kLatch2);

    SelectDay(2);
    EXPECT_EQ(h->LastMessage(), QString::fromUtf8("指定日のデータはありません。"));
    EXPECT_EQ(P().grdLatch2->RowCount(), 2);
    EXPECT_EQ(P().grdLatch2->Cell(0, 1), "");
    EXPECT_EQ(P().lblMUL2Date->text(), QString::fromStdString(DayLabel("20261203")));

    P().grdLatch2->SetCell(0, 1, "stale");
    SelectDay(3);
    EXPECT_EQ(h->LastMessage(), QString::fromUtf8("指定日のデータはありません。"));
    EXPECT_EQ(P().grdLatch2->Cell(0, 1), "");
}

namespace {
int PixelsOf(const QImage& image, const QColor& colour) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y).rgb() == colour.rgb()) ++count;
    return count;
}
}  // namespace

// Each chart page on screen shows bars in its series' colours; with
// KELV_SCREENSHOT_DIR set the pages are saved there as pictures.
TEST_F(MemoryPageTest, EveryChartPageDrawsItsBars) {
    std::vector<THour> hours = Hours(0, 23);
    for (THour& hour : hours) {
        hour.SharedPoolUse = 2'000'000 + hour.Hour * 150'000;
        hour.LogBufUse = 40'000 + hour.Hour * 15'000;
        for (int l = 0; l < 4; ++l) hour.Latch[l] = {1500.0 + hour.Hour * 120 + l * 300, 3.0 + hour.Hour % 7};
    }
    hours.erase(hours.begin() + 3);   // an hour without a record
    WriteMU("20261204", hours);
    WriteML("20261204", {{"cache buffers chains", 5000, 50}});
    P().LoadPage(false);
    P().resize(660, 560);
    P().show();

    const QByteArray shots = qgetenv("KELV_SCREENSHOT_DIR");
    struct TShot {
        int Page, LatchTab;
        const char* Name;
        QColor First, Second;
    };
    const TShot pages[] = {
        {0, 0, "memory_shared_pool", QColor(0, 128, 255), QColor(255, 128, 192)},
        {5, 0, "memory_log_buf", QColor(0, 128, 255), QColor(255, 128, 192)},
        {7, 0, "memory_latch_cache_buf_chain", QColor(0, 128, 192), QColor(255, 128, 64)},
        {7, 1, "memory_latch_cache_buf_lru", QColor(0, 128, 192), QColor(255, 128, 64)},
        {7, 2, "memory_latch_lib_cache", QColor(0, 128, 192), QColor(255, 128, 64)},
        {7, 3, "memory_latch_shared_pool", QColor(0, 128, 192), QColor(255, 128, 64)},
    };
    for (const TShot& shot : pages) {
        ShowMemPage(shot.Page);
        if (shot.Page == 7) gridclicks::ClickTab(P().pageLatch->tabBar(), shot.LatchTab);
        for (int i = 0; i < 5; ++i) QApplication::processEvents();
        const QImage image = P().grab().toImage();
        if (!shots.isEmpty()) image.save(QString::fromLocal8Bit(shots) + "/" + shot.Name + ".png");
        EXPECT_GT(PixelsOf(image, shot.First), 200) << shot.Name;
        EXPECT_GT(PixelsOf(image, shot.Second), 200) << shot.Name;
    }
}
