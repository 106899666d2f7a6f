#include "../GridClicks.h"
#include "FreeSpacePage.h"
#include "KvBarChart.h"
#include "PageFixture.h"
#include "SegmentPage.h"
#include "TableSpacePage.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>

#include <tuple>

namespace {
FakeResult Table(std::vector<std::string> cols, std::vector<std::vector<std::string>> rows) {
    FakeResult r;
    r.Columns = std::move(cols);
    r.Rows = std::move(rows);
    return r;
}
const std::vector<std::string> kFileCols = {"FILE_NAME", "BYTES", "STATUS", "AUTOEXTENSIBLE", "MAXBYTES",
                                            "INCREMENT_BY"};
}  // namespace

TEST(TableSpacePage, LoadsNamesFilesAndUsage) {
    PageHarness<TTableSpacePage> h;
    EXPECT_EQ(h.page->grdTS->ColCount(), 6);
    EXPECT_EQ(h.page->lblBlk2->text(), "1Block=8192Bytes");
    h.rows->Answer("GROUP BY TABLESPACE_NAME", Table({"TABLESPACE_NAME"}, {{"SYSTEM"}, {"USERS"}}));
    h.rows->Answer("WHERE TABLESPACE_NAME = ?",
                   Table(kFileCols, {{"/u01/system01.dbf", "1536", "AVAILABLE", "YES", "2560", "<Null>"},
                                     {"/u01/system02.dbf", "104857600", "AVAILABLE", "NO", "0", "0"}}));
    h.rows->Answer("ORA_BLKS", Table({"ORA_BLKS", "TOT_USED"}, {{"12800", "3000"}}));
    h.page->LoadPage(false);
    auto& ts = *h.page->grdTS;
    EXPECT_EQ(h.page->grdTSN->RowCount(), 3);
    EXPECT_EQ(ts.RowCount(), 3);
    EXPECT_EQ(ts.Cell(1, 1), "2");        // 1.5 KB -> 2 (ties to even)
    EXPECT_EQ(ts.Cell(4, 1), "2");        // 2.5 KB -> 2
    EXPECT_EQ(ts.Cell(5, 1), "0");        // not a number
    EXPECT_EQ(ts.Cell(1, 2), "102,400");
    EXPECT_EQ(h.rows->Log[1].Params, std::vector<std::string>{"SYSTEM"});
    EXPECT_EQ(h.rows->Log[2].Params, std::vector<std::string>{"/u01/system01.dbf"});
    EXPECT_EQ(h.page->UsedBlocks(), 3000);
    EXPECT_EQ(h.page->FreeBlocks(), 9800);
    EXPECT_TRUE(StyleOf(ts, 1, 1).RightAlign);
    EXPECT_FALSE(StyleOf(ts, 2, 1).RightAlign);
    EXPECT_TRUE(StyleOf(ts, 5, 1).RightAlign);
    EXPECT_EQ(StyleOf(*h.page->grdTSN, 0, 1).Text, QColor(0, 0, 128));
}

// INCREMENT_BY counts blocks: shown in KB it is blocks times the block size.
TEST(TableSpacePage, IncrementByIsBlocksTimesTheBlockSize) {
    for (auto [blockSize, blocks, kb] : std::vector<std::tuple<int, std::string, std::string>>{
             {8192, "1280", "10,240"}, {8192, "1", "8"}, {2048, "1", "2"}, {16384, "3", "48"}, {8192, "0", "0"}}) {
        PageHarness<TTableSpacePage> h(10, blockSize);
        h.rows->Answer("WHERE TABLESPACE_NAME = ?",
                       Table(kFileCols, {{"/f", "10485760", "AVAILABLE", "YES", "2147483648", blocks}}));
        h.page->LoadDataFiles("USERS");
        EXPECT_EQ(h.page->grdTS->Cell(5, 1), kb) << blocks << " blocks of " << blockSize;
        EXPECT_EQ(h.page->grdTS->Cell(4, 1), "2,097,152") << "MAXBYTES stays bytes";
    }
}

TEST(TableSpacePage, VersionSevenHasThreeFileColumns) {
    PageHarness<TTableSpacePage> h(7, 2048);
    EXPECT_EQ(h.page->grdTS->ColCount(), 3);
    h.ctx.Sort.SortCol[3][1] = 2;
    h.rows->Answer("WHERE TABLESPACE_NAME = ?", Table({"FILE_NAME", "BYTES", "STATUS"}, {{"/f", "2048", "AVAILABLE"}}));
    h.page->LoadDataFiles("SYSTEM");
    EXPECT_TRUE(h.errors.empty());   // AUTOEXTENSIBLE and the sizes are not asked for
    EXPECT_EQ(h.page->grdTS->Cell(1, 1), "2");
    EXPECT_NE(h.rows->Log[0].Sql.find(" ORDER BY STATUS , TABLESPACE_NAME , FILE_NAME "), std::string::npos);
}

TEST(TableSpacePage, EmptyFileRowCannotBeSelectedAndMarksToggle) {
    PageHarness<TTableSpacePage> h;
    h.rows->Answer("GROUP BY TABLESPACE_NAME", Table({"TABLESPACE_NAME"}, {{"USERS"}}));
    h.rows->Answer("WHERE TABLESPACE_NAME = ?", Table(kFileCols, {{"/f1", "1024", "A", "NO", "0", "0"}}));
    h.rows->Answer("ORA_BLKS", Table({"ORA_BLKS", "TOT_USED"}, {{"12800", "3000"}}));
    h.page->resize(655, 500);
    h.page->show();
    h.page->LoadPage(false);
    h.page->grdTS->SetRowCount(4);
    const size_t sent = h.rows->Log.size();
    gridclicks::ClickRow(*h.page->grdTS, 3);
    EXPECT_EQ(h.page->grdTS->Row(), 1) << "an empty row cannot be selected";
    EXPECT_EQ(h.rows->Log.size(), sent);

    // A click on a bar shows or hides that series' marks only.
    TKvBarChart& chart = *h.page->ChartUse;
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
    EXPECT_EQ(chart.MarkText(0, 0), "3,000");
    EXPECT_EQ(chart.MarkText(1, 0), "9,800");
    auto clickBar = [&](int series) {
        QTest::mouseClick(chart.viewport(), Qt::LeftButton, {}, chart.BarCentre(series, 0));
        QApplication::processEvents();
    };
    clickBar(0);
    EXPECT_FALSE(h.page->MarksVisible(0));
    EXPECT_TRUE(h.page->MarksVisible(1));
    EXPECT_EQ(chart.MarkText(0, 0), "");
    clickBar(1);
    EXPECT_FALSE(h.page->MarksVisible(1));
    clickBar(0);
    EXPECT_TRUE(h.page->MarksVisible(0));
    EXPECT_FALSE(h.page->MarksVisible(1));
}

TEST(TableSpacePage, DetailReloadKeepsTheTablespace) {
    PageHarness<TTableSpacePage> h;
    h.rows->Answer("GROUP BY TABLESPACE_NAME", Table({"TABLESPACE_NAME"}, {{"SYSTEM"}, {"USERS"}}));
    h.rows->Answer("WHERE TABLESPACE_NAME = ?", Table(kFileCols, {{"/f1", "1024", "A", "NO", "0", "0"}}));
    h.page->LoadPage(false);
    h.page->grdTSN->SetRow(2);
    h.rows->Log.clear();
    h.page->LoadPage(true);
    ASSERT_EQ(h.rows->Log.size(), 2u);
    EXPECT_EQ(h.rows->Log[0].Params, std::vector<std::string>{"USERS"});
    EXPECT_EQ(h.rows->CountContaining("DBA_DATA_FILES  GROUP BY TABLESPACE_NAME"), 0);   // no list reload
}

TEST(TableSpacePage, MovingToAnotherTablespaceReloadsItsFirstFile) {
    PageHarness<TTableSpacePage> h;
    h.rows->Answer("GROUP BY TABLESPACE_NAME", Table({"TABLESPACE_NAME"}, {{"SYSTEM"}, {"USERS"}}));
    h.rows->Answer("WHERE TABLESPACE_NAME = ?", Table(kFileCols, {{"/f1", "1024", "A", "NO", "0", "0"},
                                                                  {"/f2", "1024", "A", "NO", "0", "0"}}));
    h.page->LoadPage(false);
    h.page->grdTS->SetRow(2);
    h.rows->Log.clear();
    EXPECT_TRUE(h.page->grdTSN->OnSelectCell(0, 1));   // the same row: nothing
    EXPECT_TRUE(h.rows->Log.empty());
    h.page->grdTSN->OnSelectCell(0, 2);
    ASSERT_EQ(h.rows->Log.size(), 2u);
    EXPECT_EQ(h.rows->Log[0].Params, std::vector<std::string>{"USERS"});
    EXPECT_EQ(h.rows->Log[1].Params, std::vector<std::string>{"/f1"});
    EXPECT_EQ(h.page->grdTS->Row(), 1);
}

TEST(SegmentPage, FillsFormatsAndClearsOnEmptyResult) {
    PageHarness<TSegmentPage> h;
    const std::vector<std::string> cols = {"OWNER", "TABLESPACE_NAME", "SEGMENT_TYPE", "SEGMENT_NAME", "BYTES", "BLOCKS"};
    h.rows->Answer("DBA_SEGMENTS", Table(cols, {{"SCOTT", "USERS", "TABLE", "EMP", "65536", "32"},
                                                {"SCOTT", "USERS", "TABLE", "BIG", "10485760", "5120"}}));
    h.page->LoadPage(false);
    auto& g = *h.page->grdSeg;
    ASSERT_EQ(g.RowCount(), 3);
    EXPECT_EQ(g.Cell(4, 1), "64");
    EXPECT_EQ(g.Cell(4, 2), "10,240");
    EXPECT_EQ(g.Cell(5, 2), "5,120");
    EXPECT_TRUE(StyleOf(g, 4, 1).RightAlign);
    EXPECT_FALSE(StyleOf(g, 3, 1).RightAlign);
    EXPECT_NE(h.rows->Log[0].Sql.find(" WHERE SEGMENT_TYPE = 'TABLE' "), std::string::npos);

    h.page->chkStTb->setChecked(false);
    h.rows->Answer("DBA_SEGMENTS", Table(cols, {}));
    h.page->LoadPage(false);
    EXPECT_NE(h.rows->Log[1].Sql.find("NOT IN ('TABLE', 'INDEX')"), std::string::npos);
    EXPECT_EQ(g.RowCount(), 2);
    EXPECT_EQ(g.Cell(3, 1), "");
}

TEST(SegmentPage, LongerResultGrowsTheGridAndAFailureKeepsWhatCame) {
    PageHarness<TSegmentPage> h;
    FakeResult r;
    r.Columns = {"OWNER", "TABLESPACE_NAME", "SEGMENT_TYPE", "SEGMENT_NAME", "BYTES", "BLOCKS"};
    for (int i = 0; i < 300; ++i) r.Rows.push_back({"U", "TS", "TABLE", "T" + std::to_string(i), "1024", "1"});
    h.rows->Answer("DBA_SEGMENTS", r);
    h.page->LoadPage(false);
    EXPECT_EQ(h.page->grdSeg->RowCount(), 301);
    r.FailAfterRows = 5;
    r.Rows.resize(10);
    for (auto& row : r.Rows) row[3] = "NEW";
    h.rows->Answer("DBA_SEGMENTS", r);
    h.page->LoadPage(false);
    ASSERT_EQ(h.errors.size(), 1u);
    EXPECT_EQ(h.page->grdSeg->RowCount(), 301);
    EXPECT_EQ(h.page->grdSeg->Cell(3, 5), "NEW");
    EXPECT_EQ(h.page->grdSeg->Cell(3, 6), "T5");
}

TEST(FreeSpacePage, FormatsAndColours) {
    PageHarness<TFreeSpacePage> h;
    EXPECT_EQ(h.page->lblBlk8->text(), QString::fromUtf8("単位:Block(8192Bytes)"));
    h.rows->Answer("SYS.FET$", Table({"TSPACE", "BLOCKS", "FREE", "FREEP", "PIECES", "BIGGEST", "SMALLEST", "AVERAGE", "DEAD"},
                                     {{"USERS", "12800", "107", "0.8359375", "3", "100", "3", "36", "7"}}));
    h.page->LoadPage(false);
    auto& g = *h.page->grdFet;
    EXPECT_EQ(g.Cell(1, 1), "12,800");
    EXPECT_EQ(g.Cell(3, 1), "0.84");
    EXPECT_EQ(g.Cell(8, 1), "7");
    EXPECT_EQ(StyleOf(g, 3, 1).Text, QColor(0, 0, 255));
    EXPECT_EQ(StyleOf(g, 2, 1).Text, QColor(Qt::black));
    EXPECT_FALSE(StyleOf(g, 0, 1).RightAlign);
    EXPECT_TRUE(StyleOf(g, 8, 1).RightAlign);
}
