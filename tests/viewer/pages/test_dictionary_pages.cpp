#include <QLabel>

#include "LogFilePage.h"
#include "ParameterPage.h"
#include "PageFixture.h"

namespace {
FakeResult Parameters() {
    FakeResult r;
    r.Columns = {"NUM", "NAME", "TYPE", "VALUE", "ISDEFAULT", "ISSES_MODIFIABLE", "ISSYS_MODIFIABLE",
                 "ISMODIFIED", "ISADJUSTED", "DESCRIPTION"};
    r.Rows = {{"1", "db_block_size", "3", "8192", "FALSE", "FALSE", "FALSE", "FALSE", "FALSE", "Size of a block"},
              {"2", "sql_trace", "1", "FALSE", "TRUE", "TRUE", "FALSE", "FALSE", "FALSE", "trace"},
              {"3", "db_name", "2", "ORCL", "FALSE", "FALSE", "FALSE", "FALSE", "FALSE", "name"},
              {"4", "ifile", "4", "x.ora", "TRUE", "FALSE", "FALSE", "FALSE", "FALSE", "include"},
              {"5", "odd", "6", "?", "TRUE", "FALSE", "FALSE", "FALSE", "FALSE", ""}};
    return r;
}
}  // namespace

TEST(ParameterPage, ValuesColouredAndAlignedByType) {
    PageHarness<TParameterPage> h;
    h.rows->Answer("V$PARAMETER", Parameters());
    h.page->LoadPage(false);
    auto& g = *h.page->grdParm;
    ASSERT_EQ(g.RowCount(), 6);
    EXPECT_EQ(StyleOf(g, 2, 1).Text, QColor(255, 0, 0));
    EXPECT_TRUE(StyleOf(g, 2, 1).RightAlign);
    EXPECT_EQ(StyleOf(g, 2, 2).Text, QColor(0, 128, 0));
    EXPECT_FALSE(StyleOf(g, 2, 2).RightAlign);
    EXPECT_EQ(StyleOf(g, 2, 3).Text, QColor(0, 0, 255));
    EXPECT_EQ(StyleOf(g, 2, 4).Text, QColor(128, 0, 128));
    EXPECT_EQ(StyleOf(g, 2, 5).Text, QColor(Qt::black));
    EXPECT_EQ(StyleOf(g, 1, 1).Text, QColor(Qt::black));
    EXPECT_TRUE(StyleOf(g, 0, 1).RightAlign);
    EXPECT_EQ(h.page->pnlDesc->text(), "Size of a block");
    g.OnSelectCell(1, 3);
    EXPECT_EQ(h.page->pnlDesc->text(), "name");
}

TEST(ParameterPage, SortByValueAndMissingColumnIsAnError) {
    PageHarness<TParameterPage> h;
    h.ctx.Sort.SortCol[8][0] = 2;
    h.ctx.Sort.SortDir[8][0] = "DESC";
    FakeResult r = Parameters();
    r.Columns[9] = "OTHER";   // no DESCRIPTION column
    h.rows->Answer("V$PARAMETER", r);
    h.page->LoadPage(false);
    EXPECT_EQ(h.rows->Log[0].Sql, " SELECT * FROM V$PARAMETER  ORDER BY TYPE, VALUE DESC, NAME ");
    EXPECT_EQ(h.errors.size(), 1u);
    EXPECT_EQ(h.page->grdDesc->RowCount(), h.page->grdParm->RowCount());
}

TEST(LogFilePage, MembersInUseOfTheCurrentGroupAreRed) {
    PageHarness<TLogFilePage> h;
    FakeResult r;
    r.Columns = {"GROUPNO", "BYTES", "ARCHIVED", "STATUS1", "MEMBER", "STATUS2"};
    r.Rows = {{"1", "52428800", "YES", "INACTIVE", "/a/redo01a.log", " "},
              {"2", "52428800", "NO", "CURRENT", "/a/redo02a.log", " "},
              {"2", "52428800", "NO", "CURRENT", "/b/redo02b.log", " "},
              {"2", "52428800", "NO", "CURRENT", "/c/redo02c.log", "STALE"}};
    h.rows->Answer("V$LOGFILE", r);
    h.page->LoadPage(false);
    auto& g = *h.page->grdLog;
    ASSERT_EQ(g.RowCount(), 5);
    EXPECT_EQ(g.Cell(2, 1), "51,200");
    for (int col = 0; col < 6; ++col) {
        EXPECT_EQ(StyleOf(g, col, 2).Text, QColor(255, 0, 0));
        EXPECT_EQ(StyleOf(g, col, 3).Text, QColor(255, 0, 0));
        EXPECT_EQ(StyleOf(g, col, 1).Text, QColor(Qt::black));
        EXPECT_EQ(StyleOf(g, col, 4).Text, QColor(Qt::black));
    }
    EXPECT_TRUE(StyleOf(g, 0, 1).RightAlign);
    EXPECT_TRUE(StyleOf(g, 2, 1).RightAlign);
    EXPECT_FALSE(StyleOf(g, 4, 1).RightAlign);
    EXPECT_FALSE(IsCurrentLogMember("CURRENT ", " "));
}
