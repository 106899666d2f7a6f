// The main window without a database: layout, page visits, function keys,
// the sort popup and width fit, the about box.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include "KelvsU1.h"
#include "KvAbout.h"
#include "KvColumnWidth.h"
#include "KvPages.h"
#include "KvSortPopup.h"
#include "GridClicks.h"
#include "KvStringGrid.h"
#include "ViewerTestSupport.h"

namespace {

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        window_ = std::make_unique<TfrmKVS>(nullptr, FakePageFactory());
        window_->show();
        QApplication::processEvents();
    }
    TFakePage* Page(int index) { return FakePage(*window_, index); }
    void Visit(int index) { window_->PageCtrl()->setCurrentIndex(index); }
    // Right-click at x on a grid's cells, or on its heading row, as the
    // user opens the popup there; then a click on one of its items.
    void RightClick(TKvStringGrid* grid, int x, bool onHeading = false) {
        if (onHeading)
            gridclicks::RightClickHeading(*grid, x);
        else
            gridclicks::RightClickCells(*grid, x);
        ASSERT_TRUE(window_->SortPopup().popMenu()->isVisible()) << "the popup did not open";
    }
    bool Choose(QAction* item) { return gridclicks::ChooseFromMenu(window_->SortPopup().popMenu(), item); }
    QAction* Asc() { return window_->SortPopup().popAsc(); }
    QAction* Des() { return window_->SortPopup().popDes(); }
    QAction* Wid() { return window_->SortPopup().popWid(); }

    TScriptedDialogs dialogs_;
    std::unique_ptr<TfrmKVS> window_;
};

TEST_F(MainWindow, LayoutCaptionsAndControls) {
    EXPECT_EQ(window_->windowTitle(), QString("Kelvane"));
    EXPECT_EQ(window_->size(), QSize(663, 627));
    const QStringList captions = {"ﾁｪｯｸﾎﾟｲﾝﾄ", " ﾒﾓﾘ", "稼働率", "ﾃｰﾌﾞﾙｽﾍﾟｰｽ", "ﾌﾗｸﾞﾒﾝﾃｰｼｮﾝ",
                                  "ﾃｰﾌﾞﾙｻｲｽﾞ", "ｾｯｼｮﾝ", "ﾛｸﾞﾌｧｲﾙ", "ﾊﾟﾗﾒﾀ", "ｴｸｽﾃﾝﾄ"};
    const QStringList names = {"tabCheckPoint", "tabMemory",  "tabRate",      "tabTableSpace", "tabFet",
                               "tabSegment",    "tabSession", "tabLogFile",   "tabParameter",  "tabExtents"};
    QTabWidget* tabs = window_->PageCtrl();
    ASSERT_EQ(tabs->count(), 10);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(tabs->tabText(i), captions[i]);
        EXPECT_EQ(tabs->widget(i)->objectName(), names[i]);
    }
    {
        // The viewer's own factory builds the memory page.
        TViewerContext ctx;
        std::unique_ptr<TKvPage> memory(CreateViewerPage(pgMemory, ctx, nullptr));
        ASSERT_NE(memory, nullptr);
        EXPECT_EQ(memory->PageIndex(), pgMemory);
        EXPECT_EQ(memory->objectName(), QString("tabMemory"));
    }
    {
        // The viewer's own factory builds the operating-rate page too.
        TViewerContext ctx;
        std::unique_ptr<TKvPage> rate(CreateViewerPage(pgRate, ctx, nullptr));
        ASSERT_NE(rate, nullptr);
        EXPECT_EQ(rate->PageIndex(), pgRate);
        EXPECT_EQ(rate->objectName(), QString("tabRate"));
    }

    auto* mess = window_->findChild<QLabel*>("pnlMess");
    ASSERT_NE(mess, nullptr);
    EXPECT_EQ(mess->width(), 459);
    auto* f3 = window_->findChild<QPushButton*>("cmdFunc3");
    auto* f9 = window_->findChild<QPushButton*>("cmdFunc9");
    ASSERT_TRUE(f3 && f9);
    EXPECT_EQ(f3->text(), QString("終了(F3)"));
    EXPECT_EQ(f9->text(), QString("再表示(F9)"));
    EXPECT_EQ(f3->size(), QSize(96, 24));
    EXPECT_EQ(f9->size(), QSize(96, 24));
    EXPECT_GT(f9->geometry().left(), f3->geometry().left()) << "F9 right of F3";

    QStringList menus;
    for (QAction* a : window_->menuBar()->actions()) menus << a->text();
    EXPECT_EQ(menus, QStringList({"ﾌｧｲﾙ(&F)", "操作(&O)", "ﾍﾙﾌﾟ(&H)"}));
    const std::pair<const char*, const char*> items[] = {{"mItemReset", "再表示(&R)"},
                                                         {"mItemExit", "終了(&X)"},
                                                         {"mItemFlush", "ﾌﾗｯｼｭ(&L)"},
                                                         {"mItemAbout", "ﾊﾞｰｼﾞｮﾝ情報(&A)"}};
    for (const auto& [name, text] : items) {
        auto* action = window_->findChild<QAction*>(name);
        ASSERT_NE(action, nullptr) << name;
        EXPECT_EQ(action->text(), QString(text));
    }
    EXPECT_EQ(window_->font().pixelSize(), 13);
}

TEST_F(MainWindow, ASmallWindowScrollsInsteadOfSqueezingItsPages) {
    auto* scroll = window_->findChild<QScrollArea*>("scrollMain");
    ASSERT_NE(scroll, nullptr);
    window_->resize(400, 250);
    QApplication::processEvents();
    EXPECT_GT(scroll->horizontalScrollBar()->maximum(), 0);
    EXPECT_GT(scroll->verticalScrollBar()->maximum(), 0);
    EXPECT_GE(window_->PageCtrl()->width(), 600);
}

TEST_F(MainWindow, APageLoadsAtItsFirstVisitOnlyAndShowsItsGuide) {
    Visit(pgParameter);
    EXPECT_EQ(Page(pgParameter)->fullLoads, 1);
    EXPECT_TRUE(window_->PageLoaded(pgParameter));
    EXPECT_EQ(window_->Message(), QString());
    Visit(pgTableSpace);
    EXPECT_EQ(window_->Message(), QString("テーブルスペースとファイルを選択して下さい。"));
    Visit(pgParameter);
    EXPECT_EQ(Page(pgParameter)->fullLoads, 1) << "a second visit shows the old data";
    Visit(pgMemory);
    EXPECT_EQ(window_->Message(), QString("表示する日付を選択して下さい。"));
    Visit(pgRate);
    EXPECT_EQ(window_->Message(), QString("表示する日付を選択して下さい。"));
}

TEST_F(MainWindow, F9ReloadsOnlyTheActivePageAndEveryKeyClearsTheMessage) {
    Visit(pgSession);
    Visit(pgLogFile);
    QTest::keyClick(window_.get(), Qt::Key_F9);
    EXPECT_EQ(Page(pgLogFile)->fullLoads, 2);
    EXPECT_EQ(Page(pgSession)->fullLoads, 1);
    window_->Context().SetMessage("something");
    QTest::keyClick(window_->PageCtrl(), Qt::Key_A);
    EXPECT_EQ(window_->Message(), QString());
    // The menu item and the button do the same as F9.
    window_->findChild<QAction*>("mItemReset")->trigger();
    window_->findChild<QPushButton*>("cmdFunc9")->click();
    EXPECT_EQ(Page(pgLogFile)->fullLoads, 4);
    EXPECT_TRUE(dialogs_.questions.isEmpty());
}

TEST_F(MainWindow, F3AsksBeforeEndingAndNoKeepsTheWindow) {
    dialogs_.answers = {false};
    QTest::keyClick(window_.get(), Qt::Key_F3);
    ASSERT_EQ(dialogs_.questions.size(), 1);
    EXPECT_EQ(dialogs_.questions[0], QString("Kelvane を終了しますか？"));
    EXPECT_TRUE(window_->isVisible());
    // The title-bar close asks the same question.
    dialogs_.answers = {false};
    window_->close();
    EXPECT_EQ(dialogs_.questions.size(), 2);
    EXPECT_TRUE(window_->isVisible());
    dialogs_.answers = {true};
    window_->findChild<QAction*>("mItemExit")->trigger();
    EXPECT_FALSE(window_->isVisible());
    EXPECT_EQ(dialogs_.questions.size(), 3) << "asked once, not again by the close";
}

TEST_F(MainWindow, SortChoiceReachesThePageAndSurvivesPageSwitchesAndF9) {
    Visit(pgSegment);
    TFakePage* page = Page(pgSegment);
    RightClick(page->grid0, 70);  // second column (60 px each)
    EXPECT_TRUE(Choose(Des()));
    EXPECT_EQ(page->fullLoads, 2);
    EXPECT_EQ(page->seenSort[0], (std::pair<int, std::string>(1, "DESC")));
    EXPECT_EQ(window_->Context().Sort.SortCol[pgSegment][0], 1);

    Visit(pgExtents);
    Visit(pgSegment);
    QTest::keyClick(window_.get(), Qt::Key_F9);
    EXPECT_EQ(page->seenSort[0], (std::pair<int, std::string>(1, "DESC"))) << "kept across switches and F9";
    EXPECT_EQ(window_->Context().Sort.SortCol[pgExtents][0], -1) << "other pages untouched";

    RightClick(page->grid0, 10);
    EXPECT_TRUE(Choose(Asc()));
    EXPECT_EQ(page->seenSort[0], (std::pair<int, std::string>(0, "")));
}

// The heading row is where users reach for the popup: it opens there too,
// for the column under the mouse.
TEST_F(MainWindow, ARightClickOnAHeadingOpensThePopupForThatColumn) {
    Visit(pgSegment);
    TFakePage* page = Page(pgSegment);
    page->grid0->SetCellText(2, 0, "Size(KB)");
    RightClick(page->grid0, gridclicks::HeadingX(*page->grid0, 2), true);
    EXPECT_TRUE(Choose(Des()));
    EXPECT_EQ(page->seenSort[0], (std::pair<int, std::string>(2, "DESC")));

    // The width fit too works from the heading: the heading's own text counts.
    page->grid0->SetCellText(2, 0, "A_LONGER_HEADING");
    RightClick(page->grid0, gridclicks::HeadingX(*page->grid0, 2), true);
    EXPECT_TRUE(Choose(Wid()));
    EXPECT_EQ(page->grid0->ColWidth(2), 16 * 7 + 2);

    // Right of the last heading: the popup opens, but sorting changes nothing.
    const int loads = page->fullLoads;
    RightClick(page->grid0, 250, true);
    EXPECT_TRUE(Choose(Asc()));
    EXPECT_EQ(page->fullLoads, loads);
    EXPECT_EQ(page->seenSort[0], (std::pair<int, std::string>(2, "DESC")));
}

TEST_F(MainWindow, SortingTheSecondGridReloadsOnlyTheDetail) {
    Visit(pgTableSpace);
    TFakePage* page = Page(pgTableSpace);
    const int full = page->fullLoads;
    RightClick(page->grid1, 130);
    EXPECT_TRUE(Choose(Asc()));
    EXPECT_EQ(page->fullLoads, full);
    EXPECT_EQ(page->detailLoads, 1);
    EXPECT_EQ(page->seenSort[1], (std::pair<int, std::string>(2, "")));
    EXPECT_EQ(page->seenSort[0].first, -1);
}

TEST_F(MainWindow, ARightClickBeyondTheLastColumnChangesNothing) {
    Visit(pgParameter);
    TFakePage* page = Page(pgParameter);
    const int loads = page->fullLoads;
    RightClick(page->grid0, 250);  // three columns end at 180
    EXPECT_EQ(TKvSortPopup::GetMouseCol(*page->grid0), -1);
    EXPECT_TRUE(Choose(Asc()));
    RightClick(page->grid0, 250);
    EXPECT_TRUE(Choose(Des()));
    const int width = page->grid0->ColWidth(2);
    RightClick(page->grid0, 250);
    EXPECT_TRUE(Choose(Wid()));
    EXPECT_EQ(page->fullLoads, loads);
    EXPECT_EQ(window_->Context().Sort.SortCol[pgParameter][0], -1);
    EXPECT_EQ(window_->Context().Sort.SortDir[pgParameter][0], "");
    EXPECT_EQ(page->grid0->ColWidth(2), width);
}

TEST_F(MainWindow, PopupItemsFollowTheGridTheyOpenOn) {
    TKvSortPopup& popup = window_->SortPopup();
    TKvStringGrid hours("grdSQLArea", 1, 1), dates("grdMUDate"), list("grdSeg");
    popup.popMenuPopup(&hours);
    EXPECT_FALSE(popup.popAsc()->isEnabled());
    EXPECT_FALSE(popup.popDes()->isEnabled());
    EXPECT_TRUE(popup.popWid()->isEnabled());
    popup.popMenuPopup(&dates);
    EXPECT_TRUE(popup.popAsc()->isEnabled());
    EXPECT_FALSE(popup.popWid()->isEnabled());
    popup.popMenuPopup(&list);
    EXPECT_TRUE(popup.popAsc()->isEnabled());
    EXPECT_TRUE(popup.popDes()->isEnabled());
    EXPECT_TRUE(popup.popWid()->isEnabled());
    QStringList texts;
    for (QAction* a : popup.popMenu()->actions()) texts << (a->isSeparator() ? "-" : a->text());
    EXPECT_EQ(texts, QStringList({"昇順(&A)", "降順(&D)", "-", "幅調整(&W)"}));
}

TEST_F(MainWindow, WidthFitCountsDoubleByteCharactersTwice) {
    Visit(pgSegment);
    TKvStringGrid* grid = Page(pgSegment)->grid0;  // grdSeg
    grid->SetCellText(1, 0, "Name");
    grid->SetCellText(1, 1, "テーブルスペース");  // 8 full-width characters: 16 bytes
    grid->SetCellText(1, 2, "ﾃｰﾌﾞﾙ");           // half-width: 5 bytes
    RightClick(grid, 70);
    EXPECT_TRUE(Choose(Wid()));
    EXPECT_EQ(grid->ColWidth(1), 16 * 7 + 2);

    // A column without any text (heading included) keeps its width.
    RightClick(grid, 130);
    EXPECT_TRUE(Choose(Wid()));
    EXPECT_EQ(grid->ColWidth(2), 60);

    // grdTSN is sorted, never widened.
    Visit(pgTableSpace);
    TKvStringGrid* names = Page(pgTableSpace)->grid0;
    names->SetCellText(0, 1, "SYSTEM_TABLESPACE_WITH_A_LONG_NAME");
    RightClick(names, 10);
    EXPECT_TRUE(Choose(Wid()));
    EXPECT_EQ(names->ColWidth(0), 60);
}

TEST(CodePageLength, AsciiAndHalfWidthKatakanaOneByteOthersTwo) {
    EXPECT_EQ(CodePageByteLength(""), 0);
    EXPECT_EQ(CodePageByteLength("Size(KB)"), 8);
    EXPECT_EQ(CodePageByteLength("ｾｯｼｮﾝ"), 5);
    EXPECT_EQ(CodePageByteLength("時間帯"), 6);
    EXPECT_EQ(CodePageByteLength("Excute(回)"), 10);
    EXPECT_EQ(CodePageByteLength("  0:00～59"), 10) << "the wave dash is double-byte";
    EXPECT_EQ(CodePageByteLength(QString::fromUtf8("\xEF\xBD\xA1\xEF\xBE\x9F")), 2) << "U+FF61 and U+FF9F";
    EXPECT_EQ(CodePageByteLength(QString::fromUtf8("\xEF\xBD\xA0")), 2) << "U+FF60 is full-width";
}

TEST(AboutBox, ShowsTheExecutablesNameDateAndTime) {
    QTemporaryDir dir;
    const QString path = dir.filePath("KelvsCopy");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("x");
        f.flush();  // or the close would stamp the time again
        ASSERT_TRUE(f.setFileTime(QDateTime(QDate(2024, 3, 5), QTime(7, 8, 9)), QFileDevice::FileModificationTime));
    }
    TfrmABT box(nullptr, "  " + path + " ");
    EXPECT_EQ(box.windowTitle(), QString("ﾊﾞｰｼﾞｮﾝ情報"));
    EXPECT_EQ(box.lblEXEMei->text(), QString("KelvsCopy"));
    EXPECT_EQ(box.lblEXEDate->text(), QString("2024/03/05"));
    EXPECT_EQ(box.lblEXETime->text(), QString("07:08:09"));
    EXPECT_EQ(box.btnYes->text(), QString("ＯＫ"));
    EXPECT_TRUE(box.btnYes->isDefault());
    EXPECT_EQ(box.size(), QSize(325, 196));
}

}  // namespace
