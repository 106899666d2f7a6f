#include <QPushButton>
#include <QTest>
#include <QCheckBox>
#include <QLabel>

#include "ExtentsPage.h"
#include "PageFixture.h"
#include "SessionPage.h"

namespace {
const std::vector<std::string> kSessionCols = {"SID", "STATUS", "USERNAME", "SCHEMANAME", "OSUSER",
                                               "MACHINE", "PROGRAM", "SERIAL#", "TYPE"};
FakeResult Sessions() {
    FakeResult r;
    r.Columns = kSessionCols;
    r.Rows = {{"1", "ACTIVE", " ", "SYS", "oracle", "db", "oracle@db (PMON)", "1", "BACKGROUND"},
              {"1234", "INACTIVE", "SCOTT", "SCOTT", "dba", "pc01", "app.exe", "567", "USER"},
              {"40", "ACTIVE", "X", "X", "x", "x", "x", "2", "OTHER"}};
    return r;
}
FakeResult Extents(std::vector<std::string> totExt) {
    FakeResult r;
    r.Columns = {"T_SPACE", "TYPE", "OBJECT_NAME", "FST_EXT", "NXT_EXT", "TOT_EXT", "TOT_BLKS"};
    for (auto& t : totExt) r.Rows.push_back({"USERS", "TABLE", "T" + t, "<Null>", "8", t, "1000"});
    return r;
}
}  // namespace

TEST(SessionPage, FiltersByKindAndFormats) {
    PageHarness<TSessionPage> h;
    h.rows->Answer("V$SESSION", Sessions());
    h.page->LoadPage(false);
    auto& g = *h.page->grdSes;
    ASSERT_EQ(g.RowCount(), 3);
    EXPECT_EQ(g.Cell(0, 2), "1,234");
    EXPECT_EQ(g.Cell(7, 2), "567");
    EXPECT_TRUE(StyleOf(g, 0, 1).RightAlign);
    EXPECT_TRUE(StyleOf(g, 7, 1).RightAlign);
    EXPECT_FALSE(StyleOf(g, 6, 1).RightAlign);

    h.page->chkUser->setChecked(false);
    h.page->LoadPage(false);
    ASSERT_EQ(g.RowCount(), 2);
    EXPECT_EQ(g.Cell(8 - 2, 1), "oracle@db (PMON)");

    h.page->chkBack->setChecked(false);
    const size_t sent = h.rows->Log.size();
    h.page->LoadPage(false);
    EXPECT_EQ(h.rows->Log.size(), sent);
    EXPECT_EQ(h.LastMessage(), QString::fromUtf8("ユーザまたはバックグラウンドを指定して下さい。"));
    EXPECT_EQ(h.page->Guide(), h.LastMessage());   // survives the window's guide step
    EXPECT_EQ(g.RowCount(), 2);
    h.page->chkUser->setChecked(true);
    h.page->LoadPage(false);
    EXPECT_TRUE(h.page->Guide().isEmpty());
}

TEST(SessionPage, KillSendsPlainDigitsOfAFourDigitSid) {
    PageHarness<TSessionPage> h;
    h.rows->Answer("V$SESSION", Sessions());
    h.page->LoadPage(false);
    h.page->grdSes->SetRow(2);
    QTest::mouseClick(h.page->btnCut, Qt::LeftButton);
    EXPECT_EQ(h.rows->Log.back().Sql, " ALTER SYSTEM KILL SESSION '1234,567' ");
    EXPECT_EQ(h.LastMessage(), QString::fromUtf8("セッションを切断しました。"));
    EXPECT_TRUE(h.informed.empty());
    EXPECT_EQ(h.page->grdSes->Cell(0, 2), "1,234");   // not reloaded
}

TEST(SessionPage, KillOfAVanishedSessionIsReported) {
    PageHarness<TSessionPage> h;
    h.rows->Answer("V$SESSION", Sessions());
    h.page->LoadPage(false);
    FakeResult refused;
    refused.FailOnRun = true;
    h.rows->Answer("KILL SESSION", refused);
    QTest::mouseClick(h.page->btnCut, Qt::LeftButton);
    ASSERT_EQ(h.informed.size(), 1u);
    EXPECT_EQ(h.informed[0], QString::fromUtf8("切断できません。"));
    EXPECT_NE(h.LastMessage(), QString::fromUtf8("セッションを切断しました。"));
}

// Refusals that have a reason of their own say it under the plain refusal.
TEST(SessionPage, KillOfOnesOwnOrAnAlreadyKilledSessionSaysSo) {
    const QString cannot = QString::fromUtf8("切断できません。");
    const QString own = cannot + "\n" + QString::fromUtf8("Kelvane 自身のセッションです。");
    const QString killed = cannot + "\n" + QString::fromUtf8("このセッションは既に切断されています (KILLED)。");
    PageHarness<TSessionPage> h;
    FakeResult listed = Sessions();
    listed.Rows[1][1] = "KILLED";
    h.rows->Answer("V$SESSION", listed);
    h.page->LoadPage(false);
    h.page->grdSes->SetRow(2);
    QTest::mouseClick(h.page->btnCut, Qt::LeftButton);
    EXPECT_TRUE(h.dialogs.questions.empty()) << "nothing to ask about a session already killed";
    EXPECT_EQ(h.rows->CountContaining("KILL SESSION"), 0);
    ASSERT_EQ(h.informed.size(), 1u);
    EXPECT_EQ(h.informed[0], killed);

    h.rows->Answer("V$SESSION", Sessions());
    h.page->LoadPage(false);
    h.page->grdSes->SetRow(2);
    for (auto [native, expected] : std::vector<std::pair<int, QString>>{{27, own}, {31, killed}, {30, cannot}}) {
        FakeResult refused;
        refused.FailOnRun = true;
        refused.FailNative = native;
        h.rows->Answer("KILL SESSION", refused);
        QTest::mouseClick(h.page->btnCut, Qt::LeftButton);
        EXPECT_EQ(h.informed.back(), expected) << "ORA-" << native;
    }
    EXPECT_EQ(h.dialogs.questions.size(), 3u);
}

TEST(SessionPage, NonDigitSidIsRefusedWithoutAStatement) {
    PageHarness<TSessionPage> h;
    h.page->grdSes->SetCell(0, 1, "12' OR '1");
    h.page->grdSes->SetCell(7, 1, "5");
    h.page->grdSes->SetRow(1);
    QTest::mouseClick(h.page->btnCut, Qt::LeftButton);
    EXPECT_EQ(h.rows->CountContaining("KILL"), 0);
    ASSERT_EQ(h.informed.size(), 1u);
    EXPECT_EQ(h.informed[0], QString::fromUtf8("切断できません。"));
}

TEST(SessionPage, NoKillWithoutIdOrWhenDeclined) {
    PageHarness<TSessionPage> h;
    QTest::mouseClick(h.page->btnCut, Qt::LeftButton);   // empty row: no question
    h.rows->Answer("V$SESSION", Sessions());
    h.page->LoadPage(false);
    h.dialogs.answer = false;
    QTest::mouseClick(h.page->btnCut, Qt::LeftButton);
    EXPECT_EQ(h.rows->CountContaining("KILL"), 0);
    EXPECT_TRUE(h.informed.empty());
}

TEST(ExtentsPage, TotExtColourThresholds) {
    EXPECT_EQ(TotExtColour("0"), QColor(Qt::black));
    EXPECT_EQ(TotExtColour("4"), QColor(0, 0, 255));
    EXPECT_EQ(TotExtColour("99"), QColor(0, 0, 255));
    EXPECT_EQ(TotExtColour("100"), QColor(255, 0, 0));
    EXPECT_EQ(TotExtColour(" 149 "), QColor(255, 0, 0));
    EXPECT_EQ(TotExtColour("1,000"), QColor(255, 0, 0));
}

TEST(ExtentsPage, FillsNullsAsZeroAndClearsOnEmptyResult) {
    PageHarness<TExtentsPage> h;
    EXPECT_EQ(h.page->lblBlk5->text(), "1Block=8192Bytes");
    h.rows->Answer("DBA_SEGMENTS", Extents({"149", "4", "0"}));
    h.page->LoadPage(false);
    auto& g = *h.page->grdExt;
    ASSERT_EQ(g.RowCount(), 4);
    EXPECT_EQ(g.Cell(3, 1), "0");
    EXPECT_EQ(g.Cell(6, 1), "1,000");
    EXPECT_EQ(StyleOf(g, 5, 1).Text, QColor(255, 0, 0));
    EXPECT_EQ(StyleOf(g, 5, 2).Text, QColor(0, 0, 255));
    EXPECT_EQ(StyleOf(g, 5, 3).Text, QColor(Qt::black));
    EXPECT_EQ(StyleOf(g, 6, 1).Text, QColor(Qt::black));
    EXPECT_NE(h.rows->Log[0].Sql.find("  AND S.EXTENTS > 1  ORDER BY TOT_EXT DESC"), std::string::npos);

    h.page->chkExt->setChecked(false);
    h.rows->Answer("DBA_SEGMENTS", Extents({}));
    h.page->LoadPage(false);
    EXPECT_EQ(h.rows->Log[1].Sql.find("S.EXTENTS > 1"), std::string::npos);
    EXPECT_EQ(g.RowCount(), 2);
    EXPECT_EQ(g.Cell(2, 1), "");
    EXPECT_EQ(g.Cell(5, 1), "");
}
