// Oracle version detection and block size as the window does them at
// start-up, against a SQLite database that plays the two views.
#include <gtest/gtest.h>

#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include "KelvsU1.h"
#include "ViewerTestSupport.h"

namespace {

class VersionCheck : public ::testing::Test {
protected:
    void SetUp() override {
        window_ = std::make_unique<TfrmKVS>(nullptr, FakePageFactory());
        window_->qryODBC().SetDSName(kSqliteDsn);
        window_->qryODBC().SetDriverConnect(false);
    }
    // The status bar keeps the banner as fetched; messages tell the rest.
    void Check(const std::vector<std::string>& banners) {
        Banners(banners);
        window_->CheckOracleVersion();
    }
    // The open cursor of the last check would lock the stand-in tables.
    void Banners(const std::vector<std::string>& banners, const std::string& blockSize = "8192",
                 bool drop = false) {
        window_->qryODBC().Disconnect();
        SetSqliteBanners(banners, blockSize, drop);
    }
    // The user clicks a tab of the window.
    void ClickTab(int index) {
        QTabBar* tabs = window_->PageCtrl()->tabBar();
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(index).center());
    }
    TScriptedDialogs dialogs_;
    std::unique_ptr<TfrmKVS> window_;
};

TEST_F(VersionCheck, TheThreeBannerFamiliesGiveTheirMajorVersion) {
    const std::string ten = "Oracle Database 10g Enterprise Edition Release 10.2.0.1.0 - Production";
    Check({ten});
    EXPECT_EQ(window_->Context().OracleVersion, 10);
    EXPECT_EQ(window_->StatusText().toStdString(), ten);

    const std::string eight = "Oracle8i Enterprise Edition Release 8.1.7.0.0 - Production";
    Check({eight});
    EXPECT_EQ(window_->Context().OracleVersion, 8);
    EXPECT_EQ(window_->StatusText().toStdString(), eight);

    const std::string seven = "Oracle7 Server Release 7.3.4.0.0 - Production";
    Check({seven});
    EXPECT_EQ(window_->Context().OracleVersion, 7);
    EXPECT_EQ(window_->StatusText().toStdString(), seven);
    EXPECT_TRUE(dialogs_.messages.isEmpty()) << dialogs_.messages.join("|").toStdString();
    EXPECT_TRUE(dialogs_.errors.isEmpty());
}

// Later releases name themselves "Oracle Database <n><letters>": the version
// is read after the two words, and 9i from right after the name.
TEST_F(VersionCheck, LaterReleasesGiveTheirMajorVersion) {
    const std::pair<std::string, int> banners[] = {
        {"Oracle9i Enterprise Edition Release 9.2.0.1.0 - Production", 9},
        {"Oracle Database 11g Enterprise Edition Release 11.2.0.4.0 - 64bit Production", 11},
        {"Oracle Database 12c Enterprise Edition Release 12.2.0.1.0 - 64bit Production", 12},
        {"Oracle Database 19c Enterprise Edition Release 19.0.0.0.0 - Production", 19},
        {"Oracle Database 23ai Free Release 23.0.0.0.0 - Develop, Learn, and Run for Free", 23}};
    for (const auto& [banner, version] : banners) {
        Check({banner});
        EXPECT_EQ(window_->Context().OracleVersion, version) << banner;
        EXPECT_EQ(window_->StatusText().toStdString(), banner);
    }
    EXPECT_TRUE(dialogs_.messages.isEmpty()) << dialogs_.messages.join("|").toStdString();
}

TEST_F(VersionCheck, AnUnreadableBannerWarnsAndTheViewerRunsOn) {
    const std::string odd = "Oracle Database Express Edition";
    Check({odd});
    EXPECT_EQ(window_->Context().OracleVersion, 0);
    ASSERT_EQ(dialogs_.messages.size(), 1);
    EXPECT_EQ(dialogs_.messages[0], QString("Oracle Version [0] は対応していません。"));
    EXPECT_EQ(window_->StatusText().toStdString(), odd) << "shown as fetched, not upper-cased";

    // The window still loads its pages afterwards.
    window_->InitMainForm();
    EXPECT_GE(FakePage(*window_, pgCheckPoint)->fullLoads, 1);
}

TEST_F(VersionCheck, NoBannerRowGivesVersionZeroAndAnEmptyStatusBar) {
    Check({});
    EXPECT_EQ(window_->Context().OracleVersion, 0);
    EXPECT_EQ(window_->StatusText(), QString());
    EXPECT_EQ(dialogs_.messages.size(), 1);
}

TEST_F(VersionCheck, AQueryErrorIsShownThenTheVersionWarningFollows) {
    Banners({}, "8192", /*drop=*/true);
    window_->CheckOracleVersion();
    EXPECT_EQ(dialogs_.errors.size(), 1) << "the database error box";
    ASSERT_EQ(dialogs_.messages.size(), 1);
    EXPECT_EQ(dialogs_.messages[0], QString("Oracle Version [0] は対応していません。"));
}

TEST_F(VersionCheck, InitMainFormReadsTheBlockSizeAndSetsUpEveryPage) {
    Banners({"Oracle8i Enterprise Edition Release 8.1.7.0.0 - Production"}, "8192");
    window_->Context().Sort.SortCol[pgSegment][0] = 3;
    window_->InitMainForm();
    EXPECT_EQ(window_->Context().BlockSize, 8192);
    EXPECT_EQ(window_->Context().OracleVersion, 8);
    EXPECT_EQ(window_->Context().Sort.SortCol[pgSegment][0], -1) << "sort state starts empty";
    for (int i = 0; i < kPageCount; ++i) {
        if (i == pgMemory || i == pgRate) continue;
        EXPECT_EQ(FakePage(*window_, i)->inits, 1) << "page " << i;
    }
    // The start-up load shows page 0 without counting as its first visit.
    EXPECT_EQ(window_->PageCtrl()->currentIndex(), pgCheckPoint);
    EXPECT_EQ(FakePage(*window_, pgCheckPoint)->fullLoads, 1);
    EXPECT_FALSE(window_->PageLoaded(pgCheckPoint));
    EXPECT_EQ(window_->Message(), QString("時間帯ごとの回数を表示するには日付を選択して下さい。"));
}

TEST_F(VersionCheck, BlockSizeFallsBackTo2048WhenMissingOrUnreadable) {
    Banners({"Oracle7 Server Release 7.3.4.0.0 - Production"}, "abc");
    window_->InitMainForm();
    EXPECT_EQ(window_->Context().BlockSize, 2048);
    EXPECT_TRUE(dialogs_.errors.isEmpty());
    // Not silently: pnlMess says which size the block figures use.
    const QString said = "db_block_size [ abc ] は正しくありません。2048Bytesとして表示します。";
    EXPECT_EQ(window_->Message(), said + "  時間帯ごとの回数を表示するには日付を選択して下さい。");

    Banners({}, "", /*drop=*/true);
    window_->Context().BlockSize = 4096;
    window_->InitMainForm();
    EXPECT_EQ(window_->Context().BlockSize, 2048);
    EXPECT_EQ(dialogs_.errors.size(), 2) << "banner query and block size query both fail";
}

// A block size that is not a positive number is said at start-up and again
// on the pages whose figures are in blocks; a good one is never mentioned.
TEST_F(VersionCheck, AWrongBlockSizeIsSaidWhereBlockFiguresAreShown) {
    const QString wrongZero = "db_block_size [ 0 ] は正しくありません。2048Bytesとして表示します。";
    for (const char* value : {"0", "-8192"}) {
        Banners({"Oracle Database 10g Enterprise Edition Release 10.2.0.1.0 - Production"}, value);
        window_->InitMainForm();
        EXPECT_EQ(window_->Context().BlockSize, 2048) << value;
        EXPECT_TRUE(window_->Message().startsWith(QString("db_block_size [ %1 ]").arg(value)))
            << window_->Message().toStdString();
    }
    Banners({"Oracle Database 10g Enterprise Edition Release 10.2.0.1.0 - Production"}, "0");
    window_->InitMainForm();
    window_->show();
    ClickTab(pgFet);
    EXPECT_EQ(window_->Message(), wrongZero);
    ClickTab(pgTableSpace);
    EXPECT_EQ(window_->Message(), wrongZero + "  テーブルスペースとファイルを選択して下さい。");
    ClickTab(pgParameter);
    EXPECT_EQ(window_->Message(), QString());
    ClickTab(pgExtents);
    EXPECT_EQ(window_->Message(), wrongZero);

    Banners({"Oracle Database 10g Enterprise Edition Release 10.2.0.1.0 - Production"}, "1");
    window_->InitMainForm();
    EXPECT_EQ(window_->Context().BlockSize, 1) << "the smallest positive size is taken";
    ClickTab(pgFet);
    EXPECT_EQ(window_->Message(), QString());
}

}  // namespace
