// The data-source list, the connection check, the login and the version
// check against the driver manager, with this process's own odbc.ini:
// "fake_ORA" is an Oracle-described driver name that odbcinst.ini maps onto
// SQLite, so it really connects; the others are never connected.
#include "KvLogin.h"
#include "KvLoginForm.h"
#include "KvOracle.h"
#include "TempDir.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr const char* kSqliteDriver = "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so";
constexpr const char* kPostgresDriver = "/usr/lib/x86_64-linux-gnu/odbc/psqlodbcw.so";
// Set in a re-started copy of this program whose user has no data sources.
constexpr const char* kNoDataSourcesEnv = "KELV_TEST_NO_DSN";
// Set in a re-started copy whose data sources differ only in how their
// names sort, one of them with a name longer than 32 bytes.
constexpr const char* kOrderedSourcesEnv = "KELV_TEST_ORDERED_DSN";
constexpr const char* kLongSourceName = "Oracle_data_source_with_a_name_longer_than_32_bytes";

TTempDir* g_odbcDir = nullptr;

void WriteOdbcConfiguration(const TTempDir& dir) {
    if (std::getenv(kOrderedSourcesEnv)) {
        // Only ORA_PROD really connects: listed first, it is the one a
        // command-line login uses.
        WriteBytes(dir.File("odbcinst.ini"),
                   std::string("[Fake ORACLE 19 Driver]\nDriver = ") + kSqliteDriver + "\n");
        WriteBytes(dir.File("odbc.ini"),
                   "[ORAPROD]\nDriver = /opt/vendor/lib/libMyOracleClient.so\n\n"
                   "[ORA1]\nDriver = DataDirect 8.0 oracle Wire Protocol\n\n" +
                       std::string("[") + kLongSourceName + "]\nDriver = /opt/vendor/lib/libMyOracleClient.so\n\n"
                   "[ORA_PROD]\nDriver = Fake ORACLE 19 Driver\nDatabase = " + dir.File("prod.db") + "\n");
        setenv("ODBCSYSINI", dir.Path().c_str(), 1);
        setenv("ODBCINI", dir.File("odbc.ini").c_str(), 1);
        return;
    }
    if (std::getenv(kNoDataSourcesEnv)) {
        WriteBytes(dir.File("odbcinst.ini"), "");
        WriteBytes(dir.File("odbc.ini"), "");
        setenv("ODBCSYSINI", dir.Path().c_str(), 1);
        setenv("ODBCINI", dir.File("odbc.ini").c_str(), 1);
        return;
    }
    WriteBytes(dir.File("odbcinst.ini"),
               std::string("[Fake ORACLE 19 Driver]\nDriver = ") + kSqliteDriver + "\n");
    WriteBytes(dir.File("odbc.ini"),
               "[ZZ_wire]\nDriver = DataDirect 8.0 oracle Wire Protocol\n\n"
               "[hr_pg]\nDriver = " + std::string(kPostgresDriver) + "\nServername = /nowhere\n\n"
               "[fake_ORA]\nDriver = Fake ORACLE 19 Driver\nDatabase = " + dir.File("fake.db") + "\n\n"
               "[lite]\nDriver = " + std::string(kSqliteDriver) + "\nDatabase = " + dir.File("lite.db") + "\n\n"
               "[Gamma_ora]\nDriver = /opt/vendor/lib/libMyOracleClient.so\n");
    setenv("ODBCSYSINI", dir.Path().c_str(), 1);
    setenv("ODBCINI", dir.File("odbc.ini").c_str(), 1);
}

class TCaptureUI : public TQueryUI {
public:
    std::vector<std::string> Messages;
    void ShowMessage(const std::string& text) override { Messages.push_back(text); }
    bool Confirm(const std::string&) override { return false; }
};

// The driver manager reads its configuration once per process: a test that
// needs another one runs again in a fresh copy of this program, with
// envName set, and passes when that copy does.
void RunInFreshCopy(const char* envName, const char* testName) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        setenv(envName, "1", 1);
        const std::string filter = std::string("--gtest_filter=") + testName;
        execl("/proc/self/exe", "kelv_login_odbc_tests", filter.c_str(), nullptr);
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

class LoginOdbcTest : public ::testing::Test {
protected:
    TCaptureUI ui;
    TQueryODBC query;
    void SetUp() override { SetQueryUI(&ui); }
    void TearDown() override {
        SetQueryUI(nullptr);
        SetLoginDialogRunner(nullptr);
        SetCommandLineCredentials({});
    }
    bool HasMessage(const std::string& text) const {
        return std::find(ui.Messages.begin(), ui.Messages.end(), text) != ui.Messages.end();
    }
};

}  // namespace

TEST_F(LoginOdbcTest, OnlyOracleDriversAreListedInCaseInsensitiveOrder) {
    std::vector<std::string> names{"stale"};
    EXPECT_EQ(ListOracleDataSources(names), 3);
    EXPECT_EQ(names, (std::vector<std::string>{"fake_ORA", "Gamma_ora", "ZZ_wire"}));
    EXPECT_TRUE(ui.Messages.empty());
}

TEST_F(LoginOdbcTest, WithoutAnyDataSourceTheUserIsToldToSetOneUp) {
    if (std::getenv(kNoDataSourcesEnv)) {
        std::vector<std::string> names;
        EXPECT_EQ(ListOracleDataSources(names), 0);
        EXPECT_FALSE(Login(query));
        EXPECT_EQ(ui.Messages,
                  (std::vector<std::string>{"ODBCﾃﾞｰﾀｿｰｽが見つかりません。OracleODBCﾄﾞﾗｲﾊﾞを設定して下さい。",
                                            "ODBCﾃﾞｰﾀｿｰｽが見つかりません。OracleODBCﾄﾞﾗｲﾊﾞを設定して下さい。",
                                            "ログインできません。"}));
        return;
    }
    RunInFreshCopy(kNoDataSourcesEnv, "LoginOdbcTest.WithoutAnyDataSourceTheUserIsToldToSetOneUp");
}

// "_" sorts before digits and letters, as on the desktop platform, so the
// command-line login takes ORA_PROD, not ORAPROD; a name longer than 32
// bytes is listed whole.
TEST_F(LoginOdbcTest, TheFirstSourceInPlatformOrderServesTheCommandLineLogin) {
    if (!std::getenv(kOrderedSourcesEnv)) {
        RunInFreshCopy(kOrderedSourcesEnv, "LoginOdbcTest.TheFirstSourceInPlatformOrderServesTheCommandLineLogin");
        return;
    }
    std::vector<std::string> names;
    ASSERT_EQ(ListOracleDataSources(names), 4);
    EXPECT_EQ(names, (std::vector<std::string>{"ORA_PROD", "ORA1", kLongSourceName, "ORAPROD"}));

    SetCommandLineCredentials(SplitCredentials("scott/tiger"));
    EXPECT_TRUE(Login(query));
    EXPECT_EQ(query.DSName(), "ORA_PROD");
    EXPECT_TRUE(query.Connected());

    // Chosen in the dialog, the long name reaches the component whole.
    SetCommandLineCredentials({});
    TQueryODBC other;
    SetLoginDialogRunner([](TfrmLIN& dialog) {
        dialog.cbxDSNs->setCurrentIndex(2);
        return int(QDialog::Accepted);
    });
    Login(other);
    EXPECT_EQ(other.DSName(), kLongSourceName);
}

TEST_F(LoginOdbcTest, ConnectedCountsEvenWhenTheCheckStatementFails) {
    query.SetDSName("fake_ORA");
    query.SetUserID("scott");
    query.SetPassword("tiger");
    EXPECT_TRUE(CheckConnection(query));  // SQLite has no DUAL
    EXPECT_TRUE(query.Connected());
}

TEST_F(LoginOdbcTest, UnreachableSourceFailsTheCheck) {
    query.SetDSName("Gamma_ora");
    EXPECT_FALSE(CheckConnection(query));
    EXPECT_FALSE(query.Connected());
}

TEST_F(LoginOdbcTest, CommandLineCredentialsSkipTheDialogAndUseTheFirstSource) {
    SetCommandLineCredentials(SplitCredentials("scott/tiger"));
    bool dialogShown = false;
    SetLoginDialogRunner([&](TfrmLIN&) {
        dialogShown = true;
        return int(QDialog::Rejected);
    });
    EXPECT_TRUE(Login(query));
    EXPECT_FALSE(dialogShown);
    EXPECT_EQ(query.DSName(), "fake_ORA");
    EXPECT_EQ(query.UserID(), "scott");
    EXPECT_EQ(query.Password(), "tiger");
    EXPECT_FALSE(HasMessage("ログインできません。"));
}

TEST_F(LoginOdbcTest, DialogChoicesReachTheComponent) {
    SetLoginDialogRunner([](TfrmLIN& dialog) {
        EXPECT_EQ(dialog.cbxDSNs->count(), 3);
        EXPECT_EQ(dialog.cbxDSNs->currentText(), "fake_ORA");
        dialog.edtUser->setText("system");
        dialog.edtPass->setText(" secret ");
        return int(QDialog::Accepted);
    });
    EXPECT_TRUE(Login(query));
    EXPECT_EQ(query.UserID(), "system");
    EXPECT_EQ(query.Password(), " secret ");
}

TEST_F(LoginOdbcTest, FailedOrCancelledLoginSaysSo) {
    SetLoginDialogRunner([](TfrmLIN& dialog) {
        dialog.cbxDSNs->setCurrentIndex(1);  // Gamma_ora: no such driver
        return int(QDialog::Accepted);
    });
    EXPECT_FALSE(Login(query));
    EXPECT_EQ(ui.Messages.back(), "ログインできません。");

    ui.Messages.clear();
    TQueryODBC other;
    SetLoginDialogRunner([](TfrmLIN&) { return int(QDialog::Rejected); });
    EXPECT_FALSE(Login(other));
    EXPECT_EQ(ui.Messages, (std::vector<std::string>{"ログインできません。"}));
    EXPECT_FALSE(other.Connected());
}

TEST_F(LoginOdbcTest, VersionCheckReadsTheBannerAndRefreshFailsQuietly) {
    query.SetDSName("fake_ORA");
    ASSERT_TRUE(CheckConnection(query));
    query.ExecDirect("DROP TABLE IF EXISTS \"V$VERSION\"");
    query.ExecDirect("CREATE TABLE \"V$VERSION\" (BANNER VARCHAR(80))");
    query.ExecDirect("INSERT INTO \"V$VERSION\" VALUES ('PL/SQL Release 10.2.0.1.0 - Production')");
    query.ExecDirect("INSERT INTO \"V$VERSION\" VALUES "
                     "('Oracle Database 10g Enterprise Edition Release 10.2.0.1.0 - Production')");
    const OracleVersionInfo info = CheckOracleVersion(query);
    EXPECT_EQ(info.Version, 10);
    EXPECT_EQ(info.Banner, "Oracle Database 10g Enterprise Edition Release 10.2.0.1.0 - Production");

    // The log history views do not exist here: no file, no exception.
    TTempDir dataDir;
    int version = 0;
    EXPECT_FALSE(RefreshCheckPointFile(query, dataDir.Path(), version));
    EXPECT_EQ(version, 10);
    EXPECT_FALSE(Exists(dataDir.File("ChkeckPoint.dat")));
}

int main(int argc, char** argv) {
    // Before the first ODBC call: the driver manager caches its paths.
    TTempDir odbcDir;
    g_odbcDir = &odbcDir;
    WriteOdbcConfiguration(odbcDir);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
