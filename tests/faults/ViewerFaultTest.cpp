// Faults of the simulated instance under the viewer's window (offscreen):
// the error is shown, the grids keep what they held, and a later load works.
#include <gtest/gtest.h>

#include <QDir>
#include <QTabWidget>
#include <QTest>

#include <cstdlib>
#include <memory>

#include "KelvsU1.h"
#include "KvLogin.h"
#include "KvStringGrid.h"
#include "ParameterPage.h"
#include "SimEngine.h"
#include "ViewerFaultSources.h"
#include "ViewerTestSupport.h"

namespace {

const QString kLoginFailed = "ログインできません。";

class ViewerFaults : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!SimulatorAvailable() || !std::getenv("KELV_FAULT_VIEWER_DB"))
            GTEST_SKIP() << "simulated Oracle driver not built";
        config_.DataSource = kFaultDsn;
        config_.Database = std::getenv("KELV_FAULT_VIEWER_DB");
        config_.Keys["DATABASE"] = config_.Database;
        config_.Keys["VERSION"] = "10";
        control_ = sim::Connect(config_, "system", "manager");
        dir_ = std::make_unique<TScratchDir>();
        dir_->WriteFile("Kelv.ini", "; viewer fault test\r\nCMNKD=100\r\n");
        SetCommandLineCredentials(SplitCredentials("system/manager"));
    }
    void TearDown() override
    {
        SetCommandLineCredentials({});
        if (!control_) return;
        for (const char* key : {"FAILCONNECT", "DROPAFTER", "FAILSQL", "FAILCODE", "FAILMESSAGE", "SLOWMS", "SLOWSQL"})
            SetFault(key, "");
    }
    void SetFault(const std::string& key, const std::string& value)
    {
        control_->Execute("ALTER SYSTEM SET SIM_" + key + " = '" + value + "'", {});
    }
    // Started the way the program starts; no collector in the scratch directory.
    std::unique_ptr<TfrmKVS> Started()
    {
        auto window = std::make_unique<TfrmKVS>();
        window->SetExeDir(dir_->PathStd());
        if (!window->StartUp()) return nullptr;
        window->show();
        return window;
    }
    static TKvStringGrid& Parameters(TfrmKVS& window)
    {
        return *static_cast<TParameterPage*>(window.Page(pgParameter))->grdParm;
    }
    static void PressF9(TfrmKVS& window) { QTest::keyClick(&window, Qt::Key_F9); }
    // The parameter page shown and loaded; its row count.
    int ShowParameters(TfrmKVS& window)
    {
        window.PageCtrl()->setCurrentIndex(pgParameter);
        return Parameters(window).RowCount();
    }

    sim::SimConfig config_;
    std::unique_ptr<sim::SimSession> control_;
    std::unique_ptr<TScratchDir> dir_;
    TScriptedDialogs dialogs_;
};

TEST_F(ViewerFaults, RefusedOrWrongLogonEndsTheStartAndTheNextStartWorks)
{
    SetFault("FAILCONNECT", "1");
    EXPECT_EQ(Started(), nullptr);
    EXPECT_TRUE(dialogs_.messages.contains(kLoginFailed)) << dialogs_.messages.join("|").toStdString();
    SetFault("FAILCONNECT", "");

    SetCommandLineCredentials(SplitCredentials("system/wrong"));
    dialogs_.messages.clear();
    EXPECT_EQ(Started(), nullptr);
    EXPECT_TRUE(dialogs_.messages.contains(kLoginFailed));

    SetCommandLineCredentials(SplitCredentials("system/manager"));
    auto window = Started();
    ASSERT_NE(window, nullptr);
    EXPECT_GT(ShowParameters(*window), 2);
    EXPECT_TRUE(dialogs_.errors.isEmpty()) << dialogs_.errors.join("|").toStdString();
}

// A settings file that exists but cannot be read: a plain message names
// the file and the system's reason, and the start ends.
TEST_F(ViewerFaults, AnUnreadableSettingsFileEndsTheStartWithTheSystemsReason)
{
    QDir dir(dir_->Path());
    ASSERT_TRUE(dir.remove("Kelv.ini"));
    ASSERT_TRUE(dir.mkdir("Kelv.ini"));
    EXPECT_EQ(Started(), nullptr);
    ASSERT_EQ(dialogs_.messages.size(), 1);
    EXPECT_EQ(dialogs_.messages[0], "設定ファイル [ Kelv.ini ] を読み込めません。(Is a directory)");
    EXPECT_TRUE(dialogs_.errors.isEmpty());
}

TEST_F(ViewerFaults, ALostConnectionIsShownOnceAndTheNextLoadConnectsAgain)
{
    auto window = Started();
    ASSERT_NE(window, nullptr);
    const int rows = ShowParameters(*window);
    ASSERT_GT(rows, 2);
    SetFault("DROPAFTER", "1");  // the session dies at its next statement
    PressF9(*window);
    ASSERT_EQ(dialogs_.errors.size(), 1);
    EXPECT_TRUE(dialogs_.errors[0].contains("ORA-03113")) << dialogs_.errors[0].toStdString();
    EXPECT_EQ(Parameters(*window).RowCount(), rows) << "the grid keeps what it held";

    SetFault("DROPAFTER", "");
    PressF9(*window);
    EXPECT_EQ(dialogs_.errors.size(), 1) << dialogs_.errors.join("|").toStdString();
    EXPECT_EQ(Parameters(*window).RowCount(), rows);
    EXPECT_TRUE(window->qryODBC().Connected());
    window->PageCtrl()->setCurrentIndex(pgSession);
    EXPECT_EQ(dialogs_.errors.size(), 1) << "other pages load on the new connection";
}

TEST_F(ViewerFaults, AFailingStatementIsShownAndTheReloadAfterItWorks)
{
    auto window = Started();
    ASSERT_NE(window, nullptr);
    const int rows = ShowParameters(*window);
    SetFault("FAILCODE", "4031");
    SetFault("FAILSQL", "V$PARAMETER");
    PressF9(*window);
    ASSERT_EQ(dialogs_.errors.size(), 1);
    EXPECT_EQ(dialogs_.errors[0], QString("ORA-04031: unable to allocate 4096 bytes of shared memory"));
    EXPECT_EQ(Parameters(*window).RowCount(), rows);

    SetFault("FAILSQL", "");
    PressF9(*window);
    EXPECT_EQ(dialogs_.errors.size(), 1);
    EXPECT_EQ(Parameters(*window).RowCount(), rows);
}

TEST_F(ViewerFaults, SlowStatementsOnlyTakeLonger)
{
    auto window = Started();
    ASSERT_NE(window, nullptr);
    const int rows = ShowParameters(*window);
    SetFault("SLOWMS", "300");
    SetFault("SLOWSQL", "V$PARAMETER");
    PressF9(*window);
    window->PageCtrl()->setCurrentIndex(pgLogFile);
    EXPECT_TRUE(dialogs_.errors.isEmpty()) << dialogs_.errors.join("|").toStdString();
    EXPECT_EQ(Parameters(*window).RowCount(), rows);
}

TEST_F(ViewerFaults, AnInstanceRestartLeavesTheViewerWorking)
{
    auto window = Started();
    ASSERT_NE(window, nullptr);
    const int rows = ShowParameters(*window);
    control_->Execute("ALTER SYSTEM RESTART INSTANCE", {});
    PressF9(*window);
    window->PageCtrl()->setCurrentIndex(pgSession);
    PressF9(*window);
    EXPECT_TRUE(dialogs_.errors.isEmpty()) << dialogs_.errors.join("|").toStdString();
    EXPECT_EQ(Parameters(*window).RowCount(), rows);
}

TEST_F(ViewerFaults, SeveralDiagnosticRecordsAreShownInOneBox)
{
    TfrmKVS window;
    window.SetExeDir(dir_->PathStd());
    window.qryODBC().SetDSName(kFaultStackDsn);
    window.qryODBC().SetUserID("system");
    window.qryODBC().SetPassword("manager");
    window.qryODBC().SetDriverConnect(false);
    window.InitMainForm();
    window.show();
    const int rows = ShowParameters(window);
    ASSERT_GT(rows, 2);
    SetFault("FAILSQL", "V$PARAMETER");
    PressF9(window);
    ASSERT_EQ(dialogs_.errors.size(), 1) << "one box for the whole stack";
    const QString text = dialogs_.errors[0];
    EXPECT_TRUE(text.contains("ORA-01013: user requested cancel of current operation")) << text.toStdString();
    EXPECT_TRUE(text.contains(" & ")) << text.toStdString();
    EXPECT_TRUE(text.contains("ORA-06512: at line 1")) << text.toStdString();
    SetFault("FAILSQL", "");
    PressF9(window);
    EXPECT_EQ(dialogs_.errors.size(), 1);
    EXPECT_EQ(Parameters(window).RowCount(), rows);
}

}  // namespace
