// Start-up and exit of the viewer: the settings file, the data directory,
// the collector start and, on the simulated instance, the whole sequence.
#include <gtest/gtest.h>

#include <QFile>
#include <QTabWidget>
#include <QTest>

#include "KelvsU1.h"
#include "KvCollectorLaunch.h"
#include "KvLogin.h"
#include "KvStringGrid.h"
#include "ViewerTestSupport.h"

namespace {

const QString kMissingIni = "設定ファイル [ Kelv.ini ] がありません。";

TEST(Settings, WithoutKelvIniTheViewerEndsAfterTheMessage) {
    TScriptedDialogs dialogs;
    TScratchDir dir;
    TfrmKVS window(nullptr, FakePageFactory());
    EXPECT_FALSE(window.StartUp());
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages[0], kMissingIni);
    EXPECT_FALSE(QFile::exists(dir.Path() + "/Kelv.ini")) << "the viewer never creates it";
}

TEST(Settings, AFileOfCommentsOnlyCountsAsMissing) {
    TScriptedDialogs dialogs;
    TScratchDir dir;
    dir.WriteFile("Kelv.ini", ";----\r\n; nothing here\r\n;END\r\n");
    TfrmKVS window(nullptr, FakePageFactory());
    EXPECT_FALSE(window.StartUp());
    EXPECT_EQ(dialogs.messages, QStringList({kMissingIni}));
}

TEST(Settings, DataDirectoryIsDatphOrTheProgramDirectoryPlusKlvdat) {
    TScriptedDialogs dialogs;
    TScratchDir dir;
    TfrmKVS window(nullptr, FakePageFactory());
    window.SetExeDir("/opt/kelv");
    dir.WriteFile("Kelv.ini", "CMNKD=100\r\n");
    ASSERT_TRUE(window.LoadSettings());
    EXPECT_EQ(window.Context().DataDir, "/opt/kelv/KLVDAT");
    dir.WriteFile("Kelv.ini", "DATPH = /srv/kelv data \r\n");
    ASSERT_TRUE(window.LoadSettings());
    EXPECT_EQ(window.Context().DataDir, "/srv/kelv data");
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST(Settings, ConfirmedExitWritesDatphOnlyWhenEmptyAndKeepsOtherLines) {
    TScriptedDialogs dialogs;
    TScratchDir dir;
    const QByteArray original = "; my settings\r\nCMNKD=50 ; keep\r\nDATPH=\r\n";
    dir.WriteFile("Kelv.ini", original);
    {
        TfrmKVS window(nullptr, FakePageFactory());
        window.SetExeDir(dir.PathStd());
        ASSERT_TRUE(window.LoadSettings());
        dialogs.answers = {false};
        EXPECT_FALSE(window.prcExit());
        EXPECT_EQ(dir.ReadFile("Kelv.ini"), original) << "declined: nothing written";
        dialogs.answers = {true};
        EXPECT_TRUE(window.prcExit());
    }
    const QString written = QString::fromUtf8(dir.ReadFile("Kelv.ini"));
    EXPECT_TRUE(written.contains("; my settings")) << written.toStdString();
    EXPECT_TRUE(written.contains("CMNKD=50")) << written.toStdString();
    EXPECT_TRUE(written.contains("keep")) << written.toStdString();
    EXPECT_TRUE(written.contains("DATPH=" + dir.Path() + "/KLVDAT")) << written.toStdString();

    // A second run finds DATPH set and leaves the file alone at exit.
    const QByteArray second = dir.ReadFile("Kelv.ini");
    TfrmKVS window(nullptr, FakePageFactory());
    window.SetExeDir("/elsewhere");
    ASSERT_TRUE(window.LoadSettings());
    EXPECT_EQ(window.Context().DataDir, (dir.Path() + "/KLVDAT").toStdString());
    EXPECT_TRUE(window.prcExit());
    EXPECT_EQ(dir.ReadFile("Kelv.ini"), second);
}

TEST(Collector, AMissingCollectorIsReportedAndTheViewerGoesOn) {
    TScriptedDialogs dialogs;
    TScratchDir dir;
    EXPECT_FALSE(LaunchCollector(dir.PathStd(), "KELV_ORA10", "system", "manager"));
    EXPECT_EQ(dialogs.messages, QStringList({"Kelvgが起動できませんでした。"}));
}

// The password goes to the collector's standard input, never to its
// arguments or its environment.
TEST(Collector, StartsWithDsnAndUserArgumentsAndThePasswordOnItsStandardInput) {
    TScriptedDialogs dialogs;
    TScratchDir dir;
    const QString out = dir.Path() + "/launch.out";
    dir.WriteFile("Kelvg",
                  QString("#!/bin/sh\nIFS= read -r line; { echo \"$#\"; for a in \"$@\"; do echo \"$a\"; done; "
                          "echo \"PW=$KELV_PASSWORD\"; echo \"IN=$line\"; pwd; } > '%1.tmp' && mv '%1.tmp' '%1'\n")
                      .arg(out)
                      .toUtf8());
    QFile::setPermissions(dir.Path() + "/Kelvg", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    // A variable of the viewer's own environment does not reach the collector.
    qputenv(kCollectorPasswordVariable, "stale");
    TfrmKVS window(nullptr, FakePageFactory());
    window.SetExeDir(dir.PathStd());
    window.qryODBC().SetDSName("KELV_ORA10");
    window.qryODBC().SetUserID("system");
    window.qryODBC().SetPassword("pa ss word");
    window.LaunchCollector();
    qunsetenv(kCollectorPasswordVariable);
    EXPECT_TRUE(dialogs.messages.isEmpty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(out); }, 30000)) << "collector stand-in never ran";
    const QStringList lines = QString::fromUtf8(dir.ReadFile("launch.out")).split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(lines, QStringList({"2", "KELV_ORA10", "system", "PW=", "IN=pa ss word", dir.Path()}));
}

TEST(Flush, DecliningRunsNothingAndAFailureIsReported) {
    TScriptedDialogs dialogs;
    TfrmKVS window(nullptr, FakePageFactory());
    window.qryODBC().SetDSName(kSqliteDsn);
    window.Context().SetMessage("before");
    dialogs.answers = {false};
    window.mItemFlushClick();
    EXPECT_EQ(dialogs.questions, QStringList({"Shared_Pool上のデータをクリアします。"}));
    EXPECT_EQ(window.Message(), QString("before"));
    EXPECT_FALSE(window.qryODBC().Connected()) << "no statement ran";
    // SQLite knows no ALTER SYSTEM: the flush fails.
    dialogs.answers = {true};
    window.mItemFlushClick();
    EXPECT_EQ(dialogs.messages, QStringList({"FLUSHできません。"}));
    EXPECT_EQ(window.Message(), QString("before"));
}

// The whole start on the simulated instance, with real pages.
class SimulatedStart : public ::testing::Test {
protected:
    void SetUp() override {
        if (!SimulatorAvailable()) GTEST_SKIP() << "simulated Oracle driver not built";
        dir_ = std::make_unique<TScratchDir>();
        dir_->WriteFile("Kelv.ini", "; viewer test\r\nCMNKD=100\r\n");
        SetCommandLineCredentials(SplitCredentials("system/manager"));
    }
    void TearDown() override { SetCommandLineCredentials({}); }
    TScriptedDialogs dialogs_;
    std::unique_ptr<TScratchDir> dir_;
};

TEST_F(SimulatedStart, StartsLoadsEveryPageReloadsAndEnds) {
    TfrmKVS window;
    window.SetExeDir(dir_->PathStd());  // no collector here
    ASSERT_TRUE(window.StartUp()) << dialogs_.messages.join("|").toStdString();
    EXPECT_EQ(dialogs_.messages, QStringList({"Kelvgが起動できませんでした。"}));
    EXPECT_EQ(window.Context().OracleVersion, 10);
    EXPECT_TRUE(window.StatusText().contains("Oracle")) << window.StatusText().toStdString();
    EXPECT_GT(window.Context().BlockSize, 0);
    window.show();
    for (int i = 0; i < kPageCount; ++i) {
        window.PageCtrl()->setCurrentIndex(i);
        QTest::keyClick(&window, Qt::Key_F9);
    }
    EXPECT_TRUE(dialogs_.errors.isEmpty()) << dialogs_.errors.join("|").toStdString();

    dialogs_.answers = {true};
    window.mItemFlushClick();
    EXPECT_EQ(window.Message(), QString(" FLUSH 終了。"));

    dialogs_.answers = {true};
    EXPECT_TRUE(window.prcExit());
    EXPECT_TRUE(QString::fromUtf8(dir_->ReadFile("Kelv.ini")).contains("DATPH=" + dir_->Path() + "/KLVDAT"));
}

TEST_F(SimulatedStart, EachSimulatedVersionIsDetected) {
    const std::pair<const char*, int> cases[] = {
        {"KELV_ORA10", 10}, {"KELV_ORA8", 8}, {"KELV_ORA7", 7}, {"KELV_ORA9", 9}, {"KELV_ORA19", 19}};
    for (const auto& [dsn, version] : cases) {
        TfrmKVS window(nullptr, FakePageFactory());
        window.qryODBC().SetDSName(dsn);
        window.qryODBC().SetUserID("system");
        window.qryODBC().SetPassword("manager");
        window.qryODBC().SetDriverConnect(false);
        window.CheckOracleVersion();
        EXPECT_EQ(window.Context().OracleVersion, version) << dsn;
        EXPECT_FALSE(window.StatusText().isEmpty()) << dsn;
    }
    EXPECT_TRUE(dialogs_.messages.isEmpty()) << dialogs_.messages.join("|").toStdString();
    EXPECT_TRUE(dialogs_.errors.isEmpty()) << dialogs_.errors.join("|").toStdString();
}

// A client with decimal commas and a linguistic sort: the viewer's logon
// sets its session to the point and the byte order, and the pages read
// their figures right.
TEST_F(SimulatedStart, AGermanClientsSessionReadsPointsAndSortsByBytes) {
    TfrmKVS window;
    window.SetExeDir(dir_->PathStd());
    window.qryODBC().SetDSName("KELV_ORA19_NLS");
    window.qryODBC().SetDriverConnect(false);
    window.qryODBC().SetUserID("system");
    window.qryODBC().SetPassword("manager");
    window.InitMainForm();
    EXPECT_EQ(window.Context().OracleVersion, 19);
    EXPECT_EQ(window.Context().BlockSize, 8192);
    TQueryODBC& q = window.qryODBC();
    q.SetSQLText("SELECT 7 / 2 AS HALF FROM DUAL");
    q.Prepare();
    q.Execute();
    ASSERT_TRUE(q.Fetch());
    EXPECT_EQ(q.FieldByName("HALF"), "3.5");
    // After a lost link the next statement connects again, with the same settings.
    q.Disconnect();
    window.PageCtrl()->setCurrentIndex(pgFet);
    auto* grid = window.findChild<TKvStringGrid*>("grdFet");
    ASSERT_NE(grid, nullptr);
    ASSERT_GT(grid->RowCount(), 2);
    for (int r = 1; r < grid->RowCount(); ++r) {
        const std::string share = grid->Cell(3, r);
        EXPECT_NE(share.find('.'), std::string::npos) << grid->Cell(0, r) << " " << share;
        EXPECT_NE(share, "0.00") << grid->Cell(0, r);
    }
    EXPECT_TRUE(dialogs_.errors.isEmpty()) << dialogs_.errors.join("|").toStdString();
}

TEST_F(SimulatedStart, AnOverriddenUnreadableBannerWarnsAndTheViewerRunsOn) {
    TfrmKVS window(nullptr, FakePageFactory());
    window.qryODBC().SetDSName(kSimOddBannerDsn);
    window.qryODBC().SetUserID("system");
    window.qryODBC().SetPassword("manager");
    window.qryODBC().SetDriverConnect(false);
    window.InitMainForm();
    EXPECT_EQ(window.Context().OracleVersion, 0);
    EXPECT_EQ(dialogs_.messages, QStringList({"Oracle Version [0] は対応していません。"}));
    EXPECT_EQ(window.StatusText(), QString(kSimOddBanner));
    EXPECT_EQ(FakePage(window, pgCheckPoint)->fullLoads, 1) << "runs on";
}

}  // namespace
