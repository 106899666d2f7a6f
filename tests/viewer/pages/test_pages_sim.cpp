// The pages against the simulated instance, offscreen.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>
#include <QCheckBox>
#include <QCoreApplication>
#include <QImage>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <map>

#include "CheckPointPage.h"
#include "ExtentsPage.h"
#include "FreeSpacePage.h"
#include "KvNumFormat.h"
#include "KvOracle.h"
#include "KvStringGrid.h"
#include "PageFixture.h"
#include "LogFilePage.h"
#include "ParameterPage.h"
#include "SegmentPage.h"
#include "SessionPage.h"
#include "SimConnection.h"
#include "TableSpacePage.h"

namespace {

// A page on a live simulated connection, errors and messages recorded.
template <class Page>
struct SimPage {
    std::unique_ptr<TQueryODBC> query;
    TViewerContext ctx;
    std::vector<std::string> errors;
    std::vector<QString> messages;
    TRecordingDialogs dialogs;
    std::vector<QString>& informed = dialogs.plain;
    std::unique_ptr<Page> page;

    SimPage(std::unique_ptr<TQueryODBC> q, int version, std::string dataDir = ".") : query(std::move(q)) {
        ctx.Query = query.get();
        ctx.OracleVersion = version;
        ctx.BlockSize = version < 8 ? 2048 : 8192;
        ctx.DataDir = std::move(dataDir);
        ctx.ShowODBCError = [this](const std::string& t) { errors.push_back(t); };
        ctx.SetMessage = [this](const QString& t) { messages.push_back(t); };
        page = std::make_unique<Page>(ctx);
        page->InitMainForm();
    }
};

int VersionOf(const std::string& dsn) {
    static const std::map<std::string, int> kVersions = {{"KELV_ORA7", 7},   {"KELV_ORA8", 8},   {"KELV_ORA9", 9},
                                                         {"KELV_ORA10", 10}, {"KELV_ORA19", 19}, {"KELV_ORA19_NLS", 19}};
    return kVersions.at(dsn);
}

// Rows of a statement by column position, as texts; on a connection of the
// test's own (no session settings: only whole numbers are read here).
std::vector<std::vector<std::string>> RawRows(const std::string& dsn, const std::string& sql) {
    TQueryODBC q("raw");
    q.SetDSName(dsn);
    q.SetUserID("system");
    q.SetPassword("manager");
    q.SetSQLText(sql);
    q.Prepare();
    q.Execute();
    std::vector<std::vector<std::string>> rows;
    while (q.Fetch()) rows.emplace_back(q.RowValues().begin() + 1, q.RowValues().end());
    return rows;
}

// What the free-space grid must show, worked out from the free extents and
// the data files themselves: one row per tablespace with a free extent.
std::vector<std::vector<std::string>> ExpectedFreeSpace(const std::string& dsn) {
    std::map<std::string, std::vector<double>> pieces;
    for (const auto& r : RawRows(dsn, "SELECT TABLESPACE_NAME, BLOCKS FROM DBA_FREE_SPACE"))
        pieces[r[0]].push_back(std::stod(r[1]));
    std::map<std::string, double> size;
    for (const auto& r : RawRows(dsn, "SELECT TABLESPACE_NAME, BLOCKS FROM DBA_DATA_FILES")) size[r[0]] += std::stod(r[1]);
    std::vector<std::vector<std::string>> rows;
    for (const auto& [ts, p] : pieces) {
        double free = 0, dead = 0;
        for (double b : p) {
            free += b;
            if (b < 5) dead += b;
        }
        const double average = std::round(free / static_cast<double>(p.size()));
        rows.push_back({ts, FormatGrouped(size[ts]), FormatGrouped(free), FormatTwoDecimals(free / size[ts] * 100),
                        FormatGrouped(static_cast<double>(p.size())), FormatGrouped(*std::max_element(p.begin(), p.end())),
                        FormatGrouped(*std::min_element(p.begin(), p.end())), FormatGrouped(average),
                        std::to_string(static_cast<long long>(dead))});
    }
    return rows;   // by name, in byte order
}

std::vector<std::vector<std::string>> GridRows(const TKvStringGrid& g) {
    std::vector<std::vector<std::string>> rows;
    for (int r = 1; r < g.RowCount(); ++r) {
        rows.emplace_back();
        for (int c = 0; c < g.ColCount(); ++c) rows.back().push_back(g.Cell(c, r));
    }
    return rows;
}

class SimPages : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        if (SimDriverPath().empty()) GTEST_SKIP() << "simulated instance driver not built";
    }
    template <class Page>
    std::unique_ptr<SimPage<Page>> Open(std::string dataDir = ".") {
        return std::make_unique<SimPage<Page>>(SimQuery(GetParam()), VersionOf(GetParam()), dataDir);
    }
};

}  // namespace

TEST_P(SimPages, CheckPointDaysHoursAndFile) {
    QTemporaryDir dir;
    auto p = Open<TCheckPointPage>(dir.path().toStdString());
    p->page->LoadPage(false);
    ASSERT_TRUE(p->errors.empty()) << p->errors[0];
    auto& g = *p->page->grdDate;
    ASSERT_GT(g.RowCount(), 2);
    QFile f(dir.filePath(kCheckPointFileName));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray content = f.readAll();
    EXPECT_EQ(content.size(), (g.RowCount() - 1) * 19);
    const std::string first = content.left(17).toStdString();
    EXPECT_EQ(first, CheckPointLine(p->page->grdDate2->Cell(0, 1), g.Cell(1, 1)));
    double sum = 0;
    for (int h = 0; h < 24; ++h) sum += p->page->BarValue(h);
    EXPECT_EQ(sum, std::stod(g.Cell(1, 1)));
}

TEST_P(SimPages, TableSpacesFilesAndUsage) {
    auto p = Open<TTableSpacePage>();
    p->page->LoadPage(false);
    ASSERT_TRUE(p->errors.empty()) << p->errors[0];
    EXPECT_GT(p->page->grdTSN->RowCount(), 2);
    EXPECT_FALSE(p->page->grdTS->Cell(0, 1).empty());
    EXPECT_EQ(p->page->grdTS->ColCount(), GetParam() == "KELV_ORA7" ? 3 : 6);
    EXPECT_GT(p->page->UsedBlocks() + p->page->FreeBlocks(), 0);
    EXPECT_GE(p->page->FreeBlocks(), 0);
    p->ctx.Sort.SortCol[3][1] = 1;
    p->ctx.Sort.SortDir[3][1] = "DESC";
    p->page->LoadPage(true);
    EXPECT_TRUE(p->errors.empty());
}

TEST_P(SimPages, StorageListsLoad) {
    auto seg = Open<TSegmentPage>();
    seg->page->chkStIx->setChecked(true);
    seg->ctx.Sort.SortCol[5][0] = 4;
    seg->ctx.Sort.SortDir[5][0] = "DESC";
    seg->page->LoadPage(false);
    ASSERT_TRUE(seg->errors.empty()) << seg->errors[0];
    ASSERT_GT(seg->page->grdSeg->RowCount(), 3);
    auto kb = [&](int r) { return std::stod(QString::fromStdString(seg->page->grdSeg->Cell(4, r)).remove(',').toStdString()); };
    EXPECT_GE(kb(1), kb(2));   // largest first
    auto fet = Open<TFreeSpacePage>();
    fet->page->LoadPage(false);
    ASSERT_TRUE(fet->errors.empty()) << fet->errors[0];
    EXPECT_GT(fet->page->grdFet->RowCount(), 2);
    auto ext = Open<TExtentsPage>();
    ext->page->chkExt->setChecked(false);
    ext->page->LoadPage(false);
    ASSERT_TRUE(ext->errors.empty()) << ext->errors[0];
    EXPECT_GT(ext->page->grdExt->RowCount(), 2);
}

TEST_P(SimPages, DictionaryListsLoad) {
    auto parm = Open<TParameterPage>();
    parm->page->LoadPage(false);
    ASSERT_TRUE(parm->errors.empty()) << parm->errors[0];
    EXPECT_GT(parm->page->grdParm->RowCount(), 10);
    auto log = Open<TLogFilePage>();
    log->page->LoadPage(false);
    ASSERT_TRUE(log->errors.empty()) << log->errors[0];
    int current = 0;
    for (int r = 1; r < log->page->grdLog->RowCount(); ++r) {
        const auto& g = *log->page->grdLog;
        current += IsCurrentLogMember(g.Cell(1, r), g.Cell(5, r));
    }
    EXPECT_GE(current, 1);
    auto ses = Open<TSessionPage>();
    ses->page->LoadPage(false);
    ASSERT_TRUE(ses->errors.empty()) << ses->errors[0];
    EXPECT_GT(ses->page->grdSes->RowCount(), 2);
}

// Every figure of the free-space grid, for dictionary-managed (7, 8, 10),
// mixed (9: SYSTEM in FET$) and locally managed (19) tablespaces alike.
TEST_P(SimPages, FreeSpaceShowsEveryTablespaceWithFreeExtents) {
    auto fet = Open<TFreeSpacePage>();
    fet->page->LoadPage(false);
    ASSERT_TRUE(fet->errors.empty()) << fet->errors[0];
    const auto expected = ExpectedFreeSpace(GetParam());
    ASSERT_EQ(expected.size(), 6u) << "every tablespace but the full TOOLS";
    EXPECT_EQ(GridRows(*fet->page->grdFet), expected);
    // The largest free share first, whichever way each tablespace keeps its extents.
    fet->ctx.Sort.SortCol[pgFet][0] = 3;
    fet->ctx.Sort.SortDir[pgFet][0] = "DESC";
    fet->page->LoadPage(false);
    ASSERT_TRUE(fet->errors.empty()) << fet->errors[0];
    const auto sorted = GridRows(*fet->page->grdFet);
    ASSERT_EQ(sorted.size(), expected.size());
    for (size_t i = 1; i < sorted.size(); ++i) EXPECT_GE(std::stod(sorted[i - 1][3]), std::stod(sorted[i][3])) << i;
}

TEST_P(SimPages, IncrementByIsTheFilesGrowthInKB) {
    auto p = Open<TTableSpacePage>();
    if (VersionOf(GetParam()) < 8) {
        EXPECT_EQ(p->page->grdTS->ColCount(), 3) << "no growth columns before 8";
        return;
    }
    p->page->LoadDataFiles("USERS");
    ASSERT_TRUE(p->errors.empty()) << p->errors[0];
    const auto rows = GridRows(*p->page->grdTS);
    ASSERT_EQ(rows.size(), 2u);
    for (const auto& r : rows) {
        SCOPED_TRACE(r[0]);
        EXPECT_EQ(r[3], "YES");
        EXPECT_EQ(r[5], "10,240") << "1280 blocks of 8 KB";
        EXPECT_EQ(r[4], "2,097,144") << "the largest whole number of blocks under 2 GB, in KB";
    }
}

// Lists come in byte order whatever the client's language: upper-case
// programs before lower-case ones.
TEST_P(SimPages, SortedListsAreInByteOrder) {
    auto ses = Open<TSessionPage>();
    ses->ctx.Sort.SortCol[pgSession][0] = 6;
    ses->page->LoadPage(false);
    ASSERT_TRUE(ses->errors.empty()) << ses->errors[0];
    const auto rows = GridRows(*ses->page->grdSes);
    ASSERT_GT(rows.size(), 5u);
    for (size_t i = 1; i < rows.size(); ++i) EXPECT_LE(rows[i - 1][6], rows[i][6]) << i;
    EXPECT_LT(rows.front()[6], "a") << "an upper-case program first";
}

INSTANTIATE_TEST_SUITE_P(Versions, SimPages,
                         ::testing::Values("KELV_ORA10", "KELV_ORA8", "KELV_ORA7", "KELV_ORA9", "KELV_ORA19",
                                           "KELV_ORA19_NLS"));

// Instances with their own size knobs.
class SimSizedInstance : public ::testing::Test {
protected:
    QTemporaryDir dir;
    void SetUp() override {
        if (SimDriverPath().empty()) GTEST_SKIP() << "simulated instance driver not built";
    }
    std::string DbFile() const { return dir.filePath("instance.db").toStdString(); }
};

TEST_F(SimSizedInstance, MoreThan1001DaysAreCut) {
    SimPage<TCheckPointPage> p(SimQueryWithKnobs(DbFile(), "VERSION=10;LOGHISTORYDAYS=1100"), 10,
                               dir.path().toStdString());
    p.page->LoadPage(false);
    ASSERT_TRUE(p.errors.empty()) << p.errors[0];
    EXPECT_EQ(p.page->grdDate->RowCount(), 1002);
    QFile f(dir.filePath(kCheckPointFileName));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.size(), 1001 * 19);
}

TEST_F(SimSizedInstance, NoHistoryLeavesAnEmptyDayAndNoFile) {
    SimPage<TCheckPointPage> p(SimQueryWithKnobs(DbFile(), "VERSION=10;LOGHISTORYDAYS=0"), 10,
                               dir.path().toStdString());
    p.page->LoadPage(false);
    ASSERT_TRUE(p.errors.empty()) << p.errors[0];
    if (p.page->grdDate->RowCount() == 2 && p.page->grdDate->Cell(0, 1).empty()) {
        EXPECT_FALSE(QFile::exists(dir.filePath(kCheckPointFileName)));
        for (int h = 0; h < 24; ++h) EXPECT_EQ(p.page->BarValue(h), 0);
    } else {
        // The instance logs switches of its own day even without earlier history.
        EXPECT_TRUE(QFile::exists(dir.filePath(kCheckPointFileName)));
    }
}

TEST_F(SimSizedInstance, KillFourDigitSidThenAgainAsVanished) {
    SimPage<TSessionPage> p(SimQueryWithKnobs(DbFile(), "VERSION=10;SESSIONS=1100"), 10);
    p.page->chkBack->setChecked(false);
    p.ctx.Sort.SortCol[6][0] = 0;
    p.ctx.Sort.SortDir[6][0] = "DESC";
    p.page->LoadPage(false);
    ASSERT_TRUE(p.errors.empty()) << p.errors[0];
    auto& g = *p.page->grdSes;
    int row = 0;
    for (int r = 1; r < g.RowCount() && !row; ++r)
        if (g.Cell(0, r).find(',') != std::string::npos && g.Cell(2, r) != "SYSTEM") row = r;
    ASSERT_GT(row, 0) << "no session with a four-digit SID";
    g.SetRow(row);
    QTest::mouseClick(p.page->btnCut, Qt::LeftButton);
    EXPECT_TRUE(p.informed.empty());
    EXPECT_EQ(p.messages.back(), QString::fromUtf8("セッションを切断しました。"));
    QTest::mouseClick(p.page->btnCut, Qt::LeftButton);   // the same session again: gone by now
    ASSERT_EQ(p.informed.size(), 1u);
    EXPECT_EQ(p.informed[0], QString::fromUtf8("切断できません。"));
}

// A 19c instance lists a killed session as KILLED for a while and refuses
// the kill of one's own session: the page says which it was.
TEST_F(SimSizedInstance, KillOnA19cInstanceTellsAKilledAndTheOwnSessionApart) {
    const QString cannot = QString::fromUtf8("切断できません。");
    SimPage<TSessionPage> p(SimQueryWithKnobs(DbFile(), "VERSION=19"), 19);
    p.page->chkBack->setChecked(false);
    p.page->LoadPage(false);
    ASSERT_TRUE(p.errors.empty()) << p.errors[0];
    auto& g = *p.page->grdSes;
    auto rowOf = [&](const std::string& sid) {
        for (int r = 1; r < g.RowCount(); ++r)
            if (g.Cell(0, r) == sid) return r;
        return 0;
    };
    // The first workload session (SID 20) stays all day; the page's own is the first program's, 200.
    const int workload = rowOf("20"), own = rowOf("200");
    ASSERT_GT(workload, 0);
    ASSERT_GT(own, 0);
    g.SetRow(workload);
    QTest::mouseClick(p.page->btnCut, Qt::LeftButton);
    EXPECT_EQ(p.messages.back(), QString::fromUtf8("セッションを切断しました。"));
    p.page->LoadPage(false);
    ASSERT_GT(rowOf("20"), 0) << "still listed";
    EXPECT_EQ(g.Cell(1, rowOf("20")), "KILLED");
    g.SetRow(rowOf("20"));
    QTest::mouseClick(p.page->btnCut, Qt::LeftButton);
    ASSERT_EQ(p.informed.size(), 1u);
    EXPECT_EQ(p.informed[0], cannot + "\n" + QString::fromUtf8("このセッションは既に切断されています (KILLED)。"));
    g.SetRow(rowOf("200"));
    QTest::mouseClick(p.page->btnCut, Qt::LeftButton);
    ASSERT_EQ(p.informed.size(), 2u);
    EXPECT_EQ(p.informed[1], cannot + "\n" + QString::fromUtf8("Kelvane 自身のセッションです。"));
    p.page->LoadPage(false);
    EXPECT_TRUE(p.errors.empty()) << "the page's session lives on";
}

// The redo log page shows the rarer states as the instance names them and
// marks only the current group.
TEST(SimLogStates, UnusedClearingAndClearingCurrentGroupsAreListed) {
    if (SimDriverPath().empty()) GTEST_SKIP() << "simulated instance driver not built";
    SimPage<TLogFilePage> p(SimQuery("KELV_ORA19_LOGS"), 19);
    p.page->LoadPage(false);
    ASSERT_TRUE(p.errors.empty()) << p.errors[0];
    const auto rows = GridRows(*p.page->grdLog);
    ASSERT_EQ(rows.size(), 12u) << "six groups of two members";
    std::map<std::string, std::string> status;
    int red = 0;
    for (const auto& r : rows) {
        status[r[0]] = r[1];
        red += IsCurrentLogMember(r[1], r[5]);
        EXPECT_EQ(r[2], "51,200") << r[0];
    }
    EXPECT_EQ(status["4"], "UNUSED");
    EXPECT_EQ(status["5"], "CLEARING");
    EXPECT_EQ(status["6"], "CLEARING_CURRENT");
    EXPECT_EQ(red, 2) << "the two members of the one CURRENT group";
}

// One picture per page with live data, for a person to look at: written to
// $KELV_TEST_DATA/screens (or the temporary directory).
namespace {
template <class Page>
void Shoot(const char* file, TKvStringGrid* (*gridOf)(Page&), int version = 10) {
    QTemporaryDir dataDir;
    SimPage<Page> p(SimQuery("KELV_ORA10"), version, dataDir.path().toStdString());
    p.page->resize(655, 540);
    p.page->show();
    p.page->LoadPage(false);
    ASSERT_TRUE(p.errors.empty()) << p.errors[0];
    EXPECT_FALSE(gridOf(*p.page)->Cell(0, 1).empty());
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
    const char* data = std::getenv("KELV_TEST_DATA");
    QDir dir(QString::fromLocal8Bit(data ? data : QDir::tempPath().toLocal8Bit().constData()));
    dir.mkpath("screens");
    const QImage image = p.page->grab().toImage();
    ASSERT_FALSE(image.isNull());
    EXPECT_TRUE(image.save(dir.filePath(QString("screens/") + file)));
}
}  // namespace

TEST(SimScreenshots, EveryPageWithData) {
    if (SimDriverPath().empty()) GTEST_SKIP() << "simulated instance driver not built";
    Shoot<TCheckPointPage>("checkpoint.png", [](TCheckPointPage& p) { return p.grdDate; });
    Shoot<TTableSpacePage>("tablespace.png", [](TTableSpacePage& p) { return p.grdTS; });
    Shoot<TFreeSpacePage>("freespace.png", [](TFreeSpacePage& p) { return p.grdFet; });
    Shoot<TSegmentPage>("segment.png", [](TSegmentPage& p) { return p.grdSeg; });
    Shoot<TSessionPage>("session.png", [](TSessionPage& p) { return p.grdSes; });
    Shoot<TLogFilePage>("logfile.png", [](TLogFilePage& p) { return p.grdLog; });
    Shoot<TParameterPage>("parameter.png", [](TParameterPage& p) { return p.grdParm; });
    Shoot<TExtentsPage>("extents.png", [](TExtentsPage& p) { return p.grdExt; });
}
