// The pages against the simulated instance, offscreen.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QImage>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "CheckPointPage.h"
#include "ExtentsPage.h"
#include "FreeSpacePage.h"
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

int VersionOf(const std::string& dsn) { return dsn == "KELV_ORA7" ? 7 : dsn == "KELV_ORA8" ? 8 : 10; }

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

INSTANTIATE_TEST_SUITE_P(Versions, SimPages, ::testing::Values("KELV_ORA10", "KELV_ORA8", "KELV_ORA7"));

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
    p.page->btnCutClick();
    EXPECT_TRUE(p.informed.empty());
    EXPECT_EQ(p.messages.back(), QString::fromUtf8("セッションを切断しました。"));
    p.page->btnCutClick();   // the same session again: gone by now
    ASSERT_EQ(p.informed.size(), 1u);
    EXPECT_EQ(p.informed[0], QString::fromUtf8("切断できません。"));
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
