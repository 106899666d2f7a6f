// The program itself: bad input gets a clear error and a failing exit code,
// --config.check says what is wrong where, and a scrape while an instance
// hangs in a statement answers within the timeout.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <regex>

#include "CollectorHarness.h"
#include "ExporterHarness.h"
#include "SimEngine.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

bool Holds(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class ExporterProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        driver_ = kelvtest::Env("KELV_SIM_DRIVER");
        if (!fs::exists(kelvx::ExporterProgram())) GTEST_SKIP() << "no exporter built";
        char tmpl[] = "/tmp/kelvx-prog-XXXXXX";
        root_ = mkdtemp(tmpl);
        // Two data sources of the test's own, and a password only its owner reads.
        std::string ini;
        for (const char* name : {"KELVX_A", "KELVX_B"})
            ini += std::string("[") + name + "]\nDriver = " + driver_ + "\nDatabase = " + Path(name) + ".db\n\n";
        kelvx::WriteFile(Path("odbc.ini"), ini);
        kelvx::WriteFile(Path("pw"), "manager\n", 0600);
        env_ = {{"ODBCINI", Path("odbc.ini")}, {"KELVX_PW", "manager"}};
    }
    void TearDown() override
    {
        if (!root_.empty()) fs::remove_all(root_);
    }

    std::string Path(const std::string& name) const { return (root_ / name).string(); }
    kelvx::TRun Run(const std::vector<std::string>& args) const
    {
        std::vector<std::string> argv = {kelvx::ExporterProgram()};
        argv.insert(argv.end(), args.begin(), args.end());
        return kelvx::RunToEnd(argv, env_, root_.string());
    }
    // A configuration of the two data sources (b's password from the environment).
    std::string Config(const std::string& timeout = "5s") const
    {
        return "timeout: " + timeout +
               "\ninstances:\n"
               "  - name: a\n    data_source: KELVX_A\n    user: system\n    password_file: pw\n"
               "  - name: b\n    data_source: KELVX_B\n    user: system\n    password_env: KELVX_PW\n";
    }

    std::string driver_;
    fs::path root_;
    std::map<std::string, std::string> env_;
};

}  // namespace

TEST_F(ExporterProgramTest, ConfigCheckSaysWhatIsWrongWhere)
{
    kelvx::WriteFile(Path("good.yml"), Config());
    kelvx::TRun run = Run({"--config.check", "--config.file=" + Path("good.yml")});
    EXPECT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_TRUE(Holds(run.Out, "configuration OK, 2 instances")) << run.Out;

    kelvx::WriteFile(Path("bad.yml"), "timeout: soon\ninstances:\n  - name: a\n    data_source: KELVX_A\n"
                                      "    user: system\n    password: manager\n");
    run = Run({"--config.check", "--config.file", Path("bad.yml")});
    EXPECT_EQ(run.ExitCode, kExitFailed);
    EXPECT_TRUE(Holds(run.Err, Path("bad.yml") + ":1: timeout: \"soon\" is not a duration")) << run.Err;
    EXPECT_TRUE(Holds(run.Err, Path("bad.yml") + ":6: instances[0].password: unknown key")) << run.Err;
    EXPECT_FALSE(Holds(run.Err + run.Out, "manager")) << "a password was echoed";

    // The same problems stop the program before it listens.
    run = Run({"--config.file=" + Path("bad.yml"), "--web.listen-address=127.0.0.1:0"});
    EXPECT_EQ(run.ExitCode, kExitFailed);
    EXPECT_TRUE(Holds(run.Err, "instances[0].password: unknown key")) << run.Err;

    run = Run({"--config.file=" + Path("missing.yml")});
    EXPECT_EQ(run.ExitCode, kExitFailed);
    EXPECT_TRUE(Holds(run.Err, Path("missing.yml") + ": cannot read the configuration file: No such file"))
        << run.Err;
}

TEST_F(ExporterProgramTest, PasswordSourcesAndDataSourcesAreChecked)
{
    kelvx::WriteFile(Path("c.yml"), Config());
    kelvx::WriteFile(Path("pw"), "manager\n", 0644);
    kelvx::TRun run = Run({"--config.file=" + Path("c.yml")});
    EXPECT_EQ(run.ExitCode, kExitFailed);
    EXPECT_TRUE(Holds(run.Err, ":6: instances[0].password_file: the password file " + Path("pw") +
                                   " has permissions 0644, which are too open"))
        << run.Err;

    fs::remove(Path("pw"));
    run = Run({"--config.check", "--config.file=" + Path("c.yml")});
    EXPECT_EQ(run.ExitCode, kExitFailed);
    EXPECT_TRUE(Holds(run.Err, "instances[0].password_file: cannot open the password file")) << run.Err;

    kelvx::WriteFile(Path("pw"), "manager\n", 0600);
    env_.erase("KELVX_PW");
    run = Run({"--config.file=" + Path("c.yml")});
    EXPECT_EQ(run.ExitCode, kExitFailed);
    EXPECT_TRUE(Holds(run.Err, ":10: instances[1].password_env: the environment variable KELVX_PW is not set"))
        << run.Err;

    env_["KELVX_PW"] = "manager";
    kelvx::WriteFile(Path("c.yml"), std::regex_replace(Config(), std::regex("KELVX_B"), "KELVX_NONE"));
    run = Run({"--config.file=" + Path("c.yml")});
    EXPECT_EQ(run.ExitCode, kExitFailed);
    EXPECT_TRUE(Holds(run.Err, ":8: instances[1].data_source: the ODBC data source \"KELVX_NONE\" is not defined"))
        << run.Err;
}

TEST_F(ExporterProgramTest, CommandLineTakesNoPasswordAndNamesABusyPort)
{
    kelvx::TRun run = Run({"--password=hunter2"});
    EXPECT_EQ(run.ExitCode, kExitUsage);
    EXPECT_TRUE(Holds(run.Err, "unknown argument \"--password\"")) << run.Err;
    EXPECT_FALSE(Holds(run.Err, "hunter2"));

    {
        const kelvx::TBusyPort taken;
        ASSERT_GT(taken.Port(), 0);
        const std::string busy = "127.0.0.1:" + std::to_string(taken.Port());
        kelvx::WriteFile(Path("c.yml"), Config());
        run = Run({"--config.file=" + Path("c.yml"), "--web.listen-address=" + busy});
        EXPECT_EQ(run.ExitCode, kExitFailed);
        EXPECT_TRUE(Holds(run.Err, "cannot listen on " + busy + ": Address already in use")) << run.Err;
    }

    run = Run({"--config.file=" + Path("c.yml"), "--web.listen-address=127.0.0.1:99999"});
    EXPECT_EQ(run.ExitCode, kExitUsage);
    EXPECT_TRUE(Holds(run.Err, "--web.listen-address: \"99999\" is not a port number")) << run.Err;
}

TEST_F(ExporterProgramTest, ScrapeWhileAnInstanceHangsAnswersWithinTheTimeout)
{
    if (driver_.empty() || !fs::exists(driver_)) GTEST_SKIP() << "no simulated instance driver";
    constexpr auto kTimeout = 1s;
    // Generous: a loaded machine, a sanitizer build. Only "not held up by the hung statement" counts.
    constexpr auto kMargin = 10s;
    kelvx::WriteFile(Path("c.yml"), Config("1s"));
    kelvx::TProcess exporter;
    ASSERT_TRUE(exporter.Start({kelvx::ExporterProgram(), "--config.file=" + Path("c.yml"),
                                "--web.listen-address=127.0.0.1:0"},
                               env_, Path("exporter.out"), Path("exporter.log")));
    const int port = kelvx::ExporterPort(Path("exporter.log"), 30s);
    ASSERT_GT(port, 0) << kelvx::ReadFile(Path("exporter.log"));
    auto up = [](const std::string& body, const std::string& dsn) {
        return Holds(body, "kelv_up{dsn=\"" + dsn + "\"} 1");
    };
    ASSERT_TRUE(kelvtest::PollUntil(
        [&] {
            const std::string body = kelvx::HttpGet(port, "/metrics", 30s).Body;
            return up(body, "a") && up(body, "b");
        },
        60, 200ms));

    sim::SimConfig b;
    b.DataSource = "KELVX_B";
    b.Database = Path("KELVX_B") + ".db";
    b.Keys["DATABASE"] = b.Database;
    auto control = sim::Connect(b, "system", "manager");
    control->Execute("ALTER SYSTEM SET SIM_SLOWMS = '30000'", {});

    for (const char* scrape : {"while the statement hangs", "while its worker is still caught"}) {
        const auto start = std::chrono::steady_clock::now();
        const kelvx::THttpReply reply = kelvx::HttpGet(port, "/metrics", kTimeout + kMargin);
        const auto took = std::chrono::steady_clock::now() - start;
        ASSERT_TRUE(reply.Ok) << scrape << ": " << reply.Error;
        EXPECT_LT(took, kTimeout + kMargin) << scrape;
        EXPECT_TRUE(Holds(reply.Body, "kelv_up{dsn=\"b\"} 0")) << scrape;
        EXPECT_TRUE(up(reply.Body, "a")) << scrape;
        EXPECT_TRUE(Holds(reply.Body, "kelv_sql_area_pins_total{dsn=\"a\"}")) << scrape;
    }
    const std::string log = kelvx::ReadFile(Path("exporter.log"));
    EXPECT_TRUE(Holds(log, "no answer within the timeout of 1 s")) << log;
    EXPECT_TRUE(Holds(log, "still busy with the collection begun")) << log;

    // Stopping does not wait for the hung statement either.
    int status = exporter.Stop(kTimeout + kMargin);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    control->Execute("ALTER SYSTEM SET SIM_SLOWMS = ''", {});
}
